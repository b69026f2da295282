#pragma once
// The pop-up menu as a form: the items of a menu text ("New|-|Open|Quit": "-" is a separator, the other items
// are numbered from 0) in a borderless box at a desktop position, chosen with the mouse or the keys.
#include <string>
#include <string_view>
#include <vector>

#include "graphics/bitmap32.h"
#include "interface/form_canvas.h"
#include "interface/message_box.h"
#include "platform/dialogs.h"

namespace kv::ui {

struct MenuEntry {
  std::string text;
  bool separator = false;
  int number = -1;  // of a selectable item
  Rect rect;        // in the box
};

class PopupMenuView final : public plat::IFormController {
 public:
  // (x, y): the box's top-left on the desktop.
  PopupMenuView(std::string_view menuText, int x, int y);

  const std::vector<MenuEntry>& Entries() const { return entries_; }
  plat::FormWindowLook WindowLook() const;
  const CBitmap32& Render();
  int Chosen() const { return chosen_; }  // −1 when the menu closed without a choice

  plat::FormPixels Paint() override;
  bool Handle(const plat::FormEvent& event) override;

 private:
  int EntryAt(int x, int y) const;
  void MoveHighlight(int step);

  std::vector<MenuEntry> entries_;
  const FormFont* font_;
  int x_, y_, width_ = 0, height_ = 0;
  int highlight_ = -1;  // entry index
  int chosen_ = -1;
  CBitmap32 image_;
};

}  // namespace kv::ui
