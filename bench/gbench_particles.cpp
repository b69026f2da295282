// Particle benchmark through our particle systems and graphics device (bench/particles.sh runs it offscreen on
// llvmpipe next to the LÖVE twin in bench/particles_love/main.lua). Ten systems, each fed by a stream emitter of
// 125 particles a step that live 80 steps (10,000 live per system), pulled by an attractor, passed through a
// changer, with colour and alpha changing over the life. Update and drawing are timed apart, per step.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "functions/function_math.h"
#include "graphics/bitmap_ops.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"
#include "particles/particle_draw.h"
#include "particles/particle_shapes.h"
#include "particles/particle_system.h"
#include "particles/particle_type.h"
#include "platform/gl/gl_device.h"
#include "platform/sdl/sdl_window.h"

namespace {

using namespace kv;
using namespace kv::particles;

constexpr int kSystems = 10, kStream = 125, kLife = 80, kWidth = 640, kHeight = 480, kWarmup = 100;
constexpr int kYellow = 0x00FFFF, kOrange = 0x0080FF, kRed = 0x0000FF, kAqua = 0xFFFF00;

int Steps() {
  const char* v = std::getenv("KV_PARTICLE_STEPS");
  const int n = v ? std::atoi(v) : 0;
  return n > 0 ? n : 300;
}

int MakeType(int c1, int c2, int c3) {
  const int t = CreateType();
  RParticleType& p = *ExistingType(t);
  p.shape = 8;  // flare
  p.sizeMin = p.sizeMax = 0.4;
  p.lifeMin = p.lifeMax = kLife;
  p.speedMin = 1;
  p.speedMax = 3;
  p.dirMax = 360;
  p.colourKind = kColourThree;
  p.colour[0] = c1;
  p.colour[1] = c2;
  p.colour[2] = c3;
  p.alpha1 = 1;
  p.alpha2 = 0.8;
  p.alpha3 = 0;
  return t;
}

void BuildScene() {
  ClearSystems();
  ClearTypes();
  GameRandom::SetSeed(1);
  for (int k = 0; k < kSystems; ++k) {
    const int a = MakeType(kYellow, kOrange, kRed), b = MakeType(kAqua, kYellow, kRed);
    CParticleSystem& s = *GetSystem(CreateSystem());
    const double cx = 32 + k * 64, cy = 240;
    REmitter& e = s.emitters.items[static_cast<size_t>(s.emitters.Create())];
    e.xMin = cx - 16;
    e.xMax = cx + 16;
    e.yMin = cy - 20;
    e.yMax = cy + 20;
    e.streamType = a;
    e.streamNumber = kStream;
    RAttractor& at = s.attractors.items[static_cast<size_t>(s.attractors.Create())];
    at.x = cx;
    at.y = cy;
    at.force = 0.05;
    at.dist = 300;
    at.kind = kForceLinear;
    RChanger& ch = s.changers.items[static_cast<size_t>(s.changers.Create())];
    ch.xMin = cx - 8;
    ch.xMax = cx + 8;
    ch.yMin = cy - 100;
    ch.yMax = cy + 100;
    ch.partType1 = a;
    ch.partType2 = b;
    ch.kind = kChangeShape;
  }
}

void DrawAll() {
  gfx::ClearTarget(0x000000, 1.0);
  for (int id = 0; id < SystemSlots(); ++id)
    if (CParticleSystem* s = GetSystem(id)) DrawSystem(*s);
  gfx::EndSceneAndPresent();
}

void BM_Particles(benchmark::State& state) {
  if (!std::getenv("KV_DRAW_WINDOW")) plat::UseHeadlessVideo();
  auto window = plat::CreateSdlWindow("kvparticles", kWidth, kHeight);
  if (!window) {
    state.SkipWithError("no window");
    return;
  }
  auto gpu = plat::CreateGlDevice(window->SdlWindow());
  gfx::AttachGpu(gpu.get(), 1024, 768);
  auto& win = gfx::Win();
  win.clientWidth = win.regionWidth = kWidth;
  win.clientHeight = win.regionHeight = kHeight;
  std::string failure;
  if (!gfx::CreateDevice(kWidth, kHeight, false, failure)) {
    state.SkipWithError(failure.c_str());
    return;
  }
  gfx::SetInterpolation(true);
  if (const char* dir = std::getenv("KV_PARTICLE_TEXTURE_DIR")) {  // the flare shape for the LÖVE twin
    const ShapeImage img = MakeShapeImage(8);
    CBitmap32 b = CBitmap32::Make(kShapeSize, kShapeSize);
    for (size_t i = 0; i < img.size(); ++i) b.pixels[i] = (static_cast<uint32_t>(img[i]) << 24) | 0xFFFFFFu;
    gfx::SavePng(b, std::string(dir) + "/flare.png");
  }
  BuildScene();
  for (int i = 0; i < kWarmup; ++i) {
    UpdateAllSystems();
    DrawAll();
  }
  gpu->ResetCounters();
  using Clock = std::chrono::steady_clock;
  double updateMs = 0, drawMs = 0;
  size_t live = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    UpdateAllSystems();
    const auto t1 = Clock::now();
    DrawAll();
    const auto t2 = Clock::now();
    updateMs += std::chrono::duration<double, std::milli>(t1 - t0).count();
    drawMs += std::chrono::duration<double, std::milli>(t2 - t1).count();
  }
  for (int id = 0; id < SystemSlots(); ++id)
    if (CParticleSystem* s = GetSystem(id)) live += s->parts.Count();
  const double steps = static_cast<double>(state.iterations());
  state.counters["update_ms"] = updateMs / steps;
  state.counters["draw_ms"] = drawMs / steps;
  state.counters["live"] = static_cast<double>(live);
  state.counters["gl_draws_per_step"] = static_cast<double>(gpu->Counters().glDraws) / steps;
  ClearSystems();
  ClearTypes();
  gfx::ReleaseDevice();
  gfx::AttachGpu(nullptr, 1024, 768);
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("BM_Particles", BM_Particles)
      ->Iterations(Steps())
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  return true;
}();

}  // namespace
