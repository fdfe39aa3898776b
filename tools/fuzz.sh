#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) in build-fuzz/ and runs each for a
# number of seconds on its seed corpus (fuzz/corpus/<target>, made by kova-fuzz-corpus from
# the stand-in server's pages when missing). New inputs go to build-fuzz/fuzz-work/<target>,
# crashes to build-fuzz/fuzz-artifacts/, logs to build-fuzz/fuzz-logs/.
#
#   tools/fuzz.sh              every target for 30 s
#   tools/fuzz.sh 3600         every target for an hour
#   tools/fuzz.sh 60 fuzz_jpeg one target
#   tools/fuzz.sh --corpus     (re)write the seed corpus only
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
build="$top/build-fuzz"

seconds=30
corpus_only=0
if [ "${1:-}" = "--corpus" ]; then
  corpus_only=1
  shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
wanted=("$@")

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKOVA_FUZZ=ON -DKOVA_BUILD_TESTS=OFF -DKOVA_BUILD_BENCH=OFF \
    -DKOVA_SANITIZE=address,undefined \
    "-DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -fno-sanitize-recover=undefined" \
    "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -fno-sanitize-recover=undefined" >/dev/null
fi
# Named targets are built alone (the corpus writer only when a seed folder is missing).
if [ ${#wanted[@]} -gt 0 ] && [ "$corpus_only" = 0 ]; then
  nice -n 10 cmake --build "$build" -j2 --target "${wanted[@]}"
else
  nice -n 10 cmake --build "$build" -j2 --target kova_fuzz
fi

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

targets=()
for exe in "$build"/fuzz/fuzz_*; do
  [ -f "$exe" ] && [ -x "$exe" ] && targets+=("$(basename "$exe")")
done

write_corpus() {
  nice -n 10 cmake --build "$build" -j2 --target kova-fuzz-corpus
  # The server's static tables (patterns, the huge-page filler) live as long as the process: no
  # leak check.
  ASAN_OPTIONS=detect_leaks=0 "$build/fuzz/kova-fuzz-corpus" "$top/fuzz/corpus"
}
if [ "$corpus_only" = 1 ]; then
  write_corpus
  exit 0
fi
for t in "${targets[@]}"; do
  if [ ${#wanted[@]} -gt 0 ] && [[ ! " ${wanted[*]} " =~ " $t " ]]; then
    continue
  fi
  if [ ! -d "$top/fuzz/corpus/${t#fuzz_}" ]; then
    write_corpus
    break
  fi
done

mkdir -p "$build/fuzz-work" "$build/fuzz-artifacts" "$build/fuzz-logs"
failed=()
for t in "${targets[@]}"; do
  if [ ${#wanted[@]} -gt 0 ] && [[ ! " ${wanted[*]} " =~ " $t " ]]; then
    continue
  fi
  name=${t#fuzz_}
  seeds="$top/fuzz/corpus/$name"
  work="$build/fuzz-work/$name"
  mkdir -p "$work" "$seeds"
  # Text targets: the page dictionary, and inputs of at most 16 kB (longer pages only
  # repeat rows and slow every run down). Pictures keep the size of their seeds.
  options=()
  if [ "$name" != jpeg ]; then
    options+=(-max_len=16384)
    [ "$name" != decipher ] && options+=("-dict=$top/fuzz/kova.dict")
  fi
  log="$build/fuzz-logs/$name.log"
  echo "fuzz: $t for ${seconds}s (log: $log)"
  status=0
  nice -n 10 "$build/fuzz/$t" "$work" "$seeds" "${options[@]}" \
    -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$name-" >"$log" 2>&1 || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $t FAILED (status $status, ${runs:-?} runs); see $log" >&2
    grep -m3 -E 'ERROR|SUMMARY|fuzz check failed|runtime error' "$log" >&2 || true
    failed+=("$t")
  else
    echo "fuzz: $t ok: ${runs:-?} runs, $cov, corpus $(ls "$work" | wc -l) new + $(ls "$seeds" | wc -l) seeds"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failures in ${failed[*]}" >&2
  exit 1
fi
