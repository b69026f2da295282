// Control actions: the questions about places, instances, chance, the mouse, alignment and values, calling a
// script and running the parent's event.
#include <cmath>

#include "actions/action_common.h"
#include "actions/function_action.h"
#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_script.h"
#include "functions/function_math.h"

namespace kv::actlib {

namespace {

RValue R(double v) { return RValue(v); }
double Answer(bool b) { return b ? 1.0 : 0.0; }

void If(RValue& r, CInstance*, CInstance*, int, RValue* a) { r = a[0]; }
// place_free (no solid instance) when `only` rounds to 0, else place_empty (no instance at all).
bool PlaceEmpty(CInstance* self, CInstance* other, RValue* a) {
  const RValue x = R(PosX(self, a[0])), y = R(PosY(self, a[1]));
  return Call(Round(a[2]) == 0 ? "place_free" : "place_empty", self, other, {x, y}).Real() >= 0.5;
}
void IfEmpty(RValue& r, CInstance* self, CInstance* other, int, RValue* a) { r = Answer(PlaceEmpty(self, other, a)); }
void IfCollision(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  r = Answer(!PlaceEmpty(self, other, a));
}
void IfObject(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  r = Answer(Call("place_meeting", self, other, {R(PosX(self, a[1])), R(PosY(self, a[2])), a[0]}).Real() >= 0.5);
}
void IfNumber(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  r = Answer(Compare(Call("instance_number", self, other, {a[0]}).Real(), Num(a[1]), a[2]));
}
void IfDice(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const double sides = Num(a[0]);
  if (!(sides > 1)) {
    r = 1.0;
    return;
  }
  r = Answer(GameRandom::NextInt(RoundToInt64(sides * 1000)) <= 1000);
}
void IfMouse(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  const double button = Num(a[0]);
  if (button == 1 || button == 2 || button == 3) {
    r = Answer(Call("mouse_check_button", self, other, {R(button)}).Real() >= 0.5 ||
               Call("mouse_check_button_released", self, other, {R(button)}).Real() >= 0.5);
  } else {
    r = Answer(Call("mouse_check_button", self, other, {R(0)}).Real() >= 0.5);  // mb_none
  }
}
bool Aligned(double c, double snap) {
  if (!(snap > 0)) return true;
  const double n = static_cast<double>(RoundToInt64(c / snap));
  return std::fabs(c - snap * n) < 0.001;
}
void IfAligned(RValue& r, CInstance* self, CInstance*, int, RValue* a) {
  r = Answer(Aligned(self->x, Num(a[0])) && Aligned(self->y, Num(a[1])));
}
void IfVariable(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  if (a[0].IsString() != a[1].IsString()) {
    Report("Cannot compare arguments.");
    r = 0.0;
    return;
  }
  const double difference = a[0].IsString() ? CompareStrings(a[0].Str(), a[1].Str()) : Num(a[0]) - Num(a[1]);
  r = Answer(Compare(difference, 0, a[2]));
}
void ExecuteScript(RValue& r, CInstance* self, CInstance* other, int, RValue* a) {
  if (!CallScript(Round(a[0]), self, other, r, a + 1, 5) && ErrorPending()) {
    Report(PendingMessage());
    ClearErrorPending();
  }
}
void Inherited(RValue&, CInstance* self, CInstance* other, int, RValue*) { Call("event_inherited", self, other, {}); }

}  // namespace

void RegisterControlActions() {
  Reg("action_if", 1, If);
  Reg("action_if_empty", 3, IfEmpty);
  Reg("action_if_collision", 3, IfCollision);
  Reg("action_if_object", 3, IfObject);
  Reg("action_if_number", 3, IfNumber);
  Reg("action_if_dice", 1, IfDice);
  Reg("action_if_mouse", 1, IfMouse);
  Reg("action_if_aligned", 2, IfAligned);
  Reg("action_if_variable", 3, IfVariable);
  Reg("action_execute_script", 6, ExecuteScript);
  Reg("action_inherited", 0, Inherited);
  DescribeFunctions("Control actions", {
      {"action_if", "expr", "Whether expr is true."},
      {"action_if_empty", "x, y, all",
       "Whether (x, y) is free of solid instances (of any instance when all is true)."},
      {"action_if_collision", "x, y, all",
       "Whether there is a solid instance (any instance when all is true) at (x, y)."},
      {"action_if_object", "obj, x, y", "Whether the instance placed at (x, y) would meet an instance of obj."},
      {"action_if_number", "obj, number, op",
       "Compares the number of instances of obj with number (op: 0 equal, 1 smaller, 2 larger)."},
      {"action_if_dice", "sides", "True once in sides times, at random."},
      {"action_if_mouse", "button", "Whether the mouse button is held (0 for no button)."},
      {"action_if_aligned", "hsnap, vsnap", "Whether the position is aligned to the grid."},
      {"action_if_variable", "val1, val2, op", "Compares two values (op: 0 equal, 1 smaller, 2 larger)."},
      {"action_execute_script", "scr, arg0, arg1, arg2, arg3, arg4",
       "Runs the script with five arguments and returns its result."},
      {"action_inherited", "", "Runs the same event of the parent object."},
  });
}

}  // namespace kv::actlib
