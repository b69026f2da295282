#include "world/function_game.h"

#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_function.h"
#include "actions/function_action.h"
#include "code/code_variable.h"
#include "runner/game_data.h"
#include "world/collision_query.h"
#include "world/game_save.h"
#include "world/instance_class.h"
#include "world/object_class.h"
#include "world/room_live.h"
#include "world/run_main.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv {

namespace {

int Arg(const RValue& v) { return RoundToInt(v.Real()); }

const std::vector<int>* Order() {
  GameResources* res = WorldResources();
  return res ? &res->roomOrder : nullptr;
}

// ---- functions ----
void FnRoomGoto(RValue&, CInstance*, CInstance*, int, RValue* a) { RequestRoom(Arg(a[0])); }
bool IsFirstRoom(int room) {
  const auto* o = Order();
  return o && !o->empty() && o->front() == room;
}
bool IsLastRoom(int room) {
  const auto* o = Order();
  return o && !o->empty() && o->back() == room;
}
// Walking off either end of the room order is fatal: the game ends after the step.
void EndForRoomOrder(const char* message) {
  ReportRuntimeError(message, true);
  SetPendingRoomChange(kPendingErrorEnd);
}
void FnRoomGotoNext(RValue&, CInstance*, CInstance*, int, RValue*) {
  const int current = CurrentRoomIndex();
  if (IsLastRoom(current)) return EndForRoomOrder("Moving to next room after the last room.");
  RequestRoom(RoomNext(current));
}
void FnRoomGotoPrevious(RValue&, CInstance*, CInstance*, int, RValue*) {
  const int current = CurrentRoomIndex();
  if (IsFirstRoom(current)) return EndForRoomOrder("Moving to previous room before the first room.");
  RequestRoom(RoomPrevious(current));
}
void FnRoomRestart(RValue&, CInstance*, CInstance*, int, RValue*) { RequestRoom(CurrentRoomIndex()); }
bool RoomExists(int room) {
  GameResources* res = WorldResources();
  return res && res->rooms.Exists(room);
}
void FnRoomNext(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const int room = Arg(a[0]);
  r.SetReal(!RoomExists(room) || IsLastRoom(room) ? -1 : RoomNext(room));
}
void FnRoomPrevious(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const int room = Arg(a[0]);
  r.SetReal(!RoomExists(room) || IsFirstRoom(room) ? -1 : RoomPrevious(room));
}
void FnGameEnd(RValue&, CInstance*, CInstance*, int, RValue*) { RequestEnd(); }
void FnGameRestart(RValue&, CInstance*, CInstance*, int, RValue*) { RequestRestart(); }

// Game code passes the position first and the object last.
void FnInstanceCreate(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  CInstance* inst = CreateInstance(Arg(a[2]), a[0].Real(), a[1].Real());
  r.SetReal(inst ? inst->id : -4);
}
// Instances of the object and its descendants that are not destroyed; all instances for `all`; 1 or 0 for an
// instance id, for self (-1) and for other (-2).
void FnInstanceNumber(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  const CLiveRoom* room = CurrentRoom();
  const int obj = Arg(a[0]);
  int n = 0;
  if (obj == -1 || obj == -2) {
    const CInstance* inst = obj == -1 ? self : other;
    n = inst && !inst->deleted ? 1 : 0;
  } else if (room) {
    n = CountSelection(*room, obj);
  }
  r.SetReal(n);
}
// ---- instance commands ----
void FnInstanceCopy(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  CInstance* copy = self ? CopyInstance(self, a[0].Real() >= 0.5) : nullptr;
  r.SetReal(copy ? copy->id : -4);
}
void FnInstanceSprite(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  const int sprite = Arg(a[0]);
  if (!WorldSprite(sprite))
    return ReportRuntimeError("Setting instance to non-existing sprite: " + std::to_string(sprite));
  if (self) self->SetSprite(sprite);
}
void FnInstanceChange(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) ChangeInstance(self, Arg(a[0]), a[1].Real() >= 0.5);
}

// ---- events ----
// Runs the event of the parent of the object that defined the running event, so a parent's event never runs
// twice however deep the chain.
void FnEventInherited(RValue&, CInstance* self, CInstance* other, int, RValue*) {
  const ActionContext ctx = CurrentActionContext();
  GameResources* res = WorldResources();
  if (!res || !self || ctx.eventType == kTimeLineEventType) return;
  const int parent = ParentOf(res->objects, ctx.object);
  if (parent >= 0) PerformEvent(self, other, parent, ctx.eventType, ctx.eventNumber);
}
void FnEventPerform(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  if (self) PerformEvent(self, other, self->objectIndex, Arg(a[0]), Arg(a[1]));
}
void FnEventPerformObject(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  if (self) PerformEvent(self, other, Arg(a[0]), Arg(a[1]), Arg(a[2]));
}
void FnEventUser(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  const int n = Arg(a[0]);
  if (self && n >= 0 && n <= 15) PerformEvent(self, other, self->objectIndex, kEventOther, kOtherUser0 + n);
}

// ---- collisions and motion ----
// True when self placed at (x, y) meets a non-deleted instance selected by obj (never itself); obj -1 and -2 stand
// for the ids of self and other. Self is tested with its shape at (x, y) and stays where it is; like putting it
// there and back, a test elsewhere leaves its bounding box freshly computed.
bool PlaceMeeting(CInstance* self, CInstance* other, double x, double y, int obj) {
  CLiveRoom* room = CurrentRoom();
  if (!room || !self) return false;
  if (obj == -1) obj = self->id;
  else if (obj == -2) obj = other ? other->id : -4;
  const bool moved = !(x == self->x && y == self->y);
  const CInstance::TrialShape shape =
      moved ? self->ShapeAt(x, y)
            : CInstance::TrialShape{x, y, {self->bboxLeft, self->bboxTop, self->bboxRight, self->bboxBottom},
                                    self->precise};
  const bool hit = MeetsSelection(*room, *self, shape, obj);
  if (moved) self->ComputeBoundingBox();
  return hit;
}
void FnPlaceMeeting(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  r.SetReal(PlaceMeeting(self, other, a[0].Real(), a[1].Real(), Arg(a[2])) ? 1 : 0);
}
// Leaving the room by more than margin on one side brings the instance in on the other.
void FnMoveWrap(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  const CLiveRoom* room = CurrentRoom();
  if (!room || !self) return;
  const double margin = a[2].Real();
  double x = self->x, y = self->y;
  if (a[0].Real() >= 0.5) {
    const double w = room->props.width;
    if (x < -margin) x += w + 2 * margin;
    else if (x > w + margin) x -= w + 2 * margin;
  }
  if (a[1].Real() >= 0.5) {
    const double h = room->props.height;
    if (y < -margin) y += h + 2 * margin;
    else if (y > h + margin) y -= h + 2 * margin;
  }
  if (x != self->x || y != self->y) self->SetPosition(x, y);
}

// A failed save is an error of the running action (F5 saves outside any action through SaveGameNow).
void FnGameSave(RValue&, CInstance*, CInstance*, int, RValue* a) {
  std::string error;
  if (!SaveGame(std::string(a[0].Str()), Game().gameId, Game().secureMode, error)) ReportRuntimeError(error);
}
void FnGameLoad(RValue&, CInstance*, CInstance*, int, RValue* a) { RequestLoad(std::string(a[0].Str())); }
void FnInstanceDestroy(RValue&, CInstance* self, CInstance*, int, RValue*) { DestroyInstance(self); }

// ---- global variables ----
bool ReadScore(CInstance*, int64_t, RValue& out) { out = RValue(double(Game().score)); return true; }
bool WriteScore(CInstance*, int64_t, const RValue& v) { Game().score = RoundToInt32Wrap(v.Real()); return true; }
bool ReadLives(CInstance*, int64_t, RValue& out) { out = RValue(double(Game().lives)); return true; }
bool WriteLives(CInstance*, int64_t, const RValue& v) {
  const int32_t old = Game().lives;
  Game().lives = RoundToInt32Wrap(v.Real());
  if (old > 0 && Game().lives <= 0) PerformEventForAll(kEventOther, kOtherNoMoreLives);
  return true;
}
bool ReadHealth(CInstance*, int64_t, RValue& out) { out = RValue(Game().health); return true; }
bool WriteHealth(CInstance*, int64_t, const RValue& v) {
  const double old = Game().health;
  Game().health = v.Real();
  if (old > 0 && Game().health <= 0) PerformEventForAll(kEventOther, kOtherNoMoreHealth);
  return true;
}
bool ReadCurrentTime(CInstance*, int64_t, RValue& out) { out = RValue(double(CurrentTimeMillis())); return true; }
bool ReadFps(CInstance*, int64_t, RValue& out) { out = RValue(double(Game().fps)); return true; }
bool ReadRoom(CInstance*, int64_t, RValue& out) { out = RValue(double(CurrentRoomIndex())); return true; }
bool WriteRoom(CInstance*, int64_t, const RValue& v) { RequestRoom(RoundToInt(v.Real())); return true; }
bool ReadRoomFirst(CInstance*, int64_t, RValue& out) {
  const auto* o = Order();
  out = RValue(o && !o->empty() ? double(o->front()) : -1.0);
  return true;
}
bool ReadRoomLast(CInstance*, int64_t, RValue& out) {
  const auto* o = Order();
  out = RValue(o && !o->empty() ? double(o->back()) : -1.0);
  return true;
}
bool ReadRoomSpeed(CInstance*, int64_t, RValue& out) {
  const CLiveRoom* r = CurrentRoom();
  out = RValue(r ? double(r->props.speed) : 0.0);
  return true;
}
// A speed of 0 or less would stop the loop: refused, and the assignment fails too.
bool WriteRoomSpeed(CInstance*, int64_t, const RValue& v) {
  const int32_t speed = RoundToInt32Wrap(v.Real());
  if (speed <= 0) {
    ReportRuntimeError("Trying to set the room speed to a value <= 0.");
    return false;
  }
  if (CLiveRoom* r = CurrentRoom()) r->props.speed = speed;
  return true;
}
bool ReadRoomWidth(CInstance*, int64_t, RValue& out) {
  const CLiveRoom* r = CurrentRoom();
  out = RValue(r ? double(r->props.width) : 0.0);
  return true;
}
bool ReadRoomHeight(CInstance*, int64_t, RValue& out) {
  const CLiveRoom* r = CurrentRoom();
  out = RValue(r ? double(r->props.height) : 0.0);
  return true;
}
bool ReadRoomCaption(CInstance*, int64_t, RValue& out) {
  const CLiveRoom* r = CurrentRoom();
  out = RValue(r ? r->props.caption : std::string());
  return true;
}
bool WriteRoomCaption(CInstance*, int64_t, const RValue& v) {
  if (CLiveRoom* r = CurrentRoom()) r->props.caption = std::string(v.Str());
  return true;
}
bool ReadRoomPersistent(CInstance*, int64_t, RValue& out) {
  const CLiveRoom* r = CurrentRoom();
  out = RValue(r && r->props.persistent ? 1.0 : 0.0);
  return true;
}
bool WriteRoomPersistent(CInstance*, int64_t, const RValue& v) {
  if (CLiveRoom* r = CurrentRoom()) r->props.persistent = RoundToInt64(v.Real()) >= 1;
  return true;
}

}  // namespace

// A room listed twice in the order: the next room follows its last listing, the previous room precedes its first.
// A room that is not listed gets the scan's last candidate: the second entry going on, the second-to-last going
// back.
int RoomNext(int room) {
  const auto* o = Order();
  if (!o || o->size() < 2) return -1;
  for (size_t i = o->size() - 1; i-- > 0;)
    if ((*o)[i] == room) return (*o)[i + 1];
  return (*o)[1];
}

int RoomPrevious(int room) {
  const auto* o = Order();
  if (!o || o->size() < 2) return -1;
  for (size_t i = 1; i < o->size(); ++i)
    if ((*o)[i] == room) return (*o)[i - 1];
  return (*o)[o->size() - 2];
}

void RegisterGameFunctions() {
  RegisterFunction("room_goto", FnRoomGoto, 1);
  RegisterFunction("room_goto_next", FnRoomGotoNext, 0);
  RegisterFunction("room_goto_previous", FnRoomGotoPrevious, 0);
  RegisterFunction("room_restart", FnRoomRestart, 0);
  RegisterFunction("room_next", FnRoomNext, 1);
  RegisterFunction("room_previous", FnRoomPrevious, 1);
  RegisterFunction("game_end", FnGameEnd, 0);
  RegisterFunction("game_restart", FnGameRestart, 0);
  RegisterFunction("game_save", FnGameSave, 1);
  RegisterFunction("game_load", FnGameLoad, 1);
  RegisterFunction("instance_create", FnInstanceCreate, 3);
  RegisterFunction("instance_destroy", FnInstanceDestroy, 0);
  RegisterFunction("instance_number", FnInstanceNumber, 1);
  RegisterFunction("instance_copy", FnInstanceCopy, 1);
  RegisterFunction("instance_change", FnInstanceChange, 2);
  RegisterFunction("instance_sprite", FnInstanceSprite, 1);
  RegisterFunction("event_inherited", FnEventInherited, 0);
  RegisterFunction("event_perform", FnEventPerform, 2);
  RegisterFunction("event_perform_object", FnEventPerformObject, 3);
  RegisterFunction("event_user", FnEventUser, 1);
  RegisterFunction("place_meeting", FnPlaceMeeting, 3);
  RegisterFunction("move_wrap", FnMoveWrap, 3);
  DescribeFunctions("Rooms", {
      {"room_goto", "numb", "Goes to room numb at the end of this step."},
      {"room_goto_next", "",
       "Goes to the next room of the room order; in the last room a fatal error ends the game (test room_next(room))."},
      {"room_goto_previous", "",
       "Goes to the previous room of the room order; in the first room a fatal error ends the game (test "
       "room_previous(room))."},
      {"room_restart", "", "Starts the current room again."},
      {"room_next", "numb", "The room after room numb in the room order, -1 when there is none."},
      {"room_previous", "numb", "The room before room numb in the room order, -1 when there is none."},
  });
  DescribeFunctions("Game", {
      {"game_end", "", "Ends the game at the end of this step."},
      {"game_restart", "", "Restarts the game from its first room."},
      {"game_save", "fname", "Saves the state of the game to the file fname."},
      {"game_load", "fname", "Loads the game saved in the file fname, after the current step."},
  });
  DescribeFunctions("Instances", {
      {"instance_create", "x, y, obj",
       "Creates an instance of object obj at (x, y), runs its create event and returns its id."},
      {"instance_destroy", "", "Destroys the current instance, after running its destroy event."},
      {"instance_number", "obj", "The number of instances of object obj."},
      {"instance_copy", "performevent",
       "Creates a copy of the current instance and returns its id; runs its create event when performevent is true."},
      {"instance_change", "obj, perf",
       "Turns the current instance into an instance of object obj, running the destroy and create events when perf "
       "is true."},
      {"instance_sprite", "spr", "Sets the sprite of the current instance to spr."},
  });
  DescribeFunctions("Events", {
      {"event_inherited", "", "Runs the same event of the parent object for the current instance."},
      {"event_perform", "type, numb", "Runs event type/numb of the current instance's object on it."},
      {"event_perform_object", "obj, type, numb", "Runs event type/numb of object obj on the current instance."},
      {"event_user", "numb", "Runs user event numb (0 to 15) of the current instance."},
  });
  DescribeFunctions("Movement and collisions", {
      {"place_meeting", "x, y, obj", "Whether the current instance placed at (x, y) would meet an instance of obj."},
      {"move_wrap", "hor, vert, margin",
       "Wraps the current instance to the other side when it has left the room by more than margin, horizontally "
       "and/or vertically."},
  });
}

void RegisterGameVariables() {
  RegisterBuiltinVariable("score", ReadScore, WriteScore);
  RegisterBuiltinVariable("lives", ReadLives, WriteLives);
  RegisterBuiltinVariable("health", ReadHealth, WriteHealth);
  RegisterBuiltinVariable("fps", ReadFps, nullptr);
  RegisterBuiltinVariable("current_time", ReadCurrentTime, nullptr);
  RegisterBuiltinVariable("room", ReadRoom, WriteRoom);
  RegisterBuiltinVariable("room_first", ReadRoomFirst, nullptr);
  RegisterBuiltinVariable("room_last", ReadRoomLast, nullptr);
  RegisterBuiltinVariable("room_speed", ReadRoomSpeed, WriteRoomSpeed);
  RegisterBuiltinVariable("room_width", ReadRoomWidth, nullptr);
  RegisterBuiltinVariable("room_height", ReadRoomHeight, nullptr);
  RegisterBuiltinVariable("room_caption", ReadRoomCaption, WriteRoomCaption);
  RegisterBuiltinVariable("room_persistent", ReadRoomPersistent, WriteRoomPersistent);
  DescribeVariables("Game", {
      {"score", "The score."},
      {"lives", "The number of lives; going to 0 or below runs the no-more-lives event."},
      {"health", "The health, normally 0 to 100; going to 0 or below runs the no-more-health event."},
      {"fps", "The number of steps run in the last second."},
      {"current_time", "Milliseconds since the system started."},
  });
  DescribeVariables("Rooms", {
      {"room", "The index of the current room; setting it goes to that room."},
      {"room_first", "The index of the first room of the game."},
      {"room_last", "The index of the last room of the game."},
      {"room_speed", "The steps per second of the current room."},
      {"room_width", "The width of the current room in pixels."},
      {"room_height", "The height of the current room in pixels."},
      {"room_caption", "The caption shown in the window for the current room."},
      {"room_persistent", "Whether the current room keeps its state when it is left."},
  });
}

}  // namespace kv
