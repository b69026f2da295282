// The rooms of the running game: one live-state slot per room resource, the current room, the last instance and
// tile ids, the persistent instances carried to the next room; entering and leaving rooms; performing events.
//
// "No room" is an explicit state: before the first room exists (library initialisation code, constants) and after
// every live state was freed (game end, restart) CurrentRoom() is null, code sees no world (with (all) does nothing,
// counts are 0) and performing events for all instances does nothing.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "world/room_live.h"

namespace kv {

struct GameResources;

// What entering and leaving a room needs from other subsystems; every hook is optional.
struct RoomHooks {
  std::function<void()> clearInput;        // input state, held keys included
  std::function<void()> clearEffects;      // particles of the effect functions
  std::function<void(CLiveRoom&)> setupRoomRegion;  // window and render size for the room
  std::function<void()> showWindow;        // first room only
  std::function<void()> prepareTransition; // captures the image before leaving
  // After entering, when no room change is pending: draw the room, play the transition, begin the next scene
  // (only when automatic drawing is on — the hook decides).
  std::function<void()> drawAfterEnter;
};
void SetRoomHooks(RoomHooks hooks);

// The last instance and tile ids from the rooms section; called once when a game is loaded (a restart keeps the
// ids going).
void InitRoomIds(const GameResources& res);
// Prepares the rooms for a (re)started game on res: every live-state slot empty, carry list empty, no current room.
void StartRooms(GameResources& res);
// Frees every live state and the carry list: the "no room" state.
void FreeRooms();

CLiveRoom* CurrentRoom();
int CurrentRoomIndex();  // -1 when there is no room
int LastInstanceId();
int LastTileId();
int& LastTileIdRef();
// The live state of room r, or null when it is not live.
CLiveRoom* LiveRoom(int r);

// Enters room r (first only when the game starts): reuse or create its live state, bring the carried persistent
// instances in, run instance creation codes and create events, game start, the room creation code and room start.
void EnterRoom(int r, bool first);
// Leaves the current room: removes Deleted instances, runs room end (and game end), carries the persistent
// instances, frees the live state of a non-persistent room.
void LeaveRoom(bool gameEnd);

// A new instance of object at x, y in the current room with the next instance id (no event runs); null without a
// room.
CInstance* AddRoomInstance(int object, double x, double y);

// ---- performing events ----
// Runs the event of object's chain for (self, other) with the event information set for its run. Nothing when a
// room change is pending or no event is found.
void PerformEvent(CInstance* self, CInstance* other, int object, int type, int subtype);
// PerformEvent(inst, other, inst->object_index, ...); nothing for a null instance.
void PerformEventFor(CInstance* inst, CInstance* other, int type, int subtype);
// For every active instance of the current room (count taken at the start) that is not Deleted (nor deactivated)
// when reached: PerformEventFor(inst, inst, ...).
void PerformEventForAll(int type, int subtype);

}  // namespace kv
