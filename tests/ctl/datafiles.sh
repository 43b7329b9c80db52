#!/usr/bin/env bash
# Where data files live, and damaged ones: groups outlive the program's folder, and a settings
# file that cannot be read whole is never rewritten. (A damaged group file on SIGTERM: frmMainTest.)
ctl=$1
bin=$(cd "$(dirname "$ctl")" && pwd)
data=$(cd "$(dirname "$0")/../data" && pwd)
source "$(dirname "$0")/lib/harness.bash"
export HOME=$work/home QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
userdata=$XDG_DATA_HOME/Tessary/Corvel
conf=$XDG_CONFIG_HOME/Tessary/Corvel.conf

ctl_() { # corvelctl as a user runs it, without --app-path
    "$@" >"$work/out" 2>"$work/err"
    echo $? >"$work/rc"
}

# A copy of the program's folder, run from there: its groups go to the user's data folder
# and survive the folder's removal.
copy=$work/bin-copy
mkdir -p "$copy"
cp -r "$bin/corvel" "$bin/corvelctl" "$bin/mailstandards.sys" "$bin/help" "$copy/"
check "first window from the copy starts" start_window "$copy/corvel"
check "first window ends on SIGTERM" ends_on_sigterm_within_5s
check "data folder and files for the user alone" test "$(stat -c %a "$userdata" "$userdata/MailLists.tlx" "$userdata/mailfolders.sys")" = "700
600
600"
cp "$data/groups/MailLists.tlx" "$userdata/"
check "window from the copy starts" start_window "$copy/corvel"
check "window ends on SIGTERM" ends_on_sigterm_within_5s
check "groups saved in the data folder, previous kept" test -f "$userdata/MailLists.bak"
check "nothing written beside the program" test ! -e "$copy/MailLists.tlx" -a ! -e "$copy/MailLists.lock" -a ! -e "$copy/mailfolders.sys"
check "lock removed" test ! -e "$userdata/MailLists.lock"
rm -rf "$copy"
ctl_ "$ctl" groups
check "groups outlive the program's folder" out_is "Standard Mail Groups	Empty group	9	0
Standard Mail Groups	Friends	9	3
Dynamic Mail Groups	Team	10	1"
ctl_ "$ctl" paths
check "paths" out_is "settings	$conf	file
data folder	$userdata	folder
groups	$userdata/MailLists.tlx	file
groups backup	$userdata/MailLists.bak	file
columns	$userdata/mailfolders.sys	file
columns backup	$userdata/mailfolders.bak	file
column defaults	$bin/mailstandards.sys	file"

# A portable install: a program folder that already holds a group file keeps its data there.
portable=$work/portable
mkdir -p "$portable"
cp "$bin/corvelctl" "$bin/mailstandards.sys" "$portable/"
cp "$data/groups/MailLists.tlx" "$portable/"
ctl_ "$portable/corvelctl" paths
check "portable install keeps its data beside the program" grep -qx "data folder	$portable	folder" "$work/out"
ctl_ "$portable/corvelctl" --app-path "$work/elsewhere" paths
check "--app-path overrides" grep -qx "groups	$work/elsewhere/MailLists.tlx	missing" "$work/out"

# A damaged settings file (one kind end to end; every kind is checked where the file is read):
# a verb that only reads leaves it byte for byte, says why, and registers no default store.
cp "$conf" "$work/good.conf"
rm -rf "$XDG_DATA_HOME/Tessary/Corvel/Personal Folders.new"
head -c "$(($(grep -b -o '\[Stores\]' "$work/good.conf" | cut -d: -f1) + 4))" "$work/good.conf" >"$conf"
cp "$conf" "$work/damaged.conf"
mv "$userdata/Personal Folders" "$work/stores-aside"
ctl_ "$ctl" groups
check "damaged settings: read-only verb fails" rc_is 1
check "damaged settings: reason said" err_has "settings file $conf"
check "damaged settings: no default store made" test ! -e "$userdata/Personal Folders"
ctl_ "$ctl" stores
check "damaged settings: no default store registered" out_is ""
ctl_ "$ctl" setting Parms LoadAll 0
check "damaged settings: a write is refused" rc_is 1
check "damaged settings: left as it was" cmp -s "$conf" "$work/damaged.conf"
mv "$work/stores-aside" "$userdata/Personal Folders"
rm -rf "$conf"; cp "$work/good.conf" "$conf"
ctl_ "$ctl" groups
check "mended settings read again" rc_is 0

finish
