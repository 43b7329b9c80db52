#!/usr/bin/env bash
# Rate limits end to end: each corvelctl run is a new process, so the limit must come from the
# record of sends kept beside the Outbox.
ctl=$1
source "$(dirname "$0")/lib/harness.bash"

skip_without_smtp_server
run stores
make_outbox
for i in 1 2 3 4 5; do
    printf 'To: bob@example.org\nSubject: Number %s\n\nHi.\n' "$i" >"$store/Outbox/new/170000000$i.m$i.host"
done
use_smtp_server
run setting Transport From "Ann Lee <ann@example.org>"
received() { ls "$work/received" | grep -c '^0.*json$'; }

run setting Transport MaxPerMinute 3
run deliver
check "deliver with messages left waiting fails" rc_is 1
check "three of five went" test "$(received)" = 3
check "deliver says when the next may go" \
    err_has "2 left waiting; the next message may go at [0-9:]* (limit 3 per minute)"
check "the sends are recorded beside the Outbox" \
    test "$(grep -c '^[0-9]* 1$' "$store/Outbox/corvel-outbox.sends")" = 3

run outbox
check "outbox lists the two left" test "$(grep -c '^queued' "$work/out")" = 2
check "outbox says when the next may go" out_has "^next message may go at [0-9:]* (limit 3 per minute)"

run deliver
check "a new process keeps to the limit" test "$(received)" = 3
check "and says so" err_has "the next message may go at"

# A record that cannot be read stops sending while a limit is set; it is never overwritten.
printf '#corvel-sends 1\ngarbage\n' >"$work/damaged"
cp "$work/damaged" "$store/Outbox/corvel-outbox.sends"
run setting Transport MaxPerMinute 0
run setting Transport MaxPerHour 50
run deliver
check "a damaged record stops delivery" rc_is 1
check "nothing went" test "$(received)" = 3
check "the record is named" err_has "corvel-outbox.sends cannot be read (line 2"
check "the record is left as it was" cmp -s "$work/damaged" "$store/Outbox/corvel-outbox.sends"
run outbox
check "outbox reports it too" err_has "corvel-outbox.sends cannot be read"

# A limit that is not a count stops sending rather than sending without it.
rm "$store/Outbox/corvel-outbox.sends"
run setting Transport MaxPerHour lots
run deliver
check "a bad limit stops delivery" rc_is 1
check "and names the key" err_has "MaxPerHour"
check "nothing went with a bad limit" test "$(received)" = 3

run setting Transport MaxPerHour ""
run deliver
check "without limits the rest go" rc_is 0
check "all five went, none twice" test "$(received)" = 5

finish
