#!/usr/bin/env bash
# `stores --suggest` on a fake home folder: what the user keeps elsewhere is offered, never
# registered, and configuration that makes no sense is passed over.
ctl=$1
source "$(dirname "$0")/lib/harness.bash"
export HOME=$work/home
mkdir -p "$HOME/.config"
export XDG_CONFIG_HOME=$HOME/.config

run stores --suggest
check "nothing kept, nothing offered" out_is ""
check "nothing kept succeeds" rc_is 0

mkdir -p "$HOME/.contacts/family" "$HOME/Maildir/cur" "$HOME/Maildir/new"
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nEND:VCARD\r\n' >"$HOME/.contacts/family/a.vcf"
mkdir -p "$XDG_CONFIG_HOME/khard" "$XDG_CONFIG_HOME/vdirsyncer"
printf '[addressbooks]\n[[family]]\npath = ~/.contacts/family\n' >"$XDG_CONFIG_HOME/khard/khard.conf"
head -c 3000 /dev/urandom >"$XDG_CONFIG_HOME/vdirsyncer/config"
run stores --suggest
check "found stores offered" out_is "contacts	$HOME/.contacts	khard address book \"family\", ~/.contacts
Maildir	$HOME/Maildir	~/Maildir"
check "a garbled configuration is passed over" rc_is 0
run stores
check "nothing registered unasked" out_is "Personal Folders	$XDG_DATA_HOME/Tessary/Corvel/Personal Folders"

run setting Stores Mail "$HOME/Maildir/"
run --json stores --suggest
check "a registered store is not offered again" python3 - "$work/out" <<'PY'
import json, sys
rows = json.load(open(sys.argv[1]))
assert [r["name"] for r in rows] == ["contacts"], rows
assert rows[0]["foundBy"] == ['khard address book "family"', "~/.contacts"], rows
PY
run stores --everything
check "unknown option" rc_is 2
finish
