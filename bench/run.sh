#!/usr/bin/env bash
# Benchmark: zumtal against the read floor (a program that only opens and
# reads every file) and `cat`, over a synthetic collection, plain and
# zipped, warm and cold, on one thread and on every core.
# Usage: bench/run.sh [BUILD_DIR]   (environment: BENCH_DIR, SCALE, RUNS)
#   SCALE=1 gives the full collection (2,000 D64, 500 T64, 2,000 PRG; the
#   programs of every tenth D64 again as D71, D81 and G64 images); SCALE=0 a
#   tenth of it, one run each.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
zumtal="$build/zumtal"
floor="$build/readfloor"
scale=${SCALE:-1}
runs=${RUNS:-10}
root=${BENCH_DIR:-/tmp/zumtal-bench}
mkdir -p "$root"

for tool in hyperfine strace /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench: needs $tool (apt-get install hyperfine strace time)"; exit 1; }
done

# 1. The collection, made once and reused; its zipped copy holds each
# container in a zip of its own, every tenth as .gz instead.
collection="$root/collection-$scale"
if [ ! -f "$collection/.complete" ]; then
  echo "generating $collection ..."
  rm -rf "$collection"
  "$build/imagegen" collection "$collection" "$scale"
  touch "$collection/.complete"
fi
zipped="$root/zipped-$scale"
if [ ! -f "$zipped/.complete" ]; then
  echo "zipping $collection ..."
  rm -rf "$zipped"
  "$build/imagegen" zipped "$collection" "$zipped"
  touch "$zipped/.complete"
fi
[ "$scale" = 0 ] && runs=1
count() { (cd "$1" && ls | wc -l); }
mb() { du -sm --apparent-size "$1" | cut -f1; }

# 2. Wall time, medians: warm, then cold (each run preceded by evicting the
# files from the page cache, which needs no root).
times="$root/times.csv"
: > "$times"
run() {  # name, directory, command, [prepare]
  local csv="$root/one.csv" prepare=()
  [ -n "${4:-}" ] && prepare=(--prepare "$4")
  (cd "$2" && hyperfine --warmup "$([ -n "${4:-}" ] && echo 0 || echo 2)" --runs "$runs" "${prepare[@]}" \
    --export-csv "$csv" --style basic -n "$1" "$3" >/dev/null)
  awk -F, 'NR == 2 { print $1 "," $4 }' "$csv" >> "$times"
}
evict="$floor --evict *"
run floor "$collection" "$floor *"
run cat "$collection" "cat * > /dev/null"
run j1 "$collection" "$zumtal -j 1 '*' > /dev/null"
run default "$collection" "$zumtal '*' > /dev/null"
run long "$collection" "$zumtal -l '*' > /dev/null"
run json "$collection" "$zumtal --json '*' > /dev/null"
run dups "$collection" "$zumtal --duplicates '*' > /dev/null"
run zfloor "$zipped" "$floor *"
run zj1 "$zipped" "$zumtal -j 1 '*' > /dev/null"
run zdefault "$zipped" "$zumtal '*' > /dev/null"
run cfloor "$collection" "$floor *" "$evict"
run cj1 "$collection" "$zumtal -j 1 '*' > /dev/null" "$evict"
run cdefault "$collection" "$zumtal '*' > /dev/null" "$evict"
# --db: the first run (an empty database each time), the second with nothing
# changed (warm, and cold: the collection's files evicted, not the database),
# and the second after 1% of the files changed, against a run over those
# files alone. The files' times are set an hour back, as a collection's are.
db="$root/bench.db"
(cd "$collection" && touch -d '-1 hour' -- *)
run dbfirst "$collection" "$zumtal --db $db '*' > /dev/null" "rm -f $db $db-wal $db-shm"
(cd "$collection" && "$zumtal" --db "$db" '*' > /dev/null)
run dbsecond "$collection" "$zumtal --db $db '*' > /dev/null"
run cdbsecond "$collection" "$zumtal --db $db '*' > /dev/null" "$evict"
changed="$root/changed.txt"
(cd "$collection" && ls | awk 'NR % 100 == 1' > "$changed")
cp "$db" "$db.filled"
run dbchanged "$collection" "$zumtal --db $db '*' > /dev/null" \
  "sh -c 'cp $db.filled $db && xargs -d \"\\n\" touch -d \"-30 minutes\" < $changed'"
run changedalone "$collection" "xargs -d '\\n' $zumtal < $changed > /dev/null"
# The bytes hashed by --json: every program's PRG form (load address and data).
hashed=$(cd "$collection" && "$zumtal" --json '*' | grep -o '"size":[0-9]*' | awk -F: '{ n += $2 + 2 } END { print n }')
t() { awk -F, -v n="$1" '$1 == n { print $2 }' "$times"; }

# 2b. The disk formats side by side: the same programs as D64 (every tenth
# disk, the names ending in 0), D71, D81, G64, NIB and NBZ images and Zipcode
# sets. Without a shell (-N), whose start would weigh on so short a run.
disks="$root/disks.csv"
formats=()
for f in d71 d81 g64 nib nbz; do compgen -G "$collection/*.$f" >/dev/null && formats+=(-n "$f" "$zumtal '*.$f'"); done
compgen -G "$collection/1!*.z64" >/dev/null && formats+=(-n z64 "$zumtal '1!*.z64'")
(cd "$collection" && hyperfine -N --warmup 3 --runs $((runs * 3)) --export-csv "$disks" --style basic \
  -n d64 "$zumtal 'disk????0.d64'" "${formats[@]}" >/dev/null)
images=$(cd "$collection" && ls -- disk????0.d64 | wc -l)

# 3. Peak memory and system calls per file.
peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ { print $2 }'; }
rss1=$(cd "$collection" && peak "$zumtal" -j 1 '*')
rss2=$(cd "$collection" && peak "$zumtal" -j 2 '*')
rss8=$(cd "$collection" && peak "$zumtal" -j 8 '*')
rssd=$(cd "$collection" && peak "$zumtal" '*')
huge="$root/huge/huge.prg"
mkdir -p "$root/huge"
[ -f "$huge" ] || { printf '\001\010' > "$huge" && truncate -s 2G "$huge"; }
rss_huge=$(cd "$root/huge" && peak "$zumtal" huge.prg)
calls=$(cd "$collection" && strace -f -c -o "$root/strace.txt" "$zumtal" '*' >/dev/null && awk '$NF == "total" { print $(NF-2) }' "$root/strace.txt")
# The same without the Zipcode sets, whose parts each open the others.
plain_files=$(cd "$collection" && ls | grep -vc '\.z64$')
plain_calls=$(cd "$collection" && strace -f -c -o "$root/strace-plain.txt" "$zumtal" '*.d64' '*.d71' '*.d81' '*.g64' \
  '*.nib' '*.nbz' '*.prg' '*.t64' >/dev/null &&
  awk '$NF == "total" { print $(NF-2) }' "$root/strace-plain.txt")

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
# The second --db run over the large set of small files.
(cd "$root/many-$large" && rm -f "$root/many.db" && "$zumtal" --db "$root/many.db" '*.prg' > /dev/null &&
  hyperfine --warmup 1 --runs "$runs" --export-csv "$root/linear.csv" --style basic \
    "$zumtal --db $root/many.db '*.prg' > /dev/null" >/dev/null)
t_large_db=$(awk -F, 'NR == 2 { print $4 }' "$root/linear.csv")

files=$(count "$collection"); zfiles=$(count "$zipped")
printf '\n%-28s %s\n' "machine" "$(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(uname -sr)"
printf '%-28s %s files, %s MB; zipped: %s files, %s MB\n' "collection" "$files" "$(mb "$collection")" "$zfiles" "$(mb "$zipped")"
row() {  # label, name, floor name, one-thread name, file count
  awk -v l="$1" -v a="$(t "$2")" -v f="$(t "$3")" -v j="$(t "${4:-$2}")" -v n="$5" 'BEGIN {
    printf "%-28s %7.3f s  x%.2f floor  x%.2f -j 1  %8.0f files/s\n", l, a, a / f, a / j, n / a }'
}
echo "median wall time             (ratios: to the read floor, to -j 1)"
row "read floor (warm)" floor floor floor "$files"
row "cat (warm)" cat floor floor "$files"
row "zumtal -j 1 (warm)" j1 floor j1 "$files"
row "zumtal default (warm)" default floor j1 "$files"
row "zumtal -l default (warm)" long floor j1 "$files"
row "zumtal --json default (warm)" json floor j1 "$files"
row "zumtal --duplicates (warm)" dups floor j1 "$files"
row "read floor (zipped)" zfloor zfloor zfloor "$zfiles"
row "zumtal -j 1 (zipped)" zj1 zfloor zj1 "$zfiles"
row "zumtal default (zipped)" zdefault zfloor zj1 "$zfiles"
row "read floor (cold)" cfloor cfloor cfloor "$files"
row "zumtal -j 1 (cold)" cj1 cfloor cj1 "$files"
row "zumtal default (cold)" cdefault cfloor cj1 "$files"
row "zumtal --db, first run" dbfirst default default "$files"
row "zumtal --db, second (warm)" dbsecond default default "$files"
row "zumtal --db, second (cold)" cdbsecond cdefault cdefault "$files"
row "zumtal --db, 1% changed" dbchanged default default "$files"
awk -v a="$(t changedalone)" -v s="$(t dbsecond)" -v c="$(t dbchanged)" 'BEGIN {
  printf "%-28s %.3f s alone; the changed run: x%.2f of (second + 2 x alone)\n", "the 1% read alone", a, c / (s + 2 * a) }'
awk -v a="$t_large" -v b="$t_large_db" -v l="$large" 'BEGIN {
  printf "%-28s %d files: %.3f s, without --db %.3f s\n", "--db second run, small files", l, b, a }'
awk -v h="$hashed" -v j="$(t json)" -v z="$(t default)" 'BEGIN {
  printf "%-28s %.0f MB hashed, %.0f MB/s over the CSV run\n", "hashing (--json)", h / 1e6, h / 1e6 / (j - z) }'
awk -v h="$hashed" -v d="$(t dups)" -v z="$(t default)" 'BEGIN {
  printf "%-28s %.0f MB hashed, %.0f MB/s over the CSV run\n", "hashing (--duplicates)", h / 1e6, h / 1e6 / (d - z) }'
awk -F, -v n="$images" 'NR > 1 { printf "%s %s %.0f/s", (NR == 2 ? sprintf("%-28s", "disk images per second") : ","), toupper($1), n / $4 }
  END { printf " (%d images each, same programs)\n", n }' "$disks"
printf '%-28s -j 1 %s KiB, -j 2 %s KiB, -j 8 %s KiB, default %s KiB; 2 GiB .prg %s KiB\n' "peak memory" \
  "$rss1" "$rss2" "$rss8" "$rssd" "$rss_huge"
awk -v n="$calls" -v f="$files" -v p="$plain_calls" -v q="$plain_files" 'BEGIN {
  printf "%-28s %.2f (%d calls); without the Zipcode sets %.2f\n", "system calls per file", n / f, n, p / q }'
awk -v a="$t_small" -v b="$t_large" -v s="$small" -v l="$large" 'BEGIN {
  printf "%-28s %d files %.3f s, %d files %.3f s: x%.2f for x%d files\n", "linearity", s, a, l, b, b / a, l / s }'
# The TAP decoder on one core, over tapes built in memory (programs, a fast
# loader's data, one long lead-in, noise).
echo "TAP decoding, one core:"
"$build/tapspeed" | sed 's/^/  /'
# Loading the collectors' DATs: 400 XML DATs of 300,000 roms in all, about
# 100 MB, made once; the time and peak memory of reading them all.
dats="$root/dats-300000"
if [ ! -f "$dats/.complete" ]; then
  rm -rf "$dats" && "$build/imagegen" dats "$dats" 300000 && touch "$dats/.complete"
fi
echo "DAT loading:"
"$build/datload" "$dats"/*.dat | sed 's/^/  /'
# --match over the collection with a DAT of all its programs, against the
# --json run of the same collection (warm, default threads).
(cd "$collection" && "$zumtal" --dat '*' > "$root/collection.dat")
(cd "$collection" && hyperfine --warmup 1 --runs "$runs" --style basic --export-csv "$root/match.csv" \
  -n json "$zumtal --json '*'" -n match "$zumtal --match $root/collection.dat '*'" >/dev/null)
awk -F, 'NR > 1 { printf "%-28s %.3f s\n", "zumtal " $1 " (warm)", $4 }' "$root/match.csv"
