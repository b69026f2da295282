#pragma once
// CPath: a path resource as stored in the game data — its defining points, kind, closed flag and precision. The
// followed curve is computed from these by the path code.
#include <cstdint>
#include <vector>

namespace kv {

class CStream;

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

  // False for a wrong record version; truncation and impossible point counts throw StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  bool operator==(const CPath&) const = default;
};

}  // namespace kv
