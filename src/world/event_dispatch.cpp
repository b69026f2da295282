#include "world/event_dispatch.h"

#include <array>

#include "actions/function_action.h"
#include "input/io_main.h"
#include "world/collision_grid.h"
#include "world/event_cache.h"
#include "world/instance_class.h"
#include "world/object_class.h"
#include "world/path_follow.h"
#include "world/room_live.h"
#include "world/world_rooms.h"
#include "world/world_state.h"
#include "world/event_table.h"

namespace kv {

namespace {

struct DispatchTables {
  std::array<std::vector<std::vector<int>>, CObject::kEventTypeCount> lists;
  std::vector<std::pair<int, int>> collisionPairs;
};

DispatchTables& Tables() {
  static DispatchTables tables;
  return tables;
}

const std::vector<int> kEmpty;

DispatchInputHooks& Hooks() {
  static DispatchInputHooks hooks;
  return hooks;
}

bool HasShape(const CInstance& inst) {
  GameResources* res = WorldResources();
  if (!res) return false;
  return res->sprites.Exists(inst.spriteIndex) || res->sprites.Exists(inst.maskIndex);
}

// The instances of one object's exact list, count taken at the start, each not Deleted when reached.
template <class Fn>
void ForEachExact(CLiveRoom* room, int object, Fn&& fn) {
  const int count = room->ExactCount(object);
  for (int i = 0; i < count; ++i) {
    if (CurrentRoom() != room || RoomChangePending()) return;
    CInstance* inst = room->ExactAt(object, i);
    if (!inst || inst->deleted || inst->deactivated) continue;
    fn(inst);
  }
}

// Per-object dispatch where the instance receives the event only when pred(inst) holds. Every instance of an exact
// list has that object, so the event is looked up once per object (again only if events or parents changed
// meanwhile, which rebuilds the dispatch lists) and run as PerformEventFor would run it.
template <class Pred>
void DispatchWhere(int type, int subtype, Pred&& pred) {
  CLiveRoom* room = CurrentRoom();
  if (!room || RoomChangePending()) return;
  for (int object : DispatchList(type, subtype)) {
    uint32_t tree = ObjectTreeGeneration();
    FoundEvent found = LookupEvent(object, type, subtype);
    // The action context is the event's for the whole walk (each run sets only the action index) and the
    // caller's again afterwards, also when a fault passes through.
    ActionContextScope scope(found ? found.definingObject : -1, type, subtype);
    ForEachExact(room, object, [&](CInstance* inst) {
      if (!pred(*inst)) return;
      if (tree != ObjectTreeGeneration() || inst->objectIndex != object) {
        PerformEventFor(inst, inst, type, subtype);
        tree = ObjectTreeGeneration();
        found = LookupEvent(object, type, subtype);
        if (found) CurrentActionContext() = {found.definingObject, type, subtype, 0};
        return;
      }
      if (!found) return;
      RunActionList(inst, inst, *found.event);
    });
    if (RoomChangePending()) return;
  }
}

void GoBack(CInstance& inst) {
  inst.SetPosition(inst.xPrevious, inst.yPrevious);
  inst.pathPosition = inst.pathPositionPrevious;
}

}  // namespace

DispatchInputHooks& DispatchHooks() { return Hooks(); }

void BuildDispatchLists() {
  DispatchTables& t = Tables();
  InvalidateEventCache();
  NoteObjectTreeChange();  // parents may have changed: family lists split by object only after a rebuild
  const int objects = WorldObjectCount();
  for (int type = 0; type < CObject::kEventTypeCount; ++type) {
    t.lists[type].assign(kEventTypes[type].loopSubtypes, {});
    for (int sub = 0; sub < kEventTypes[type].loopSubtypes; ++sub) {
      for (int o = 0; o < objects; ++o) {
        if (WorldObject(o) && LookupEvent(o, type, sub)) t.lists[type][sub].push_back(o);
      }
    }
  }
  t.collisionPairs.clear();
  for (int a = 0; a < objects; ++a) {
    if (!WorldObject(a)) continue;
    for (int b = 0; b < objects; ++b) {
      if (WorldObject(b) && LookupEvent(a, kEventCollision, b)) t.collisionPairs.emplace_back(a, b);
    }
  }
}

const std::vector<int>& DispatchList(int type, int subtype) {
  const DispatchTables& t = Tables();
  if (type < 0 || type >= CObject::kEventTypeCount) return kEmpty;
  const auto& lists = t.lists[type];
  return subtype >= 0 && subtype < static_cast<int>(lists.size()) ? lists[subtype] : kEmpty;
}

void DispatchPerObject(int type, int subtype) {
  DispatchWhere(type, subtype, [](const CInstance&) { return true; });
}

void DispatchStep(int subtype) { DispatchPerObject(kEventStep, subtype); }

void DispatchAlarms() {
  CLiveRoom* room = CurrentRoom();
  if (!room) return;
  for (int a = 0; a < kAlarmCount && !RoomChangePending(); ++a) {
    for (int object : DispatchList(kEventAlarm, a)) {
      ForEachExact(room, object, [&](CInstance* inst) {
        if (inst->alarm[a] >= 0) inst->alarm[a] -= 1;
        if (inst->alarm[a] == 0) PerformEventFor(inst, inst, kEventAlarm, a);
      });
      if (RoomChangePending()) return;
    }
  }
}

void DispatchKeyboard() {
  struct KeyPhase {
    int type;
    bool (*qualifies)(int);
  };
  static const KeyPhase kPhases[] = {
      {kEventKeyboard, [](int k) { return input::KeyDown(k) || input::KeyPressed(k); }},
      {kEventKeyPress, [](int k) { return input::KeyPressed(k); }},
      {kEventKeyRelease, [](int k) { return input::KeyReleased(k); }},
  };
  for (const KeyPhase& phase : kPhases) {
    bool any = false;
    // Codes above 128 have no dispatch lists, so only their "any key" effect remains.
    for (int k = 8; k <= 255; ++k) {
      if (!phase.qualifies(k)) continue;
      any = true;
      DispatchPerObject(phase.type, k);
      if (RoomChangePending()) return;
    }
    DispatchPerObject(phase.type, any ? 1 : 0);
    if (RoomChangePending()) return;
  }
}

void DispatchJoysticks() {
  if (!Hooks().readJoystick) return;
  for (int j = 1; j <= 2; ++j) {
    std::optional<JoystickState> s = Hooks().readJoystick(j);
    if (!s) continue;
    const int base = j == 1 ? 16 : 31;  // left, right, up, down, then buttons 1 ... 8 from base + 5
    const bool dirs[4] = {s->x < 20000, s->x > 44000, s->y < 20000, s->y > 44000};
    for (int d = 0; d < 4; ++d) {
      if (dirs[d]) DispatchPerObject(kEventMouse, base + d);
    }
    for (int b = 0; b < 8; ++b) {
      if (s->buttons & (1u << b)) DispatchPerObject(kEventMouse, base + 5 + b);
    }
    if (RoomChangePending()) return;
  }
}

void DispatchMouse() {
  static double prevX = 0, prevY = 0;
  double mx = input::MouseClientX(), my = input::MouseClientY();
  if (Hooks().mouseRoomPosition) Hooks().mouseRoomPosition(mx, my);
  auto under = [&](const CInstance& inst) { return inst.CollidesPoint(mx, my, true); };
  auto all = [](const CInstance&) { return true; };

  bool anyButton = false;
  for (int b = 1; b <= 3; ++b) {
    if (!input::ButtonDown(b) && !input::ButtonPressed(b)) continue;
    anyButton = true;
    DispatchWhere(kEventMouse, b - 1, under);
    DispatchWhere(kEventMouse, 49 + b, all);
  }
  if (!anyButton) DispatchWhere(kEventMouse, 3, under);
  for (int b = 1; b <= 3; ++b) {
    if (!input::ButtonPressed(b)) continue;
    DispatchWhere(kEventMouse, b + 3, under);
    DispatchWhere(kEventMouse, 12, all);
    DispatchWhere(kEventMouse, 52 + b, all);
  }
  for (int b = 1; b <= 3; ++b) {
    if (!input::ButtonReleased(b)) continue;
    DispatchWhere(kEventMouse, b + 6, under);
    DispatchWhere(kEventMouse, 13, all);
    DispatchWhere(kEventMouse, 55 + b, all);
  }
  const double px = prevX, py = prevY;
  DispatchWhere(kEventMouse, 10, [&](const CInstance& i) { return under(i) && !i.CollidesPoint(px, py, true); });
  DispatchWhere(kEventMouse, 11, [&](const CInstance& i) { return !under(i) && i.CollidesPoint(px, py, true); });
  if (input::WheelUp()) DispatchWhere(kEventMouse, 60, all);
  if (input::WheelDown()) DispatchWhere(kEventMouse, 61, all);
  prevX = mx;
  prevY = my;
}

void DispatchBoundaryEvents() {
  CLiveRoom* room = CurrentRoom();
  if (!room) return;
  const double w = room->props.width, h = room->props.height;
  auto pointIn = [](const CInstance& i, double l, double t, double r, double b) {
    return l <= i.x && i.x <= r && t <= i.y && i.y <= b;
  };
  DispatchWhere(kEventOther, kOtherOutside, [&](const CInstance& i) {
    if (!HasShape(i)) return !pointIn(i, 0, 0, w, h);
    return !(i.bboxRight >= 0 && i.bboxLeft <= w && i.bboxBottom >= 0 && i.bboxTop <= h);
  });
  DispatchWhere(kEventOther, kOtherBoundary, [&](const CInstance& i) {
    if (!HasShape(i)) return !pointIn(i, 0, 0, w, h);
    return !(i.bboxLeft >= 0 && i.bboxRight <= w && i.bboxTop >= 0 && i.bboxBottom <= h);
  });
  if (!room->props.viewsEnabled) return;
  for (int v = 0; v < 8 && !RoomChangePending(); ++v) {
    const CView& view = room->props.views[v];
    if (!view.visible) continue;
    const double l = view.xView, r = view.xView + view.wView, t = view.yView, b = view.yView + view.hView;
    DispatchWhere(kEventOther, 40 + v, [&](const CInstance& i) {
      if (!HasShape(i)) return !pointIn(i, l, t, r, b);
      return i.bboxRight < l || i.bboxLeft > r || i.bboxBottom < t || i.bboxTop > b;
    });
    DispatchWhere(kEventOther, 50 + v, [&](const CInstance& i) {
      if (!HasShape(i)) return !pointIn(i, l, t, r, b);
      return !(i.bboxLeft >= l && i.bboxRight <= r && i.bboxTop >= t && i.bboxBottom <= b);
    });
  }
}

namespace {

// Why an inner collision loop stopped early.
enum class InnerEnd { kDone, kStopPhase };

// One colliding couple: solids go back, both events run, solids move on and go back if still colliding.
void CollideCouple(CInstance* i, CInstance* j) {
  if (i->solid || j->solid) {
    GoBack(*i);
    GoBack(*j);
  }
  PerformEventFor(i, j, kEventCollision, j->objectIndex);
  // A partner deactivated by the first event is out of the game: it gets no event of its own.
  if (!j->deactivated) PerformEventFor(j, i, kEventCollision, i->objectIndex);
  if (i->solid || j->solid) {
    for (CInstance* k : {i, j}) {
      FollowPath(*k);
      k->SetPosition(k->x + k->hSpeed, k->y + k->vSpeed);
    }
    if (i->CollidesInstance(*j, true)) {
      GoBack(*i);
      GoBack(*j);
    }
  }
}

// i against b's exact list from position `from` up to the count taken at the start of i's loop.
InnerEnd CollideWithListFrom(CLiveRoom* room, CInstance* i, int b, int from, int countB) {
  for (int jb = from; jb < countB; ++jb) {
    if (RoomChangePending()) return InnerEnd::kStopPhase;
    CInstance* j = room->ExactAt(b, jb);
    if (!j || j->deactivated || !i->CollidesInstance(*j, true)) continue;
    CollideCouple(i, j);
    if (i->deleted || i->deactivated) break;
  }
  return InnerEnd::kDone;
}

// The same walk with the candidates taken from b's grid: positions whose boxes overlap i's, in list order; every
// other position fails the box test, so skipping it changes nothing. When an event moves anything or rebuilds the
// lists, the rest of the walk asks again (or goes on by plain positions), so the outcome stays that of the plain
// walk.
InnerEnd CollideWithGrid(CLiveRoom* room, CInstance* i, int b, int countB) {
  static std::vector<int32_t> candidates;
  int from = 0;
  while (from < countB) {
    const ObjectGrid* grid = room->Grid(b);
    if (!grid) return CollideWithListFrom(room, i, b, from, countB);
    candidates.clear();
    grid->Query(BoxOf(*i), candidates);
    const uint64_t moves = BoxChangeCount(), lists = room->ListEpoch();
    bool askAgain = false;
    for (const int32_t pos : candidates) {
      if (pos < from) continue;
      if (pos >= countB) break;
      if (RoomChangePending()) return InnerEnd::kStopPhase;
      CInstance* j = room->ExactAt(b, pos);
      from = pos + 1;
      if (!j || j->deactivated || !i->CollidesInstance(*j, true)) continue;
      CollideCouple(i, j);
      if (i->deleted || i->deactivated) return InnerEnd::kDone;
      if (room->ListEpoch() != lists) return CollideWithListFrom(room, i, b, from, countB);
      if (BoxChangeCount() != moves) {
        askAgain = true;
        break;
      }
    }
    if (!askAgain) break;
  }
  return InnerEnd::kDone;
}

}  // namespace

void DispatchCollisions() {
  CLiveRoom* room = CurrentRoom();
  if (!room || RoomChangePending()) return;
  for (const auto& [a, b] : Tables().collisionPairs) {
    const int countA = room->ExactCount(a);
    // Few pairs to test: the plain double loop is cheapest.
    const bool indexed = int64_t{countA} * room->ExactCount(b) > 256;
    for (int ia = 0; ia < countA; ++ia) {
      if (CurrentRoom() != room || RoomChangePending()) return;
      CInstance* i = room->ExactAt(a, ia);
      if (!i || i->deleted || i->deactivated) continue;
      const int countB = room->ExactCount(b);
      const InnerEnd end =
          indexed ? CollideWithGrid(room, i, b, countB) : CollideWithListFrom(room, i, b, 0, countB);
      if (end == InnerEnd::kStopPhase) return;
    }
  }
}

}  // namespace kv
