#!/usr/bin/env bash
# The Slurm way of contrib/shards on a one-node Slurm of the test's own: munge, slurmctld
# and slurmd with a private key, socket, ports and folders run layout-slurm.sh's job array
# and its dependent merge, and the layout must be a single run's byte for byte. Every
# daemon is ended by its process id when the test ends. Skipped (77) without root or
# without slurm-wlm and munge (scripts/setup.sh slurm installs them).
#   slurm_shards.sh ORTHAVEN_LAYOUT ORTHAVEN_GENSCAN SOURCE_DIR
set -euo pipefail
program=$1
genscan=$2
source_dir=$3
if [ "$(id -u)" -ne 0 ] || ! command -v slurmctld slurmd munged sbatch squeue sinfo >/dev/null; then
    echo "skipped: needs root, slurm-wlm and munge"
    exit 77
fi

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -f "$work/munged.pid" ] && kill "$(cat "$work/munged.pid")" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# Waits up to $1 seconds for the command after it to succeed.
within() {
    local seconds=$1
    shift
    for _ in $(seq 1 "$((seconds * 5))"); do
        "$@" && return 0
        sleep 0.2
    done
    "$@"
}

# munge: its own key and socket, as the munge user.
mkdir -p "$work/munge"
dd if=/dev/urandom of="$work/munge/key" bs=1024 count=1 status=none
chown -R munge:munge "$work/munge"
chmod 755 "$work/munge"
chmod 400 "$work/munge/key"
runuser -u munge -- munged --key-file="$work/munge/key" --socket="$work/munge/socket" \
    --pid-file="$work/munge/pid" --log-file="$work/munge/log" --seed-file="$work/munge/seed"
cp "$work/munge/pid" "$work/munged.pid"

host=$(hostname -s)
port=$((20000 + RANDOM % 20000))
mkdir -p "$work/spool" "$work/state"
export SLURM_CONF="$work/slurm.conf"
cat > "$SLURM_CONF" <<CONF
ClusterName=orthaventest
SlurmctldHost=$host
SlurmctldPort=$port
SlurmdPort=$((port + 1))
AuthType=auth/munge
AuthInfo=socket=$work/munge/socket
SlurmUser=root
SlurmdUser=root
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmdSpoolDir=$work/spool
StateSaveLocation=$work/state
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
slurmctld -D -i > "$work/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D > "$work/slurmd.out" 2>&1 &
pids+=($!)
if ! within 60 bash -c 'sinfo -h -o %t 2>/dev/null | grep -q idle'; then
    echo "Slurm did not start within a minute"
    cat "$work/slurmctld.log" "$work/slurmd.log" 2>/dev/null | tail -20
    exit 1
fi

export APPDATA="$work/appdata"
"$genscan" -o "$work/scans" --stations 3 --points-per-column 100 --columns 200 >/dev/null
options=(--resolution 0.05)
"$program" "${options[@]}" --out "$work/single/site" "$work"/scans/*.ptx >/dev/null
ORTHAVEN_LAYOUT=$program "$source_dir/contrib/shards/layout-slurm.sh" -n 3 "$work/partials" -- \
    "${options[@]}" --out "$work/merged/site" "$work"/scans/*.ptx
if ! within 120 bash -c '[ -z "$(squeue -h 2>/dev/null)" ]'; then
    echo "the jobs did not end"
    squeue
    exit 1
fi
cat "$work"/partials/slurm-*.out
[ -f "$work/merged/site.log" ] || { echo "the merge wrote no layout"; exit 1; }
diff -r "$work/single" "$work/merged"
ls "$work/partials" | grep -c '^shard-[123]-of-3$' | grep -qx 3
echo "the Slurm array and its merge wrote the single run's layout"
