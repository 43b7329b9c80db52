#!/usr/bin/env bash
# End-to-end runs of "corvelctl list" on a real store made by a first run.
ctl=$1
source "$(dirname "$0")/lib/harness.bash"

# The first run makes the personal folders; their contacts folder is empty.
ok folders
contacts_id=$(awk -F'\t' '$1 == "  Contacts" { print $4 }' "$work/out")
check "contacts folder found" test -n "$contacts_id"

ok list "Personal Folders/Contacts"
check "empty folder prints nothing" out_is ""
ok --json list "personal folders/CONTACTS"
check "empty folder as json" python3 -c 'import json,sys; assert json.load(open(sys.argv[1])) == []' "$work/out"
ok list "$contacts_id"

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
ok list "Personal Folders/Contacts"
check "rows in name order, columns of the class default" out_is "Acme Ltd		
bob		
Lee, Ann	ann@example.org	Friends, Golf"

# Failures: exit 1 with the reason on stderr; usage errors exit 2.
fails 1 "No such folder" list "Personal Folders/No such folder"
fails 1 "not a contact or message folder" list "Personal Folders"
fails 2 "" list
fails 2 "" list a b
"$ctl" --app-path "$app" list "Personal Folders/Contacts" >/dev/full 2>"$work/err"
check "a listing that cannot be written out fails" test $? = 1

# Message folders list too; listing writes no data file.
ok list "Personal Folders/Drafts"
check "no data file written" test ! -e "$app/mailfolders.sys"

# --find keeps the rows whose shown columns hold the text, any case, accents ignored.
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nN:M\xc3\xbcller;Jo;;;\r\nFN:Jo M\xc3\xbcller\r\nEMAIL:jo@example.net\r\nEND:VCARD\r\n' >"$store/Contacts/m.vcf"
for find in "MULLER:Müller, Jo	jo@example.net	" "golf:Lee, Ann	ann@example.org	Friends, Golf" "zz:"; do
    prints "${find#*:}" list "Personal Folders/Contacts" --find "${find%%:*}"
done
rm "$store/Contacts/m.vcf"
fails 2 "" groups --find x

# A folder with a sub-folder lists into a listing node, reachable by its own path too.
mkdir -p "$store/Contacts/Friends"
echo IPM.Contact >"$store/Contacts/Friends/.folderclass"
run folders
check "sub-folder shown" grep -q "^    Friends	1	" "$work/out"
ok list "Personal Folders/Contacts/ ... data for: Contacts"
check "rows below the listing node" test "$(wc -l <"$work/out")" = 3
run list "Personal Folders/Contacts"
check "folder with a sub-folder lists its cards" test "$(wc -l <"$work/out")" = 3
ok list "Personal Folders/Contacts/Friends"

finish
