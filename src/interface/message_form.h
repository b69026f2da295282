#pragma once
// The message box as a form: laid out from its settings, drawn into an image (background, word-wrapped text,
// input line, image buttons), and driven by keys and the mouse until a button, Enter, Space or Escape closes it.
#include <array>

#include "graphics/bitmap32.h"
#include "interface/form_canvas.h"
#include "interface/message_box.h"
#include "platform/dialogs.h"

namespace kv::ui {

struct MessageFormImages {
  CBitmap32 background;                // stretched over the whole box
  std::array<CBitmap32, 3> buttons;    // normal, mouse over, pressed
};
// The program's own pictures.
MessageFormImages DefaultMessageImages();

inline constexpr int kVkBack = 8, kVkReturn = 13, kVkEscape = 27, kVkSpace = 32;

class MessageFormView final : public plat::IFormController {
 public:
  MessageFormView(const plat::MessageFormRequest& request, const MessageSettings& settings,
                  MessageFormImages images, int screenWidth, int screenHeight);

  const MessageLayout& Layout() const { return layout_; }
  const std::vector<std::string>& TextLines() const { return lines_; }
  plat::FormWindowLook WindowLook() const;
  const CBitmap32& Render();  // the box as it looks now
  plat::MessageFormResult Result() const { return result_; }

  plat::FormPixels Paint() override;
  bool Handle(const plat::FormEvent& event) override;

 private:
  int ButtonAt(int x, int y) const;  // 1 … 3, 0 for none
  bool Close(int button);

  plat::MessageFormRequest request_;
  MessageSettings settings_;
  MessageFormImages images_;
  const FormFont* textFont_;
  const FormFont* buttonFont_;
  const FormFont* inputFont_;
  MessageLayout layout_;
  std::vector<std::string> lines_;
  std::string input_;
  bool inputSelected_ = true;  // the default text is selected: typing replaces it
  int over_ = 0, pressed_ = 0;
  plat::MessageFormResult result_;
  CBitmap32 image_;
};

}  // namespace kv::ui
