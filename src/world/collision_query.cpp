#include "world/collision_query.h"

#include "world/collision_grid.h"
#include "world/room_live.h"
#include "world/world_state.h"

namespace kv {

namespace {

constexpr int kAll = -3;
constexpr int kFirstId = 100000;

bool Meets(const CInstance& self, const CInstance::TrialShape& shape, const CInstance* other) {
  return other && other != &self && !other->deleted && self.CollidesInstanceAs(shape, *other, true);
}

// One object's exact list, through its grid when it has one.
bool MeetsObject(CLiveRoom& room, const CInstance& self, const CInstance::TrialShape& shape, int object) {
  const int count = room.ExactCount(object);
  if (count == 0) return false;
  if (const ObjectGrid* grid = room.Grid(object)) {
    const GridBox box{shape.box.left, shape.box.top, shape.box.right, shape.box.bottom};
    return grid->Any(box, [&](int32_t pos) { return Meets(self, shape, room.ExactAt(object, pos)); });
  }
  for (int i = 0; i < count; ++i)
    if (Meets(self, shape, room.ExactAt(object, i))) return true;
  return false;
}

// The exact lists of all objects hold every active instance exactly when no instance lacks an object.
bool ExactListsCoverActive(const CLiveRoom& room, int objects) {
  int64_t n = 0;
  for (int o = 0; o < objects; ++o) n += room.ExactCount(o);
  return n == room.ActiveCount();
}

}  // namespace

bool MeetsSelectionByScan(const CLiveRoom& room, const CInstance& self, const CInstance::TrialShape& shape,
                          int selection) {
  if (selection == kAll) {
    for (int i = 0; i < room.ActiveCount(); ++i)
      if (Meets(self, shape, room.ActiveAt(i))) return true;
  } else if (selection >= kFirstId) {
    return Meets(self, shape, room.FindInstance(selection));
  } else if (selection >= 0) {
    for (int i = 0; i < room.FamilyCount(selection); ++i)
      if (Meets(self, shape, room.FamilyAt(selection, i))) return true;
  }
  return false;
}

bool MeetsSelection(CLiveRoom& room, const CInstance& self, const CInstance::TrialShape& shape, int selection) {
  if (!CollisionIndexEnabled() || selection >= kFirstId || (selection < 0 && selection != kAll))
    return MeetsSelectionByScan(room, self, shape, selection);
  if (selection == kAll) {
    const int objects = WorldObjectCount();
    if (room.ActiveCount() < ObjectGrid::kMinEntries || !ExactListsCoverActive(room, objects))
      return MeetsSelectionByScan(room, self, shape, selection);
    for (int o = 0; o < objects; ++o)
      if (MeetsObject(room, self, shape, o)) return true;
    return false;
  }
  if (!WorldObject(selection) || !room.FamiliesFollowTree())
    return MeetsSelectionByScan(room, self, shape, selection);
  for (int o : FamilyObjects(selection))
    if (MeetsObject(room, self, shape, o)) return true;
  return false;
}

int CountSelectionByScan(const CLiveRoom& room, int selection) {
  int n = 0;
  if (selection == kAll) {
    for (int i = 0; i < room.ActiveCount(); ++i) n += !room.ActiveAt(i)->deleted;
  } else if (selection >= kFirstId) {
    n = room.FindInstance(selection) ? 1 : 0;
  } else if (selection >= 0) {
    for (int i = 0; i < room.FamilyCount(selection); ++i) n += !room.FamilyAt(selection, i)->deleted;
  }
  return n;
}

int CountSelection(const CLiveRoom& room, int selection) {
  if (selection == kAll) return room.LiveCount();
  if (selection < 0 || selection >= kFirstId || !WorldObject(selection) || !room.FamiliesFollowTree())
    return CountSelectionByScan(room, selection);
  int n = 0;
  for (int o : FamilyObjects(selection)) n += room.LiveExactCount(o);
  return n;
}

}  // namespace kv
