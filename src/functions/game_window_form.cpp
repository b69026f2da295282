#include "functions/game_window_form.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "functions/function_window_io.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"
#include "input/io_main.h"
#include "platform/clock.h"

namespace kv {

namespace {

constexpr int64_t kFrameMicros = 15000;  // a frame of the form: video frames and delays are this exact

// The form's pixels over the whole drawing area, presented at once. The texture is kept while its size holds.
class AreaPainter {
 public:
  AreaPainter() = default;
  AreaPainter(const AreaPainter&) = delete;
  AreaPainter& operator=(const AreaPainter&) = delete;
  ~AreaPainter() { gfx::FreeTexture(texture_); }

  void Paint(const plat::FormPixels& px) {
    if (!px.pixels || px.width <= 0 || px.height <= 0 || !gfx::DeviceExists()) return;
    if (texture_ < 0 || width_ != px.width || height_ != px.height) {
      gfx::FreeTexture(texture_);
      texture_ = gfx::CreateTexture(px.width, px.height, false);
      width_ = px.width;
      height_ = px.height;
    }
    if (texture_ < 0 || !gfx::FillTexture(texture_, px.pixels)) return;
    const auto& d = gfx::D3D();
    gfx::SetViewport(0, 0, d.renderWidth, d.renderHeight);
    gfx::SetProjection2D(0, 0, d.renderWidth, d.renderHeight, 0);
    gfx::DrawTextureExt(texture_, 0xFFFFFF, 1.0, 0, static_cast<double>(d.renderWidth) / px.width,
                        static_cast<double>(d.renderHeight) / px.height, 0, 0, 0, 0);
    gfx::EndSceneAndPresent();
    gfx::BeginScene();
  }

 private:
  int texture_ = -1;
  int width_ = 0, height_ = 0;
};

// What reached the game window since the last frame, handed to the form; false when the form closed.
bool DeliverInput(plat::IFormController& form) {
  using Kind = plat::FormEvent::Kind;
  const int x = input::MouseClientX(), y = input::MouseClientY();
  for (int vk = 1; vk < 256; ++vk)
    if (input::KeyPressed(vk) && !form.Handle({Kind::KeyDown, vk, 0, false, 0, 0, 0})) return false;
  for (int b = 1; b <= 3; ++b)
    if (input::ButtonPressed(b) && !form.Handle({Kind::MouseDown, 0, 0, false, x, y, b})) return false;
  if (input::WheelUp() && !form.Handle({Kind::Wheel, 0, 0, false, x, y, 1})) return false;
  if (input::WheelDown() && !form.Handle({Kind::Wheel, 0, 0, false, x, y, -1})) return false;
  input::ClearStepInput();
  // The close button ends the form; the request stays for the game.
  return !input::ClosePending() || form.Handle({Kind::Close, 0, 0, false, 0, 0, 0});
}

constexpr int kVkAlt = 18, kVkReturn = 13, kVkEscape = 27;

// What reached the game window since the last frame, handed to a modal form drawn over the game at `at`: keys,
// typed characters, mouse moves, presses, releases and the wheel (in the form's coordinates); false when the form
// closed.
class OverGameInput {
 public:
  bool Deliver(plat::IFormController& form, const FormPlacement& at, int formWidth, int formHeight) {
    using Kind = plat::FormEvent::Kind;
    int x = 0, y = 0;
    FormPoint(at, formWidth, formHeight, x, y);
    const bool alt = input::KeyDown(kVkAlt);
    // Within one frame the order of keys and characters is lost. Enter and Escape, which end forms, go after the
    // characters typed with them (text typed and confirmed at once keeps its last letter); editing keys go first.
    auto keys = [&](bool ending) {
      for (int vk = 1; vk < 256; ++vk)
        if ((vk == kVkReturn || vk == kVkEscape) == ending && input::KeyPressed(vk) &&
            !form.Handle({Kind::KeyDown, vk, 0, alt, 0, 0, 0}))
          return false;
      return true;
    };
    if (!keys(false)) return false;
    // The typed characters arrive through the game's keyboard string, taken away as they are handed over.
    const std::string typed = input::TypedText();
    input::SetTypedText("");
    for (char c : typed)
      if (!form.Handle({Kind::Char, 0, static_cast<uint8_t>(c), alt, 0, 0, 0})) return false;
    if (!keys(true)) return false;
    if (x != lastX_ || y != lastY_) {
      lastX_ = x, lastY_ = y;
      if (!form.Handle({Kind::MouseMove, 0, 0, false, x, y, 0})) return false;
    }
    for (int b = 1; b <= 3; ++b) {
      if (input::ButtonPressed(b) && !form.Handle({Kind::MouseDown, 0, 0, false, x, y, b})) return false;
      if (input::ButtonReleased(b) && !form.Handle({Kind::MouseUp, 0, 0, false, x, y, b})) return false;
    }
    if (input::WheelUp() && !form.Handle({Kind::Wheel, 0, 0, false, x, y, 1})) return false;
    if (input::WheelDown() && !form.Handle({Kind::Wheel, 0, 0, false, x, y, -1})) return false;
    input::ClearStepInput();
    // The close button ends the form; the request stays for the game.
    return !input::ClosePending() || form.Handle({Kind::Close, 0, 0, false, 0, 0, 0});
  }

 private:
  // The mouse in the form's coordinates: window client → presented frame → form.
  static void FormPoint(const FormPlacement& at, int formWidth, int formHeight, int& x, int& y) {
    const auto& win = gfx::Win();
    const auto& d = gfx::D3D();
    int cw = 0, ch = 0;
    gfx::ActualClientSize(cw, ch);
    int fx = 0, fy = 0;
    gfx::WindowToFrame(input::MouseClientX(), input::MouseClientY(), cw, ch, win.regionWidth, win.regionHeight,
                       win.regionScale, fx, fy);
    if (win.regionWidth > 0) fx = static_cast<int>(static_cast<int64_t>(fx) * d.renderWidth / win.regionWidth);
    if (win.regionHeight > 0) fy = static_cast<int>(static_cast<int64_t>(fy) * d.renderHeight / win.regionHeight);
    at.FrameToForm(fx, fy, formWidth, formHeight, x, y);
  }

  int lastX_ = -1000000, lastY_ = -1000000;
};

}  // namespace

void FormPlacement::FrameToForm(int fx, int fy, int formWidth, int formHeight, int& x, int& y) const {
  // Floor division keeps points left of or above the form outside it.
  auto scaled = [](int offset, int formSize, int placedSize) {
    if (placedSize <= 0) return -1;
    const int64_t n = static_cast<int64_t>(offset) * formSize;
    return static_cast<int>(n >= 0 ? n / placedSize : -((-n + placedSize - 1) / placedSize));
  };
  x = scaled(fx - left, formWidth, width);
  y = scaled(fy - top, formHeight, height);
}

FormPlacement PlaceFormCentred(int frameWidth, int frameHeight, int formWidth, int formHeight) {
  FormPlacement p;
  if (frameWidth <= 0 || frameHeight <= 0 || formWidth <= 0 || formHeight <= 0) return p;
  p.width = formWidth;
  p.height = formHeight;
  if (formWidth > frameWidth || formHeight > frameHeight) {
    // The tighter side decides; the other follows, rounded, never beyond the frame.
    if (static_cast<int64_t>(formWidth) * frameHeight >= static_cast<int64_t>(formHeight) * frameWidth) {
      p.width = frameWidth;
      p.height = std::clamp(static_cast<int>(static_cast<int64_t>(formHeight) * frameWidth / formWidth), 1,
                            frameHeight);
    } else {
      p.height = frameHeight;
      p.width = std::clamp(static_cast<int>(static_cast<int64_t>(formWidth) * frameHeight / formHeight), 1,
                           frameWidth);
    }
  }
  p.left = (frameWidth - p.width) / 2;
  p.top = (frameHeight - p.height) / 2;
  return p;
}

void DrawFormOverFrame(std::vector<uint32_t>& frame, int frameWidth, int frameHeight, const plat::FormPixels& form,
                       const FormPlacement& at) {
  if (!form.pixels || form.width <= 0 || form.height <= 0 || at.width <= 0 || at.height <= 0) return;
  if (frameWidth <= 0 || frameHeight <= 0 ||
      frame.size() < static_cast<size_t>(frameWidth) * static_cast<size_t>(frameHeight))
    return;
  for (int y = std::max(0, at.top); y < std::min(frameHeight, at.top + at.height); ++y) {
    const int sy = static_cast<int>(static_cast<int64_t>(y - at.top) * form.height / at.height);
    const uint32_t* src = form.pixels + static_cast<size_t>(sy) * form.width;
    uint32_t* dst = frame.data() + static_cast<size_t>(y) * frameWidth;
    for (int x = std::max(0, at.left); x < std::min(frameWidth, at.left + at.width); ++x)
      dst[x] = src[static_cast<int64_t>(x - at.left) * form.width / at.width] | 0xFF000000u;
  }
}

bool GameWindowFormArea(int& width, int& height) {
  if (!gfx::DeviceExists()) return false;
  width = std::max(1, gfx::D3D().renderWidth);
  height = std::max(1, gfx::D3D().renderHeight);
  return true;
}

bool RunFormInGameWindow(plat::IFormController& form, const GameWindowWait& how) {
  if (!gfx::DeviceExists()) return false;
  const int colour = gfx::Win().colour;
  gfx::Win().colour = how.colour;
  AreaPainter painter;
  input::ClearInput();
  // A real window plays in real time even when the run's waits are skipped (--fast).
  std::unique_ptr<plat::IClock> realClock;
  plat::IClock* clock = how.clock;
  if (how.liveWindow && !clock) clock = (realClock = plat::CreateRealClock()).get();
  int64_t elapsed = 0;
  const int64_t start = clock ? clock->Micros() : 0;
  while (true) {
    painter.Paint(form.Paint());
    if (!DeliverInput(form)) break;
    if (!form.Tick(elapsed / 1000)) break;
    if (how.liveWindow) {
      PumpWindowOnce();
      clock->Sleep(kFrameMicros);
    } else if (how.lengthMillis > 0) {
      if (!clock) break;  // no time can pass: it is over at once, as the waits of --fast are
      clock->Sleep(kFrameMicros);
    } else if (!WaitForInputOnce()) {
      break;  // nothing more can arrive
    }
    elapsed = clock ? clock->Micros() - start : elapsed + kFrameMicros;
  }
  gfx::Win().colour = colour;
  input::ClearInput();
  return true;
}

bool RunModalFormOverGame(plat::IFormController& form, bool arrow) {
  if (!gfx::DeviceExists() || !gfx::Win().fullScreen) return false;
  const int frameWidth = std::max(1, gfx::D3D().renderWidth), frameHeight = std::max(1, gfx::D3D().renderHeight);
  // The last game frame, kept to draw the form over (and to show again once it closes).
  std::optional<gfx::PixelBlock> last = gfx::ReadBack(0, 0, frameWidth, frameHeight);
  std::vector<uint32_t> shown;
  if (last && last->width == frameWidth && last->height == frameHeight) {
    for (uint32_t& p : last->pixels) p |= 0xFF000000u;  // the frame has no alpha channel
  } else {
    last.emplace();
    last->width = frameWidth, last->height = frameHeight;
    last->pixels.assign(static_cast<size_t>(frameWidth) * frameHeight, 0xFF000000u);
  }
  AreaPainter painter;
  OverGameInput events;
  plat::IWindow* window = gfx::Win().window;
  if (window) window->SetCursor(arrow ? 0 : -1);
  input::ClearInput();
  const std::unique_ptr<plat::IClock> clock = plat::CreateRealClock();
  const int64_t start = clock->Micros();
  while (true) {
    const plat::FormPixels px = form.Paint();
    const FormPlacement at = PlaceFormCentred(frameWidth, frameHeight, px.width, px.height);
    shown = last->pixels;
    DrawFormOverFrame(shown, frameWidth, frameHeight, px, at);
    painter.Paint({frameWidth, frameHeight, shown.data()});
    if (!events.Deliver(form, at, px.width, px.height)) break;
    if (!form.Tick((clock->Micros() - start) / 1000)) break;
    PumpWindowOnce();
    clock->Sleep(kFrameMicros);
  }
  painter.Paint({frameWidth, frameHeight, last->pixels.data()});  // the game's frame as it was
  if (window) window->SetCursor(gfx::Win().cursor);
  input::ClearInput();
  return true;
}

}  // namespace kv
