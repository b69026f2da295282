#include "world/timeline_run.h"

#include <algorithm>

#include "actions/function_action.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv::timeline {

namespace {


// Performs moment k of time line `index` with the instance as self and other.
void PerformMoment(CInstance* inst, int index, int k) {
  if (RoomChangePending()) return;
  GameResources* res = WorldResources();
  const CTimeLine* t = res ? res->timelines.Get(index) : nullptr;
  if (!t || k < 0 || k >= MomentCount(*t)) return;
  const RMoment& moment = t->moments[k];
  if (!moment.event.Defined()) return;
  const CEvent running = moment.event;  // holds the compiled code while the moment may change its time line
  ActionContextScope scope(index, kTimeLineEventType, moment.step);
  RunActionList(inst, inst, running);
}

}  // namespace

int MomentCount(const CTimeLine& t) { return static_cast<int>(t.moments.size()); }
int MomentStep(const CTimeLine& t, int i) { return i >= 0 && i < MomentCount(t) ? t.moments[i].step : 0; }

int FindMoment(const CTimeLine& t, int step) {
  for (int i = 0; i < MomentCount(t); ++i)
    if (t.moments[i].step == step) return i;
  return -1;
}

CEvent& AddMoment(CTimeLine& t, int step) {
  auto it = std::lower_bound(t.moments.begin(), t.moments.end(), step,
                             [](const RMoment& m, int s) { return m.step < s; });
  if (it != t.moments.end() && it->step == step) return it->event;
  RMoment m;
  m.step = step;
  return t.moments.insert(it, std::move(m))->event;
}

void DeleteMoment(CTimeLine& t, int step) {
  const int i = FindMoment(t, step);
  if (i >= 0) t.moments.erase(t.moments.begin() + i);
}

// Walks the moments as stored (the game data keeps them ascending, so this is the count of steps below pos).
int CountBefore(const CTimeLine& t, double pos) {
  const int n = MomentCount(t);
  if (n == 0) return 0;
  if (t.moments[n - 1].step < pos) return n;
  for (int i = 0; i < n; ++i)
    if (pos <= t.moments[i].step) return i;
  return n;  // NaN compares false everywhere
}

void AdvanceTimeLines() {
  CLiveRoom* room = CurrentRoom();
  GameResources* res = WorldResources();
  if (!room || !res || RoomChangePending()) return;
  // Without any time line no instance has one to advance (most games): skip the walk over every instance.
  if (res->timelines.Count() == 0) return;
  const int count = room->ActiveCount();
  for (int i = 0; i < count; ++i) {
    if (CurrentRoom() != room || RoomChangePending() || i >= room->ActiveCount()) return;
    CInstance* inst = room->ActiveAt(i);
    if (inst->deleted || inst->deactivated || inst->timelineIndex < 0) continue;
    const int index = inst->timelineIndex;
    const CTimeLine* t = res->timelines.Get(index);
    if (!t) continue;
    const int j = CountBefore(*t, inst->timelinePosition);
    inst->timelinePosition += inst->timelineSpeed;
    const int e = CountBefore(*t, inst->timelinePosition);
    for (int k = j; k < e; ++k) {
      if (RoomChangePending()) return;
      PerformMoment(inst, index, k);
    }
  }
}

}  // namespace kv::timeline
