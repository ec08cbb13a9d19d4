#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Aqualumora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang and runs each one for a while on a scratch copy of
# its seed corpus (fuzz/corpus/<target>/, never changed). Fails when a target crashes, leaks,
# hangs or runs out of memory, and shows the sanitizer's report and the input that did it.
# Installs missing Debian packages first.
#   AQ_BUILD_DIR     build folder (default: build-fuzz)
#   AQ_FUZZ_SECONDS  fuzzing time per target (default: 30)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/tools/bootstrap.sh"

build="${AQ_BUILD_DIR:-$root/build-fuzz}"
seconds="${AQ_FUZZ_SECONDS:-30}"
targets=(fuzz_answer fuzz_firmware fuzz_ini fuzz_ha_command fuzz_copyin)

# CC/CXX only count when the folder is configured the first time; a folder configured before
# with another compiler cannot build the libFuzzer targets, so say so before building.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DAQ_FUZZ=ON -DAQ_TESTS=OFF -DAQ_BENCH=OFF -DAQ_SANITIZE=OFF >/dev/null
compiler="$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")"
case "$(basename "$compiler")" in
  clang++*) ;;
  *) echo "fuzz.sh: $build was configured with $compiler; remove it or set AQ_BUILD_DIR" >&2; exit 1 ;;
esac
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# Leaks count as findings; undefined behaviour stops the run like a crash.
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# The report from the sanitizer's or libFuzzer's first error line on; the window's own log
# lines before it are noise.
report() {
  local first
  first="$(grep -nE 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:|==[0-9]+== *ERROR' "$1" | head -n 1 | cut -d: -f1)"
  if [ -n "$first" ]; then
    tail -n +"$first" "$1" | head -n 300
  else
    tail -n 80 "$1"
  fi
}

# Only this run's findings, so that none of an earlier run is taken for a new one.
rm -rf "$build/fuzz-findings"
failed=()
for t in "${targets[@]}"; do
  work="$scratch/$t"
  mkdir -p "$work/artifacts"
  cp -R "$root/fuzz/corpus/$t" "$work/corpus"
  extra=()
  # The window target finds more with longer step sequences than the seeds have.
  if [ "$t" = fuzz_copyin ]; then extra+=(-max_len=600); fi
  log="$work/log"
  rc=0
  # Run from the scratch folder so that nothing a target writes lands in the tree.
  (cd "$work" && QT_QPA_PLATFORM=offscreen "$build/fuzz/$t" "$work/corpus" \
      -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/" "${extra[@]}" >"$log" 2>&1) || rc=$?

  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  rss="$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)"
  cov="$(grep -Eo 'cov: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)"
  seeds="$(find "$root/fuzz/corpus/$t" -type f | wc -l)"
  corpus="$(find "$work/corpus" -type f | wc -l)"
  seed="$(sed -n 's/^INFO: Seed: //p' "$log" | head -n 1)"
  artifacts=("$work"/artifacts/*)
  [ -e "${artifacts[0]}" ] || artifacts=()
  if [ "$rc" -eq 0 ] && [ ${#artifacts[@]} -eq 0 ]; then
    echo "fuzz: $t passed: ${runs:-?} runs in ${seconds} s, coverage ${cov:-?}, corpus $seeds -> $corpus, peak ${rss:-?} MB, seed ${seed:-?}"
    continue
  fi

  failed+=("$t")
  echo "fuzz: $t FAILED (exit $rc) after ${runs:-?} runs, seed ${seed:-?}; its report:"
  report "$log"
  kept=()
  for a in "${artifacts[@]}"; do
    # A leak found at exit leaves an empty input behind: no single input did it.
    [ -s "$a" ] || continue
    keep="$build/fuzz-findings/$t"
    mkdir -p "$keep"
    cp "$a" "$keep/"
    kept+=("$keep/$(basename "$a")")
    echo "fuzz: input kept as $keep/$(basename "$a") ($(stat -c %s "$a") bytes)," \
         "replay: $build/fuzz/$t $keep/$(basename "$a")"
  done
  if grep -q 'ERROR: LeakSanitizer' "$log"; then
    # The fast unwinder stops at the first Qt frame; the slow one, too slow for fuzzing,
    # reaches the code that made the allocation.
    echo "fuzz: $t replayed for the leak's whole allocation stacks:"
    replay=("${kept[@]}")
    if [ ${#replay[@]} -eq 0 ]; then replay=("$root/fuzz/corpus/$t"); fi
    (cd "$work" && ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0" QT_QPA_PLATFORM=offscreen \
        "$build/fuzz/$t" -runs=0 "${replay[@]}" >"$work/replay" 2>&1) || true
    report "$work/replay"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets passed"
