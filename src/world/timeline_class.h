#pragma once
// CTimeLine: a time line resource as stored in the game data — moments, each a step number with an action list.
#include <cstdint>
#include <vector>

#include "world/object_class.h"

namespace kv {

class CStream;

struct RMoment {
  int step = 0;
  CEvent event;
  bool operator==(const RMoment&) const = default;
};

struct CTimeLine {
  static constexpr int32_t kRecordVersion = 500;

  std::vector<RMoment> moments;  // in stored order (the editor stores ascending steps)

  // False for a wrong record version or a failing action record; an event record with a wrong version leaves that
  // moment's action list empty. Truncation and impossible counts throw StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  bool operator==(const CTimeLine&) const = default;
};

}  // namespace kv
