#!/usr/bin/env bash
# Fails when a source includes a header of a room above its own: the rooms
# stand in the order base, readers, report, driver, and each may include only
# its own headers and those of the rooms below it.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
rooms=(base readers report driver)
status=0
for ((i = 0; i < ${#rooms[@]}; i++)); do
  for ((j = i + 1; j < ${#rooms[@]}; j++)); do
    if grep -rnE "#include \"${rooms[j]}/" "$root/src/${rooms[i]}"; then
      echo "src/${rooms[i]} includes from src/${rooms[j]}, a room above it"
      status=1
    fi
  done
done
exit $status
