#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Deep captures (2^20 samples at 1 Gb/s) measured without CAP_NET_ADMIN, so
# that the socket buffer is capped by net.core.rmem_max as for any user:
# once with the machine's setting and once with Debian's stock 212992. The
# setting is restored on every way out. Loopback only; needs root to set it.
#
#   bash bench/acquisition/deep_captures_without_cap_net_admin.sh build/bench/bench/acquisition/vexlar_acquisition_bench
set -euo pipefail
bench=$(realpath "${1:-build/bench/bench/acquisition/vexlar_acquisition_bench}")
filter=${2:-BM_DeepCapturesPaced/20/}
original=$(sysctl -n net.core.rmem_max)
trap 'sysctl -qw net.core.rmem_max="$original"; echo "net.core.rmem_max restored to $(sysctl -n net.core.rmem_max)"' EXIT
for value in "$original" 212992; do
  sysctl -qw net.core.rmem_max="$value"
  echo "== net.core.rmem_max=$value, without CAP_NET_ADMIN; load average $(cut -d' ' -f1-3 /proc/loadavg)"
  capsh --drop=cap_net_admin -- -c "exec '$bench' --benchmark_filter='$filter' --benchmark_counters_tabular=true"
done
