#!/usr/bin/env bash
# End-to-end test of the built program in a real X window (Xvfb), driven as a user drives it:
# clicks at the controls' positions with xdotool, against the stand-in server on the ports
# the build points at. First start, a hot keyword search with rows and thumbnails, a
# favorite added, the price chart of an offer, the favorites view, a price drop made on the
# server and seen in the price-drop view, the window closed; then the program killed
# (SIGKILL) in the middle of a 10,000-row page and started again with a notification service
# (dbus-daemon and dunst), which shows the price-drop alert of the start. Checks kvdb.dat and the server's log; screenshots and
# logs go to <build>/e2e/.
#
#   tools/e2e.sh [build dir]      (default: build)
#
# With KOVA_SCREENSHOTS=DIR the window's pictures of the start page, the result list, the
# favorites and the price-drop view are also written to DIR, cut to the window (the README's
# pictures: KOVA_SCREENSHOTS=docs/screenshots tools/e2e.sh).
#
# Needs Xvfb, xdotool, xwininfo, ImageMagick's import/convert, the sqlite3 shell, dbus-daemon
# and dunst; exits
# with 77 (skipped) when one is missing. The control positions come from the program's own
# layout: kova-reliability-driver (tests/reliability) builds the same window off screen
# and prints them.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
top=$(pwd)
build=$(cd "${1:-build}" && pwd)
out="$build/e2e"
shots="$out/screenshots"
work="$out/work"

for tool in Xvfb xdotool xwininfo import convert sqlite3 iconv dbus-daemon dunst; do
  if ! command -v "$tool" >/dev/null; then
    echo "e2e: $tool is missing; skipped" >&2
    exit 77
  fi
done
kova="$build/bin/kova"
standin="$build/server/kova-standin"
initdb="$build/tools/kova-initdb"
driver=$(find_driver "$build") || true
for f in "$kova" "$standin" "$initdb" "$driver"; do
  if [ ! -x "$f" ]; then
    echo "e2e: ${f:-kova-reliability-driver} is not built (cmake --build $build)" >&2
    exit 1
  fi
done

# The ports the build points at (KOVA_SERVICE_URL ... in the cache; the defaults otherwise).
build_ports "$build"
if p=$(taken_port "$service_port" "$version_port" "$directory_port"); then
  echo "e2e: port $p is in use (another kova-standin?); stop it first" >&2
  exit 1
fi

rm -rf "$out"
mkdir -p "$shots" "$work/tmp" "$out/standin"
"$initdb" "$work/kvdb.dat" >/dev/null

kova_pid=""
bus_pid=""
cleanup() {
  [ -n "$kova_pid" ] && kill -9 "$kova_pid" 2>/dev/null || true
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
  kova_stop_all
}
trap cleanup EXIT

step() { echo "e2e: $*"; }
fail() {
  echo "e2e: FAILED: $*" >&2
  screenshot "$shots/failure.png" 2>/dev/null || true
  echo "e2e: screenshot $shots/failure.png; server log $out/standin.log; program log $out/kova.log" >&2
  exit 1
}
db() { kova_db "$work/kvdb.dat" "$1"; }
http_get() { # http_get <port> <path>: the body of a GET on loopback
  exec 5<>"/dev/tcp/127.0.0.1/$1"
  printf 'GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' "$2" >&5
  sed '1,/^\r$/d' <&5
  exec 5<&-
}
gbk_query() { printf '%s' "$1" | iconv -f UTF-8 -t GBK | od -An -tx1 -v | tr -d ' \n' | tr 'a-f' 'A-F' | sed 's/../%&/g'; }
shot() { screenshot "$shots/$1.png"; step "screenshot $1.png"; }

# --- the server and the display ------------------------------------------------------------
standin_start "$out/standin.log" "$standin" --data "$out/standin" --service-port "$service_port" \
  --version-port "$version_port" --directory-port "$directory_port" || fail "the stand-in server did not start"

display=$(free_display 91 120) || fail "no free X display"
xvfb_start "$display" "$out/xvfb.log" || fail "Xvfb did not start"

# --- where the controls are ------------------------------------------------------------------
geometry="$out/geometry.txt"
control_positions "$driver" "$initdb" "$out/geometry" "$geometry" || fail "the control positions could not be worked out"

# --- start -----------------------------------------------------------------------------------
start_kova() {
  (cd "$work" && exec env -u QT_QPA_PLATFORM TMPDIR="$work/tmp" "$kova") >>"$out/kova.log" 2>&1 &
  kova_pid=$!
  window=""
  has_window() { window=$(main_window "$kova_pid") && [ -n "$window" ]; }
  wait_for 20 has_window || fail "the main window did not appear"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  win_x=$X
  win_y=$Y
  [ "$WIDTH" = 1020 ] && [ "$HEIGHT" = 700 ] || fail "the window is ${WIDTH}x$HEIGHT, not 1020x700"
}
# A message box of the program: waits for it, keeps its picture and answers it with Return.
answer_box() { # answer_box <title> <screenshot name>
  box="" box_title=$1
  has_box() {
    box=$(xdotool search --all --onlyvisible --pid "$kova_pid" --name "^$box_title\$" 2>/dev/null | head -1 || true)
    [ -n "$box" ]
  }
  wait_for 10 has_box || return 1
  shot "$2"
  eval "$(xdotool getwindowgeometry --shell "$box")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
  sleep 0.2
  xdotool key Return
  wait_for 5 bash -c "! xdotool search --all --onlyvisible --pid $kova_pid --name '^$1\$' >/dev/null 2>&1"
}
no_error_box() { ! xdotool search --all --onlyvisible --pid "$kova_pid" --name '^Kova比价软件$' >/dev/null 2>&1; }

step "first start"
start_kova
first_x=$win_x
first_y=$win_y
account_stored() { [ -n "$(db "select u from xxb where u <> '' and p <> '' and a <> '' and b <> ''")" ]; }
wait_for 20 account_stored || fail "the account and affiliate ids were not stored"
no_error_box || fail "an error box at start"
shot 01-start

# --- a hot keyword search --------------------------------------------------------------------
# The first hot keyword whose page has more than twelve rows (so the thumbnail thread runs).
keyword=""
rows=0
while read -r _ index x y caption; do
  n=$(http_get "$service_port" "/ListAll.aspx?word=$(gbk_query "$caption")&u=&p=" | grep -c '<TR>' || true)
  if [ "$n" -gt 12 ]; then keyword=$caption; rows=$n; break; fi
done < <(grep '^hot ' "$geometry")
[ -n "$keyword" ] || fail "no hot keyword with rows"
hot_at=$(awk -v k="$keyword" '$1 == "hot" && $5 == k { print $3, $4 }' "$geometry")
step "hot keyword $keyword ($rows rows)"
set -- $hot_at
xdotool mousemove $((win_x + $1)) $((win_y + $2)) click 1
rows_stored() { [ "$(db 'select count(*) from cxnr')" = "$rows" ]; }
wait_for 30 rows_stored || fail "the result rows were not stored ($(db 'select count(*) from cxnr') of $rows)"
thumbs_saved() { [ "$(ls "$work/tmp/kvpic" 2>/dev/null | grep -c '\.jpg$')" -ge "$rows" ]; }
wait_for 60 thumbs_saved || fail "the thumbnails were not saved"
sleep 1 # the grid repaints as pictures arrive
shot 02-results
# The picture cell of the first row shows a picture, not the placeholder text on white.
set -- $(geom grid1-picture)
lightness=$(convert "$shots/02-results.png" -crop "40x40+$((win_x + $1 - 20))+$((win_y + $2 - 20))" +repage \
  -colorspace Gray -format '%[fx:mean]' info:)
colours=$(convert "$shots/02-results.png" -crop "40x40+$((win_x + $1 - 20))+$((win_y + $2 - 20))" +repage \
  -format '%k' info:)
step "first picture cell: mean lightness $lightness, $colours colours"
awk -v l="$lightness" -v c="$colours" 'BEGIN { exit !(l < 0.85 || c > 64) }' || fail "no thumbnail in the first row"
no_error_box || fail "an error box after the search"

# --- the price chart -------------------------------------------------------------------------
# Every offer shown is in the price history of the day. The weeks before are written here as
# earlier runs would have left them (the test cannot wait for days to pass): 60 days, with a
# gap of two weeks, each offer's price moving up to 10 % either way by product and day (no
# random(): the shell may work p out once per use). jg + 0: the shell has no numeric
# collation, and an expression needs none.
[ "$(db "select count(*) from price_history where day = date('now', 'localtime')")" -ge "$rows" ] ||
  fail "the offers are not in the price history ($(db 'select count(*) from price_history'))"
db "with recursive d(n) as (select 1 union all select n + 1 from d where n < 60)
    insert or ignore into price_history (cph, day, low, high, last, seen, merchant, name)
    select cph, date('now', 'localtime', '-' || n || ' days'), p * 95 / 100, p * 105 / 100, p, 1, sjlx, cpmc
    from (select cph, sjlx, cpmc, n,
                 cast((jg + 0) * (90 + (n * 7919 + unicode(substr(cph, -1)) * 104729) % 21) as integer) as p
          from cxnr, d where n not between 20 and 33 and jg + 0 > 0)"
step "price chart"
set -- $(geom grid1-picture)
xdotool mousemove $((win_x + $1 + 180)) $((win_y + $2)) click 3
sleep 0.5
xdotool mousemove_relative 30 10 click 1
chart=""
has_chart() {
  chart=$(xdotool search --all --onlyvisible --pid "$kova_pid" --name '^价格走势 - ' 2>/dev/null | head -1 || true)
  [ -n "$chart" ]
}
wait_for 10 has_chart || fail "no price chart window"
sleep 0.5
shot 08-price-chart
eval "$(xdotool getwindowgeometry --shell "$chart")"
chart_geometry="${WIDTH}x$HEIGHT+$X+$Y"
xdotool windowclose "$chart" 2>/dev/null || true
no_error_box || fail "an error box after the chart"

# --- a favorite ------------------------------------------------------------------------------
step "favorite"
click grid1-favorite
answer_box '提示' 03-favorite-added || fail "no message after adding the favorite"
[ "$(db "select count(*) from cxnr where \"check\" = '已收藏'")" = 1 ] || fail "the row is not marked as a favorite"
favorite_cph=$(db "select cph from cxnr where \"check\" = '已收藏'")

step "favorites view"
click btn2
favorite_listed() { [ "$(db 'select group_concat(cph) from scnr')" = "$favorite_cph" ]; }
wait_for 20 favorite_listed || fail "the favorites view does not list the favorite ($(db 'select group_concat(cph) from scnr'))"
sleep 0.5
shot 04-favorites

step "price drop"
http_get "$service_port" /__control/drop-prices >/dev/null
click btn3
dropped() {
  [ "$(db "select count(*) from scnr where cph = '$favorite_cph' and cast(gxjg as real) < cast(scjg as real)")" = 1 ]
}
wait_for 20 dropped || fail "the price-drop view does not show the drop ($(db 'select scjg, gxjg from scnr'))"
sleep 0.5
shot 05-price-drops
# The current price shown is the one the service gives for the dropped favorite now.
user=$(sed -n 's/^service \/ListAllMyFav\.aspx?u=\(k[0-9]*\)&.*/\1/p' "$out/standin.log" | head -1)
current=$(db "select gxjg from scnr where cph = '$favorite_cph'")
drops_page=$(http_get "$service_port" "/ListAllMyFav.aspx?u=$user&p=mivra&d=down" | iconv -f GBK -t UTF-8)
grep -qF "<TD>$current</TD>" <<<"$drops_page" || fail "the service does not list the current price $current"
no_error_box || fail "an error box in the lists"
peak=$(awk '/VmHWM/ { print $2 }' "/proc/$kova_pid/status")
step "peak memory so far: $peak kB"

step "close"
click close
wait_for 10 bash -c "! kill -0 $kova_pid 2>/dev/null" || fail "the window did not close"
wait "$kova_pid" && status=0 || status=$?
kova_pid=""
[ "$status" = 0 ] || fail "the program ended with status $status"

# --- the database and the server's log -----------------------------------------------------
step "checking kvdb.dat and the server's log"
[ "$(db 'pragma integrity_check')" = ok ] || fail "integrity check"
[ "$(db "select count(*) from word where word = '$keyword'")" = 1 ] || fail "keyword statistics"
[ "$(db "select count(*) from tpb where word = '$keyword'")" = "$rows" ] || fail "picture records"
[ "$(db 'select count(*) from scnr')" = 1 ] || fail "favorites table"
log="$out/standin.log"
expect_log() { grep -qE "$1" "$log" || fail "server log lacks: $1"; }
expect_log '^service /RandomUser\.aspx 200'
expect_log '^version /Ver/Ver10\.html 200'
expect_log "^service /ListAll\.aspx\?word=$(gbk_query "$keyword")&u=k[0-9]+&p=mivra 200"
expect_log '^service /OpFav\.aspx\?u=k[0-9]+&p=mivra&i=[0-9]+ 200'
expect_log '^service /ListAllMyFav\.aspx\?u=k[0-9]+&p=mivra 200'
expect_log '^service /ListAllMyFav\.aspx\?u=k[0-9]+&p=mivra&d=down 200'
[ "$(grep -c '^service /RandomUser' "$log")" = 1 ] || fail "more than one account request"
pictures=$(grep -cE '^directory /pic/[A-Za-z0-9]+\.jpg 200' "$log" || true)
[ "$pictures" -ge "$rows" ] || fail "$pictures thumbnail requests for $rows rows"

# --- killed in the middle of a 10,000-row page --------------------------------------------
step "second start; a 10,000-row search, killed midway"
start_kova
no_error_box || fail "an error box at the second start"
click edt_key
xdotool type --delay 20 test10000
click suiButton4
reading_started=$SECONDS
# The page is read in about half a second: the rows are watched without a pause, and the
# program is killed as soon as some are stored.
half_read() { [ "$(db 'select count(*) from cxnr')" -ge 500 ]; }
until half_read; do
  [ $SECONDS -lt $((reading_started + 60)) ] || fail "the 10,000-row page was not being read"
done
seen=$(db 'select count(*) from cxnr')
kill -9 "$kova_pid"
wait "$kova_pid" 2>/dev/null || true
kova_pid=""
[ "$(db 'pragma integrity_check')" = ok ] || fail "integrity check after the kill"
kept=$(db 'select count(*) from cxnr')
[ "$kept" -ge "$seen" ] || fail "rows lost: $seen seen before the kill, $kept after"
[ "$kept" -lt 10000 ] || fail "the page was read to its end before the kill"
[ "$(db 'select count(*) from scnr')" = 1 ] || fail "the favorite was lost"
step "killed with $seen rows seen, $kept rows kept"

step "third start after the kill, with a notification service"
# The favorite drops once more while Kova is not running; the start's check announces it on
# the desktop (dunst on a session bus of the test's own).
http_get "$service_port" /__control/drop-prices >/dev/null
bus_address=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$out/bus.pid") ||
  fail "no session bus"
bus_pid=$(cat "$out/bus.pid")
export DBUS_SESSION_BUS_ADDRESS=$bus_address
kova_background "$out/dunst.log" dunst
start_kova
wait_for 5 no_error_box || fail "an error box after the kill"
sleep 1
no_error_box || fail "an error box after the kill"
shot 07-after-kill
alerted() { [ -n "$(db "select price from price_alert where cph = '$favorite_cph'")" ]; }
wait_for 20 alerted || fail "the start did not announce the price drop"
popup=""
has_popup() {
  popup=$(xdotool search --all --onlyvisible --class Dunst 2>/dev/null | head -1 || true)
  [ -n "$popup" ]
}
wait_for 10 has_popup || fail "no desktop notification"
sleep 0.5
shot 09-alert
# Activating the notification (dunst: a middle click) shows the price-drop view.
drop_lists=$(grep -c 'd=down 200' "$out/standin.log" || true)
eval "$(xdotool getwindowgeometry --shell "$popup")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 2
opened() { [ "$(grep -c 'd=down 200' "$out/standin.log" || true)" -gt "$drop_lists" ] && [ "$(db 'select count(*) from scnr')" = 1 ]; }
wait_for 20 opened || fail "activating the notification did not show the price-drop view"
sleep 0.5
shot 10-alert-opened
click close
wait_for 10 bash -c "! kill -0 $kova_pid 2>/dev/null" || fail "the window did not close"
wait "$kova_pid" || fail "the program ended with an error status"
kova_pid=""
[ "$(db 'pragma integrity_check')" = ok ] || fail "integrity check after the restart"
[ "$(db 'select count(*) from scnr')" = 1 ] || fail "the favorite was lost after the restart"

echo "e2e: passed (keyword $keyword, $rows rows, kill after $seen rows kept $kept, peak memory ${peak} kB);" \
  "screenshots in $shots"
if [ -n "${KOVA_SCREENSHOTS:-}" ]; then
  mkdir -p "$KOVA_SCREENSHOTS"
  for s in 01-start 02-results 04-favorites 05-price-drops; do
    convert "$shots/$s.png" -crop "1020x700+$first_x+$first_y" +repage "$KOVA_SCREENSHOTS/$s.png"
  done
  convert "$shots/08-price-chart.png" -crop "$chart_geometry" +repage "$KOVA_SCREENSHOTS/08-price-chart.png"
  cp "$shots/09-alert.png" "$KOVA_SCREENSHOTS/09-alert.png"
  echo "e2e: window pictures in $KOVA_SCREENSHOTS"
fi
