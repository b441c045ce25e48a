#!/usr/bin/env bash
# Sets up, builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: start the window under a virtual one with"
    echo "  xvfb-run -a -s '-screen 0 1280x800x24' build/bin/orthaven"
    exit 0
fi
exec build/bin/orthaven
