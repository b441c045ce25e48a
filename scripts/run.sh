#!/usr/bin/env bash
# Sets up and builds; lays out the sample scans with orthaven-layout (generating them the
# first time) and prints where the layout went; then starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh

# Four stations in the three rooms of the generated building, about 3 million points.
samples=build/sample-scans
if [ ! -f "$samples/.complete" ]; then
    echo "Generating the sample scans in $samples ..."
    rm -rf "$samples"
    build/bin/orthaven-genscan --output "$samples" --stations 4 \
        --points-per-column 500 --columns 1500 --seed 1
    touch "$samples/.complete"
fi

# 10 m tiles at 2 cm, so the plan comes out in a few tiles whose joins can be seen.
layout=build/sample-layout
rm -rf "$layout"
build/bin/orthaven-layout --view top --resolution 0.02 --tile 10 --domain 30 --no-invert \
    --out "$layout/Layout.log" "$samples"/scan_*.ptx
echo "Sample layout (tiles, thumbnail Layout_overview.png, log Layout.log): $(cd "$layout" && pwd)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: start the window under a virtual one with"
    echo "  xvfb-run -a -s '-screen 0 1280x800x24' build/bin/orthaven"
    exit 0
fi
echo "Starting the window: build/bin/orthaven"
exec build/bin/orthaven
