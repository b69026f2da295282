#!/usr/bin/env bash
# World benchmarks: builds kvrun and kvpack, packs each game under bench/games/ and runs it headless
# (`kvrun --headless --fast --steps N`) alternately with its Lua 5.4 reference from the shared bench folder, RUNS
# times each (default 3). Both checksums must equal expected.txt; a run whose checksum differs has no valid time.
#
# Times are compared like with like, best of the runs, for the whole process on both sides (ours includes loading
# the game and creating the instances, Lua's building its world):
#   cpu   user + sys CPU seconds (the ratio that counts: it holds on a busy machine);
#   wall  elapsed seconds (equal to cpu on an idle machine: both sides are single-threaded and never wait).
# The game's own `ms=` for its timed steps is shown beside them for reference.
# Prints one line per game with both ratios (ours / Lua) and the geometric mean of each ratio.
# Usage: bench/world.sh [build dir] [game name ...]
# Environment: RUNS (default 3), LUA (default lua5.4), BENCH_DIR (the references; default ../shared/bench/world).
# Games whose reference is not in BENCH_DIR take it from the project's own bench/world (program and expected.txt).
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
bin=$build/bin
ref=${BENCH_DIR:-$root/../shared/bench/world}
own=$root/bench/world
[ -f "$ref/expected.txt" ] || { echo "world.sh: no references in $ref (set BENCH_DIR)" >&2; exit 2; }
LUA=${LUA:-lua5.4}
RUNS=${RUNS:-3}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cmake --build "$build" --target kvrun kvpack >"$tmp/build.log" 2>&1 || { cat "$tmp/build.log"; exit 2; }

# Steps each game times (its description in the shared folder); --steps gets one more, the checksum step.
steps_of() {
  case $1 in
    b1_step_storm) echo 1000 ;;
    b2_collision_swarm) echo 300 ;;
    b3_spawn_churn) echo 1000 ;;
    b4_paths_and_queries) echo 100 ;;
    b5_action_storm) echo 1000 ;;
    *) echo 1000 ;;
  esac
}

# Runs a command; its stdout goes to $tmp/out, its stderr to $tmp/err, "user+sys elapsed" seconds to $tmp/time.
timed() {
  # A failing run is not fatal here: its missing or wrong checksum marks the game as a mismatch.
  /usr/bin/time -f '%U %S %e' -o "$tmp/rusage" "$@" >"$tmp/out" 2>"$tmp/err" || true
  awk '{ printf "%.3f %.3f\n", $1 + $2, $3 }' "$tmp/rusage" >"$tmp/time"
}

min() { sort -n | head -n 1; }

status=0
games=("$@")
if [ ${#games[@]} -eq 0 ]; then
  for dir in "$root"/bench/games/*/; do games+=("$(basename "$dir")"); done
fi
printf '%-20s %8s %8s %6s  %8s %8s %6s  %8s  %s\n' game ours_cpu lua_cpu ratio ours_wal lua_wal ratio game_ms check
cpuLogs=0
wallLogs=0
count=0
for name in "${games[@]}"; do
  dir=$root/bench/games/$name
  refdir=$ref
  [ -f "$refdir/$name.lua" ] || refdir=$own
  [ -f "$refdir/$name.lua" ] || { echo "$name: no reference program in $ref or $own" >&2; continue; }
  expected=$(awk -F '\t' -v n="$name" '$1 == n { sub(/^[^\t]*\t/, ""); print }' "$refdir/expected.txt")
  "$bin/kvpack" "$dir" "$tmp/$name.kvgame" >/dev/null
  n=$(( $(steps_of "$name") + 1 ))
  oursCpu="" luaCpu="" oursWall="" luaWall="" gameMs="" check=ok
  for ((r = 0; r < RUNS; r++)); do
    timed "$bin/kvrun" "$tmp/$name.kvgame" --headless --fast --steps "$n"
    line=$(grep 'check=' "$tmp/out" | tail -n 1 || true)
    got=${line#*check=}
    [ -n "$line" ] && [ "$got" = "$expected" ] || check="MISMATCH ours=${got:-<none>}"
    ms=${line#ms=}
    ms=${ms%% *}
    oursCpu+="$(cut -d' ' -f1 "$tmp/time")"$'\n'
    oursWall+="$(cut -d' ' -f2 "$tmp/time")"$'\n'
    gameMs+="$ms"$'\n'

    timed "$LUA" "$refdir/$name.lua"
    luaGot=$(cat "$tmp/out")
    [ "$luaGot" = "$expected" ] || check="MISMATCH lua=$luaGot"
    luaCpu+="$(cut -d' ' -f1 "$tmp/time")"$'\n'
    luaWall+="$(cut -d' ' -f2 "$tmp/time")"$'\n'
  done
  oc=$(printf '%s' "$oursCpu" | min)
  lc=$(printf '%s' "$luaCpu" | min)
  ow=$(printf '%s' "$oursWall" | min)
  lw=$(printf '%s' "$luaWall" | min)
  gm=$(printf '%s' "$gameMs" | min)
  rc=$(awk -v a="$oc" -v b="$lc" 'BEGIN { if (b <= 0) b = 0.001; printf "%.2f", a / b }')
  rw=$(awk -v a="$ow" -v b="$lw" 'BEGIN { if (b <= 0) b = 0.001; printf "%.2f", a / b }')
  [ "$check" = ok ] || status=1
  printf '%-20s %8s %8s %6s  %8s %8s %6s  %8s  %s\n' "$name" "$oc" "$lc" "$rc" "$ow" "$lw" "$rw" "$gm" "$check"
  cpuLogs=$(awk -v s="$cpuLogs" -v r="$rc" 'BEGIN { printf "%.6f", s + log(r > 0 ? r : 0.01) }')
  wallLogs=$(awk -v s="$wallLogs" -v r="$rw" 'BEGIN { printf "%.6f", s + log(r > 0 ? r : 0.01) }')
  count=$((count + 1))
done
if [ "$count" -gt 0 ]; then
  awk -v c="$cpuLogs" -v w="$wallLogs" -v n="$count" \
    'BEGIN { printf "geometric mean of ratios: cpu %.2f  wall %.2f\n", exp(c / n), exp(w / n) }'
fi
exit "$status"
