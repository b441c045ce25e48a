#!/usr/bin/env bash
# The stages after reading, timed: a 2-tile and a 12-tile layout (20 m tiles at 0.01 m) of
# about 20 million points written as E57 (reading costs little), at 1 thread and at all
# threads. For each stage it prints the wall time and the processor time the program
# spent in it (from /proc, sampled as the program's lines arrive, so to about 10 ms), the
# fastest of the repeats by wall time, and the load of the machine.
# Builds nothing: run scripts/build.sh first.
#
#   bench/pictures.sh [--build DIR] [--layout PROGRAM] [--repeat N] [--keep]
#
# --layout   another orthaven-layout to time (an older build, for before/after figures)
# --repeat   runs of each measurement; the fastest counts (default 3)
# --keep     keep the generated scans in the temporary folder for the next run
#
# Stages, from the program's lines: "tiles" (assembled and encoded; with the thumbnail's
# squares where the program scales them there), "thumbnail" (a second assembly where the
# program makes one), "log" (the thumbnail's file, where written before the log, the
# drawing, the mosaic and the log), "pictures+commit" (sheet, annotated thumbnail, the
# thumbnail's file where written after them, and the commit), "after reading" (all of
# them with the normalisation). Where the program names them, the sheet, the annotated
# thumbnail and the commit are also given on their own (wall time; drawn side by side).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
layout=""
repeat=3
keep=0
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build="$2"; shift 2 ;;
        --layout) layout="$(realpath "$2")"; shift 2 ;;
        --repeat) repeat="$2"; shift 2 ;;
        --keep) keep=1; shift ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
for program in orthaven-genscan orthaven-layout; do
    if [ ! -x "$build/bin/$program" ]; then
        echo "$build/bin/$program is missing: build with scripts/build.sh first" >&2
        exit 1
    fi
done
build="$(cd "$build" && pwd)"
[ -n "$layout" ] || layout="$build/bin/orthaven-layout"

work="${TMPDIR:-/tmp}/orthaven-bench/pictures"
export APPDATA="$work/appdata"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
cleanup() {
    rm -rf "$work"/out "$APPDATA"
    if [ "$keep" = 0 ]; then rm -rf "$work"; fi
}
trap cleanup EXIT

# Two tiles: 4 stations of 5 M points in the building. Twelve: the building 12 times on a
# 4 × 3 grid of 20 m, one station of 1.67 M points in each.
if [ ! -f "$work/scans.done" ]; then
    rm -rf "$work/site2" "$work/site12"
    genscan="$build/bin/orthaven-genscan"
    "$genscan" -o "$work/site2" --format e57 --name s --stations 4 --points-per-column 2500 \
        --columns 2000 --seed 5 --single-file >/dev/null
    k=0
    for j in 0 1 2; do
        for i in 0 1 2 3; do
            "$genscan" -o "$work/site12" --format e57 --name "b$k" --stations 1 \
                --points-per-column 2500 --columns 667 --seed $((k + 1)) \
                --offset $((20 * i + 3)),$((20 * j + 6)),0 --single-file >/dev/null
            k=$((k + 1))
        done
    done
    touch "$work/scans.done"
fi

# One run: prints "<stage> <wall s> <processor s>" lines.
timed_run() {
    local site="$1"
    shift
    rm -rf "$work/out"
    cat "$work/$site"/*.e57 >/dev/null
    perl -e '
        use Time::HiRes qw(time);
        my $ticks = 100;
        my $pid = open(my $out, "-|") // die "fork: $!";
        if ($pid == 0) { open(STDERR, ">&STDOUT"); exec @ARGV or die "exec: $!" }
        sub cpu { open(my $s, "<", "/proc/$pid/stat") or return undef; my @f = split / /, (split /\) /, <$s>)[1]; return ($f[11] + $f[12]) / $ticks }
        my (%wall, %cpu, %own);
        while (my $line = <$out>) {
            my ($t, $c) = (time, cpu());
            for my $mark (["start", qr/^Compute Raw Tiles \.\.\. done/], ["tiles", qr/^(Thumbnail generation|Write Images \.\.\.)/],
                          ["thumbnail", qr/^(Build Thumbnail|Write Images \.\.\.)/], ["log", qr/Write Log File$/],
                          ["end", qr/^Clean Files/]) {
                if ($line =~ $mark->[1]) { $wall{$mark->[0]} = $t; $cpu{$mark->[0]} = $c if defined $c }
            }
            $own{$1} = $2 if $line =~ /^(Scan Position Sheet|Annotated Thumbnail|Print|Write Thumbnail|Commit) \.+ Time ([0-9.e+-]+) sec/;
        }
        close $out;
        my @stages = (["tiles", "start", "tiles"], ["thumbnail", "tiles", "thumbnail"], ["log", "thumbnail", "log"],
                      ["pictures+commit", "log", "end"], ["after-reading", "start", "end"]);
        for my $s (@stages) {
            my ($name, $from, $to) = @$s;
            printf "%s %.3f %.2f\n", $name, $wall{$to} - $wall{$from}, ($cpu{$to} // 0) - ($cpu{$from} // 0);
        }
        printf "%s %.3f -\n", $_ =~ s/ /-/gr, $own{$_} for sort keys %own;
    ' "$layout" -v --view top --tile 20 --domain 30 --resolution 0.01 --no-invert \
        --out "$work/out/site.log" "$@" "$work/$site"/*.e57
}

echo "Program: $layout"
echo "Load before: $(uptime | sed 's/.*load average: //') (1, 5, 15 min) on $(nproc) cores"
printf "%-8s %-8s %-26s %8s %10s\n" layout threads stage wall processor
for site in site2 site12; do
    for threads in 1 all; do
        machine=()
        [ "$threads" = all ] || machine=(--threads "$threads")
        best=""
        for ((k = 0; k < repeat; k++)); do
            result="$(timed_run "$site" "${machine[@]}")"
            total=$(awk '$1 == "after-reading" { print $2 }' <<<"$result")
            if [ -z "$best" ] || awk -v a="$total" -v b="$best" 'BEGIN { exit !(a < b) }'; then
                best="$total"
                kept="$result"
            fi
        done
        awk -v site="${site#site} tiles" -v threads="$threads" \
            '{ printf "%-8s %-8s %-26s %7.3fs %9ss\n", site, threads, $1, $2, $3 }' <<<"$kept"
    done
done
echo "Load after: $(uptime | sed 's/.*load average: //') (1, 5, 15 min)"
