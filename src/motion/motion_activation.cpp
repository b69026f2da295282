#include "motion/motion_activation.h"

#include "motion/motion_move.h"
#include "motion/motion_select.h"
#include "world/object_class.h"
#include "world/world_rooms.h"

namespace kv::motion {

namespace {

// Sets the mark of every instance of the list that pick chooses; moves the marked instances across when any
// mark changed.
template <class Pick>
void MarkActive(CLiveRoom& room, bool keepSelf, const CInstance* self, Pick&& pick) {
  bool changed = false;
  for (int k = 0; k < room.ActiveCount(); ++k) {
    CInstance* i = room.ActiveAt(k);
    if (i->deleted || i->deactivated || (keepSelf && i == self) || !pick(*i)) continue;
    i->deactivated = true;
    changed = true;
  }
  if (changed) room.UpdateDeactivation();
}

template <class Pick>
void MarkDeactivated(CLiveRoom& room, Pick&& pick) {
  bool changed = false;
  for (int k = 0; k < room.DeactivatedCount(); ++k) {
    CInstance* i = room.DeactivatedAt(k);
    if (!i->deactivated || !pick(*i)) continue;
    i->deactivated = false;
    changed = true;
  }
  if (changed) room.UpdateDeactivation();
}

}  // namespace

bool InRegion(const CInstance& i, double left, double top, double width, double height) {
  if (HasShape(i))
    return i.bboxLeft <= left + width && i.bboxRight >= left && i.bboxTop <= top + height && i.bboxBottom >= top;
  return left <= i.x && i.x <= left + width && top <= i.y && i.y <= top + height;
}

void DeactivateAll(CInstance* self, bool notme) {
  if (CLiveRoom* room = CurrentRoom()) MarkActive(*room, notme, self, [](const CInstance&) { return true; });
}

void DeactivateObject(CInstance* self, CInstance* other, int obj) {
  CLiveRoom* room = CurrentRoom();
  if (!room) return;
  if (obj == kSelf || obj == kOther) {
    const CInstance* target = obj == kSelf ? self : other;
    if (!target) return;
    MarkActive(*room, false, nullptr, [&](const CInstance& i) { return &i == target; });
  } else if (obj == kAll) {
    MarkActive(*room, false, nullptr, [](const CInstance&) { return true; });
  } else if (obj >= kFirstId) {
    const CInstance* target = room->FindInstance(obj);
    if (!target) return;
    MarkActive(*room, false, nullptr, [&](const CInstance& i) { return &i == target; });
  } else if (obj >= 0) {
    const GameResources* res = WorldResources();
    if (!res) return;
    MarkActive(*room, false, nullptr, [&](const CInstance& i) {
      return i.objectIndex == obj || IsDescendant(res->objects, i.objectIndex, obj);
    });
  }
}

void DeactivateRegion(CInstance* self, double left, double top, double width, double height, bool inside,
                      bool notme) {
  if (CLiveRoom* room = CurrentRoom())
    MarkActive(*room, notme, self,
               [&](const CInstance& i) { return InRegion(i, left, top, width, height) == inside; });
}

void ActivateAll() {
  if (CLiveRoom* room = CurrentRoom()) MarkDeactivated(*room, [](const CInstance&) { return true; });
}

void ActivateObject(CInstance* self, CInstance* other, int obj) {
  CLiveRoom* room = CurrentRoom();
  if (!room) return;
  if (obj == kSelf || obj == kOther) {
    const CInstance* target = obj == kSelf ? self : other;
    if (!target) return;
    MarkDeactivated(*room, [&](const CInstance& i) { return &i == target; });
  } else if (obj == kAll) {
    MarkDeactivated(*room, [](const CInstance&) { return true; });
  } else if (obj >= kFirstId) {
    // The first deactivated instance with that id that is not Deleted.
    const CInstance* target = nullptr;
    for (int k = 0; k < room->DeactivatedCount() && !target; ++k) {
      const CInstance* i = room->DeactivatedAt(k);
      if (i->id == obj && !i->deleted) target = i;
    }
    if (!target) return;
    MarkDeactivated(*room, [&](const CInstance& i) { return &i == target; });
  } else if (obj >= 0) {
    const GameResources* res = WorldResources();
    if (!res) return;
    MarkDeactivated(*room, [&](const CInstance& i) {
      return i.objectIndex == obj || IsDescendant(res->objects, i.objectIndex, obj);
    });
  }
}

void ActivateRegion(double left, double top, double width, double height, bool inside) {
  if (CLiveRoom* room = CurrentRoom())
    MarkDeactivated(*room, [&](const CInstance& i) { return InRegion(i, left, top, width, height) == inside; });
}

}  // namespace kv::motion
