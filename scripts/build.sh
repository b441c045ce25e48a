#!/usr/bin/env bash
# Configures and builds into ./build (extra arguments go to CMake's configure step).
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f build/Makefile ]; then
    generator=(-G Ninja)
fi
# ccache, when installed, makes rebuilds in several checkouts cheap; it is not required.
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build "${generator[@]}" "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build --parallel "$(nproc 2>/dev/null || echo 2)"
