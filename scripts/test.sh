#!/usr/bin/env bash
# Sets up, builds and runs every test. Widget tests run offscreen; no display needed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)" "$@"
