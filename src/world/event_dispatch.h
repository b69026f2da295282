// Event dispatch: which instances receive which events, with which instance as other, in which order.
//
// The dispatch lists say, per event type and subtype, which objects have a (possibly inherited) handler, in
// increasing object order; the collision pairs say which object pairs (a, b) have a collision event of a with b.
// Both are built at game start and whenever objects' events or parents change. The phase dispatchers below are
// called by the main loop in its fixed order; each walks instance lists by index with the count taken at the start
// and skips instances that are Deleted when reached.
#pragma once

#include <functional>
#include <optional>
#include <vector>

namespace kv {

class CInstance;

// Rebuilds the dispatch lists and collision pairs from the world's objects.
void BuildDispatchLists();
// Objects with a handler for (type, subtype); empty outside the built ranges.
const std::vector<int>& DispatchList(int type, int subtype);

// Instances of the dispatch list's objects (exact lists), each not Deleted when reached:
// PerformEventFor(inst, inst, type, subtype).
void DispatchPerObject(int type, int subtype);

void DispatchStep(int subtype);
void DispatchAlarms();
void DispatchKeyboard();
void DispatchJoysticks();
void DispatchMouse();
void DispatchBoundaryEvents();
void DispatchCollisions();

// What the mouse and joystick phases read from outside the world.
struct JoystickState {
  int x = 32768, y = 32768;
  unsigned buttons = 0;
};
struct DispatchInputHooks {
  // The mouse position in room coordinates (mapped through the views); defaults to the client position.
  std::function<void(double& x, double& y)> mouseRoomPosition;
  // Joystick 1 or 2; nullopt when it cannot be read.
  std::function<std::optional<JoystickState>(int joystick)> readJoystick;
};
DispatchInputHooks& DispatchHooks();

}  // namespace kv
