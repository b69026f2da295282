// Main actions: instances, sprite appearance, sounds, rooms, timing, the game, messages and resource replacement.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <filesystem>
#include <thread>

#include "actions/action_common.h"
#include "actions/action_library.h"
#include "code/code_docs.h"
#include "functions/function_math.h"
#include "functions/function_system.h"
#include "graphics/background_class.h"
#include "graphics/sprite_class.h"
#include "platform/system.h"
#include "platform/text_codec.h"
#include "runner/game_sections.h"
#include "world/run_main.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv::actlib {

namespace {

RValue R(double v) { return RValue(v); }

// ---- instances ----
void CreateObject(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  CreateInstance(Round(a[0]), PosX(self, a[1]), PosY(self, a[2]));  // reports a missing object
}
void CreateObjectMotion(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  const int object = Round(a[0]);
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
void CreateObjectRandom(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  int objects[4];
  bool any = false;
  for (int i = 0; i < 4; ++i) {
    objects[i] = Round(a[i]);
    any = any || WorldObject(objects[i]);
  }
  if (!any) return;
  int64_t pick = 0;
  do pick = GameRandom::NextInt(4);
  while (!WorldObject(objects[pick]));
  CreateInstance(objects[pick], PosX(self, a[4]), PosY(self, a[5]));
}
void ChangeObject(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  ChangeInstance(self, Round(a[0]), Round(a[1]) > 0.5);
}
void KillObject(RValue&, CInstance* self, CInstance*, int, RValue*) { DestroyInstance(self); }
void KillPosition(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  Call("position_destroy", self, other, {R(PosX(self, a[0])), R(PosY(self, a[1]))});
}

// ---- sprite appearance ----
bool SetSpriteChecked(CInstance* self, const RValue& v) {
  const int sprite = Round(v);
  if (!WorldSprite(sprite)) {
    Report("Setting instance to non-existing sprite: " + std::to_string(sprite));
    return false;
  }
  self->SetSprite(sprite);
  return true;
}
void SetSprite(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (!SetSpriteChecked(self, a[0])) return;
  if (Num(a[1]) > 0) {
    self->SetXScale(Num(a[1]));
    self->SetYScale(Num(a[1]));
  }
}
void SpriteSet(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  if (!SetSpriteChecked(self, a[0])) return;
  if (Num(a[1]) >= 0) self->imageIndex = Num(a[1]);
  self->imageSpeed = Num(a[2]);
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
  self->imageBlend = Round(a[0]);
  self->imageAlpha = Num(a[1]);
}

// ---- sounds ----
bool SoundExists(const RValue& v) { return Call("sound_exists", {R(Round(v))}).Real() >= 0.5; }
void Sound(RValue&, CInstance*, CInstance*, int, RValue* a) {
  if (!SoundExists(a[0])) return Report("Trying to play non-existing sound.");
  Call(Flag(a[1]) ? "sound_loop" : "sound_play", {R(Round(a[0]))});
}
void EndSound(RValue&, CInstance*, CInstance*, int, RValue* a) {
  if (!SoundExists(a[0])) return Report("Trying to stop non-existing sound.");
  Call("sound_stop", {R(Round(a[0]))});
}
void IfSound(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = SoundExists(a[0]) && Call("sound_isplaying", {R(Round(a[0]))}).Real() >= 0.5 ? 1.0 : 0.0;
}

// ---- rooms ----
void GoWithTransition(const char* fn, const RValue& transition, std::initializer_list<RValue> args) {
  Game().transitionKind = Round(transition);
  Call(fn, args);
}
void AnotherRoom(RValue&, CInstance*, CInstance*, int, RValue* a) { GoWithTransition("room_goto", a[1], {a[0]}); }
void CurrentRoomAction(RValue&, CInstance*, CInstance*, int, RValue* a) { GoWithTransition("room_restart", a[0], {}); }
void PreviousRoom(RValue&, CInstance*, CInstance*, int, RValue* a) {
  GoWithTransition("room_goto_previous", a[0], {});
}
void NextRoom(RValue&, CInstance*, CInstance*, int, RValue* a) { GoWithTransition("room_goto_next", a[0], {}); }
void IfPreviousRoom(RValue& r, CInstance*, CInstance*, int, RValue*) {
  r = Call("room_previous", {R(CurrentRoomIndex())}).Real() >= 0 ? 1.0 : 0.0;
}
void IfNextRoom(RValue& r, CInstance*, CInstance*, int, RValue*) {
  r = Call("room_next", {R(CurrentRoomIndex())}).Real() >= 0 ? 1.0 : 0.0;
}

// ---- timing and the game ----
void SetAlarm(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  const int alarm = Round(a[1]);
  const int32_t steps = Round(a[0]);
  const int32_t current = self->GetAlarm(alarm);
  self->SetAlarm(alarm, ArgumentRelative() && current >= 0 ? current + steps : steps);
}
void Sleep(RValue&, CInstance* self, CInstance* other, int, RValue* a) {
  if (Flag(a[1])) Call("screen_redraw", self, other, {});
  if (HasFunction("sleep")) {
    Call("sleep", {a[0]});
  } else {
    const double ms = Num(a[0]);
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int64_t>(std::min(ms, 6e7))));
  }
}
void SetTimeline(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->timelineIndex = Round(a[0]);
  self->timelinePosition = Round(a[1]);
}
void SetTimelinePosition(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  self->timelinePosition = ArgumentRelative() ? self->timelinePosition + Round(a[0]) : Round(a[0]);
}
void EndGame(RValue&, CInstance*, CInstance*, int, RValue*) { Call("game_end"); }
void RestartGame(RValue&, CInstance*, CInstance*, int, RValue*) { Call("game_restart"); }
void SaveGame(RValue&, CInstance*, CInstance*, int, RValue* a) { Call("game_save", {a[0]}); }
void LoadGame(RValue&, CInstance*, CInstance*, int, RValue* a) { Call("game_load", {a[0]}); }

// ---- messages and information ----
// '#' is a line break and "\#" a literal '#'.
std::string ExpandLineBreaks(const RValue& v) {
  const std::string text = Text(v);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '#') {
      out += '#';
      ++i;
    } else if (text[i] == '#') {
      out += "\r\n";
    } else {
      out += text[i];
    }
  }
  return out;
}
void ClearInput() { Call("io_clear"); }
void Message(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const std::string text = ExpandLineBreaks(a[0]);
  if (const auto& hook = GetActionWindowHooks().message) hook(text);
  else std::cerr << text << std::endl;
  ClearInput();
}
void IfQuestion(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const std::string text = ExpandLineBreaks(a[0]);
  const auto& hook = GetActionWindowHooks().question;
  r = hook && hook(text) ? 1.0 : 0.0;
  ClearInput();
}
void ShowInfo(RValue&, CInstance*, CInstance*, int, RValue*) {
  if (HasFunction("show_info")) Call("show_info");
  else if (const auto& hook = GetActionWindowHooks().showInfo) hook();
  ClearInput();
}
void ShowVideo(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const std::string file = a[0].IsString() ? a[0].ToStdString() : std::string();
  const auto& hook = GetActionWindowHooks().playVideo;
  if (!hook || !hook(file, Round(a[1]) != 0, Round(a[2]) != 0)) Report("Video file not found (or name too long).");
  ClearInput();
}
void Webpage(RValue&, CInstance*, CInstance*, int, RValue* a) {
  if (Game().secureMode) return Report("In secure mode you cannot open webpages.");
  const std::string address = a[0].IsString() ? a[0].ToStdString() : std::string();
  if (address.empty() || !SystemForFunctions().ShellOpen(plat::Cp1252ToUtf8(address), ""))
    Report("Failed to open the webpage.");
}

// ---- resources ----
bool FileExists(const RValue& v) {
  const std::string name = v.IsString() ? v.ToStdString() : std::string();
  std::error_code ec;
  return !name.empty() && std::filesystem::is_regular_file(plat::Cp1252ToUtf8(name), ec);
}
void ReplaceSprite(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const CSprite* s = WorldSprite(Round(a[0]));
  if (!s) return Report("Trying to replace non-existing resource.");
  if (!FileExists(a[1])) return Report("File does not exist.");
  Call("sprite_replace", {R(Round(a[0])), a[1], R(Round(a[2])), R(s->precise), R(s->transparent), R(s->smooth),
                          R(s->preload), R(s->xOrigin), R(s->yOrigin)});
}
void ReplaceSound(RValue&, CInstance*, CInstance*, int, RValue* a) {
  if (!SoundExists(a[0])) return Report("Trying to replace non-existing resource.");
  if (!FileExists(a[1])) return Report("File does not exist.");
  const RValue index = R(Round(a[0]));
  Call("sound_replace", {index, a[1], Call("sound_get_kind", {index}), Call("sound_get_preload", {index})});
}
void ReplaceBackground(RValue&, CInstance*, CInstance*, int, RValue* a) {
  GameResources* res = WorldResources();
  const CBackground* b = res ? res->backgrounds.Get(Round(a[0])) : nullptr;
  if (!b) return Report("Trying to replace non-existing resource.");
  if (!FileExists(a[1])) return Report("File does not exist.");
  Call("background_replace", {R(Round(a[0])), a[1], R(b->transparent), R(b->smooth), R(b->preload)});
}

}  // namespace

void RegisterMainActions() {
  Reg("action_create_object", 3, CreateObject);
  Reg("action_create_object_motion", 5, CreateObjectMotion);
  Reg("action_create_object_random", 6, CreateObjectRandom);
  Reg("action_change_object", 2, ChangeObject);
  Reg("action_kill_object", 0, KillObject);
  Reg("action_kill_position", 2, KillPosition);
  Reg("action_set_sprite", 2, SetSprite);
  Reg("action_sprite_set", 3, SpriteSet);
  Reg("action_sprite_transform", 4, SpriteTransform);
  Reg("action_sprite_color", 2, SpriteColor);
  Reg("action_sound", 2, Sound);
  Reg("action_end_sound", 2, EndSound);
  Reg("action_if_sound", 1, IfSound);
  Reg("action_another_room", 2, AnotherRoom);
  Reg("action_current_room", 1, CurrentRoomAction);
  Reg("action_previous_room", 1, PreviousRoom);
  Reg("action_next_room", 1, NextRoom);
  Reg("action_if_previous_room", 0, IfPreviousRoom);
  Reg("action_if_next_room", 0, IfNextRoom);
  Reg("action_set_alarm", 2, SetAlarm);
  Reg("action_sleep", 2, Sleep);
  Reg("action_set_timeline", 2, SetTimeline);
  Reg("action_set_timeline_position", 1, SetTimelinePosition);
  Reg("action_end_game", 0, EndGame);
  Reg("action_restart_game", 0, RestartGame);
  Reg("action_save_game", 1, SaveGame);
  Reg("action_load_game", 1, LoadGame);
  Reg("action_message", 1, Message);
  Reg("action_if_question", 1, IfQuestion);
  Reg("action_show_info", 0, ShowInfo);
  Reg("action_show_video", 3, ShowVideo);
  Reg("action_webpage", 1, Webpage);
  Reg("action_replace_sprite", 3, ReplaceSprite);
  Reg("action_replace_sound", 2, ReplaceSound);
  Reg("action_replace_background", 2, ReplaceBackground);
  DescribeFunctions("Main actions", {
      {"action_create_object", "obj, x, y", "Creates an instance of obj at (x, y)."},
      {"action_create_object_motion", "obj, x, y, speed, dir",
       "Creates an instance of obj at (x, y) moving with the given speed and direction."},
      {"action_create_object_random", "obj1, obj2, obj3, obj4, x, y",
       "Creates an instance of one of the four objects, picked at random, at (x, y)."},
      {"action_change_object", "obj, perform",
       "Turns the instance into an instance of obj, running the destroy and create events when perform is true."},
      {"action_kill_object", "", "Destroys the instance."},
      {"action_kill_position", "x, y", "Destroys every instance at the point (x, y)."},
      {"action_set_sprite", "spr, scale", "Sets the sprite, and its scale when scale is above 0."},
      {"action_sprite_set", "spr, subimg, speed",
       "Sets the sprite, its frame (a negative subimg keeps the frame) and the animation speed."},
      {"action_sprite_transform", "xscale, yscale, angle, mirror",
       "Sets the scale and rotation of the image; mirror 1, 2 or 3 flips it horizontally, vertically or both."},
      {"action_sprite_color", "col, alpha", "Sets the blend colour and opacity of the image."},
      {"action_sound", "snd, loop", "Plays the sound, looping it when loop is true."},
      {"action_end_sound", "snd, unused", "Stops the sound."},
      {"action_if_sound", "snd", "Whether the sound is playing."},
      {"action_another_room", "room, transition", "Goes to the room with the given transition."},
      {"action_current_room", "transition", "Restarts the current room with the given transition."},
      {"action_previous_room", "transition", "Goes to the previous room with the given transition."},
      {"action_next_room", "transition", "Goes to the next room with the given transition."},
      {"action_if_previous_room", "", "Whether there is a room before the current one."},
      {"action_if_next_room", "", "Whether there is a room after the current one."},
      {"action_set_alarm", "steps, alarm", "Sets alarm clock number alarm to the given number of steps."},
      {"action_sleep", "ms, redraw", "Waits ms milliseconds, first redrawing the screen when redraw is true."},
      {"action_set_timeline", "timeline, pos", "Starts running the time line from position pos."},
      {"action_set_timeline_position", "pos", "Sets the position in the time line."},
      {"action_end_game", "", "Ends the game."},
      {"action_restart_game", "", "Restarts the game."},
      {"action_save_game", "fname", "Saves the game to the file fname."},
      {"action_load_game", "fname", "Loads the game saved in the file fname, at the end of the step."},
      {"action_message", "str", "Shows a message box with str (# starts a new line)."},
      {"action_if_question", "str", "Asks the question str with Yes and No buttons; whether Yes was chosen."},
      {"action_show_info", "", "Shows the game information."},
      {"action_show_video", "fname, full, loop",
       "Plays a video file, in full screen when full is true, looping when loop is true."},
      {"action_webpage", "url", "Opens the web page in the system's browser."},
      {"action_replace_sprite", "spr, fname, imgnumb",
       "Replaces the sprite with imgnumb images cut from an image file."},
      {"action_replace_sound", "snd, fname", "Replaces the sound with a sound file."},
      {"action_replace_background", "back, fname", "Replaces the background with an image file."},
  });
}

}  // namespace kv::actlib
