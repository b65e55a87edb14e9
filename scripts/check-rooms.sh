#!/usr/bin/env bash
# Fails when a room of src/ includes a room above it or beside it, and prints the line.
# The order, lowest first; a room may include only rooms of a lower level:
#   platform → settings · protocol → format → rules → discovery · engine → eventloop → ui → app
# The layout files are settings files read through the settings' paths and keys, so format
# sits on settings; a rule names a PLU field of the structure file, so rules sits on format.
set -euo pipefail
cd "$(dirname "$0")/../src"
levels="platform=0 settings=1 protocol=1 format=2 rules=3 discovery=4 engine=4 eventloop=5 ui=6 app=7"
for room in */; do
  room=${room%/}
  if [[ " ${levels} " != *" ${room}="* ]]; then
    echo "src/${room}: a room without a level in scripts/check-rooms.sh" >&2
    exit 1
  fi
done
grep -rnE '^#include "[a-z]+/' --include='*.h' --include='*.cpp' -- * |
  awk -v levels="${levels}" '
    BEGIN { n = split(levels, pairs, " "); for (i = 1; i <= n; i++) { split(pairs[i], kv, "="); level[kv[1]] = kv[2] } }
    {
      split($0, parts, ":"); room = parts[1]; sub(/\/.*/, "", room)
      target = $0; sub(/^[^"]*"/, "", target); sub(/\/.*/, "", target)
      if (!(room in level) || !(target in level) || room == target) next
      if (level[target] >= level[room]) { print "src/" $0 "  <- " room " may not include " target > "/dev/stderr"; bad++ }
    }
    END { if (bad) exit 1; print "rooms: every include points downwards" }'
