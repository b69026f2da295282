#include "graphics/gfx_fixture.h"

#include <cstdlib>
#include <filesystem>

#include "graphics/bitmap_ops.h"
#include "graphics/graphics_3d.h"
#include "platform/sdl/sdl_window.h"

namespace kv::test {

void ResetGraphicsGlobals() {
  gfx::ReleaseDevice();
  gfx::D3D() = gfx::DeviceState{};
  gfx::Win() = gfx::WindowState{};
  gfx::ResetDrawState();
  gfx::Reset3D();
  gfx::ClearViewMappings();
}

void RecordingGfxTest::SetUp() {
  ResetGraphicsGlobals();
  gfx::AttachGpu(&gpu, 1024, 768);
  std::string failure;
  ASSERT_TRUE(gfx::CreateDevice(640, 480, false, failure)) << failure;
  gpu.ClearLog();
}

void RecordingGfxTest::TearDown() {
  ResetGraphicsGlobals();
  gfx::AttachGpu(nullptr, 1024, 768);
}

namespace {
std::unique_ptr<plat::IWindow>& Window() {
  static std::unique_ptr<plat::IWindow> w;
  return w;
}
std::unique_ptr<plat::IGlDevice>& Device() {
  static std::unique_ptr<plat::IGlDevice> d;
  return d;
}
}  // namespace

bool GlGfx::Available() {
  if (!Window()) {
    plat::UseHeadlessVideo();
    Window() = plat::CreateSdlWindow("kvtests", 320, 240);
  }
  return Window() != nullptr;
}

plat::IGlDevice* GlGfx::Start(plat::GlOptions options, int width, int height) {
  Stop();
  if (!Available()) return nullptr;
  Device() = plat::CreateGlDevice(Window()->SdlWindow(), options);
  gfx::AttachGpu(Device().get(), 1024, 768);
  gfx::Win().clientWidth = width;
  gfx::Win().clientHeight = height;
  gfx::Win().regionWidth = width;
  gfx::Win().regionHeight = height;
  std::string failure;
  if (!gfx::CreateDevice(width, height, false, failure)) {
    ADD_FAILURE() << failure;
    return nullptr;
  }
  return Device().get();
}

void GlGfx::Stop() {
  ResetGraphicsGlobals();
  gfx::AttachGpu(nullptr, 1024, 768);
  Device().reset();
}

CBitmap32 Frame() {
  auto& d = gfx::D3D();
  auto block = gfx::ReadBack(0, 0, d.renderWidth, d.renderHeight);
  CBitmap32 b;
  if (!block) return b;
  b = CBitmap32::Make(block->width, block->height);
  b.pixels = block->pixels;
  return b;
}

void ExpectGolden(const std::string& name, const CBitmap32& image) {
  std::string path = std::string(KV_SOURCE_DIR) + "/tests/golden/" + name + ".png";
  const char* update = std::getenv("UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    ASSERT_TRUE(gfx::SavePng(image, path)) << path;
    return;
  }
  auto golden = gfx::LoadImageFile(path);
  ASSERT_TRUE(golden.has_value()) << "missing golden " << path << " (UPDATE_GOLDEN=1 writes it)";
  ASSERT_EQ(golden->width, image.width);
  ASSERT_EQ(golden->height, image.height);
  CBitmap32 diff = CBitmap32::Make(image.width, image.height, 0xFF000000u);
  int bad = 0, worst = 0;
  for (size_t i = 0; i < image.pixels.size(); ++i) {
    uint32_t a = image.pixels[i], b = golden->pixels[i];
    int d = 0;
    for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(int((a >> s) & 255) - int((b >> s) & 255)));
    worst = std::max(worst, d);
    if (d > 2) {
      ++bad;
      diff.pixels[i] = 0xFFFF0000u;
    }
  }
  if (bad) {
    std::string out = (std::filesystem::temp_directory_path() / (name + ".diff.png")).string();
    gfx::SavePng(diff, out);
    gfx::SavePng(image, (std::filesystem::temp_directory_path() / (name + ".actual.png")).string());
    ADD_FAILURE() << name << ": " << bad << " pixels differ by more than 2 (worst " << worst << "); diff in " << out;
  }
}

int PatternTexture(int w, int h) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[y * w + x] = 0xFF000000u | (uint32_t(x * 7 + 16) << 16) | (uint32_t(y * 5 + 32) << 8) | uint32_t((x ^ y) * 9 & 255);
  return gfx::TextureFromPixels(w, h, px.data());
}

}  // namespace kv::test
