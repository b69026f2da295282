#include "interface/splash_form.h"

#include <algorithm>
#include <cmath>

#include "interface/message_form.h"

namespace kv::ui {

SplashSettings& Splash() {
  static SplashSettings settings;
  return settings;
}

Rect PlaceSplashImage(int areaWidth, int areaHeight, int imageWidth, int imageHeight, double scale) {
  if (imageWidth <= 0 || imageHeight <= 0) return {areaWidth / 2, areaHeight / 2, 0, 0};
  double s = scale;
  if (!(s > 0))
    s = std::min(static_cast<double>(areaHeight) / imageHeight, static_cast<double>(areaWidth) / imageWidth);
  const double w = std::nearbyint(imageWidth * s), h = std::nearbyint(imageHeight * s);
  const int iw = static_cast<int>(std::clamp(w, 0.0, 1e6)), ih = static_cast<int>(std::clamp(h, 0.0, 1e6));
  return {(areaWidth - iw) / 2, (areaHeight - ih) / 2, iw, ih};
}

Rect PlaceInfoWindow(int left, int top, int width, int height, int screenWidth, int screenHeight) {
  Rect r;
  r.w = std::max(1, screenWidth > 0 ? std::min(width, screenWidth) : width);
  r.h = std::max(1, screenHeight > 0 ? std::min(height, screenHeight) : height);
  r.x = left < 0 ? (screenWidth - r.w) / 2 : left;
  r.y = top < 0 ? (screenHeight - r.h) / 2 : top;
  return r;
}

SplashView::SplashView(const SplashOptions& options, CBitmap32 image, Rect place)
    : options_(options), image_(std::move(image)), place_(place) {}

SplashView::SplashView(const SplashOptions& options, RichDocument text)
    : options_(options), text_(std::move(text)) {
  layout_ = LayoutRichText(*text_, std::max(1, options_.width - 2 * options_.margin));
}

const CBitmap32& SplashView::Render() {
  const int w = std::max(1, options_.width), h = std::max(1, options_.height);
  if (frame_.width != w || frame_.height != h) frame_ = CBitmap32::Make(w, h, 0xFF000000);
  Canvas c(frame_);
  c.Fill(options_.colour);
  if (image_) c.DrawImage(*image_, place_.x, place_.y, place_.w, place_.h);
  if (text_) DrawRichText(c, layout_, options_.margin, options_.margin - scroll_, options_.textColour);
  return frame_;
}

plat::FormPixels SplashView::Paint() {
  const CBitmap32& b = Render();
  return {b.width, b.height, b.pixels.data()};
}

void SplashView::Scroll(int by) {
  const int most = std::max(0, layout_.height + 2 * options_.margin - options_.height);
  scroll_ = std::clamp(scroll_ + by, 0, most);
}

bool SplashView::Handle(const plat::FormEvent& e) {
  using Kind = plat::FormEvent::Kind;
  switch (e.kind) {
    case Kind::Close:
      return false;  // the close button always ends a splash, whatever stops keys and clicks
    case Kind::KeyDown:
      if (e.key == kVkEscape && options_.stopKey) return false;
      if (text_) {
        if (e.key == 38) Scroll(-20);                        // up
        if (e.key == 40) Scroll(20);                         // down
        if (e.key == 33) Scroll(-(options_.height - 20));    // page up
        if (e.key == 34) Scroll(options_.height - 20);       // page down
      }
      return true;
    case Kind::MouseDown:
      return !options_.stopMouse;
    case Kind::Wheel:
      if (text_) Scroll(e.button > 0 ? -60 : 60);
      return true;
    default:
      return true;
  }
}

bool SplashView::Tick(int64_t elapsedMillis) { return options_.delay <= 0 || elapsedMillis < options_.delay; }

}  // namespace kv::ui
