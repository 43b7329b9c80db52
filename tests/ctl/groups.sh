#!/usr/bin/env bash
# End-to-end runs of the group verbs of corvelctl over a copy of the sample store.
ctl=$1
source "$(dirname "$0")/lib/harness.bash"
here=$(cd "$(dirname "$0")/.." && pwd)

run folders
check "first run" rc_is 0
cp "$here/data/store/Contacts/"*.vcf "$store/Contacts/"
groupfile="$app/MailLists.tlx"

run new-group "Friends"
check "new group" rc_is 0
check "group file written" test -s "$groupfile"
run new-group
check "usage" rc_is 2

run add-member Friends "Lee, Ann" ann@example.org
check "typed member added" rc_is 0
run add-member Friends "Other" ann@example.org
check "duplicate refused" rc_is 1
check "duplicate reason" err_has "ann@example.org already exists on file"
run --json members Friends
check "typed member is dark blue" python3 - "$work/out" <<'PY'
import json, sys
rows = json.load(open(sys.argv[1]))
assert len(rows) == 1 and rows[0]["colour"] == "#000080" and rows[0]["olType"] == 37, rows
PY

# One bare address enters, nothing else; letter case makes no other address.
while IFS='|' read -r address reason; do
    run add-member Friends "Other" "$(printf "$address")"
    check "add-member $address refused" rc_is 1
    check "add-member $address reason" err_has "$reason"
done <<'TABLE'
ANN@Example.ORG|already exists on file
jane at example|no @
|no address
a@x.org\r|control character
a@x.org, b@x.org|more than one address
Ann <a@x.org>|without a name
=?utf-8?q?x=40evil.example=2C_y?=@ok.example|encoded words
"x y"@ok.example|quoted local parts
TABLE
run add-member Friends "$(printf 'Two\nLines')" two@example.org
check "a name with a line break refused" rc_is 1
run edit-member Friends ann@example.org --address "jane at example"
check "edit-member to no address refused" rc_is 1
run edit-member Friends ann@example.org --name "Lee, Annie" --address annie@example.org
check "member edited" rc_is 0
run remove-member Friends annie@example.org
check "member removed" rc_is 0
run members Friends
check "no members left" out_is ""

run copy "Personal Folders/Contacts" Friends
check "contacts copied" rc_is 0
copied=$(cat "$work/out")
check "every contact with an address, once" test "$copied" -ge 5
run copy "Personal Folders/Contacts" Friends
check "copying again adds nothing" out_is "$copied"

# Address lists: export, import into another group, same members.
run new-group "Copy"
run export Friends "$work/friends.txt"
check "exported" rc_is 0
check "CR LF lines" grep -q $'\r$' "$work/friends.txt"
run import Copy "$work/friends.txt"
check "imported" rc_is 0
check "same count" out_is "added $copied (0 already in the group), refused 0"
printf 'new@example.org,New\rjane at example,Jane\r' >"$work/bad.txt"
run import Copy "$work/bad.txt"
check "a refused line fails import" rc_is 1
check "import says what it did" out_is "added 1 (0 already in the group), refused 1 (line 2: the address has no @ (local@domain))"
run members Copy
check "the good line is kept" out_has "new@example.org"
run members Copy --find NEW@EXAMPLE
check "members --find" test "$(grep -c . "$work/out")" = 1 -a "$(cut -f4 "$work/out")" = new@example.org
run import Copy "$work/none.txt"
check "missing file refused" rc_is 1
check "missing file reason" err_has "Unable to Load File - "
# Only regular files are read and replaced; a link is written through.
mkfifo "$work/pipe"
for file in /dev/zero "$work/pipe"; do
    timeout 20 "$ctl" --app-path "$app" import Copy "$file" >"$work/out" 2>"$work/err" </dev/null
    echo $? >"$work/rc"
    check "import $file refused" rc_is 1
    check "import $file reason" err_has "not a regular file"
done
run export Friends "$work/pipe"
check "export onto a pipe refused" rc_is 1
check "export onto a pipe reason" err_has "is a pipe"
check "the pipe stays" test -p "$work/pipe"
ln -s friends.txt "$work/friends-link.txt"
: >"$work/friends.txt"
run export Friends "$work/friends-link.txt"
check "export through a link" rc_is 0
check "the link stays a link" test -L "$work/friends-link.txt"
check "the file it names is written" test -s "$work/friends.txt"

# Verify: a contact deleted from the folder turns missing.
run --json members Friends
victim=$(python3 -c 'import json,sys; r=json.load(open(sys.argv[1])); print(r[0]["Email1Address"])' "$work/out")
grep -l -- "$victim" "$store/Contacts/"*.vcf | while IFS= read -r f; do rm -f "$f"; done
run verify Friends
check "verify succeeds" rc_is 0
check "verify reports a missing member" grep -q $'\tmissing$' "$work/out"
check "verify reports found members" grep -q $'\tok$' "$work/out"

# Dynamic groups.
run new-dynamic-group Board --folder "Personal Folders/Contacts" --categories "board" --load
check "dynamic group made and loaded" rc_is 0
run --json groups
check "dynamic group has LastLoaded and members" python3 - "$work/out" <<'PY'
import json, sys
rows = {r["caption"]: r for r in json.load(open(sys.argv[1]))}
assert rows["Board"]["LastLoaded"] and rows["Board"]["members"] >= 1, rows
PY
run load Board
check "reload" rc_is 0

run rename Copy "Copy 2"
check "renamed" rc_is 0
run delete-group "Copy 2"
check "deleted" rc_is 0
run members "Copy 2"
check "gone" rc_is 1

# A caption two groups share names neither.
run new-group Twin
run new-group Twin
run rename Twin Single
check "ambiguous caption refused" rc_is 1
check "ambiguous caption reason" err_has "names 2 mail groups"
for verb in members verify export mail; do
    case $verb in
    export) run export Twin "$work/twin.txt" ;;
    mail)
        run new-letter --subject "Twin news"
        run mail Twin --letter "Twin news" --mode bcc --dry-run
        ;;
    *) run $verb Twin ;;
    esac
    check "$verb of a shared caption refused" rc_is 1
    check "$verb says why" err_has "names 2 mail groups"
done
check "nothing exported" test ! -e "$work/twin.txt"

# The window's rule for names, and ids that name no contact.
run new-group ""
check "a group without a name refused" rc_is 1
check "a name is asked for" err_has "a mail group needs a name"
run rename Friends ""
check "renaming to nothing refused" rc_is 1
run copy "Personal Folders/Contacts" Friends no-such-id other-id
check "unknown ids refused" rc_is 1
check "unknown ids named" err_has "no-such-id, other-id"

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
run copy "Personal Folders/Contacts/Order" Order
check "three contacts copied" out_is 3
card a.vcf Zulu a@example.org
card c.vcf Able c@example.org
run verify Order
check "every member verified once" test "$(cut -f1,3 "$work/out" | sort)" = "a@example.org	ok
b@example.org	ok
c@example.org	ok"
run members Order
check "names refreshed" test "$(grep -c -e Zulu -e Able "$work/out")" = 2
# Groups kept by other address books: each group card becomes a Standard Mail Group.
printf 'BEGIN:VCARD\r\nVERSION:4.0\r\nUID:urn:uuid:imp-1\r\nFN:Imp One\r\nEMAIL:imp1@example.org\r\nEND:VCARD\r\n' \
    >"$store/Contacts/imp1.vcf"
printf 'BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Imported\r\nMEMBER:urn:uuid:imp-1\r\nMEMBER:mailto:list@example.org\r\nMEMBER:urn:uuid:nobody\r\nEND:VCARD\r\n' \
    >"$store/Contacts/imp-group.vcf"
run import-groups "Personal Folders/Contacts"
check "groups imported" rc_is 0
check "unknown member reported" err_has "urn:uuid:nobody"
run --json members Imported
check "copied and typed-in members" python3 - "$work/out" <<'PY'
import json, sys
rows = sorted((r["olType"], r["Email1Address"]) for r in json.load(open(sys.argv[1])))
assert rows == [(35, "imp1@example.org"), (37, "list@example.org")], rows
PY
run import-groups "Personal Folders/Contacts"
run --json members Imported
check "importing again adds nothing" python3 -c 'import json,sys; assert len(json.load(open(sys.argv[1]))) == 2' "$work/out"
run import-groups "Personal Folders/Nowhere"
check "unknown folder refused" rc_is 1

finish
