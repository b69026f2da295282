// Test harnesses for the graphics modules: a recording device (exact call streams) and a headless GL device
// on llvmpipe (pixels), with golden-image comparison.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/bitmap32.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_surface.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"
#include "platform/gl/gl_device.h"
#include "platform/recording/recording_gpu.h"
#include "platform/window.h"

namespace kv::test {

void ResetGraphicsGlobals();

class RecordingGfxTest : public ::testing::Test {
 protected:
  plat::RecordingGpu gpu;
  void SetUp() override;
  void TearDown() override;
  std::vector<plat::GpuCall> Draws() const { return gpu.Draws(); }
};

// One offscreen window per process; each Start makes a fresh GL device with the given options.
class GlGfx {
 public:
  static bool Available();  // false when no GL 3.3 context can be made (the test then fails loudly)
  static plat::IGlDevice* Start(plat::GlOptions options, int width = 160, int height = 120);
  static void Stop();
};

// Reads the whole frame as a bitmap.
CBitmap32 Frame();
// Compares with tests/golden/<name>.png (≤ 2 per channel); UPDATE_GOLDEN=1 rewrites the file.
void ExpectGolden(const std::string& name, const CBitmap32& image);
// Solid-coloured test texture with a distinct colour per texel (for exact-placement checks).
int PatternTexture(int w, int h);

}  // namespace kv::test
