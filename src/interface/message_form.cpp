#include "interface/message_form.h"

#include <algorithm>

#include "interface/form_images.h"

namespace kv::ui {

namespace {

FontLook SpecOf(const MessageFont& f) { return {f.name, f.size, (f.style & 1) != 0, (f.style & 2) != 0}; }

}  // namespace

MessageFormImages DefaultMessageImages() {
  return {DefaultMessageBackground(), {DefaultButtonImage(0), DefaultButtonImage(1), DefaultButtonImage(2)}};
}

MessageFormView::MessageFormView(const plat::MessageFormRequest& request, const MessageSettings& settings,
                                 MessageFormImages images, int screenWidth, int screenHeight)
    : request_(request),
      settings_(settings),
      images_(std::move(images)),
      textFont_(&GetFormFont(SpecOf(settings.textFont))),
      buttonFont_(&GetFormFont(SpecOf(settings.buttonFont))),
      inputFont_(&GetFormFont(SpecOf(settings.inputFont))),
      input_(request.inputText) {
  LayoutInput in;
  in.setWidth = settings.width;
  in.setHeight = settings.height;
  in.pictureWidth = images_.background.width > 0 ? images_.background.width : kDefaultBackgroundWidth;
  in.buttonWidth = images_.buttons[0].width > 0 ? images_.buttons[0].width : kButtonWidth;
  in.buttonHeight = images_.buttons[0].height > 0 ? images_.buttons[0].height : kButtonHeight;
  in.input = request.input;
  in.inputHeight = std::max(21, inputFont_->height + 8);
  in.x = settings.x;
  in.y = settings.y;
  if (screenWidth > 0) in.screenWidth = screenWidth;
  if (screenHeight > 0) in.screenHeight = screenHeight;
  // The label is as wide as the box less its margins; one space is appended to its text.
  const int labelWidth = (in.setWidth >= 1 ? in.setWidth : in.pictureWidth) - 48;
  lines_ = WrapText(*textFont_, request.text + " ", std::max(1, labelWidth));
  in.textHeight = static_cast<int>(lines_.size()) * textFont_->height;
  layout_ = LayoutMessage(in);
  result_.button = 0;
  result_.inputText = request.inputText;
}

plat::FormWindowLook MessageFormView::WindowLook() const {
  plat::FormWindowLook look;
  look.caption = request_.caption;
  look.border = settings_.showCaption;
  look.x = layout_.windowLeft;
  look.y = layout_.windowTop;
  look.width = layout_.clientWidth;
  look.height = layout_.clientHeight;
  look.alpha = settings_.alpha;
  return look;
}

const CBitmap32& MessageFormView::Render() {
  const int w = std::max(1, layout_.clientWidth), h = std::max(1, layout_.clientHeight);
  if (image_.width != w || image_.height != h) image_ = CBitmap32::Make(w, h, 0xFF000000);
  Canvas c(image_);
  c.Fill(0);
  c.DrawImage(images_.background, 0, 0, w, h);
  for (size_t i = 0; i < lines_.size(); ++i)
    c.DrawText(*textFont_, lines_[i], layout_.text.x, layout_.text.y + static_cast<int>(i) * textFont_->height,
               settings_.textFont.colour);
  if (request_.input) {
    const Rect& r = layout_.input;
    c.FillRect(r.x, r.y, r.w, r.h, settings_.inputColour);
    const int ty = r.y + (r.h - inputFont_->height) / 2;
    const int tw = TextWidth(*inputFont_, input_);
    if (inputSelected_ && !input_.empty()) c.FillRect(r.x + 3, ty, tw + 1, inputFont_->height, 0x6A240A);
    c.DrawText(*inputFont_, input_, r.x + 4, ty, settings_.inputFont.colour);
    if (!inputSelected_ || input_.empty())  // the typing cursor
      c.FillRect(r.x + 4 + tw + 1, ty, 1, inputFont_->height, settings_.inputFont.colour);
  }
  for (int i = 0; i < 3; ++i) {
    if (request_.buttons[i].empty()) continue;
    const Rect& r = layout_.buttons[i];
    const bool over = over_ == i + 1, pressed = pressed_ == i + 1;
    c.DrawImage(images_.buttons[pressed && over ? 2 : over ? 1 : 0], r.x, r.y, r.w, r.h);
    const std::string caption = plat::WithoutAmpersands(request_.buttons[i]);
    const int tx = r.x + (r.w - TextWidth(*buttonFont_, caption)) / 2 + (pressed && over ? 1 : 0);
    const int ty = r.y + (r.h - buttonFont_->height) / 2 + (pressed && over ? 1 : 0);
    c.DrawText(*buttonFont_, caption, tx, ty, over ? settings_.mouseColour : settings_.buttonFont.colour);
  }
  return image_;
}

plat::FormPixels MessageFormView::Paint() {
  const CBitmap32& b = Render();
  return {b.width, b.height, b.pixels.data()};
}

int MessageFormView::ButtonAt(int x, int y) const {
  for (int i = 0; i < 3; ++i) {
    const Rect& r = layout_.buttons[i];
    if (!request_.buttons[i].empty() && x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h) return i + 1;
  }
  return 0;
}

bool MessageFormView::Close(int button) {
  result_.button = button;
  result_.inputText = input_;
  return false;
}

bool MessageFormView::Handle(const plat::FormEvent& e) {
  using Kind = plat::FormEvent::Kind;
  switch (e.kind) {
    case Kind::Close:
      return Close(0);
    case Kind::KeyDown: {
      if (e.key == kVkEscape) return Close(ResolveMessageKey(MessageKey::Escape, 0, request_.input, request_.buttons));
      if (e.key == kVkReturn) return Close(ResolveMessageKey(MessageKey::Enter, 0, request_.input, request_.buttons));
      if (e.key == kVkSpace && !request_.input)
        return Close(ResolveMessageKey(MessageKey::Space, 0, false, request_.buttons));
      if (e.key == kVkBack && request_.input) {
        if (inputSelected_) input_.clear();
        else if (!input_.empty()) input_.pop_back();
        inputSelected_ = false;
      }
      // Alt with a letter is compared with the shortcuts even while the input line takes the typing.
      if (e.alt && e.key >= 'A' && e.key <= 'Z') {
        const int r = ResolveMessageKey(MessageKey::Character, static_cast<char>(e.key), false, request_.buttons);
        if (r >= 0) return Close(r);
      }
      return true;
    }
    case Kind::Char: {
      if (e.ch == ' ' && !request_.input) return true;  // Space is handled as a key
      if (e.alt) return true;
      if (request_.input) {
        if (e.ch >= 32) {
          if (inputSelected_) input_.clear();
          inputSelected_ = false;
          if (input_.size() < 1024) input_ += static_cast<char>(e.ch);
        }
        return true;
      }
      const int r = ResolveMessageKey(MessageKey::Character, static_cast<char>(e.ch), false, request_.buttons);
      return r >= 0 ? Close(r) : true;
    }
    case Kind::MouseMove:
      over_ = ButtonAt(e.x, e.y);
      return true;
    case Kind::MouseDown:
      over_ = ButtonAt(e.x, e.y);
      if (e.button == 1) pressed_ = over_;
      return true;
    case Kind::MouseUp: {
      over_ = ButtonAt(e.x, e.y);
      const int clicked = e.button == 1 && pressed_ && pressed_ == over_ ? pressed_ : 0;
      if (e.button == 1) pressed_ = 0;
      return clicked ? Close(clicked) : true;
    }
    default:
      return true;
  }
}

}  // namespace kv::ui
