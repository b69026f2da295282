#!/usr/bin/env bash
# World benchmarks: each game under bench/games/ is packed with kvpack and run headless against its Lua 5.4
# reference from the shared bench folder; the checksums must match; prints both times and their ratio.
# Usage: bench/world.sh [build dir]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build}/bin
ref=$root/../shared/bench/world
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT
status=0
for dir in "$root"/bench/games/*/; do
  name=$(basename "$dir")
  [ -f "$ref/$name.lua" ] || continue
  "$bin/kvpack" "$dir" "$tmp/$name.kvgame" >/dev/null
  out=$("$bin/kvrun" "$tmp/$name.kvgame" --headless --fast | tail -1)
  ms=${out#ms=}; ms=${ms%% *}; check=${out#*check=}
  luaCheck=$(lua5.4 "$ref/$name.lua" 2>"$tmp/lua_time")
  luaMs=$(awk '{printf "%d", $1 * 1000}' "$tmp/lua_time")
  verdict=ok; [ "$check" = "$luaCheck" ] || { verdict="CHECKSUM MISMATCH ($check vs $luaCheck)"; status=1; }
  awk -v n="$name" -v a="$ms" -v b="$luaMs" -v v="$verdict" \
    'BEGIN { printf "%-22s kvrun %6d ms  lua %6d ms  ratio %.2f  %s\n", n, a, b, (b > 0 ? a / b : 0), v }'
done
exit $status
