#!/usr/bin/env bash
# Configures and builds into ./build (extra arguments go to CMake's configure step).
set -euo pipefail
cd "$(dirname "$0")/.."
generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f build/Makefile ]; then
    generator=(-G Ninja)
fi
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build --parallel "$(nproc 2>/dev/null || echo 2)"
