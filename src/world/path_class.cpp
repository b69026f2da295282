#include "world/path_class.h"

#include "runner/support_stream.h"

namespace kv {

bool CPath::Read(CStream& s) {
  Changed();
  if (s.ReadInt() != kRecordVersion) return false;
  kind = s.ReadInt();
  closed = s.ReadBool();
  precision = s.ReadInt();
  const int32_t count = s.ReadInt();
  s.CheckCount(count, 3 * sizeof(double));
  points.resize(static_cast<size_t>(count));
  for (RPathPoint& p : points) {
    p.x = s.ReadReal();
    p.y = s.ReadReal();
    p.speed = s.ReadReal();
  }
  return true;
}

void CPath::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteInt(kind);
  s.WriteBool(closed);
  s.WriteInt(precision);
  s.WriteInt(static_cast<int32_t>(points.size()));
  for (const RPathPoint& p : points) {
    s.WriteReal(p.x);
    s.WriteReal(p.y);
    s.WriteReal(p.speed);
  }
}

}  // namespace kv
