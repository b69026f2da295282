#!/bin/sh
# One million external calls of a two-real function of the test library (kvt_add2 in libkvtestext.so): game code
# through external_call in kvbench, against Lua 5.4 calling the same C function through a tiny Lua C module built
# here (it looks the function up in the same library with dlsym). Runs each side RUNS times (default 3) and prints
# the median processor times and their ratio (ours / Lua); a second line does the same for an empty loop of the
# same length, and the last gives the ratio of the calls alone (each side's loop time taken off).
# Environment: BUILD (default build), LUA (default lua5.4), RUNS (default 3), CC (default cc).
set -eu
export LC_ALL=C
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
LUA=${LUA:-lua5.4}
RUNS=${RUNS:-3}
CC=${CC:-cc}
cmake --build "$BUILD" --target kvbench kvtestext >/dev/null
LIB=$BUILD/tests/support/libkvtestext.so
KVBENCH=$BUILD/bin/kvbench
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

cat >"$WORK/kvtext.c" <<'C'
#include <dlfcn.h>
#include <lauxlib.h>
#include <lua.h>
#include <stdlib.h>
typedef double (*Add2)(double, double);
static Add2 add2;
static int Call(lua_State* L) {
  lua_pushnumber(L, add2(luaL_checknumber(L, 1), luaL_checknumber(L, 2)));
  return 1;
}
int luaopen_kvtext(lua_State* L) {
  void* h = dlopen(getenv("KVTESTEXT"), RTLD_NOW | RTLD_LOCAL);
  if (!h || !(add2 = (Add2)dlsym(h, "kvt_add2"))) return luaL_error(L, "cannot load kvt_add2");
  lua_pushcfunction(L, Call);
  return 1;
}
C
"$CC" -O2 -shared -fPIC -I/usr/include/lua5.4 -o "$WORK/kvtext.so" "$WORK/kvtext.c" -ldl

cat >"$WORK/calls.kvs" <<KVS
var fn, s, i;
fn = external_define("$LIB", "kvt_add2", dll_cdecl, ty_real, 2, ty_real, ty_real);
s = 0;
for (i = 0; i < 1000000; i += 1) s = external_call(fn, s, 1);
return s;
KVS
cat >"$WORK/loop.kvs" <<'KVS'
var s, i;
s = 0;
for (i = 0; i < 1000000; i += 1) s = s + 1;
return s;
KVS
cat >"$WORK/calls.lua" <<'LUA'
local add2 = require("kvtext")
local t0 = os.clock()
local s = 0
for i = 1, 1000000 do s = add2(s, 1) end
print(string.format("%d", s))
print(os.clock() - t0)
LUA
cat >"$WORK/loop.lua" <<'LUA'
local t0 = os.clock()
local s = 0
for i = 1, 1000000 do s = s + 1 end
print(string.format("%d", s))
print(os.clock() - t0)
LUA

export KVTESTEXT="$LIB" LUA_CPATH="$WORK/?.so"
median() { sort -n | sed -n "$(( (RUNS + 1) / 2 ))p"; }
# Prints "ours lua" median seconds for one benchmark; fails when a result is not 1000000.
measure() {
  ours="" lua=""
  r=0
  while [ "$r" -lt "$RUNS" ]; do
    out=$("$KVBENCH" "$WORK/$1.kvs" 2>"$WORK/time") || { echo "kvbench failed: $(cat "$WORK/time")" >&2; exit 1; }
    [ "$out" = 1000000 ] || { echo "kvbench $1 gave $out" >&2; exit 1; }
    ours="$ours$(tail -n 1 "$WORK/time")
"
    lout=$("$LUA" "$WORK/$1.lua")
    [ "$(printf '%s\n' "$lout" | head -n 1)" = 1000000 ] || { echo "lua $1 gave $lout" >&2; exit 1; }
    lua="$lua$(printf '%s\n' "$lout" | tail -n 1)
"
    r=$((r + 1))
  done
  printf '%s %s\n' "$(printf '%s' "$ours" | median)" "$(printf '%s' "$lua" | median)"
}
calls=$(measure calls)
loop=$(measure loop)
printf '%-22s %9s %9s %7s\n' name ours_s lua_s ratio
printf '%s\n%s\n' "1e6_external_calls $calls" "1e6_empty_loop $loop" | while read -r name a b; do
  printf '%-22s %9s %9s %7s\n' "$name" "$a" "$b" "$(awk -v a="$a" -v b="$b" 'BEGIN { if (b <= 0) b = 0.001; printf "%.2f", a / b }')"
done
set -- $calls $loop
awk -v ca="$1" -v cb="$2" -v la="$3" -v lb="$4" 'BEGIN {
  a = ca - la; b = cb - lb; if (b <= 0) b = 0.001
  printf "calls alone (loop taken off): ours %.3f s, lua %.3f s, ratio %.2f\n", a, b, a / b }'
