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

namespace world_detail {
inline CLiveRoom* g_currentRoom = nullptr;  // the room being played (set only by world_rooms.cpp)
}  // namespace world_detail
// Inline: every per-instance loop re-checks it after each event.
inline CLiveRoom* CurrentRoom() { return world_detail::g_currentRoom; }
int CurrentRoomIndex();  // -1 when there is no room
int LastInstanceId();
// Consumes the next instance id (last instance id + 1) for an instance stored in a room resource.
int TakeNextInstanceId();
int LastTileId();
int& LastTileIdRef();
// The live state of room r, or null when it is not live.
CLiveRoom* LiveRoom(int r);
int LiveRoomSlots();
// Replaces every live state at once (a loaded saved game): the old states and the carry list are freed, the
// current room becomes live[current] (null when out of range), the ids take the given values and the room
// region is set up again. No event runs.
void ReplaceRooms(std::vector<std::unique_ptr<CLiveRoom>> live, int current, int lastInstanceId, int lastTileId);

// Enters room r (first only when the game starts): reuse or create its live state, bring the carried persistent
// instances in, run instance creation codes and create events, game start, the room creation code and room start.
void EnterRoom(int r, bool first);
// Leaves the current room: removes Deleted instances, runs room end (and game end), carries the persistent
// instances, frees the live state of a non-persistent room.
void LeaveRoom(bool gameEnd);

// A new instance of object at x, y in the current room with the next instance id (no event runs); null without a
// room.
CInstance* AddRoomInstance(int object, double x, double y);

// ---- instance commands ----
// A new instance in the current room whose create event runs at once; null without a room.
CInstance* CreateInstance(int object, double x, double y);
// A copy of self with every field but a new id, appended to the room; its create event runs when asked.
CInstance* CopyInstance(CInstance* self, bool performEvent);
// Runs the destroy event, then marks the instance Deleted (it stays listed until the end of the step). Destroying
// an instance that is already Deleted, or again from inside its own destroy event, does nothing.
void DestroyInstance(CInstance* inst);
// Turns the instance into one of another object: with events, the old destroy event runs first; a new instance
// (next instance id consumed) takes every field of the old one, its id included, then the new object's sprite,
// mask, depth and flags; the old one is marked Deleted; with events, the new create event runs. Returns the new
// instance (null without a room or for a Deleted instance).
CInstance* ChangeInstance(CInstance* inst, int object, bool performEvents);

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
