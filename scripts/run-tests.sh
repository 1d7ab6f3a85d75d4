#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test with ctest:
# first the whole project, then the acquisition layer again under
# ThreadSanitizer (the capture thread is the one place where two threads meet).
# Tests run inside a network namespace of their own (scripts/isolated.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/test -j "$jobs"
(cd build/test && QT_QPA_PLATFORM=offscreen ../../scripts/isolated.sh ctest --output-on-failure --timeout 600 -j "$jobs")

# Packaging: the Debian package of the build above (cpack strips the
# programs), with its contents, desktop entry, metainfo and manual pages.
bash tests/packaging/check_package.sh build/test

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVEXLAR_TSAN=ON -DVEXLAR_GUI=OFF
cmake --build build/tsan -j "$jobs"
(cd build/tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ../../scripts/isolated.sh ctest --output-on-failure --timeout 600 -j "$jobs")
