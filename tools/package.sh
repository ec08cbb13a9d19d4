#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Aqualumora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian source package from the files of this checkout (the tracked ones and
# new ones not ignored), then the binary packages from that source package alone, and
# prints the path of the program's package (build/aqualumora_<version>_<arch>.deb). The
# source package, the debugging symbols' package and the .changes file land beside it.
# Installs missing Debian packages first.
#   AQ_BUILD_DIR  build folder (default: build)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/tools/bootstrap.sh" >&2

build="${AQ_BUILD_DIR:-$root/build}"
version="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
arch="$(dpkg-architecture -q DEB_HOST_ARCH)"
work="$build/debian-package"
rm -rf "$work"
mkdir -p "$work/aqualumora-$version"

# The source tree as git knows it: no build folders, no editor files.
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
   while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
   tar --null -T - -cf -) | tar -xf - -C "$work/aqualumora-$version"

export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }parallel=$(nproc)"
(
  cd "$work"
  dpkg-source -b "aqualumora-$version" >&2
  # The binaries come from what the source package holds, unpacked afresh: a file missing
  # from it fails here, not on a builder.
  dpkg-source -x "aqualumora_$version.dsc" unpacked >&2
  cd unpacked
  dpkg-buildpackage -us -uc -b >&2
)
for f in "$work"/aqualumora*_"$version"*.deb "$work"/aqualumora_"$version".dsc "$work"/aqualumora_"$version".tar.* \
         "$work"/aqualumora_"$version"_"$arch".changes "$work"/aqualumora_"$version"_"$arch".buildinfo; do
  [ -e "$f" ] && cp "$f" "$build/"
done
deb="$build/aqualumora_${version}_${arch}.deb"
if [ ! -f "$deb" ]; then
  echo "package.sh: dpkg-buildpackage made no $deb" >&2
  exit 1
fi
echo "$deb"
