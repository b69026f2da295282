#pragma once
// CPath: a path resource as stored in the game data — its defining points, kind, closed flag and precision. The
// followed curve is computed from these by the path code.
#include <cstdint>
#include <memory>
#include <vector>

namespace kv {

class CStream;
struct PathCurve;

struct RPathPoint {
  double x = 0, y = 0;
  double speed = 100;  // speed factor in percent
  bool operator==(const RPathPoint&) const = default;
};

struct CPath {
  static constexpr int32_t kRecordVersion = 530;

  int kind = 0;        // 0 straight, 1 smooth
  bool closed = true;
  int precision = 4;   // smooth subdivision depth, 0 ... 8
  std::vector<RPathPoint> points;

  // The followed curve with its lengths, computed on first use after a change (path_points.cpp).
  const PathCurve& Curve() const;
  // Every change of points, kind, closed or precision calls this, so the next Curve() computes afresh.
  void Changed() { curveCache.reset(); }

  // False for a wrong record version; truncation and impossible point counts throw StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  bool operator==(const CPath& o) const {
    return kind == o.kind && closed == o.closed && precision == o.precision && points == o.points;
  }

  // Not part of the path's value: shared by copies (it describes the same points), dropped by Changed().
  mutable std::shared_ptr<const PathCurve> curveCache;
};

}  // namespace kv
