#!/bin/sh
# Tile and text scenes (bench/text_scene.h): our device against LÖVE drawing the same scenes, both offscreen on
# llvmpipe, interleaved runs. Usage: bench/text.sh [build dir] [runs] [scenes]   (scenes: "tiles text" by default;
# needs kvgbench, or kvtextbench, and love)
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
RUNS=${2:-5}
SCENES=${3:-tiles text}
export SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe LP_NUM_THREADS=2 SDL_AUDIODRIVER=dummy
BIN=$BUILD/bin/kvgbench
[ -x "$BIN" ] || BIN=$BUILD/bin/kvtextbench
FONT=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
# The tile sheet the LÖVE twin loads is written by our tiles scene (which runs first); the text scene alone only
# needs some image to load.
cp "$ROOT/demo/images/ball.png" "$TMP/sheet.png"
for i in $(seq "$RUNS"); do
  for scene in $SCENES; do
    case $scene in tiles) bm=BM_DrawTiles ;; *) bm=BM_DrawText ;; esac
    KV_TEXT_SHEET=$TMP/sheet.png "$BIN" --benchmark_filter="$bm" --benchmark_format=csv 2>/dev/null |
      awk -F, -v s="$scene" -v bm="$bm" 'index($1, bm) {print "ours", s, $3}' >> "$TMP/ours"
    love "$ROOT/bench/text_love" "$TMP/sheet.png" "$FONT" "$scene" |
      sed -n "s/ms_per_frame=\([0-9.]*\).*/love $scene \1/p" >> "$TMP/love"
  done
done
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for scene in $SCENES; do
  o=$(awk -v s=$scene '$2==s {print $3}' "$TMP/ours" | median)
  l=$(awk -v s=$scene '$2==s {print $3}' "$TMP/love" | median)
  echo "$scene: ours ${o} ms/frame, love ${l} ms/frame, ratio $(echo "$o $l" | awk '{printf "%.2f", $1/$2}')"
done
