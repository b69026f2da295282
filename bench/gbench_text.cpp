// Tile and text drawing through our graphics device (GL on the current SDL video driver; bench/text.sh runs it
// offscreen on llvmpipe next to the LÖVE twin). One iteration = one frame: clear, the scene, present.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "graphics/bitmap_ops.h"
#include "graphics/font_main.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_text.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"
#include "platform/gl/gl_device.h"
#include "platform/sdl/sdl_window.h"
#include "text_scene.h"

namespace {

using namespace kv;
namespace scene = kv::bench::text;

struct Device {
  std::unique_ptr<plat::IWindow> window;
  std::unique_ptr<plat::IGlDevice> gpu;
  bool Start(benchmark::State& state) {
    if (!std::getenv("KV_DRAW_WINDOW")) plat::UseHeadlessVideo();
    window = plat::CreateSdlWindow("kvtext", scene::kWidth, scene::kHeight);
    if (!window) {
      state.SkipWithError("no window");
      return false;
    }
    gpu = plat::CreateGlDevice(window->SdlWindow());
    gfx::AttachGpu(gpu.get(), 1024, 768);
    auto& win = gfx::Win();
    win.clientWidth = win.regionWidth = scene::kWidth;
    win.clientHeight = win.regionHeight = scene::kHeight;
    std::string failure;
    if (!gfx::CreateDevice(scene::kWidth, scene::kHeight, false, failure)) {
      state.SkipWithError(failure.c_str());
      return false;
    }
    return true;
  }
  ~Device() {
    gfx::FreeFontTextures();
    gfx::ResetDefaultFont();
    gfx::ReleaseDevice();
    gfx::AttachGpu(nullptr, 1024, 768);
  }
};

template <class Frame>
void Run(benchmark::State& state, Frame frame) {
  int f = 0;
  for (; f < scene::kWarmup; ++f) {
    frame(f);
    gfx::EndSceneAndPresent();
  }
  long covered = 0;
  for (auto _ : state) {
    frame(f);
    if (f == scene::kWarmup + scene::kFrames - 1) {
      auto shot = gfx::ReadBack(0, 0, scene::kWidth, scene::kHeight);
      if (shot)
        for (uint32_t p : shot->pixels) covered += (p & 0xFFFFFF) != 0x303030;
    }
    gfx::EndSceneAndPresent();
    ++f;
  }
  state.counters["covered"] = static_cast<double>(covered);
}

void BM_DrawTiles(benchmark::State& state) {
  Device d;
  if (!d.Start(state)) return;
  auto px = scene::SheetPixels();
  int sheet = gfx::TextureFromPixels(scene::kSheet, scene::kSheet, px.data());
  if (const char* path = std::getenv("KV_TEXT_SHEET")) {  // the twin loads the same sheet
    CBitmap32 b = CBitmap32::Make(scene::kSheet, scene::kSheet);
    b.pixels = px;
    gfx::SavePng(b, path);
  }
  Run(state, [&](int f) {
    gfx::ClearTarget(0x303030, 1.0);
    for (int k = 0; k < scene::kTileGrid * scene::kTileGrid; ++k) {
      scene::TilePlace t = scene::Tile(k, f);
      gfx::DrawTexturePart(sheet, 0xFFFFFF, 1.0, 0.0, 1.0, 1.0, t.x, t.y, t.left, t.top, scene::kTileSize,
                           scene::kTileSize);
    }
  });
}

void BM_DrawText(benchmark::State& state) {
  Device d;
  if (!d.Start(state)) return;
  gfx::ResetTextState();
  gfx::SetDrawColour(0xFFFFFF);
  Run(state, [&](int f) {
    gfx::ClearTarget(0x303030, 1.0);
    for (int i = 0; i < scene::kStrings; ++i) {
      scene::TextPlace t = scene::Text(i, f);
      gfx::DrawText(t.text, -1, -1, t.x, t.y);
    }
  });
}

BENCHMARK(BM_DrawTiles)->Iterations(scene::kFrames)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DrawText)->Iterations(scene::kFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
