#include "interface/colour_chooser.h"

#include <algorithm>
#include <cmath>

#include "interface/form_images.h"
#include "interface/message_form.h"

namespace kv::ui {

namespace {

constexpr int kCellW = 24, kCellH = 20, kGap = 4, kMargin = 12;
constexpr int kWidth = kMargin * 2 + kColourColumns * (kCellW + kGap) - kGap;
constexpr int kGridBottom = kMargin + kColourRows * (kCellH + kGap) - kGap;
constexpr int kPreviewTop = kGridBottom + 12, kPreviewH = 24;
constexpr int kButtonsTop = kPreviewTop + kPreviewH + 12;
constexpr int kHeight = kButtonsTop + kButtonHeight + kMargin;
constexpr int kFaceColour = 0xF0F0F0, kFrameColour = 0x808080;

int Rgb(double r, double g, double b) {
  auto c = [](double v) { return static_cast<int>(std::clamp(std::nearbyint(v * 255.0), 0.0, 255.0)); };
  return c(r) | c(g) << 8 | c(b) << 16;
}

// Seven hues in columns and a grey column; rows from light to dark.
std::array<int, kColourColumns * kColourRows> MakePalette() {
  std::array<int, kColourColumns * kColourRows> p{};
  static constexpr double kHues[] = {0, 30, 60, 120, 180, 240, 300};
  static constexpr double kSat[] = {0.35, 0.6, 1.0, 1.0, 1.0, 1.0};
  static constexpr double kVal[] = {1.0, 1.0, 1.0, 0.75, 0.5, 0.3};
  for (int row = 0; row < kColourRows; ++row) {
    for (int col = 0; col < kColourColumns - 1; ++col) {
      const double h = kHues[col] / 60.0, s = kSat[row], v = kVal[row];
      const int i = static_cast<int>(h) % 6;
      const double f = h - std::floor(h), a = v * (1 - s), b = v * (1 - s * f), c = v * (1 - s * (1 - f));
      double r = v, g = c, bl = a;
      switch (i) {
        case 0: r = v, g = c, bl = a; break;
        case 1: r = b, g = v, bl = a; break;
        case 2: r = a, g = v, bl = c; break;
        case 3: r = a, g = b, bl = v; break;
        case 4: r = c, g = a, bl = v; break;
        default: r = v, g = a, bl = b; break;
      }
      p[static_cast<size_t>(row * kColourColumns + col)] = Rgb(r, g, bl);
    }
    const double grey = 1.0 - row / static_cast<double>(kColourRows - 1);
    p[static_cast<size_t>(row * kColourColumns + kColourColumns - 1)] = Rgb(grey, grey, grey);
  }
  return p;
}

}  // namespace

const std::array<int, kColourColumns * kColourRows>& ColourChooserView::Palette() {
  static const auto palette = MakePalette();
  return palette;
}

ColourChooserView::ColourChooserView(int start) : colour_(start & 0xFFFFFF) {
  const auto& p = Palette();
  const auto it = std::find(p.begin(), p.end(), colour_);
  if (it != p.end()) selected_ = static_cast<int>(it - p.begin());
  ok_ = {kWidth - kMargin - 2 * kButtonWidth - 8, kButtonsTop, kButtonWidth, kButtonHeight};
  cancel_ = {kWidth - kMargin - kButtonWidth, kButtonsTop, kButtonWidth, kButtonHeight};
}

Rect ColourChooserView::CellRect(int index) const {
  const int row = index / kColourColumns, col = index % kColourColumns;
  return {kMargin + col * (kCellW + kGap), kMargin + row * (kCellH + kGap), kCellW, kCellH};
}

plat::FormWindowLook ColourChooserView::WindowLook() const {
  plat::FormWindowLook look;
  look.caption = "Color";
  look.width = kWidth;
  look.height = kHeight;
  return look;
}

const CBitmap32& ColourChooserView::Render() {
  if (image_.width != kWidth) image_ = CBitmap32::Make(kWidth, kHeight, 0xFF000000);
  Canvas c(image_);
  c.Fill(kFaceColour);
  const auto& p = Palette();
  for (int i = 0; i < kColourColumns * kColourRows; ++i) {
    const Rect r = CellRect(i);
    const bool lit = i == selected_;
    c.FillRect(r.x - 2, r.y - 2, r.w + 4, r.h + 4, lit ? 0x000000 : kFaceColour);
    c.FillRect(r.x - 1, r.y - 1, r.w + 2, r.h + 2, lit ? 0xFFFFFF : kFrameColour);
    c.FillRect(r.x, r.y, r.w, r.h, p[static_cast<size_t>(i)]);
  }
  c.FillRect(kMargin - 1, kPreviewTop - 1, kWidth - 2 * kMargin + 2, kPreviewH + 2, kFrameColour);
  c.FillRect(kMargin, kPreviewTop, kWidth - 2 * kMargin, kPreviewH, colour_);
  const FormFont& font = GetFormFont({"MS Sans Serif", 8, true, false});
  for (const auto& [rect, caption] : {std::pair{ok_, "OK"}, std::pair{cancel_, "Cancel"}}) {
    c.DrawImage(DefaultButtonImage(0), rect.x, rect.y, rect.w, rect.h);
    c.DrawText(font, caption, rect.x + (rect.w - TextWidth(font, caption)) / 2, rect.y + (rect.h - font.height) / 2,
               0xFFFFFF);
  }
  return image_;
}

plat::FormPixels ColourChooserView::Paint() {
  const CBitmap32& b = Render();
  return {b.width, b.height, b.pixels.data()};
}

bool ColourChooserView::Handle(const plat::FormEvent& e) {
  using Kind = plat::FormEvent::Kind;
  auto inside = [&](const Rect& r) { return e.x >= r.x && e.y >= r.y && e.x < r.x + r.w && e.y < r.y + r.h; };
  auto select = [&](int i) {
    selected_ = std::clamp(i, 0, kColourColumns * kColourRows - 1);
    colour_ = Palette()[static_cast<size_t>(selected_)];
  };
  switch (e.kind) {
    case Kind::Close:
      return false;
    case Kind::KeyDown: {
      if (e.key == kVkEscape) return false;
      if (e.key == kVkReturn) {
        chosen_ = true;
        return false;
      }
      const int at = selected_ < 0 ? 0 : selected_;
      if (e.key == 37 && at % kColourColumns > 0) select(at - 1);                  // left
      if (e.key == 39 && at % kColourColumns < kColourColumns - 1) select(at + 1);  // right
      if (e.key == 38 && at >= kColourColumns) select(at - kColourColumns);         // up
      if (e.key == 40 && at + kColourColumns < kColourColumns * kColourRows) select(at + kColourColumns);  // down
      return true;
    }
    case Kind::MouseUp:
      if (e.button != 1) return true;
      for (int i = 0; i < kColourColumns * kColourRows; ++i)
        if (inside(CellRect(i))) select(i);
      if (inside(ok_)) {
        chosen_ = true;
        return false;
      }
      return !inside(cancel_);
    default:
      return true;
  }
}

}  // namespace kv::ui
