// Taking instances out of the game and bringing them back: deactivation marks instances of the room's active
// list, activation clears the mark on instances of its deactivated list, and the room then moves every instance
// whose mark disagrees with its list to the other list at once, keeping the order of each list. Loops running
// meanwhile walk by index with their count taken at the start and skip deactivated instances.
#pragma once

namespace kv {
class CInstance;
}

namespace kv::motion {

void DeactivateAll(CInstance* self, bool notme);
// obj: -1 self, -2 other, -3 all, an instance id, or an object's family.
void DeactivateObject(CInstance* self, CInstance* other, int obj);
void DeactivateRegion(CInstance* self, double left, double top, double width, double height, bool inside,
                      bool notme);
void ActivateAll();
// obj: -1 self, -2 other, -3 all, an instance id, or an object index (that object and its descendants).
void ActivateObject(CInstance* self, CInstance* other, int obj);
void ActivateRegion(double left, double top, double width, double height, bool inside);

// Whether the instance lies in the region (its box when it has a shape, else its position).
bool InRegion(const CInstance& inst, double left, double top, double width, double height);

}  // namespace kv::motion
