#include "world/timeline_class.h"

#include "runner/support_stream.h"

namespace kv {

bool CTimeLine::Read(CStream& s) {
  moments.clear();
  if (s.ReadInt() != kRecordVersion) return false;
  const int32_t count = s.ReadInt();
  s.CheckCount(count, 8);  // a step and an event version
  moments.resize(static_cast<size_t>(count));
  for (RMoment& moment : moments) {
    moment.step = s.ReadInt();
    if (!moment.event.Read(s)) return false;
  }
  return true;
}

void CTimeLine::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteInt(static_cast<int32_t>(moments.size()));
  for (const RMoment& moment : moments) {
    s.WriteInt(moment.step);
    moment.event.Write(s);
  }
}

}  // namespace kv
