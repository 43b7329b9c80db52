#!/usr/bin/env bash
# End-to-end runs of "corvelctl list" on a real store made by a first run.
ctl=$1
source "$(dirname "$0")/lib/harness.bash"

# The first run makes the personal folders; their contacts folder is empty.
run folders
check "first run" rc_is 0
contacts_id=$(awk -F'\t' '$1 == "  Contacts" { print $4 }' "$work/out")
check "contacts folder found" test -n "$contacts_id"

run list "Personal Folders/Contacts"
check "empty folder lists" rc_is 0
check "empty folder prints nothing" out_is ""
run --json list "personal folders/CONTACTS"
check "path matched without regard to case" rc_is 0
check "empty folder as json" python3 -c 'import json,sys; assert json.load(open(sys.argv[1])) == []' "$work/out"
run list "$contacts_id"
check "folder found by EntryId" rc_is 0

# Cards: filed names, the preferred address, categories; sorted by name; *.tmp ignored.
cat >"$store/Contacts/a.vcf" <<'VCF'
BEGIN:VCARD
VERSION:3.0
N:Lee;Ann;;;
FN:Ann Lee
EMAIL;TYPE=work:ann@work.example
EMAIL;TYPE=pref:ann@example.org
CATEGORIES:Friends,Golf
END:VCARD
VCF
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:bob\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nORG:Acme Ltd\r\nEND:VCARD\r\n' >"$store/Contacts/b.vcf"
printf 'BEGIN:VCARD\nVERSION:3.0\nFN:Half written\nEND:VCARD\n' >"$store/Contacts/c.vcf.tmp"
run list "Personal Folders/Contacts"
check "cards listed" rc_is 0
check "rows in name order, columns of the class default" out_is "Acme Ltd		
bob		
Lee, Ann	ann@example.org	Friends, Golf"
run --json list "$contacts_id"
check "json rows" python3 - "$work/out" <<'PY'
import json, sys
rows = json.load(open(sys.argv[1]))
assert [sorted(r) for r in rows] == [["Categories", "Email1Address", "EntryId", "FileAs", "olType"]] * 3, rows
assert [r["FileAs"] for r in rows] == ["Acme Ltd", "bob", "Lee, Ann"], rows
assert all(r["olType"] == 30 for r in rows), rows
assert len({r["EntryId"] for r in rows}) == 3 and all(r["EntryId"] for r in rows), rows
PY

# Failures: exit 1 with the reason on stderr; usage errors exit 2.
run list "Personal Folders/No such folder"
check "unknown folder fails" rc_is 1
check "unknown folder named" err_has "No such folder"
run list "Personal Folders"
check "a store is not listed" rc_is 1
check "store refused with a reason" err_has "not a contact or message folder"
run list
check "missing argument" rc_is 2
run list a b
check "extra argument" rc_is 2

# Message folders list too; listing writes no data file.
run list "Personal Folders/Drafts"
check "drafts list" rc_is 0
check "no data file written" test ! -e "$app/mailfolders.sys"

# --find keeps the rows whose shown columns hold the text, any case, accents ignored.
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nN:M\xc3\xbcller;Jo;;;\r\nFN:Jo M\xc3\xbcller\r\nEMAIL:jo@example.net\r\nEND:VCARD\r\n' >"$store/Contacts/m.vcf"
for find in "MULLER:Müller, Jo	jo@example.net	" "golf:Lee, Ann	ann@example.org	Friends, Golf" "zz:"; do
    run list "Personal Folders/Contacts" --find "${find%%:*}"
    check "--find ${find%%:*}" out_is "${find#*:}"
done
rm "$store/Contacts/m.vcf"
run groups --find x
check "--find refused where it would be ignored" rc_is 2

# A folder with a sub-folder lists into a listing node, reachable by its own path too.
mkdir -p "$store/Contacts/Friends"
echo IPM.Contact >"$store/Contacts/Friends/.folderclass"
run folders
check "sub-folder shown" grep -q "^    Friends	1	" "$work/out"
run list "Personal Folders/Contacts/ ... data for: Contacts"
check "listing node path" rc_is 0
check "rows below the listing node" test "$(wc -l <"$work/out")" = 3
run list "Personal Folders/Contacts"
check "folder with a sub-folder lists its cards" test "$(wc -l <"$work/out")" = 3
run list "Personal Folders/Contacts/Friends"
check "sub-folder lists" rc_is 0

finish
