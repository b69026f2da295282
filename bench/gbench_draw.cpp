// Drawing benchmark through our graphics device (GL on the current SDL video driver; bench/draw.sh runs it
// offscreen on llvmpipe next to the LÖVE twin). One iteration = one frame: clear, 10,000 sprites, present.
#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>
#include <cstdlib>
#include <string>

#include "draw_scene.h"
#include "graphics/bitmap_ops.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"
#include "platform/gl/gl_device.h"
#include "platform/sdl/sdl_window.h"

namespace {

using namespace kv;

void DrawFrame(const int* tex, int textures, int frame) {
  gfx::ClearTarget(0x303030, 1.0);
  for (int i = 0; i < bench::kSprites; ++i) {
    bench::SpritePlace p = bench::Place(i, frame, textures);
    gfx::DrawTextureExt(tex[p.texture], 0xFFFFFF, 0.7, p.angleDeg * M_PI / 180.0, 1, 1, p.x, p.y, 16, 16);
  }
}

int Frames() {
  const char* v = std::getenv("KV_DRAW_FRAMES");
  int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : bench::kFrames;
}

void BM_DrawSprites(benchmark::State& state) {
  int textures = static_cast<int>(state.range(0));
  const int frames = Frames();
  if (!std::getenv("KV_DRAW_WINDOW")) plat::UseHeadlessVideo();
  auto window = plat::CreateSdlWindow("kvdraw", bench::kWidth, bench::kHeight);
  if (!window) {
    state.SkipWithError("no window");
    return;
  }
  auto gpu = plat::CreateGlDevice(window->SdlWindow());
  gfx::AttachGpu(gpu.get(), 1024, 768);
  auto& win = gfx::Win();
  win.clientWidth = win.regionWidth = bench::kWidth;
  win.clientHeight = win.regionHeight = bench::kHeight;
  std::string failure;
  if (!gfx::CreateDevice(bench::kWidth, bench::kHeight, false, failure)) {
    state.SkipWithError(failure.c_str());
    return;
  }
  gfx::SetInterpolation(true);
  int tex[16];
  const char* dir = std::getenv("KV_DRAW_TEXTURE_DIR");
  for (int k = 0; k < 16; ++k) {
    auto px = bench::SpritePixels(k);
    tex[k] = gfx::TextureFromPixels(32, 32, px.data());
    if (dir) {
      CBitmap32 b = CBitmap32::Make(32, 32);
      b.pixels = px;
      gfx::SavePng(b, std::string(dir) + "/sprite" + std::to_string(k) + ".png");
    }
  }
  int frame = 0;
  for (; frame < bench::kWarmup; ++frame) {
    DrawFrame(tex, textures, frame);
    gfx::EndSceneAndPresent();
  }
  gpu->ResetCounters();
  long covered = 0;
  std::clock_t cpu0 = std::clock();  // process CPU time, the raster threads included
  for (auto _ : state) {
    DrawFrame(tex, textures, frame);
    if (frame == bench::kWarmup + frames - 1) {  // the last frame ends in a read-back
      auto shot = gfx::ReadBack(0, 0, bench::kWidth, bench::kHeight);
      if (shot)
        for (uint32_t p : shot->pixels) covered += (p & 0xFFFFFF) != (bench::kBackground & 0xFFFFFF);
    }
    gfx::EndSceneAndPresent();
    ++frame;
  }
  double cpuMs = (std::clock() - cpu0) * 1000.0 / CLOCKS_PER_SEC;
  state.counters["cpu_ms_per_frame"] = cpuMs / frames;
  auto c = gpu->Counters();
  state.counters["covered"] = static_cast<double>(covered);
  state.counters["gl_draws_per_frame"] = static_cast<double>(c.glDraws) / frames;
  gfx::ReleaseDevice();
  gfx::AttachGpu(nullptr, 1024, 768);
}

// Frames per run from KV_DRAW_FRAMES (default 200), read when the benchmark is registered.
const bool kRegistered = [] {
  benchmark::RegisterBenchmark("BM_DrawSprites", BM_DrawSprites)
      ->Arg(1)
      ->Arg(16)
      ->Iterations(Frames())
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  return true;
}();

}  // namespace
