#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Aqualumora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything and runs every test. Installs missing Debian packages first.
#   AQ_BUILD_DIR  build folder (default: build)
#   AQ_SANITIZE=1 build with AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/tools/bootstrap.sh"

build="${AQ_BUILD_DIR:-$root/build}"
sanitize=OFF
bench=ON
# Benchmarks say nothing under the sanitizers; that build leaves them out.
[ "${AQ_SANITIZE:-0}" = "1" ] && sanitize=ON && bench=OFF
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAQ_SANITIZE=$sanitize -DAQ_BENCH=$bench >/dev/null
cmake --build "$build" -j "$(nproc)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
