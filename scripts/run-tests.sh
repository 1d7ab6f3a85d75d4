#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The README's test command, and all that CI runs (.ci/run): installs the
# packages that are missing, then runs the test stages one after the other,
# each timed against a budget of its own:
#
#   packages   scripts/install-deps.sh (downloads on a fresh machine)
#   main       the whole project built, and every ctest test but the desktop
#              suite
#   tsan       the acquisition layer, its tools and their tests under
#              ThreadSanitizer (the capture thread is the one place where two
#              threads meet)
#   asan       the test programs that need no window system (ctest label
#              "nongui", built by the target vexlar_nongui_tests) under
#              AddressSanitizer + UndefinedBehaviorSanitizer; leaks inside
#              third-party libraries are suppressed by
#              tests/lsan_third_party.supp, never the project's own
#   packaging  the Debian package of the main build, its contents, desktop
#              entry, metainfo and manual pages (tests/packaging)
#   desktop    the desktop suite (tests/desktop, ctest label "desktop"): the
#              real vexlar on a virtual X server with a window manager,
#              driven through the X server as a user drives it
#
# A stage that fails fails the run; the stages after it still run, so that one
# run shows every failure. A stage that runs past its budget is reported as
# such in the table at the end; with VEXLAR_STRICT_BUDGETS=1 it is stopped at
# its budget and fails the run (for measuring on an idle machine: a loaded one
# would fail sound code).
# Tests run inside a network namespace of their own (scripts/isolated.sh).
#
#   bash scripts/run-tests.sh              every stage
#   bash scripts/run-tests.sh asan tsan    only these stages, in this order
#
# Adding a stage: write a function stage_NAME below (it starts in the top
# folder of the checkout with $jobs set, runs under `set -euo pipefail`, and
# fails by a non-zero status), then add NAME to `stages`. Its budget is
# budget[NAME]; keep the sum of all budgets within the 30 minutes of
# `total_budget` (the run refuses to start otherwise).
set -euo pipefail
cd "$(dirname "$0")/.."

# Budgets in seconds on a fresh 2-core Debian 12 machine without a compiler
# cache (measured times and the load they were measured at: README, "Tests").
total_budget=1800
declare -A budget=(
    [packages]=300
    [main]=600
    [tsan]=180
    [asan]=420
    [desktop]=180
    [packaging]=90
)
stages=(packages main packaging tsan asan desktop)

stage_packages() {
    bash scripts/install-deps.sh
}

stage_main() {
    cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build/test -j "$jobs"
    (cd build/test && QT_QPA_PLATFORM=offscreen ../../scripts/isolated.sh \
        ctest -LE desktop --output-on-failure --no-tests=error --timeout 600 -j "$jobs")
}

stage_desktop() {
    # Each case starts its own Xvfb, openbox and vexlar --demo (with folders
    # of its own), so the cases may run side by side.
    cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build/test -j "$jobs" --target vexlar_desktop_tests
    (cd build/test && ../../scripts/isolated.sh \
        ctest -L desktop --output-on-failure --no-tests=error --timeout 300 -j "$jobs")
}

stage_packaging() {
    # The Debian package of the main build (cpack strips the programs), with
    # its contents, desktop entry, metainfo and manual pages. Builds what it
    # needs first when run on its own.
    cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build/test -j "$jobs"
    bash tests/packaging/check_package.sh build/test
}

stage_tsan() {
    cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVEXLAR_TSAN=ON -DVEXLAR_GUI=OFF
    cmake --build build/tsan -j "$jobs"
    (cd build/tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
        ../../scripts/isolated.sh ctest --output-on-failure --no-tests=error --timeout 600 -j "$jobs")
}

stage_asan() {
    # The whole tree is configured, only the programs of the pass are built.
    # The suppressions reach the tests through ctest (tests/CMakeLists.txt).
    cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLAR_ASAN=ON
    cmake --build build/asan -j "$jobs" --target vexlar_nongui_tests
    (cd build/asan && QT_QPA_PLATFORM=offscreen \
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}halt_on_error=1:detect_leaks=1" \
        UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}halt_on_error=1:print_stacktrace=1" \
        ../../scripts/isolated.sh ctest -L nongui --output-on-failure --no-tests=error --timeout 600 -j "$jobs")
}

# ---------------------------------------------------------------------------

sum=0
for name in "${!budget[@]}"; do
    sum=$((sum + budget[$name]))
done
if [ "$sum" -gt "$total_budget" ]; then
    echo "run-tests: the stage budgets add up to $sum s, more than $total_budget s" >&2
    exit 2
fi
if [ $# -gt 0 ]; then
    stages=("$@")
fi
for name in "${stages[@]}"; do
    if ! declare -F "stage_$name" >/dev/null || [ -z "${budget[$name]:-}" ]; then
        echo "run-tests: no stage '$name' with a budget (stages: ${!budget[*]})" >&2
        exit 2
    fi
done

jobs=$(nproc)
export jobs
export -f $(compgen -A function stage_)

results=()
failed=0
for name in "${stages[@]}"; do
    echo
    echo "=== stage $name: budget ${budget[$name]} s, load average $(cut -d' ' -f1-3 /proc/loadavg) ==="
    start=$SECONDS
    status=0
    if [ "${VEXLAR_STRICT_BUDGETS:-0}" = 1 ]; then
        # timeout runs the stage in a process group of its own and stops all
        # of it at the budget (then kills what is left 30 s later).
        timeout --kill-after=30 "${budget[$name]}" bash -c "set -euo pipefail; stage_$name" || status=$?
    else
        bash -c "set -euo pipefail; stage_$name" || status=$?
    fi
    took=$((SECONDS - start))
    if [ "$status" -eq 0 ]; then
        verdict=ok
    elif [ "${VEXLAR_STRICT_BUDGETS:-0}" = 1 ] && { [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; }; then
        verdict="STOPPED at its budget"
        failed=1
    else
        verdict="FAILED (status $status)"
        failed=1
    fi
    if [ "$took" -gt "${budget[$name]}" ] && [ "$verdict" = ok ]; then
        verdict="ok, OVER BUDGET"
    fi
    echo "=== stage $name: $verdict after $took s ==="
    results+=("$(printf '%-10s %6d s of %5d s   %s' "$name" "$took" "${budget[$name]}" "$verdict")")
done

echo
echo "Stage times (budget), load average now $(cut -d' ' -f1-3 /proc/loadavg):"
printf '  %s\n' "${results[@]}"
exit "$failed"
