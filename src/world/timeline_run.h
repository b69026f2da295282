// Time lines at run time: looking up, adding and removing moments, and the time line phase of a step, in which
// every instance running a time line advances its position and performs the moments it passed.
#pragma once

#include "world/timeline_class.h"

namespace kv::timeline {

int MomentCount(const CTimeLine& t);
int MomentStep(const CTimeLine& t, int i);  // 0 out of range
// The index of the moment with exactly that step; -1 when none.
int FindMoment(const CTimeLine& t, int step);
// The moment with that step, inserted at its sorted place with an empty action list when missing.
CEvent& AddMoment(CTimeLine& t, int step);
// Removes the moment with exactly that step (the later ones move down, keeping their order).
void DeleteMoment(CTimeLine& t, int step);
// The number of moments whose step is below pos.
int CountBefore(const CTimeLine& t, double pos);

// The time line phase: for every active, not Deleted instance whose timeline_index names a time line, in list
// order, the moments with old position <= step < new position run in ascending order. A moment runs on a copy of
// its action list, so code that changes or deletes the running time line frees nothing that runs; the change
// shows from the next moment on.
void AdvanceTimeLines();

}  // namespace kv::timeline
