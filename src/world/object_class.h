#pragma once
// CObject and CEvent: an object resource as stored in the game data — the defaults it gives its instances and its
// events, each an ordered list of actions.
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "actions/action_class.h"

namespace kv {

class CStream;

// An event's action list. An event counts as defined only when it holds at least one action.
struct CEvent {
  static constexpr int32_t kRecordVersion = 400;

  std::vector<CAction> actions;

  bool Defined() const { return !actions.empty(); }

  // A record with another version than 400 holds nothing more: the event stays empty (true). A failing action
  // record fails the event (false). Truncation and impossible counts throw StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  bool operator==(const CEvent&) const = default;
};

struct CObject {
  static constexpr int32_t kRecordVersion = 430;     // what Write stores
  static constexpr int32_t kOldRecordVersion = 400;  // event types 0 ... 8 only
  static constexpr int kEventTypeCount = 11;         // types 0 ... 10

  int sprite = -1;
  bool solid = false;
  bool visible = true;
  int depth = 0;
  bool persistent = false;
  int parent = -1;
  int mask = -1;  // -1: the sprite is used
  // events[type] maps subtype -> event, in subtype order. Sparse, so a collision event with a large object index
  // costs one entry instead of a subtype array grown to that index; a missing subtype behaves exactly like the
  // empty gap-filling events of a dense array. Map nodes keep their address when events are added at run time.
  std::array<std::map<int, CEvent>, kEventTypeCount> events;

  // The event defined on this very object (at least one action), or null.
  const CEvent* GetEvent(int type, int subtype) const;
  // The event at [type][subtype], created empty when missing. type must be 0 ... 10, subtype 0 or more.
  CEvent& GetOrCreateEvent(int type, int subtype);

  // False for a wrong version, a last event type above 10 or a failing event; truncation throws StreamError.
  bool Read(CStream& s);
  // Writes version 430 with every event type; only defined events are stored.
  void Write(CStream& s) const;

  bool operator==(const CObject&) const = default;
};

}  // namespace kv
