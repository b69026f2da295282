// Selections asked by the place and counting functions, answered through the rooms' live counts and per-object
// grids when they apply and by plain scans of the selection's list otherwise; both give the same answers.
//
// Selection codes: -3 every active instance, 100000 or more one instance id, 0 or more an object's family list
// (the object and its descendants). Instances marked Deleted are never found nor counted.
#pragma once

#include "world/instance_class.h"

namespace kv {

class CLiveRoom;

// True when self, given the trial shape (its box and position somewhere else), meets an instance of the
// selection other than itself.
bool MeetsSelection(CLiveRoom& room, const CInstance& self, const CInstance::TrialShape& shape, int selection);
// The same by walking the selection's list in order (the reference the indexed answer must equal).
bool MeetsSelectionByScan(const CLiveRoom& room, const CInstance& self, const CInstance::TrialShape& shape,
                          int selection);

// Instances of the selection not marked Deleted.
int CountSelection(const CLiveRoom& room, int selection);
int CountSelectionByScan(const CLiveRoom& room, int selection);

}  // namespace kv
