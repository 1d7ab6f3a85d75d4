#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Vexlar and writes pictures of the main window with the demo core
# running into screenshots/: one taken on the offscreen platform (no display
# needed) and, when xvfb-run is installed, one from a virtual X server with the
# window manager-less desktop grabbed by ImageMagick. The demo core runs on
# 127.0.0.1 only; nothing is searched on any network.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${VEXLAR_SCREENSHOT_BUILD:-build/screenshot}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXLAR_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target vexlar
vexlar="$build/src/app/vexlar"
mkdir -p screenshots

# 1. Offscreen: the application grabs its own main window.
QT_QPA_PLATFORM=offscreen "$vexlar" --demo \
  --screenshot screenshots/main-window.png --screenshot-delay 2000

# 2. A virtual X server: the same, plus a picture of the whole screen.
if command -v xvfb-run >/dev/null 2>&1; then
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    "$0" --demo --screenshot screenshots/main-window-x11.png --screenshot-delay 2500 &
    app=$!
    sleep 2
    if command -v import >/dev/null 2>&1; then
      import -window root screenshots/desktop-x11.png || true
    fi
    wait "$app"
  ' "$vexlar"
fi
ls -l screenshots/
