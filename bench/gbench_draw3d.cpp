// 3D drawing benchmark through our graphics device (bench/draw3d.sh runs it offscreen on llvmpipe next to the
// LÖVE twin). One iteration = one frame: clear, 2,000 textured blocks lit by 4 point lights with fog, present.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "draw3d_scene.h"
#include "graphics/bitmap_ops.h"
#include "graphics/graphics_3d.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"
#include "platform/gl/gl_device.h"
#include "platform/sdl/sdl_window.h"

namespace {

using namespace kv;
using namespace kv::bench3d;

std::vector<uint32_t> BlockPixels() {
  std::vector<uint32_t> px(32 * 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      px[y * 32 + x] = ((x / 8 + y / 8) % 2) ? 0xFFE0C080u : 0xFF806040u;
  return px;
}

void DrawFrame(int tex, int frame) {
  gfx::ClearTarget(0x404040, 1.0);
  double from[3] = {600, -250, -350}, to[3] = {600, 500, 0}, up[3] = {0, 0, -1};
  gfx::SetProjectionExt(from, to, up, 60, 4.0 / 3.0, 1, 3000);
  for (int l = 0; l < kLights; ++l) {
    double a = frame * 0.05 + l * M_PI / 2;
    gfx::DefinePointLight(l, 600 + 300 * std::cos(a), 480 + 300 * std::sin(a), -60, kLightRange, 0xFFFFFF);
  }
  for (int i = 0; i < kBlocks; ++i) {
    double x = (i % kColumns) * kSpacing, y = (i / kColumns) * kSpacing;
    gfx::DrawBlock(x, y, -kSize, x + kSize, y + kSize, 0, tex, 1, 1);
  }
}

void BM_Draw3D(benchmark::State& state) {
  const char* fv = std::getenv("KV_DRAW_FRAMES");
  const int frames = fv && std::atoi(fv) > 0 ? std::atoi(fv) : kFrames;
  plat::UseHeadlessVideo();
  auto window = plat::CreateSdlWindow("kvdraw3d", kWidth, kHeight);
  if (!window) return state.SkipWithError("no window");
  auto gpu = plat::CreateGlDevice(window->SdlWindow());
  gfx::AttachGpu(gpu.get(), 1024, 768);
  auto& win = gfx::Win();
  win.clientWidth = win.regionWidth = kWidth;
  win.clientHeight = win.regionHeight = kHeight;
  std::string failure;
  if (!gfx::CreateDevice(kWidth, kHeight, false, failure)) return state.SkipWithError(failure.c_str());
  gfx::SetDepthMode(true);
  gfx::SetLighting(true);
  gfx::SetFog(true, 0x404040, kFogStart, kFogEnd);
  for (int l = 0; l < kLights; ++l) gfx::EnableLight(l, true);
  auto px = BlockPixels();
  int tex = gfx::TextureFromPixels(32, 32, px.data());
  if (const char* dir = std::getenv("KV_DRAW_TEXTURE_DIR")) {
    CBitmap32 b = CBitmap32::Make(32, 32);
    b.pixels = px;
    gfx::SavePng(b, std::string(dir) + "/block.png");
  }
  int frame = 0;
  for (; frame < kWarmup; ++frame) {
    DrawFrame(tex, frame);
    gfx::EndSceneAndPresent();
  }
  gpu->ResetCounters();
  long covered = 0;
  std::clock_t cpu0 = std::clock();
  for (auto _ : state) {
    DrawFrame(tex, frame);
    if (frame == kWarmup + frames - 1) {
      auto shot = gfx::ReadBack(0, 0, kWidth, kHeight);
      if (shot)
        for (uint32_t p : shot->pixels) covered += (p & 0xFFFFFF) != 0x404040;
    }
    gfx::EndSceneAndPresent();
    ++frame;
  }
  state.counters["cpu_ms_per_frame"] = (std::clock() - cpu0) * 1000.0 / CLOCKS_PER_SEC / frames;
  state.counters["covered"] = static_cast<double>(covered);
  state.counters["gl_draws_per_frame"] = static_cast<double>(gpu->Counters().glDraws) / frames;
  gfx::ReleaseDevice();
  gfx::AttachGpu(nullptr, 1024, 768);
}

const bool kRegistered = [] {
  const char* fv = std::getenv("KV_DRAW_FRAMES");
  const int frames = fv && std::atoi(fv) > 0 ? std::atoi(fv) : kFrames;
  benchmark::RegisterBenchmark("BM_Draw3D", BM_Draw3D)->Iterations(frames)->Unit(benchmark::kMillisecond)->UseRealTime();
  return true;
}();

}  // namespace
