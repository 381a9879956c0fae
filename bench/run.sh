#!/usr/bin/env bash
# Benchmark: zumtal against plain `cat` over a synthetic collection.
# Usage: bench/run.sh [BUILD_DIR]   (environment: BENCH_DIR, SCALE, RUNS)
#   SCALE=1 gives 2,000 D64 + 500 T64 + 2,000 PRG files, and the same
#   programs as every tenth D64 on 200 D71 and 200 D81 images; a small
#   SCALE=0 smoke run uses a tenth of that and one run each.
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
[ "$scale" = 0 ] && runs=1
cd "$collection"
files=$(ls -- *.d64 *.t64 *.prg | wc -l)
megabytes=$(du -cm --apparent-size -- *.d64 *.t64 *.prg | awk 'END { print $1 }')

# 2. Wall time, warm cache, medians.
csv="$root/times.csv"
hyperfine --warmup 2 --runs "$runs" --export-csv "$csv" --style basic \
  -n zumtal "$zumtal '*.d64' '*.t64' '*.prg' > /dev/null" \
  -n zumtal-l "$zumtal -l '*.d64' '*.t64' '*.prg' > /dev/null" \
  -n cat "cat -- *.d64 *.t64 *.prg > /dev/null" >/dev/null
median() { awk -F, -v name="$1" '$1 == name { print $4 }' "${2:-$csv}"; }
z=$(median zumtal); zl=$(median zumtal-l); c=$(median cat)

# 2b. The disk formats side by side: the same programs as D64 (every tenth
# disk, the names ending in 0), D71 and D81 images.
disks="$root/disks.csv"
# Without a shell (-N), whose start would weigh on so short a run; hyperfine
# discards the output.
hyperfine -N --warmup 3 --runs $((runs * 3)) --export-csv "$disks" --style basic \
  -n d64 "$zumtal 'disk????0.d64'" -n d71 "$zumtal '*.d71'" -n d81 "$zumtal '*.d81'" >/dev/null
images=$(ls -- *.d71 | wc -l)

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
awk -v a="$(median d64 "$disks")" -v b="$(median d71 "$disks")" -v c="$(median d81 "$disks")" -v n="$images" 'BEGIN {
  printf "%-22s D64 %.0f, D71 %.0f, D81 %.0f (%d images each, same programs)\n", "disk images per second", n / a, n / b, n / c, n }'
printf '%-22s %s KiB (collection), %s KiB (2 GiB .prg)\n' "peak memory" "$rss" "$rss_huge"
awk -v n="$calls" -v f="$files" 'BEGIN { printf "%-22s %.2f (%d calls)\n", "system calls per file", n / f, n }'
awk -v a="$t_small" -v b="$t_large" -v s="$small" -v l="$large" 'BEGIN {
  printf "%-22s %d files %.3f s, %d files %.3f s: x%.2f for x%d files\n", "linearity", s, a, l, b, b / a, l / s }'
