#!/bin/sh
# Runs the eight language benchmarks with kvbench and with Lua 5.4, alternately RUNS times each (default 3),
# checks both outputs against expected.txt and prints the median times, each ratio (ours / Lua) and the
# geometric mean of the ratios. Exit status 1 when an output differs.
# When LuaJIT is installed, each program also runs under its interpreter alone (`luajit -joff`, the compiler
# off) in the same rotation, and its median time and our ratio to it are printed too; programs LuaJIT cannot run
# (Lua 5.4 syntax such as integer division) or whose output differs show "-".
# Environment: KVBENCH (default build/bin/kvbench), LUA (default lua5.4), LUAJIT (default luajit), RUNS (default
# 3), BENCH_DIR.
set -eu
export LC_ALL=C
ROOT=$(cd "$(dirname "$0")/.." && pwd)
KVBENCH=${KVBENCH:-$ROOT/build/bin/kvbench}
LUA=${LUA:-lua5.4}
LUAJIT=${LUAJIT:-luajit}
command -v "$LUAJIT" >/dev/null 2>&1 || LUAJIT=""
RUNS=${RUNS:-3}
DIR=${BENCH_DIR:-$ROOT/../shared/bench/lang}
case $KVBENCH in /*) ;; *) KVBENCH=$(pwd)/$KVBENCH ;; esac
# The default benchmark runner is built (Release) when it is missing; a given KVBENCH is used as it is.
if [ ! -x "$KVBENCH" ] && [ "$KVBENCH" = "$ROOT/build/bin/kvbench" ]; then
  [ -f "$ROOT/build/build.ninja" ] || cmake -S "$ROOT" -B "$ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$ROOT/build" --target kvbench >/dev/null
fi
cd "$DIR"
status=0
logsum=0
count=0
printf '%-14s %9s %9s %7s %9s %7s  %s\n' name ours_s lua_s ratio luajit_s ratio_j check
for f in b*.kvs; do
  name=$(basename "$f" .kvs)
  exp=$(awk -F '\t' -v n="$name" '$1 == n { sub(/^[^\t]*\t/, ""); print }' expected.txt)
  ours="" ; lua="" ; jit="" ; jitok=${LUAJIT:+yes} ; check=ok
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
    if [ -n "$jitok" ]; then
      if jout=$("$LUAJIT" -joff -e 'io.stderr = io.stdout' "$name.lua" 2>/dev/null) &&
         [ "$(printf '%s\n' "$jout" | sed '$d')" = "$exp" ]; then
        jit="$jit$(printf '%s\n' "$jout" | tail -n 1)
"
      else
        jitok=""
      fi
    fi
    r=$((r + 1))
  done
  rm -f /tmp/kvbench.$$
  mid=$(( (RUNS + 1) / 2 ))
  om=$(printf '%s' "$ours" | sort -n | sed -n "${mid}p")
  lm=$(printf '%s' "$lua" | sort -n | sed -n "${mid}p")
  ratio=$(awk -v a="$om" -v b="$lm" 'BEGIN { if (b <= 0) b = 0.001; printf "%.2f", a / b }')
  jm=- ; jratio=-
  if [ -n "$jitok" ]; then
    jm=$(printf '%s' "$jit" | sort -n | sed -n "${mid}p")
    jratio=$(awk -v a="$om" -v b="$jm" 'BEGIN { if (b <= 0) b = 0.001; printf "%.2f", a / b }')
  fi
  logsum=$(awk -v s="$logsum" -v r="$ratio" 'BEGIN { printf "%.6f", s + log(r) }')
  count=$((count + 1))
  [ "$check" = ok ] || status=1
  printf '%-14s %9s %9s %7s %9s %7s  %s\n' "$name" "$om" "$lm" "$ratio" "$jm" "$jratio" "$check"
done
geo=$(awk -v s="$logsum" -v n="$count" 'BEGIN { printf "%.2f", exp(s / n) }')
printf 'geometric mean of ratios: %s\n' "$geo"
exit "$status"
