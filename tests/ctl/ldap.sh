#!/usr/bin/env bash
# An LDAP store as a user meets it: a real slapd, registered, synced, listed and loaded into a
# dynamic group; a server gone leaves the cache and says why.
ctl=$1
source "$(dirname "$0")/lib/harness.bash"
export XDG_CACHE_HOME=$work/cache
if [ ! -x /usr/sbin/slapd ]; then
    echo "skipped: slapd is not installed"
    finish
    exit
fi
ldap=$work/slapd
mkdir -p "$ldap/db"
printf '%s\n' 'include /etc/ldap/schema/core.schema' 'include /etc/ldap/schema/cosine.schema' \
    'include /etc/ldap/schema/inetorgperson.schema' 'modulepath /usr/lib/ldap' \
    'moduleload back_mdb' 'database mdb' 'suffix dc=example,dc=org' \
    'rootdn cn=admin,dc=example,dc=org' 'rootpw secret' "directory $ldap/db" >"$ldap/slapd.conf"
person() { printf 'dn: uid=%s,dc=example,dc=org\nobjectClass: inetOrgPerson\nuid: %s\ncn: %s\nsn: %s\nmail: %s@example.org\nbusinessCategory: %s\n\n' "$1" "$1" "$2" "$2" "$1" "$3"; }
{
    printf 'dn: dc=example,dc=org\nobjectClass: dcObject\nobjectClass: organization\ndc: example\no: Example\n\n'
    person ann "Ann Staff" Board
    person bob "Bob Staff" Sales
    printf 'dn: uid=nomail,dc=example,dc=org\nobjectClass: inetOrgPerson\nuid: nomail\ncn: No Mail\nsn: Mail\n\n'
} | /usr/sbin/slapadd -q -f "$ldap/slapd.conf" || exit 1
lacks() { ! out_has "$1"; }
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/sbin/slapd -f "$ldap/slapd.conf" -h "ldap://127.0.0.1:$port/" -d 0 2>"$work/slapd.log" &
slapd_pid=$!
cleanups+=("kill $slapd_pid 2>/dev/null; wait $slapd_pid 2>/dev/null")
for _ in $(seq 100); do ldapsearch -x -H "ldap://127.0.0.1:$port" -b dc=example,dc=org -s base >/dev/null 2>&1 && break; sleep 0.1; done

ok add-store Staff "ldap://127.0.0.1:$port/dc=example,dc=org??sub"
prints "Staff/Directory: 2 contacts (+2 ~0 -0)" sync Staff
prints "Staff/Directory: 2 contacts (+0 ~0 -0)" sync Staff
run list Staff/Directory
check "the directory lists offline" out_has "Bob Staff"
ok new-dynamic-group Board --folder Staff/Directory --categories Board --load
run members Board
check "a group loads from the directory" out_has "ann@example.org"
check "...and only its category" lacks "bob@example.org"
kill "$slapd_pid"
wait "$slapd_pid" 2>/dev/null
fails 1 "Staff" sync Staff
run list Staff/Directory
check "a failed sync keeps the cache" out_has "Ann Staff"
finish
