#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Aqualumora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages this project needs, and only those that are missing.
# Quiet and fast when everything is present; safe to run again and again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache clang
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6sql6-sqlite qt6-translations-l10n libgl-dev
  libudev-dev
  pkg-config libmosquitto-dev mosquitto
  python3 python3-ephem python3-dbusmock dbus
  fonts-dejavu-core
  file dpkg-dev debhelper librsvg2-bin
  weston qt6-wayland
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
