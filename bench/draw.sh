#!/usr/bin/env bash
# Drawing benchmark: our graphics device against LÖVE 11 on the same scene (bench/draw_scene.h,
# bench/draw_love/main.lua): 10,000 rotated alpha-blended 32×32 sprites per frame, 640×480, vsync off,
# offscreen on Mesa llvmpipe with two raster threads, 20 warm-up frames, then FRAMES frames ending in a read-back.
# Runs are interleaved (ours, LÖVE, ours, …); prints the median and minimum ms per frame and the ratios, for wall
# time and for process CPU time (llvmpipe's raster threads included; steadier on a busy machine).
#   FRAMES=200 RUNS=5 bench/draw.sh
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${KV_BUILD_DIR:-$ROOT/build}"
FRAMES="${FRAMES:-200}"
RUNS="${RUNS:-5}"
command -v love >/dev/null || { echo "draw.sh: LÖVE 11 is missing (apt install love)" >&2; exit 1; }
[[ -f "$BUILD/build.ninja" ]] || cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target kvgbench >/dev/null

export SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe LP_NUM_THREADS=2 SDL_AUDIODRIVER=dummy
TEX="$(mktemp -d)"
trap 'rm -rf "$TEX"' EXIT
declare -A times
for run in $(seq 1 "$RUNS"); do
  out="$(KV_DRAW_FRAMES="$FRAMES" KV_DRAW_TEXTURE_DIR="$TEX" "$BUILD/bin/kvgbench" \
         --benchmark_filter='^BM_DrawSprites/' --benchmark_format=json 2>/dev/null)"
  for t in 1 16; do
    read -r ms cpu <<<"$(echo "$out" | python3 -c '
import json, sys
for b in json.load(sys.stdin)["benchmarks"]:
    if b["name"].startswith("BM_DrawSprites/'"$t"'/"):
        print(b["real_time"], b["cpu_ms_per_frame"])')"
    times[ours_$t]+="$ms "
    times[ourscpu_$t]+="$cpu "
    love_line="$(love "$ROOT/bench/draw_love" "$TEX" "$t" "$FRAMES")"
    times[love_$t]+="$(echo "$love_line" | sed -n 's/.*ms_per_frame=\([0-9.]*\) cpu.*/\1/p') "
    times[lovecpu_$t]+="$(echo "$love_line" | sed -n 's/.*cpu_ms_per_frame=\([0-9.]*\).*/\1/p') "
    echo "run $run, $t texture(s): ours ${ms} ms (cpu ${cpu}), LÖVE ${love_line}" >&2
  done
done

stats() {  # median and minimum of a list
  printf '%s\n' $1 | sort -g | awk '{v[NR]=$1} END {m = NR % 2 ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2; printf "%.1f %.1f", m, v[1]}'
}
for kind in "" cpu; do
  for t in 1 16; do
    read -r om omin <<<"$(stats "${times[ours${kind}_$t]}")"
    read -r lm lmin <<<"$(stats "${times[love${kind}_$t]}")"
    awk -v k="${kind:-wall}" -v t="$t" -v om="$om" -v omin="$omin" -v lm="$lm" -v lmin="$lmin" 'BEGIN {
      printf "%s %2d texture(s): ours median %.1f ms (min %.1f), LÖVE median %.1f ms (min %.1f), ratio %.2f (min %.2f)\n",
             k, t, om, omin, lm, lmin, om / lm, omin / lmin }'
  done
done
