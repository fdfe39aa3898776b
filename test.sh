#!/usr/bin/env bash
# Set up, build and run every test headless.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
./tools/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 120
