#!/usr/bin/env bash
# Installs into a temporary DESTDIR, runs the installed program on an
# example and checks that the manual page renders without warnings.
set -euo pipefail
build=$1
source=$2
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
# A component install keeps the build's own install manifest as it was.
DESTDIR="$dest" cmake --install "$build" --prefix /opt/zumtal --component Unspecified >/dev/null
test -f "$dest/opt/zumtal/share/man/man1/zumtal.1"
out=$(cd "$source/examples" && "$dest/opt/zumtal/bin/zumtal" hello.prg)
expected=$'\r\n.PRG\r\n"hello.prg","hello.prg","hello",2049,120,14445,"68656C6C6F2E707267","68656C6C6F"\r'
test "${out%%$'\n'-----*}" = "$expected" || { printf 'unexpected output:\n%s\n' "$out"; exit 1; }
if command -v groff >/dev/null; then
  warnings=$(groff -ww -z -man "$dest/opt/zumtal/share/man/man1/zumtal.1" 2>&1)
  test -z "$warnings" || { echo "$warnings"; exit 1; }
fi
echo "install test passed"
