#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/deferred_gpu.h"
#include "platform/gl/gl_device.h"
#include "platform/recording/recording_gpu.h"
#include "platform/sdl/sdl_window.h"

namespace kv::plat {
namespace {

// A device factory that counts how often it was asked and hands out a recording device (kept reachable).
struct RecordingFactory {
  int made = 0;
  RecordingGpu* last = nullptr;
  DeferredGpu::Factory Make() {
    return [this](std::shared_ptr<void>&) -> std::unique_ptr<IGpuDevice> {
      ++made;
      auto d = std::make_unique<RecordingGpu>();
      last = d.get();
      return d;
    };
  }
};

std::vector<Vertex> Quad(float x, float y, float w, float h, uint32_t colour) {
  return {{x, y, 0, colour, 0, 0}, {x + w, y, 0, colour, 1, 0}, {x, y + h, 0, colour, 0, 1},
          {x + w, y, 0, colour, 1, 0}, {x + w, y + h, 0, colour, 1, 1}, {x, y + h, 0, colour, 0, 1}};
}

Matrix4 Ortho(int w, int h) {  // pixel coordinates, y down, to clip space
  Matrix4 m = Matrix4::Identity();
  m.m[0][0] = 2.0f / w;
  m.m[1][1] = -2.0f / h;
  m.m[3][0] = -1.0f;
  m.m[3][1] = 1.0f;
  return m;
}

// One frame of a small game: a full clear, a textured sprite, a few quads, and every few frames a draw into a
// render target that keeps its contents (a surface), with state changes in between.
void DrawFrame(IGpuDevice& d, int frame, TextureHandle sprite, TextureHandle surface) {
  d.SetTarget(kBackBuffer);
  d.SetViewport({0, 0, 64, 48});
  d.SetTransform(TransformKind::Projection, Ortho(64, 48));
  d.Clear(0xFF000000u | static_cast<uint32_t>(frame * 40503), true, true);
  RenderStates s;
  s.linearFilter = frame % 2 == 0;
  d.SetStates(s);
  d.BindTexture(sprite);
  auto q = Quad(static_cast<float>(frame % 50), 10, 8, 8, 0xFFFFFFFF);
  d.Draw(PrimKind::TriangleList, true, q.data(), 6);
  d.BindTexture(kNoTexture);
  for (int i = 0; i < 40; ++i) {
    q = Quad(static_cast<float>(i), static_cast<float>(frame % 40), 3, 3, 0x80FF0000u + static_cast<uint32_t>(i));
    d.Draw(PrimKind::TriangleList, false, q.data(), 6);
  }
  if (frame % 7 == 3) {
    d.SetTarget(surface);
    d.SetViewport({0, 0, 32, 32});
    d.SetTransform(TransformKind::Projection, Ortho(32, 32));
    q = Quad(static_cast<float>(frame % 30), static_cast<float>(frame % 29), 2, 2, 0xFF00FF00u + frame);
    d.Draw(PrimKind::TriangleList, false, q.data(), 6);
    d.SetTarget(kBackBuffer);
  }
}

TextureHandle MakeSprite(IGpuDevice& d) {
  int gw = 0, gh = 0;
  TextureHandle t = d.CreateTexture(8, 8, false, gw, gh);
  std::vector<uint32_t> px(64);
  for (int i = 0; i < 64; ++i) px[i] = 0xFF000000u | static_cast<uint32_t>(i * 0x030507);
  d.Upload(t, 8, 8, px.data());
  return t;
}

}  // namespace

// Calls are answered like the real device answers them (existence, handles, granted sizes, validity), nothing
// is made until pixels are read, and long runs that clear the frame keep a small log.
TEST(DeferredGpu, AnswersWithoutTheDeviceAndStaysSmall) {
  RecordingFactory factory;
  DeferredGpu d(factory.Make(), 4096);
  std::string error;
  int gw = 0, gh = 0;
  EXPECT_FALSE(d.Exists());
  EXPECT_EQ(d.CreateTexture(8, 8, false, gw, gh), kNoTexture);  // no device yet
  EXPECT_FALSE(d.SetTarget(kBackBuffer));
  ASSERT_TRUE(d.Create(64, 48, false, error));
  EXPECT_TRUE(d.Exists());
  EXPECT_EQ(d.MaxTextureSize(), 4096);
  EXPECT_EQ(d.CreateTexture(4097, 8, false, gw, gh), kNoTexture);
  const TextureHandle sprite = MakeSprite(d);
  const TextureHandle surface = d.CreateTexture(20, 30, true, gw, gh);
  EXPECT_EQ(gw, 32);
  EXPECT_EQ(gh, 32);
  EXPECT_FALSE(d.SetTarget(sprite));  // not a render target
  EXPECT_TRUE(d.SetTarget(surface));
  EXPECT_FALSE(d.Upload(sprite, 9, 8, std::vector<uint32_t>(72).data()));
  EXPECT_TRUE(d.Copy(surface, {0, 0, 4, 4}, surface, 8, 8));
  EXPECT_FALSE(d.Copy(sprite, {0, 0, 4, 4}, surface, 8, 8));
  for (int f = 0; f < 2000; ++f) {
    DrawFrame(d, f, sprite, surface);
    EXPECT_TRUE(d.Present({0, 0, 64, 48}, {0, 0, 64, 48}, 64, 48, 0, false));
  }
  EXPECT_EQ(factory.made, 0);
  // 2000 frames of ~40 draws: the frame draws are dropped at each full clear; the surface draws stay.
  EXPECT_LT(d.LogBytes(), size_t{1} << 20);
  std::vector<uint32_t> px;
  EXPECT_TRUE(d.Read(kBackBuffer, {0, 0, 4, 4}, px));
  EXPECT_EQ(factory.made, 1);
  EXPECT_TRUE(d.Materialized());
  EXPECT_EQ(d.LogEntries(), 0u);

  // A partial clear keeps everything; the budget then makes the device.
  RecordingFactory f2;
  DeferredGpu small(f2.Make(), 4096, size_t{256} << 10);
  ASSERT_TRUE(small.Create(64, 48, false, error));
  for (int f = 0; f < 200 && !small.Materialized(); ++f) {
    small.SetViewport({0, 0, 32, 48});
    small.Clear(0xFF000000u, true, true);
    auto q = Quad(1, 1, 2, 2, 0xFFFFFFFFu);
    for (int i = 0; i < 20; ++i) small.Draw(PrimKind::TriangleList, false, q.data(), 6);
  }
  EXPECT_TRUE(small.Materialized());
  EXPECT_EQ(f2.made, 1);
  // Everything logged reached the real device, in order.
  ASSERT_NE(f2.last, nullptr);
  EXPECT_EQ(f2.last->calls.front().op, GpuOp::Create);

  // Releasing before anything was read forgets the log; with no device to make, reads fail and drawing goes on.
  DeferredGpu none([](std::shared_ptr<void>&) { return std::unique_ptr<IGpuDevice>(); }, 4096);
  ASSERT_TRUE(none.Create(64, 48, false, error));
  DrawFrame(none, 3, MakeSprite(none), kNoTexture);
  none.Release();
  EXPECT_EQ(none.LogEntries(), 0u);
  EXPECT_FALSE(none.Exists());
  ASSERT_TRUE(none.Create(64, 48, false, error));
  EXPECT_FALSE(none.Read(kBackBuffer, {0, 0, 4, 4}, px));
  DrawFrame(none, 4, MakeSprite(none), kNoTexture);
  EXPECT_TRUE(none.Exists());
}

// The pixels a deferred GL device reads are exactly those of a GL device made at start, whenever the first read
// happens: frames and surfaces drawn long before it, textures freed and made again, a new render size.
TEST(DeferredGpu, ReadsTheSamePixelsAsADeviceMadeAtStart) {
  UseHeadlessVideo();
  std::shared_ptr<IWindow> window = CreateSdlWindow("deferred", 64, 48);
  ASSERT_NE(window, nullptr);
  for (int firstRead : {0, 5, 40}) {
    auto direct = CreateGlDevice(window->SdlWindow());
    int made = 0;
    DeferredGpu deferred(
        [&](std::shared_ptr<void>&) -> std::unique_ptr<IGpuDevice> {
          ++made;
          return CreateGlDevice(window->SdlWindow());
        },
        direct->MaxTextureSize() > 0 ? 16384 : 0, size_t{64} << 20);
    std::string error;
    ASSERT_TRUE(direct->Create(64, 48, false, error)) << error;
    ASSERT_TRUE(deferred.Create(64, 48, false, error));
    IGpuDevice* devices[2] = {direct.get(), &deferred};
    TextureHandle sprite[2], surface[2];
    for (int k = 0; k < 2; ++k) {
      int gw = 0, gh = 0;
      sprite[k] = MakeSprite(*devices[k]);
      surface[k] = devices[k]->CreateTexture(32, 32, true, gw, gh);
      devices[k]->SetTarget(surface[k]);
      devices[k]->SetViewport({0, 0, 32, 32});
      devices[k]->Clear(0xFF102030u, true, false);
    }
    for (int f = 0; f <= 45; ++f) {
      for (int k = 0; k < 2; ++k) {
        if (f == 20) {  // a texture freed and another made; the frame grows
          devices[k]->FreeTexture(sprite[k]);
          sprite[k] = MakeSprite(*devices[k]);
          devices[k]->SetRenderSize(64, 64);
        }
        DrawFrame(*devices[k], f, sprite[k], surface[k]);
      }
      if (f < firstRead || f % 5 != 0) continue;
      for (TextureHandle which : {kBackBuffer, surface[0]}) {
        std::vector<uint32_t> a, b;
        ASSERT_TRUE(direct->Read(which, {0, 0, 32, 32}, a));
        ASSERT_TRUE(deferred.Read(which == kBackBuffer ? kBackBuffer : surface[1], {0, 0, 32, 32}, b));
        ASSERT_EQ(a, b) << "first read at frame " << firstRead << ", frame " << f;
      }
    }
    EXPECT_EQ(made, 1);
  }
}

}  // namespace kv::plat
