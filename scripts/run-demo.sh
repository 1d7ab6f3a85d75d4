#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The main job: installs what is missing, builds Vexlar and runs it against its
# built-in demo core (a simulated logic-analyzer core on 127.0.0.1; nothing is
# searched on any network). Without a display (no DISPLAY / WAYLAND_DISPLAY),
# it runs the application on a virtual X server for a few seconds and writes a
# screenshot of the main window to screenshots/demo.png instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

build=build/demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXLAR_TESTS=OFF
cmake --build "$build" -j "$(nproc)" --target vexlar vexlar-coresim vexlar-capture
vexlar="$build/src/app/vexlar"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$vexlar" --demo "$@"
fi

echo "run-demo: no display; running on a virtual X server and taking a screenshot"
mkdir -p screenshots
xvfb-run -a -s "-screen 0 1280x800x24" \
  "$vexlar" --demo --screenshot screenshots/demo.png --screenshot-delay "${VEXLAR_DEMO_MS:-3000}" "$@"
echo "run-demo: wrote screenshots/demo.png"
