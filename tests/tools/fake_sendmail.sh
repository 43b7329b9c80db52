#!/bin/bash
# A sendmail stand-in for the delivery tests: fake_sendmail.sh RECORD_DIR [sendmail arguments].
# Records the arguments and standard input in RECORD_DIR/<n>.args and <n>.msg; exits 75 when a
# recipient starts with "later", 1 (with a message) when one starts with "bad", else 0.
set -u
dir=$1
shift
n=$(ls "$dir" | grep -c '\.args$')
n=$((n + 1))
cat > "$dir/$n.msg"
printf '%s\n' "$@" > "$dir/$n.args"
after=0
for arg in "$@"; do
    if [ "$after" = 1 ]; then
        case "$arg" in
            later*) echo "temporary trouble" >&2; exit 75 ;;
            bad*) echo "$arg: unknown user" >&2; exit 1 ;;
        esac
    fi
    [ "$arg" = "--" ] && after=1
done
exit 0
