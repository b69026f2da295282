#include "world/path_edit.h"

#include <algorithm>
#include <cmath>

#include "world/instance_class.h"

namespace kv::path_edit {

namespace {

bool InRange(const CPath& p, int i) { return i >= 0 && i < static_cast<int>(p.points.size()); }

// Shifts the points by minus the centre of their bounding rectangle, applies f to each, and shifts them back.
template <class F>
void AroundCentre(CPath& p, F&& f) {
  if (p.points.empty()) return;
  double minX = p.points[0].x, maxX = minX, minY = p.points[0].y, maxY = minY;
  for (const RPathPoint& q : p.points) {
    minX = std::min(minX, q.x);
    maxX = std::max(maxX, q.x);
    minY = std::min(minY, q.y);
    maxY = std::max(maxY, q.y);
  }
  const double cx = (minX + maxX) / 2, cy = (minY + maxY) / 2;
  for (RPathPoint& q : p.points) {
    double x = q.x - cx, y = q.y - cy;
    f(x, y);
    q.x = x + cx;
    q.y = y + cy;
  }
  p.Changed();
}

}  // namespace

void SetKind(CPath& p, int kind) {
  p.kind = kind == 1 ? 1 : 0;
  p.Changed();
}
void SetClosed(CPath& p, bool closed) {
  p.closed = closed;
  p.Changed();
}
void SetPrecision(CPath& p, int precision) {
  p.precision = std::clamp(precision, 0, 8);
  p.Changed();
}

RPathPoint GetPoint(const CPath& p, int i) { return InRange(p, i) ? p.points[i] : RPathPoint{0, 0, 1}; }

void AddPoint(CPath& p, double x, double y, double speed) {
  p.points.push_back({x, y, speed});
  p.Changed();
}
void InsertPoint(CPath& p, int i, double x, double y, double speed) {
  if (i < 0 || i > static_cast<int>(p.points.size())) return;
  p.points.insert(p.points.begin() + i, RPathPoint{x, y, speed});
  p.Changed();
}
void ChangePoint(CPath& p, int i, double x, double y, double speed) {
  if (!InRange(p, i)) return;
  p.points[i] = {x, y, speed};
  p.Changed();
}
void DeletePoint(CPath& p, int i) {
  if (!InRange(p, i)) return;
  p.points.erase(p.points.begin() + i);
  p.Changed();
}
void ClearPoints(CPath& p) {
  p.points.clear();
  p.Changed();
}
void Reverse(CPath& p) {
  std::reverse(p.points.begin(), p.points.end());
  p.Changed();
}
void Shift(CPath& p, double dx, double dy) {
  for (RPathPoint& q : p.points) {
    q.x += dx;
    q.y += dy;
  }
  p.Changed();
}
void Mirror(CPath& p) {
  AroundCentre(p, [](double& x, double&) { x = -x; });
}
void Flip(CPath& p) {
  AroundCentre(p, [](double&, double& y) { y = -y; });
}
void Rotate(CPath& p, double degrees) {
  const long double r = DegToRad(degrees);
  const double c = static_cast<double>(std::cos(r)), s = static_cast<double>(std::sin(r));
  AroundCentre(p, [&](double& x, double& y) {
    const double nx = x * c + y * s, ny = y * c - x * s;
    x = nx;
    y = ny;
  });
}
void Scale(CPath& p, double xs, double ys) {
  AroundCentre(p, [&](double& x, double& y) {
    x *= xs;
    y *= ys;
  });
}
void Append(CPath& p, const CPath& other) {
  const std::vector<RPathPoint> copy = other.points;  // other may be p itself
  p.points.insert(p.points.end(), copy.begin(), copy.end());
  p.Changed();
}

}  // namespace kv::path_edit
