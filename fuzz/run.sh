#!/usr/bin/env bash
# Runs the fuzzer of each reader and archive format for SECONDS seconds on a
# corpus seeded from the examples and the image builders.
# Usage: fuzz/run.sh BUILD_DIR SECONDS
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
seeds="$build/seeds"
rm -rf "$seeds" && "$build/imagegen" seeds "$seeds"
for reader in prg t64 d64 zip gz; do
  corpus="$build/corpus/$reader"
  mkdir -p "$corpus"
  cp "$seeds"/*."$reader" "$root"/examples/*."$reader" "$corpus"/
  case $reader in d64 | zip | gz) max=200000 ;; *) max=80000 ;; esac
  echo "== fuzz_$reader for ${seconds}s"
  # -timeout: an input that takes 10 s is a hang; it fails the run.
  log="$build/fuzz-$reader.log"
  status=0
  "$build/fuzz/fuzz_$reader" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max" \
    -print_final_stats=1 -artifact_prefix="$build/crash-$reader-" "$corpus" >"$log" 2>&1 || status=$?
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==|SUMMARY|artifact_prefix|Test unit written)' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "fuzz_$reader failed ($status)"
    exit 1
  fi
done
