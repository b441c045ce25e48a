#!/usr/bin/env bash
# One layout computed as N shards by GNU parallel, on this machine's job slots or on
# machines reached over ssh, then merged here (see docs/shards.md).
#
#   contrib/shards/layout-parallel.sh [-n SHARDS] [-j SLOTS] [-S LOGINS] PARTIALS -- \
#       [layout options] SCAN_FILE...
#
#   -n SHARDS  how many shards (default: 2)
#   -j SLOTS   shards run at once on each machine (default: parallel's, one per core)
#   -S LOGINS  machines to run the shards on, as parallel's --sshlogin takes them
#              ("server1,2/server2,:" = server1, two slots on server2 and this machine);
#              every machine must see the program, the scan files and PARTIALS under the
#              same paths (a shared file system), so give them as absolute paths
#   PARTIALS   the folder of the partials (made when missing)
#
# The layout options are the shards' (--out, --resolution, --view ...); the merge takes
# the layout from the partials. Give each shard a part of a machine's cores with
# --threads when it runs several at once. ORTHAVEN_LAYOUT names the program (default:
# orthaven-layout from the PATH). Ends with the merge's exit code, or 1 when a shard failed.
set -euo pipefail

shards=2
slots=()
logins=()
while getopts "n:j:S:" option; do
    case "$option" in
        n) shards=$OPTARG ;;
        j) slots=(-j "$OPTARG") ;;
        S) logins=(-S "$OPTARG" --workdir .) ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -lt 3 ] || [ "$2" != "--" ]; then
    sed -n '2,20p' "$0" >&2
    exit 2
fi
partials=$1
shift 2
program=${ORTHAVEN_LAYOUT:-orthaven-layout}

mkdir -p "$partials"
# -q keeps every argument whole (blanks in paths); a failed shard stops the others, as the
# merge could not use what they wrote without it.
if ! parallel -q --halt now,fail=1 "${slots[@]}" "${logins[@]}" \
    "$program" --shard "{}/$shards" --partials "$partials" "$@" ::: $(seq 1 "$shards"); then
    echo "layout-parallel.sh: a shard failed; nothing was merged" >&2
    exit 1
fi
exec "$program" --merge "$partials"
