#!/usr/bin/env bash
# Stores on a CardDAV server: a real Radicale for discovery and syncs by difference, and a
# scripted server (tests/tools/dav_fault_server.py) for the faults: each a clear error with
# the cache left exactly as it was.
ctl=$1
source "$(dirname "$0")/lib/harness.bash"
export XDG_CACHE_HOME=$work/cache
tools="$(dirname "$0")/../tools"
cache=$XDG_CACHE_HOME/Tessary/Corvel
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
card() { printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%s\r\nFN:%s\r\nEMAIL:%s@example.org\r\nEND:VCARD\r\n' "$1" "$2" "$1"; }
tree_sum() { (cd "$1" && find . -type f | sort | xargs -d '\n' md5sum | md5sum); }

if ! command -v radicale >/dev/null; then
    echo "skipped: radicale is not installed"
    finish
    exit
fi
dav=$work/radicale
book=$dav/collections/collection-root/user/contacts
mkdir -p "$book"
printf 'user:secret\n' >"$dav/users"
printf '{"D:displayname": "Contacts", "tag": "VADDRESSBOOK"}' >"$book/.Radicale.props"
for who in ann bob cat; do card "$who" "${who^} Test" >"$book/$who.vcf"; done
port=$(free_port)
start_radicale() { # config file, port: up once it answers
    radicale --config "$1" >>"$work/radicale.log" 2>&1 &
    local pid=$!
    cleanups+=("kill $pid 2>/dev/null; wait $pid 2>/dev/null")
    for _ in $(seq 100); do curl -sk -o /dev/null "$3://127.0.0.1:$2/" && break; sleep 0.1; done
}
cat >"$dav/config" <<CONF
[server]
hosts = 127.0.0.1:$port
[auth]
type = htpasswd
htpasswd_filename = $dav/users
htpasswd_encryption = plain
[storage]
filesystem_folder = $dav/collections
[logging]
level = warning
CONF
start_radicale "$dav/config" "$port" http
url=http://127.0.0.1:$port
put() { card "$1" "$2" | curl -s -o /dev/null -u user:secret -X PUT -H 'Content-Type: text/vcard' --data-binary @- "$url/user/contacts/$1.vcf"; }

run add-store Dav "$url/" --user user --password-command "echo secret; echo other"
check "a server is registered" rc_is 0
run add-store Dav /tmp
check "a name is taken once" err_has "registered already"
run sync
check "first sync" out_is "Dav/Contacts: 3 contacts (+3 ~0 -0)"
[ "$(stat -c %a "$cache")" = 700 ]
check "the cache folder is private" [ $? = 0 ]
run list "Dav/Contacts"
check "the cache lists as a local folder" out_has "Bob Test"
run sync Dav
check "nothing changed" out_is "Dav/Contacts: 3 contacts (+0 ~0 -0)"
put ann "Ann Changed"
put dan "Dan New"
curl -s -o /dev/null -u user:secret -X DELETE "$url/user/contacts/bob.vcf"
run sync
check "changes by difference" out_is "Dav/Contacts: 3 contacts (+1 ~1 -1)"
run list "Dav/Contacts"
check "the changes are listed" out_has "Ann Changed"
sed -i 's|"syncToken":"[^"]*"|"syncToken":"http://radicale.org/ns/sync/0"|' "$cache/Dav/contacts/.corvel-sync.json"
run sync Dav
check "a token the server forgot: etags compared" out_is "Dav/Contacts: 3 contacts (+0 ~0 -0)"
run add-store Book "$url/user/contacts/" --user user --password-command "echo secret"
run sync Book
check "a URL naming the address book" out_is "Book/Contacts: 3 contacts (+3 ~0 -0)"
run setting "Store Dav" PasswordCommand "echo wrong"
before=$(tree_sum "$cache/Dav")
put eve "Eve New"
run sync Dav
check "a wrong password" err_has "Authentication refused by $url for the user user"
check "...leaves the cache" [ "$before" = "$(tree_sum "$cache/Dav")" ]
check "...and fails" rc_is 1
# No keyring on the session bus: nothing registered, a sync fails and keeps its cache.
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus
run add-store Kept "$url/" --user user --keyring <<<secret
check "--keyring without a keyring" err_has "The store Kept is not added: No keyring can be reached"
run stores
check "...registers nothing" [ "$(grep -c Kept "$work/out")" = 0 ]
run setting "Store Dav" Keyring 1
run sync Dav
check "a sync from the keyring without one" err_has "Dav: No keyring can be reached"
check "...leaves the cache" [ "$before" = "$(tree_sum "$cache/Dav")" ]
run setting --delete "Store Dav" Keyring
unset DBUS_SESSION_BUS_ADDRESS
# A real keyring on a session bus of the test's own: the password goes there and back.
if command -v gnome-keyring-daemon >/dev/null; then
    export XDG_RUNTIME_DIR=$work/run
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
    read -r DBUS_SESSION_BUS_ADDRESS bus_pid < <(dbus-daemon --session --fork --print-address=1 \
        --print-pid=1 2>/dev/null | paste -sd' ')
    export DBUS_SESSION_BUS_ADDRESS
    cleanups+=("kill $bus_pid")
    printf test | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
    cleanups+=("kill $! 2>/dev/null; wait $! 2>/dev/null")
    for _ in $(seq 50); do
        dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets | grep -q true && break
        sleep 0.1
    done
    run add-store Kept "$url/" --user user --keyring <<<secret
    run sync Kept
    check "a password kept in the keyring" out_is "Kept/Contacts: 4 contacts (+4 ~0 -0)"
    run set-password store Kept <<<wrong
    run sync Kept
    check "...changed there" err_has "Authentication refused"
    run remove-store Kept
    run setting Stores Kept "$url/"
    run setting "Store Kept" Keyring 1
    run sync Kept
    check "...and deleted with the store" err_has "The keyring holds no password under"
else
    echo "skipped: gnome-keyring is not installed"
fi
# The same server over TLS with a certificate of the test's own, made out for localhost.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dav/key.pem" -out "$dav/cert.pem" -days 2 \
    -subj /CN=localhost -addext subjectAltName=DNS:localhost 2>/dev/null
tls_port=$(free_port)
cat >"$dav/tls.config" <<CONF
[server]
hosts = 127.0.0.1:$tls_port
ssl = True
certificate = $dav/cert.pem
key = $dav/key.pem
$(sed -n '/^\[auth\]/,$p' "$dav/config")
CONF
start_radicale "$dav/tls.config" "$tls_port" https
while read -r name host ca expected; do
    trust=()
    [ "$ca" = yes ] && trust=(--ca-file "$dav/cert.pem")
    run add-store "$name" "https://$host:$tls_port/user/contacts/" --user user \
        --password-command "echo secret" "${trust[@]}"
    run sync "$name"
    check "TLS $name: $expected" grep -q -- "$expected" "$work/out" "$work/err"
done <<'CASES'
Tls localhost yes Tls/Contacts: 4 contacts
Untrusted localhost no is not trusted
Named 127.0.0.1 yes not trusted for the name 127.0.0.1
CASES
# Groups through the server and into a local folder: what is imported back is what was
# published; publishing again updates the card, never one changed (or gone) since.
run setting "Store Dav" PasswordCommand "echo secret"
mkdir -p "$work/local/Contacts"
card ann "Ann Local" >"$work/local/Contacts/ann.vcf"
run add-store Local "$work/local"
edit() { # another client changes (or deletes) a published card
    local file
    file=$(grep -l "^FN:$1" "$2"/*.vcf)
    if [ "$2" = "$book" ]; then
        sed "s/^FN:[^\r]*/&2/" "$file" | curl -s -o /dev/null -u user:secret -X "${3:-PUT}" \
            -H 'Content-Type: text/vcard' --data-binary @- "$url/user/contacts/${file##*/}"
    elif [ "${3:-}" = DELETE ]; then rm "$file"; else sed -i "s/^FN:[^\r]*/&2/" "$file"; fi
}
while read -r name folder dir dialect kind; do
    dir=${dir/BOOK/$book} dir=${dir/LOCAL/$work/local/Contacts}
    run new-group "$name"
    run copy "$folder" "$name"
    run add-member "$name" Zed zed@example.org
    run members "$name"
    cut -f1,2,4 "$work/out" | sort >"$work/published"
    run publish-group "$name" --to "$folder" --dialect "$dialect"
    check "publish to $folder ($dialect)" rc_is 0
    check "...as a $kind card" grep -q "^$kind:group" "$(grep -l "^FN:$name" "$dir"/*.vcf)"
    run rename "$name" Sent
    run import-groups "$folder"
    run members "$name"
    check "...imported back: the same members" [ "$(cut -f1,2,4 "$work/out" | sort)" = "$(cat "$work/published")" ]
    run delete-group "$name"
    run rename Sent "$name"
    ok publish-group "$name" --to "$folder" --dialect "$dialect"
    edit "$name" "$dir"
    fails 1 "changed on the server since it was published" publish-group "$name" --to "$folder"
    edit "$name" "$dir" DELETE
    run publish-group "$name" --to "$folder"
    check "...deleted there since: published anew" out_has "deleted"
done <<'CASES'
Ta Dav/Contacts BOOK apple X-ADDRESSBOOKSERVER-KIND
Tb Dav/Contacts BOOK vcard4 KIND
Tc Local/Contacts LOCAL vcard4 KIND
CASES
check "a local card is private" [ "$(stat -c %a "$(grep -l '^FN:Tc' "$work/local/Contacts"/*.vcf)")" = 600 ]
run new-dynamic-group Dyn --folder Local/Contacts --categories x
fails 1 "only a Standard Mail Group" publish-group Dyn --to Local/Contacts
run remove-store Dav
check "remove-store drops the cache" [ ! -e "$cache/Dav" ]
check "...and nothing on the server" [ -e "$book/ann.vcf" ]

scenario=$work/scenario
echo ok >"$scenario"
python3 "$tools/dav_fault_server.py" "$scenario" >"$work/fault.port" &
fault_pid=$!
cleanups+=("kill $fault_pid 2>/dev/null; wait $fault_pid 2>/dev/null")
for _ in $(seq 100); do grep -q PORT "$work/fault.port" && break; sleep 0.1; done
fault=http://127.0.0.1:$(awk '{print $2}' "$work/fault.port")/book/
run add-store Fault "$fault"
run setting "Store Fault" Timeout 2
run sync Fault
check "the scripted server's book" out_is "Fault/Book: 1 contacts (+1 ~0 -0)"
before=$(tree_sum "$cache/Fault")
while read -r what expected; do
    echo "$what 2" >"$scenario"
    run sync Fault
    check "$what: $expected" err_has "$expected"
    check "$what: fails" rc_is 1
    check "$what: the cache is untouched" [ "$before" = "$(tree_sum "$cache/Fault")" ]
done <<'CASES'
garbage   The server's answer is not understood
truncated The server's answer is not understood
big       a card larger than 1024 KiB
nouid     has no UID
twice     is named twice
loop      More than 5 redirects
401       asks for a user name and password
500       answered with status 500
stall     within 2 s
CASES
run add-store Gone "http://127.0.0.1:$(free_port)/"
run sync Gone
check "no server" err_has "Cannot connect to http://127.0.0.1"
finish
