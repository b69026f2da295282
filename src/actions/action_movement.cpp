// Movement actions: motion, jumps, wrapping, contact and bounce, paths and motion planning steps.
#include <cmath>

#include "actions/action_common.h"
#include "code/code_docs.h"
#include "functions/function_math.h"
#include "world/room_live.h"
#include "world/world_rooms.h"

namespace kv::actlib {

namespace {

// Keypad layout of action_move, row by row from the top; index 4 is "stop".
constexpr double kMoveDirections[9] = {225, 270, 315, 180, 0, 0, 135, 90, 45};

void Move(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  const std::string dirs = a[0].IsString() ? a[0].ToStdString() : std::string();
  if (dirs.size() != 9) return Report("Wrong argument to action_move().");
  if (dirs.find('1') == std::string::npos) return;
  self->SetSpeed(Rel(self->speed, a[1]));
  int64_t index = 0;
  do index = GameRandom::NextInt(9);
  while (dirs[static_cast<size_t>(index)] != '1');
  if (index == 4) {
    self->SetDirection(0);
    self->SetSpeed(0);
  } else {
    self->SetDirection(kMoveDirections[index]);
  }
}
void SetMotion(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (ArgumentRelative()) {
    self->AddMotion(Num(a[1]), Num(a[0]));
  } else {
    self->SetDirection(Num(a[0]));
    self->SetSpeed(Num(a[1]));
  }
}
void SetHSpeed(RValue&, CInstance* self, CInstance*, int, RValue* a) { self->SetHSpeed(Rel(self->hSpeed, a[0])); }
void SetVSpeed(RValue&, CInstance* self, CInstance*, int, RValue* a) { self->SetVSpeed(Rel(self->vSpeed, a[0])); }
void SetGravity(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->gravityDirection = Rel(self->gravityDirection, a[0]);
  self->gravity = Rel(self->gravity, a[1]);
}
void SetFriction(RValue&, CInstance* self, CInstance*, int, RValue* a) { self->friction = Rel(self->friction, a[0]); }
void MovePoint(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->MoveTowards(PosX(self, a[0]), PosY(self, a[1]), Num(a[2]));
}
void MoveTo(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->SetPosition(PosX(self, a[0]), PosY(self, a[1]));
}
void MoveStart(RValue&, CInstance* self, CInstance*, int, RValue*) { self->SetPosition(self->xStart, self->yStart); }
void MoveRandom(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  Call("move_random", self, other, {a[0], a[1]});
}
void Snap(RValue&, CInstance* self, CInstance* other, int, RValue* a) { Call("move_snap", self, other, {a[0], a[1]}); }

double SpriteSize(CInstance* self, const char* fn, double scale) {
  if (self->spriteIndex < 0) return 0;
  return Call(fn, {RValue(double(self->spriteIndex))}).Real() * scale;
}
void Wrap(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  const CLiveRoom* room = CurrentRoom();
  if (!room) return;
  const double how = Num(a[0]);
  const bool horizontal = how == 0 || how == 2, vertical = how == 1 || how == 2;
  double x = self->x, y = self->y;
  // The sprite's size is asked only when the instance does wrap (most steps it does not).
  if (horizontal) {
    const double width = room->props.width;
    if (self->hSpeed < 0 && x < 0) x += width + SpriteSize(self, "sprite_get_width", self->imageXScale);
    else if (self->hSpeed > 0 && x >= width) x -= width + SpriteSize(self, "sprite_get_width", self->imageXScale);
  }
  if (vertical) {
    const double height = room->props.height;
    if (self->vSpeed < 0 && y < 0) y += height + SpriteSize(self, "sprite_get_height", self->imageYScale);
    else if (self->vSpeed > 0 && y >= height) y -= height + SpriteSize(self, "sprite_get_height", self->imageYScale);
  }
  if (x != self->x || y != self->y) self->SetPosition(x, y);
}
void ReverseXDir(RValue&, CInstance* self, CInstance*, int, RValue*) { self->SetHSpeed(-self->hSpeed); }
void ReverseYDir(RValue&, CInstance* self, CInstance*, int, RValue*) { self->SetVSpeed(-self->vSpeed); }
void MoveContact(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  Call(Flag(a[2]) ? "move_contact_all" : "move_contact_solid", self, other, {a[0], a[1]});
}
void Bounce(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  Call(Num(a[1]) == 1 ? "move_bounce_all" : "move_bounce_solid", self, other, {RValue(Flag(a[0]) ? 1.0 : 0.0)});
}

// ---- paths and motion planning ----
void Path(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  Call("path_start", self, other, {a[0], a[1], a[2], RValue(Flag(a[3]) ? 0.0 : 1.0)});
}
void PathEnd(RValue&, CInstance* self, CInstance* other, int, RValue*) { Call("path_end", self, other, {}); }
void PathPosition(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->pathPosition = Rel(self->pathPosition, a[0]);
}
void PathSpeed(RValue&, CInstance* self, CInstance*, int, RValue* a) { self->pathSpeed = Rel(self->pathSpeed, a[0]); }
// Against every instance (object all) when the flag is set, else only the solid ones.
void PlanningStep(const char* fn, CInstance* self, CInstance* other, RValue* a) {
  Call(fn, self, other, {RValue(PosX(self, a[0])), RValue(PosY(self, a[1])), a[2], RValue(Flag(a[3]) ? 1.0 : 0.0)});
}
void LinearStep(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  PlanningStep("mp_linear_step", self, other, a);
}
void PotentialStep(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  PlanningStep("mp_potential_step", self, other, a);
}
void Nothing(RValue&, CInstance*, CInstance*, int, RValue*) {}

}  // namespace

void RegisterMovementActions() {
  Reg("action_move", 2, Move);
  Reg("action_set_motion", 2, SetMotion);
  Reg("action_set_hspeed", 1, SetHSpeed);
  Reg("action_set_vspeed", 1, SetVSpeed);
  Reg("action_set_gravity", 2, SetGravity);
  Reg("action_set_friction", 1, SetFriction);
  Reg("action_move_point", 3, MovePoint);
  Reg("action_move_to", 2, MoveTo);
  Reg("action_move_start", 0, MoveStart);
  Reg("action_move_random", 2, MoveRandom);
  Reg("action_snap", 2, Snap);
  Reg("action_wrap", 1, Wrap);
  Reg("action_reverse_xdir", 0, ReverseXDir);
  Reg("action_reverse_ydir", 0, ReverseYDir);
  Reg("action_move_contact", 3, MoveContact);
  Reg("action_bounce", 2, Bounce);
  Reg("action_path", 4, Path);
  Reg("action_path_end", 0, PathEnd);
  Reg("action_path_position", 1, PathPosition);
  Reg("action_path_speed", 1, PathSpeed);
  Reg("action_linear_step", 4, LinearStep);
  Reg("action_potential_step", 4, PotentialStep);
  Reg("action_path_old", 3, Nothing);
  DescribeFunctions("Movement actions", {
      {"action_move", "dirs, speed",
       "Starts moving in one of the directions marked 1 in the nine-character keypad pattern dirs, picked at random."},
      {"action_set_motion", "dir, speed", "Sets the direction and speed of motion (relative: adds the motion)."},
      {"action_set_hspeed", "hspeed", "Sets the horizontal speed."},
      {"action_set_vspeed", "vspeed", "Sets the vertical speed."},
      {"action_set_gravity", "dir, amount", "Sets the direction and amount of gravity."},
      {"action_set_friction", "friction", "Sets the friction."},
      {"action_move_point", "x, y, speed", "Starts moving towards (x, y) with the given speed."},
      {"action_move_to", "x, y", "Jumps to (x, y)."},
      {"action_move_start", "", "Jumps back to the start position."},
      {"action_move_random", "hsnap, vsnap", "Jumps to a random free position aligned to the grid."},
      {"action_snap", "hsnap, vsnap", "Aligns the position to the grid."},
      {"action_wrap", "dir", "Wraps around the room when leaving it: 0 horizontally, 1 vertically, 2 both."},
      {"action_reverse_xdir", "", "Reverses the horizontal speed."},
      {"action_reverse_ydir", "", "Reverses the vertical speed."},
      {"action_move_contact", "dir, maxdist, all",
       "Moves in direction dir until touching a solid instance (or any instance when all is true)."},
      {"action_bounce", "precise, all", "Bounces against solid instances (or all instances when all is 1)."},
      {"action_path", "path, speed, endaction, relative",
       "Starts following the path; relative starts it at the current position."},
      {"action_path_end", "", "Stops following the path."},
      {"action_path_position", "pos", "Sets the position on the path, 0 to 1."},
      {"action_path_speed", "speed", "Sets the speed along the path."},
      {"action_linear_step", "x, y, stepsize, all",
       "Takes a step straight towards (x, y), stopping at solid instances (or any when all is true)."},
      {"action_potential_step", "x, y, stepsize, all",
       "Takes a step towards (x, y), steering around solid instances (or any when all is true)."},
      {"action_path_old", "path, speed, endaction", "Kept so old games load; does nothing."},
  });
}

}  // namespace kv::actlib
