#pragma once
// CObject and CEvent: an object resource as stored in the game data — the defaults it gives its instances and its
// events, each an ordered list of actions.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "actions/action_class.h"
#include "runner/resource_table.h"

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

using ObjectTable = ResourceTable<CObject>;

// Event types.
enum EventType : int {
  kEventCreate = 0, kEventDestroy = 1, kEventAlarm = 2, kEventStep = 3, kEventCollision = 4, kEventKeyboard = 5,
  kEventMouse = 6, kEventOther = 7, kEventDraw = 8, kEventKeyPress = 9, kEventKeyRelease = 10
};
// Subtypes of the step and other events the world raises itself.
enum : int { kStepNormal = 0, kStepBegin = 1, kStepEnd = 2 };
enum : int {
  kOtherOutside = 0, kOtherBoundary = 1, kOtherGameStart = 2, kOtherGameEnd = 3, kOtherRoomStart = 4,
  kOtherRoomEnd = 5, kOtherNoMoreLives = 6, kOtherAnimationEnd = 7, kOtherEndOfPath = 8, kOtherNoMoreHealth = 9,
  kOtherUser0 = 10, kOtherCloseButton = 30
};

// An event found through a parent chain and the object of the chain that defines it.
struct FoundEvent {
  const CEvent* event = nullptr;
  int definingObject = -1;
  explicit operator bool() const { return event != nullptr; }
};

// The parent of an existing object, or -1 (no parent, or the object does not exist).
int ParentOf(const ObjectTable& objects, int object);

// Event lookup: the first object of the chain o, parent(o), ... that defines [type][subtype]. For a collision
// event whose other object c exists and was not found, each ancestor of c in turn (nearest first) is looked up
// along the whole chain of o. Chains end at -1 or a missing object; a parent cycle ends a walk after every object
// was visited once.
FoundEvent FindEvent(const ObjectTable& objects, int object, int type, int subtype);
// True when the object or an ancestor defines any event of the type.
bool HasEventOfType(const ObjectTable& objects, int object, int type);
// True when ancestor occurs in the object's parent chain (the object itself does not count).
bool IsDescendant(const ObjectTable& objects, int object, int ancestor);
// True when making parent the parent of object would close a cycle (parent is object or one of its descendants).
bool ParentWouldCycle(const ObjectTable& objects, int object, int parent);

// Names as shown in messages ("Create Event", "Keyboard Event for <Left> Key", ...).
std::string KeyName(int code);
std::string EventName(const ObjectTable& objects, int type, int subtype);

}  // namespace kv
