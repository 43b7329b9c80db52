#!/usr/bin/env bash
# Group mail runs end to end against the scripted SMTP server: several groups in one run, each
# address once; copies sent later; copies saved for review instead of queued.
ctl=$1
here=$(cd "$(dirname "$0")/.." && pwd)
source "$(dirname "$0")/lib/harness.bash"
skip_without_smtp_server
queued() { find "$store/Outbox/new" "$store/Outbox/cur" -type f 2>/dev/null | wc -l; }
# The recipients of every message the server took, parsed back, a line each, sorted.
received_to() {
    python3 - "$work/received" <<'PY'
import email, json, os, sys
for name in sorted(os.listdir(sys.argv[1])):
    if name.endswith(".json"):
        record = json.load(open(os.path.join(sys.argv[1], name)))
        print(email.message_from_string(record["data"])["To"])
PY
}

run stores
cp "$here/data/groups/MailLists.tlx" "$app/"
run setting Transport From "Ann Lee <ann@example.org>"
run new-group Helpers
run add-member Helpers "Lee, Ann" ANN@example.org
run add-member Helpers "New, Nia" nia@example.org
printf 'Hello <<Prompt=Name>>.\n' >"$work/body"
run new-letter --subject "Many" --body-file "$work/body"
use_smtp_server

run mail Friends Helpers Friends --letter Many --mode personal --prompt Name=you --wait 30
check "two groups mailed in one run" rc_is 0
check "each address once, whatever its case" out_has "^messages queued: 4$"
check "the account counts the address met twice" \
    out_has "^members skipped as already mailed in this run: 1$"
check "the server got each member once" \
    test "$(received_to | sort | uniq -d)" = ""

# Later: queued now, listed as scheduled at the time asked, left by every pass until then.
at=$(date -d "+2 hours" "+%Y-%m-%d %H:%M")
run mail Helpers --letter Many --mode bcc --at "$at"
check "a run to go later" rc_is 0
run outbox
check "outbox shows it scheduled at that time" out_has "^scheduled	.*	Many	to go at $at	$"
run deliver
check "deliver leaves it" test "$(ls "$work/received" | grep -c 'json$')" = 4
# Its time come (the record of it made a minute old): the next pass sends it.
sed -i 's/ [0-9]*$/ 1/' "$store/Outbox/corvel-outbox.schedule"
run deliver
check "once its time has come it goes" rc_is 0
check "to the group" test "$(ls "$work/received" | grep -c 'json$')" = 5
run mail Helpers --letter Many --mode bcc --at "2001-01-01 00:00" --wait 30
check "a time past means now" out_has "1 delivered$"
run mail Helpers --letter Many --mode bcc --at "tomorrow"
check "a time that is none is a usage error" rc_is 2
check "saying what --at wants" err_has 'wants a local date and time as "YYYY-MM-DD HH:MM"'

# For review: every copy as a file, in member order, nothing queued or journalled.
before=$(queued)
run mail Friends Helpers --letter Many --mode personal --prompt Name=you --save-to "$work/review/a"
check "a run saved for review" rc_is 0
check "says where" out_has "^messages saved in $work/review/a: 4$"
check "nothing queued" test "$(queued)" = "$before"
check "no journal kept" test -z "$(ls "$XDG_DATA_HOME/Tessary/Corvel/runs" | grep -v lock)"
check "the folder made private" test "$(stat -c %a "$work/review/a")" = 700
run mail Helpers --letter Many --mode personal --prompt Name=again --save-to "$work/review/a"
check "the copies parsed back, named in member order, none overwritten" \
    python3 - "$work/review/a" <<'PY'
import email, email.utils, os, sys
names = sorted(os.listdir(sys.argv[1]))
assert names[0].startswith("000001-") and names[-1].startswith("000006-"), names
got = []
for name in names:
    with open(os.path.join(sys.argv[1], name), "rb") as f:
        message = email.message_from_binary_file(f)
    got.append((email.utils.parseaddr(message["To"])[1].lower(), message.get_payload().strip()))
assert [b for a, b in got] == ["Hello you."] * 4 + ["Hello again."] * 2, got
assert got[-2:] == [("ann@example.org", "Hello again."), ("nia@example.org", "Hello again.")], got
assert len({a for a, b in got[:4]}) == 4, got
PY

finish
