#!/usr/bin/env bash
# zumtal.exe under Wine against the Linux build, on the same inputs: the same
# bytes and statuses to a file and to a pipe; then what only Windows does.
# Usage: tests/windows_e2e.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
set -euo pipefail
linux=$(cd "$1" && pwd)/zumtal
windows=$(cd "$2" && pwd)/zumtal.exe
root=$(cd "$(dirname "$0")/.." && pwd)

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEARCH=win32 WINEDEBUG=-all LANG=C.UTF-8
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$WINEPREFIX"
# A persistent server first, or every start waits for Wine's background work.
wineserver -p
wineboot -i >/dev/null 2>&1

# The in-process tests, built for Windows, through CTest (Wine runs them).
ctest --test-dir "$2" --output-on-failure

# The inputs: names whose byte order and Wine's (case-blind) order agree.
data="$work/data"
mkdir -p "$data/disks" "$data/bad" "$data/attrs"
cp "$root"/examples/* "$data/"
cp "$root/examples/hello.prg" "$data/disks/inner.prg"
printf 'x' > "$data/bad/a-short.prg"
cp "$root/examples/hello.prg" "$data/bad/b-never.prg"
head -c 100000 "$root/examples/games.d64" > "$data/bad/cut.d64"
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
same "examples" '*.prg' '*.d64' '*.t64'
same "examples, long" -l '*.t64' '*.d64' 'hello.prg'
same "key lines" ab readme.txt STDERR.TXT 'nothing*'
same "directory part" 'disks/*.prg'
same "read failure in the second of three files" 'bad/*.prg' hello.prg
same "cut disk image" bad/cut.d64
same "zip and gzip" demos.zip games.d64.gz
same "keep going" -k 'bad/*.prg' bad/cut.d64 hello.prg
same "version" --version
same "help" --help
same "usage error" -l --bogus
same_paths "-r over a tree" -r tree
same_paths "-r with a pattern, keep going" -r -k 'tree/*.t64' 'bad/*.prg'

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
