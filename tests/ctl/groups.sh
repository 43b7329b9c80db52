#!/usr/bin/env bash
# End-to-end runs of the group verbs of corvelctl over a copy of the sample store.
ctl=$1
source "$(dirname "$0")/lib/harness.bash"
here=$(cd "$(dirname "$0")/.." && pwd)

ok folders
cp "$here/data/store/Contacts/"*.vcf "$store/Contacts/"

ok new-group "Friends"
check "group file written" test -s "$app/MailLists.tlx"
fails 2 "" new-group

ok add-member Friends "Lee, Ann" ann@example.org
# One bare address enters, nothing else; letter case makes no other address (every kind of
# text refused: MemberAddressTest).
fails 1 "ann@example.org already exists on file" add-member Friends "Other" ann@example.org
fails 1 "already exists on file" add-member Friends "Other" ANN@Example.ORG
fails 1 "control character" add-member Friends "Other" "$(printf 'a@x.org\r')"
fails 1 "without a name" add-member Friends "Other" "Ann <a@x.org>"
fails 1 "" add-member Friends "$(printf 'Two\nLines')" two@example.org
fails 1 "" edit-member Friends ann@example.org --address "jane at example"
ok edit-member Friends ann@example.org --name "Lee, Annie" --address annie@example.org
ok remove-member Friends annie@example.org
prints "" members Friends

ok copy "Personal Folders/Contacts" Friends
copied=$(cat "$work/out")
check "every contact with an address, once" test "$copied" -ge 5
prints "$copied" copy "Personal Folders/Contacts" Friends

# Address lists: export, import into another group, same members.
run new-group "Copy"
ok export Friends "$work/friends.txt"
check "CR LF lines" grep -q $'\r$' "$work/friends.txt"
ok import Copy "$work/friends.txt"
check "same count" out_is "added $copied (0 already in the group), refused 0"
printf 'new@example.org,New\rjane at example,Jane\r' >"$work/bad.txt"
fails 1 "" import Copy "$work/bad.txt"
check "import says what it did" out_is "added 1 (0 already in the group), refused 1 (line 2: the address has no @ (local@domain))"
run members Copy --find NEW@EXAMPLE
check "the good line is kept; members --find" test "$(grep -c . "$work/out")" = 1 -a "$(cut -f4 "$work/out")" = new@example.org
fails 1 "Unable to Load File - " import Copy "$work/none.txt"
# What is no regular file is never read (every kind, and links written through: AddressListFile).
timeout 20 "$ctl" --app-path "$app" import Copy /dev/zero >"$work/out" 2>"$work/err" </dev/null
echo $? >"$work/rc"
check "import /dev/zero refused" rc_is 1
check "import /dev/zero reason" err_has "not a regular file"

# Verify: a contact deleted from the folder turns missing.
run members Friends
victim=$(head -1 "$work/out" | cut -f4)
grep -l -- "$victim" "$store/Contacts/"*.vcf | while IFS= read -r f; do rm -f "$f"; done
ok verify Friends
check "verify reports a missing member" grep -q $'\tmissing$' "$work/out"
check "verify reports found members" grep -q $'\tok$' "$work/out"

# Dynamic groups.
ok new-dynamic-group Board --folder "Personal Folders/Contacts" --categories "board" --load
run --json groups
check "dynamic group has LastLoaded and members" python3 -c '
import json, sys
rows = {r["caption"]: r for r in json.load(open(sys.argv[1]))}
assert rows["Board"]["LastLoaded"] and rows["Board"]["members"] >= 1, rows' "$work/out"
ok load Board

ok rename Copy "Copy 2"
ok delete-group "Copy 2"
fails 1 "" members "Copy 2"

# A caption two groups share names neither.
run new-group Twin
run new-group Twin
run new-letter --subject "Twin news"
fails 1 "names 2 mail groups" rename Twin Single
fails 1 "names 2 mail groups" members Twin
fails 1 "names 2 mail groups" verify Twin
fails 1 "names 2 mail groups" export Twin "$work/twin.txt"
fails 1 "names 2 mail groups" mail Twin --letter "Twin news" --mode bcc --dry-run
check "nothing exported" test ! -e "$work/twin.txt"

# The window's rule for names, and ids that name no contact.
fails 1 "a mail group needs a name" new-group ""
fails 1 "" rename Friends ""
fails 1 "no-such-id, other-id" copy "Personal Folders/Contacts" Friends no-such-id other-id

# Verification refreshes names, which moves members in the group's order: each member is
# still verified and printed once.
order="$store/Contacts/Order"
mkdir -p "$order"
echo IPM.Contact >"$order/.folderclass"
card() { # file, name, address
    printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nN:%s;;;;\r\nFN:%s\r\nEMAIL:%s\r\nEND:VCARD\r\n' \
        "$2" "$2" "$3" >"$order/$1"
}
card a.vcf Alpha a@example.org
card b.vcf Bravo b@example.org
card c.vcf Charlie c@example.org
run new-group Order
prints 3 copy "Personal Folders/Contacts/Order" Order
card a.vcf Zulu a@example.org
card c.vcf Able c@example.org
run verify Order
check "every member verified once" test "$(cut -f1,3 "$work/out" | sort)" = "a@example.org	ok
b@example.org	ok
c@example.org	ok"
run members Order
check "names refreshed" test "$(grep -c -e Zulu -e Able "$work/out")" = 2

# Groups kept by other address books (what becomes of each member: AddressBookGroupImportTest).
printf 'BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Imported\r\nMEMBER:mailto:list@example.org\r\nMEMBER:urn:uuid:nobody\r\nEND:VCARD\r\n' \
    >"$store/Contacts/imp-group.vcf"
ok import-groups "Personal Folders/Contacts"
check "unknown member reported" err_has "urn:uuid:nobody"
fails 1 "" import-groups "Personal Folders/Nowhere"

finish
