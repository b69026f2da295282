#pragma once
// The colour chooser of the runner's own forms (for systems without a desktop colour dialog): a grid of 48 basic
// colours, a preview of the chosen one, OK and Cancel.
#include <array>

#include "graphics/bitmap32.h"
#include "interface/form_canvas.h"
#include "interface/message_box.h"
#include "platform/dialogs.h"

namespace kv::ui {

inline constexpr int kColourColumns = 8, kColourRows = 6;

class ColourChooserView final : public plat::IFormController {
 public:
  // `start` (0x00BBGGRR) is chosen at first; a colour not in the grid is kept until another one is chosen.
  explicit ColourChooserView(int start);

  static const std::array<int, kColourColumns * kColourRows>& Palette();
  Rect CellRect(int index) const;
  Rect OkRect() const { return {ok_}; }
  Rect CancelRect() const { return {cancel_}; }
  plat::FormWindowLook WindowLook() const;
  const CBitmap32& Render();
  int Colour() const { return colour_; }
  bool Chosen() const { return chosen_; }  // closed with OK (or Enter)

  plat::FormPixels Paint() override;
  bool Handle(const plat::FormEvent& event) override;

 private:
  int colour_;
  int selected_ = -1;  // grid index
  bool chosen_ = false;
  Rect ok_, cancel_;
  CBitmap32 image_;
};

}  // namespace kv::ui
