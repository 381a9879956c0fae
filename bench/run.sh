#!/usr/bin/env bash
# Benchmark: zumtal against plain `cat` over a synthetic collection.
# Usage: bench/run.sh [BUILD_DIR]   (environment: BENCH_DIR, SCALE, RUNS)
#   SCALE=1 gives 2,000 D64 + 500 T64 + 2,000 PRG files; a small SCALE=0
#   smoke run uses a tenth of that and one run each.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
zumtal="$build/zumtal"
imagegen="$build/imagegen"
scale=${SCALE:-1}
runs=${RUNS:-10}
root=${BENCH_DIR:-/tmp/zumtal-bench}
mkdir -p "$root"

for tool in hyperfine strace /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench: needs $tool (apt-get install hyperfine strace time)"; exit 1; }
done

# 1. The collection, made once and reused.
collection="$root/collection-$scale"
if [ ! -f "$collection/.complete" ]; then
  echo "generating $collection ..."
  rm -rf "$collection"
  "$imagegen" collection "$collection" "$scale"
  touch "$collection/.complete"
fi
zipped="$root/zipped-$scale"
if [ ! -f "$zipped/.complete" ]; then
  echo "zipping $collection ..."
  rm -rf "$zipped"
  "$imagegen" zipped "$collection" "$zipped"
  touch "$zipped/.complete"
fi
[ "$scale" = 0 ] && runs=1
cd "$collection"
files=$(ls | wc -l)
megabytes=$(du -sm --apparent-size . | cut -f1)

# 2. Wall time, warm cache, medians.
csv="$root/times.csv"
hyperfine --warmup 2 --runs "$runs" --export-csv "$csv" --style basic \
  -n zumtal "$zumtal '*.d64' '*.t64' '*.prg' > /dev/null" \
  -n zumtal-l "$zumtal -l '*.d64' '*.t64' '*.prg' > /dev/null" \
  -n cat "cat * > /dev/null" \
  -n zumtal-r "$zumtal -r . > /dev/null" \
  -n zumtal-r-zipped "$zumtal -r $zipped > /dev/null" >/dev/null
median() { awk -F, -v name="$1" '$1 == name { print $4 }' "$csv"; }
z=$(median zumtal); zl=$(median zumtal-l); c=$(median cat); zr=$(median zumtal-r); zz=$(median zumtal-r-zipped)
zipped_mb=$(du -sm --apparent-size "$zipped" | cut -f1)

# 3. Peak memory and system calls per file.
peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ { print $2 }'; }
rss=$(peak "$zumtal" '*.d64' '*.t64' '*.prg')
huge="$root/huge/huge.prg"
mkdir -p "$root/huge"
[ -f "$huge" ] || { printf '\001\010' > "$huge" && truncate -s 2G "$huge"; }
rss_huge=$(cd "$root/huge" && peak "$zumtal" huge.prg)
calls=$(strace -f -c -o "$root/strace.txt" "$zumtal" '*.d64' '*.t64' '*.prg' >/dev/null && awk '$NF == "total" { print $(NF-2) }' "$root/strace.txt")

# 4. Linearity: one quoted pattern over 10,000 and 100,000 small files.
linear() {
  local dir="$root/many-$1"
  if [ ! -f "$dir/.complete" ]; then
    rm -rf "$dir" && mkdir -p "$dir"
    head -c $((1026 * $1)) /dev/zero | (cd "$dir" && split -b 1026 -a 6 -d --additional-suffix=.prg - p)
    touch "$dir/.complete"
  fi
  (cd "$dir" && hyperfine --warmup 1 --runs "$runs" --export-csv "$root/linear.csv" --style basic \
    "$zumtal '*.prg' > /dev/null" >/dev/null && awk -F, 'NR == 2 { print $4 }' "$root/linear.csv")
}
if [ "$scale" = 0 ]; then small=1000; large=10000; else small=10000; large=100000; fi
t_small=$(linear $small); t_large=$(linear $large)

printf '\n%-22s %s\n' "machine" "$(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(uname -sr)"
printf '%-22s %s\n' "files" "$files" "megabytes" "$megabytes"
awk -v z="$z" -v zl="$zl" -v c="$c" -v f="$files" 'BEGIN {
  printf "%-22s %.3f s\n", "zumtal median", z
  printf "%-22s %.3f s\n", "zumtal -l median", zl
  printf "%-22s %.3f s\n", "cat median", c
  printf "%-22s %.2f (CSV), %.2f (-l)\n", "ratio zumtal/cat", z / c, zl / c
  printf "%-22s %.0f\n", "files per second", f / z }'
awk -v r="$zr" -v z="$zz" -v f="$files" -v m="$megabytes" -v zm="$zipped_mb" 'BEGIN {
  printf "%-22s %.3f s, %.0f files/s, %.0f MB/s\n", "-r, files", r, f / r, m / r
  printf "%-22s %.3f s, %.0f files/s, %.0f MB/s (%.0f MB/s of zips, %d MB)\n", "-r, each file zipped", z, f / z, m / z, zm / z, zm }'
printf '%-22s %s KiB (collection), %s KiB (2 GiB .prg)\n' "peak memory" "$rss" "$rss_huge"
awk -v n="$calls" -v f="$files" 'BEGIN { printf "%-22s %.2f (%d calls)\n", "system calls per file", n / f, n }'
awk -v a="$t_small" -v b="$t_large" -v s="$small" -v l="$large" 'BEGIN {
  printf "%-22s %d files %.3f s, %d files %.3f s: x%.2f for x%d files\n", "linearity", s, a, l, b, b / a, l / s }'
