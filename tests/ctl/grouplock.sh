#!/usr/bin/env bash
# While the window holds the groups, the verbs that change them are refused and change
# nothing; reading them still works, and changing them works again once the window is gone.
ctl=$1
bin=$(cd "$(dirname "$ctl")" && pwd)
source "$(dirname "$0")/lib/harness.bash"
here=$(cd "$(dirname "$0")/.." && pwd)
export HOME=$work/home QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"

ok folders
cp "$here/data/store/Contacts/"*.vcf "$XDG_DATA_HOME/Tessary/Corvel/Personal Folders/Contacts/"
ok new-group Friends
run add-member Friends "Lee, Ann" ann@example.org
groupfile=$app/MailLists.tlx
lockfile=$app/MailLists.lock

check "window up" start_window "$bin/corvel" --app-path "$app"
check "holding the lock" test -e "$lockfile"
before=$(sha256sum "$groupfile")

refused() { # a changing verb and its arguments
    run "$@"
    rc_is 1 && err_has "in use by" && [ ! -s "$work/out" ] &&
        [ "$(sha256sum "$groupfile")" = "$before" ]
}
check "new-group refused" refused new-group X
check "rename refused" refused rename Friends Others
check "delete-group refused" refused delete-group Friends
check "add-member refused" refused add-member Friends Bob bob@example.org
check "remove-member refused" refused remove-member Friends ann@example.org
check "copy refused" refused copy "Personal Folders/Contacts" Friends
check "reason names the data folder" err_has "$app"

ok groups
check "listing shows the group" grep -q Friends "$work/out"
ok members Friends
check "listing shows the member" grep -q ann@example.org "$work/out"

check "window ends on SIGTERM" ends_on_sigterm_within_5s
check "lock released" test ! -e "$lockfile"
ok new-group X
run groups
check "new group listed" grep -q $'\tX\t' "$work/out"
finish
