#!/usr/bin/env bash
# Delivery from the Outbox against Postfix's smtp-sink on 127.0.0.1, side by side with
# nodemailer over one pooled connection, in one run.
# Usage: bench/delivery_bench.sh BENCH_BINARY [RUNS=3] [COUNT=10000]
# Env:   PEERS=../shared/peers  WORK=/tmp/corvel-delivery-bench  NODE_PATH=<dir>/node_modules
#        SINK=/usr/sbin/smtp-sink  RECIPIENTS=<tsv of at least COUNT rows>
# The Outbox is filled (untimed) before each timed pass; the sink is started here and killed
# by its process id on exit.
set -uo pipefail
bench=${1:?usage: delivery_bench.sh BENCH_BINARY [RUNS] [COUNT]}
runs=${2:-3}
count=${3:-10000}
here=$(cd "$(dirname "$0")" && pwd)
peers=${PEERS:-$here/../../shared/peers}
work=${WORK:-/tmp/corvel-delivery-bench}
anchor=/tmp/perfanchor
export NODE_PATH=${NODE_PATH:-$anchor/node/node_modules}
sink=${SINK:-/usr/sbin/smtp-sink}
[ -x "$sink" ] || { echo "smtp-sink is not installed (Debian package postfix)"; exit 1; }

draft=$anchor/maildir/Drafts/cur/$(ls "$anchor/maildir/Drafts/cur" 2>/dev/null | grep '\.P1Q1\.' | head -1)
recipients=${RECIPIENTS:-$anchor/recipients100k.tsv}
[ -f "$draft" ] && [ -f "$recipients" ] || { draft=""; recipients=""; }

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
user=""; [ "$(id -u)" = 0 ] && user="-u nobody"
log=$(mktemp)
$sink $user -c "127.0.0.1:$port" 1000 >"$log" 2>&1 &
sinkpid=$!
trap 'kill $sinkpid 2>/dev/null; wait $sinkpid 2>/dev/null; rm -f "$log"' EXIT
sleep 0.5
kill -0 $sinkpid || { echo "smtp-sink did not start"; exit 1; }
counter() { sleep 0.2; tr '\r' '\n' <"$log" | grep -o 'mesg=[0-9]*' | tail -1 | cut -d= -f2; }

args=(--port "$port" --count "$count" --work "$work")
[ -n "$draft" ] && args+=(--draft "$draft" --recipients "$recipients")
for run in $(seq 1 "$runs"); do
    "$bench" "${args[@]}" --queue-only >/dev/null || exit 1
    before=$(counter)
    echo "$("$bench" "${args[@]}" --reuse) run=$run sink_msgs=$(( $(counter) - ${before:-0} ))"
    if [ -n "$draft" ] && [ -d "$NODE_PATH/nodemailer" ]; then
        before=$(counter)
        out=$(timeout 300 node "$peers/smtp_node.js" --mode pool1 --count "$count" --port "$port" \
            --recipients "$recipients" --maildir "$anchor/maildir" --deadline 240 | tail -1)
        echo "$out run=$run sink_msgs=$(( $(counter) - ${before:-0} ))"
    fi
done
