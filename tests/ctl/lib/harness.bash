# Shared by the corvelctl end-to-end scripts: a fresh user in a temporary folder, a runner
# that keeps output and status, and checks that count. Source it after setting ctl=$1.
set -u
work=$(mktemp -d)
cleanups=()
at_exit() {
    local step
    for step in "${cleanups[@]}"; do eval "$step"; done
    rm -rf "$work"
}
trap at_exit EXIT
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
app=$work/app
mkdir -p "$app"
passed=0 failed=0
store="$XDG_DATA_HOME/Tessary/Corvel/Personal Folders" # the default store `stores` registers

check() { # description, then a command that must succeed
    local what=$1; shift
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}
run() { # run corvelctl, keeping stdout, stderr and the exit status
    "$ctl" --app-path "$app" "$@" >"$work/out" 2>"$work/err"
    echo $? >"$work/rc"
}
ok() { run "$@" && check "$*" rc_is 0; } # corvelctl with these arguments must succeed
prints() { # exactly what corvelctl must print, then its arguments
    local want=$1; shift
    run "$@"
    check "$* prints $want" out_is "$want"
}
fails() { # the exit status, what standard error says ("" for anything), the arguments
    local rc=$1 says=$2
    shift 2
    run "$@"
    check "$* exits $rc" rc_is "$rc"
    [ -z "$says" ] || check "$* says $says" err_has "$says"
}
rc_is() { [ "$(cat "$work/rc")" = "$1" ]; }
out_is() { [ "$(cat "$work/out")" = "$1" ]; }
out_has() { grep -q -- "$1" "$work/out"; }
err_has() { grep -q -- "$1" "$work/err"; }
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

use_smtp_server() { # starts tests/tools/smtp_test_server.py recording into $work/received
    # and points the transport at it; sets $port. The server is stopped at exit.
    mkdir -p "$work/received"
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/../../tools/smtp_test_server.py" \
        "$work/received" >"$work/port" &
    local server_pid=$!
    cleanups+=("kill $server_pid 2>/dev/null; wait $server_pid 2>/dev/null")
    for _ in $(seq 1 100); do grep -q PORT "$work/port" && break; sleep 0.1; done
    port=$(awk '{print $2}' "$work/port")
    run setting Transport Kind smtp
    run setting Transport Host 127.0.0.1
    run setting Transport Port "$port"
    run setting Transport Security none
}

have_smtp_server() { /usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null; }
skip_without_smtp_server() { # ends a script that needs nothing else, passing
    have_smtp_server && return
    echo "skipped: python3-aiosmtpd is not installed"
    finish
    exit
}
# The window, started in the background with its arguments; up once it has built the tree and
# says the folder asked for is not there. Sets $window_pid.
start_window() {
    "$@" --select "No such folder" >"$work/window.out" 2>"$work/window.err" &
    window_pid=$!
    cleanups+=("kill -9 $window_pid 2>/dev/null")
    local i
    for i in $(seq 300); do
        grep -q "no folder No such folder" "$work/window.err" && return 0
        kill -0 "$window_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
ends_on_sigterm_within_5s() {
    kill -TERM "$window_pid"
    local i
    for i in $(seq 50); do
        kill -0 "$window_pid" 2>/dev/null || { wait "$window_pid"; return 0; }
        sleep 0.1
    done
    return 1
}
make_outbox() { mkdir -p "$store/Outbox/cur" "$store/Outbox/new" "$store/Outbox/tmp"; }
