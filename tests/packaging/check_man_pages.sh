#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every option that a program's --help prints must appear in its manual page.
#
#   check_man_pages.sh PROGRAM PAGE [PROGRAM PAGE ...]
#
# PAGE is a man(7) source, plain or gzip-compressed. It is rendered with groff
# the way man(1) shows it (no hyphenation, lines long enough that no option is
# broken), and each "--option" of the help text must stand in it as a word.
set -uo pipefail

if [ $# -eq 0 ] || [ $(($# % 2)) -ne 0 ]; then
    echo "usage: $0 PROGRAM PAGE [PROGRAM PAGE ...]" >&2
    exit 2
fi

passed=0
failed=0
while [ $# -ge 2 ]; do
    program=$1
    page=$2
    shift 2
    name=$(basename "$program")
    if ! help=$(LC_ALL=C "$program" --help 2>/dev/null); then
        echo "FAIL $name: '--help' did not exit with status 0"
        failed=$((failed + 1))
        continue
    fi
    # help2man reads standard output only, so that is where the options must be.
    options=$(grep -oE -- '--[a-z0-9][a-z0-9-]*' <<<"$help" | sort -u)
    if [ -z "$options" ]; then
        echo "FAIL $name: '--help' prints no option"
        failed=$((failed + 1))
        continue
    fi
    if ! text=$(gzip -dcf "$page" | LC_ALL=C groff -man -Tascii -rLL=400n -rHY=0 -P-c -P-b -P-u 2>&1); then
        echo "FAIL $name: $page does not render"
        failed=$((failed + 1))
        continue
    fi
    missing=()
    for option in $options; do
        if ! grep -qE -- "(^|[^a-z0-9-])${option}([^a-z0-9-]|\$)" <<<"$text"; then
            missing+=("$option")
        fi
    done
    count=$(wc -w <<<"$options")
    if [ ${#missing[@]} -gt 0 ]; then
        echo "FAIL $name: $(basename "$page") lacks ${missing[*]} (of $count options that --help prints)"
        failed=$((failed + 1))
    else
        echo "ok   $name: all $count options of --help are in $(basename "$page")"
        passed=$((passed + 1))
    fi
done
echo "man pages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
