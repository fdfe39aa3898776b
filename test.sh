#!/usr/bin/env bash
# Set up, build and test. What a newcomer and a developer run:
#
#   ./test.sh          the suite under CTest (build/, Release, headless) and the built
#                      program in a real X window under Xvfb (tools/e2e.sh, then
#                      tools/desktop.sh with the accessibility bus; each skipped when a tool
#                      is missing). Minutes from a clean clone, about one on a built tree.
#   ./test.sh --full   the same, then the slow checks (what .ci/run runs):
#                      the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer
#                      (tools/sanitize.sh asan, build-asan/); load and peak memory, with
#                      LeakSanitizer on the ASan build (tools/reliability.sh); every fuzz
#                      target for 30 seconds (tools/fuzz.sh, build-fuzz/).
#
# KOVA_QUICK=1 is still understood: the suite alone, without the real-window test.
set -euo pipefail
cd "$(dirname "$0")"

full=0
case "${1:-}" in
"") ;;
--full) full=1 ;;
*)
  echo "usage: ./test.sh [--full]" >&2
  exit 2
  ;;
esac

./tools/setup.sh
./tools/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 120

if [ "${KOVA_QUICK:-0}" = 1 ]; then
  exit 0
fi

for check in e2e desktop; do
  status=0
  "./tools/$check.sh" build || status=$?
  if [ "$status" = 77 ]; then
    echo "test: the real-window test tools/$check.sh was skipped (a tool is missing)"
  elif [ "$status" != 0 ]; then
    exit "$status"
  fi
done

if [ "$full" = 1 ]; then
  ./tools/sanitize.sh asan
  ./tools/reliability.sh build
  ./tools/fuzz.sh 30
fi
