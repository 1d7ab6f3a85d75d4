#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU of the whole vexlar process (all threads) while nothing happens: one
# document open, Run on, connected to a "core" on 127.0.0.1 that takes the
# run requests and never answers. Runs the real program on Xvfb with openbox
# and the xcb platform, inside a loopback-only network namespace.
#
#   bash bench/view/idle_cpu.sh build/bench/src/app/vexlar [SECONDS]
#
# Prints the CPU time the process used over SECONDS (default 60) after a
# 5-second settle, as a share of one core, from /proc/PID/stat (utime +
# stime, clock ticks) and from the per-thread run times in
# /proc/PID/task/*/schedstat (nanoseconds), and each thread's wake-ups
# (voluntary context switches) and run time over the same window.
set -euo pipefail

inner() {
    local vexlar=$1 seconds=$2
    openbox >/dev/null 2>&1 &
    sleep 1
    # The silent core: a UDP socket on loopback that reads and never answers.
    python3 -c '
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1], flush=True)
while True:
    s.recv(65536)
' > /tmp/idle_cpu_port.$$ &
    local silent=$!
    while [ ! -s /tmp/idle_cpu_port.$$ ]; do sleep 0.1; done
    local port
    port=$(cat /tmp/idle_cpu_port.$$)
    QT_QPA_PLATFORM=xcb "$vexlar" --core "127.0.0.1:$port" >/dev/null 2>&1 &
    local pid=$!
    sleep 5
    snapshot() {
        awk '{print $14 + $15}' "/proc/$pid/stat"
        local total=0
        for t in /proc/$pid/task/*; do
            total=$((total + $(awk '{print $1}' "$t/schedstat")))
        done
        echo "$total"
    }
    threads() {
        for t in /proc/$pid/task/*; do
            echo "$(cat "$t/comm" | tr ' ' _) $(awk '/^voluntary_ctxt_switches/ {print $2}' "$t/status") $(awk '{print $1}' "$t/schedstat")"
        done
    }
    local s0 w0 s1 w1
    s0=$(snapshot)
    w0=$(threads)
    local t0
    t0=$(date +%s.%N)
    sleep "$seconds"
    s1=$(snapshot)
    w1=$(threads)
    local t1
    t1=$(date +%s.%N)
    kill "$pid" "$silent" 2>/dev/null || true
    rm -f /tmp/idle_cpu_port.$$
    local hz
    hz=$(getconf CLK_TCK)
    python3 - "$s0" "$s1" "$t0" "$t1" "$hz" "$w0" "$w1" <<'PY'
import sys
s0, s1 = [int(x) for x in sys.argv[1].split()], [int(x) for x in sys.argv[2].split()]
wall = float(sys.argv[4]) - float(sys.argv[3])
hz = int(sys.argv[5])
ticks = (s1[0] - s0[0]) / hz
run = (s1[1] - s0[1]) / 1e9
print(f"window {wall:.1f} s")
print(f"/proc/PID/stat utime+stime: {ticks:.2f} s = {100 * ticks / wall:.3f}% of one core")
print(f"schedstat run time, all threads: {run:.4f} s = {100 * run / wall:.3f}% of one core")
def table(text):
    out = {}
    for line in text.splitlines():
        name, woke, ns = line.split()
        w, n = out.get(name, (0, 0))
        out[name] = (w + int(woke), n + int(ns))
    return out
before, after = table(sys.argv[6]), table(sys.argv[7])
for name, (woke, ns) in after.items():
    w0, n0 = before.get(name, (0, 0))
    print(f"  thread {name}: {woke - w0} wake-ups ({(woke - w0) / wall:.1f}/s), "
          f"{(ns - n0) / 1e6:.1f} ms CPU = {100 * (ns - n0) / 1e9 / wall:.3f}%")
PY
}
if [ "${1:-}" = --inner ]; then
    inner "$2" "$3"
    exit 0
fi
vexlar=$(realpath "$1")
seconds=${2:-60}
here=$(cd "$(dirname "$0")/../.." && pwd)
echo "load before: $(uptime)"
xvfb-run -a -s "-screen 0 1600x1000x24" "$here/scripts/isolated.sh" bash "$(realpath "$0")" --inner "$vexlar" "$seconds"
echo "load after: $(uptime)"
