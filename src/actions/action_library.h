// The action library: the built-in functions named action_... that the editor's standard actions call, grouped
// as the editor groups them (movement, main, control, score, extra, draw; see action_common.h). Each is registered
// with its exact argument count; handlers read `argument_relative` (ArgumentRelative()) for relative values.
#pragma once

#include <functional>
#include <string>

namespace kv {

// Registers every action function in the built-in function registry.
void RegisterActionLibraryFunctions();

// The modal windows of the message actions, supplied by the runner's window. Without a hook a message goes to
// stderr, a question answers No, the game information and videos show nothing.
struct ActionWindowHooks {
  std::function<void(const std::string& text)> message;
  std::function<bool(const std::string& text)> question;  // true when "Yes" was chosen
  std::function<void()> showInfo;
  // Plays a video as a splash screen; false when it cannot be played.
  std::function<bool(const std::string& file, bool fullScreen, bool loop)> playVideo;
};
void SetActionWindowHooks(ActionWindowHooks hooks);
const ActionWindowHooks& GetActionWindowHooks();

}  // namespace kv
