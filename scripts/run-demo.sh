#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs a simulated core on
# 127.0.0.1 with the console client capturing from it (loopback only).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXLAR_TESTS=OFF
cmake --build build/demo -j "$(nproc)"

port=$((20000 + RANDOM % 20000))
build/demo/tools/coresim/vexlar-coresim --address 127.0.0.1 --capture-port "$port" --no-discovery &
core=$!
trap 'kill $core 2>/dev/null || true' EXIT
build/demo/tools/capture/vexlar-capture --core "127.0.0.1:$port" --count "${VEXLAR_DEMO_COUNT:-20}"
