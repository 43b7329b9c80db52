#!/usr/bin/env bash
# corvelctl list of a vCard folder, side by side in one run with load of a Dynamic Mail Group
# over that folder (not listed: members found from the store) and verify of a Standard Mail
# Group holding every contact of it. Runs are interleaved; wall-clock seconds, min and median.
# Usage: bench/groups_vs_list.sh CORVELCTL [RUNS=3] [VDIR=/tmp/perfanchor/vdir100k]
# Env:   WORK=/tmp/corvel-groups-bench (settings, data and group files; removed first)
# The folder is made with ../shared/peers/gen_corpus.py --n 100000 --vdir VDIR; its parent
# is registered as the store "perf", so the folder's caption path is "perf/NAME".
set -uo pipefail
ctl=${1:?usage: groups_vs_list.sh CORVELCTL [RUNS] [VDIR]}
ctl=$(realpath "$ctl")
runs=${2:-3}
vdir=$(realpath "${3:-/tmp/perfanchor/vdir100k}")
[ -d "$vdir" ] || { echo "no folder $vdir"; exit 1; }
work=${WORK:-/tmp/corvel-groups-bench}
rm -rf "$work"
mkdir -p "$work/home" "$work/list" "$work/dyn" "$work/std"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
folder="perf/$(basename "$vdir")"

# Each verb has its own group file, so none reads the others' groups.
"$ctl" setting Stores perf "$(dirname "$vdir")" || exit 1
"$ctl" --app-path "$work/dyn" new-dynamic-group Dyn --folder "$folder" --categories '*' ||
    exit 1
"$ctl" --app-path "$work/std" new-group Std || exit 1
echo "contacts copied into Std: $("$ctl" --app-path "$work/std" copy "$folder" Std)" || exit 1
"$ctl" --app-path "$work/list" list "$folder" >/dev/null || exit 1 # page cache warm

timed() { # name, then the command; appends the seconds to $work/times.NAME
    local name=$1 start end
    shift
    start=$(date +%s.%N)
    "$@" >/dev/null || { echo "$name failed"; exit 1; }
    end=$(date +%s.%N)
    echo "$end - $start" | bc >>"$work/times.$name"
}
for run in $(seq 1 "$runs"); do
    timed list "$ctl" --app-path "$work/list" list "$folder"
    timed load "$ctl" --app-path "$work/dyn" load Dyn
    timed verify "$ctl" --app-path "$work/std" verify Std
done
echo "members of Dyn after load: $("$ctl" --app-path "$work/dyn" members Dyn | wc -l)"
echo "missing after verify: $("$ctl" --app-path "$work/std" verify Std | grep -c 'missing$')"
python3 - "$work" <<'PY'
import statistics, sys
work = sys.argv[1]
times = {n: [float(x) for x in open(f"{work}/times.{n}")] for n in ("list", "load", "verify")}
base = statistics.median(times["list"])
for name, goal in (("list", None), ("load", 1.3), ("verify", 1.5)):
    t = times[name]
    med = statistics.median(t)
    ratio = med / base
    verdict = "" if goal is None else f"  goal <= {goal} x list: {'met' if ratio <= goal else 'MISSED'}"
    print(f"{name:7s} min {min(t):.3f} s  median {med:.3f} s  {ratio:.2f} x list{verdict}")
PY
