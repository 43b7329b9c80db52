#!/usr/bin/env bash
# Rate limits end to end: what deliver and outbox say while a limit holds messages back. That
# a new process keeps to the limit (it comes from the record of sends beside the Outbox) is
# DeliveryTest's RateLimitsHoldAcrossAgentsAndSayWhenTheNextMayGo.
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
fails 1 "" deliver
check "three of five went" test "$(received)" = 3
check "deliver says when the next may go" \
    err_has "2 left waiting; the next message may go at [0-9:]* (limit 3 per minute)"
check "the sends are recorded beside the Outbox" \
    test "$(grep -c '^[0-9]* 1$' "$store/Outbox/corvel-outbox.sends")" = 3

run outbox
check "outbox lists the two left" test "$(grep -c '^queued' "$work/out")" = 2
check "outbox says when the next may go" out_has "^next message may go at [0-9:]* (limit 3 per minute)"

run setting Transport MaxPerMinute 0
ok deliver
check "all five went, none twice" test "$(received)" = 5

# The day counts recipients: three sends to one were recorded, so two of three to two fit seven.
for i in 6 7 8; do
    printf 'To: bob@example.org, cy@example.org\nSubject: Number %s\n\nHi.\n' "$i" \
        >"$store/Outbox/new/170000000$i.m$i.host"
done
run setting Transport MaxRecipientsPerDay 7
run deliver
check "two of three went within the day's recipients" test "$(received)" = 7
check "a send to two is recorded with its recipients" \
    test "$(grep -c '^[0-9]* 1 2$' "$store/Outbox/corvel-outbox.sends")" = 2
run outbox
check "outbox says the day's limit holds it" out_has "(limit 7 recipients per day)"

finish
