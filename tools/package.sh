#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Aqualumora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package and prints its path (build/aqualumora_<version>_<arch>.deb).
# Installs missing Debian packages first.
#   AQ_BUILD_DIR  build folder (default: build)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/tools/bootstrap.sh" >&2

build="${AQ_BUILD_DIR:-$root/build}"
# Never a sanitizer build in a package.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAQ_SANITIZE=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >&2
log="$(cd "$build" && cpack -G DEB)"
deb="$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$log")"
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "$log" >&2
  echo "package.sh: cpack made no package" >&2
  exit 1
fi
echo "$deb"
