#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command inside a fresh network namespace that has nothing but its own
# loopback interface, so that no test can ever reach this machine's real
# network, whatever it sends. As root it uses `ip netns` (tests that build
# their own namespaces still can); otherwise an unprivileged user namespace.
set -uo pipefail

if [ "$(id -u)" -eq 0 ] && command -v ip >/dev/null; then
  ns="vexlar-tests-$$"
  if ip netns add "$ns" 2>/dev/null; then
    trap 'ip netns del "$ns" 2>/dev/null' EXIT
    ip netns exec "$ns" ip link set lo up
    ip netns exec "$ns" "$@"
    exit $?
  fi
fi
if unshare -rn true 2>/dev/null; then
  exec unshare -rn sh -c 'ip link set lo up && exec "$@"' isolated "$@"
fi
echo "isolated: cannot create a network namespace; refusing to run tests on the real network" >&2
exit 1
