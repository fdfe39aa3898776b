#!/usr/bin/env bash
# Builds and runs every benchmark in bench/ (Google Benchmark, JSON output) and the 5,000-row
# search of kova-reliability-driver, then prints one Markdown table of the figures that
# matter: page to PageText beside a raw libcurl GET, search click to rows shown, rows stored
# per second, paint time per frame, start-up time (in process and the whole program) and
# the peak memory of a 5,000-row search. The table also goes to <build>/perf-report.md, the
# raw JSON and logs to <build>/perf-report/.
#
#   tools/perf-report.sh [build dir]      (default: build-bench, configured here when missing)
#
# A build configured here points the program at ports 18936-18938 instead of the usual
# 8936-8938, so that the whole-program start-up benchmark (which runs a stand-in server on
# the ports the build points at) never collides with a kova-standin someone else started.
# Needs python3 (jq is not used). Takes about five minutes on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
top=$(pwd)
build=${1:-$top/build-bench}
mkdir -p "$build"
build=$(cd "$build" && pwd)
started=$SECONDS

machine_cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
machine_load=$(cut -d' ' -f1-3 /proc/loadavg)
machine_cores=$(nproc)
run_date=$(date '+%Y-%m-%d %H:%M:%S %Z')

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKOVA_SERVICE_URL=http://127.0.0.1:18936 -DKOVA_VERSION_URL=http://127.0.0.1:18937 \
    -DKOVA_DIRECTORY_URL=http://127.0.0.1:18938 >/dev/null
fi
benches=(store_bench service_bench search_bench results_bench startup_bench history_bench)
nice -n 10 cmake --build "$build" -j2 --target "${benches[@]}" kova kova-initdb kova-standin \
  kova-reliability-driver

out="$build/perf-report"
rm -rf "$out"
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
export PERF_OUT="$out"

# bench <program> [flags...]: runs one benchmark program, JSON to $out/<program>.json.
bench() {
  local name=$1
  shift
  local program
  program=$(find "$build/bench" "$build" -maxdepth 1 -type f -name "$name" -perm -u+x 2>/dev/null | head -1)
  if [ -z "$program" ]; then
    echo "perf-report: $name is not built" >&2
    return 0
  fi
  echo "perf-report: running $name ($((SECONDS - started))s so far)"
  local status=0
  (cd "$out" && "$program" --benchmark_format=json --benchmark_out="$out/$name.json" \
    --benchmark_out_format=json "$@" >"$out/$name.console.json" 2>"$out/$name.err") || status=$?
  [ "$status" = 0 ] || echo "perf-report: $name ended with status $status (see $out/$name.err)" >&2
}
# Benchmarks without iterations or a time of their own run for 0.2 s each.
bench store_bench --benchmark_min_time=0.2
# The page benchmarks vary most from run to run on a shared machine: the median of three.
bench service_bench --benchmark_min_time=0.2 --benchmark_repetitions=3 --benchmark_report_aggregates_only=false
bench search_bench
bench results_bench --benchmark_min_time=0.2
bench startup_bench
# The reading with the history on and off, interleaved, the median of five: the machine is shared.
bench history_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true

# The peak memory of a 5,000-row search in a process of its own (as tools/reliability.sh).
echo "perf-report: running kova-reliability-driver search test5000 ($((SECONDS - started))s so far)"
driver=$(find_driver "$build") || driver=""
trap kova_stop_all EXIT
mem="$out/memory"
mkdir -p "$mem/standin" "$mem/work/tmp"
if [ -n "$driver" ] && standin_start "$mem/standin.log" "$build/server/kova-standin" --data "$mem/standin" \
  --service-port 0 --version-port 0 --directory-port 0; then
  "$build/tools/kova-initdb" "$mem/work/kvdb.dat" >/dev/null
  (cd "$mem/work" && TMPDIR="$mem/work/tmp" "$driver" "$standin_service" "$standin_version" \
    "$standin_directory" search test5000) >"$mem/driver.log" 2>"$mem/driver.err" ||
    echo "perf-report: the driver failed (see $mem)" >&2
else
  echo "perf-report: kova-reliability-driver or the stand-in server missing; no memory figure" >&2
fi
kova_stop_all

export PERF_MACHINE="$machine_cores cores, $machine_cpu, load average at start $machine_load"
export PERF_DATE="$run_date"
export PERF_SECONDS=$((SECONDS - started))
python3 tools/perf-report.py "$build/perf-report.md"
echo "perf-report: written to $build/perf-report.md"
