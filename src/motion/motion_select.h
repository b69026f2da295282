// Walking the instances an object argument selects, and finding the first of them that passes a test.
//
// Object arguments: -3 every active instance in room order, 100000 or more one instance id, 0 or more an object's
// family list (the object and its descendants, in the list's order); anything else selects nothing. Instances
// marked Deleted (or deactivated) are never found.
//
// The first-match search asks the per-object grids for candidates whose bounding boxes overlap a box around the
// shape, and keeps the candidate that comes first in the selection's order (activePos for every instance,
// lookupRank for a family list). The exact tests are the callers', so the answer is the one of the plain walk.
#pragma once

#include <climits>
#include <cmath>

#include "world/collision_grid.h"
#include "world/instance_class.h"
#include "world/room_live.h"
#include "world/world_state.h"

namespace kv::motion {

constexpr int kSelf = -1;
constexpr int kOther = -2;
constexpr int kAll = -3;
constexpr int kNoone = -4;
constexpr int kFirstId = 100000;

// A box (inclusive pixels) that every instance passing a shape's test overlaps; unbounded when the shape's
// coordinates are not finite (the plain walk then decides).
struct QueryBox {
  bool bounded = false;
  GridBox box{0, 0, 0, 0};
};

inline int32_t ClampPixel(double v) {
  if (!(v > INT_MIN / 2)) return INT_MIN / 2;
  if (!(v < INT_MAX / 2)) return INT_MAX / 2;
  return static_cast<int32_t>(std::floor(v));
}
// Around the rectangle (corners in any order), one pixel wider on every side so half-open edges are covered.
inline QueryBox BoxAround(double x1, double y1, double x2, double y2) {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return {};
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  return {true, {ClampPixel(x1) - 1, ClampPixel(y1) - 1, ClampPixel(x2) + 1, ClampPixel(y2) + 1}};
}
inline QueryBox BoxOfShape(const CInstance::TrialShape& s) {
  return {true, {s.box.left, s.box.top, s.box.right, s.box.bottom}};
}

inline bool Live(const CInstance* i) { return i && !i->deleted && !i->deactivated; }

// Every instance of the selection in list order; the count is taken at the start and the list re-read and
// bounds-checked each time, since fn may create, destroy or (de)activate instances. fn returns false to stop.
template <class Fn>
void ForEachSelected(CLiveRoom& room, int obj, Fn&& fn) {
  if (obj >= kFirstId) {
    if (CInstance* i = room.FindInstance(obj); Live(i)) fn(i);
    return;
  }
  if (obj == kAll) {
    const int count = room.ActiveCount();
    for (int k = 0; k < count && k < room.ActiveCount(); ++k) {
      CInstance* i = room.ActiveAt(k);
      if (Live(i) && !fn(i)) return;
    }
  } else if (obj >= 0) {
    const int count = room.FamilyCount(obj);
    for (int k = 0; k < count && k < room.FamilyCount(obj); ++k) {
      CInstance* i = room.FamilyAt(obj, k);
      if (Live(i) && !fn(i)) return;
    }
  }
}

// The first instance of the selection, in list order, for which match holds (by walking the list).
template <class Match>
CInstance* FirstSelectedByScan(CLiveRoom& room, int obj, Match&& match) {
  CInstance* found = nullptr;
  ForEachSelected(room, obj, [&](CInstance* i) {
    if (!match(*i)) return true;
    found = i;
    return false;
  });
  return found;
}

namespace detail {
// Whether the exact lists of all objects together hold every active instance (no instance without an object).
bool ExactListsCoverActive(const CLiveRoom& room);
}  // namespace detail

// The first instance of the selection, in list order, for which match holds. Every instance match accepts must
// overlap qb.box; when anyWill is set any match will do (boolean questions), which saves ordering the candidates.
template <class Match>
CInstance* FirstSelected(CLiveRoom& room, int obj, const QueryBox& qb, bool anyWill, Match&& match) {
  if (obj >= kFirstId) {
    CInstance* i = room.FindInstance(obj);
    return Live(i) && match(*i) ? i : nullptr;
  }
  if (obj < 0 && obj != kAll) return nullptr;
  const bool all = obj == kAll;
  const bool indexed = qb.bounded && CollisionIndexEnabled() &&
                       (all ? room.ActiveCount() >= ObjectGrid::kMinEntries && detail::ExactListsCoverActive(room)
                            : WorldObject(obj) != nullptr && room.FamiliesFollowTree() &&
                                  room.FamilyCount(obj) >= ObjectGrid::kMinEntries);
  if (!indexed) return FirstSelectedByScan(room, obj, match);

  CInstance* best = nullptr;
  int64_t bestKey = 0;
  auto keyOf = [all](const CInstance* i) { return all ? int64_t{i->activePos} : i->lookupRank; };
  // True when the search may stop.
  auto consider = [&](CInstance* i) {
    if (!i) return false;
    const int64_t key = keyOf(i);
    if (best && key >= bestKey) return false;
    if (!Live(i) || !match(*i)) return false;
    best = i;
    bestKey = key;
    return anyWill;
  };
  auto searchObject = [&](int o) {
    const int n = room.ExactCount(o);
    if (n == 0) return false;
    if (const ObjectGrid* grid = room.Grid(o))
      return grid->Any(qb.box, [&](int32_t pos) { return consider(room.ExactAt(o, pos)); });
    for (int k = 0; k < n; ++k) {
      CInstance* i = room.ExactAt(o, k);
      if (!i) continue;
      if (!all && best && keyOf(i) >= bestKey) break;  // family ranks rise along an exact list
      if (consider(i)) return true;
    }
    return false;
  };
  if (all) {
    const int objects = WorldObjectCount();
    for (int o = 0; o < objects; ++o)
      if (searchObject(o)) break;
  } else {
    for (int o : FamilyObjects(obj))
      if (searchObject(o)) break;
  }
  return best;
}

}  // namespace kv::motion
