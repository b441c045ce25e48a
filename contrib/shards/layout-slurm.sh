#!/usr/bin/env bash
# One layout computed as N shards by a Slurm job array, merged by a job that runs once
# every shard has succeeded (see docs/shards.md).
#
#   contrib/shards/layout-slurm.sh [-n SHARDS] [-c CPUS] PARTIALS -- [layout options] SCAN_FILE...
#
#   -n SHARDS  how many shards: array tasks 1 to SHARDS (default: 4)
#   -c CPUS    cores of each shard (--cpus-per-task, and the shard's --threads; default 1)
#   PARTIALS   the folder of the partials, on a file system every node sees
#
# Scan files, PARTIALS and --out must be paths every node sees under the same name. Extra
# sbatch options (partition, account, time limit) go in SBATCH_* variables or in the
# two job scripts beside this one. Prints the ids of the array and of the merge job.
set -euo pipefail

shards=4
cpus=1
while getopts "n:c:" option; do
    case "$option" in
        n) shards=$OPTARG ;;
        c) cpus=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -lt 3 ] || [ "$2" != "--" ]; then
    sed -n '2,13p' "$0" >&2
    exit 2
fi
partials=$(realpath -m "$1")
shift 2
here=$(dirname "$(realpath "$0")")
mkdir -p "$partials"

array=$(sbatch --parsable --array="1-$shards" --cpus-per-task="$cpus" \
    --output="$partials/slurm-%A_%a.out" \
    "$here/shard.sbatch" "$shards" "$partials" --threads "$cpus" "$@")
array=${array%%;*}
merge=$(sbatch --parsable --dependency="afterok:$array" --kill-on-invalid-dep=yes \
    --output="$partials/slurm-%j-merge.out" "$here/merge.sbatch" "$partials")
echo "shards: job array $array, merge: job ${merge%%;*}"
