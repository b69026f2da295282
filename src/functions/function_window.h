// Window functions of the script language: visibility, caption, cursor, colour, frame options, position and
// size, the drawing region and its scale, the mouse in window, frame and room coordinates, and the popup menus.
// They work on the window state of the graphics module, so they answer the same with or without a real window.
#pragma once

#include <functional>
#include <string>

namespace kv {

struct WindowFunctionHooks {
  // Pops up a menu of "|"-separated items at a desktop position; the chosen item's number, −1 for none. Unset:
  // nobody can choose, so every menu answers −1.
  std::function<int(int x, int y, const std::string& items)> popupMenu;
};
void SetWindowFunctionHooks(const WindowFunctionHooks& hooks);

void RegisterWindowFunctions();

}  // namespace kv
