#!/usr/bin/env bash
# Start-up benchmark: time and peak memory of a one-object game from exec to the end of its first step,
#   headless  kvrun GAME --headless --fast --steps 1 (no GL device is made: nothing reads pixels), and
#   windowed  kvrun GAME --steps 1 on an Xvfb display (GL on Mesa llvmpipe): the first frame has been presented
#             when the first step ends,
# against `lua5.4 -e ''` and LÖVE 11 opening a window whose one-line love.draw draws once and quits (so the
# process ends right after its first presented frame), under the same Xvfb display.
# Each command runs RUNS times (default 7), interleaved; prints the median and minimum wall milliseconds, the
# median CPU milliseconds (user + sys; on a busy machine the steadier figure) and the largest peak resident memory
# (MB), and the ratios to Lua and LÖVE.
#   RUNS=7 bench/startup.sh [BUILD_DIR]
set -euo pipefail
export LC_ALL=C
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-${KV_BUILD_DIR:-$ROOT/build}}"
RUNS="${RUNS:-7}"
command -v Xvfb >/dev/null || { echo "startup.sh: Xvfb is missing (apt install xvfb)" >&2; exit 1; }
[[ -f "$BUILD/build.ninja" ]] || cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target kvrun kvpack >/dev/null

WORK="$(mktemp -d)"
XPID=""
cleanup() {
  [[ -n "$XPID" ]] && kill "$XPID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

# The one-object game: an object with a step event, in a 640×480 room.
mkdir -p "$WORK/game"
cat >"$WORK/game/game.kvp" <<'EOF'
[object obj]
event step = step.kvs
[room rm]
width = 640
height = 480
instance obj 320 240
EOF
echo 'x += 1;' >"$WORK/game/step.kvs"
"$BUILD/bin/kvpack" "$WORK/game" "$WORK/one.kvgame" >/dev/null

mkdir -p "$WORK/love"
echo 'function love.draw() love.graphics.print("hello", 10, 10); love.event.quit() end' >"$WORK/love/main.lua"

# A private X display for the windowed runs.
for n in $(seq 90 130); do
  [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XPID=$!
  DISP=":$n"
  break
done
[[ -n "$XPID" ]] || { echo "startup.sh: no free X display" >&2; exit 1; }
for _ in $(seq 1 100); do [[ -e /tmp/.X11-unix/X${DISP#:} ]] && break; sleep 0.05; done

# Runs a command once; appends "wall_ms cpu_ms peak_kb" to the named list. CPU time comes from wait4 (to the
# microsecond, where /usr/bin/time rounds to 10 ms), peak memory from /usr/bin/time (a forked Python would count
# its own pages before the exec).
declare -A samples
measure() {
  local key=$1
  shift
  samples[$key]+="$(python3 -c '
import os, subprocess, sys, time
t = time.perf_counter()
p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", sys.argv[1]] + sys.argv[2:],
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
_, status, ru = os.wait4(p.pid, 0)
wall = (time.perf_counter() - t) * 1000
if status != 0:
    sys.exit(1)
print("%.1f %.1f %s" % (wall, (ru.ru_utime + ru.ru_stime) * 1000, open(sys.argv[1]).read().split()[-1]))' \
    "$WORK/peak" "$@")"$'\n' || { echo "startup.sh: $key failed: $*" >&2; exit 1; }
}

# No audio device for anyone: it is not part of what is compared.
export SDL_AUDIODRIVER=dummy
for _ in $(seq 1 "$RUNS"); do
  measure lua lua5.4 -e ''
  measure headless "$BUILD/bin/kvrun" "$WORK/one.kvgame" --headless --fast --steps 1
  measure windowed env DISPLAY="$DISP" SDL_VIDEODRIVER=x11 "$BUILD/bin/kvrun" "$WORK/one.kvgame" --steps 1
  measure love env DISPLAY="$DISP" SDL_VIDEODRIVER=x11 love "$WORK/love"
done

# "median_wall min_wall median_cpu peak_mb" of one list.
column() { printf '%s' "${samples[$1]}" | cut -d' ' -f"$2" | sort -n; }
median() { awk '{ v[NR] = $1 } END { printf "%.1f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
summary() {
  printf '%s %s %s %s' "$(column "$1" 1 | median)" "$(column "$1" 1 | head -n 1)" "$(column "$1" 2 | median)" \
    "$(column "$1" 3 | tail -n 1 | awk '{ printf "%.1f", $1 / 1024 }')"
}
read -r luaW luaMin luaC luaM <<<"$(summary lua)"
read -r loveW loveMin loveC loveM <<<"$(summary love)"
printf '%-22s %9s %8s %8s %8s  %s\n' what wall_ms min_ms cpu_ms peak_MB ratios
for key in lua headless love windowed; do
  read -r w mn c m <<<"$(summary $key)"
  case $key in
    lua) label="lua5.4 -e ''"; ratio="" ;;
    headless) label="kvrun headless"
      ratio=$(awk -v w="$w" -v l="$luaW" -v c="$c" -v lc="$luaC" -v m="$m" -v lm="$luaM" \
        'BEGIN { printf "wall %.2f× Lua, cpu %.1f× Lua, memory %.1f× Lua", w / l, c / lc, m / lm }') ;;
    love) label="LÖVE window, 1 frame"; ratio="" ;;
    windowed) label="kvrun window, 1 frame"
      ratio=$(awk -v w="$w" -v l="$loveW" -v c="$c" -v lc="$loveC" -v m="$m" -v lm="$loveM" \
        'BEGIN { printf "wall %.2f× LÖVE, cpu %.2f× LÖVE, memory %.2f× LÖVE", w / l, c / lc, m / lm }') ;;
  esac
  printf '%-22s %9s %8s %8s %8s  %s\n' "$label" "$w" "$mn" "$c" "$m" "$ratio"
done
