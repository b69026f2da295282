#!/usr/bin/env bash
# Fuzzes the game-data reader, then the multiplayer packet decoders: fuzz/run.sh BUILD_FUZZ_DIR BUILD_DIR SECONDS
#   BUILD_FUZZ_DIR  clang build with -DKV_FUZZ=ON (holds bin/fuzz_gamedata and bin/fuzz_mplay_packet)
#   BUILD_DIR       normal build (holds bin/kvpack, used to make the seed corpus)
# The seed corpus is built from the kvpack projects of the repository, in both input forms of the target: the game
# data itself, and 'M' + the plain main block. Crashes are written to fuzz/crash-*.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
FB="${1:?fuzz build dir}"
BUILD="${2:?build dir}"
SECONDS_TO_RUN="${3:-600}"
FUZZER="$FB/bin/fuzz_gamedata"
KVPACK="$BUILD/bin/kvpack"
CORPUS="$ROOT/fuzz/corpus"
SEEDS="$FB/fuzz-seeds"
mkdir -p "$CORPUS" "$SEEDS"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
OFFSET=702567
n=0
for project in "$ROOT"/tests/data/*/ "$ROOT"/demo/; do
  [[ -f "$project/game.kvp" ]] || continue
  n=$((n + 1))
  "$KVPACK" "$project" "$WORK/game$n" >/dev/null
  tail -c +$((OFFSET + 1)) "$WORK/game$n" > "$SEEDS/data-$n"
  "$KVPACK" --main-block "$WORK/game$n" "$WORK/main$n"
  { printf 'M'; cat "$WORK/main$n"; } > "$SEEDS/main-$n"
done
echo "fuzz: $n projects -> $(ls "$SEEDS" | wc -l) seeds; fuzzing for ${SECONDS_TO_RUN}s" >&2

# Main blocks of the test projects are a few kilobytes; 64 KB leaves room for growth without slowing every run.
"$FUZZER" "$CORPUS" "$SEEDS" \
  -max_total_time="$SECONDS_TO_RUN" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
  -print_final_stats=1 -artifact_prefix="$ROOT/fuzz/" 2>&1 | tee "$FB/fuzz.log" | grep -E "^#|ERROR|SUMMARY|stat::|Done" | tail -25
status=${PIPESTATUS[0]}
echo "fuzz: exit $status; log in $FB/fuzz.log" >&2

# The multiplayer packet decoders: small inputs (the largest packet is 33000 bytes), a tenth of the time.
PACKET_SECONDS=$((SECONDS_TO_RUN / 10 > 10 ? SECONDS_TO_RUN / 10 : 10))
PACKET_CORPUS="$ROOT/fuzz/corpus-mplay"
mkdir -p "$PACKET_CORPUS"
"$FB/bin/fuzz_mplay_packet" "$PACKET_CORPUS" -max_total_time="$PACKET_SECONDS" -max_len=33001 -timeout=10 \
  -print_final_stats=1 -artifact_prefix="$ROOT/fuzz/" 2>&1 | tee "$FB/fuzz-mplay.log" | grep -E "ERROR|SUMMARY|Done" | tail -5
packet_status=${PIPESTATUS[0]}
echo "fuzz: packet decoders exit $packet_status; log in $FB/fuzz-mplay.log" >&2
[[ "$status" == 0 ]] && status=$packet_status
exit "$status"
