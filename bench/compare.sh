#!/usr/bin/env bash
# Lays out generated scenes with two orthaven-layout programs and compares what they
# wrote: the logs byte for byte, every tile and thumbnail pixel by pixel. Builds nothing:
# run scripts/build.sh first.
#
#   bench/compare.sh OTHER_ORTHAVEN_LAYOUT [--build DIR]
#
# Scenes: three stations of PTX, and the same placed at a georeferenced offset. Runs: all
# five views, PNG, JPEG and TIFF, dark and light ground. Prints one line per run and a
# summary; exits 1 when a log or a lossless picture differs.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ]; then
    echo "usage: bench/compare.sh OTHER_ORTHAVEN_LAYOUT [--build DIR]" >&2
    exit 2
fi
other="$(realpath "$1")"
shift
build=build
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build="$2"; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
build="$(cd "$build" && pwd)"
ours="$build/bin/orthaven-layout"
compare="$build/bin/compare_images"

work="$(mktemp -d "${TMPDIR:-/tmp}/orthaven-compare.XXXXXX")"
trap 'rm -rf "$work"' EXIT
export APPDATA="$work/appdata"

"$build/bin/orthaven-genscan" --output "$work/plain" --stations 3 --points-per-column 400 \
    --columns 800 --seed 11 >/dev/null
"$build/bin/orthaven-genscan" --output "$work/geo" --stations 3 --points-per-column 400 \
    --columns 800 --seed 12 --offset 500000,5400000,300 >/dev/null

runs=()
for view in top left back right front; do
    runs+=("plain $view png --no-invert 0.02")
done
runs+=("plain top png --invert 0.02" "plain back png --invert 0.02" "plain left tif --invert 0.02")
runs+=("plain top jpg --no-invert 0.02" "plain right jpg --invert 0.02")
runs+=("plain top tif --no-invert 0.02" "plain front tif --no-invert 0.02")
runs+=("geo top png --no-invert 0.02" "geo front png --invert 0.02" "geo right tif --no-invert 0.02")
runs+=("plain top png --no-invert 0.01")

failures=0
for run in "${runs[@]}"; do
    read -r scene view type invert resolution <<<"$run"
    for side in other ours; do
        program="$other"
        [ "$side" = ours ] && program="$ours"
        rm -rf "$work/$side"
        "$program" --view "$view" --type "$type" "$invert" --resolution "$resolution" \
            --tile 10 --domain 30 --out "$work/$side/site.log" "$work/$scene"/*.ptx \
            >/dev/null 2>"$work/$side.err" || { tail -5 "$work/$side.err" >&2; exit 1; }
    done
    same=0
    differ=()
    for file in "$work/other"/*; do
        name="$(basename "$file")"
        if [ ! -f "$work/ours/$name" ]; then
            differ+=("$name missing")
            continue
        fi
        case "$name" in
            *.png | *.jpg | *.tif)
                result="$("$compare" "$file" "$work/ours/$name" || true)"
                if [ "$result" = same ]; then same=$((same + 1)); else differ+=("$name: $result"); fi ;;
            *) # the log and the world files, byte for byte
                if cmp -s "$file" "$work/ours/$name"; then same=$((same + 1)); else differ+=("$name"); fi ;;
        esac
    done
    extra=$(comm -13 <(ls "$work/other") <(ls "$work/ours") | wc -l)
    line="$scene $view $type $invert $resolution: $same files identical"
    [ "$extra" -gt 0 ] && differ+=("$extra files only in ours")
    if [ ${#differ[@]} -gt 0 ]; then
        line+=", differing: $(IFS=';'; echo "${differ[*]}")"
        # JPEG pictures are lossy: they may differ; anything else may not.
        for d in "${differ[@]}"; do
            case "$d" in *.jpg:*) ;; *) failures=$((failures + 1)) ;; esac
        done
    fi
    echo "$line"
done
echo "runs: ${#runs[@]}, lossless files or logs that differ: $failures"
[ "$failures" -eq 0 ]
