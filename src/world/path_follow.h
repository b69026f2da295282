// Instances following paths: starting a path on an instance, ending it, and the step along the path that the
// main loop's motion phase (and the solid-collision handling) makes for every instance each step.
#pragma once

namespace kv {

class CInstance;

// End actions of a path.
constexpr int kPathStop = 0, kPathRestart = 1, kPathContinue = 2, kPathReverse = 3;

// Starts path on the instance (path < 0 only clears path_index; a missing or zero-length path gives
// path_index -1). An absolute start places the instance at the path's point of its start position and takes
// the path's first curve point as the reference, so a path started at its end (negative speed) is followed where
// it lies.
void StartPath(CInstance& inst, int path, double speed, int endAction, bool absolute, double orientation = 0,
               double scale = 1);
void EndPath(CInstance& inst);
// One step along the instance's path; true when an end of the path was reached (the caller raises end of path).
// A path_scale of 0 moves nothing.
bool FollowPath(CInstance& inst);

}  // namespace kv
