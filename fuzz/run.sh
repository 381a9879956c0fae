#!/usr/bin/env bash
# Runs each fuzz target for SECONDS seconds on a corpus seeded from the
# examples and the image builders. Usage: fuzz/run.sh BUILD_DIR SECONDS
# The disk target's inputs begin with a byte that picks the format: 0 D64,
# 1 D71, 2 D81, 3 G64, 4 NIB, 5 NBZ. The GCR target's begin with the track
# number. The NIB target reads each input both as a NIB and as an NBZ; the
# Zipcode target's inputs begin with a byte that picks the part (its value
# modulo 4, plus 1). The DAT target's seeds are DATs of both forms.
set -euo pipefail
shopt -s nullglob
build=${1:-build-fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
seeds="$build/seeds"
rm -rf "$seeds" && "$build/imagegen" seeds "$seeds"
for reader in prg t64 disk gcr p00 lnx crt sid zip gz nib zipcode dat tap; do
  corpus="$build/corpus/$reader"
  mkdir -p "$corpus"
  if [ "$reader" = disk ]; then
    pick=0
    for extension in d64 d71 d81 g64 nib nbz; do
      for file in "$seeds"/*."$extension" "$root"/examples/*."$extension"; do
        { printf "\\$pick"; cat "$file"; } > "$corpus/$(basename "$file")"
      done
      pick=$((pick + 1))
    done
  elif [ "$reader" = nib ]; then
    cp "$seeds"/*.nib "$seeds"/*.nbz "$root"/examples/*.nib "$root"/examples/*.nbz "$corpus"/
  else
    cp "$seeds"/*."$reader" "$root"/examples/*."$reader" "$corpus"/
  fi
  case $reader in
    disk) max=830000 ;; nib) max=300000 ;; gcr) max=16000 ;; zip | gz) max=200000 ;; dat) max=20000 ;; tap) max=60000 ;; *) max=80000 ;;
  esac
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
# The layouts of --dat and --duplicates, from an empty corpus.
corpus="$build/corpus/layouts"
mkdir -p "$corpus"
echo "== fuzz_layouts for ${seconds}s"
log="$build/fuzz-layouts.log"
status=0
"$build/fuzz/fuzz_layouts" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="$build/crash-layouts-" "$corpus" >"$log" 2>&1 || status=$?
grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==|SUMMARY|artifact_prefix|Test unit written)' "$log" || true
if [ "$status" -ne 0 ]; then
  tail -n 60 "$log"
  echo "fuzz_layouts failed ($status)"
  exit 1
fi
