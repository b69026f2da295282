#!/usr/bin/env bash
# The mixer's cost: 64 looping voices with two effects each (and without), 60 s of audio, CPU time per second
# of audio; with SDL_mixer installed the same voices without effects through it, and the ratios.
# Goal: under 2 % of one core; minimum: under 10 %.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${KV_BUILD_DIR:-$ROOT/build}"
cmake --build "$BUILD" --target soundbench >/dev/null
"$BUILD/bin/soundbench"
