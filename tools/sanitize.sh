#!/usr/bin/env bash
# Builds and runs the tests under the sanitizers, each in a build tree of its own:
#
#   tools/sanitize.sh asan   build-asan, AddressSanitizer + UndefinedBehaviorSanitizer
#                            (+ LeakSanitizer): the whole suite
#   tools/sanitize.sh tsan   build-tsan, ThreadSanitizer: the tests that run the thumbnail
#                            thread and the page loaders' workers (search and service)
#
# Extra arguments go to ctest (e.g. -R store). Runs niced, two jobs at most.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
kind=${1:-}
shift || true
supp="$top/tests/reliability/sanitizers"

case "$kind" in
asan)
  build="$top/build-asan"
  sanitize="address,undefined"
  targets=(all)
  filter=()
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
  export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp"
  ;;
tsan)
  build="$top/build-tsan"
  sanitize="thread"
  targets=(search_tests search_reader_tests service_net_tests service_text_tests)
  filter=(-R 'search_|service')
  # Debian's Qt and libcurl are not instrumented: only Kova's own accesses are checked.
  export TSAN_OPTIONS="halt_on_error=1:ignore_noninstrumented_modules=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp:history_size=4"
  ;;
*)
  echo "usage: tools/sanitize.sh asan|tsan [ctest arguments]" >&2
  exit 2
  ;;
esac

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_SANITIZE="$sanitize" \
    -DKOVA_BUILD_BENCH=OFF >/dev/null
fi
nice -n 10 cmake --build "$build" -j2 --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
# Sanitized tests run several times slower; the budget per test grows with them.
nice -n 10 ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 "${filter[@]}" "$@"
