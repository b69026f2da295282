#include "motion/function_motion.h"

#include <string>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "functions/function_args.h"
#include "motion/function_planning.h"
#include "motion/motion_activation.h"
#include "motion/motion_move.h"
#include "motion/motion_nearest.h"
#include "motion/motion_select.h"
#include "world/collision_query.h"
#include "world/world_rooms.h"

namespace kv {

namespace {

using namespace fnargs;
using namespace motion;

// obj -1 and -2 stand for the ids of self and other (where a function says so); without them nothing matches.
int IdOf(int obj, const CInstance* self, const CInstance* other) {
  if (obj == kSelf) return self ? self->id : kNoone;
  if (obj == kOther) return other ? other->id : kNoone;
  return obj;
}

double IdOrNoone(const CInstance* i) { return i ? i->id : kNoone; }

// ---- shape queries ----
// The first instance of obj (list order) that meets the shape; skip leaves self out.
template <class Test>
CInstance* FirstMeeting(int obj, const QueryBox& qb, const CInstance* skip, Test&& test) {
  CLiveRoom* room = CurrentRoom();
  if (!room) return nullptr;
  return FirstSelected(*room, obj, qb, false, [&](CInstance& i) { return &i != skip && test(i); });
}

void FnCollisionPoint(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  const double x = D(a, 0), y = D(a, 1);
  const bool prec = B(a, 3);
  r.SetReal(IdOrNoone(FirstMeeting(I(a, 2), BoxAround(x, y, x, y), B(a, 4) ? self : nullptr,
                                   [&](CInstance& i) { return i.CollidesPoint(x, y, prec); })));
}
void FnCollisionRectangle(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  const double x1 = D(a, 0), y1 = D(a, 1), x2 = D(a, 2), y2 = D(a, 3);
  const bool prec = B(a, 5);
  r.SetReal(IdOrNoone(FirstMeeting(I(a, 4), BoxAround(x1, y1, x2, y2), B(a, 6) ? self : nullptr,
                                   [&](CInstance& i) { return i.CollidesRect(x1, y1, x2, y2, prec); })));
}
void FnCollisionCircle(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  const double xc = D(a, 0), yc = D(a, 1), rad = D(a, 2);
  const double x1 = xc - rad, y1 = yc - rad, x2 = xc + rad, y2 = yc + rad;
  const bool prec = B(a, 4);
  r.SetReal(IdOrNoone(FirstMeeting(I(a, 3), BoxAround(x1, y1, x2, y2), B(a, 5) ? self : nullptr,
                                   [&](CInstance& i) { return i.CollidesEllipse(x1, y1, x2, y2, prec); })));
}
void FnCollisionEllipse(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  const double x1 = D(a, 0), y1 = D(a, 1), x2 = D(a, 2), y2 = D(a, 3);
  const bool prec = B(a, 5);
  r.SetReal(IdOrNoone(FirstMeeting(I(a, 4), BoxAround(x1, y1, x2, y2), B(a, 6) ? self : nullptr,
                                   [&](CInstance& i) { return i.CollidesEllipse(x1, y1, x2, y2, prec); })));
}
void FnCollisionLine(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  const double x1 = D(a, 0), y1 = D(a, 1), x2 = D(a, 2), y2 = D(a, 3);
  const bool prec = B(a, 5);
  r.SetReal(IdOrNoone(FirstMeeting(I(a, 4), BoxAround(x1, y1, x2, y2), B(a, 6) ? self : nullptr,
                                   [&](CInstance& i) { return i.CollidesLine(x1, y1, x2, y2, prec); })));
}
void FnInstancePosition(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const double x = D(a, 0), y = D(a, 1);
  r.SetReal(IdOrNoone(FirstMeeting(I(a, 2), BoxAround(x, y, x, y), nullptr,
                                   [&](CInstance& i) { return i.CollidesPoint(x, y, true); })));
}
void FnPositionEmpty(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const double x = D(a, 0), y = D(a, 1);
  CLiveRoom* room = CurrentRoom();
  const bool hit = room && FirstSelected(*room, kAll, BoxAround(x, y, x, y), true,
                                         [&](CInstance& i) { return i.CollidesPoint(x, y, true); });
  r.SetReal(hit ? 0 : 1);
}
void FnPositionMeeting(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  const double x = D(a, 0), y = D(a, 1);
  CLiveRoom* room = CurrentRoom();
  const bool hit = room && FirstSelected(*room, IdOf(I(a, 2), self, other), BoxAround(x, y, x, y), true,
                                         [&](CInstance& i) { return i.CollidesPoint(x, y, true); });
  r.SetReal(hit ? 1 : 0);
}
// Destroys (or changes) every instance whose shape contains the point, in room order; the count is taken at the
// start, so instances the events create are not visited.
void FnPositionDestroy(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const double x = D(a, 0), y = D(a, 1);
  CLiveRoom* room = CurrentRoom();
  if (!room) return;
  ForEachSelected(*room, kAll, [&](CInstance* i) {
    if (i->CollidesPoint(x, y, true)) DestroyInstance(i);
    return CurrentRoom() == room;
  });
}
void FnPositionChange(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const double x = D(a, 0), y = D(a, 1);
  const int obj = I(a, 2);
  const bool perf = B(a, 3);
  CLiveRoom* room = CurrentRoom();
  if (!room) return;
  if (!WorldObject(obj)) {
    ReportRuntimeError("Asking to change into non-existing object: " + std::to_string(obj));
    return;
  }
  ForEachSelected(*room, kAll, [&](CInstance* i) {
    if (i->CollidesPoint(x, y, true)) ChangeInstance(i, obj, perf);
    return CurrentRoom() == room;
  });
}

// ---- searches ----
void FnInstanceNearest(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  CLiveRoom* room = CurrentRoom();
  r.SetReal(IdOrNoone(room ? NearestInstance(*room, I(a, 2), D(a, 0), D(a, 1)) : nullptr));
}
void FnInstanceFurthest(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const double x = D(a, 0), y = D(a, 1);
  const int obj = I(a, 2);
  CLiveRoom* room = CurrentRoom();
  const CInstance* best = nullptr;
  if (room && obj < kFirstId) {
    double bestD = -1;
    ForEachSelected(*room, obj, [&](CInstance* i) {
      const double d = (i->x - x) * (i->x - x) + (i->y - y) * (i->y - y);
      if (d > bestD) {
        bestD = d;
        best = i;
      }
      return true;
    });
  }
  r.SetReal(IdOrNoone(best));
}
void FnInstanceFind(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const int obj = I(a, 0);
  const int64_t n = RoundToInt64(D(a, 1));
  CLiveRoom* room = CurrentRoom();
  const CInstance* found = nullptr;
  if (room && n >= 0) {
    int64_t k = 0;
    ForEachSelected(*room, obj, [&](CInstance* i) {
      if (k++ < n) return true;
      found = i;
      return false;
    });
  }
  r.SetReal(IdOrNoone(found));
}
void FnInstanceExists(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  const int obj = I(a, 0);
  bool exists = false;
  if (obj == kSelf || obj == kOther) {
    const CInstance* i = obj == kSelf ? self : other;
    exists = i && !i->deleted;
  } else if (const CLiveRoom* room = CurrentRoom()) {
    exists = CountSelection(*room, obj) > 0;
  }
  r.SetReal(exists ? 1 : 0);
}

// ---- place and move ----
void FnPlaceFree(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  r.SetReal(!self || PlaceFree(*self, D(a, 0), D(a, 1)) ? 1 : 0);
}
void FnPlaceEmpty(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  r.SetReal(!self || PlaceEmpty(*self, D(a, 0), D(a, 1)) ? 1 : 0);
}
void FnInstancePlace(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  r.SetReal(IdOrNoone(self ? InstancePlace(*self, D(a, 0), D(a, 1), I(a, 2)) : nullptr));
}
void FnPlaceSnapped(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  r.SetReal(self && PlaceSnapped(*self, D(a, 0), D(a, 1)) ? 1 : 0);
}
void FnMoveRandom(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) MoveRandom(*self, D(a, 0), D(a, 1));
}
void FnMoveSnap(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) MoveSnap(*self, D(a, 0), D(a, 1));
}
void FnMoveTowardsPoint(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) self->MoveTowards(D(a, 0), D(a, 1), D(a, 2));
}
void FnMoveContactSolid(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) MoveContact(*self, D(a, 0), D(a, 1), false);
}
void FnMoveContactAll(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) MoveContact(*self, D(a, 0), D(a, 1), true);
}
void FnMoveContact(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (!self) return;
  if (PlaceFree(*self, self->x, self->y)) MoveContact(*self, D(a, 0), -1, false);
  else MoveOutside(*self, D(a, 0), -1, false);
}
void FnMoveOutsideSolid(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) MoveOutside(*self, D(a, 0), D(a, 1), false);
}
void FnMoveOutsideAll(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) MoveOutside(*self, D(a, 0), D(a, 1), true);
}
void FnMoveBounceSolid(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) MoveBounce(*self, B(a, 0), false);
}
void FnMoveBounceAll(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) MoveBounce(*self, B(a, 0), true);
}
void FnMotionSet(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (!self) return;
  self->SetDirection(D(a, 0));
  self->SetSpeed(D(a, 1));
}
void FnMotionAdd(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (self) self->AddMotion(D(a, 1), D(a, 0));
}
void FnDistanceToPoint(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  r.SetReal(self ? DistanceToPoint(*self, D(a, 0), D(a, 1)) : 0);
}
void FnDistanceToObject(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  r.SetReal(self ? DistanceToObject(*self, other, I(a, 0)) : 1000000);
}

// ---- activation ----
void FnDeactivateAll(RValue&, CInstance* self, CInstance*, int, RValue* a) { DeactivateAll(self, B(a, 0)); }
void FnDeactivateObject(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  DeactivateObject(self, other, I(a, 0));
}
void FnDeactivateRegion(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  DeactivateRegion(self, D(a, 0), D(a, 1), D(a, 2), D(a, 3), B(a, 4), B(a, 5));
}
void FnActivateAll(RValue&, CInstance*, CInstance*, int, RValue*) { ActivateAll(); }
void FnActivateObject(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  ActivateObject(self, other, I(a, 0));
}
void FnActivateRegion(RValue&, CInstance*, CInstance*, int, RValue* a) {
  ActivateRegion(D(a, 0), D(a, 1), D(a, 2), D(a, 3), B(a, 4));
}

}  // namespace

void RegisterMotionFunctions() {
  Reg("place_free", 2, FnPlaceFree);
  Reg("place_empty", 2, FnPlaceEmpty);
  Reg("place_snapped", 2, FnPlaceSnapped);
  Reg("move_random", 2, FnMoveRandom);
  Reg("move_snap", 2, FnMoveSnap);
  Reg("move_towards_point", 3, FnMoveTowardsPoint);
  Reg("move_contact_solid", 2, FnMoveContactSolid);
  Reg("move_contact_all", 2, FnMoveContactAll);
  Reg("move_contact", 1, FnMoveContact);
  Reg("move_outside_solid", 2, FnMoveOutsideSolid);
  Reg("move_outside_all", 2, FnMoveOutsideAll);
  Reg("move_bounce_solid", 1, FnMoveBounceSolid);
  Reg("move_bounce", 1, FnMoveBounceSolid);
  Reg("move_bounce_all", 1, FnMoveBounceAll);
  Reg("motion_set", 2, FnMotionSet);
  Reg("motion_add", 2, FnMotionAdd);
  Reg("distance_to_point", 2, FnDistanceToPoint);
  Reg("distance_to_object", 1, FnDistanceToObject);
  Reg("collision_point", 5, FnCollisionPoint);
  Reg("collision_rectangle", 7, FnCollisionRectangle);
  Reg("collision_circle", 6, FnCollisionCircle);
  Reg("collision_ellipse", 7, FnCollisionEllipse);
  Reg("collision_line", 7, FnCollisionLine);
  Reg("instance_position", 3, FnInstancePosition);
  Reg("instance_place", 3, FnInstancePlace);
  Reg("instance_nearest", 3, FnInstanceNearest);
  Reg("instance_furthest", 3, FnInstanceFurthest);
  Reg("instance_find", 2, FnInstanceFind);
  Reg("instance_exists", 1, FnInstanceExists);
  Reg("position_empty", 2, FnPositionEmpty);
  Reg("position_meeting", 3, FnPositionMeeting);
  Reg("position_destroy", 2, FnPositionDestroy);
  Reg("position_change", 4, FnPositionChange);
  Reg("instance_deactivate_all", 1, FnDeactivateAll);
  Reg("instance_deactivate_object", 1, FnDeactivateObject);
  Reg("instance_deactivate_region", 6, FnDeactivateRegion);
  Reg("instance_activate_all", 0, FnActivateAll);
  Reg("instance_activate_object", 1, FnActivateObject);
  Reg("instance_activate_region", 5, FnActivateRegion);
  DescribeFunctions("Movement and collisions", {
      {"place_free", "x, y", "Whether the current instance placed at (x, y) would touch no solid instance."},
      {"place_empty", "x, y", "Whether the current instance placed at (x, y) would touch no instance at all."},
      {"place_snapped", "hsnap, vsnap", "Whether the current instance's position is aligned to the given grid."},
      {"move_random", "hsnap, vsnap",
       "Moves the current instance to a random free position aligned to the given grid."},
      {"move_snap", "hsnap, vsnap", "Aligns the current instance's position to the given grid."},
      {"move_towards_point", "x, y, sp", "Sets the current instance moving towards (x, y) with speed sp."},
      {"move_contact_solid", "dir, maxdist",
       "Moves the current instance in direction dir until it touches a solid instance (maxdist -1 for no limit)."},
      {"move_contact_all", "dir, maxdist",
       "Moves the current instance in direction dir until it touches any instance (maxdist -1 for no limit)."},
      {"move_contact", "dir",
       "Moves the current instance in direction dir up to a solid instance, or out of one it is inside."},
      {"move_outside_solid", "dir, maxdist",
       "Moves the current instance in direction dir until it no longer overlaps a solid instance."},
      {"move_outside_all", "dir, maxdist",
       "Moves the current instance in direction dir until it no longer overlaps any instance."},
      {"move_bounce_solid", "adv",
       "Makes the current instance bounce against solid instances; adv uses the precise method."},
      {"move_bounce", "adv", "The same as move_bounce_solid."},
      {"move_bounce_all", "adv",
       "Makes the current instance bounce against all instances; adv uses the precise method."},
      {"motion_set", "dir, speed", "Sets the direction and speed of the current instance."},
      {"motion_add", "dir, speed",
       "Adds a motion in direction dir with the given speed to the current instance's motion."},
      {"distance_to_point", "x, y", "The distance from the current instance's bounding box to the point (x, y)."},
      {"distance_to_object", "obj",
       "The distance from the current instance's bounding box to the nearest instance of obj."},
      {"collision_point", "x, y, obj, prec, notme", "The first instance of obj at the point (x, y), or noone (-4)."},
      {"collision_rectangle", "x1, y1, x2, y2, obj, prec, notme",
       "The first instance of obj that overlaps the rectangle, or noone (-4)."},
      {"collision_circle", "xc, yc, radius, obj, prec, notme",
       "The first instance of obj that overlaps the circle, or noone (-4)."},
      {"collision_ellipse", "x1, y1, x2, y2, obj, prec, notme",
       "The first instance of obj that overlaps the ellipse inside the rectangle, or noone (-4)."},
      {"collision_line", "x1, y1, x2, y2, obj, prec, notme",
       "The first instance of obj that the line segment meets, or noone (-4)."},
      {"position_empty", "x, y", "Whether no instance is at the point (x, y)."},
      {"position_meeting", "x, y, obj", "Whether an instance of obj is at the point (x, y)."},
      {"position_destroy", "x, y", "Destroys every instance at the point (x, y)."},
      {"position_change", "x, y, obj, perf",
       "Turns every instance at the point (x, y) into an instance of obj, with its events when perf is true."},
  });
  DescribeFunctions("Instances", {
      {"instance_position", "x, y, obj", "The instance of obj at the point (x, y), or noone (-4)."},
      {"instance_place", "x, y, obj",
       "The instance of obj the current instance would meet at (x, y), or noone (-4)."},
      {"instance_nearest", "x, y, obj", "The instance of obj nearest to (x, y), or noone (-4)."},
      {"instance_furthest", "x, y, obj", "The instance of obj furthest from (x, y), or noone (-4)."},
      {"instance_find", "obj, n", "The n-th instance of obj (counting from 0), or noone (-4)."},
      {"instance_exists", "obj", "Whether an instance of obj (or the instance with that id) exists."},
      {"instance_deactivate_all", "notme", "Deactivates every instance, except the current one when notme is true."},
      {"instance_deactivate_object", "obj", "Deactivates the instances of obj (or the instance with that id)."},
      {"instance_deactivate_region", "left, top, width, height, inside, notme",
       "Deactivates the instances inside the region (or outside it when inside is false)."},
      {"instance_activate_all", "", "Activates every deactivated instance."},
      {"instance_activate_object", "obj",
       "Activates the deactivated instances of obj (or the instance with that id)."},
      {"instance_activate_region", "left, top, width, height, inside",
       "Activates the deactivated instances inside the region (or outside it when inside is false)."},
  });
  RegisterPlanningFunctions();
}

}  // namespace kv
