#!/usr/bin/env bash
# Set up, build, start the stand-in server and the client. Without a display the client
# runs under Xvfb and a screenshot of its window is written after start-up.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
./tools/build.sh

top=$(pwd)
work="$top/work"
mkdir -p "$work"
[ -f "$work/kvdb.dat" ] || "$top/build/tools/kova-initdb" "$work/kvdb.dat"

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ -x "$top/build/server/kova-standin" ]; then
  mkdir -p "$work/standin"
  "$top/build/server/kova-standin" --data "$work/standin" >"$work/standin.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/8936) 2>/dev/null && break
    sleep 0.1
  done
  echo "stand-in server running (log: $work/standin.log)"
fi

if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:93
  Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  headless=1
fi

(cd "$work" && exec "$top/build/bin/kova") &
kova_pid=$!
pids+=($kova_pid)

if [ -n "${headless:-}" ]; then
  sleep 4
  shot="$work/screenshot-start.png"
  import -window root "$shot"
  echo "screenshot: $shot"
fi
echo "kova running (pid $kova_pid); press Ctrl+C to stop"
wait "$kova_pid"
