#!/usr/bin/env bash
# Search speed in the real window, side by side with Chromium. The built kova runs under
# Xvfb against its own stand-in server and is driven as a user drives it: a keyword typed
# with xdotool, Return. Every stage is timed by the program's own trace (KOVA_TRACE=FILE,
# CLOCK_MONOTONIC): search started, request sent, reply complete, page text ready, first
# row shown, last row stored, grid repainted with the last row's data, thumbnails all shown.
# Each run searches a new keyword (test<N>-k<run>: N rows of products never seen before, so
# every thumbnail is fetched), for 100, 1,000 and 10,000 rows, five runs each, one after
# another in one window (each run waits for its thumbnails); one untimed search comes first.
# In the same run Debian's headless Chromium, in one tab (tools/chromium-timing.py, over the
# DevTools pipe; one untimed page first), opens the same result page from the same server
# (new keywords too), and the same page with the thumbnail cells as pictures
# (view=browser); the pages' own Navigation Timing gives DOMContentLoaded of the first and
# load (every picture in) of the second. Prints
# medians and ratios as a Markdown table, also written to <build>/window-bench/window-bench.md;
# the trace, the logs and every run's figures stay in <build>/window-bench/.
#
#   tools/window-bench.sh [build dir]      (default: build)
#
# KOVA_BENCH_ROWS="100 1000 10000" and KOVA_BENCH_RUNS=5 change the sizes and the runs;
# KOVA_BENCH_WAIT=300 is how long one run may wait for its thumbnails (seconds).
# KOVA_BENCH_A11Y=1 runs Kova a second time with a screen reader's bridge on
# (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1, the AT-SPI bus of a private D-Bus session) and prints
# the reading's cost with it beside the cost without.
# Builds the four programs it runs (kova, kova-standin, kova-initdb and
# kova-reliability-driver, which tells where the controls lie) in the build folder, as
# tools/build.sh does. Installs Debian's chromium when it is missing (as root); needs Xvfb,
# xdotool, sqlite3 and python3. Takes about 20 minutes on two busy cores.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
top=$(pwd)
build=${1:-build}
a11y=${KOVA_BENCH_A11Y:-}
# The screen reader's bridge needs a D-Bus session (the AT-SPI bus is started on demand).
if [ -n "$a11y" ] && [ -z "${KOVA_BENCH_SESSION:-}" ]; then
  command -v dbus-run-session >/dev/null || {
    echo "window-bench: dbus-run-session is missing (tools/setup.sh installs it)" >&2
    exit 1
  }
  KOVA_BENCH_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
build=$(cd "$build" && pwd)
sizes=${KOVA_BENCH_ROWS:-100 1000 10000}
runs=${KOVA_BENCH_RUNS:-5}
thumbnail_wait=${KOVA_BENCH_WAIT:-300}
out="$build/window-bench"
work="$out/work"

fail() {
  echo "window-bench: $*" >&2
  exit 1
}
for tool in Xvfb xdotool sqlite3 python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/setup.sh installs it)"
done
if ! command -v chromium >/dev/null; then
  [ "$(id -u)" = 0 ] || fail "chromium is missing; as root: apt-get install chromium"
  echo "window-bench: installing chromium"
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends chromium >/dev/null ||
    fail "apt-get install chromium failed"
fi

nice -n 10 cmake --build "$build" -j2 --target kova kova-standin kova-initdb kova-reliability-driver
kova="$build/bin/kova"
standin="$build/server/kova-standin"
initdb="$build/tools/kova-initdb"
driver=$(find_driver "$build") || fail "kova-reliability-driver is not built"

build_ports "$build"
if p=$(taken_port "$service_port" "$version_port" "$directory_port"); then
  fail "port $p is in use (another kova-standin?); stop it first"
fi

rm -rf "$out" || fail "$out cannot be emptied"
mkdir -p "$work/tmp" "$out/standin" "$out/chromium"
"$initdb" "$work/kvdb.dat" >/dev/null
trace="$out/trace.txt"
figures="$out/figures.txt" # one line per run: <program> <rows> <run> <measure>=<ms>...
: >"$figures"

kova_pid=""
listener_pid=""
cleanup() {
  [ -n "$kova_pid" ] && kill "$kova_pid" 2>/dev/null || true
  [ -n "$listener_pid" ] && kill "$listener_pid" 2>/dev/null || true
  kova_stop_all
}
trap cleanup EXIT
machine_load=$(cut -d' ' -f1-3 /proc/loadavg)
run_date=$(date -u '+%Y-%m-%d %H:%M UTC')
started=$SECONDS

standin_start "$out/standin.log" "$standin" --data "$out/standin" --service-port "$service_port" \
  --version-port "$version_port" --directory-port "$directory_port" || fail "the stand-in server did not start"
display=$(free_display 140 180) || fail "no free X display"
xvfb_start "$display" "$out/xvfb.log" || fail "Xvfb did not start"
geometry="$out/geometry.txt"
control_positions "$driver" "$initdb" "$out/geometry" "$geometry" || fail "the control positions could not be worked out"

# --- Kova ----------------------------------------------------------------------------------
# kova_runs <name> <tag> [env assignments...]: one window, every size and run (keywords
# test<rows>-<tag><run>); figures as <name>.
kova_runs() {
  local name=$1 tag=$2
  shift 2
  rm -rf "$work" && mkdir -p "$work/tmp"
  "$initdb" "$work/kvdb.dat" >/dev/null
  : >"$trace"
  (cd "$work" && exec env -u QT_QPA_PLATFORM TMPDIR="$work/tmp" KOVA_TRACE="$trace" "$@" "$kova") >"$out/$name.log" 2>&1 &
  kova_pid=$!
  window=""
  wait_for 30 has_window || fail "the main window did not appear"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  win_x=$X
  win_y=$Y
  wait_for 30 first_run_done || fail "the first-run account and affiliate ids did not arrive"
  if [ "$name" = kova-a11y ]; then
    /usr/bin/python3 tools/atspi.py "$kova_pid" status >"$out/a11y-status.txt" ||
      fail "the screen reader's bridge of the program did not answer"
  fi
  searches=0
  box=edt_key # the start page's box first, then the result view's
  search "test20-${tag}warm" 20 # untimed: libraries, fonts and connections are warm for the first timed run
  for rows in $sizes; do
    for run in $(seq 1 "$runs"); do
      search "test$rows-$tag$run" "$rows"
      t0=$(traced "$s" search-started)
      line="$name $rows $run"
      for event in request-sent reply-complete page-text-ready document-complete first-row-shown last-row-stored \
        grid-repainted thumbnails-shown; do
        t=$(traced "$s" "$event")
        [ -n "$t" ] && line+=" $event=$(awk -v a="$t0" -v b="$t" 'BEGIN { printf "%.1f", (b - a) * 1000 }')"
      done
      reply=$(traced "$s" reply-complete)
      shown=$(traced "$s" grid-repainted)
      [ -n "$reply" ] && [ -n "$shown" ] &&
        line+=" after-reply=$(awk -v a="$reply" -v b="$shown" 'BEGIN { printf "%.1f", (b - a) * 1000 }')"
      longest=$(awk -v s="$s" '$3 == "reading-longest-wait" && $4 == s { print $5; exit }' "$trace")
      [ -n "$longest" ] && line+=" longest-wait=$longest"
      echo "$line" >>"$figures"
      echo "window-bench: $line"
    done
  done
  kill "$kova_pid" 2>/dev/null || true
  wait "$kova_pid" 2>/dev/null || true
  kova_pid=""
  cp "$trace" "$out/trace-$name.txt"
}
has_window() { window=$(main_window "$kova_pid") && [ -n "$window" ]; }
first_run_done() { [ -n "$(kova_db "$work/kvdb.dat" "select u from xxb where u <> '' and a <> '' and b <> ''")" ]; }

# traced <search> <event>: the event's timestamp (seconds) in the trace, or nothing.
traced() { awk -v s="$1" -v e="$2" '$3 == e && $4 == s { print $1; exit }' "$trace" 2>/dev/null; }
has_event() { [ -n "$(traced "$1" "$2")" ]; }
# search <keyword> <rows>: types the keyword, presses Return and waits for the rows and the
# thumbnails; sets s to the search's number in the trace.
search() {
  click "$box"
  xdotool key ctrl+a
  xdotool type --delay 5 "$1"
  xdotool key Return
  searches=$((searches + 1))
  box=Edt_word
  s=$searches
  wait_for 60 has_event "$s" search-started || fail "search $s ($1) did not start"
  wait_for 300 has_event "$s" grid-repainted || fail "search $s ($1) did not show its rows"
  stored=$(awk -v s="$s" '$3 == "last-row-stored" && $4 == s { print $5; exit }' "$trace")
  [ "$stored" = "$2" ] || fail "search $s ($1) stored $stored rows, not $2"
  wait_for "$thumbnail_wait" has_event "$s" thumbnails-shown ||
    echo "window-bench: search $s ($1): thumbnails not all shown after ${thumbnail_wait}s" >&2
}
kova_runs kova k
# With a screen reader's bridge on, as under Orca: the AT-SPI bus of this D-Bus session
# running before the program starts (Qt's bridge waits for it, it does not start it), and a
# client listening for the events a screen reader listens for, so the bridge sends them.
if [ -n "$a11y" ]; then
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null ||
    fail "the AT-SPI bus did not start"
  /usr/bin/python3 -c '
import pyatspi
def heard(event):
    pass
pyatspi.Registry.registerEventListener(heard, "object:children-changed", "object:state-changed",
                                       "object:property-change", "object:text-changed", "object:active-descendant-changed", "focus:")
pyatspi.Registry.start()
' >"$out/a11y-listener.log" 2>&1 &
  listener_pid=$!
  sleep 1
  kova_runs kova-a11y a QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
  kill "$listener_pid" 2>/dev/null || true
  listener_pid=""
fi

# --- Chromium ------------------------------------------------------------------------------
# One browser, one tab, a page opened first untimed (as the window's first search is); then
# for every run the very page Kova reads (DOMContentLoaded) and the browser view of another
# new keyword of the same size (load: every thumbnail in).
page() { echo "http://127.0.0.1:$service_port/ListAll.aspx?word=$1&u=&p=${2:-}"; }
urls=()
for rows in $sizes; do
  for run in $(seq 1 "$runs"); do
    urls+=("$(page "test$rows-c$run")" "$(page "test$rows-b$run" '&view=browser')")
  done
done
# Chromium outside the D-Bus session the screen reader run may have opened.
env -u DBUS_SESSION_BUS_ADDRESS python3 tools/chromium-timing.py "$out/chromium/profile" "$(page test20-cwarm '&view=browser')" "${urls[@]}" \
  >"$out/chromium/timing.jsonl" || fail "chromium did not time the pages (see $out/chromium/timing.jsonl)"
i=0
for rows in $sizes; do
  for run in $(seq 1 "$runs"); do
    plain=$(sed -n "$((i + 1))p" "$out/chromium/timing.jsonl")
    pictures=$(sed -n "$((i + 2))p" "$out/chromium/timing.jsonl")
    i=$((i + 2))
    line=$(python3 -c 'import json, sys
plain, pictures, rows, run = json.loads(sys.argv[1]), json.loads(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
assert plain["images"] == 0 and pictures["images"] == rows, "pictures: %s, %s" % (plain["images"], pictures["images"])
print("chromium %d %s response-end=%.1f dom-content-loaded=%.1f pictures-dom-content-loaded=%.1f load=%.1f"
      % (rows, run, plain["responseEnd"], plain["domContentLoaded"], pictures["domContentLoaded"], pictures["load"]))' \
      "$plain" "$pictures" "$rows" "$run") || fail "chromium's timing for $rows rows: $plain $pictures"
    echo "$line" >>"$figures"
    echo "window-bench: $line"
  done
done
rm -rf "$out/chromium/profile"

# --- the table -----------------------------------------------------------------------------
python3 - "$figures" "$out/window-bench.md" "$machine_load" "$run_date" "$runs" "$((SECONDS - started))" <<'EOF'
import statistics, sys
figures, table_file, load, date, runs, took = sys.argv[1:7]
data = {}
for line in open(figures):
    program, rows, _run, *pairs = line.split()
    entry = data.setdefault((program, int(rows)), {})
    for pair in pairs:
        key, value = pair.split("=")
        entry.setdefault(key, []).append(float(value))

def med(program, rows, key):
    values = data.get((program, rows), {}).get(key, [])
    return statistics.median(values) if values else None

def ms(v):
    if v is None:
        return "–"
    return "%.0f ms" % v if v < 10000 else "%.1f s" % (v / 1000)

def ratio(a, b):
    return "–" if a is None or b is None or b == 0 else "%.2f×" % (a / b)

sizes = sorted({rows for _, rows in data})
kova_rows = [
    ("request-sent", "Kova: request sent"),
    ("reply-complete", "Kova: reply complete"),
    ("page-text-ready", "Kova: page text ready"),
    ("document-complete", "Kova: page reaches the window's thread"),
    ("first-row-shown", "Kova: first row shown"),
    ("last-row-stored", "Kova: last row stored"),
    ("grid-repainted", "Kova: grid repainted with the last row"),
    ("thumbnails-shown", "Kova: thumbnails all shown"),
    ("after-reply", "Kova: reply complete to grid repainted with the last row"),
    ("longest-wait", "Kova: longest wait of the window's events during the reading"),
]
lines = ["Machine: %s cores, load average at start %s" % (__import__("os").cpu_count(), load),
         "Date: %s; medians of %s runs, milliseconds from the search's start (Kova: Return pressed;"
         " Chromium: navigation start)" % (date, runs), "",
         "| Measure | " + " | ".join("%s rows" % format(n, ",") for n in sizes) + " |",
         "|---|" + "---:|" * len(sizes)]
for key, title in kova_rows:
    lines.append("| %s | " % title + " | ".join(ms(med("kova", n, key)) for n in sizes) + " |")
a11y = any(program == "kova-a11y" for program, _ in data)
if a11y:
    for key, title in [("last-row-stored", "Kova with a screen reader's bridge: last row stored"),
                       ("grid-repainted", "Kova with a screen reader's bridge: grid repainted with the last row"),
                       ("longest-wait", "Kova with a screen reader's bridge: longest wait of the window's events")]:
        lines.append("| %s | " % title + " | ".join(ms(med("kova-a11y", n, key)) for n in sizes) + " |")
lines.append("| Chromium: response end | " + " | ".join(ms(med("chromium", n, "response-end")) for n in sizes) + " |")
lines.append("| Chromium: DOMContentLoaded | " + " | ".join(ms(med("chromium", n, "dom-content-loaded")) for n in sizes) + " |")
lines.append("| Chromium: DOMContentLoaded of the page with pictures | " + " | ".join(ms(med("chromium", n, "pictures-dom-content-loaded")) for n in sizes) + " |")
lines.append("| Chromium: load of the page with pictures (every thumbnail in) | " + " | ".join(ms(med("chromium", n, "load")) for n in sizes) + " |")
lines.append("| **Ratio** rows shown: Kova grid repainted / Chromium DOMContentLoaded | " + " | ".join(
    ratio(med("kova", n, "grid-repainted"), med("chromium", n, "dom-content-loaded")) for n in sizes) + " |")
lines.append("| **Ratio** rows shown, 1/3 goal: Kova grid repainted / (Chromium DOMContentLoaded / 3) | " + " | ".join(
    ratio(med("kova", n, "grid-repainted"), (med("chromium", n, "dom-content-loaded") or 0) / 3) for n in sizes) + " |")
lines.append("| **Ratio** thumbnails: Kova all shown / Chromium load | " + " | ".join(
    ratio(med("kova", n, "thumbnails-shown"), med("chromium", n, "load")) for n in sizes) + " |")
if a11y:
    lines.append("| **Ratio** reading with / without the bridge: (last row stored - page reaches the window) | " + " | ".join(
        ratio((med("kova-a11y", n, "last-row-stored") or 0) - (med("kova-a11y", n, "document-complete") or 0),
              (med("kova", n, "last-row-stored") or 0) - (med("kova", n, "document-complete") or 0)) for n in sizes) + " |")
lines += ["", "Run took %s s. Other work shares the machine: figures are upper bounds." % took]
text = "\n".join(lines) + "\n"
open(table_file, "w").write(text)
print(text)
EOF
