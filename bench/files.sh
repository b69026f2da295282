#!/bin/sh
# Runs the file benchmarks (bench/files: text-file reals, ini writes and reads) with kvbench and with Lua 5.4,
# alternately RUNS times each (default 3), in a scratch directory, checks that both give the same result and
# prints the median processor seconds and each ratio (ours / Lua). Exit status 1 when the results differ.
# Environment: KVBENCH (default build/bin/kvbench), LUA (default lua5.4), RUNS (default 3).
set -eu
export LC_ALL=C
ROOT=$(cd "$(dirname "$0")/.." && pwd)
KVBENCH=${KVBENCH:-$ROOT/build/bin/kvbench}
LUA=${LUA:-lua5.4}
RUNS=${RUNS:-3}
case $KVBENCH in /*) ;; *) KVBENCH=$(pwd)/$KVBENCH ;; esac
SRC=$ROOT/bench/files
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
status=0
printf '%-10s %9s %9s %7s  %s\n' name ours_s lua_s ratio check
for f in "$SRC"/b*.kvs; do
  name=$(basename "$f" .kvs)
  ours="" ; lua="" ; check=ok
  r=0
  while [ "$r" -lt "$RUNS" ]; do
    out=$("$KVBENCH" "$f" 2>"$WORK/err") || true
    t=$(tail -n 1 "$WORK/err")
    ours="$ours$t
"
    lout=$("$LUA" -e 'io.stderr = io.stdout' "$SRC/$name.lua")
    lres=$(printf '%s\n' "$lout" | sed '$d')
    [ "$out" = "$lres" ] || check="MISMATCH ours=$out lua=$lres"
    lua="$lua$(printf '%s\n' "$lout" | tail -n 1)
"
    r=$((r + 1))
  done
  mid=$(( (RUNS + 1) / 2 ))
  om=$(printf '%s' "$ours" | sort -n | sed -n "${mid}p")
  lm=$(printf '%s' "$lua" | sort -n | sed -n "${mid}p")
  ratio=$(awk -v a="$om" -v b="$lm" 'BEGIN { if (b <= 0) b = 0.001; printf "%.2f", a / b }')
  [ "$check" = ok ] || status=1
  printf '%-10s %9s %9s %7s  %s\n' "$name" "$om" "$lm" "$ratio" "$check"
done
exit "$status"
