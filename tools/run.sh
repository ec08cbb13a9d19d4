#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Aqualumora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the program and starts it; arguments go to the program (e.g. -simulator).
# Installs missing Debian packages first.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/tools/bootstrap.sh"
build="${AQ_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target aqualumora
exec "$build/src/aqualumora" "$@"
