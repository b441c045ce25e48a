#!/usr/bin/env bash
# Layouts of inputs whose cost once went far beyond their points: many tiny scans in one
# file (100,000 empty PTX scans; an E57 file of 20,000 scans sharing one binary section;
# a FARO workspace of 5,002 scans of 32 points), 8 million points at 2 mm, and a 1 mm
# colour layout within --memory 256. Prints the wall time, the processor time and the
# peak memory of each orthaven-layout run (GNU time), and of listing the many scans.
# Builds nothing: run scripts/build.sh first.
#
#   bench/hard_inputs.sh [--build DIR] [--layout PROGRAM] [--keep]
#
# --layout  another orthaven-layout to time instead of the build's (before/after figures)
# --keep    keep the generated inputs in the temporary folder for the next run
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
layout=""
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build="$2"; shift 2 ;;
        --layout) layout="$(realpath "$2")"; shift 2 ;;
        --keep) keep=1; shift ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
for program in orthaven-genscan orthaven-layout write_many_scans; do
    if [ ! -x "$build/bin/$program" ]; then
        echo "$build/bin/$program is missing: build with scripts/build.sh first" >&2
        exit 1
    fi
done
if [ ! -x /usr/bin/time ]; then
    echo "GNU time (/usr/bin/time) is needed for the figures" >&2
    exit 1
fi
build="$(cd "$build" && pwd)"
[ -n "$layout" ] || layout="$build/bin/orthaven-layout"

work="${TMPDIR:-/tmp}/orthaven-bench/hard-inputs"
export APPDATA="$work/appdata" # the runs' own configuration and temporary folder
cleanup() {
    rm -rf "$work"/out-* "$APPDATA"
    if [ "$keep" = 0 ]; then rm -rf "$work"; fi
}
trap cleanup EXIT

if [ ! -f "$work/inputs.done" ]; then
    echo "Generating the inputs in $work ..."
    mkdir -p "$work"
    "$build/bin/write_many_scans" ptx "$work/empty.ptx" 100000
    "$build/bin/write_many_scans" e57 "$work/shared.e57" 20000
    "$build/bin/orthaven-genscan" -o "$work/faro" --format fws --name site --stations 5002 \
        --points-per-column 4 --columns 8 >/dev/null
    "$build/bin/orthaven-genscan" -o "$work/8m" --stations 4 --points-per-column 2000 \
        --columns 1000 >/dev/null
    "$build/bin/orthaven-genscan" -o "$work/colour" --stations 1 --points-per-column 500 \
        --columns 1000 --colour >/dev/null
    touch "$work/inputs.done"
fi

# One run: its label, then orthaven-layout's arguments. A layout that finds too little
# data (the many empty scans) still counts: its cost is what is measured.
measure() {
    local label="$1"
    shift
    /usr/bin/time -o "$work/time.txt" -f "%e %U %S %M" "$layout" "$@" >/dev/null 2>&1 || true
    tail -1 "$work/time.txt" | awk -v label="$label" '{
        printf "%-42s %8.2f s wall %8.2f s cpu %7.0f MB peak\n", label, $1, $2 + $3, $4 / 1024 }'
}

measure "list 100,000 empty PTX scans" --list "$work/empty.ptx"
measure "layout of 100,000 empty PTX scans" --out "$work/out-ptx/a.log" "$work/empty.ptx"
measure "list 20,000 E57 scans, one section" --list "$work/shared.e57"
measure "layout of 20,000 E57 scans, one section" --out "$work/out-e57/a.log" "$work/shared.e57"
measure "layout of 5,002 FARO scans" --out "$work/out-faro/a.log" "$work/faro/site.fws"
measure "8 M points at 2 mm" --resolution 0.002 --tile 10 --out "$work/out-8m/a.log" \
    "$work"/8m/*.ptx
measure "1 mm colour, 1 thread, --memory 256" --threads 1 --memory 256 --layer colour \
    --resolution 0.001 --tile 10 --out "$work/out-colour/a.log" "$work"/colour/*.ptx
