// The curve a path follows, computed from its defining points: straight spans or a smooth curve of quadratic
// pieces through the midpoints, open or closed, with the length along it; positions 0 … 1 along the curve and
// the polyline that draws a path.
#pragma once

#include <vector>

#include "world/path_class.h"

namespace kv {

struct RCurvePoint {
  double x = 0, y = 0, speed = 100;
  double lengthSoFar = 0;  // along the curve from its first point
};

struct PathCurve {
  std::vector<RCurvePoint> points;
  double length = 0;

  // (x, y, speed) at pos (clamped to 0 … 1) along the curve; (0, 0, 100) for an empty curve.
  RPathPoint PositionAt(double pos) const;
};

PathCurve ComputePathCurve(const CPath& path);

struct RPolylinePoint {
  double x = 0, y = 0;
  bool operator==(const RPolylinePoint&) const = default;
};
// The line strip that draws the path: a point every 4 pixels of length (none when length / 4 rounds to 0),
// shifted so that the path starts at (x, y) unless absolute.
std::vector<RPolylinePoint> PathPolyline(const PathCurve& curve, double x, double y, bool absolute);

}  // namespace kv
