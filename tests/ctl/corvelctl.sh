#!/usr/bin/env bash
# End-to-end runs of corvelctl on real folders: a fresh user and a saved group file.
ctl=$1
data=$(cd "$(dirname "$0")/../data" && pwd)
source "$(dirname "$0")/lib/harness.bash"

# A first run makes the personal folders and shows them with two empty group roots.
ok folders
check "first run tree" python3 - "$work/out" <<'PY'
import sys
lines = [l.split("\t") for l in open(sys.argv[1]).read().splitlines()]
shape = [(l[0], l[1], l[2]) for l in lines]
assert shape == [("Personal Folders", "0", "101"), ("  Contacts", "1", "104"), ("  Drafts", "3", "108"),
                 ("Standard Mail Groups", "7", "110"), ("Dynamic Mail Groups", "8", "111")], shape
assert len(lines[0][3]) == 48 and lines[3][3] == "STDMG" and lines[4][3] == "DYNMG"
PY
check "first run writes no data file" test ! -e "$app/MailLists.tlx"
prints "Personal Folders	$XDG_DATA_HOME/Tessary/Corvel/Personal Folders" stores
run --json folders
check "json tree" python3 - "$work/out" <<'PY'
import json, sys
rows = json.load(open(sys.argv[1]))
assert [r["index"] for r in rows] == list(range(5))
assert rows[0]["olType"] == 0 and rows[0]["SortMe"] == "0" and rows[0]["StoreId"] == ""
assert rows[1]["SortMe"] == "" and len(rows[1]["StoreId"]) == 48 and rows[1]["level"] == 1
assert rows[3]["EntryId"] == "STDMG" and rows[3]["SortMe"] == "1" and rows[3]["picture"] == 110
PY

# Settings: write, read, delete a key and a whole section.
# What the settings file keeps (case, other keys, sections) is CRegSettingsTest's.
run setting Parms LoadAll 0
run setting Parms LastSavePath "/home/x/lists"
prints "0" setting Parms LoadAll
run setting --delete Parms LoadAll
prints "" setting Parms LoadAll
ok setting --delete Parms ""
fails 1 "" setting --delete Parms ""
fails 2 "" setting OnlySection
fails 2 "" nosuchverb

# A saved group file is read back: groups with their members.
cp "$data/groups/MailLists.tlx" "$app/"
prints "Standard Mail Groups	Empty group	9	0
Standard Mail Groups	Friends	9	3
Dynamic Mail Groups	Team	10	1" groups
run --json groups
check "dynamic group values" python3 - "$work/out" <<'PY'
import json, sys
rows = json.load(open(sys.argv[1]))
team = rows[2]
assert team["InCats"] == "Team-*,Board" and team["EntryIds"] == "AAAA^BBBB", team
assert team["LastLoaded"] == "" and team["GUID"].startswith("{") and team["members"] == 1
PY
run --json members Friends
check "members sorted by name" python3 - "$work/out" <<'PY'
import json, sys
rows = json.load(open(sys.argv[1]))
assert [r["FileAs"] for r in rows] == ["Baker, Tom", "Lee, Ann", "Ørsted, Åse"], rows
assert rows[0]["olType"] == 37 and rows[0]["EntryId"] == "" and rows[1]["olType"] == 35
PY
fails 1 "" members "No such group"

finish
