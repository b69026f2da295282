#include "interface/popup_menu.h"

#include <algorithm>

#include "interface/message_form.h"

namespace kv::ui {

namespace {

constexpr int kItemHeight = 22, kSeparatorHeight = 9, kTextIndent = 24;
constexpr int kMenuColour = 0xF0F0F0, kBorderColour = 0x808080, kHighlightColour = 0xD77800;
constexpr int kVkUp = 38, kVkDown = 40;

}  // namespace

PopupMenuView::PopupMenuView(std::string_view text, int x, int y)
    : font_(&GetFormFont({"MS Sans Serif", 8, false, false})), x_(x), y_(y) {
  int number = 0, top = 2, widest = 0;
  size_t start = 0;
  while (true) {
    const size_t bar = text.find('|', start);
    const std::string_view piece = text.substr(start, bar == std::string_view::npos ? text.npos : bar - start);
    MenuEntry e;
    e.separator = piece == "-";
    e.text = e.separator ? std::string() : plat::WithoutAmpersands(piece);
    if (!e.separator) e.number = number++;
    const int h = e.separator ? kSeparatorHeight : kItemHeight;
    e.rect = {2, top, 0, h};
    top += h;
    widest = std::max(widest, TextWidth(*font_, e.text));
    entries_.push_back(std::move(e));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  width_ = std::max(120, widest + 2 * kTextIndent + 4);
  height_ = top + 2;
  for (MenuEntry& e : entries_) e.rect.w = width_ - 4;
}

plat::FormWindowLook PopupMenuView::WindowLook() const {
  plat::FormWindowLook look;
  look.border = false;
  look.x = std::max(0, x_);
  look.y = std::max(0, y_);
  look.width = width_;
  look.height = height_;
  return look;
}

const CBitmap32& PopupMenuView::Render() {
  if (image_.width != width_ || image_.height != height_) image_ = CBitmap32::Make(width_, height_, 0xFF000000);
  Canvas c(image_);
  c.Fill(kBorderColour);
  c.FillRect(1, 1, width_ - 2, height_ - 2, kMenuColour);
  for (size_t i = 0; i < entries_.size(); ++i) {
    const MenuEntry& e = entries_[i];
    if (e.separator) {
      c.FillRect(e.rect.x + 4, e.rect.y + kSeparatorHeight / 2, e.rect.w - 8, 1, 0xA0A0A0);
      continue;
    }
    const bool lit = static_cast<int>(i) == highlight_;
    if (lit) c.FillRect(e.rect.x, e.rect.y, e.rect.w, e.rect.h, kHighlightColour);
    c.DrawText(*font_, e.text, e.rect.x + kTextIndent, e.rect.y + (e.rect.h - font_->height) / 2,
               lit ? 0xFFFFFF : 0x000000);
  }
  return image_;
}

plat::FormPixels PopupMenuView::Paint() {
  const CBitmap32& b = Render();
  return {b.width, b.height, b.pixels.data()};
}

int PopupMenuView::EntryAt(int x, int y) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    const Rect& r = entries_[i].rect;
    if (!entries_[i].separator && x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h) return static_cast<int>(i);
  }
  return -1;
}

void PopupMenuView::MoveHighlight(int step) {
  const int n = static_cast<int>(entries_.size());
  int i = highlight_;
  for (int tries = 0; tries < n; ++tries) {
    i = i < 0 ? (step > 0 ? 0 : n - 1) : (i + step + n) % n;
    if (!entries_[i].separator) {
      highlight_ = i;
      return;
    }
  }
}

bool PopupMenuView::Handle(const plat::FormEvent& e) {
  using Kind = plat::FormEvent::Kind;
  switch (e.kind) {
    case Kind::Close:
    case Kind::FocusLost:  // a click elsewhere closes the menu without a choice
      return false;
    case Kind::MouseMove:
      highlight_ = EntryAt(e.x, e.y);
      return true;
    case Kind::MouseUp: {
      const int i = EntryAt(e.x, e.y);
      if (i < 0) return true;
      chosen_ = entries_[i].number;
      return false;
    }
    case Kind::KeyDown:
      if (e.key == kVkEscape) return false;
      if (e.key == kVkUp) MoveHighlight(-1);
      if (e.key == kVkDown) MoveHighlight(1);
      if (e.key == kVkReturn && highlight_ >= 0) {
        chosen_ = entries_[highlight_].number;
        return false;
      }
      return true;
    default:
      return true;
  }
}

}  // namespace kv::ui
