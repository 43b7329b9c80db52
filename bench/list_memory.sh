#!/usr/bin/env bash
# corvelctl list of a vCard folder against cat of the same files, interleaved in one run:
# wall-clock and processor seconds, and the list's peak resident memory (also per card).
# Usage: bench/list_memory.sh CORVELCTL [RUNS=3] [VDIR=/tmp/perfanchor/vdir100k]
# Env:   WORK=/tmp/corvel-list-bench (settings and data; removed first)
# The folder is made with ../shared/peers/gen_corpus.py --n 100000 --vdir VDIR; its parent
# is registered as the store "perf". Goals: at most 1.0 x cat, at most 120 MB peak.
set -uo pipefail
ctl=${1:?usage: list_memory.sh CORVELCTL [RUNS] [VDIR]}
ctl=$(realpath "$ctl")
runs=${2:-3}
vdir=$(realpath "${3:-/tmp/perfanchor/vdir100k}")
[ -d "$vdir" ] || { echo "no folder $vdir"; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (package time)"; exit 1; }
work=${WORK:-/tmp/corvel-list-bench}
rm -rf "$work"
mkdir -p "$work/home" "$work/app"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
folder="perf/$(basename "$vdir")"
cards=$(find "$vdir" -maxdepth 1 -name '*.vcf' | wc -l)

"$ctl" setting Stores perf "$(dirname "$vdir")" || exit 1
"$ctl" --app-path "$work/app" list "$folder" >/dev/null || exit 1 # page cache warm

timed() { # name, then the command; appends "wall user sys maxKB" to $work/times.NAME
    local name=$1
    shift
    /usr/bin/time -o "$work/last" -f "%e %U %S %M" "$@" >/dev/null || {
        echo "$name failed"
        exit 1
    }
    cat "$work/last" >>"$work/times.$name"
}
catall() { find "$vdir" -maxdepth 1 -name '*.vcf' -print0 | xargs -0 cat; }
export -f catall
export vdir
for run in $(seq 1 "$runs"); do
    timed cat bash -c catall
    timed list "$ctl" --app-path "$work/app" list "$folder"
done
python3 - "$work" "$cards" <<'PY'
import statistics, sys
work, cards = sys.argv[1], int(sys.argv[2])
rows = {n: [[float(x) for x in l.split()] for l in open(f"{work}/times.{n}")]
        for n in ("cat", "list")}
med = {n: statistics.median(r[0] for r in rows[n]) for n in rows}
for n, r in rows.items():
    cpu = statistics.median(x[1] + x[2] for x in r)
    print(f"{n:5s} wall median {med[n]:.3f} s (min {min(x[0] for x in r):.3f})"
          f"  cpu median {cpu:.3f} s  peak {max(x[3] for x in r) / 1024:.1f} MB")
peak = max(x[3] for x in rows["list"])  # KB as time(1) counts them
ratio = med["list"] / med["cat"]
print(f"list/cat {ratio:.2f} x (goal <= 1.0: {'met' if ratio <= 1.0 else 'MISSED'});"
      f" peak {peak / 1024:.1f} MB, {peak / max(cards, 1):.2f} KB a card"
      f" (goal <= 120 MB: {'met' if peak <= 120 * 1024 else 'MISSED'})")
PY
