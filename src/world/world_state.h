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
