#include "world/path_points.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace kv {

namespace {

RCurvePoint Mid(const RPathPoint& a, const RPathPoint& b) {
  return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.speed + b.speed) / 2, 0};
}
RCurvePoint Mid(const RCurvePoint& a, const RCurvePoint& b) {
  return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.speed + b.speed) / 2, 0};
}
RCurvePoint Of(const RPathPoint& p) { return {p.x, p.y, p.speed, 0}; }
double Dist2(const RCurvePoint& a, const RCurvePoint& b) {
  return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

// Points of the quadratic piece from s to e with control c, in order along it, ends excluded. A half stops
// splitting once its control point is within 4 pixels of its end.
void Subdivide(const RCurvePoint& s, const RCurvePoint& c, const RCurvePoint& e, int depth,
               std::vector<RCurvePoint>& out) {
  if (depth <= 0) return;
  const RCurvePoint m{(s.x + 2 * c.x + e.x) / 4, (s.y + 2 * c.y + e.y) / 4, (s.speed + 2 * c.speed + e.speed) / 4,
                      0};
  if (Dist2(c, s) > 16) Subdivide(s, Mid(s, c), m, depth - 1, out);
  out.push_back(m);
  if (Dist2(c, e) > 16) Subdivide(m, Mid(c, e), e, depth - 1, out);
}

void SmoothCurve(const CPath& path, std::vector<RCurvePoint>& out) {
  const auto& p = path.points;
  const int n = static_cast<int>(p.size());
  if (n < 1) return;
  if (!path.closed) out.push_back(Of(p[0]));
  const int spans = path.closed ? n : n - 2;
  const int depth = std::clamp(path.precision, 0, 8);
  for (int k = 0; k < spans; ++k) {
    const RPathPoint& p0 = p[k % n];
    const RPathPoint& p1 = p[(k + 1) % n];
    const RPathPoint& p2 = p[(k + 2) % n];
    Subdivide(Mid(p0, p1), Of(p1), Mid(p1, p2), depth, out);
  }
  // A closed curve returns to its first point; with precision 0 it has none (nothing to return to).
  if (!path.closed) out.push_back(Of(p[n - 1]));
  else if (!out.empty()) out.push_back(out.front());
}

}  // namespace

PathCurve ComputePathCurve(const CPath& path) {
  PathCurve c;
  if (path.kind == 1) {
    SmoothCurve(path, c.points);
  } else {
    for (const RPathPoint& p : path.points) c.points.push_back(Of(p));
    if (path.closed && !path.points.empty()) c.points.push_back(Of(path.points.front()));
  }
  for (size_t i = 1; i < c.points.size(); ++i)
    c.points[i].lengthSoFar = c.points[i - 1].lengthSoFar + std::sqrt(Dist2(c.points[i - 1], c.points[i]));
  c.length = c.points.empty() ? 0 : c.points.back().lengthSoFar;
  return c;
}

const PathCurve& CPath::Curve() const {
  if (!curveCache) curveCache = std::make_shared<const PathCurve>(ComputePathCurve(*this));
  return *curveCache;
}

RPathPoint PathCurve::PositionAt(double pos) const {
  if (points.empty()) return {0, 0, 100};
  auto at = [](const RCurvePoint& q) { return RPathPoint{q.x, q.y, q.speed}; };
  if (points.size() == 1 || length == 0) return at(points.front());
  if (!(pos > 0)) return at(points.front());  // NaN counts as the start
  if (pos >= 1) return at(points.back());
  const double d = length * pos;
  const int count = static_cast<int>(points.size());
  // The piece holding d: the first whose end lies beyond d (binary search over the increasing lengths).
  auto it = std::upper_bound(points.begin() + 1, points.end() - 1, d,
                             [](double v, const RCurvePoint& q) { return v < q.lengthSoFar; });
  int i = static_cast<int>(it - points.begin()) - 1;
  i = std::clamp(i, 0, count - 2);
  const RCurvePoint& a = points[i];
  const RCurvePoint& b = points[i + 1];
  const double piece = b.lengthSoFar - a.lengthSoFar;
  if (piece <= 0) return at(a);
  const double t = (d - a.lengthSoFar) / piece;
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.speed + (b.speed - a.speed) * t};
}

std::vector<RPolylinePoint> PathPolyline(const PathCurve& curve, double x, double y, bool absolute) {
  std::vector<RPolylinePoint> out;
  const double pieces = std::nearbyint(curve.length / 4);
  if (!(pieces >= 1) || curve.points.empty()) return out;
  // Very long paths are drawn with at most a million pieces.
  const int n = static_cast<int>(std::min(pieces, 1e6));
  const double dx = absolute ? 0 : x - curve.points.front().x;
  const double dy = absolute ? 0 : y - curve.points.front().y;
  out.reserve(n + 1);
  for (int k = 0; k <= n; ++k) {
    const RPathPoint p = curve.PositionAt(static_cast<double>(k) / n);
    out.push_back({p.x + dx, p.y + dy});
  }
  return out;
}

}  // namespace kv
