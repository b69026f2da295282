#include "world/object_class.h"

#include "runner/support_stream.h"

namespace kv {

bool CEvent::Read(CStream& s) {
  actions.clear();
  if (s.ReadInt() != kRecordVersion) return true;
  const int32_t count = s.ReadInt();
  s.CheckCount(count, 4);  // an action record holds at least its version
  // An action is far larger in memory than its smallest record, so the list grows with the records actually read
  // instead of being sized up front from the stored count.
  for (int32_t i = 0; i < count; ++i) {
    if (!actions.emplace_back().Read(s)) return false;
  }
  return true;
}

void CEvent::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteInt(static_cast<int32_t>(actions.size()));
  for (const CAction& action : actions) action.Write(s);
}

const CEvent* CObject::GetEvent(int type, int subtype) const {
  if (type < 0 || type >= kEventTypeCount) return nullptr;
  const auto it = events[type].find(subtype);
  return it != events[type].end() && it->second.Defined() ? &it->second : nullptr;
}

CEvent& CObject::GetOrCreateEvent(int type, int subtype) { return events[type][subtype]; }

bool CObject::Read(CStream& s) {
  const int32_t version = s.ReadInt();
  if (version != kRecordVersion && version != kOldRecordVersion) return false;
  sprite = s.ReadInt();
  solid = s.ReadBool();
  visible = s.ReadBool();
  depth = s.ReadInt();
  persistent = s.ReadBool();
  parent = s.ReadInt();
  mask = s.ReadInt();
  const int32_t lastType = version == kOldRecordVersion ? 8 : s.ReadInt();
  if (lastType >= kEventTypeCount) return false;
  for (auto& list : events) list.clear();
  for (int type = 0; type <= lastType; ++type) {
    for (;;) {
      const int32_t subtype = s.ReadInt();
      if (subtype < 0) break;
      // The event record is read into a fresh event first, so a repeated subtype replaces the earlier one.
      CEvent event;
      if (!event.Read(s)) return false;
      GetOrCreateEvent(type, subtype) = std::move(event);
    }
  }
  return true;
}

void CObject::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteInt(sprite);
  s.WriteBool(solid);
  s.WriteBool(visible);
  s.WriteInt(depth);
  s.WriteBool(persistent);
  s.WriteInt(parent);
  s.WriteInt(mask);
  s.WriteInt(kEventTypeCount - 1);
  for (const auto& byType : events) {
    for (const auto& [subtype, event] : byType) {
      if (!event.Defined()) continue;
      s.WriteInt(subtype);
      event.Write(s);
    }
    s.WriteInt(-1);
  }
}

}  // namespace kv
