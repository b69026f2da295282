// The frame-rate overlay and the muted sound output: what the player sees and hears changes, what the game
// finds in its frame and its mixer does not.
#include <gtest/gtest.h>

#include <set>

#include "platform/recording/recording_gpu.h"
#include "runner/fps_overlay.h"
#include "runner/muted_audio.h"

namespace {

using kv::plat::GpuOp;

TEST(FpsOverlay, ImageShowsTheRateOnADarkBox) {
  const kv::CBitmap32 a = kv::FpsOverlayImage(60), b = kv::FpsOverlayImage(7), c = kv::FpsOverlayImage(1234);
  EXPECT_EQ(a.height, b.height);
  EXPECT_LT(b.width, a.width);  // one digit fewer
  EXPECT_LT(a.width, c.width);
  std::set<uint32_t> colours(a.pixels.begin(), a.pixels.end());
  EXPECT_EQ(colours, (std::set<uint32_t>{0xC0000000u, 0xFFFFFFFFu}));
  EXPECT_NE(kv::FpsOverlayImage(61), a);
  EXPECT_EQ(a.Pixel(0, 0), 0xC0000000u);  // the box's margin

  // Blended onto a white frame: the box darkens, the text stays white, nothing outside changes; clipped at
  // the frame's edges.
  kv::CBitmap32 frame = kv::CBitmap32::Make(40, 12, 0xFFFFFFFFu);
  kv::BlendOverlay(frame, a, 2, 2);
  EXPECT_EQ(frame.Pixel(1, 1), 0xFFFFFFFFu);
  EXPECT_EQ(frame.Pixel(2, 2), 0xFF3F3F3Fu);   // 3/4 black over white
  EXPECT_EQ(frame.Pixel(39, 3), 0xFF3F3F3Fu);
  bool text = false;
  for (int x = 2; x < 40; ++x) text = text || frame.Pixel(x, 6) == 0xFFFFFFFFu;
  EXPECT_TRUE(text);
}

// On a device: each present draws the overlay over the frame, shows it, puts back the pixels it covered and
// leaves target, viewport, transforms, states and texture as the game set them.
TEST(FpsOverlay, PresentDrawsAndPutsBackTheFrame) {
  auto recording = std::make_unique<kv::plat::RecordingGpu>();
  kv::plat::RecordingGpu& rec = *recording;
  rec.readValue = 0xFF336699u;
  int fps = 30;
  auto gpu = kv::WithFpsOverlay(std::move(recording), [&fps] { return fps; });
  std::string error;
  ASSERT_TRUE(gpu->Create(320, 240, false, error));
  int gw = 0, gh = 0;
  const kv::plat::TextureHandle gameTexture = gpu->CreateTexture(16, 16, false, gw, gh);
  kv::plat::RenderStates game;
  game.alphaBlend = false;
  game.linearFilter = true;
  game.fog = true;
  kv::plat::Matrix4 view = kv::plat::Matrix4::Identity();
  view.m[3][0] = 12;
  gpu->SetStates(game);
  gpu->SetViewport({10, 20, 100, 50});
  gpu->SetTransform(kv::plat::TransformKind::View, view);
  gpu->BindTexture(gameTexture);
  rec.ClearLog();

  for (int frame = 0; frame < 2; ++frame) {
    ASSERT_TRUE(gpu->Present({0, 0, 320, 240}, {0, 0, 640, 480}, 640, 480, 0, false));
    std::vector<GpuOp> ops;
    for (const auto& c : rec.calls)
      if (c.op == GpuOp::Read || c.op == GpuOp::Draw || c.op == GpuOp::Present || c.op == GpuOp::Upload)
        ops.push_back(c.op);
    // The first present uploads the overlay; the second has the same rate and only its restore pixels.
    const std::vector<GpuOp> expected =
        frame == 0 ? std::vector<GpuOp>{GpuOp::Read, GpuOp::Upload, GpuOp::Draw, GpuOp::Present, GpuOp::Upload,
                                        GpuOp::Draw}
                   : std::vector<GpuOp>{GpuOp::Read, GpuOp::Draw, GpuOp::Present, GpuOp::Upload, GpuOp::Draw};
    EXPECT_EQ(ops, expected) << "frame " << frame;
    const auto draws = rec.Draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_TRUE(draws[0].states.alphaBlend);    // the overlay blends over the frame
    EXPECT_FALSE(draws[1].states.alphaBlend);   // the saved pixels replace it exactly
    EXPECT_FALSE(draws[1].states.linearFilter);
    EXPECT_EQ(draws[0].target, kv::plat::kBackBuffer);
    EXPECT_EQ(draws[0].vertices[0].x, kv::kFpsOverlayX - 0.5f);
    // What was read is what was put back.
    for (const auto& c : rec.calls) {
      if (c.op != GpuOp::Upload || c.texture != draws[1].texture) continue;
      for (uint32_t p : c.pixels) EXPECT_EQ(p, 0xFF336699u);
    }
    EXPECT_EQ(rec.States(), game);
    EXPECT_EQ(rec.Viewport(), (kv::plat::IntRect{10, 20, 100, 50}));
    EXPECT_EQ(rec.Transform(kv::plat::TransformKind::View), view);
    EXPECT_EQ(rec.Bound(), gameTexture);
    EXPECT_EQ(rec.Target(), kv::plat::kBackBuffer);
    rec.ClearLog();
  }
  // A frame too small for the box: only the part inside is covered and put back.
  gpu->SetRenderSize(20, 8);
  ASSERT_TRUE(gpu->Present({0, 0, 20, 8}, {0, 0, 20, 8}, 20, 8, 0, false));
  for (const auto& c : rec.calls) {
    if (c.op != GpuOp::Read) continue;
    EXPECT_EQ(c.rect, (kv::plat::IntRect{2, 2, 18, 6}));
  }
}

// A stand-in output that renders into a buffer on Advance.
class BufferAudio final : public kv::plat::IAudioOut {
 public:
  std::vector<float> last;
  bool IsDevice() const override { return false; }
  void Start(kv::plat::AudioRender render) override { render_ = std::move(render); }
  void Stop() override {}
  void Lock() override {}
  void Unlock() override {}
  void Advance(int frames) override {
    last.assign(static_cast<size_t>(frames) * 2, 0.5f);
    render_(last.data(), frames);
  }

 private:
  kv::plat::AudioRender render_;
};

TEST(MutedAudio, TheMixRunsAndTheOutputIsSilent) {
  auto buffer = std::make_unique<BufferAudio>();
  BufferAudio& out = *buffer;
  auto muted = kv::MuteAudioOut(std::move(buffer));
  int mixed = 0;
  muted->Start([&mixed](float* stereo, int frames) {
    mixed += frames;
    for (int i = 0; i < 2 * frames; ++i) stereo[i] = 0.25f;
  });
  muted->Advance(100);
  EXPECT_EQ(mixed, 100);  // the sound system still advances
  ASSERT_EQ(out.last.size(), 200u);
  for (float s : out.last) EXPECT_EQ(s, 0.0f);
  EXPECT_FALSE(muted->IsDevice());
  EXPECT_EQ(kv::MuteAudioOut(nullptr), nullptr);
}

}  // namespace
