#!/bin/sh
# Runs the eight language benchmarks with kvbench and with Lua 5.4, alternately RUNS times each (default 3),
# checks both outputs against expected.txt and prints the median times, each ratio (ours / Lua) and the
# geometric mean of the ratios. Exit status 1 when an output differs.
# Environment: KVBENCH (default build/bin/kvbench), LUA (default lua5.4), RUNS (default 3), BENCH_DIR.
set -eu
export LC_ALL=C
ROOT=$(cd "$(dirname "$0")/.." && pwd)
KVBENCH=${KVBENCH:-$ROOT/build/bin/kvbench}
LUA=${LUA:-lua5.4}
RUNS=${RUNS:-3}
DIR=${BENCH_DIR:-$ROOT/../shared/bench/lang}
case $KVBENCH in /*) ;; *) KVBENCH=$(pwd)/$KVBENCH ;; esac
cd "$DIR"
status=0
logsum=0
count=0
printf '%-14s %9s %9s %7s  %s\n' name ours_s lua_s ratio check
for f in b*.kvs; do
  name=$(basename "$f" .kvs)
  exp=$(awk -F '\t' -v n="$name" '$1 == n { sub(/^[^\t]*\t/, ""); print }' expected.txt)
  ours="" ; lua="" ; check=ok
  r=0
  while [ "$r" -lt "$RUNS" ]; do
    out=$("$KVBENCH" "$f" --script fib=scripts/fib.kvs --object obj_ball 2>/tmp/kvbench.$$) || true
    t=$(tail -n 1 /tmp/kvbench.$$)
    [ "$out" = "$exp" ] || check="MISMATCH ours=$out"
    ours="$ours$t
"
    lout=$("$LUA" -e 'io.stderr = io.stdout' "$name.lua")
    lres=$(printf '%s\n' "$lout" | sed '$d')
    [ "$lres" = "$exp" ] || check="MISMATCH lua=$lres"
    lua="$lua$(printf '%s\n' "$lout" | tail -n 1)
"
    r=$((r + 1))
  done
  rm -f /tmp/kvbench.$$
  mid=$(( (RUNS + 1) / 2 ))
  om=$(printf '%s' "$ours" | sort -n | sed -n "${mid}p")
  lm=$(printf '%s' "$lua" | sort -n | sed -n "${mid}p")
  ratio=$(awk -v a="$om" -v b="$lm" 'BEGIN { if (b <= 0) b = 0.001; printf "%.2f", a / b }')
  logsum=$(awk -v s="$logsum" -v r="$ratio" 'BEGIN { printf "%.6f", s + log(r) }')
  count=$((count + 1))
  [ "$check" = ok ] || status=1
  printf '%-14s %9s %9s %7s  %s\n' "$name" "$om" "$lm" "$ratio" "$check"
done
geo=$(awk -v s="$logsum" -v n="$count" 'BEGIN { printf "%.2f", exp(s / n) }')
printf 'geometric mean of ratios: %s\n' "$geo"
exit "$status"
