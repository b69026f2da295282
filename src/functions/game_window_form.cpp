#include "functions/game_window_form.h"

#include <algorithm>
#include <memory>

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

}  // namespace

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

}  // namespace kv
