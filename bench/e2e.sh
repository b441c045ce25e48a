#!/usr/bin/env bash
# End-to-end benchmark: whole orthaven-layout runs over a generated scan set (4 stations,
# PTX with intensity, about 20 million points: top view, 20 m tiles, 30 m scan radius),
# beside a plain parse of the same files (the PTX reader alone, one thread, every point
# read) and a bare number parse (fast_float over every number, one thread). Prints, for 1
# thread and for all threads, the wall time and peak memory of the whole job and its
# ratios to the two parses; a run at 0.005 m beside the 0.01 m one; and
# a run with --memory 64 whose files are compared with those of the default budget; the
# same stations written as E57 (reading costs little there, so the rest shows), with 1
# and all threads; the time of each stage (stage 1 = read and rasterise, normalise,
# thumbnail, the rest = tiles, log and commit) of the runs at 0.01 m; the density,
# intensity and colour layers of the same stations written with colour; the site preview
# (levels and plan, orthaven-layout --levels --preview) of the PTX stations beside their
# layout, and of the same stations written as PTG beside theirs; a job file of five
# layouts of the same scans (top and the four elevations, one reading of the scans)
# against five separate runs; and the layout as 2 shards and their merge against one run
# (both compared file by file).
# Builds nothing: run scripts/build.sh first.
#
#   bench/e2e.sh [--build DIR] [--layout PROGRAM] [--points-per-column N] [--columns N]
#                [--repeat N] [--keep] [--parts LIST]
#
# --layout     another orthaven-layout to time instead of the build's (for before/after
#              figures; --threads and --memory are then not passed)
# --points-per-column, --columns   grid of each station (default 2500 x 2000: 5 M points)
# --repeat     runs of each measurement; the fastest counts (default 1)
# --keep       keep the generated scans in the temporary folder for the next run
# --parts      which figures beside the parses and the layout with all threads, separated
#              by commas: threads (1 thread, 0.005 m, --memory 64), e57 (the E57 twin),
#              preview (the site preview, PTX and PTG), layers, five (the job file of five
#              layouts), shards (2 shards and their merge); default all of them
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
layout=""
rows=2500
columns=2000
repeat=1
keep=0
parts=threads,e57,preview,layers,five,shards
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build="$2"; shift 2 ;;
        --layout) layout="$(realpath "$2")"; shift 2 ;;
        --points-per-column) rows="$2"; shift 2 ;;
        --columns) columns="$2"; shift 2 ;;
        --repeat) repeat="$2"; shift 2 ;;
        --keep) keep=1; shift ;;
        --parts) parts="$2"; shift 2 ;;
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
part() { [[ ",$parts," == *",$1,"* ]]; }
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

# The stage times of the last run of a layout: "<stage 1> <normalise> <thumbnail> <rest>"
# in seconds, from its --verbose lines and its wall time.
stages() {
    awk -v wall="$2" '
        /^Overall time / { s1 = $(NF - 1) }
        /^Normalization of all Tiles / { s2 = $(NF - 1) }
        /^Build Thumbnail / { s3 = $(NF - 1) }
        END { printf "%.2f %.2f %.2f %.2f\n", s1, s2, s3, wall - s1 - s2 - s3 }' "$work/$1.err"
}

threads_one=()
memory_small=()
if [ "$ours" = 1 ]; then
    threads_one=(--threads 1)
    memory_small=(--memory 64)
fi
wall1=0 peak1=0 cpu1=0 wallF=0 peakF=0 cpuF=0
part threads && read -r wall1 peak1 cpu1 < <(layout_run one --resolution 0.01 "${threads_one[@]}")
read -r wallN peakN cpuN < <(layout_run all --resolution 0.01)
part threads && read -r wallF peakF cpuF < <(layout_run fine --resolution 0.005)
same="not run (not this build's program)"
if [ "$ours" = 1 ] && part threads; then
    read -r wallM peakM cpuM < <(layout_run small --resolution 0.01 "${memory_small[@]}")
    if diff -rq "$work/out-all" "$work/out-small" >/dev/null; then same="identical"; else same="DIFFERENT"; fi
fi
tiles=$(grep -c '^Tile Name = ' "$work/out-all/bench.log")
part threads && read -r st1_1 st2_1 st3_1 st4_1 < <(stages one "$wall1")
read -r st1_N st2_N st3_N st4_N < <(stages all "$wallN")

# The same stations written again into $work/scans-<kind> with more genscan options, once.
twin() {
    local kind="$1"
    shift
    if [ ! -f "$work/scans-$kind.done" ]; then
        echo "Generating the same stations ($kind) in $work/scans-$kind ..."
        rm -rf "$work/scans-$kind"
        "$build/bin/orthaven-genscan" --output "$work/scans-$kind" "$@" --stations 4 \
            --points-per-column "$rows" --columns "$columns" --seed 5 >"$work/genscan-$kind.txt" \
            || { cat "$work/genscan-$kind.txt" >&2; exit 1; }
        touch "$work/scans-$kind.done"
    fi
}

# The same stations as E57: reading costs little, so the rasteriser and the later stages
# show.
if part e57; then
    twin e57 --format e57
    ptx_files=("${files[@]}")
    files=("$work/scans-e57"/*.e57)
    cat "${files[@]}" >/dev/null
    read -r wallE1 peakE1 cpuE1 < <(layout_run e57-one --resolution 0.01 "${threads_one[@]}")
    read -r wallEN peakEN cpuEN < <(layout_run e57-all --resolution 0.01)
    read -r se1_1 se2_1 se3_1 se4_1 < <(stages e57-one "$wallE1")
    read -r se1_N se2_N se3_N se4_N < <(stages e57-all "$wallEN")
    files=("${ptx_files[@]}")
fi

# The site preview of the same scans: one pass for the levels and the plan, all threads.
preview_run() {
    local name="$1"
    shift
    best_run "$name" --levels --preview "$work/out-$name/plan.png" --view top --tile 20 \
        --domain 30 "$@"
}
if [ "$ours" = 1 ] && part preview; then
    read -r wallP peakP cpuP < <(preview_run preview "${files[@]}")
    levels=$(grep -c '^Level ' "$work/preview.out" || true)
    # The same stations as PTG: a binary format, whose layout is not bound by parsing.
    twin ptg --format ptg
    ptx_files=("${files[@]}")
    files=("$work/scans-ptg"/*.ptg)
    cat "${files[@]}" >/dev/null
    read -r wallG peakG cpuG < <(layout_run ptg-layout --resolution 0.01)
    read -r wallGP peakGP cpuGP < <(preview_run ptg-preview "${files[@]}")
    files=("${ptx_files[@]}")
fi

# The layers, on the same stations written again with colour beside the intensity: density,
# intensity and colour, all threads, 0.01 m.
if [ "$ours" = 1 ] && part layers; then
    twin rgb --colour
    plain_files=("${files[@]}")
    files=("$work/scans-rgb"/*.ptx)
    cat "${files[@]}" >/dev/null
    read -r wallLD peakLD cpuLD < <(layout_run rgb-density --resolution 0.01 --layer density)
    read -r wallLI peakLI cpuLI < <(layout_run rgb-intensity --resolution 0.01 --layer intensity)
    read -r wallLC peakLC cpuLC < <(layout_run rgb-colour --resolution 0.01 --layer colour)
    rgb_bytes=$(cat "${files[@]}" | wc -c)
    files=("${plain_files[@]}")
fi

# Seconds of wall time, processor time and peak memory (MB) of a command, from GNU time.
whole_run() {
    local start end
    start=$(date +%s.%N)
    timed "$@" >"$work/whole.out" 2>"$work/whole.err" || { tail -20 "$work/whole.err" >&2; exit 1; }
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'
    echo " $(cpu_seconds)"
}

if [ "$ours" = 1 ] && part five; then
    # Five layouts of the same scans: a job file (one reading) against five runs.
    views=(top front back left right)
    five_wall=0
    five_cpu=0
    rm -f "$work/five.jobs"
    for view in "${views[@]}"; do
        read -r w c < <(whole_run "$layout" --view "$view" --tile 20 --domain 30 --no-invert \
            --resolution 0.01 --out "$work/out-five-alone/$view/bench.log" "${files[@]}")
        five_wall=$(awk -v a="$five_wall" -v b="$w" 'BEGIN { print a + b }')
        five_cpu=$(awk -v a="$five_cpu" -v b="$c" 'BEGIN { print a + b }')
        printf -- '--view %s --tile 20 --domain 30 --no-invert --resolution 0.01 --out %q' \
            "$view" "$work/out-five-shared/$view/bench.log" >>"$work/five.jobs"
        printf ' %q' "${files[@]}" >>"$work/five.jobs"
        echo >>"$work/five.jobs"
    done
    read -r wallJ cpuJ < <(whole_run "$layout" --verbose --jobs "$work/five.jobs")
    peakJ=$(awk '/^Peak memory: / { print $3 }' "$work/whole.err" | sort -n | tail -1)
    if diff -rq "$work/out-five-alone" "$work/out-five-shared" >/dev/null; then
        five_same="identical"
    else
        five_same="DIFFERENT"
    fi
fi
if [ "$ours" = 1 ] && part shards; then
    # Two shards and their merge against one run (out-all above).
    rm -rf "$work/partials"
    read -r wallS1 cpuS1 < <(whole_run "$layout" --shard 1/2 --partials "$work/partials" \
        --view top --tile 20 --domain 30 --no-invert --resolution 0.01 \
        --out "$work/out-shards/bench.log" "${files[@]}")
    read -r wallS2 cpuS2 < <(whole_run "$layout" --shard 2/2 --partials "$work/partials" \
        --view top --tile 20 --domain 30 --no-invert --resolution 0.01 \
        --out "$work/out-shards/bench.log" "${files[@]}")
    read -r wallSM cpuSM < <(whole_run "$layout" --merge "$work/partials")
    partial_mb=$(du -sm "$work/partials" | awk '{ print $1 }')
    # Both shards at once, one thread each, as two machines of one core would run them.
    rm -rf "$work/partials"
    start=$(date +%s.%N)
    for k in 1 2; do
        "$layout" --threads 1 --shard "$k/2" --partials "$work/partials" --view top --tile 20 \
            --domain 30 --no-invert --resolution 0.01 --out "$work/out-shards/bench.log" \
            "${files[@]}" >/dev/null 2>&1 &
    done
    wait
    "$layout" --merge "$work/partials" >/dev/null 2>&1
    wallSP=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
    if diff -rq "$work/out-all" "$work/out-shards" >/dev/null; then
        shards_same="identical"
    else
        shards_same="DIFFERENT"
    fi
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
    if (w1 > 0) printf "%-40s %6.2fs %8ss %6s MB  %5.2f x plain parse, %5.2f x bare parse\n", "layout 0.01 m, 1 thread", w1, c1, p1, w1 / parse, w1 / bare
    printf "%-40s %6.2fs %8ss %6s MB  %5.2f x plain parse, %5.2f x bare parse\n", "layout 0.01 m, all threads (" cores ")", wN, cN, pN, wN / parse, wN / bare
    if (wF > 0) printf "%-40s %6.2fs %8ss %6s MB  %5.2f x the 0.01 m run\n", "layout 0.005 m, all threads", wF, cF, pF, wF / wN
}'
if part e57; then
    awk -v w1="$wallE1" -v p1="$peakE1" -v c1="$cpuE1" -v wN="$wallEN" -v pN="$peakEN" -v cN="$cpuEN" \
        -v ptx="$wallN" -v cores="$cores" 'BEGIN {
        printf "%-40s %6.2fs %8ss %6s MB\n", "E57 twin 0.01 m, 1 thread", w1, c1, p1
        printf "%-40s %6.2fs %8ss %6s MB  %5.2f x the PTX layout (all threads)\n", "E57 twin 0.01 m, all threads (" cores ")", wN, cN, pN, wN / ptx
    }'
fi
echo
printf "%-40s %8s %9s %9s %6s\n" "stages, seconds" "1: read" "2: norm." "thumbnail" "rest"
part threads && printf "%-40s %8s %9s %9s %6s\n" "PTX, 1 thread" "$st1_1" "$st2_1" "$st3_1" "$st4_1"
printf "%-40s %8s %9s %9s %6s\n" "PTX, all threads" "$st1_N" "$st2_N" "$st3_N" "$st4_N"
if part e57; then
    printf "%-40s %8s %9s %9s %6s\n" "E57, 1 thread" "$se1_1" "$se2_1" "$se3_1" "$se4_1"
    printf "%-40s %8s %9s %9s %6s\n" "E57, all threads" "$se1_N" "$se2_N" "$se3_N" "$se4_N"
fi
if [ "$ours" = 1 ] && part threads; then
    printf "%-40s %6.2fs %8ss %6s MB  files %s\n" "layout 0.01 m, all threads, --memory 64" \
        "$wallM" "$cpuM" "$peakM" "$same"
fi
if [ "$ours" = 1 ] && part preview; then
    awk -v w="$wallP" -v c="$cpuP" -v p="$peakP" -v l="$wallN" -v n="$levels" \
        'BEGIN { printf "%-40s %6.2fs %8ss %6s MB  %5.2f x the layout (all threads); %d levels\n", "site preview (levels + plan), PTX", w, c, p, w / l, n }'
    printf "%-40s %6.2fs %8ss %6s MB\n" "layout 0.01 m, all threads, PTG" "$wallG" "$cpuG" "$peakG"
    awk -v w="$wallGP" -v c="$cpuGP" -v p="$peakGP" -v l="$wallG" \
        'BEGIN { printf "%-40s %6.2fs %8ss %6s MB  %5.2f x the PTG layout\n", "site preview (levels + plan), PTG", w, c, p, w / l }'
fi
if [ "$ours" = 1 ] && part layers; then
    echo
    awk -v bytes="$rgb_bytes" 'BEGIN { printf "Layers: the same stations with colour, %.0f MB of PTX; 0.01 m, all threads\n", bytes / 1e6 }'
    printf "%-40s %6.2fs %8ss %6s MB\n" "density layer" "$wallLD" "$cpuLD" "$peakLD"
    for layer in intensity colour; do
        if [ "$layer" = intensity ]; then w="$wallLI" c="$cpuLI" p="$peakLI"; else w="$wallLC" c="$cpuLC" p="$peakLC"; fi
        awk -v name="$layer layer" -v w="$w" -v c="$c" -v p="$p" -v d="$wallLD" \
            'BEGIN { printf "%-40s %6.2fs %8ss %6s MB  %5.2f x the density layer\n", name, w, c, p, w / d }'
    done
fi
if [ "$ours" = 1 ] && part five; then
    echo
    echo "Five layouts of the same scans (top, front, back, left, right), 0.01 m, all threads"
    awk -v w="$five_wall" -v c="$five_cpu" -v one="$wallN" \
        'BEGIN { printf "%-40s %6.2fs %8.2fs %9s  %5.2f x one layout\n", "five separate runs", w, c, "", w / one }'
    awk -v w="$wallJ" -v c="$cpuJ" -v p="$peakJ" -v one="$wallN" -v five="$five_wall" -v same="$five_same" \
        'BEGIN { printf "%-40s %6.2fs %8ss %6s MB  %5.2f x one layout, %5.2f x five runs; files %s\n", "job file of the five (one reading)", w, c, p, w / one, w / five, same }'
fi
if [ "$ours" = 1 ] && part shards; then
    echo
    echo "Shards: the top view at 0.01 m as 2 shards and their merge (partials: $partial_mb MB)"
    printf "%-40s %6.2fs %8ss\n" "shard 1 of 2, all threads" "$wallS1" "$cpuS1"
    printf "%-40s %6.2fs %8ss\n" "shard 2 of 2, all threads" "$wallS2" "$cpuS2"
    printf "%-40s %6.2fs %8ss\n" "merge" "$wallSM" "$cpuSM"
    awk -v a="$wallS1" -v b="$wallS2" -v m="$wallSM" -v one="$wallN" -v same="$shards_same" \
        'BEGIN { printf "%-40s %6.2fs %9s %9s  %5.2f x one run; files %s\n", "shards one after another + merge", a + b + m, "", "", (a + b + m) / one, same }'
    awk -v w="$wallSP" -v one="$wallN" \
        'BEGIN { printf "%-40s %6.2fs %9s %9s  %5.2f x one run\n", "both shards at once (1 thread each) + merge", w, "", "", w / one }'
fi
