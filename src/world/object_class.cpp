#include "world/object_class.h"

#include "runner/support_stream.h"
#include "world/event_table.h"

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

// ---- parent chains ----

int ParentOf(const ObjectTable& objects, int object) {
  const CObject* o = objects.Get(object);
  return o ? o->parent : -1;
}

namespace {

// Walks o, parent(o), ... over existing objects and calls visit(index) until it returns true. A chain that comes
// back to an object it already passed (a parent cycle) is cut after every object was visited once.
template <class Visit>
bool WalkChain(const ObjectTable& objects, int object, Visit visit) {
  int budget = objects.Count();
  for (int o = object; objects.Exists(o) && budget-- > 0; o = objects.Get(o)->parent) {
    if (visit(o)) return true;
  }
  return false;
}

FoundEvent FindOwn(const ObjectTable& objects, int object, int type, int subtype) {
  FoundEvent found;
  WalkChain(objects, object, [&](int o) {
    if (const CEvent* e = objects.Get(o)->GetEvent(type, subtype)) {
      found = {e, o};
      return true;
    }
    return false;
  });
  return found;
}

}  // namespace

FoundEvent FindEvent(const ObjectTable& objects, int object, int type, int subtype) {
  FoundEvent found = FindOwn(objects, object, type, subtype);
  if (found || type != kEventCollision || !objects.Exists(subtype)) return found;
  // The other object's ancestors, nearest first, each tried along the whole chain of the object.
  WalkChain(objects, ParentOf(objects, subtype), [&](int ancestor) {
    found = FindOwn(objects, object, kEventCollision, ancestor);
    return static_cast<bool>(found);
  });
  return found;
}

bool HasEventOfType(const ObjectTable& objects, int object, int type) {
  if (type < 0 || type >= CObject::kEventTypeCount) return false;
  return WalkChain(objects, object, [&](int o) {
    for (const auto& [subtype, event] : objects.Get(o)->events[type])
      if (event.Defined()) return true;
    return false;
  });
}

bool IsDescendant(const ObjectTable& objects, int object, int ancestor) {
  return WalkChain(objects, ParentOf(objects, object), [&](int o) { return o == ancestor; });
}

bool ParentWouldCycle(const ObjectTable& objects, int object, int parent) {
  return parent == object || IsDescendant(objects, parent, object);
}

// ---- names ----

std::string KeyName(int code) {
  switch (code) {
    case 0: return "<no key>";
    case 1: return "<any key>";
    case 8: return "<Backspace>";
    case 9: return "<Tab>";
    case 13: return "<Enter>";
    case 16: return "<Shift>";
    case 17: return "<Ctrl>";
    case 18: return "<Alt>";
    case 27: return "<Escape>";
    case 32: return "<Space>";
    case 33: return "<Page Up>";
    case 34: return "<Page Down>";
    case 35: return "<End>";
    case 36: return "<Home>";
    case 37: return "<Left>";
    case 38: return "<Up>";
    case 39: return "<Right>";
    case 40: return "<Down>";
    case 45: return "<Insert>";
    case 46: return "<Delete>";
    case 106: return "Keypad *";
    case 107: return "Keypad +";
    case 109: return "Keypad -";
    case 110: return "Keypad .";
    case 111: return "Keypad /";
    default: break;
  }
  if ((code >= 48 && code <= 57) || (code >= 65 && code <= 90)) return std::string(1, char(code)) + "-key";
  if (code >= 96 && code <= 105) return "Keypad " + std::to_string(code - 96);
  if (code >= 112 && code <= 123) return "F" + std::to_string(code - 111);
  return "<unknown>";
}

std::string EventName(const ObjectTable& objects, int type, int subtype) {
  switch (type) {
    case kEventCreate: return "Create Event";
    case kEventDestroy: return "Destroy Event";
    case kEventAlarm: return "Alarm Event for alarm " + std::to_string(subtype);
    case kEventStep: return EventSubtypeDisplayName(type, subtype) + " Step Event";
    case kEventCollision: return "Collision Event with object " + std::string(objects.Name(subtype));
    case kEventKeyboard: return "Keyboard Event for " + KeyName(subtype) + " Key";
    case kEventMouse: return "Mouse Event for " + EventSubtypeDisplayName(type, subtype);
    case kEventOther: return "Other Event: " + EventSubtypeDisplayName(type, subtype);
    case kEventDraw: return "Draw Event";
    case kEventKeyPress: return "Key Press Event for " + KeyName(subtype) + " Key";
    case kEventKeyRelease: return "Key Release Event for " + KeyName(subtype) + " Key";
    default: return "<Unknown Event>";
  }
}

}  // namespace kv
