#!/usr/bin/env bash
# 3D drawing benchmark: our device against LÖVE 11 on the same scene (bench/draw3d_scene.h,
# bench/draw3d_love/main.lua): 2,000 textured blocks, 4 point lights, fog, 640×480, vsync off, offscreen on Mesa
# llvmpipe with two raster threads, 20 warm-up frames, then FRAMES frames ending in a read-back. Runs are
# interleaved (ours, LÖVE, …); prints the median ms per frame and the ratio, for wall and process CPU time.
#   FRAMES=300 RUNS=3 bench/draw3d.sh
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${KV_BUILD_DIR:-$ROOT/build}"
FRAMES="${FRAMES:-300}"
RUNS="${RUNS:-3}"
command -v love >/dev/null || { echo "draw3d.sh: LÖVE 11 is missing (apt install love)" >&2; exit 1; }
[[ -f "$BUILD/build.ninja" ]] || cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target kvgbench >/dev/null

export SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe LP_NUM_THREADS=2 SDL_AUDIODRIVER=dummy
TEX="$(mktemp -d)"
trap 'rm -rf "$TEX"' EXIT
ours="" ourscpu="" love_="" lovecpu=""
for run in $(seq 1 "$RUNS"); do
  out="$(KV_DRAW_FRAMES="$FRAMES" KV_DRAW_TEXTURE_DIR="$TEX" "$BUILD/bin/kvgbench" \
         --benchmark_filter='^BM_Draw3D' --benchmark_format=json 2>/dev/null)"
  read -r ms cpu covered <<<"$(echo "$out" | python3 -c '
import json, sys
b = json.load(sys.stdin)["benchmarks"][0]
print(b["real_time"], b["cpu_ms_per_frame"], int(b["covered"]))')"
  line="$(love "$ROOT/bench/draw3d_love" "$TEX" "$FRAMES")"
  ours+="$ms " ourscpu+="$cpu "
  love_+="$(echo "$line" | sed -n 's/.*ms_per_frame=\([0-9.]*\) cpu.*/\1/p') "
  lovecpu+="$(echo "$line" | sed -n 's/.*cpu_ms_per_frame=\([0-9.]*\).*/\1/p') "
  echo "run $run: ours ${ms} ms (cpu ${cpu}, covered ${covered}), LÖVE ${line}" >&2
done

median() { printf '%s\n' $1 | sort -g | awk '{v[NR]=$1} END {print NR % 2 ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
awk -v o="$(median "$ours")" -v l="$(median "$love_")" -v oc="$(median "$ourscpu")" -v lc="$(median "$lovecpu")" 'BEGIN {
  printf "wall: ours %.1f ms/frame, LÖVE %.1f ms/frame, ratio %.2f\n", o, l, o / l
  printf "cpu:  ours %.1f ms/frame, LÖVE %.1f ms/frame, ratio %.2f\n", oc, lc, oc / lc }'
