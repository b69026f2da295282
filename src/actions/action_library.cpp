#include "actions/action_library.h"

#include "actions/function_action.h"
#include "code/code_function.h"
#include "code/code_instance.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv {

namespace {

double Num(const RValue& v) { return v.Real(); }
int32_t Rounded(const RValue& v) { return RoundToInt32Wrap(v.Real()); }

// A value that sets a variable: added to the current value when the action is relative.
double Value(double current, const RValue& v) { return ArgumentRelative() ? current + v.Real() : v.Real(); }
// A position pair: relative to self when the action is relative.
double PosX(const CInstance* self, const RValue& v) { return ArgumentRelative() ? self->x + v.Real() : v.Real(); }
double PosY(const CInstance* self, const RValue& v) { return ArgumentRelative() ? self->y + v.Real() : v.Real(); }

// ---- movement ----
void SetMotion(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (ArgumentRelative()) {
    self->AddMotion(Num(a[1]), Num(a[0]));
  } else {
    self->SetDirection(Num(a[0]));
    self->SetSpeed(Num(a[1]));
  }
}
void SetHSpeed(RValue&, CInstance* self, CInstance*, int, RValue* a) { self->SetHSpeed(Value(self->hSpeed, a[0])); }
void SetVSpeed(RValue&, CInstance* self, CInstance*, int, RValue* a) { self->SetVSpeed(Value(self->vSpeed, a[0])); }
void SetGravity(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->gravityDirection = Value(self->gravityDirection, a[0]);
  self->gravity = Value(self->gravity, a[1]);
}
void SetFriction(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->friction = Value(self->friction, a[0]);
}
void MovePoint(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->MoveTowards(PosX(self, a[0]), PosY(self, a[1]), Num(a[2]));
}
void MoveTo(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->SetPosition(PosX(self, a[0]), PosY(self, a[1]));
}
void MoveStart(RValue&, CInstance* self, CInstance*, int, RValue*) { self->SetPosition(self->xStart, self->yStart); }
void ReverseXDir(RValue&, CInstance* self, CInstance*, int, RValue*) { self->SetHSpeed(-self->hSpeed); }
void ReverseYDir(RValue&, CInstance* self, CInstance*, int, RValue*) { self->SetVSpeed(-self->vSpeed); }

// ---- instances ----
void CreateObject(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  CreateInstance(Rounded(a[0]), PosX(self, a[1]), PosY(self, a[2]));
}
void CreateObjectMotion(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  const int object = Rounded(a[0]);
  if (!WorldObject(object)) {
    CreateInstance(object, 0, 0);  // reports the missing object
    return;
  }
  CInstance* inst = AddRoomInstance(object, PosX(self, a[1]), PosY(self, a[2]));
  if (!inst) return;
  inst->SetSpeed(Num(a[3]));
  inst->SetDirection(Num(a[4]));
  PerformEventFor(inst, inst, kEventCreate, 0);
}
void ChangeObject(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  ChangeInstance(self, Rounded(a[0]), RoundToInt64(Num(a[1])) > 0.5);
}
void KillObject(RValue&, CInstance* self, CInstance*, int, RValue*) { DestroyInstance(self); }

// ---- timing and appearance ----
void SetAlarm(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  const int alarm = Rounded(a[1]);
  const int32_t steps = Rounded(a[0]);
  const int32_t current = self->GetAlarm(alarm);
  self->SetAlarm(alarm, ArgumentRelative() && current >= 0 ? current + steps : steps);
}
void SpriteTransform(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->SetXScale(Num(a[0]));
  self->SetYScale(Num(a[1]));
  self->SetAngle(Num(a[2]));
  const double mirror = Num(a[3]);
  if (mirror == 1 || mirror == 3) self->SetXScale(-self->imageXScale);
  if (mirror == 2 || mirror == 3) self->SetYScale(-self->imageYScale);
}
void SpriteColor(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->imageBlend = Rounded(a[0]);
  self->imageAlpha = Num(a[1]);
}

struct ActionFunction {
  const char* name;
  int argCount;
  BuiltinFn handler;
};

// The table of action functions; the rest of the library joins it as its subsystems land.
constexpr ActionFunction kActions[] = {
    {"action_set_motion", 2, SetMotion},
    {"action_set_hspeed", 1, SetHSpeed},
    {"action_set_vspeed", 1, SetVSpeed},
    {"action_set_gravity", 2, SetGravity},
    {"action_set_friction", 1, SetFriction},
    {"action_move_point", 3, MovePoint},
    {"action_move_to", 2, MoveTo},
    {"action_move_start", 0, MoveStart},
    {"action_reverse_xdir", 0, ReverseXDir},
    {"action_reverse_ydir", 0, ReverseYDir},
    {"action_create_object", 3, CreateObject},
    {"action_create_object_motion", 5, CreateObjectMotion},
    {"action_change_object", 2, ChangeObject},
    {"action_kill_object", 0, KillObject},
    {"action_set_alarm", 2, SetAlarm},
    {"action_sprite_transform", 4, SpriteTransform},
    {"action_sprite_color", 2, SpriteColor},
};

}  // namespace

void RegisterActionLibraryFunctions() {
  for (const ActionFunction& f : kActions) RegisterFunction(f.name, f.handler, f.argCount);
}

}  // namespace kv
