#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for FUZZ_SECONDS, FUZZ_JOBS at a
# time, then prints a table: target, executions, coverage edges, findings.
# Findings (crash-*, timeout-*, leak-*, oom-*) land in build-fuzz/findings/<target>/;
# once fixed, copy each into fuzz/regressions/<target>/ so the test suite replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-120}
jobs=${FUZZ_JOBS:-1}
build=build-fuzz
targets=(${FUZZ_TARGETS:-vlt_file compressed_stream plx_archive list_text list_file text_crypt
                          settings_file ini_file smtp_replies http_response})

# Only fuzzing needs clang; installed here, never by `make deps`.
./scripts/install-deps.sh clang-16 libclang-rt-16-dev
if ! command -v clang++-16 > /dev/null; then
  echo "make fuzz needs clang-16 and libclang-rt-16-dev, which could not be installed." >&2
  exit 1
fi

CC=clang-16 CXX=clang++-16 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVOLTARE_FUZZ=ON > /dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

run_target() {
  local target=$1
  local work="$build/work/$target" findings="$build/findings/$target"
  mkdir -p "$work" "$findings"
  # The working corpus grows in build-fuzz; the committed seeds are only read.
  ASAN_OPTIONS=detect_leaks=1 "$build/fuzz/fuzz_$target" "$work" "fuzz/corpus/$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" > "$build/work/$target.log" 2>&1 || true
}

running=0
for target in "${targets[@]}"; do
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

printf '\n%-18s %12s %10s %9s\n' target executions edges findings
for target in "${targets[@]}"; do
  log="$build/work/$target.log"
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || true)
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || true)
  found=$(find "$build/findings/$target" -type f | wc -l)
  printf '%-18s %12s %10s %9s\n' "$target" "${execs:-?}" "${edges:-?}" "$found"
done
