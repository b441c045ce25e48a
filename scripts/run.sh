#!/usr/bin/env bash
# Sets up and builds; lays out the sample scans with orthaven-layout (generating them the
# first time) and prints where the layout went; then starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh

# Four stations in the three rooms of the generated building, about 3 million points,
# with intensity and colour, so the density, intensity and colour layers can all be tried.
# Samples made with other options (an older run) are made again.
samples=build/sample-scans
options="--stations 4 --points-per-column 500 --columns 1500 --colour --seed 1"
if [ "$(cat "$samples/.complete" 2>/dev/null)" != "$options" ]; then
    echo "Generating the sample scans in $samples ..."
    rm -rf "$samples"
    # shellcheck disable=SC2086 # the options are words
    build/bin/orthaven-genscan --output "$samples" $options
    echo "$options" > "$samples/.complete"
fi

# A floor plan cut between 0.5 m and 2.5 m above the floor, as one would trace it: 10 m
# tiles at 2 cm, so the plan comes out in a few tiles whose joins can be seen.
layout=build/sample-layout
rm -rf "$layout"
build/bin/orthaven-layout --view top --resolution 0.02 --tile 10 --domain 30 --no-invert \
    --clip-low 0.5 --clip-high 2.5 --out "$layout/Layout.log" "$samples"/scan_*.ptx
echo "Sample layout (tiles, thumbnail Layout_overview.png, log Layout.log): $(cd "$layout" && pwd)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: start the window under a virtual one with"
    echo "  xvfb-run -a -s '-screen 0 1280x800x24' build/bin/orthaven"
    exit 0
fi
echo "Starting the window: build/bin/orthaven"
exec build/bin/orthaven
