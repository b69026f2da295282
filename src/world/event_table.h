#pragma once
// The events of objects, in one table that every user reads: the event cache and the dispatch lists (which
// subtypes the main loop raises), messages (display names) and kvpack projects (names in manifests).
#include <optional>
#include <string>
#include <string_view>

#include "world/object_class.h"

namespace kv {

struct EventTypeRow {
  int type;
  const char* projectName;  // kvpack: "create", "step", ...
  int loopSubtypes;         // subtypes 0 … n−1 get cache slots and dispatch lists (collisions: 0, hashed pairs)
  int projectSubtypes;      // highest subtype a project may name + 1 (alarms 0 … 11); 0: no limit
  bool takesSubtype;        // a project line names a subtype (step defaults to normal)
};
inline constexpr EventTypeRow kEventTypes[CObject::kEventTypeCount] = {
    {kEventCreate, "create", 1, 1, false},          {kEventDestroy, "destroy", 1, 1, false},
    {kEventAlarm, "alarm", 13, 12, true},           {kEventStep, "step", 17, 3, true},
    {kEventCollision, "collision", 0, 0, true},     {kEventKeyboard, "keyboard", 129, 0, true},
    {kEventMouse, "mouse", 129, 0, true},           {kEventOther, "other", 129, 0, true},
    {kEventDraw, "draw", 1, 1, false},              {kEventKeyPress, "keypress", 129, 0, true},
    {kEventKeyRelease, "keyrelease", 129, 0, true},
};

// Subtypes with names: step kinds, mouse events and the other events. Numbered families (user events, views,
// joystick buttons) are spelled by the functions below.
struct EventSubtypeRow {
  int type;
  int subtype;
  const char* projectName;  // kvpack
  const char* displayName;  // messages
};
extern const EventSubtypeRow kEventSubtypes[];
extern const int kEventSubtypeCount;

// The row of a type (null outside 0 … 10).
const EventTypeRow* EventTypeInfo(int type);
std::optional<int> EventTypeFromProjectName(std::string_view name);
// A project's subtype word for step, mouse and other events ("begin", "left_press", "user3", "outside_view2");
// a plain number is accepted for mouse and other events.
std::optional<int> EventSubtypeFromProjectName(int type, std::string_view word);
// The project word of a step, mouse or other subtype; empty when it has none.
std::string EventSubtypeProjectName(int type, int subtype);
// The display name of a step, mouse or other subtype ("Begin", "Left Pressed", "User Defined 3"); "<unknown>"
// when it has none.
std::string EventSubtypeDisplayName(int type, int subtype);

}  // namespace kv
