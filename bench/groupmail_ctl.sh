#!/usr/bin/env bash
# End to end `corvelctl mail` of a letter to a contact folder of N members (start-up, reading
# the folder, the run journal, every copy durably queued): personalised (N copies) and BCC
# (N/100 messages). Each run gets a fresh user, so every Outbox starts empty; the users are
# removed only at the end (a file system that was just emptied allocates more slowly). Beside
# each run, the file system alone: N files of the copies' size written and synced once.
# Usage: bench/groupmail_ctl.sh CORVELCTL [RUNS=5] [N=10000]
# Env:   WORK=/tmp/corvel-mail-bench (removed first); BEFORE=another corvelctl, run alternately
#        with the first for a comparison in the same sitting
set -uo pipefail
ctl=$(realpath "${1:?usage: groupmail_ctl.sh CORVELCTL [RUNS] [N]}")
runs=${2:-5}
n=${3:-10000}
work=${WORK:-/tmp/corvel-mail-bench}
rm -rf "$work"
mkdir -p "$work/cards"
python3 - "$work/cards" "$n" <<'PY'
import sys
card = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:{0}\r\nN:Member{0};Ann;;;\r\nFN:Ann Member{0}\r\nEMAIL:m{0}@example.org\r\nEND:VCARD\r\n"
for i in range(int(sys.argv[2])):
    open(f"{sys.argv[1]}/c{i:06}.vcf", "w").write(card.format(i))
PY
printf 'Dear <<First Name>>,\n\nthe spring meeting is on Friday at the club house.\n' >"$work/body"

timed() { # name, then the command; appends "seconds user+system" to $work/times.NAME
    local name=$1
    shift
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >"$work/out" 2>"$work/err" ||
        { echo "$name failed:"; cat "$work/out" "$work/err"; exit 1; }
    awk '{printf "%s %.2f\n", $1, $2 + $3}' "$work/time" >>"$work/times.$name"
}
# The file system alone: N files of ~1.5 KB in a new folder, then one sync.
bare_fs='
import os, sys
d, n = sys.argv[1], int(sys.argv[2])
os.makedirs(d)
body = b"x" * 1500
for i in range(n):
    fd = os.open(f"{d}/{i}", os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    os.write(fd, body)
    os.close(fd)
fd = os.open(d, os.O_RDONLY)
os.fsync(fd)
os.sync()
os.close(fd)
'

mail_runs() { # label, corvelctl, run number: a fresh user mailed personal, then BCC
    local label=$1 bin=$2 user=$work/$1$3
    export XDG_CONFIG_HOME=$user/config XDG_DATA_HOME=$user/data
    mkdir -p "$user/app"
    "$bin" --app-path "$user/app" stores >/dev/null &&
        "$bin" --app-path "$user/app" setting Transport From "Bench <bench@example.org>" || exit 1
    cp "$work/cards/"* "$XDG_DATA_HOME/Tessary/Corvel/Personal Folders/Contacts/"
    "$bin" --app-path "$user/app" new-letter --subject Bench --body-file "$work/body" >/dev/null ||
        exit 1
    sync
    timed "personal$label" "$bin" --app-path "$user/app" mail "Personal Folders/Contacts" \
        --letter Bench --mode personal
    grep -q "^messages queued: $n$" "$work/out" || { echo "personal: not all queued"; exit 1; }
    timed "bcc$label" "$bin" --app-path "$user/app" mail "Personal Folders/Contacts" \
        --letter Bench --mode bcc
}

for run in $(seq 1 "$runs"); do
    mail_runs "" "$ctl" "$run"
    [ -z "${BEFORE:-}" ] || mail_runs "-before" "$(realpath "$BEFORE")" "$run"
    timed fs python3 -c "$bare_fs" "$work/bare$run" "$n"
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
report() { # name, what a run counts: median seconds, range, the rate, median processor time
    local times=$work/times.$1 m
    m=$(cut -d' ' -f1 "$times" | median)
    printf "%-16s median %s s (%s..%s), %.0f a second; processor time median %s s\n" "$1" "$m" \
        "$(cut -d' ' -f1 "$times" | sort -n | head -1)" "$(cut -d' ' -f1 "$times" | sort -n | tail -1)" \
        "$(echo "$2 / $m" | bc -l)" "$(cut -d' ' -f2 "$times" | median)"
}
echo "runs: $runs, members: $n, load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
for label in "" ${BEFORE:+-before}; do
    report "personal$label" "$n"
    report "bcc$label" "$((n / 100))"
done
report fs "$n"
rm -rf "$work"
