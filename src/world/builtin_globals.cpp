#include "world/builtin_globals.h"

#include <filesystem>
#include <system_error>
#include <type_traits>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_variable.h"
#include "functions/function_date.h"
#include "input/io_main.h"
#include "world/event_dispatch.h"
#include "world/run_main.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv {

namespace {

struct RunnerPaths {
  std::string temp;
  std::string program;  // empty: not set
};
RunnerPaths& Paths() {
  static RunnerPaths paths;
  return paths;
}

std::string WorkingDirectory() {
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  return ec ? std::string() : cwd.string();
}

// Value conversions of built-in writes: int rounds (halves to even) into 32 bits; bool is true when the rounded
// value is 1 or more; real stores the number unchanged.
int32_t AsInt(const RValue& v) { return RoundToInt32Wrap(v.Real()); }
bool AsBool(const RValue& v) { return RoundToInt64(v.Real()) >= 1; }

template <class T>
T Convert(const RValue& v) {
  if constexpr (std::is_same_v<T, bool>) return AsBool(v);
  else if constexpr (std::is_same_v<T, int>) return AsInt(v);
  else return v.Real();
}

// Layer and view arrays address element 0 for an index outside 0 … 7.
int Slot(int64_t index) { return index >= 0 && index < CRoom::kLayerCount ? static_cast<int>(index) : 0; }

// Without a current room the per-room variables read a fresh room's values and writes change nothing.
const CRoom& RoomProps() {
  static const CRoom kNoRoom;
  const CLiveRoom* room = CurrentRoom();
  return room ? room->props : kNoRoom;
}
CRoom* WritableRoomProps() {
  CLiveRoom* room = CurrentRoom();
  return room ? &room->props : nullptr;
}

// ---- room, layer and view fields, one template per shape ----
template <auto Field>
bool ReadRoomField(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(RoomProps().*Field));
  return true;
}
template <auto Field>
bool WriteRoomField(CInstance*, int64_t, const RValue& v) {
  if (CRoom* p = WritableRoomProps()) {
    using T = std::remove_reference_t<decltype(p->*Field)>;
    p->*Field = Convert<T>(v);
  }
  return true;
}
template <auto Field>
bool ReadLayerField(CInstance*, int64_t index, RValue& out) {
  out = RValue(static_cast<double>(RoomProps().backgrounds[Slot(index)].*Field));
  return true;
}
template <auto Field>
bool WriteLayerField(CInstance*, int64_t index, const RValue& v) {
  if (CRoom* p = WritableRoomProps()) {
    CBack& layer = p->backgrounds[Slot(index)];
    using T = std::remove_reference_t<decltype(layer.*Field)>;
    layer.*Field = Convert<T>(v);
  }
  return true;
}
template <auto Field>
bool ReadViewField(CInstance*, int64_t index, RValue& out) {
  out = RValue(static_cast<double>(RoomProps().views[Slot(index)].*Field));
  return true;
}
template <auto Field>
bool WriteViewField(CInstance*, int64_t index, const RValue& v) {
  if (CRoom* p = WritableRoomProps()) {
    CView& view = p->views[Slot(index)];
    using T = std::remove_reference_t<decltype(view.*Field)>;
    view.*Field = Convert<T>(v);
  }
  return true;
}

// Size of the layer's background resource; 0 when the layer names none.
const CBackground* LayerBackground(int64_t index) {
  GameResources* res = WorldResources();
  return res ? res->backgrounds.Get(RoomProps().backgrounds[Slot(index)].background) : nullptr;
}
bool ReadBackgroundWidth(CInstance*, int64_t index, RValue& out) {
  const CBackground* b = LayerBackground(index);
  out = RValue(b ? static_cast<double>(b->width) : 0.0);
  return true;
}
bool ReadBackgroundHeight(CInstance*, int64_t index, RValue& out) {
  const CBackground* b = LayerBackground(index);
  out = RValue(b ? static_cast<double>(b->height) : 0.0);
  return true;
}

// ---- game, directories, secure mode ----
bool ReadGameId(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(Game().gameId));
  return true;
}
bool ReadWorkingDirectory(CInstance*, int64_t, RValue& out) {
  out = RValue(WorkingDirectory());
  return true;
}
bool ReadTempDirectory(CInstance*, int64_t, RValue& out) {
  out = RValue(TempDirectoryPath());
  return true;
}
bool ReadProgramDirectory(CInstance*, int64_t, RValue& out) {
  out = RValue(ProgramDirectoryPath());
  return true;
}
bool ReadSecureMode(CInstance*, int64_t, RValue& out) {
  out = RValue(Game().secureMode ? 1.0 : 0.0);
  return true;
}

// ---- mouse and keyboard ----
// The mouse in room coordinates through the views: the same mapping the mouse events use.
void MouseRoom(double& x, double& y) {
  x = input::MouseClientX();
  y = input::MouseClientY();
  if (DispatchHooks().mouseRoomPosition) DispatchHooks().mouseRoomPosition(x, y);
}
bool ReadMouseX(CInstance*, int64_t, RValue& out) {
  double x, y;
  MouseRoom(x, y);
  out = RValue(x);
  return true;
}
bool ReadMouseY(CInstance*, int64_t, RValue& out) {
  double x, y;
  MouseRoom(x, y);
  out = RValue(y);
  return true;
}
// Out-of-range values are ignored by the input state's setters; rounding to 64 bits first keeps a huge value from
// wrapping into range.
int InputCode(const RValue& v) {
  const int64_t n = RoundToInt64(v.Real());
  return n >= 0 && n <= 255 ? static_cast<int>(n) : -1;
}
bool ReadMouseButton(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(input::CurrentButton()));
  return true;
}
bool WriteMouseButton(CInstance*, int64_t, const RValue& v) {
  input::SetCurrentButton(InputCode(v));
  return true;
}
bool ReadMouseLastButton(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(input::LastButton()));
  return true;
}
bool WriteMouseLastButton(CInstance*, int64_t, const RValue& v) {
  input::SetLastButton(InputCode(v));
  return true;
}
bool ReadKeyboardKey(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(input::CurrentKey()));
  return true;
}
bool WriteKeyboardKey(CInstance*, int64_t, const RValue& v) {
  input::SetCurrentKey(InputCode(v));
  return true;
}
bool ReadKeyboardLastKey(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(input::LastKey()));
  return true;
}
bool WriteKeyboardLastKey(CInstance*, int64_t, const RValue& v) {
  input::SetLastKey(InputCode(v));
  return true;
}
// Always one character, like the character it holds (character 0 before anything was typed).
bool ReadKeyboardLastChar(CInstance*, int64_t, RValue& out) {
  const char c = static_cast<char>(input::LastChar());
  out = RValue(std::string_view(&c, 1));
  return true;
}
bool WriteKeyboardLastChar(CInstance*, int64_t, const RValue& v) {
  const std::string_view text = v.Str();
  if (!text.empty()) input::SetLastChar(static_cast<uint8_t>(text.front()));
  return true;
}
bool ReadKeyboardString(CInstance*, int64_t, RValue& out) {
  out = RValue(input::TypedText());
  return true;
}
bool WriteKeyboardString(CInstance*, int64_t, const RValue& v) {
  input::SetTypedText(std::string(v.Str()));
  return true;
}
bool ReadCursorSprite(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(Game().cursorSprite));
  return true;
}
bool WriteCursorSprite(CInstance*, int64_t, const RValue& v) {
  Game().cursorSprite = AsInt(v);
  return true;
}

// ---- caption ----
template <auto Flag>
bool ReadShow(CInstance*, int64_t, RValue& out) {
  out = RValue(Caption().*Flag ? 1.0 : 0.0);
  return true;
}
template <auto Flag>
bool WriteShow(CInstance*, int64_t, const RValue& v) {
  Caption().*Flag = AsBool(v);
  if constexpr (Flag == &CaptionSettings::showScore) Caption().scoreExplicit = true;
  return true;
}
template <auto Text>
bool ReadCaptionText(CInstance*, int64_t, RValue& out) {
  out = RValue(Caption().*Text);
  return true;
}
template <auto Text>
bool WriteCaptionText(CInstance*, int64_t, const RValue& v) {
  Caption().*Text = std::string(v.Str());
  Caption().scoreExplicit = true;  // the game set up its caption itself
  return true;
}

// ---- date and time of day (local time, like the date functions) ----
template <int DateParts::*Part>
bool ReadNow(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(DecodeDateTime(DateNow()).*Part));
  return true;
}
bool ReadWeekday(CInstance*, int64_t, RValue& out) {
  out = RValue(static_cast<double>(Weekday(DateNow())));
  return true;
}

// ---- errors ----
bool ReadErrorOccurred(CInstance*, int64_t, RValue& out) {
  out = RValue(ErrorOccurred() ? 1.0 : 0.0);
  return true;
}
// Truth without rounding: 0.5 already sets it.
bool WriteErrorOccurred(CInstance*, int64_t, const RValue& v) {
  SetErrorOccurred(v.Real() >= 0.5);
  return true;
}
bool ReadErrorLast(CInstance*, int64_t, RValue& out) {
  out = RValue(LastError());
  return true;
}
bool WriteErrorLast(CInstance*, int64_t, const RValue& v) {
  SetLastError(std::string(v.Str()));
  return true;
}

}  // namespace

CaptionSettings& Caption() {
  static CaptionSettings settings;
  return settings;
}

std::string ComposeWindowCaption() {
  const CaptionSettings& c = Caption();
  const GameState& g = Game();
  std::string text = RoomProps().caption;
  if (c.showScore && (c.scoreExplicit || g.score > 0)) text += " " + c.scoreText + std::to_string(g.score);
  if (c.showLives) text += " " + c.livesText + std::to_string(g.lives);
  if (c.showHealth) text += " " + c.healthText + std::to_string(RoundToInt64(g.health));
  return text;
}

void SetRunnerPaths(const std::string& tempDirectory, const std::string& gameFile) {
  Paths().temp = tempDirectory;
  Paths().program.clear();
  if (gameFile.empty()) return;
  std::error_code ec;
  std::filesystem::path file = std::filesystem::absolute(gameFile, ec);
  if (ec) file = gameFile;
  // The folder without a trailing separator (a file at the root keeps the root itself).
  Paths().program = file.lexically_normal().parent_path().string();
}

const std::string& TempDirectoryPath() { return Paths().temp; }

std::string ProgramDirectoryPath() {
  return Paths().program.empty() ? WorkingDirectory() : Paths().program;
}

void RegisterBuiltinGlobals() {
  struct Entry {
    const char* name;
    BuiltinVarRead read;
    BuiltinVarWrite write;
  };
#define KV_ROOM(name, f) {name, ReadRoomField<&CRoom::f>, WriteRoomField<&CRoom::f>}
#define KV_LAYER(name, f) {name, ReadLayerField<&CBack::f>, WriteLayerField<&CBack::f>}
#define KV_VIEW(name, f) {name, ReadViewField<&CView::f>, WriteViewField<&CView::f>}
#define KV_SHOW(name, f) {name, ReadShow<&CaptionSettings::f>, WriteShow<&CaptionSettings::f>}
#define KV_TEXT(name, f) {name, ReadCaptionText<&CaptionSettings::f>, WriteCaptionText<&CaptionSettings::f>}
  static const Entry kEntries[] = {
      {"game_id", ReadGameId, nullptr},
      {"working_directory", ReadWorkingDirectory, nullptr},
      {"temp_directory", ReadTempDirectory, nullptr},
      {"program_directory", ReadProgramDirectory, nullptr},
      KV_ROOM("background_color", colour),
      KV_ROOM("background_showcolor", showColour),
      KV_LAYER("background_visible", visible),
      KV_LAYER("background_foreground", foreground),
      KV_LAYER("background_index", background),
      KV_LAYER("background_x", x),
      KV_LAYER("background_y", y),
      {"background_width", ReadBackgroundWidth, nullptr},
      {"background_height", ReadBackgroundHeight, nullptr},
      KV_LAYER("background_htiled", hTiled),
      KV_LAYER("background_vtiled", vTiled),
      KV_LAYER("background_xscale", xScale),
      KV_LAYER("background_yscale", yScale),
      KV_LAYER("background_hspeed", hSpeed),
      KV_LAYER("background_vspeed", vSpeed),
      KV_LAYER("background_blend", blend),
      KV_LAYER("background_alpha", alpha),
      KV_ROOM("view_enabled", viewsEnabled),
      KV_VIEW("view_visible", visible),
      KV_VIEW("view_xview", xView),
      KV_VIEW("view_yview", yView),
      KV_VIEW("view_wview", wView),
      KV_VIEW("view_hview", hView),
      KV_VIEW("view_xport", xPort),
      KV_VIEW("view_yport", yPort),
      KV_VIEW("view_wport", wPort),
      KV_VIEW("view_hport", hPort),
      KV_VIEW("view_angle", angle),
      KV_VIEW("view_hborder", hBorder),
      KV_VIEW("view_vborder", vBorder),
      KV_VIEW("view_hspeed", hSpeed),
      KV_VIEW("view_vspeed", vSpeed),
      KV_VIEW("view_object", object),
      {"mouse_x", ReadMouseX, nullptr},
      {"mouse_y", ReadMouseY, nullptr},
      {"mouse_button", ReadMouseButton, WriteMouseButton},
      {"mouse_lastbutton", ReadMouseLastButton, WriteMouseLastButton},
      {"keyboard_key", ReadKeyboardKey, WriteKeyboardKey},
      {"keyboard_lastkey", ReadKeyboardLastKey, WriteKeyboardLastKey},
      {"keyboard_lastchar", ReadKeyboardLastChar, WriteKeyboardLastChar},
      {"keyboard_string", ReadKeyboardString, WriteKeyboardString},
      {"cursor_sprite", ReadCursorSprite, WriteCursorSprite},
      KV_SHOW("show_score", showScore),
      KV_SHOW("show_lives", showLives),
      KV_SHOW("show_health", showHealth),
      KV_TEXT("caption_score", scoreText),
      KV_TEXT("caption_lives", livesText),
      KV_TEXT("caption_health", healthText),
      {"current_year", ReadNow<&DateParts::year>, nullptr},
      {"current_month", ReadNow<&DateParts::month>, nullptr},
      {"current_day", ReadNow<&DateParts::dayOfMonth>, nullptr},
      {"current_weekday", ReadWeekday, nullptr},
      {"current_hour", ReadNow<&DateParts::hour>, nullptr},
      {"current_minute", ReadNow<&DateParts::minute>, nullptr},
      {"current_second", ReadNow<&DateParts::second>, nullptr},
      {"secure_mode", ReadSecureMode, nullptr},
      {"error_occurred", ReadErrorOccurred, WriteErrorOccurred},
      {"error_last", ReadErrorLast, WriteErrorLast},
  };
#undef KV_ROOM
#undef KV_LAYER
#undef KV_VIEW
#undef KV_SHOW
#undef KV_TEXT
  for (const Entry& e : kEntries) RegisterBuiltinVariable(e.name, e.read, e.write);
  DescribeVariables("Game", {
      {"game_id", "The unique id of the game."},
  });
  DescribeVariables("Files", {
      {"working_directory", "The folder the runner was started in."},
      {"temp_directory", "A folder for temporary files, removed when the game ends."},
      {"program_directory", "The folder of the game file."},
  });
  DescribeVariables("Room backgrounds", {
      {"background_color", "The background colour of the current room."},
      {"background_showcolor", "Whether the room is cleared with the background colour."},
      {"background_visible", "Array over the 8 background layers: whether the layer is shown."},
      {"background_foreground",
       "Array over the 8 background layers: whether the layer is drawn in front of the instances."},
      {"background_index", "Array over the 8 background layers: the background shown, -1 for none."},
      {"background_x", "Array over the 8 background layers: the x offset of the layer."},
      {"background_y", "Array over the 8 background layers: the y offset of the layer."},
      {"background_width", "Array over the 8 background layers: the width of the layer's background."},
      {"background_height", "Array over the 8 background layers: the height of the layer's background."},
      {"background_htiled", "Array over the 8 background layers: whether the layer repeats horizontally."},
      {"background_vtiled", "Array over the 8 background layers: whether the layer repeats vertically."},
      {"background_xscale", "Array over the 8 background layers: the horizontal scale of the layer."},
      {"background_yscale", "Array over the 8 background layers: the vertical scale of the layer."},
      {"background_hspeed",
       "Array over the 8 background layers: the horizontal scrolling speed, in pixels per step."},
      {"background_vspeed", "Array over the 8 background layers: the vertical scrolling speed, in pixels per step."},
      {"background_blend", "Array over the 8 background layers: the colour the layer is blended with."},
      {"background_alpha", "Array over the 8 background layers: the opacity of the layer, 0 to 1."},
  });
  DescribeVariables("Views", {
      {"view_enabled", "Whether the current room uses views."},
      {"view_visible", "Array over the 8 views: whether the view is shown."},
      {"view_xview", "Array over the 8 views: the left of the room area the view shows."},
      {"view_yview", "Array over the 8 views: the top of the room area the view shows."},
      {"view_wview", "Array over the 8 views: the width of the room area the view shows."},
      {"view_hview", "Array over the 8 views: the height of the room area the view shows."},
      {"view_xport", "Array over the 8 views: the x position of the view's port in the window."},
      {"view_yport", "Array over the 8 views: the y position of the view's port in the window."},
      {"view_wport", "Array over the 8 views: the width of the view's port in the window."},
      {"view_hport", "Array over the 8 views: the height of the view's port in the window."},
      {"view_angle", "Array over the 8 views: the rotation of the view, in degrees."},
      {"view_hborder", "Array over the 8 views: the horizontal border kept around the followed instance."},
      {"view_vborder", "Array over the 8 views: the vertical border kept around the followed instance."},
      {"view_hspeed",
       "Array over the 8 views: the largest horizontal speed of the view when following, -1 for no limit."},
      {"view_vspeed",
       "Array over the 8 views: the largest vertical speed of the view when following, -1 for no limit."},
      {"view_object", "Array over the 8 views: the object or instance the view follows."},
  });
  DescribeVariables("Mouse and keyboard", {
      {"mouse_x", "The x position of the mouse in the room."},
      {"mouse_y", "The y position of the mouse in the room."},
      {"mouse_button", "The mouse button held down (0 none, 1 left, 2 right, 3 middle)."},
      {"mouse_lastbutton", "The last mouse button pressed."},
      {"keyboard_key", "The key code of the key held down, 0 for none."},
      {"keyboard_lastkey", "The key code of the last key pressed."},
      {"keyboard_lastchar", "The last character typed."},
      {"keyboard_string", "The last characters typed (at most 1024)."},
  });
  DescribeVariables("Game", {
      {"cursor_sprite", "The sprite drawn as mouse cursor, -1 for the normal cursor."},
      {"show_score", "Whether the window caption shows the score."},
      {"show_lives", "Whether the window caption shows the lives."},
      {"show_health", "Whether the window caption shows the health."},
      {"caption_score", "The text shown before the score in the caption."},
      {"caption_lives", "The text shown before the lives in the caption."},
      {"caption_health", "The text shown before the health in the caption."},
  });
  DescribeVariables("Dates and times", {
      {"current_year", "The current year."},
      {"current_month", "The current month, 1 to 12."},
      {"current_day", "The current day of the month."},
      {"current_weekday", "The current day of the week, 1 (Sunday) to 7 (Saturday)."},
      {"current_hour", "The current hour, 0 to 23."},
      {"current_minute", "The current minute."},
      {"current_second", "The current second."},
  });
  DescribeVariables("Game", {
      {"secure_mode", "Whether the game runs in secure mode (no access to files outside its folders, no programs)."},
      {"error_occurred", "Whether an error has occurred; set it to 0 to check for the next one."},
      {"error_last", "The message of the last error."},
  });
}

}  // namespace kv
