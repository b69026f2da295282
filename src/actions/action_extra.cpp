// Extra actions: the one particle system of the actions with its sixteen type and emitter slots, CD audio, the
// cursor, full screen, snapshots and effects.
#include <array>

#include "actions/action_common.h"
#include "code/code_docs.h"
#include "world/run_main.h"

namespace kv::actlib {

namespace {

RValue R(double v) { return RValue(v); }
double Answer(bool b) { return b ? 1.0 : 0.0; }

// The actions' small ids 0..15 name particle types and emitters through these slots; -1 names nothing.
constexpr int kSlots = 16;
struct ActionParticles {
  int system = -1;
  std::array<int, kSlots> types;
  std::array<int, kSlots> emitters;
  ActionParticles() { Forget(); }
  void Forget() {
    types.fill(-1);
    emitters.fill(-1);
  }
};
ActionParticles& Particles() {
  static ActionParticles p;
  return p;
}

int System() {
  ActionParticles& p = Particles();
  if (p.system < 0 || Call("part_system_exists", {R(p.system)}).Real() < 0.5) {
    p.system = static_cast<int>(Call("part_system_create").Real());
    p.Forget();  // emitters belonged to a system that is gone
  }
  return p.system;
}
int SlotIndex(const RValue& v) {
  const int i = Round(v);
  return i >= 0 && i < kSlots ? i : -1;
}
// The type of a slot, made on first use; -1 for an id outside the slots.
int Type(const RValue& id) {
  System();
  const int i = SlotIndex(id);
  if (i < 0) return -1;
  int& t = Particles().types[i];
  if (t < 0 || Call("part_type_exists", {R(t)}).Real() < 0.5) t = static_cast<int>(Call("part_type_create").Real());
  return t;
}
// The type a slot names now, without making one.
int MappedType(const RValue& id) {
  const int i = SlotIndex(id);
  return i < 0 ? -1 : Particles().types[i];
}

void SystemCreate(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int s = System();
  Call("part_system_clear", {R(s)});
  Call("part_system_depth", {R(s), a[0]});
  Particles().Forget();
}
void SystemDestroy(RValue&, CInstance*, CInstance*, int, RValue*) {
  ActionParticles& p = Particles();
  if (p.system >= 0) Call("part_system_destroy", {R(p.system)});
  p.system = -1;
  p.Forget();
}
void SystemClear(RValue&, CInstance*, CInstance*, int, RValue*) { Call("part_particles_clear", {R(System())}); }

void TypeCreate(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int t = Type(a[0]);
  if (t < 0) return;
  Call("part_type_shape", {R(t), a[1]});
  Call("part_type_sprite", {R(t), a[2], R(1), R(0), R(0)});
  Call("part_type_size", {R(t), a[3], a[4], a[5], R(0)});
}
void TypeCreateOld(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int t = Type(a[0]);
  if (t < 0) return;
  Call("part_type_shape", {R(t), a[1]});
  Call("part_type_size", {R(t), a[2], a[3], R(0), R(0)});
  Call("part_type_color2", {R(t), a[4], a[5]});
}
void TypeColor(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int t = Type(a[0]);
  if (t < 0) return;
  Call(Round(a[1]) == 0 ? "part_type_color_mix" : "part_type_color2", {R(t), a[2], a[3]});
  Call("part_type_alpha2", {R(t), a[4], a[5]});
}
void TypeLife(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int t = Type(a[0]);
  if (t >= 0) Call("part_type_life", {R(t), a[1], a[2]});
}
void TypeSpeed(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int t = Type(a[0]);
  if (t < 0) return;
  Call("part_type_speed", {R(t), a[1], a[2], R(-Num(a[5])), R(0)});
  Call("part_type_direction", {R(t), a[3], a[4], R(0), R(0)});
}
void TypeGravity(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int t = Type(a[0]);
  if (t >= 0) Call("part_type_gravity", {R(t), a[1], a[2]});
}
void TypeSecondary(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int t = Type(a[0]);
  if (t < 0) return;
  Call("part_type_step", {R(t), a[2], R(MappedType(a[1]))});
  Call("part_type_death", {R(t), a[4], R(MappedType(a[3]))});
}

void EmitterCreate(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int s = System();
  const int i = SlotIndex(a[0]);
  if (i < 0) return;
  int& e = Particles().emitters[i];
  if (e < 0) e = static_cast<int>(Call("part_emitter_create", {R(s)}).Real());
  Call("part_emitter_region", {R(s), R(e), a[2], a[3], a[4], a[5], a[1], R(0)});  // even distribution
}
void EmitterDestroy(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int s = System();
  const int i = SlotIndex(a[0]);
  if (i >= 0 && Particles().emitters[i] >= 0) Call("part_emitter_destroy", {R(s), R(Particles().emitters[i])});
}
void Emit(const char* fn, RValue* a) {
  const int s = System();
  const int i = SlotIndex(a[0]);
  if (i < 0 || Particles().emitters[i] < 0) return Report("The particle emitter must first be created.");
  Call(fn, {R(s), R(Particles().emitters[i]), R(Type(a[1])), a[2]});
}
void EmitterBurst(RValue&, CInstance*, CInstance*, int, RValue* a) { Emit("part_emitter_burst", a); }
void EmitterStream(RValue&, CInstance*, CInstance*, int, RValue* a) { Emit("part_emitter_stream", a); }

// ---- CD audio, window and other ----
void CdPlay(RValue&, CInstance*, CInstance*, int, RValue* a) { Call("cd_play", {a[0], a[1]}); }
void CdStop(RValue&, CInstance*, CInstance*, int, RValue*) { Call("cd_stop"); }
void CdPause(RValue&, CInstance*, CInstance*, int, RValue*) { Call("cd_pause"); }
void CdResume(RValue&, CInstance*, CInstance*, int, RValue*) { Call("cd_resume"); }
void CdPresent(RValue& r, CInstance*, CInstance*, int, RValue*) { r = Answer(Call("cd_present").Real() >= 0.5); }
void CdPlaying(RValue& r, CInstance*, CInstance*, int, RValue*) { r = Answer(Call("cd_playing").Real() >= 0.5); }
void SetCursor(RValue&, CInstance*, CInstance*, int, RValue* a) {
  Game().cursorSprite = Round(a[0]);
  Call("window_set_cursor", {R(Flag(a[1]) ? 0 : -1)});  // cr_default or cr_none
}
void Fullscreen(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const double how = Num(a[0]);
  const bool full = how == 1 ? false : how == 2 ? true : Call("window_get_fullscreen").Real() < 0.5;
  Call("window_set_fullscreen", {R(full)});
}
void Snapshot(RValue&, CInstance*, CInstance*, int, RValue* a) { Call("screen_save", {a[0]}); }
void Effect(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  Call(Flag(a[5]) ? "effect_create_above" : "effect_create_below",
       {a[0], R(PosX(self, a[1])), R(PosY(self, a[2])), a[3], a[4]});
}

}  // namespace

void RegisterExtraActions() {
  Reg("action_partsyst_create", 1, SystemCreate);
  Reg("action_partsyst_destroy", 0, SystemDestroy);
  Reg("action_partsyst_clear", 0, SystemClear);
  Reg("action_parttype_create", 6, TypeCreate);
  Reg("action_parttype_create_old", 6, TypeCreateOld);
  Reg("action_parttype_color", 6, TypeColor);
  Reg("action_parttype_life", 3, TypeLife);
  Reg("action_parttype_speed", 6, TypeSpeed);
  Reg("action_parttype_gravity", 3, TypeGravity);
  Reg("action_parttype_secondary", 5, TypeSecondary);
  Reg("action_partemit_create", 6, EmitterCreate);
  Reg("action_partemit_destroy", 1, EmitterDestroy);
  Reg("action_partemit_burst", 3, EmitterBurst);
  Reg("action_partemit_stream", 3, EmitterStream);
  Reg("action_cd_play", 2, CdPlay);
  Reg("action_cd_stop", 0, CdStop);
  Reg("action_cd_pause", 0, CdPause);
  Reg("action_cd_resume", 0, CdResume);
  Reg("action_cd_present", 0, CdPresent);
  Reg("action_cd_playing", 0, CdPlaying);
  Reg("action_set_cursor", 2, SetCursor);
  Reg("action_fullscreen", 1, Fullscreen);
  Reg("action_snapshot", 1, Snapshot);
  Reg("action_effect", 6, Effect);
  DescribeFunctions("Extra actions", {
      {"action_partsyst_create", "depth", "Creates the actions' particle system at the given depth, or clears it."},
      {"action_partsyst_destroy", "", "Destroys the actions' particle system."},
      {"action_partsyst_clear", "", "Removes every particle of the actions' particle system."},
      {"action_parttype_create", "type, shape, spr, minsize, maxsize, sizeincr",
       "Creates particle type number type (0 to 15) with its shape or sprite and size."},
      {"action_parttype_create_old", "type, shape, minsize, maxsize, col1, col2",
       "Creates particle type number type with its shape, size and colours (older form)."},
      {"action_parttype_color", "type, kind, col1, col2, alpha1, alpha2",
       "Sets the colours (0 mixed, 1 changing) and the starting and ending opacity of particle type number type."},
      {"action_parttype_life", "type, minlife, maxlife",
       "Sets the life time range of particle type number type, in steps."},
      {"action_parttype_speed", "type, minspeed, maxspeed, mindir, maxdir, friction",
       "Sets the speed, direction and friction of particle type number type."},
      {"action_parttype_gravity", "type, amount, dir", "Sets the gravity of particle type number type."},
      {"action_parttype_secondary", "type, steptype, stepnumb, deathtype, deathnumb",
       "Makes particles of type number type create other particles each step and when they die."},
      {"action_partemit_create", "emitter, shape, xmin, xmax, ymin, ymax",
       "Creates particle emitter number emitter (0 to 15) over the region."},
      {"action_partemit_destroy", "emitter", "Destroys particle emitter number emitter."},
      {"action_partemit_burst", "emitter, type, number",
       "Bursts number particles of type number type from emitter number emitter."},
      {"action_partemit_stream", "emitter, type, number",
       "Streams number particles of type number type from emitter number emitter each step."},
      {"action_cd_play", "first, last", "Plays the tracks first to last of the audio CD."},
      {"action_cd_stop", "", "Stops the audio CD."},
      {"action_cd_pause", "", "Pauses the audio CD."},
      {"action_cd_resume", "", "Resumes the paused audio CD."},
      {"action_cd_present", "", "Whether an audio CD is in the drive."},
      {"action_cd_playing", "", "Whether the audio CD is playing."},
      {"action_set_cursor", "spr, show",
       "Draws the sprite as the mouse cursor; show keeps the system cursor visible."},
      {"action_fullscreen", "mode", "Switches the window: 1 windowed, 2 full screen, anything else toggles."},
      {"action_snapshot", "fname", "Saves the screen to an image file."},
      {"action_effect", "kind, x, y, size, col, above",
       "Creates an effect at (x, y), above the instances when above is true, else below."},
  });
}

}  // namespace kv::actlib
