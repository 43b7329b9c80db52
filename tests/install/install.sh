#!/usr/bin/env bash
# Installs the build into a temporary prefix, moves it elsewhere, and checks that the installed
# programs find their own files there: the column defaults, the help pages.
# Arguments: the build folder, the test data folder.
set -u
build=$1 data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -p "$HOME" "$work/app"
passed=0 failed=0
check() { # description, then a command that must succeed
    local what=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}

if ! cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    exit 1
fi
# Nothing may depend on the prefix it was installed for.
mv "$work/prefix" "$work/moved"
prefix=$work/moved
share=$prefix/share

check "corvel installed" test -x "$prefix/bin/corvel"
check "corvelctl installed" test -x "$prefix/bin/corvelctl"
check "column defaults installed" test -f "$share/corvel/mailstandards.sys"
check "help contents installed" test -f "$share/corvel/help/index.html"
check "desktop entry installed" test -f "$share/applications/corvel.desktop"
check "icon installed" test -f "$share/icons/hicolor/scalable/apps/corvel.svg"
if [ -f "$build/man/corvelctl.1" ]; then
    check "manual page installed" test -s "$share/man/man1/corvelctl.1"
    check "manual page lists the verbs" grep -q "deliver" "$share/man/man1/corvelctl.1"
fi
if command -v desktop-file-validate >/dev/null; then
    check "desktop entry is valid" desktop-file-validate "$share/applications/corvel.desktop"
fi
check "desktop entry categories" grep -qx "Categories=Office;Email;" \
    "$share/applications/corvel.desktop"

ctl() { "$prefix/bin/corvelctl" --app-path "$work/app" "$@"; }
ctl --version >"$work/version"
check "corvelctl --version" grep -Eqx "corvelctl [0-9]+\.[0-9]+\.[0-9]+" "$work/version"
"$prefix/bin/corvel" --version >"$work/version"
check "corvel --version" grep -Eqx "corvel [0-9]+\.[0-9]+\.[0-9]+" "$work/version"

# The personal folders, with the sample contacts in them.
ctl stores >/dev/null
contacts="$XDG_DATA_HOME/Tessary/Corvel/Personal Folders/Contacts"
cp "$data"/store/Contacts/*.vcf "$contacts/"
ctl list "Personal Folders/Contacts" >"$work/default.out"
check "listed with the shipped columns" grep -q "sam.brown@example.com" "$work/default.out"
# The installed defaults are the ones read: with one column left, only the names show.
printf 'IPM.Contact\n FileAs;Contact Name;180\n' >"$share/corvel/mailstandards.sys"
ctl list "Personal Folders/Contacts" >"$work/named.out"
check "the installed column defaults are read" grep -qx "Brown, Sam" "$work/named.out"

check "corvel finds its help" test "$(QT_QPA_PLATFORM=offscreen "$prefix/bin/corvel" \
    --help-folder)" = "$share/corvel/help"
rm "$share/corvel/help/index.html"
QT_QPA_PLATFORM=offscreen "$prefix/bin/corvel" --help-folder >/dev/null
check "corvel notices missing help" test $? -eq 1

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
