#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages that building, testing and running Vexlar
# need. Only missing packages are installed; a machine that has them all is
# left alone (and needs no network).
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsigrokdecode-dev python3
  ghdl gtkwave sigrok-cli
  iproute2 poppler-utils xvfb xauth imagemagick
  fonts-dejavu-core
  help2man groff-base dpkg-dev file desktop-file-utils appstream
  openbox libx11-dev libxtst-dev
)
if [ "${VEXLAR_WITH_DEV_TOOLS:-0}" = 1 ]; then
  packages+=(clang libclang-rt-dev libfftw3-dev valgrind)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run as root (or install them with sudo apt-get install)" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
