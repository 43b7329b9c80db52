#!/usr/bin/env bash
# corvelctl deliver killed (SIGKILL) five times at seeded random moments while it delivers 500
# messages to a recording server, then run to the end: nobody gets a message twice, every
# message not held arrives exactly once, and at most one message is held per kill.
ctl=$1
here=$(cd "$(dirname "$0")/.." && pwd)
source "$(dirname "$0")/lib/harness.bash"

skip_without_smtp_server
run stores
make_outbox
for i in $(seq 0 499); do
    n=$(printf '%04d' "$i")
    printf 'To: member%s@example.org\nSubject: Crash %s\n\nHello %s.\n' "$n" "$n" "$n" \
        >"$store/Outbox/new/1700000000.M${n}P1.crash"
done

use_smtp_server
run setting Transport From "Ann Lee <ann@example.org>"

check "killed five times, nobody mailed twice, few held" \
    /usr/bin/python3 "$here/tools/crash_delivery.py" "$ctl" "$app" "$work/received" 500 5 \
    "${CRASH_SEED:-20261207}"
finish
