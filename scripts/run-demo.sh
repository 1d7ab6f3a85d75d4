#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs a simulated core on
# 127.0.0.1 with the console client capturing from it (loopback only).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXLAR_TESTS=OFF
cmake --build build/demo -j "$(nproc)" --target vexlar-coresim vexlar-capture

# The core takes any free capture port and names it on its first line.
log=$(mktemp)
build/demo/tools/coresim/vexlar-coresim --address 127.0.0.1 --capture-port 0 --no-discovery >"$log" &
core=$!
trap 'kill $core 2>/dev/null || true; rm -f "$log"' EXIT
port=
for _ in $(seq 100); do
  port=$(sed -n 's/.*capture port \([0-9]*\).*/\1/p' "$log")
  [ -n "$port" ] && break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "run-demo: the simulated core did not start" >&2
  cat "$log" >&2
  exit 1
fi
build/demo/tools/capture/vexlar-capture --core "127.0.0.1:$port" --count "${VEXLAR_DEMO_COUNT:-20}"
