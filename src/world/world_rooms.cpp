#include "world/world_rooms.h"

#include "actions/function_action.h"
#include "code/code_code.h"
#include "code/code_error.h"
#include "code/code_exec.h"
#include "world/event_cache.h"
#include "world/world_state.h"

namespace kv {

namespace {

struct Rooms {
  std::vector<std::unique_ptr<CLiveRoom>> live;  // one slot per room resource index
  int currentIndex = -1;
  CLiveRoom* current = nullptr;
  int lastInstanceId = 100000;
  int lastTileId = 10000000;
  std::vector<std::unique_ptr<CInstance>> carry;
  RoomHooks hooks;
};
Rooms g_rooms;

void SetCurrent(int index, CLiveRoom* room) {
  g_rooms.currentIndex = index;
  g_rooms.current = room;
  world_detail::g_currentRoom = room;
  SetCodeWorld(room);
}

// Compiles and runs a piece of room code with self = other = inst; a compile failure is reported (non-fatal).
void RunRoomCode(const std::string& text, CInstance* inst, const char* failurePrefix) {
  CCode code(text, false);
  if (!code.Compile()) {
    std::string msg = std::string(failurePrefix) + "\r" + PendingMessage();
    ClearErrorPending();
    ReportError(msg, false);
    return;
  }
  RValue result;
  RunProgram(inst, inst, &code, result);
}

}  // namespace

void SetRoomHooks(RoomHooks hooks) { g_rooms.hooks = std::move(hooks); }

void InitRoomIds(const GameResources& res) {
  g_rooms.lastInstanceId = res.lastInstanceId;
  g_rooms.lastTileId = res.lastTileId;
}

void StartRooms(GameResources& res) {
  FreeRooms();
  g_rooms.live.resize(res.rooms.Count());
}

void FreeRooms() {
  SetCurrent(-1, nullptr);
  g_rooms.live.clear();
  g_rooms.carry.clear();
}

int CurrentRoomIndex() { return g_rooms.currentIndex; }
int LastInstanceId() { return g_rooms.lastInstanceId; }
int TakeNextInstanceId() { return ++g_rooms.lastInstanceId; }
int LastTileId() { return g_rooms.lastTileId; }
int& LastTileIdRef() { return g_rooms.lastTileId; }

CLiveRoom* LiveRoom(int r) {
  return r >= 0 && r < static_cast<int>(g_rooms.live.size()) ? g_rooms.live[r].get() : nullptr;
}

int LiveRoomSlots() { return static_cast<int>(g_rooms.live.size()); }

void ReplaceRooms(std::vector<std::unique_ptr<CLiveRoom>> live, int current, int lastInstanceId, int lastTileId) {
  SetCurrent(-1, nullptr);
  g_rooms.carry.clear();
  g_rooms.live = std::move(live);
  g_rooms.lastInstanceId = lastInstanceId;
  g_rooms.lastTileId = lastTileId;
  CLiveRoom* room = LiveRoom(current);
  SetCurrent(room ? current : -1, room);
  if (room && g_rooms.hooks.setupRoomRegion) g_rooms.hooks.setupRoomRegion(*room);
}

CInstance* AddRoomInstance(int object, double x, double y) {
  if (!g_rooms.current) return nullptr;
  return g_rooms.current->AddInstance(++g_rooms.lastInstanceId, object, x, y);
}

void EnterRoom(int r, bool first) {
  GameResources* res = WorldResources();
  const CRoom* resource = res ? res->rooms.Get(r) : nullptr;
  if (!resource) return;  // room requests check existence; nothing to enter
  SetPendingRoomChange(kNoRoomChange);
  const RoomHooks& hooks = g_rooms.hooks;
  if (hooks.clearInput) hooks.clearInput();
  if (hooks.clearEffects) hooks.clearEffects();

  if (static_cast<size_t>(r) >= g_rooms.live.size()) g_rooms.live.resize(r + 1);
  const bool existing = g_rooms.live[r] != nullptr;
  if (!existing) g_rooms.live[r] = CLiveRoom::FromResource(*resource);
  CLiveRoom* room = g_rooms.live[r].get();
  SetCurrent(r, room);

  if (hooks.setupRoomRegion) hooks.setupRoomRegion(*room);
  if (first && hooks.showWindow) hooks.showWindow();

  // The room's own instances are those present before the carried ones arrive.
  const int ownCount = room->ActiveCount();
  std::vector<std::unique_ptr<CInstance>> carry = std::move(g_rooms.carry);
  g_rooms.carry.clear();
  for (auto& carried : carry) {
    for (int i = 0; i < room->ActiveCount(); ++i)
      if (room->ActiveAt(i)->id == carried->id) CLiveRoom::MarkDeleted(room->ActiveAt(i));
    for (int i = 0; i < room->DeactivatedCount(); ++i)
      if (room->DeactivatedAt(i)->id == carried->id) CLiveRoom::MarkDeleted(room->DeactivatedAt(i));
    // The arrival takes the next instance id like any new instance, then every field of the carried copy, its
    // id included.
    ++g_rooms.lastInstanceId;
    room->Adopt(std::move(carried));
  }
  carry.clear();

  if (!existing) {
    for (int i = 0; i < ownCount && i < room->ActiveCount(); ++i) {
      CInstance* inst = room->ActiveAt(i);
      if (inst->deleted) continue;
      if (!inst->creationCode.empty())
        RunRoomCode(inst->creationCode, inst, "COMPILATION ERROR in initialization code for instance");
      PerformEventFor(inst, inst, kEventCreate, 0);
    }
  }

  if (first) PerformEventForAll(kEventOther, kOtherGameStart);

  if (!existing && !room->props.creationCode.empty()) {
    CInstance temp(0, 0, 0, 0);
    RunRoomCode(room->props.creationCode, &temp, "COMPILATION ERROR in room script");
  }

  PerformEventForAll(kEventOther, kOtherRoomStart);

  if (!RoomChangePending() && hooks.drawAfterEnter) hooks.drawAfterEnter();
}

void LeaveRoom(bool gameEnd) {
  CLiveRoom* room = g_rooms.current;
  if (!room) return;
  const RoomHooks& hooks = g_rooms.hooks;
  if (hooks.prepareTransition) hooks.prepareTransition();
  room->RemoveDeleted();

  // The end events run even though a room change is pending; the pending code comes back afterwards.
  const int pending = PendingRoomChange();
  SetPendingRoomChange(kNoRoomChange);
  PerformEventForAll(kEventOther, kOtherRoomEnd);
  if (gameEnd) PerformEventForAll(kEventOther, kOtherGameEnd);
  SetPendingRoomChange(pending);

  g_rooms.carry.clear();
  for (int i = 0; i < room->ActiveCount(); ++i) {
    CInstance* inst = room->ActiveAt(i);
    if (inst->deleted || !inst->persistent) continue;
    auto copy = std::make_unique<CInstance>(inst->id, inst->objectIndex, inst->x, inst->y);
    copy->CopyFrom(*inst);
    g_rooms.carry.push_back(std::move(copy));
    CLiveRoom::MarkDeleted(inst);
  }

  const int index = g_rooms.currentIndex;
  if (!room->props.persistent) {
    SetCurrent(-1, nullptr);
    g_rooms.live[index].reset();
  } else {
    SetCurrent(-1, nullptr);
  }
}

// ---- instance commands ----

CInstance* CreateInstance(int object, double x, double y) {
  if (!WorldObject(object)) {
    ReportRuntimeError("Creating instance for non-existing object: " + std::to_string(object));
    return nullptr;
  }
  CInstance* inst = AddRoomInstance(object, x, y);
  if (inst) PerformEventFor(inst, inst, kEventCreate, 0);
  return inst;
}

CInstance* CopyInstance(CInstance* self, bool performEvent) {
  CLiveRoom* room = g_rooms.current;
  if (!room || !self) return nullptr;
  const int id = ++g_rooms.lastInstanceId;
  auto copy = std::make_unique<CInstance>();
  copy->CopyFrom(*self);
  copy->id = id;
  CInstance* result = room->Adopt(std::move(copy));
  if (performEvent) PerformEventFor(result, result, kEventCreate, 0);
  return result;
}

void DestroyInstance(CInstance* inst) {
  if (!inst || inst->deleted || inst->destroying) return;
  inst->destroying = true;
  PerformEventFor(inst, inst, kEventDestroy, 0);
  inst->destroying = false;
  CLiveRoom::MarkDeleted(inst);
}

CInstance* ChangeInstance(CInstance* inst, int object, bool performEvents) {
  CLiveRoom* room = g_rooms.current;
  if (!WorldObject(object)) {
    ReportRuntimeError("Asking to change into non-existing object: " + std::to_string(object));
    return nullptr;
  }
  if (!room || !inst || inst->deleted) return nullptr;
  if (performEvents) {
    inst->destroying = true;
    PerformEventFor(inst, inst, kEventDestroy, 0);
    inst->destroying = false;
    if (g_rooms.current != room || inst->deleted) return nullptr;
  }
  ++g_rooms.lastInstanceId;
  auto changed = std::make_unique<CInstance>();
  changed->CopyFrom(*inst);
  changed->SetObject(object);
  CLiveRoom::MarkDeleted(inst);
  CInstance* result = room->Adopt(std::move(changed));
  if (performEvents) PerformEventFor(result, result, kEventCreate, 0);
  return result;
}

// ---- performing events ----

void PerformEvent(CInstance* self, CInstance* other, int object, int type, int subtype) {
  if (RoomChangePending()) return;
  const FoundEvent found = LookupEvent(object, type, subtype);
  if (!found) return;
  ActionContextScope scope(found.definingObject, type, subtype);
  RunActionList(self, other, *found.event);
}

void PerformEventFor(CInstance* inst, CInstance* other, int type, int subtype) {
  if (!inst || RoomChangePending()) return;
  PerformEvent(inst, other, inst->objectIndex, type, subtype);
}

void PerformEventForAll(int type, int subtype) {
  CLiveRoom* room = g_rooms.current;
  if (!room || RoomChangePending()) return;
  const int count = room->ActiveCount();
  for (int i = 0; i < count; ++i) {
    // The event may leave the room (a room change ends the loop) or reorder it; re-read and bounds-check.
    if (g_rooms.current != room || RoomChangePending() || i >= room->ActiveCount()) return;
    CInstance* inst = room->ActiveAt(i);
    if (inst->deleted || inst->deactivated) continue;
    PerformEventFor(inst, inst, type, subtype);
  }
}

}  // namespace kv
