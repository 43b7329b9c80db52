#!/usr/bin/env bash
# End-to-end runs of corvelctl drafts, outbox and deliver on a real store and a scripted SMTP
# server on 127.0.0.1.
ctl=$1
here=$(cd "$(dirname "$0")/.." && pwd)
source "$(dirname "$0")/lib/harness.bash"

run stores
check "personal folders made" test -d "$store/Drafts/cur"
cp "$here/data/store/Drafts/cur/"* "$store/Drafts/cur/"
cp "$here/data/store/Drafts/new/"* "$store/Drafts/new/"

ok drafts
check "drafts lists the three letters in order" python3 - "$work/out" <<'PY'
import sys
rows = [l.split("\t") for l in open(sys.argv[1]).read().splitlines()]
assert [r[1] for r in rows] == ["Spring newsletter", "Programme für the autumn", "Reminder"], rows
assert all(len(r[0]) == 48 for r in rows), rows
PY
# Messages another program queued (no From: the configured sender goes in). What delivery
# makes of each server answer is checked in DeliveryTest; here, what the verbs report.
make_outbox
printf 'To: bob@example.org\nSubject: Hello\n\nHi Bob.\n' >"$store/Outbox/new/1700000001.a.host"
printf 'To: refuse-x@example.org, carol@example.org\nSubject: Two\n\nHi.\n' >"$store/Outbox/new/1700000002.b.host"
printf 'To: bob@example.org\nSubject: Later [defer]\n\nHi.\n' >"$store/Outbox/new/1700000003.c.host"
run setting Transport From "Ann Lee <ann@example.org>"

run outbox
check "outbox lists three queued" python3 - "$work/out" <<'PY'
import sys
rows = [l.split("\t") for l in open(sys.argv[1]).read().splitlines()]
assert [(r[0], r[2]) for r in rows] == [("queued", "Hello"), ("queued", "Two"), ("queued", "Later [defer]")], rows
PY

fails 1 "Messages wait in the Outbox" deliver
check "nothing moved" test "$(ls "$store/Outbox/new" | wc -l)" = 3

if have_smtp_server; then
    use_smtp_server

    printf 'To: bob@example.org\nSubject: Lost [drop]\n\nHi.\n' >"$store/Outbox/new/1700000004.d.host"
    fails 1 "" deliver
    check "delivered reported" out_has "^delivered	1700000001.a.host	Hello"
    check "refused recipient reported by address" out_has "^refused	refuse-x@example.org	550"
    check "deferred reported" out_has "^deferred	1700000003.c.host"

    run --json outbox
    check "outbox keeps the deferred one and the held one" python3 - "$work/out" <<'PY'
import json, sys
rows = {r["Subject"]: r for r in json.load(open(sys.argv[1]))}
assert sorted(rows) == ["Later [defer]", "Lost [drop]"], rows
later = rows["Later [defer]"]
assert later["State"] == "deferred" and later["Attempts"] == 1, later
assert later["Reason"].startswith("451") and later["NextAttempt"], later
assert rows["Lost [drop]"]["State"] == "held", rows
PY

    # Nothing left to try, but a message held: still not every message reached everyone.
    rm "$store/Outbox/new/1700000003.c.host"
    fails 1 "1 held, 0 failed, 0 deferred" deliver
    ok outbox --release 1700000004.d.host
    run outbox
    check "the released message waits again" out_has "^queued	1700000004.d.host"
else
    echo "skipped the SMTP part: python3-aiosmtpd is not installed"
fi

finish
