#!/usr/bin/env bash
# End-to-end benchmark: one orthaven-layout run over a generated scan set (4 stations, PTX
# with intensity, about 20 million points: top view, 0.01 m, 20 m tiles, 30 m scan
# radius), beside a plain read of the same files through the same reader. Builds
# nothing: run scripts/build.sh first.
#
#   bench/e2e.sh [--build DIR] [--points-per-column N] [--columns N] [--keep]
#
# --points-per-column, --columns   grid of each station (default 2500 x 2000: 5 M points)
# --keep   keep the generated scans in the temporary folder for the next run
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
rows=2500
columns=2000
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build="$2"; shift 2 ;;
        --points-per-column) rows="$2"; shift 2 ;;
        --columns) columns="$2"; shift 2 ;;
        --keep) keep=1; shift ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

for program in orthaven-genscan orthaven-layout bench_scan_read; do
    if [ ! -x "$build/bin/$program" ]; then
        echo "$build/bin/$program is missing: build with scripts/build.sh first" >&2
        exit 1
    fi
done
build="$(cd "$build" && pwd)"

work="${TMPDIR:-/tmp}/orthaven-bench/e2e-4x${rows}x${columns}"
scans="$work/scans"
out="$work/layout"
# The run's own configuration and temporary folder, not the user's.
export APPDATA="$work/appdata"
cleanup() {
    rm -rf "$out" "$APPDATA"
    if [ "$keep" = 0 ]; then rm -rf "$work"; fi
}
trap cleanup EXIT

if [ ! -f "$work/scans.done" ]; then
    echo "Generating 4 stations of $rows x $columns points in $scans ..."
    rm -rf "$scans"
    mkdir -p "$work"
    "$build/bin/orthaven-genscan" --output "$scans" --stations 4 \
        --points-per-column "$rows" --columns "$columns" --seed 5 >"$work/genscan.txt" \
        || { cat "$work/genscan.txt" >&2; exit 1; }
    touch "$work/scans.done"
fi
files=("$scans"/*.ptx)
points=$(awk '/ scans, / { print $3 }' "$work/genscan.txt")
bytes=$(cat "${files[@]}" | wc -c)

cat "${files[@]}" >/dev/null # the same warm page cache for both runs

# A plain read: the reader alone, every point in engine-sized chunks.
read_out=$("$build/bin/bench_scan_read" "${files[@]}")
read_points=$(awk '$1 == "points" { print $2 }' <<<"$read_out")
list_time=$(awk '$1 == "list" { print $2 }' <<<"$read_out")
read_time=$(awk '$1 == "read" { print $2 }' <<<"$read_out")

# The whole layout. --verbose makes orthaven-layout report its wall time and peak memory.
rm -rf "$out"
layout_err="$work/layout.err"
"$build/bin/orthaven-layout" --verbose --view top --resolution 0.01 --tile 20 --domain 30 \
    --no-invert --out "$out/bench.log" "${files[@]}" >"$work/layout.out" 2>"$layout_err" \
    || { tail -20 "$layout_err" >&2; exit 1; }
wall=$(awk '/^Wall time: / { print $3 }' "$layout_err")
peak=$(awk '/^Peak memory: / { print $3 }' "$layout_err")
tiles=$(grep -c '^Tile Name = ' "$out/bench.log")
engine_points=$(awk '/^Number of Points = / { n += $5 } END { print n }' "$layout_err")

awk -v points="$points" -v rp="$read_points" -v ep="$engine_points" -v bytes="$bytes" \
    -v wall="$wall" -v peak="$peak" -v lt="$list_time" -v rt="$read_time" -v tiles="$tiles" '
BEGIN {
    mb = bytes / 1e6
    printf "\nScans: 4 stations, %d points (%d in the plain read, %d in the layout), %.0f MB of PTX\n", points, rp, ep, mb
    printf "%-40s %8.2f s  %6.2f M points/s  peak %s MB  (%d tiles)\n", "orthaven-layout (list + layout)", wall, points / wall / 1e6, peak, tiles
    printf "%-40s %8.2f s  %6.2f M points/s\n", "plain read (list + read all points)", lt + rt, points / (lt + rt) / 1e6
    printf "%-40s %8.2f s\n", "  of which listing the files", lt
    printf "layout / plain read: %.2f\n", wall / (lt + rt)
}'
