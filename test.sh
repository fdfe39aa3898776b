#!/usr/bin/env bash
# Set up, build and run every test headless, then the reliability checks:
#   1. the suite (build/, Release) under CTest;
#   2. the built program in a real X window under Xvfb (tools/e2e.sh; skipped without Xvfb);
#   3. the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer
#      (tools/sanitize.sh asan, build-asan/);
#   4. load and peak memory, with LeakSanitizer on the ASan build (tools/reliability.sh);
#   5. every fuzz target for 30 seconds (tools/fuzz.sh, build-fuzz/).
# KOVA_QUICK=1 runs the suite only.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
./tools/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 120

if [ "${KOVA_QUICK:-0}" = 1 ]; then
  exit 0
fi

status=0
./tools/e2e.sh build || status=$?
if [ "$status" = 77 ]; then
  echo "test: the real-window test was skipped (no Xvfb)"
elif [ "$status" != 0 ]; then
  exit "$status"
fi
./tools/sanitize.sh asan
./tools/reliability.sh build
./tools/fuzz.sh 30
