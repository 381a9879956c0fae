#!/usr/bin/env bash
# zumtal.exe under Wine against the Linux build, on the same inputs: the same
# bytes and statuses to a file and to a pipe; then what only Windows does.
# The i686 build (the one we ship) is tested where Wine runs 32-bit programs,
# otherwise its x86-64 twin under the 64-bit loader; WINDOWS_CHECK_ARCH
# (i686 or x86_64) forces the choice.
# Usage: scripts/windows_check.sh LINUX_BUILD_DIR
set -euo pipefail
linux=$(cd "$1" && pwd)/zumtal
root=$(cd "$(dirname "$0")/.." && pwd)

work=$(mktemp -d)
export WINEDEBUG=-all LANG=C.UTF-8
trap 'WINEPREFIX="${WINEPREFIX:-}" wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# Starts a persistent server for a fresh prefix of the given kind and runs a
# program of that kind in it: Wine's own command interpreter.
probe() {  # WINEARCH, loader
  export WINEPREFIX="$work/prefix-$1" WINEARCH="$1" WINE="$2"
  mkdir -p "$WINEPREFIX"
  command -v "$WINE" >/dev/null 2>&1 || return 1
  # A persistent server first, or every start waits for Wine's background work.
  wineserver -p 2>/dev/null || return 1
  timeout 300 "$WINE" wineboot -i >/dev/null 2>&1 || true
  [ "$(timeout 120 "$WINE" cmd /c echo zumtal-probe 2>/dev/null | tr -d '\r')" = zumtal-probe ]
}
wine64_loader=$(command -v wine64 || echo /usr/lib/wine/wine64)

case "${WINDOWS_CHECK_ARCH:-}" in
  i686) arch=i686 why="forced by WINDOWS_CHECK_ARCH" ;;
  x86_64) arch=x86_64 why="forced by WINDOWS_CHECK_ARCH" ;;
  "")
    if probe win32 "$(command -v wine || echo wine)"; then
      arch=i686 why="Wine runs 32-bit programs here"
    else
      wineserver -k 2>/dev/null || true
      arch=x86_64 why="Wine cannot run 32-bit programs here"
    fi ;;
  *) echo "WINDOWS_CHECK_ARCH must be i686 or x86_64, not '$WINDOWS_CHECK_ARCH'"; exit 2 ;;
esac
if [ "$arch" = i686 ]; then
  target=windows build="$root/build-windows" kind=win32 loader=$(command -v wine || echo wine)
else
  target=windows64 build="$root/build-windows64" kind=win64 loader=$wine64_loader
fi
echo "== testing the $arch build of zumtal.exe ($why)"
if [ "${WINEPREFIX:-}" != "$work/prefix-$kind" ] && ! probe "$kind" "$loader"; then
  echo "Wine cannot run $arch Windows programs on this machine: the Windows suite cannot run."
  exit 1
fi
make -C "$root" "$target" >/dev/null
windows="$build/zumtal.exe"
wine() { "$WINE" "$@"; }

# The in-process tests, built for Windows, through CTest (Wine runs them).
ctest --test-dir "$build" --output-on-failure

# The inputs: names whose byte order and Wine's (case-blind) order agree.
data="$work/data"
mkdir -p "$data/disks" "$data/bad" "$data/attrs"
cp "$root"/examples/* "$data/"
cp "$root/examples/hello.prg" "$data/disks/inner.prg"
printf 'x' > "$data/bad/a-short.prg"
cp "$root/examples/hello.prg" "$data/bad/b-never.prg"
head -c 100000 "$root/examples/games.d64" > "$data/bad/cut.d64"
head -c 178500 "$root/examples/example.d71" > "$data/bad/cut.d71"
head -c 400200 "$root/examples/example.d81" > "$data/bad/cut.d81"
head -c 5000 "$root/examples/tools.lnx" > "$data/bad/cut.lnx"
printf 'LYNX\0\2\0\1\0\0GAME' > "$data/bad/cart.lnx"
head -c 5000 "$root/examples/rescue.crt" > "$data/bad/cut.crt"
head -c 100 "$root/examples/theme.sid" > "$data/bad/cut.sid"
: > "$data/notes.s00"
head -c 140000 "$root/examples/example.g64" > "$data/bad/cut.g64"
: > "$data/readme.txt"
: > "$data/ab"
: > "$data/STDERR.TXT"
cp "$root/examples/hello.prg" "$data/attrs/visible.prg"
cp "$root/examples/hello.prg" "$data/attrs/hidden.prg"
cp "$root/examples/hello.prg" "$data/attrs/system.prg"
mkdir -p "$data/tree/A" "$data/tree/B/C"
cp "$root/examples/hello.prg" "$data/tree/A/inner.prg"
cp "$root/examples/demo.t64" "$data/tree/B/C/demo.t64"
cp "$root/examples/demos.zip" "$root/examples/games.d64.gz" "$data/tree/B/"
: > "$data/tree/B/notes.txt"
# Zipcode sets: whole in the tree, short of its last part, a part alone, a
# .z64 without a part's prefix.
mkdir -p "$data/sets/lone"
for part in 1 2 3 4; do
  cp "$root/examples/$part!Sent Game (1988)(Maker).z64" "$data/tree/A/$part!Sent.z64"
  [ "$part" = 4 ] || cp "$root/examples/$part!Sent Game (1988)(Maker).z64" "$data/sets/$part!Short.z64"
done
cp "$root/examples/3!Sent Game (1988)(Maker).z64" "$data/sets/lone/3!Lone.z64"
cp "$root/examples/1!Sent Game (1988)(Maker).z64" "$data/sets/plain.z64"
setfattr -n user.DOSATTRIB -v '"0x2"' "$data/attrs/hidden.prg"
setfattr -n user.DOSATTRIB -v '"0x4"' "$data/attrs/system.prg"

passed=0
failed=0
check() {  # name, expected output file, expected status, actual output file, actual status
  if cmp -s "$2" "$4" && [ "$3" = "$5" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $1 (status $5, expected $3)"
    diff <(od -c "$2") <(od -c "$4") | head -n 20 || true
  fi
}
# Everything up to the failure lines, whose code addresses differ by build.
before_failure() { sed -n '/^Runtime error /q; p' "$1" > "$1.cut"; mv "$1.cut" "$1"; }

# Runs both builds with the same arguments and compares.
same() {
  local name="$1"; shift
  local ls=0 ws=0 ps=0
  (cd "$data" && "$linux" "$@") > "$work/linux.out" || ls=$?
  (cd "$data" && wine "$windows" "$@") > "$work/file.out" || ws=$?
  (cd "$data" && wine "$windows" "$@" | cat > "$work/pipe.out"; exit "${PIPESTATUS[0]}") || ps=$?
  for out in linux file pipe; do before_failure "$work/$out.out"; done
  check "$name (file)" "$work/linux.out" "$ls" "$work/file.out" "$ws"
  check "$name (pipe)" "$work/linux.out" "$ls" "$work/pipe.out" "$ps"
}

# As `same`, with the line of --help about the case of patterns worded as the
# Windows build words it.
same_help() {
  local ls=0 ws=0
  (cd "$data" && "$linux" --help) > "$work/linux.out" || ls=$?
  (cd "$data" && wine "$windows" --help) > "$work/file.out" || ws=$?
  sed -i 's/last component, case matters\./last component, in any case./' "$work/linux.out"
  check "help" "$work/linux.out" "$ls" "$work/file.out" "$ws"
}

# As `same`, with the Windows separator in the output turned into "/": with
# -r the PC file name is the path as found.
same_paths() {
  local name="$1"; shift
  local ls=0 ws=0
  (cd "$data" && "$linux" "$@") > "$work/linux.out" || ls=$?
  (cd "$data" && wine "$windows" "$@") > "$work/file.out" || ws=$?
  sed -i 's|\\|/|g' "$work/file.out"
  for out in linux file; do before_failure "$work/$out.out"; done
  check "$name" "$work/linux.out" "$ls" "$work/file.out" "$ws"
}

# Runs Windows with some arguments and Linux with others.
like() {
  local name="$1" wargs="$2" largs="$3" ls=0 ws=0
  (cd "$data" && eval "\"$linux\" $largs") > "$work/linux.out" || ls=$?
  (cd "$data" && eval "wine \"$windows\" $wargs") > "$work/file.out" || ws=$?
  check "$name" "$work/linux.out" "$ls" "$work/file.out" "$ws"
}

same "usage"
same "-l alone" -l
same "examples" '*.prg' '*.d64' '*.d71' '*.d81' '*.g64' '*.nib' '*.nbz' '*.z64' '*.t64' '*.p00' '*.lnx' '*.crt' '*.sid' '*.tap'
same "examples, long" -l '*.t64' '*.d64' '*.d71' '*.d81' '*.g64' '*.nib' '*.nbz' '1!*' 'hello.prg' '*.p00' '*.lnx' '*.crt' '*.sid'
same "zipcode: a short set, a part alone, no prefix, keep going" -k 'sets/*' 'sets/lone/*'
same "zipcode: a short set, json" --json 'sets/1!*'
same "PC64 non-program, not a Lynx archive" notes.s00 bad/cart.lnx
same "cut Lynx archive" bad/cut.lnx
same "cut cartridge and SID tune, keep going" -k bad/cut.crt bad/cut.sid
same "key lines" ab readme.txt STDERR.TXT 'nothing*'
same "directory part" 'disks/*.prg'
same "read failure in the second of three files" 'bad/*.prg' hello.prg
same "cut disk image" bad/cut.d64
same "cut D71 image" bad/cut.d71
same "cut D81 image" bad/cut.d81
same "json" --json '*.prg' '*.d64' '*.t64' ab readme.txt
same "json, read failure in the second of three files" --json 'bad/*.prg' hello.prg
same "json, cut disk image" --json bad/cut.d64
same "json alone" --json
same "json with -l" --json -l hello.prg
same "cut G64 image" bad/cut.g64
same "zip and gzip" demos.zip games.d64.gz
same "keep going" -k 'bad/*.prg' bad/cut.d64 hello.prg
# The examples on one thread and on the default number; the copies among
# them, and their DAT.
examples=('*.prg' '*.d64' '*.d71' '*.d81' '*.g64' '*.nib' '*.nbz' '*.z64' '*.t64' '*.p00' '*.lnx' '*.crt' '*.sid' '*.tap' demos.zip games.d64.gz)
same "examples, one thread" -j 1 "${examples[@]}"
like "examples, one thread against the default" "-j 1 ${examples[*]@Q}" "${examples[*]@Q}"
same "duplicates" --duplicates "${examples[@]}"
same "duplicates, json" --duplicates --json "${examples[@]}"
same "dat" --dat "${examples[@]}"
same "version" --version
same_help
# --match: a DAT of some examples, in both forms of DATS, in every layout.
(cd "$data" && "$linux" --dat games.d64 hello.prg demos.zip > "$data/some.dat")
mkdir -p "$data/dats" && cp "$data/some.dat" "$data/dats/"
same "match" --match some.dat "${examples[@]}"
same "match, a folder, json" --match dats --json "${examples[@]}"
same "match, fix-DAT" --match=some.dat --dat '*.t64' hello.prg
same "match, bad DAT" --match readme.txt hello.prg
same "usage error" -l --bogus
# --db: zumtal.exe's first and second run on one catalogue give what Linux
# gives without one. The files' times go back to 2020: files changed just
# now are not stored.
find "$data" -exec touch -h -d '2020-01-01 12:00:00' {} +
same_db() {
  local name="$1"; shift
  local ls=0 fs=0 ss=0
  rm -f "$data"/cat.db*
  (cd "$data" && "$linux" "$@") > "$work/linux.out" || ls=$?
  (cd "$data" && wine "$windows" --db cat.db "$@") > "$work/first.out" || fs=$?
  (cd "$data" && wine "$windows" --db=cat.db "$@") > "$work/second.out" || ss=$?
  for out in linux first second; do before_failure "$work/$out.out"; done
  check "$name (first run)" "$work/linux.out" "$ls" "$work/first.out" "$fs"
  check "$name (second run)" "$work/linux.out" "$ls" "$work/second.out" "$ss"
}
same_db "db" "${examples[@]}"
same_db "db, json" --json "${examples[@]}"
same_db "db, match" --match some.dat "${examples[@]}"
same_db "db, keep going" -k 'bad/*.prg' bad/cut.d64 hello.prg
# The rows stand for a file while its size and time hold: new bytes behind
# the same size and time give the old results; a new time, the new ones.
mkdir -p "$data/db" && cp "$data/hello.prg" "$data/db/x.prg"
touch -d '2020-01-01 12:00:00' "$data/db/x.prg"
rm -f "$data"/cat.db*
(cd "$data" && wine "$windows" --db cat.db db/x.prg) > "$work/first.out" || true
printf 'zz' | dd of="$data/db/x.prg" bs=1 seek=10 conv=notrunc status=none
touch -d '2020-01-01 12:00:00' "$data/db/x.prg"
(cd "$data" && wine "$windows" --db cat.db db/x.prg) > "$work/second.out" || true
check "db, rows used while size and time hold" "$work/first.out" 0 "$work/second.out" 0
touch "$data/db/x.prg"
(cd "$data" && "$linux" db/x.prg) > "$work/linux.out" || true
(cd "$data" && wine "$windows" --db cat.db db/x.prg) > "$work/second.out" || true
check "db, a new time reads the file again" "$work/linux.out" 0 "$work/second.out" 0
same "db, not a catalogue" --db readme.txt hello.prg
same_paths "-r over a tree" -r tree
same_paths "-r with a pattern, keep going" -r -k 'tree/*.t64' 'bad/*.prg'
same_paths "-r over Zipcode sets, keep going" -r -k sets 'tree/1!*'

like "hidden and system files passed over" "'attrs/*.prg'" "attrs/visible.prg"
like "patterns are case-blind" "'*.PRG' '*.T64'" "'*.prg' '*.t64'"
like "single quotes vanish" "\"'hello.prg'\" \"'*.t64'\"" "hello.prg '*.t64'"
like "double quotes group" "'Game (1985)(Maker).prg'" "'Game (1985)(Maker).prg'"
like "empty quote pairs are dropped" "\"hel''lo.prg\"" "hello.prg"

status=0
(cd "$data" && wine "$windows" hello.prg > /dev/full) || status=$?
if [ "$status" -eq 112 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: full disk gave $status"; fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
