#!/usr/bin/env bash
# Set up, build, start the stand-in server and the client. Without a display the client
# runs under Xvfb and a screenshot of its window is written after start-up.
set -euo pipefail
cd "$(dirname "$0")"
. tools/lib.sh
./tools/setup.sh
./tools/build.sh

top=$(pwd)
work="$top/work"
mkdir -p "$work"
[ -f "$work/kvdb.dat" ] || "$top/build/tools/kova-initdb" "$work/kvdb.dat"

trap kova_stop_all EXIT INT TERM

if [ -x "$top/build/server/kova-standin" ]; then
  mkdir -p "$work/standin"
  if standin_start "$work/standin.log" "$top/build/server/kova-standin" --data "$work/standin"; then
    echo "stand-in server running (log: $work/standin.log)"
  else
    echo "the stand-in server did not start (log: $work/standin.log)" >&2
  fi
fi

if [ -z "${DISPLAY:-}" ]; then
  display=$(free_display 93 120) || { echo "no free X display" >&2; exit 1; }
  xvfb_start "$display" "$work/xvfb.log" || { echo "Xvfb did not start" >&2; exit 1; }
  headless=1
fi

(cd "$work" && exec "$top/build/bin/kova") &
kova_pid=$!
kova_pids+=("$kova_pid")

if [ -n "${headless:-}" ]; then
  sleep 4
  shot="$work/screenshot-start.png"
  screenshot "$shot"
  echo "screenshot: $shot"
fi
echo "kova running (pid $kova_pid); press Ctrl+C to stop"
wait "$kova_pid"
