#!/usr/bin/env bash
# Builds the libFuzzer targets of the parsers (clang 14, ASan + UBSan) into ./build-fuzz
# and runs each one for the given number of seconds (default 30) on a copy of its seed
# corpus from tests/fuzz/<target>/. Fails at the first crash, memory error, undefined
# behaviour, leak, per-input timeout or memory excess; libFuzzer keeps the input that did
# it in build-fuzz/findings/<target>/ (rerun it with build-fuzz/bin/fuzz_<target> <file>).
#
#   scripts/fuzz.sh [seconds] [target...]     targets: see build-fuzz/fuzzers.txt
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-30}"
[ $# -gt 0 ] && shift
case "$seconds" in
    '' | *[!0-9]*) echo "scripts/fuzz.sh: seconds must be a whole number, not \"$seconds\"" >&2; exit 2 ;;
esac

scripts/setup.sh fuzz

launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-fuzz -G Ninja "${launcher[@]}" -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORTHAVEN_FUZZ=ON \
    -DORTHAVEN_BUILD_TESTS=OFF -DORTHAVEN_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target orthaven_fuzzers --parallel "$(nproc 2>/dev/null || echo 2)"

if [ $# -gt 0 ]; then
    targets=("$@")
else
    mapfile -t targets < build-fuzz/fuzzers.txt
fi

# Each input may take at most 25 s and 2 GiB; a parser slower or hungrier than that on a
# file of a few kilobytes is a fault, as is any leak (LeakSanitizer runs after each input
# that left memory behind).
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
if command -v llvm-symbolizer-14 >/dev/null 2>&1; then
    export ASAN_SYMBOLIZER_PATH="$(command -v llvm-symbolizer-14)"
fi

# The targets write every input to a file for the parser to open: on a memory file
# system (/dev/shm) that costs little, on a disk it can cost most of the time.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    scratch=$(mktemp -d /dev/shm/orthaven-fuzz.XXXXXX)
else
    mkdir -p build-fuzz/run
    scratch=$(mktemp -d "$PWD/build-fuzz/run/scratch.XXXXXX")
fi
trap 'rm -rf "$scratch"' EXIT

detach=()
if command -v setsid >/dev/null 2>&1; then
    detach=(setsid --wait)
fi

run=build-fuzz/run
status=0
for target in "${targets[@]}"; do
    if [ ! -x "build-fuzz/bin/fuzz_$target" ] || [ ! -d "tests/fuzz/$target" ]; then
        echo "scripts/fuzz.sh: no fuzz target \"$target\" (see build-fuzz/fuzzers.txt)" >&2
        exit 2
    fi
    corpus="$run/$target/corpus"
    findings="build-fuzz/findings/$target"
    rm -rf "${run:?}/$target"
    mkdir -p "$corpus" "$scratch/$target" "$findings"
    cp -R "tests/fuzz/$target/." "$corpus/"
    log="$run/$target/fuzz.log"
    # TMPDIR: the target's work files stay below the scratch folder, also after a crash.
    # No terminal and no input: a file an input names (/dev/tty, /dev/stdin) never waits
    # for a user.
    if TMPDIR="$scratch/$target" "${detach[@]}" "build-fuzz/bin/fuzz_$target" \
        -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -close_fd_mask=1 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" \
        </dev/null >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
        files=$(find "$corpus" -type f | wc -l)
        printf 'fuzz_%-16s %10s runs in %s s, %6s runs/s, corpus %s files\n' \
            "$target" "${runs:-?}" "$seconds" "${rate:-?}" "$files"
    else
        echo "fuzz_$target FAILED; the end of its log ($log):"
        tail -n 60 "$log"
        echo "The failing input is in $findings/."
        status=1
        break
    fi
done
exit $status
