#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into ./build-asan
# and runs the whole suite there, offscreen (extra arguments go to ctest). Any memory
# error, undefined behaviour or leak fails its test; nothing is suppressed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f build-asan/Makefile ]; then
    generator=(-G Ninja)
fi
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-asan "${generator[@]}" "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORTHAVEN_SANITIZE=ON -DORTHAVEN_BUILD_BENCH=OFF
cmake --build build-asan --parallel "$(nproc 2>/dev/null || echo 2)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:check_initialization_order=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir build-asan --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)" "$@"
