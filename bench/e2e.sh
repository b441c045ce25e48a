#!/usr/bin/env bash
# End-to-end benchmark: whole orthaven-layout runs over a generated scan set (4 stations,
# PTX with intensity, about 20 million points: top view, 20 m tiles, 30 m scan radius),
# beside a plain parse of the same files (the PTX reader alone, one thread, every point
# read) and a bare number parse (fast_float over every number, one thread). Prints, for 1
# thread and for all threads, the wall time and peak memory of the whole job and its
# ratios to the two parses; a run at 0.005 m beside the 0.01 m one; and
# a run with --memory 64 whose files are compared with those of the default budget; and the
# density, intensity and colour layers of the same stations written with colour; and the
# site preview (levels and plan, orthaven-layout --levels --preview) of the PTX stations
# beside their layout, and of the same stations written as PTG beside theirs.
# Builds nothing: run scripts/build.sh first.
#
#   bench/e2e.sh [--build DIR] [--layout PROGRAM] [--points-per-column N] [--columns N]
#                [--repeat N] [--keep]
#
# --layout     another orthaven-layout to time instead of the build's (for before/after
#              figures; --threads and --memory are then not passed)
# --points-per-column, --columns   grid of each station (default 2500 x 2000: 5 M points)
# --repeat     runs of each measurement; the fastest counts (default 1)
# --keep       keep the generated scans in the temporary folder for the next run
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
layout=""
rows=2500
columns=2000
repeat=1
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build="$2"; shift 2 ;;
        --layout) layout="$(realpath "$2")"; shift 2 ;;
        --points-per-column) rows="$2"; shift 2 ;;
        --columns) columns="$2"; shift 2 ;;
        --repeat) repeat="$2"; shift 2 ;;
        --keep) keep=1; shift ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done

for program in orthaven-genscan orthaven-layout bench_scan_read bench_bare_parse; do
    if [ ! -x "$build/bin/$program" ]; then
        echo "$build/bin/$program is missing: build with scripts/build.sh first" >&2
        exit 1
    fi
done
build="$(cd "$build" && pwd)"
[ -n "$layout" ] || layout="$build/bin/orthaven-layout"
ours=1
[ "$layout" = "$build/bin/orthaven-layout" ] || ours=0

work="${TMPDIR:-/tmp}/orthaven-bench/e2e-4x${rows}x${columns}"
scans="$work/scans"
# The run's own configuration and temporary folder, not the user's.
export APPDATA="$work/appdata"
cleanup() {
    rm -rf "$work"/out-* "$APPDATA"
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
cores=$(nproc 2>/dev/null || echo 2)

cat "${files[@]}" >/dev/null # the same warm page cache for every run

# Processor time (user + system seconds) of a command, when GNU time is there: on a
# machine shared with other work it says more than the wall time.
timed() {
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f "%U %S" -o "$work/cpu" "$@"
    else
        echo "? ?" >"$work/cpu"
        "$@"
    fi
}
cpu_seconds() {
    awk 'NF == 2 && $1 != "?" { printf "%.2f", $1 + $2; found = 1 } END { if (!found) printf "?" }' "$work/cpu"
}

# The plain parse: the reader alone, one thread, every point in engine-sized chunks.
parse=""
parse_cpu=""
for ((k = 0; k < repeat; k++)); do
    read_out=$(timed "$build/bin/bench_scan_read" "${files[@]}")
    t=$(awk '$1 == "list" { l = $2 } $1 == "read" { r = $2 } END { print l + r }' <<<"$read_out")
    if [ -z "$parse" ] || awk -v a="$t" -v b="$parse" 'BEGIN { exit !(a < b) }'; then
        parse="$t"
        parse_cpu=$(cpu_seconds)
    fi
done

# The bare number parse: fast_float over every number of the files, one thread, nothing
# kept: the floor of any reader of these files.
bare=""
for ((k = 0; k < repeat; k++)); do
    t=$("$build/bin/bench_bare_parse" "${files[@]}" 2>/dev/null | awk '$1 == "parse" { print $2 }')
    if [ -z "$bare" ] || awk -v a="$t" -v b="$bare" 'BEGIN { exit !(a < b) }'; then bare="$t"; fi
done

# One run of the program, its arguments after the name; prints "<wall seconds> <peak MB>
# <processor seconds>", the fastest of the repeats. Its output folder is out-<name>.
best_run() {
    local name="$1"
    shift
    local best="" peak="" cpu=""
    for ((k = 0; k < repeat; k++)); do
        rm -rf "$work/out-$name"
        mkdir -p "$work/out-$name"
        timed "$layout" --verbose "$@" >"$work/$name.out" 2>"$work/$name.err" \
            || { tail -20 "$work/$name.err" >&2; exit 1; }
        local wall mb
        wall=$(awk '/^Wall time: / { print $3 }' "$work/$name.err")
        mb=$(awk '/^Peak memory: / { print $3 }' "$work/$name.err")
        if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best="$wall"
            cpu=$(cpu_seconds)
        fi
        if [ -z "$peak" ] || [ "$mb" -gt "$peak" ]; then peak="$mb"; fi
    done
    echo "$best $peak $cpu"
}
# One layout of the files.
layout_run() {
    local name="$1"
    shift
    best_run "$name" --view top --tile 20 --domain 30 --no-invert \
        --out "$work/out-$name/bench.log" "$@" "${files[@]}"
}

threads_one=()
memory_small=()
if [ "$ours" = 1 ]; then
    threads_one=(--threads 1)
    memory_small=(--memory 64)
fi
read -r wall1 peak1 cpu1 < <(layout_run one --resolution 0.01 "${threads_one[@]}")
read -r wallN peakN cpuN < <(layout_run all --resolution 0.01)
read -r wallF peakF cpuF < <(layout_run fine --resolution 0.005)
same="not run (not this build's program)"
if [ "$ours" = 1 ]; then
    read -r wallM peakM cpuM < <(layout_run small --resolution 0.01 "${memory_small[@]}")
    if diff -rq "$work/out-all" "$work/out-small" >/dev/null; then same="identical"; else same="DIFFERENT"; fi
fi
tiles=$(grep -c '^Tile Name = ' "$work/out-all/bench.log")

# The site preview of the same scans: one pass for the levels and the plan, all threads.
preview_run() {
    local name="$1"
    shift
    best_run "$name" --levels --preview "$work/out-$name/plan.png" --view top --tile 20 \
        --domain 30 "$@"
}
if [ "$ours" = 1 ]; then
    read -r wallP peakP cpuP < <(preview_run preview "${files[@]}")
    levels=$(grep -c '^Level ' "$work/preview.out" || true)
    # The same stations as PTG: a binary format, whose layout is not bound by parsing.
    if [ ! -f "$work/scans-ptg.done" ]; then
        echo "Generating the same stations as PTG in $work/scans-ptg ..."
        rm -rf "$work/scans-ptg"
        "$build/bin/orthaven-genscan" --output "$work/scans-ptg" --format ptg --stations 4 \
            --points-per-column "$rows" --columns "$columns" --seed 5 >/dev/null \
            || { echo "PTG generation failed" >&2; exit 1; }
        touch "$work/scans-ptg.done"
    fi
    ptx_files=("${files[@]}")
    files=("$work/scans-ptg"/*.ptg)
    cat "${files[@]}" >/dev/null
    read -r wallG peakG cpuG < <(layout_run ptg-layout --resolution 0.01)
    read -r wallGP peakGP cpuGP < <(preview_run ptg-preview "${files[@]}")
    files=("${ptx_files[@]}")
fi

# The layers, on the same stations written again with colour beside the intensity: density,
# intensity and colour, all threads, 0.01 m.
if [ "$ours" = 1 ]; then
    if [ ! -f "$work/scans-rgb.done" ]; then
        echo "Generating the same stations with colour in $work/scans-rgb ..."
        rm -rf "$work/scans-rgb"
        "$build/bin/orthaven-genscan" --output "$work/scans-rgb" --stations 4 --colour \
            --points-per-column "$rows" --columns "$columns" --seed 5 >"$work/genscan-rgb.txt" \
            || { cat "$work/genscan-rgb.txt" >&2; exit 1; }
        touch "$work/scans-rgb.done"
    fi
    plain_files=("${files[@]}")
    files=("$work/scans-rgb"/*.ptx)
    cat "${files[@]}" >/dev/null
    read -r wallLD peakLD cpuLD < <(layout_run rgb-density --resolution 0.01 --layer density)
    read -r wallLI peakLI cpuLI < <(layout_run rgb-intensity --resolution 0.01 --layer intensity)
    read -r wallLC peakLC cpuLC < <(layout_run rgb-colour --resolution 0.01 --layer colour)
    rgb_bytes=$(cat "${files[@]}" | wc -c)
    files=("${plain_files[@]}")
fi

echo
echo "Program: $layout"
echo "Load: $(uptime | sed 's/.*load average: //') (1, 5, 15 min) on $cores cores"
awk -v points="$points" -v bytes="$bytes" -v parse="$parse" -v bare="$bare" -v tiles="$tiles" -v cores="$cores" \
    -v w1="$wall1" -v p1="$peak1" -v wN="$wallN" -v pN="$peakN" -v wF="$wallF" -v pF="$peakF" \
    -v c0="$parse_cpu" -v c1="$cpu1" -v cN="$cpuN" -v cF="$cpuF" '
BEGIN {
    printf "Scans: 4 stations, %d points, %.0f MB of PTX; layout of %d tiles\n", points, bytes / 1e6, tiles
    printf "%-40s %7s %9s %9s  %s\n", "", "wall", "processor", "peak", "ratio (wall)"
    printf "%-40s %6.2fs\n", "bare number parse (fast_float, 1 thread)", bare
    printf "%-40s %6.2fs %8ss\n", "plain parse (list + read, 1 thread)", parse, c0
    printf "%-40s %6.2fs %8ss %6s MB  %5.2f x plain parse, %5.2f x bare parse\n", "layout 0.01 m, 1 thread", w1, c1, p1, w1 / parse, w1 / bare
    printf "%-40s %6.2fs %8ss %6s MB  %5.2f x plain parse, %5.2f x bare parse\n", "layout 0.01 m, all threads (" cores ")", wN, cN, pN, wN / parse, wN / bare
    printf "%-40s %6.2fs %8ss %6s MB  %5.2f x the 0.01 m run\n", "layout 0.005 m, all threads", wF, cF, pF, wF / wN
}'
if [ "$ours" = 1 ]; then
    printf "%-40s %6.2fs %8ss %6s MB  files %s\n" "layout 0.01 m, all threads, --memory 64" \
        "$wallM" "$cpuM" "$peakM" "$same"
    awk -v w="$wallP" -v c="$cpuP" -v p="$peakP" -v l="$wallN" -v n="$levels" \
        'BEGIN { printf "%-40s %6.2fs %8ss %6s MB  %5.2f x the layout (all threads); %d levels\n", "site preview (levels + plan), PTX", w, c, p, w / l, n }'
    printf "%-40s %6.2fs %8ss %6s MB\n" "layout 0.01 m, all threads, PTG" "$wallG" "$cpuG" "$peakG"
    awk -v w="$wallGP" -v c="$cpuGP" -v p="$peakGP" -v l="$wallG" \
        'BEGIN { printf "%-40s %6.2fs %8ss %6s MB  %5.2f x the PTG layout\n", "site preview (levels + plan), PTG", w, c, p, w / l }'
    echo
    awk -v bytes="$rgb_bytes" 'BEGIN { printf "Layers: the same stations with colour, %.0f MB of PTX; 0.01 m, all threads\n", bytes / 1e6 }'
    printf "%-40s %6.2fs %8ss %6s MB\n" "density layer" "$wallLD" "$cpuLD" "$peakLD"
    for layer in intensity colour; do
        if [ "$layer" = intensity ]; then w="$wallLI" c="$cpuLI" p="$peakLI"; else w="$wallLC" c="$cpuLC" p="$peakLC"; fi
        awk -v name="$layer layer" -v w="$w" -v c="$c" -v p="$p" -v d="$wallLD" \
            'BEGIN { printf "%-40s %6.2fs %8ss %6s MB  %5.2f x the density layer\n", name, w, c, p, w / d }'
    done
fi
