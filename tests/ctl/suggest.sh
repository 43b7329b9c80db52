#!/usr/bin/env bash
# `stores --suggest` on a fake home folder: what the user keeps elsewhere is offered, never
# registered. What the finder reads and passes over is checked in ExistingStoreFinderTest.
ctl=$1
source "$(dirname "$0")/lib/harness.bash"
export HOME=$work/home
mkdir -p "$HOME/.config"
export XDG_CONFIG_HOME=$HOME/.config

mkdir -p "$HOME/.contacts/family" "$HOME/Maildir/cur" "$HOME/Maildir/new"
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:A\r\nEND:VCARD\r\n' >"$HOME/.contacts/family/a.vcf"
mkdir -p "$XDG_CONFIG_HOME/khard"
printf '[addressbooks]\n[[family]]\npath = ~/.contacts/family\n' >"$XDG_CONFIG_HOME/khard/khard.conf"
prints "contacts	$HOME/.contacts	khard address book \"family\", ~/.contacts
Maildir	$HOME/Maildir	~/Maildir" stores --suggest
prints "Personal Folders	$XDG_DATA_HOME/Tessary/Corvel/Personal Folders" stores
run setting Stores Mail "$HOME/Maildir/"
prints "contacts	$HOME/.contacts	khard address book \"family\", ~/.contacts" stores --suggest
fails 2 "" stores --everything
finish
