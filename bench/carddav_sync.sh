#!/usr/bin/env bash
# corvelctl sync of a Radicale address book of N cards, side by side in one run with
# vdirsyncer syncing the same book into a folder: the first sync, a sync that finds nothing
# changed, and one after a card changed; with the server's own time to answer "what changed"
# (a sync-collection REPORT with the current token), and listing the synced cache against
# listing the same cards from a local folder. Wall-clock seconds and processor time (user+sys).
# Usage: bench/carddav_sync.sh CORVELCTL [N=10000]
# Env:   WORK=/tmp/corvel-carddav-bench (server, settings, caches; removed first)
#        ROUNDS=1 (rounds of everything after the first sync: take the median on a busy machine)
#        PEER=1 (0 leaves vdirsyncer out)
set -uo pipefail
ctl=$(realpath "${1:?usage: carddav_sync.sh CORVELCTL [N]}")
n=${2:-10000}
work=${WORK:-/tmp/corvel-carddav-bench}
rm -rf "$work"
book=$work/collections/collection-root/user/book
mkdir -p "$book" "$work/vdir" "$work/vstatus" "$work/local/Contacts"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
    XDG_CACHE_HOME=$work/cache
python3 - "$book" "$n" <<'PY'
import os, sys
book, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    with open(os.path.join(book, "c%05d.vcf" % i), "w", newline="") as f:
        f.write("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:c%05d\r\nFN:Person %05d\r\n"
                "N:%05d;Person;;;\r\nEMAIL:p%05d@example.org\r\nCATEGORIES:Team%d\r\n"
                "END:VCARD\r\n" % (i, i, i, i, i % 7))
PY
printf '{"D:displayname": "Book", "tag": "VADDRESSBOOK"}' >"$book/.Radicale.props"
cp "$book"/*.vcf "$work/local/Contacts/"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/radicale.conf" <<CONF
[server]
hosts = 127.0.0.1:$port
[auth]
type = none
[storage]
filesystem_folder = $work/collections
[logging]
level = warning
CONF
radicale --config "$work/radicale.conf" >"$work/radicale.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null' EXIT
url=http://127.0.0.1:$port/user/book/
for _ in $(seq 100); do curl -s -o /dev/null -u user:x "$url" && break; sleep 0.1; done

cat >"$work/vdirsyncer.conf" <<CONF
[general]
status_path = "$work/vstatus/"
[pair book]
a = "local"
b = "server"
collections = null
[storage local]
type = "filesystem"
path = "$work/vdir/"
fileext = ".vcf"
[storage server]
type = "carddav"
url = "$url"
username = "user"
password = "x"
CONF
yes | vdirsyncer -c "$work/vdirsyncer.conf" discover >/dev/null 2>&1
# Any password passes (auth none), but the book is the user's: the user name is needed.
"$ctl" add-store Dav "$url" --user user --password-command "echo x" || exit 1
"$ctl" setting Stores Local "$work/local" || exit 1

timed() { # label, then the command: prints the seconds and the processor time
    local label=$1 wall user sys
    shift
    local TIMEFORMAT='%R %U %S'
    { time "$@" >/dev/null 2>"$work/err" || echo "($label failed: $(head -c 300 "$work/err"))" >&2; } 2>"$work/time"
    grep '^(' "$work/time"
    read -r wall user sys < <(tail -1 "$work/time")
    printf '%-44s %6.2f s %6.2f cpu\n' "$label" "$wall" "$(echo "$user + $sys" | bc)"
}
token() {
    curl -s -u user:x -X PROPFIND -H 'Depth: 0' --data '<propfind xmlns="DAV:"><prop><sync-token/></prop></propfind>' "$url" |
        sed -n 's:.*<sync-token>\([^<]*\)</sync-token>.*:\1:p'
}
server_changes() { # the server alone: what changed since a token
    curl -s -o /dev/null -u user:x -X REPORT -H 'Content-Type: application/xml' --data \
        "<sync-collection xmlns=\"DAV:\"><sync-token>$1</sync-token><sync-level>1</sync-level><prop><getetag/></prop></sync-collection>" "$url"
}
change_one() {
    sed -i "s/^FN:Person 00042.*/FN:Person 42 changed $1\r/" "$book/c00042.vcf"
    curl -s -o /dev/null -u user:x -X PUT -H 'Content-Type: text/vcard' --data-binary @"$book/c00042.vcf" "$url/c00042.vcf"
}

server_changes "$(token)" # Radicale reads every card once into a cache of its own: not counted for either
echo "$n cards, load average $(cut -d' ' -f1 /proc/loadavg)"
peer=${PEER:-1}
vdir() { [ "$peer" = 1 ] && timed "$1" vdirsyncer -c "$work/vdirsyncer.conf" sync; }
timed "corvelctl sync, first" "$ctl" sync Dav
vdir "vdirsyncer sync, first"
for round in $(seq "${ROUNDS:-1}"); do
    echo "round $round, load average $(cut -d' ' -f1 /proc/loadavg)"
    now=$(token)
    timed "server: sync-collection, current token" server_changes "$now"
    timed "corvelctl sync, nothing changed" "$ctl" sync Dav
    vdir "vdirsyncer sync, nothing changed"
    before=$(token)
    change_one "a$round"
    # The first answer after a change pays the server's own bookkeeping: corvelctl gets it,
    # the server alone then answers the same question from the same token.
    timed "corvelctl sync, one card changed" "$ctl" sync Dav
    timed "server: sync-collection, same token" server_changes "$before"
    [ "$peer" = 1 ] && change_one "b$round"
    vdir "vdirsyncer sync, one card changed"
    # Alternated: the listing run first pays for what the sync left to the disk's writeback.
    lists=("synced cache:Dav/Book" "same cards, local:Local/Contacts")
    [ $((round % 2)) = 0 ] && lists=("${lists[1]}" "${lists[0]}")
    for what in "${lists[@]}"; do
        timed "corvelctl list of the ${what%%:*}" "$ctl" list "${what#*:}"
    done
done
