#!/usr/bin/env bash
# Load time of a ~50 MB game file against plain zlib inflate of the same compressed blocks.
#   bench/load.sh [BUILD_DIR] [RUNS]
# Generates a kvpack project (a 64 MiB included file, half random bytes and half text, plus 50 scripts of 100 KB),
# packs it, and runs `kvpack --bench-load`, which times LoadGameData on the file in memory and, separately,
# plain zlib `uncompress` of every compressed block the loader inflates. Goal: ratio within 1.3.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
RUNS="${2:-5}"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

python3 - "$WORK/project" <<'PY'
import os, random, sys
root = sys.argv[1]
os.makedirs(root + "/scripts")
rng = random.Random(2026)
words = ["instance", "speed", "direction", "global", "with", "other", "draw_sprite", "if", "else", "var",
         "room_width", "x", "y", "alarm", "score", "lives", "argument0", "return", "for", "repeat"]
def text(n):
    out, size = [], 0
    while size < n:
        line = " ".join(rng.choices(words, k=12)) + ";\n"
        out.append(line)
        size += len(line)
    return "".join(out)[:n]
with open(root + "/big.dat", "wb") as f:
    for i in range(512):  # 512 x 128 KiB = 64 MiB
        f.write(rng.randbytes(65536))
        f.write(text(65536).encode())
manifest = ["[game]", "id = 50", "", "[include big.dat]", "file = big.dat", "export = 0", ""]
for i in range(50):
    with open(f"{root}/scripts/s{i}.kvs", "w") as f:
        f.write(text(100000))
    manifest += [f"[script scr_{i}]", f"file = scripts/s{i}.kvs", ""]
manifest += ["[room rm_main]", ""]
with open(root + "/game.kvp", "w") as f:
    f.write("\n".join(manifest))
PY

"$BUILD/bin/kvpack" "$WORK/project" "$WORK/big.game"
"$BUILD/bin/kvpack" --bench-load "$WORK/big.game" "$RUNS"
