#!/usr/bin/env bash
# Runs every test: installs what is needed, builds, then CTest (windows headless).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 600
