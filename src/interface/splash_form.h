#pragma once
// Splash screens and the game-information window: their settings, where a splash image goes, and the form that
// shows an image or rich text until a key, a click, its delay or the close button ends it.
#include <optional>
#include <string>

#include "graphics/bitmap32.h"
#include "interface/form_canvas.h"
#include "interface/message_box.h"
#include "interface/rich_text.h"
#include "interface/rich_text_view.h"
#include "platform/dialogs.h"

namespace kv::ui {

struct SplashSettings {
  bool main = true, fullscreen = false, border = true;
  std::string caption;
  int width = 640, height = 480;
  bool adapt = true, top = true;
  int colour = 0;
  double scale = -1;
  bool cursor = true, interrupt = true, stopKey = true, stopMouse = true;
};
SplashSettings& Splash();

// Scale s = `scale` when above 0, else the largest that fits the area keeping the aspect ratio; the image is
// round(w·s) × round(h·s), centred ((area − size) div 2).
Rect PlaceSplashImage(int areaWidth, int areaHeight, int imageWidth, int imageHeight, double scale);

// The game-information window on a screen: width and height limited to the screen, left or top below 0 centred.
Rect PlaceInfoWindow(int left, int top, int width, int height, int screenWidth, int screenHeight);

struct SplashOptions {
  int width = 640, height = 480;  // the area
  int colour = 0;                 // its background
  int delay = 0;                  // milliseconds; 0 or less: until closed
  bool stopKey = true, stopMouse = true;
  int textColour = 0;             // rich text in the automatic colour
  int margin = 0;                 // around rich text
};

class SplashView final : public plat::IFormController {
 public:
  // An image at `place` in the area.
  SplashView(const SplashOptions& options, CBitmap32 image, Rect place);
  // Rich text filling the area (scrolled with the wheel and the arrow and page keys).
  SplashView(const SplashOptions& options, RichDocument text);

  const CBitmap32& Render();
  const RichLayout* TextLayout() const { return text_ ? &layout_ : nullptr; }
  plat::FormPixels Paint() override;
  bool Handle(const plat::FormEvent& event) override;
  bool Tick(int64_t elapsedMillis) override;

 private:
  void Scroll(int by);

  SplashOptions options_;
  std::optional<CBitmap32> image_;
  Rect place_;
  std::optional<RichDocument> text_;
  RichLayout layout_;
  int scroll_ = 0;
  CBitmap32 frame_;
};

}  // namespace kv::ui
