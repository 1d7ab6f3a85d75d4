#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The console client against the simulated core on loopback: direct core
# address, a fixed number of captures, one line each.
set -euo pipefail
coresim=$1
capture=$2
mode=${3:-run}

out=$(mktemp -d)
trap 'kill "$core" 2>/dev/null || true; rm -rf "$out"' EXIT
discovery=(--no-discovery)
# Adapter mode finds the core through discovery restricted to 127.0.0.1.
[ "$mode" = adapter ] && discovery=(--discovery-port 4626)
faults=()
# Lost mode: the second capture lacks a datagram and is lost.
[ "$mode" = lost ] && faults=(--drop 5 --fault-captures 2)
"$coresim" --address 127.0.0.1 "${discovery[@]}" "${faults[@]}" --capture-port 0 --seconds 30 >"$out/core" &
core=$!
for _ in $(seq 100); do
  grep -q 'capture port' "$out/core" 2>/dev/null && break
  sleep 0.05
done
port=$(sed -n 's/.*capture port \([0-9]*\).*/\1/p' "$out/core")
[ -n "$port" ] || { echo "simulated core did not start"; cat "$out/core"; exit 1; }

args=(--core "127.0.0.1:$port" --count 3 --seconds 10 --words 2)
[ "$mode" = trig-now ] && args+=(--trig-now)
[ "$mode" = adapter ] && args=(--adapter 127.0.0.1 --count 3 --seconds 10 --words 2)
"$capture" "${args[@]}" >"$out/lines" 2>"$out/status"
cat "$out/lines" "$out/status"
[ "$(wc -l <"$out/lines")" -eq 3 ] || { echo "expected 3 lines"; exit 1; }
# The link's counters at the end of the run, on standard error.
if [ "$mode" = lost ]; then
  # Two faulty captures; on a loaded machine the kernel can deliver a copy
  # of a request so late that the simulator answers it, and both faulty
  # captures then fall into one request: at least one lost.
  grep -Eq '^captures: [0-9]+ completed, [12] lost' "$out/status" || { echo "lost captures not reported"; exit 1; }
  grep -Eq '^requests: [0-9]+, receive time-outs: [12] ' "$out/status" || { echo "time-outs not reported"; exit 1; }
  exit 0
fi
grep -Eq '^captures: [34] completed, 0 lost, 0 dropped' "$out/status" || { echo "capture counters missing"; exit 1; }
grep -Eq '^ignored datagrams: 0 ' "$out/status" || { echo "ignored datagrams missing"; exit 1; }
grep -Eq "^core 127\.0\.0\.1:$port\$" "$out/status" || { echo "core missing from the counters"; exit 1; }
grep -Eq '^socket receive buffer: [0-9]+ bytes granted' "$out/status" || { echo "receive buffer missing"; exit 1; }
# Captures 1, 2, 3 with the default shape and the pattern's first two words.
for id in 1 2 3; do
  grep -Eq "^capture $id: depth 4096, width 32, trigger 2048, words 00[0-9A-F]{6} 01[0-9A-F]{6}\$" "$out/lines" \
    || { echo "capture $id missing or malformed"; exit 1; }
done
"$capture" --help | grep -q -- '--adapter ADDR'
if "$capture" --core nonsense 2>/dev/null; then echo "bad --core accepted"; exit 1; fi
# An address that is not dotted IPv4 is refused at once (status 2), not
# taken as 0.0.0.0, which would send the requests to this host.
rc=0
"$capture" --core nonsense:5000 --count 1 --seconds 2 2>"$out/err" || rc=$?
[ "$rc" -eq 2 ] || { echo "bad --core address gave status $rc"; cat "$out/err"; exit 1; }
grep -q 'dotted IPv4 address' "$out/err" || { echo "no message for a bad --core address"; exit 1; }
# A fault count beyond an int is refused, not wrapped into "faults on every capture".
rc=0
"$coresim" --no-discovery --fault-captures 2147483648 --seconds 1 >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 2 ] || { echo "--fault-captures 2147483648 gave status $rc"; exit 1; }
echo ok
