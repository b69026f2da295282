#include "world/path_follow.h"

#include <cmath>
#include <cstdlib>

#include "world/instance_class.h"
#include "world/path_points.h"
#include "world/world_state.h"

namespace kv {

namespace {

const CPath* PathOf(int index) {
  GameResources* res = WorldResources();
  return res ? res->paths.Get(index) : nullptr;
}

// The end action when the position left 0 ... 1. Stop also puts a backward-moving instance at position 1, the
// behaviour games know. Which end was reached decides the direction: a backward run that lands exactly on 0 is
// at the start, not the end (taking 0 as the far end would throw the instance a whole path length away).
void ActOnEnd(CInstance& inst, const PathCurve& curve, double cosA, double sinA) {
  double& pos = inst.pathPosition;
  const bool forward = pos >= 1;
  switch (inst.pathEndAction) {
    case kPathRestart:
      pos += forward ? -1 : 1;
      break;
    case kPathContinue: {
      const RCurvePoint& first = curve.points.front();
      const RCurvePoint& last = curve.points.back();
      const double dx = last.x - first.x, dy = last.y - first.y;
      const double mx = (cosA * dx + sinA * dy) * inst.pathScale, my = (cosA * dy - sinA * dx) * inst.pathScale;
      if (forward) {
        inst.pathRefX += mx;
        inst.pathRefY += my;
        pos -= 1;
      } else {
        inst.pathRefX -= mx;
        inst.pathRefY -= my;
        pos += 1;
      }
      break;
    }
    case kPathReverse:
      if (forward) {
        pos = 2 - pos;
        inst.pathSpeed = -std::fabs(inst.pathSpeed);
      } else {
        pos = -pos;
        inst.pathSpeed = std::fabs(inst.pathSpeed);
      }
      break;
    default:  // stop
      pos = 1;
      inst.pathIndex = -1;
      break;
  }
}

}  // namespace

void StartPath(CInstance& inst, int path, double speed, int endAction, bool absolute, double orientation,
               double scale) {
  inst.pathIndex = path;
  if (path < 0) return;
  const CPath* p = PathOf(path);
  if (!p || !(p->Curve().length > 0)) {
    inst.pathIndex = -1;
    return;
  }
  const PathCurve& curve = p->Curve();
  inst.pathSpeed = speed;
  inst.pathPosition = inst.pathPositionPrevious = speed < 0 ? 1 : 0;
  inst.pathScale = scale;
  if (scale < 0) {
    inst.pathIndex = -1;
    return;
  }
  inst.pathOrientation = orientation;
  inst.pathEndAction = endAction;
  if (absolute) {
    const RPathPoint at = curve.PositionAt(inst.pathPosition);
    inst.SetPosition(at.x, at.y);
    inst.pathRefX = curve.points.front().x;
    inst.pathRefY = curve.points.front().y;
    return;
  }
  inst.pathRefX = inst.x;
  inst.pathRefY = inst.y;
}

void EndPath(CInstance& inst) { inst.pathIndex = -1; }

bool FollowPath(CInstance& inst) {
  if (inst.pathIndex < 0 || inst.pathSpeed == 0) return false;
  const CPath* p = PathOf(inst.pathIndex);
  if (!p) return false;
  const PathCurve& curve = p->Curve();
  if (!(curve.length > 0) || curve.points.empty()) return false;
  // A zero scale would divide by zero: the instance stays where it is on the path.
  if (inst.pathScale == 0) return false;
  const double f = curve.PositionAt(inst.pathPosition).speed;
  inst.pathPosition += inst.pathSpeed * (f / (100 * inst.pathScale)) / curve.length;
  const long double a = DegToRad(inst.pathOrientation);
  const double cosA = static_cast<double>(std::cos(a)), sinA = static_cast<double>(std::sin(a));
  bool ended = false;
  if (inst.pathPosition >= 1 || inst.pathPosition <= 0) {
    ActOnEnd(inst, curve, cosA, sinA);
    ended = true;
  }
  const RPathPoint at = curve.PositionAt(inst.pathPosition);
  const double px = at.x - curve.points.front().x, py = at.y - curve.points.front().y;
  const double tx = (cosA * px + sinA * py) * inst.pathScale + inst.pathRefX;
  const double ty = (cosA * py - sinA * px) * inst.pathScale + inst.pathRefY;
  inst.SetHSpeed(tx - inst.x);
  inst.SetVSpeed(ty - inst.y);
  inst.SetSpeed(0);
  inst.SetPosition(tx, ty);
  return ended;
}

}  // namespace kv
