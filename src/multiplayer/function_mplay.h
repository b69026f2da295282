#pragma once
// The multiplayer functions of game code (mplay_*): connections, sessions, players, shared data and messages.
#include <array>
#include <cstdint>

namespace kv {

void RegisterMultiplayerFunctions();

namespace mplay {
// The runner's part: the game's GUID (only copies of the same game see each other), the per-step service of the
// network, and closing everything when the game ends (players see the session end at once instead of timing out).
void SetGameGuidForMultiplayer(const std::array<uint8_t, 16>& guid);
void ServiceMultiplayer();
void ShutdownMultiplayer();
}  // namespace mplay

}  // namespace kv
