#!/usr/bin/env bash
# Runs the benchmarks of an existing build (it builds nothing: run scripts/build.sh first)
# and prints their figures next to what plain tools take on the same file, then the PTG
# and E57 readers' on the same scan written as PTG and as E57, and the ratios of the
# readers.
#
#   bench/run.sh [--points N] [--build DIR] [--keep]
#
# --points  points in the generated PTX file (default 4000000; 12500000 makes about 1 GB);
#           the PTG and E57 files hold the same grid
# --build   build folder (default build)
# --keep    keep the generated file in the temporary folder for the next run
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
points=4000000
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --points) points="$2"; shift 2 ;;
        --build) build="$2"; shift 2 ;;
        --keep) keep=1; shift ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

bin="$build/bin/bench_ptx_read"
if [ ! -x "$bin" ]; then
    echo "$bin is missing: build with scripts/build.sh first" >&2
    exit 1
fi

dir="${TMPDIR:-/tmp}/orthaven-bench"
file="$dir/ptx_read_$points.ptx"
ptgfile="$dir/ptg_read_$points.ptg"
e57file="$dir/e57_read_$points.e57"
json="$(mktemp)"
ptgjson="$(mktemp)"
e57json="$(mktemp)"
trap 'rm -f "$json" "$ptgjson" "$e57json"; if [ "$keep" = 0 ]; then rm -f "$file" "$ptgfile" "$e57file"; fi' EXIT

"$bin" --ptx-points="$points" --ptx-file="$file" \
    --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_out="$json" --benchmark_out_format=json

# The median real time of a benchmark, in seconds (the JSON file is $2, default $json).
median() {
    awk -v want="\"$1/real_time_median\"," '
        $1 == "\"name\":" && $2 == want { found = 1 }
        found && $1 == "\"real_time\":" { gsub(",", "", $2); t = $2 }
        found && $1 == "\"time_unit\":" { u = $2; gsub("[\",]", "", u);
            f = (u == "ns") ? 1e-9 : (u == "us") ? 1e-6 : (u == "ms") ? 1e-3 : 1;
            printf "%.3f\n", t * f; exit }' "${2:-$json}"
}

# A counter of a benchmark's median entry.
counter() {
    awk -v want="\"$1/real_time_median\"," -v key="\"$2\":" '
        $1 == "\"name\":" && $2 == want { found = 1 }
        found && $1 == key { gsub(",", "", $2); printf "%.0f\n", $2; exit }' "$3"
}

seconds() { # wall time of a command, seconds
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", (b - a) / 1e9 }'
}

bytes=$(stat -c %s "$file")
cat "$file" >/dev/null # the same warm page cache for everyone
wc_time=$(seconds wc -l "$file")
cat_time=$(seconds cat "$file")
read_time=$(median BM_PtxReadPoints)
index_time=$(median BM_PtxIndex)

awk -v bytes="$bytes" -v points="$points" -v rt="$read_time" -v it="$index_time" \
    -v wt="$wc_time" -v ct="$cat_time" 'BEGIN {
    mb = bytes / 1e6
    printf "\nPTX file: %.0f MB, about %d points\n", mb, points
    printf "%-34s %8.3f s  %8.0f MB/s  %6.2f M points/s\n", "ScanSourcePTX readPoints (median)", rt, mb / rt, points / rt / 1e6
    printf "%-34s %8.3f s  %8.0f MB/s\n", "ScanSourcePTX fetchFiles (median)", it, mb / it
    printf "%-34s %8.3f s  %8.0f MB/s\n", "wc -l", wt, mb / wt
    printf "%-34s %8.3f s  %8.0f MB/s\n", "cat > /dev/null", ct, mb / ct
    printf "readPoints / wc -l: %.2f    fetchFiles / wc -l: %.2f\n", rt / wt, it / wt
}'

ptgbin="$build/bin/bench_ptg_read"
if [ ! -x "$ptgbin" ]; then
    echo "$ptgbin is missing: no PTG figures" >&2
    exit 0
fi
"$ptgbin" --ptg-points="$points" --ptg-file="$ptgfile" \
    --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_out="$ptgjson" --benchmark_out_format=json

ptgbytes=$(stat -c %s "$ptgfile")
cat "$ptgfile" >/dev/null
ptg_cat_time=$(seconds cat "$ptgfile")
ptg_read_time=$(median BM_PtgReadPoints "$ptgjson")
ptg_index_time=$(median BM_PtgIndex "$ptgjson")
ptg_dup_time=$(median BM_PtgIndexNamingOneFile5000Times "$ptgjson")
ptg_points=$(counter BM_PtgReadPoints points "$ptgjson")

# The PTG file holds the same grid; its row masks leave out the missing returns that the
# PTX file stores as points at the origin, so it delivers fewer points.
awk -v bytes="$ptgbytes" -v cells="$points" -v delivered="$ptg_points" -v rt="$ptg_read_time" \
    -v it="$ptg_index_time" -v ct="$ptg_cat_time" -v xt="$read_time" -v dt="$ptg_dup_time" 'BEGIN {
    mb = bytes / 1e6
    printf "\nPTG file: %.0f MB, the same grid of about %d cells, %d points with a return\n", mb, cells, delivered
    printf "%-34s %8.3f s  %8.0f MB/s  %6.2f M points/s  %6.2f M cells/s\n", "ScanSourcePTG readPoints (median)", rt, mb / rt, delivered / rt / 1e6, cells / rt / 1e6
    printf "%-34s %8.3f s\n", "ScanSourcePTG fetchFiles (median)", it
    printf "%-34s %8.3f s\n", "... of an index naming it 5000x", dt
    printf "%-34s %8.3f s  %8.0f MB/s\n", "cat > /dev/null", ct, mb / ct
    printf "PTX readPoints / PTG readPoints (same grid): %.1f\n", xt / rt
}'

e57bin="$build/bin/bench_e57_read"
if [ ! -x "$e57bin" ]; then
    echo "$e57bin is missing: no E57 figures" >&2
    exit 0
fi
"$e57bin" --e57-points="$points" --e57-file="$e57file" \
    --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_out="$e57json" --benchmark_out_format=json

e57bytes=$(stat -c %s "$e57file")
cat "$e57file" >/dev/null
e57_cat_time=$(seconds cat "$e57file")
e57_read_time=$(median BM_E57ReadPoints "$e57json")
e57_index_time=$(median BM_E57Index "$e57json")
e57_points=$(counter BM_E57ReadPoints points "$e57json")

# The E57 file holds the whole grid too; its missing returns are records marked invalid,
# which the reader leaves out, so it delivers the points the PTG file delivers. Speeds are
# compared per point delivered (PTX delivers its missing returns as points as well).
awk -v bytes="$e57bytes" -v cells="$points" -v delivered="$e57_points" -v rt="$e57_read_time" \
    -v it="$e57_index_time" -v ct="$e57_cat_time" -v xt="$read_time" -v gt="$ptg_read_time" \
    -v gp="$ptg_points" 'BEGIN {
    mb = bytes / 1e6
    printf "\nE57 file: %.0f MB, the same grid of about %d cells, %d points with a return\n", mb, cells, delivered
    printf "%-34s %8.3f s  %8.0f MB/s  %6.2f M points/s  %6.2f M cells/s\n", "ScanSourceE57 readPoints (median)", rt, mb / rt, delivered / rt / 1e6, cells / rt / 1e6
    printf "%-34s %8.3f s\n", "ScanSourceE57 fetchFiles (median)", it
    printf "%-34s %8.3f s  %8.0f MB/s\n", "cat > /dev/null", ct, mb / ct
    printf "points per second: PTX %.2f M, PTG %.2f M, E57 %.2f M\n", cells / xt / 1e6, gp / gt / 1e6, delivered / rt / 1e6
    printf "E57 / PTX (points per second): %.1f    E57 / PTG: %.2f\n", (delivered / rt) / (cells / xt), (delivered / rt) / (gp / gt)
}'
