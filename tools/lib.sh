# Shell helpers shared by run.sh and the scripts in tools/ (e2e.sh, debian-check.sh,
# reliability.sh, perf-report.sh). Sourced, never run:
#
#   . "$(dirname "$0")/lib.sh"
#
# debian-check.sh also copies this file into the Debian root, where the script run as the
# user sources it: it needs bash, coreutils, grep, sed and awk, and the X tools only in the
# functions that drive a window.

# --- background processes ----------------------------------------------------------------
# Processes started by kova_background are stopped by kova_stop_all (the scripts' EXIT trap).
kova_pids=()
kova_background() { # kova_background <log file> <command...>: sets kova_last_pid
  local log=$1
  shift
  "$@" >"$log" 2>&1 &
  kova_last_pid=$!
  kova_pids+=("$kova_last_pid")
}
kova_stop_all() {
  local p
  for p in "${kova_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  kova_pids=()
}

# wait_for <seconds> <command...>: runs the command every 0.2 s until it succeeds; 1 when
# it has not succeeded in time.
wait_for() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.2
  done
}

# --- ports and the build -----------------------------------------------------------------
port_open() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; } # something listens on the port
build_port() { # build_port <build dir> <KOVA_*_URL> <default>: the port the build points at
  local port
  port=$(sed -n "s|^$2:STRING=http://127.0.0.1:\([0-9]*\).*|\1|p" "$1/CMakeCache.txt" 2>/dev/null)
  echo "${port:-$3}"
}
# Sets service_port, version_port and directory_port to the ports the build points at.
build_ports() {
  service_port=$(build_port "$1" KOVA_SERVICE_URL 8936)
  version_port=$(build_port "$1" KOVA_VERSION_URL 8937)
  directory_port=$(build_port "$1" KOVA_DIRECTORY_URL 8938)
}
# The first of the ports that is taken, or nothing (status 1) when all are free.
taken_port() {
  local p
  for p in "$@"; do
    if port_open "$p"; then
      echo "$p"
      return 0
    fi
  done
  return 1
}
find_driver() { # find_driver <build dir>: the path of kova-reliability-driver
  local d
  for d in "$1/tests/reliability/kova-reliability-driver" "$1/kova-reliability-driver"; do
    [ -x "$d" ] && echo "$d" && return 0
  done
  return 1
}

# --- the stand-in server -----------------------------------------------------------------
# standin_start <log> <kova-standin> [arguments...]: starts it in the background and waits
# for its address line; sets standin_pid and standin_service, standin_version,
# standin_directory (the base addresses it prints). 1 when it did not start.
standin_start() {
  local log=$1
  shift
  kova_background "$log" "$@"
  standin_pid=$kova_last_pid
  wait_for 15 grep -q '^kova-standin: service' "$log" || return 1
  read -r standin_service standin_version standin_directory < <(sed -n \
    's/^kova-standin: service \([^ ]*\) version \([^ ]*\) directory \([^ ]*\) .*/\1 \2 \3/p' "$log")
  [ -n "$standin_directory" ]
}

# --- the display and the window ------------------------------------------------------------
# free_display <first> <last> [other root]: a display number ":N" with no X server (here,
# nor in the other root, nor as an abstract socket).
free_display() {
  local n
  for n in $(seq "$1" "$2"); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ] &&
      { [ -z "${3:-}" ] || { [ ! -e "$3/tmp/.X11-unix/X$n" ] && [ ! -e "$3/tmp/.X$n-lock" ]; }; } &&
      ! grep -q "@/tmp/.X11-unix/X$n\$" /proc/net/unix 2>/dev/null; then
      echo ":$n"
      return 0
    fi
  done
  return 1
}
# xvfb_start <display> <log> [Xvfb arguments...]: a 1280x800 screen; exports DISPLAY and
# waits until the server listens. 1 when it did not start.
xvfb_start() {
  local display=$1 log=$2
  shift 2
  kova_background "$log" Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp "$@"
  export DISPLAY=$display
  wait_for 15 test -S "/tmp/.X11-unix/X${display#:}"
}
screenshot() { import -display "$DISPLAY" -window root "$1"; } # screenshot <png file>

# control_positions <driver> <kova-initdb> <folder> <output>: the window's control
# positions, worked out off screen by kova-reliability-driver ("geom <name> <x> <y>" lines).
control_positions() {
  local driver=$1 initdb=$2 dir=$3 output=$4
  mkdir -p "$dir/tmp"
  "$initdb" "$dir/kvdb.dat" >/dev/null &&
    (cd "$dir" && TMPDIR="$dir/tmp" QT_QPA_PLATFORM=offscreen \
      "$driver" http://127.0.0.1:9 http://127.0.0.1:9 http://127.0.0.1:9 geometry >"$output" 2>/dev/null)
}
# geom <name>: "x y" of a control, from the file named by $geometry.
geom() { awk -v n="$1" '$1 == "geom" && $2 == n { print $3, $4 }' "$geometry"; }
# main_window <pid>: the id of the visible window named Kova of the process.
main_window() { xdotool search --all --onlyvisible --pid "$1" --name 'Kova' 2>/dev/null | head -1 || true; }
# click <control>: a click on a control of the window at $win_x,$win_y; calls the script's
# fail when the control has no position.
click() {
  local at
  at=$(geom "$1")
  [ -n "$at" ] || fail "no position for $1"
  set -- $at
  xdotool mousemove $((win_x + $1)) $((win_y + $2)) click 1
  sleep 0.3
}
# kova_db <kvdb.dat> <sql>: one query, waiting for the program's write lock.
kova_db() { sqlite3 -cmd ".timeout 5000" "$1" "$2"; }
