#!/usr/bin/env bash
# Multiplayer throughput and latency on this machine: two headless runners on 127.0.0.1, one hosting an echo, the
# other sending N guaranteed messages with W in flight; messages per second and the round-trip time at the median
# and 99th percentile. Then the same exchange between a minimal ENet echo pair written in C, and our ratio.
#   bench/net.sh [N] [W]    (default 100000 messages, 64 in flight)
# Round trips of the runners are timed with the game clock (current_time), whole milliseconds; the C pair's in
# microseconds. Goal: the runners' message rate within 1.2x of the C pair's. Every process polls without sleeping,
# so on a busy machine the figures follow the scheduler as much as the code: the load average is printed too.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${KV_BUILD_DIR:-$ROOT/build}"
N="${1:-100000}"
W="${2:-64}"
cmake --build "$BUILD" --target kvrun kvpack >/dev/null
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
PORT=$((30000 + RANDOM % 20000))

# ---- The runners ----
mkdir -p "$WORK/game"
cat > "$WORK/game/game.kvp" <<'EOF'
[game]
id = 7
guid = 6e65742d62656e63682d67616d650001
[object obj_net]
event create = create.kvs
event step = step.kvs
[room rm_net]
instance obj_net 0 0
EOF
cat > "$WORK/game/create.kvs" <<'EOF'
set_automatic_draw(false);
role = parameter_string(1);
total = real(parameter_string(3));
window = real(parameter_string(4));
mplay_init_tcpip('127.0.0.1:' + parameter_string(2));
joined = false; sent = 0; got = 0; tries = 0; started = current_time;
rtts = ds_list_create();
if (role == 'echo') joined = mplay_session_create('bench', 2, 'echo');
EOF
cat > "$WORK/game/step.kvs" <<'EOF'
if (!joined) {
  tries += 1;
  if (tries > 100) { show_debug_message('no session'); game_end(); exit; }
  if (mplay_session_find() > 0) joined = mplay_session_join(0, 'ping');
  started = current_time;
  exit;
}
if (role == 'echo') {
  while (mplay_message_receive(0))
    mplay_message_send_guaranteed(mplay_message_player(), mplay_message_id(), mplay_message_value());
  if (got == 0 && mplay_player_find() == 2) got = 1;
  if (got == 0 && current_time - started > 30000) { show_debug_message('nobody came'); game_end(); }
  if (got == 1 && mplay_player_find() == 1) game_end();
  exit;
}
while (mplay_message_receive(0)) {
  ds_list_add(rtts, current_time - mplay_message_value());
  got += 1;
}
while (sent < total && sent - got < window) {
  mplay_message_send_guaranteed(0, sent, current_time);
  sent += 1;
}
if (got >= total) {
  elapsed = (current_time - started) / 1000;
  ds_list_sort(rtts, true);
  show_debug_message('runners: ' + string(round(total / elapsed)) + ' msgs/s, rtt median ' +
                     string(ds_list_find_value(rtts, floor(total / 2))) + ' ms, p99 ' +
                     string(ds_list_find_value(rtts, floor(total * 0.99))) + ' ms');
  game_end();
}
EOF
"$BUILD/bin/kvpack" "$WORK/game" "$WORK/net.kvgame" >/dev/null
# CPU seconds (user + system) of both sides, start-up included: on a busy machine the rates follow the scheduler,
# the CPU time per message follows the code.
TIMEFORMAT='%U %S'
cpu_of() { tail -1 "$1" | awk '{ print $1 + $2 }'; }
{ time "$BUILD/bin/kvrun" "$WORK/net.kvgame" --headless --fast -- echo "$PORT" "$N" "$W" > "$WORK/echo.txt" 2>/dev/null; } 2> "$WORK/echo.cpu" &
ECHO=$!
RUNNERS="$({ time "$BUILD/bin/kvrun" "$WORK/net.kvgame" --headless --fast -- ping "$PORT" "$N" "$W" 2>/dev/null; } 2> "$WORK/ping.cpu")"
wait "$ECHO" || true
echo "$RUNNERS"
ours_cpu="$(awk -v a="$(cpu_of "$WORK/echo.cpu")" -v b="$(cpu_of "$WORK/ping.cpu")" -v n="$N" 'BEGIN { printf "%.1f", (a + b) * 1e6 / n }')"
echo "         CPU ${ours_cpu} us per message (both runners)"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"

# ---- The C pair ----
cat > "$WORK/echo.c" <<'EOF'
// A minimal ENet echo pair: "server PORT" echoes every packet back on its channel; "client PORT N W" sends N
// reliable 14-byte packets with W in flight and times each round trip. Both poll without waiting, as the runners
// do with --fast (a runner services the network once a step and never sleeps in it).
#include <enet/enet.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static double now_us(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}
static int cmp(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return x < y ? -1 : x > y;
}

int main(int argc, char** argv) {
  if (argc < 3 || enet_initialize() != 0) return 2;
  ENetAddress addr = {ENET_HOST_ANY, (enet_uint16)atoi(argv[2])};
  ENetEvent ev;
  if (strcmp(argv[1], "server") == 0) {
    ENetHost* host = enet_host_create(&addr, 4, 2, 0, 0);
    if (!host) return 1;
    int seen = 0;
    for (;;) {
      if (enet_host_service(host, &ev, 0) <= 0) continue;
      if (ev.type == ENET_EVENT_TYPE_CONNECT) seen = 1;
      if (ev.type == ENET_EVENT_TYPE_DISCONNECT && seen) break;
      if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
        enet_peer_send(ev.peer, ev.channelID,
                       enet_packet_create(ev.packet->data, ev.packet->dataLength, ENET_PACKET_FLAG_RELIABLE));
        enet_packet_destroy(ev.packet);
      }
    }
    enet_host_destroy(host);
    return 0;
  }
  const int n = atoi(argv[3]), w = atoi(argv[4]);
  ENetHost* host = enet_host_create(NULL, 1, 2, 0, 0);
  enet_address_set_host(&addr, "127.0.0.1");
  ENetPeer* peer = enet_host_connect(host, &addr, 2, 0);
  while (enet_host_service(host, &ev, 100) >= 0 && ev.type != ENET_EVENT_TYPE_CONNECT) {}
  double* rtt = malloc(sizeof(double) * n);
  int sent = 0, got = 0;
  const double start = now_us();
  while (got < n) {
    while (sent < n && sent - got < w) {
      unsigned char msg[14] = {1};
      double t = now_us();
      memcpy(msg + 6, &t, 8);
      enet_peer_send(peer, 0, enet_packet_create(msg, sizeof msg, ENET_PACKET_FLAG_RELIABLE));
      sent++;
    }
    if (enet_host_service(host, &ev, 0) > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) {
      double t;
      memcpy(&t, ev.packet->data + 6, 8);
      rtt[got++] = now_us() - t;
      enet_packet_destroy(ev.packet);
    }
  }
  const double secs = (now_us() - start) / 1e6;
  qsort(rtt, n, sizeof(double), cmp);
  printf("C pair:  %.0f msgs/s, rtt median %.3f ms, p99 %.3f ms\n", n / secs, rtt[n / 2] / 1e3,
         rtt[(int)(n * 0.99)] / 1e3);
  enet_peer_disconnect(peer, 0);
  for (int i = 0; i < 50 && enet_host_service(host, &ev, 10) >= 0;) if (ev.type == ENET_EVENT_TYPE_DISCONNECT) break; else i++;
  enet_host_destroy(host);
  return 0;
}
EOF
cc -O2 -o "$WORK/echo" "$WORK/echo.c" $(pkg-config --cflags --libs libenet)
CPORT=$((PORT + 1))
{ time "$WORK/echo" server "$CPORT"; } 2> "$WORK/server.cpu" &
SERVER=$!
sleep 0.2
PAIR="$({ time "$WORK/echo" client "$CPORT" "$N" "$W"; } 2> "$WORK/client.cpu")"
wait "$SERVER" || true
echo "$PAIR"
theirs_cpu="$(awk -v a="$(cpu_of "$WORK/server.cpu")" -v b="$(cpu_of "$WORK/client.cpu")" -v n="$N" 'BEGIN { printf "%.1f", (a + b) * 1e6 / n }')"
echo "         CPU ${theirs_cpu} us per message (both sides)"

ours="$(sed -n 's/^runners: \([0-9.]*\) msgs.*/\1/p' <<<"$RUNNERS")"
theirs="$(sed -n 's/^C pair: *\([0-9.]*\) msgs.*/\1/p' <<<"$PAIR")"
if [[ -n "$ours" && -n "$theirs" ]]; then
  awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "ratio:   C pair rate / runners rate = %.2fx (goal <= 1.2x)\n", b / a }'
fi
awk -v a="$ours_cpu" -v b="$theirs_cpu" 'BEGIN { if (b > 0) printf "ratio:   runners CPU / C pair CPU per message = %.2fx\n", a / b }'
