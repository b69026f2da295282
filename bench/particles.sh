#!/usr/bin/env bash
# Particle benchmark: our particle systems against LÖVE 11's (bench/gbench_particles.cpp, bench/particles_love):
# ten systems of 10,000 live particles each (stream emitter, attractor, changer, colour and alpha over the life),
# updated and drawn for STEPS steps offscreen on Mesa llvmpipe with two raster threads, after 100 warm-up steps.
# Runs are interleaved (ours, LÖVE, ours, …); prints the median ms per step for the update, the drawing and both,
# and the ratios ours / LÖVE.
#   STEPS=300 RUNS=3 bench/particles.sh
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${KV_BUILD_DIR:-$ROOT/build}"
STEPS="${STEPS:-300}"
RUNS="${RUNS:-3}"
command -v love >/dev/null || { echo "particles.sh: LÖVE 11 is missing (apt install love)" >&2; exit 1; }
[[ -f "$BUILD/build.ninja" ]] || cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target kvgbench >/dev/null

export SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe LP_NUM_THREADS=2 SDL_AUDIODRIVER=dummy
TEX="$(mktemp -d)"
trap 'rm -rf "$TEX"' EXIT
ou=() od=() lu=() ld=()
for run in $(seq 1 "$RUNS"); do
  out="$(KV_PARTICLE_STEPS="$STEPS" KV_PARTICLE_TEXTURE_DIR="$TEX" "$BUILD/bin/kvgbench" \
         --benchmark_filter='^BM_Particles' --benchmark_format=json 2>/dev/null)"
  read -r u d live <<<"$(echo "$out" | python3 -c '
import json, sys
b = json.load(sys.stdin)["benchmarks"][0]
print(b["update_ms"], b["draw_ms"], int(b["live"]))')"
  love_line="$(love "$ROOT/bench/particles_love" "$TEX" "$STEPS")"
  ou+=("$u"); od+=("$d")
  lu+=("$(echo "$love_line" | sed -n 's/.*update_ms=\([0-9.]*\).*/\1/p')")
  ld+=("$(echo "$love_line" | sed -n 's/.*draw_ms=\([0-9.]*\).*/\1/p')")
  echo "run $run: ours update ${u} ms draw ${d} ms (${live} live); LÖVE ${love_line}" >&2
done

median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print NR % 2 ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
mu="$(median "${ou[@]}")"; md="$(median "${od[@]}")"; lmu="$(median "${lu[@]}")"; lmd="$(median "${ld[@]}")"
awk -v mu="$mu" -v md="$md" -v lu="$lmu" -v ld="$lmd" 'BEGIN {
  printf "update: ours %.2f ms per step, LÖVE %.2f ms, ratio %.2f\n", mu, lu, mu / lu
  printf "draw:   ours %.2f ms per step, LÖVE %.2f ms, ratio %.2f\n", md, ld, md / ld
  printf "total:  ours %.2f ms per step, LÖVE %.2f ms, ratio %.2f\n", mu + md, lu + ld, (mu + md) / (lu + ld) }'
