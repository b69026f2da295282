// Where an instance may go and how it moves with respect to the others: free and empty places, contact and
// outside moves, bouncing, snapping, random placement and distances. Every test puts self at a trial position
// only in thought (its shape there), so self never really moves unless the operation moves it.
//
// "Free" means no solid instance collides with self there, "empty" no instance at all; the collision test is the
// pairwise instance test, always precise, never with self itself.
#pragma once

#include "world/instance_class.h"

namespace kv::motion {

bool PlaceFree(CInstance& self, double x, double y);
bool PlaceEmpty(CInstance& self, double x, double y);
// PlaceEmpty when all, else PlaceFree.
bool PlaceClear(CInstance& self, double x, double y, bool all);
// The first instance of the selection (list order) that collides with self put at (x, y); null when none.
CInstance* InstancePlace(CInstance& self, double x, double y, int obj);
// Whether self put at (x, y) collides with an instance of the selection (obj as given: no self/other mapping).
bool PlaceMeetsSelection(CInstance& self, double x, double y, int obj);

// Unit steps in direction dir until the next step would collide (contact) or while colliding (outside); at most
// round(maxdist) steps when maxdist > 0, else 1000. all: against every instance, else against solid ones.
void MoveContact(CInstance& self, double dir, double maxdist, bool all);
void MoveOutside(CInstance& self, double dir, double maxdist, bool all);
// Bounce off solid (or all) instances; advanced searches the free directions around the motion.
void MoveBounce(CInstance& self, bool advanced, bool all);
// Up to 100 attempts at a random free position inside the room, snapped to hsnap / vsnap when above 0.
void MoveRandom(CInstance& self, double hsnap, double vsnap);
bool PlaceSnapped(const CInstance& self, double hsnap, double vsnap);
void MoveSnap(CInstance& self, double hsnap, double vsnap);
void MoveWrap(CInstance& self, bool hor, bool vert, double margin);

double DistanceToPoint(const CInstance& self, double x, double y);
// Smallest box gap to the selection's instances; 1000000 when there are none. obj -2 means other.
double DistanceToObject(const CInstance& self, const CInstance* other, int obj);

// Whether the instance has an existing sprite or mask (a shape to test against regions).
bool HasShape(const CInstance& inst);

}  // namespace kv::motion
