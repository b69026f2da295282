#include "world/event_table.h"

#include <charconv>

namespace kv {

const EventSubtypeRow kEventSubtypes[] = {
    {kEventStep, kStepNormal, "normal", ""},
    {kEventStep, kStepBegin, "begin", "Begin"},
    {kEventStep, kStepEnd, "end", "End"},
    {kEventMouse, 0, "left_button", "Left Button"},
    {kEventMouse, 1, "right_button", "Right Button"},
    {kEventMouse, 2, "middle_button", "Middle Button"},
    {kEventMouse, 3, "no_button", "No Button"},
    {kEventMouse, 4, "left_press", "Left Pressed"},
    {kEventMouse, 5, "right_press", "Right Pressed"},
    {kEventMouse, 6, "middle_press", "Middle Pressed"},
    {kEventMouse, 7, "left_release", "Left Released"},
    {kEventMouse, 8, "right_release", "Right Released"},
    {kEventMouse, 9, "middle_release", "Middle Released"},
    {kEventMouse, 10, "mouse_enter", "Mouse Enter"},
    {kEventMouse, 11, "mouse_leave", "Mouse Leave"},
    {kEventMouse, 50, "global_left_button", "Glob Left Button"},
    {kEventMouse, 51, "global_right_button", "Glob Right Button"},
    {kEventMouse, 52, "global_middle_button", "Glob Middle Button"},
    {kEventMouse, 53, "global_left_press", "Glob Left Pressed"},
    {kEventMouse, 54, "global_right_press", "Glob Right Pressed"},
    {kEventMouse, 55, "global_middle_press", "Glob Middle Pressed"},
    {kEventMouse, 56, "global_left_release", "Glob Left Released"},
    {kEventMouse, 57, "global_right_release", "Glob Right Released"},
    {kEventMouse, 58, "global_middle_release", "Glob Middle Released"},
    {kEventMouse, 60, "wheel_up", "Mouse Wheel Up"},
    {kEventMouse, 61, "wheel_down", "Mouse Wheel Down"},
    {kEventOther, kOtherOutside, "outside", "Outside Room"},
    {kEventOther, kOtherBoundary, "boundary", "Intersect Boundary"},
    {kEventOther, kOtherGameStart, "game_start", "Game Start"},
    {kEventOther, kOtherGameEnd, "game_end", "Game End"},
    {kEventOther, kOtherRoomStart, "room_start", "Room Start"},
    {kEventOther, kOtherRoomEnd, "room_end", "Room End"},
    {kEventOther, kOtherNoMoreLives, "no_more_lives", "No More Lives"},
    {kEventOther, kOtherAnimationEnd, "animation_end", "Animation End"},
    {kEventOther, kOtherEndOfPath, "end_of_path", "End Of Path"},
    {kEventOther, kOtherNoMoreHealth, "no_more_health", "No More Health"},
    {kEventOther, kOtherCloseButton, "close_button", "Close Button"},
};
const int kEventSubtypeCount = static_cast<int>(std::size(kEventSubtypes));

namespace {

// Numbered families of the other events: user events 10 … 25, outside view 40 … 47, boundary view 50 … 57.
struct NumberedFamily {
  int type, first, count;
  const char* projectPrefix;
  const char* displayPrefix;
};
constexpr NumberedFamily kFamilies[] = {
    {kEventOther, kOtherUser0, 16, "user", "User Defined "},
    {kEventOther, 40, 8, "outside_view", "Outside View "},
    {kEventOther, 50, 8, "boundary_view", "Boundary View "},
};

std::optional<int> ParseCount(std::string_view s) {
  int n = 0;
  if (s.empty()) return std::nullopt;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  if (ec != std::errc() || end != s.data() + s.size() || n < 0) return std::nullopt;
  return n;
}

const EventSubtypeRow* FindRow(int type, int subtype) {
  for (const EventSubtypeRow& r : kEventSubtypes)
    if (r.type == type && r.subtype == subtype) return &r;
  return nullptr;
}

}  // namespace

const EventTypeRow* EventTypeInfo(int type) {
  return type >= 0 && type < CObject::kEventTypeCount ? &kEventTypes[type] : nullptr;
}

std::optional<int> EventTypeFromProjectName(std::string_view name) {
  for (const EventTypeRow& r : kEventTypes)
    if (name == r.projectName) return r.type;
  return std::nullopt;
}

std::optional<int> EventSubtypeFromProjectName(int type, std::string_view word) {
  for (const EventSubtypeRow& r : kEventSubtypes)
    if (r.type == type && word == r.projectName) return r.subtype;
  for (const NumberedFamily& f : kFamilies) {
    const std::string_view prefix = f.projectPrefix;
    if (f.type != type || word.substr(0, prefix.size()) != prefix) continue;
    if (auto n = ParseCount(word.substr(prefix.size())); n && *n < f.count) return f.first + *n;
  }
  if (type == kEventMouse || type == kEventOther) return ParseCount(word);
  return std::nullopt;
}

std::string EventSubtypeProjectName(int type, int subtype) {
  if (const EventSubtypeRow* r = FindRow(type, subtype)) return r->projectName;
  for (const NumberedFamily& f : kFamilies)
    if (f.type == type && subtype >= f.first && subtype < f.first + f.count)
      return f.projectPrefix + std::to_string(subtype - f.first);
  return "";
}

std::string EventSubtypeDisplayName(int type, int subtype) {
  if (const EventSubtypeRow* r = FindRow(type, subtype)) return r->displayName;
  for (const NumberedFamily& f : kFamilies)
    if (f.type == type && subtype >= f.first && subtype < f.first + f.count)
      return f.displayPrefix + std::to_string(subtype - f.first);
  if (type == kEventMouse) {
    static const char* const kDirs[] = {"Left", "Right", "Up", "Down"};
    for (int j = 0; j < 2; ++j) {
      const int base = 16 + 15 * j;
      const std::string stick = "Joystick " + std::to_string(j + 1) + " ";
      if (subtype >= base && subtype < base + 4) return stick + kDirs[subtype - base];
      if (subtype >= base + 5 && subtype <= base + 12) return stick + "Button " + std::to_string(subtype - base - 4);
    }
  }
  return "<unknown>";
}

}  // namespace kv
