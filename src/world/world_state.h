// The world-wide state of the running game that every world module reads: the resources in play and the pending
// room change.
//
// Game code never changes rooms, restarts, loads or ends the game directly: it sets the pending code, after which
// every further event and action of the step is skipped; the main loop acts on the code after the step.
#pragma once

#include "runner/game_sections.h"

namespace kv {

// Pending room-change codes; 0 or more means "go to that room".
constexpr int kNoRoomChange = -1;
constexpr int kPendingEnd = -100;
constexpr int kPendingRestart = -200;
constexpr int kPendingLoad = -300;
constexpr int kPendingErrorEnd = -400;

namespace world_detail {
inline int g_pendingRoomChange = kNoRoomChange;
inline GameResources* g_resources = nullptr;
}  // namespace world_detail

inline int PendingRoomChange() { return world_detail::g_pendingRoomChange; }
inline void SetPendingRoomChange(int code) { world_detail::g_pendingRoomChange = code; }
inline bool RoomChangePending() { return world_detail::g_pendingRoomChange != kNoRoomChange; }

// The resources the world runs on (the loaded game, or a test's in-memory game); null before any game.
inline GameResources* WorldResources() { return world_detail::g_resources; }
void SetWorldResources(GameResources* resources);

// The one owner of the world's state between games. StartWorld puts it in the state of a game about to enter its
// first room on `res`: the resources attached, dispatch lists built, global variables and the game's counters
// (score, lives, cursor, transition) back to their start values, no 3D models and no motion-planning grids, no
// room change pending, every room slot empty. The game start, a restart and test set-ups all go through it;
// health and the random seed are not its business.
void StartWorld(GameResources& res);
// Frees every room and carried instance, detaches the resources and drops a pending room change (the game end,
// and test tear-downs).
void StopWorld();

inline const CObject* WorldObject(int index) {
  GameResources* r = world_detail::g_resources;
  return r ? r->objects.Get(index) : nullptr;
}
inline int WorldObjectCount() {
  GameResources* r = world_detail::g_resources;
  return r ? r->objects.Count() : 0;
}
inline const CSprite* WorldSprite(int index) {
  GameResources* r = world_detail::g_resources;
  return r ? r->sprites.Get(index) : nullptr;
}

}  // namespace kv
