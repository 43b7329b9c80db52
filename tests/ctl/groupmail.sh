#!/usr/bin/env bash
# End-to-end group mail with corvelctl: a letter, a group and a contact folder mailed into the
# real Outbox, a run killed midway and continued, and delivery to a scripted SMTP server on
# 127.0.0.1 in which nobody gets a message twice.
ctl=$1
here=$(cd "$(dirname "$0")/.." && pwd)
source "$(dirname "$0")/lib/harness.bash"
queued() { find "$store/Outbox/new" "$store/Outbox/cur" -type f 2>/dev/null | wc -l; }
clear_outbox() { rm -f "$store/Outbox/new/"* "$store/Outbox/cur/"*; }

run stores
cp "$here/data/groups/MailLists.tlx" "$app/"
run setting Transport From "Ann Lee <ann@example.org>"

printf 'Dear <<Prompt=First Name>>,\nsee <<Link>> and << this.\n' >"$work/body"
ok new-letter --subject "Group news" --to owner@example.org --body-file "$work/body"
letter=$(cat "$work/out")
check "new-letter prints an EntryId" test ${#letter} -eq 48
ok new-letter
run drafts
check "both letters in Drafts" out_has "Draft from Corvel"

ok mail Friends --letter "Group news" --mode personal --prompt "first NAME=Friend" --dry-run
check "dry run lists the copies, named" out_has "^To: .* <aase@example.no>"
check "dry run shows the filled body" out_has "^Dear Friend,"
check "dry run queues nothing" test "$(queued)" = 0

printf 'address,First Name\ntom@example.org,Tom\n"ann@example.org","Ann, dear"\n' >"$work/values.csv"
ok mail Friends --letter "$letter" --mode personal --values "$work/values.csv"
check "three processed" out_has "^members processed: 3$"
check "three queued" out_has "^messages queued: 3$"
check "Outbox holds three" test "$(queued)" = 3
check "answers per member" grep -lq "Dear Ann, dear," "$store/Outbox/cur/"*
check "unanswered prompt is empty off a terminal" grep -lq "^Dear ,$" "$store/Outbox/cur/"*
check "the Outbox's account follows" out_has "^Outbox, of the 3 messages queued: 3 waiting in the Outbox$"
check "which says why they wait" out_has "wait in the Outbox until a way of sending mail is set up"
clear_outbox

# A value with a line break fails its member (MailGeneratorTest); what is not a regular file is
# never read (DataFileTest).
mkfifo "$work/fifo"
fails 1 "^corvelctl: cannot read $work/fifo" mail Friends --letter "$letter" --mode personal --values "$work/fifo"
check "nothing queued from a refused values file" test "$(queued)" = 0

fails 2 "" mail Friends --letter "Group news" --mode bogus
fails 1 "" mail "No such group" --letter "Group news" --mode to

# A contact folder of many members, one without an address and one whose address would add a
# second recipient; enough that a run is still making copies when its first batch lands.
contacts="$store/Contacts"
python3 - "$contacts" <<'PY'
import sys
card = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:{0}\r\nN:{1};;;;\r\nFN:{1}\r\n{2}END:VCARD\r\n"
for i in range(1, 2401):
    open(f"{sys.argv[1]}/c{i:05}.vcf", "w").write(card.format(i, f"M{i}", f"EMAIL:m{i}@example.org\r\n"))
open(f"{sys.argv[1]}/none.vcf", "w").write(card.format("none", "No Address", ""))
open(f"{sys.argv[1]}/two.vcf", "w").write(card.format("two", "Tim Two", "EMAIL:a@example.org\\, b@example.org\r\n"))
PY

fails 1 "merge fields go out as typed" mail "Personal Folders/Contacts" --letter "Group news" --mode bcc
check "2402 processed" out_has "^members processed: 2402$"
check "24 BCC messages" out_has "^messages queued: 24$"
clear_outbox

# Killed midway, then continued (who is queued and who is in doubt: OutboxQueueingTest).
"$ctl" --app-path "$app" mail "Personal Folders/Contacts" --letter "Group news" --mode personal \
    --prompt "First Name=You" >"$work/killed.out" 2>&1 &
pid=$!
for _ in $(seq 1 3000); do
    [ "$(queued)" -ge 1 ] && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.01
done
kill -9 $pid 2>/dev/null
wait $pid 2>/dev/null
queued_before=$(queued)
check "the kill stopped the run midway" test "$queued_before" -lt 2400

fails 1 "resume" mail "Personal Folders/Contacts" --letter "Group news" --mode personal --prompt "First Name=You"
check "nothing more queued" test "$(queued)" = "$queued_before"
fails 1 "was interrupted after" mail "Personal Folders/Contacts" --letter "Group news" --mode personal --prompt "First Name=You" --dry-run

run mail "Personal Folders/Contacts" --letter "Group news" --mode personal --prompt "First Name=You" --resume
check "resume ends" test "$(cat "$work/rc")" -le 1
check "nobody queued twice" test -z "$(grep -h '^To:' "$store/Outbox/cur/"* | sort | uniq -d)"
if have_smtp_server; then
    use_smtp_server

    ok deliver
    check "nobody got a message twice" python3 -c '
import collections, glob, json, sys
seen = collections.Counter(r for f in glob.glob(sys.argv[1] + "/*.json") for r in json.load(open(f))["rcpt_tos"])
sys.exit(any(n > 1 for a, n in seen.items() if a != "owner@example.org"))' "$work/received"

    # The letter's own To goes on every BCC copy: here an address the server refuses.
    run new-letter --subject "Refused news" --to refuse-owner@example.org --body-file "$work/body"
    refused_letter=$(cat "$work/out")
    ok mail Friends --letter "$refused_letter" --mode bcc --wait 30
    check "its account counts the delivered message" out_has "^Outbox, of the 1 message queued: 1 delivered$"
    check "and names the refused recipient" out_has "^  refuse-owner@example.org: 550"
else
    echo "skipped the SMTP part: python3-aiosmtpd is not installed"
fi

fails 1 "" mail "Personal Folders/Contacts" --letter "Group news" --mode personal --prompt "First Name=You"
check "a new run starts (the bad member fails it)" out_has "^members processed: 2402$"

# A run in progress holds the lock: any other run is refused, naming it, and makes nothing; a
# holder that died keeps nobody out (MailGeneratorTest). The holder is held still here.
lock="$XDG_DATA_HOME/Tessary/Corvel/runs/corvel-run.lock"
python3 - "$lock" "$work/holding" <<'PY' &
import fcntl, os, sys, time
lock = open(sys.argv[1], "a+")
fcntl.flock(lock, fcntl.LOCK_EX)
lock.truncate(0)
lock.write(f"pid={os.getpid()} boot=test\n")
lock.flush()
open(sys.argv[2], "w").close()
time.sleep(120)
PY
holder=$!
cleanups+=("kill $holder 2>/dev/null")
for _ in $(seq 200); do [ -e "$work/holding" ] && break; sleep 0.05; done
before=$(queued)
fails 1 "^corvelctl: another group mail run is in progress (pid $holder)$" mail "Personal Folders/Contacts" --letter "Group news" --mode personal --prompt "First Name=You"
check "and makes nothing" test "$(queued)" = "$before"
kill "$holder"; wait "$holder" 2>/dev/null

finish
