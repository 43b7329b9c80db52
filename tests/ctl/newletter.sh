#!/usr/bin/env bash
# corvelctl new-letter with files: they travel in the draft and in every copy mailed from it,
# and a file that cannot be attached leaves no draft behind.
ctl=$1
here=$(cd "$(dirname "$0")/.." && pwd)
source "$(dirname "$0")/lib/harness.bash"
drafts() { find "$store/Drafts/new" "$store/Drafts/cur" -type f 2>/dev/null | wc -l; }

run stores
cp "$here/data/groups/MailLists.tlx" "$app/"
run setting Transport From "Ann Lee <ann@example.org>"

printf 'the plan\n' >"$work/plan.txt"
head -c 3000 /dev/urandom >"$work/Größe.bin"
ok new-letter --subject "With files" --attach "$work/plan.txt" --attach "$work/Größe.bin"
check "one draft" test "$(drafts)" = 1

ok mail Friends --letter "With files" --mode bcc
copy=$(find "$store/Outbox" -type f -path '*/cur/*' | head -1)
check "the copy carries both files" test "$(grep -c '^Content-Disposition: attachment' "$copy")" = 2

fails 1 "no such file" new-letter --subject "Missing" --attach "$work/nothing"
check "no draft is left" test "$(drafts)" = 1
fails 2 "" new-letter --attach
# A body is read only from a regular file (every kind of entry: DataFileTest).
mkfifo "$work/pipe"
fails 1 "" new-letter --body-file "$work/pipe"
check "and no draft is left" test "$(drafts)" = 1

# Two stores with a Drafts folder each: new-letter, drafts and mail --letter SUBJECT use the
# same one, the last store's unless Mail Setup chose another.
mkdir -p "$work/work/Drafts/cur" "$work/work/Drafts/new" "$work/work/Drafts/tmp"
run setting Stores Work "$work/work"
for chosen in "" "Personal Folders"; do
    run setting Parms DraftsStore "$chosen"
    ok new-letter --subject "Letter to ${chosen:-Work}"
    written=$(cat "$work/out")
    run drafts
    check "drafts lists the letter just written ($chosen)" out_has "^$written	Letter to ${chosen:-Work}$"
    ok mail Friends --letter "Letter to ${chosen:-Work}" --mode bcc --dry-run
done
check "the unchosen letter went to the last store" test "$(find "$work/work/Drafts" -type f | wc -l)" = 1
run drafts
check "drafts lists only the chosen store's" bash -c "! grep -q 'Letter to Work' '$work/out'"

finish
