#!/usr/bin/env bash
# The built program as the desktop around it sees it, in a real X window (Xvfb) with a D-Bus
# session and the accessibility bus (AT-SPI, as Orca uses it), against the stand-in server:
#   - the main window's title and a message box's title read from X exactly;
#   - the start page, the title bar buttons and the status bar read through AT-SPI;
#   - a search worked from the keyboard only: Tab to the keyword box, type, Enter, Tab into
#     the grid, Tab along a row, Enter on the favorite cell (a message box "提示"), Ctrl+Tab
#     out of the grid;
#   - a result row read through AT-SPI (the price as drawn, the stars);
#   - the progress panel's text and bar read while a page is loading;
#   - the right edge and the bottom-left corner dragged with xdotool: the window's size
#     changes and the grid's columns follow the resize step;
#   - the about window found by its name;
#   - the picture cache in the user's own ~/.cache/kova/kvpic (TMPDIR unset), private.
# Logs go to <build>/desktop/.
#
#   tools/desktop.sh [build dir]      (default: build)
#
# Needs Xvfb, xdotool, xprop, dbus-run-session, the AT-SPI bus and /usr/bin/python3 with
# pyatspi; exits with 77 (skipped) when one is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
top=$(pwd)
build=$(cd "${1:-build}" && pwd)
out="$build/desktop"
work="$out/work"
python=/usr/bin/python3

for tool in Xvfb xdotool xprop dbus-run-session sqlite3; do
  if ! command -v "$tool" >/dev/null; then
    echo "desktop: $tool is missing; skipped" >&2
    exit 77
  fi
done
if [ ! -x /usr/libexec/at-spi-bus-launcher ] || ! "$python" -c 'import pyatspi' 2>/dev/null; then
  echo "desktop: the AT-SPI bus or python3-pyatspi is missing; skipped" >&2
  exit 77
fi

# The checks run inside one D-Bus session, which the AT-SPI bus needs.
if [ -z "${KOVA_DESKTOP_SESSION:-}" ]; then
  KOVA_DESKTOP_SESSION=1 exec dbus-run-session -- "$0" "$build"
fi

kova="$build/bin/kova"
standin="$build/server/kova-standin"
initdb="$build/tools/kova-initdb"
for f in "$kova" "$standin" "$initdb"; do
  [ -x "$f" ] || {
    echo "desktop: $f is not built (cmake --build $build)" >&2
    exit 1
  }
done
build_ports "$build"
if p=$(taken_port "$service_port" "$version_port" "$directory_port"); then
  echo "desktop: port $p is in use (another kova-standin?); stop it first" >&2
  exit 1
fi

rm -rf "$out"
mkdir -p "$work" "$out/home" "$out/standin"
"$initdb" "$work/kvdb.dat" >/dev/null

kova_pid=""
cleanup() {
  [ -n "$kova_pid" ] && kill -9 "$kova_pid" 2>/dev/null || true
  kova_stop_all
}
trap cleanup EXIT

step() { echo "desktop: $*"; }
fail() {
  echo "desktop: FAILED: $*" >&2
  import -display "$DISPLAY" -window root "$out/failure.png" 2>/dev/null || true
  echo "desktop: logs in $out" >&2
  exit 1
}
db() { kova_db "$work/kvdb.dat" "$1"; }
a11y() { "$python" "$top/tools/atspi.py" "$kova_pid" "$@"; }
expect() { # expect <what> <expected> <actual>
  [ "$2" = "$3" ] || fail "$1: expected '$2', read '$3'"
  step "$1: $3"
}
x_title() { xprop -id "$1" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
geometry() { # sets X Y WIDTH HEIGHT of the main window
  eval "$(xdotool getwindowgeometry --shell "$window")"
}
status0() { # the text of status panel 0
  local panels
  panels=$(a11y status) || return 1
  printf '%s\n' "${panels%%$'\n'*}"
}
focus_is() { [ "$(a11y focus 2>/dev/null | cut -f1)" = "$1" ]; }
# tab_to <role>: Tab until the focus is on a control of that role (at most 12 presses).
tab_to() {
  local n
  for n in $(seq 12); do
    focus_is "$1" && return 0
    xdotool key Tab
    sleep 0.3
  done
  focus_is "$1"
}
http_get() {
  exec 5<>"/dev/tcp/127.0.0.1/$1"
  printf 'GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' "$2" >&5
  sed '1,/^\r$/d' <&5 >/dev/null
  exec 5<&-
}

standin_start "$out/standin.log" "$standin" --data "$out/standin" --service-port "$service_port" \
  --version-port "$version_port" --directory-port "$directory_port" || fail "the stand-in server did not start"
display=$(free_display 121 160) || fail "no free X display"
xvfb_start "$display" "$out/xvfb.log" || fail "Xvfb did not start"

# --- start, as the desktop starts it: no TMPDIR, the user's own home ----------------------------
step "start"
(cd "$work" && exec env -u QT_QPA_PLATFORM -u TMPDIR -u XDG_CACHE_HOME HOME="$out/home" \
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 "$kova") >>"$out/kova.log" 2>&1 &
kova_pid=$!
window=""
has_window() { window=$(main_window "$kova_pid") && [ -n "$window" ]; }
wait_for 20 has_window || fail "the main window did not appear"
account_stored() { [ -n "$(db "select u from xxb where u <> '' and p <> '' and a <> '' and b <> ''")" ]; }
wait_for 20 account_stored || fail "the account was not stored"

expect "main window title (X)" " Kova比价软件 V1.0 （Tavi版）" "$(x_title "$window")"
expect "main window name (AT-SPI)" " Kova比价软件 V1.0 （Tavi版）" "$(a11y frame)"
cache="$out/home/.cache/kova/kvpic"
[ -d "$cache" ] || fail "no picture cache in the user's cache folder"
expect "picture cache folder mode" 700 "$(stat -c %a "$out/home/.cache/kova")"

mapfile -t panels < <(a11y status)
# Panel 0 greets, or gives the count of the first-run reply once that has been read.
case "${panels[0]:-}" in
"货比三家，比价帮助您更省钱、省事！" | "本次搜索结果有: 0 条记录") step "status panel 0: ${panels[0]}" ;;
*) fail "status panel 0 reads '${panels[0]:-}'" ;;
esac
expect "status panel 1" " 温馨提示：本软件只提供比价服务，交易服务由各大电商提供。" "${panels[1]:-}"
expect "status panel 2" "电商联盟：淘宝网、京东商城、亚马逊、当当网、苏宁易购、一号店……" "${panels[2]:-}"
expect "title bar buttons" "最小化 最大化 关闭" "$(a11y titlebar | sort -r | paste -sd' ')"
a11y start >"$out/start-page.txt" || fail "the start page could not be read"
for want in $'link\t舌尖中国' $'link\tOPPO/欧普' $'push button\t淘宝网' $'push button\t1号店' \
  $'push button\t 智能比价搜索' $'label\t热门搜索关键字：' $'text\t商品名称或型号：'; do
  grep -qxF "$want" "$out/start-page.txt" || fail "the start page does not offer '$want'"
done
step "start page: $(wc -l <"$out/start-page.txt") named controls (start-page.txt)"

# --- a search from the keyboard only ----------------------------------------------------------
# Without a window manager nothing gives the new window the keyboard: do what one would.
# The pointer rests on the status bar, out of the way.
geometry
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 8))
xdotool windowfocus "$window"
sleep 0.3
tab_to text || fail "Tab does not reach the keyword box"
xdotool type --delay 50 test20
xdotool key Return
rows_stored() { [ "$(db 'select count(*) from cxnr')" = 20 ]; }
wait_for 30 rows_stored || fail "the search did not store its rows"
searched() { [ "$(status0)" = "本次搜索结果有: 20 条记录" ]; }
wait_for 10 searched || fail "the status bar does not give the count: $(status0)"
step "status panel 0 after the search: $(status0)"
tab_to table || fail "Tab does not reach the grid"
a11y row 0 >"$out/result-row.txt"
cat "$out/result-row.txt"
# The price as drawn: "￥" and the stored text, ".00" added to a whole number.
name=$(sed -n 's/^商品名称: //p' "$out/result-row.txt")
price=$(db "select jg from cxnr where cpmc = '${name//\'/\'\'}'" | sed -n 1p)
[ -n "$price" ] || fail "the first row's name '$name' is not in cxnr"
grep -qxF "价格: ￥$price$(case $price in *.*) ;; *) echo .00 ;; esac)" "$out/result-row.txt" ||
  fail "the first row does not read its price as drawn (￥$price)"
grep -qE '^推荐等级: ★+$' "$out/result-row.txt" || fail "the first row does not read its stars"
grep -qxF "收藏: 点击收藏" "$out/result-row.txt" || fail "the first row does not read its favorite cell"

# Along the row to the favorite cell; Enter adds the favorite as a click does.
for _ in $(seq 9); do xdotool key Tab; done
sleep 0.3
xdotool key Return
box=""
has_box() { box=$(xdotool search --all --onlyvisible --pid "$kova_pid" --name '提示' 2>/dev/null | head -1) && [ -n "$box" ]; }
wait_for 15 has_box || fail "no message box after Enter on the favorite cell"
expect "message box title (X)" "提示" "$(x_title "$box")"
eval "$(xdotool getwindowgeometry --shell "$box")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
sleep 0.2
xdotool key Return
wait_for 10 bash -c "! xdotool search --all --onlyvisible --pid $kova_pid --name '^提示\$' >/dev/null 2>&1" ||
  fail "the message box did not close"
[ "$(db "select count(*) from cxnr where \"check\" = '已收藏'")" = 1 ] || fail "Enter did not add the favorite"
step "Enter on the favorite cell added the favorite"

# --- the progress panel while a page loads ------------------------------------------------------
http_get "$service_port" "/__control/fault?name=Stall&prefix=/ListAll.aspx"
geometry
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 8))
xdotool windowfocus "$window"
sleep 0.3
xdotool key ctrl+Tab # out of the grid
tab_to text || fail "Tab does not reach the keyword box of the results view"
xdotool key ctrl+a
xdotool type --delay 50 test40
xdotool key Return
loading() { a11y progress >"$out/progress.txt" 2>/dev/null && [ -n "$(cut -f1 "$out/progress.txt")" ]; }
wait_for 10 loading || fail "the progress panel cannot be read while the page loads"
step "progress panel: $(tr '\t' ' ' <"$out/progress.txt")"
xdotool key Escape
http_get "$service_port" "/__control/fault?name=None&prefix="
stopped() { [ "$(status0)" = "已停止搜索" ]; }
wait_for 10 stopped || fail "Esc did not stop the search"

# --- resizing by an edge and a corner -----------------------------------------------------------
geometry
expect "window size" "1020x700" "${WIDTH}x$HEIGHT"
expect "grid columns at 1020" "70 265 40 102 92 113 68 68 85 68" "$(a11y widths)"
drag() { # drag <x> <y> <dx> <dy>
  xdotool mousemove "$1" "$2"
  sleep 0.3
  xdotool mousedown 1
  sleep 0.2
  xdotool mousemove $(($1 + $3 / 2)) $(($2 + $4 / 2))
  sleep 0.2
  xdotool mousemove $(($1 + $3)) $(($2 + $4))
  sleep 0.2
  xdotool mouseup 1
  sleep 0.5
}
# The window is centred on a 1280-pixel screen: 130 pixels to its right.
drag $((X + WIDTH - 2)) $((Y + HEIGHT / 2)) 100 0
geometry
expect "window size after the right edge" "1120x700" "${WIDTH}x$HEIGHT"
expect "grid columns at 1120" "70 290 44 112 101 124 74 74 93 74" "$(a11y widths)"
left=$X
drag $((X + 1)) $((Y + HEIGHT - 2)) 300 -100
geometry
expect "window size after the bottom-left corner" "820x600" "${WIDTH}x$HEIGHT"
expect "left edge after the corner" $((left + 300)) "$X"
expect "grid columns at 820" "70 215 32 82 74 91 54 54 68 54" "$(a11y widths)"

# --- the about window ---------------------------------------------------------------------------
a11y press "push button" "关于软件" || fail "the tool bar button 关于软件 cannot be pressed"
about_open() { a11y windows | grep -q $'\t关于软件$'; }
wait_for 10 about_open || fail "no window named 关于软件: $(a11y windows | paste -sd'|')"
about=$(xdotool search --all --onlyvisible --pid "$kova_pid" --name "^关于软件$" | sed -n 1p)
[ -n "$about" ] || fail "the about window has no title on X"
step "about window: $(a11y windows | grep -F 关于软件 | tr '\t' ' ')"

step "closing"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 8))
kill "$kova_pid"
wait "$kova_pid" 2>/dev/null || true
kova_pid=""
ls "$cache" | grep -q '\.jpg$' || fail "no thumbnails in the user's picture cache"
[ ! -e "$work/kvpic" ] || fail "a picture cache was made in the working folder"
step "passed"
