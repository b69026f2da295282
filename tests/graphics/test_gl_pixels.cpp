// Pixels from the GL device on llvmpipe: exact texel placement, golden scenes, and the as-if rule for batching
// and texture pages (frames bit-identical with each switched off).
#include <cmath>

#include "graphics/bitmap_ops.h"
#include "graphics/gfx_fixture.h"
#include "graphics/graphics_support.h"

namespace kv::test {
namespace {

class GlPixels : public ::testing::Test {
 protected:
  plat::IGlDevice* Start(plat::GlOptions o = {}, int w = 160, int h = 120) {
    auto* d = GlGfx::Start(o, w, h);
    EXPECT_NE(d, nullptr) << "no GL 3.3 context (SDL offscreen + Mesa llvmpipe)";
    return d;
  }
  void TearDown() override { GlGfx::Stop(); }
};

uint32_t Texel(int x, int y) {
  return 0xFF000000u | (uint32_t(x * 7 + 16) << 16) | (uint32_t(y * 5 + 32) << 8) | uint32_t((x ^ y) * 9 & 255);
}

TEST_F(GlPixels, SpritesAtIntegerPositionsLandOnExactTexels) {
  for (bool linear : {false, true}) {
    if (!Start()) return;
    gfx::SetInterpolation(linear);
    int t = PatternTexture(13, 11);  // padded to 16 × 16: the uvs stop inside the texture
    ASSERT_GE(t, 0);
    gfx::Clear(0);
    gfx::DrawTexture(t, 10, 20);
    gfx::DrawTextureExt(t, 16777215, 1, 0, 1, 1, 100, 60, 3, 4);
    CBitmap32 f = Frame();
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 13; ++x) {
        ASSERT_EQ(f.Pixel(10 + x, 20 + y), Texel(x, y)) << "linear " << linear << " at " << x << "," << y;
        ASSERT_EQ(f.Pixel(97 + x, 56 + y), Texel(x, y)) << "linear " << linear << " at " << x << "," << y;
      }
    EXPECT_EQ(f.Pixel(9, 20), 0xFF000000u);
    EXPECT_EQ(f.Pixel(23, 20), 0xFF000000u);
    EXPECT_EQ(f.Pixel(10, 31), 0xFF000000u);
  }
}

TEST_F(GlPixels, RectanglesCoverTheirPixels) {
  if (!Start()) return;
  gfx::Clear(0);
  gfx::SetDrawColour(0xFFFFFF);
  gfx::Rectangle(10, 10, 20, 20, false);  // covers 10 … 20 inclusive thanks to +0.01
  gfx::Rectangle(40, 10, 50, 20, true);
  CBitmap32 f = Frame();
  EXPECT_EQ(f.Pixel(10, 10), 0xFFFFFFFFu);
  EXPECT_EQ(f.Pixel(20, 20), 0xFFFFFFFFu);
  EXPECT_EQ(f.Pixel(21, 20), 0xFF000000u);
  EXPECT_EQ(f.Pixel(9, 10), 0xFF000000u);
  EXPECT_EQ(f.Pixel(40, 15), 0xFFFFFFFFu);
  EXPECT_EQ(f.Pixel(45, 15), 0xFF000000u);
  EXPECT_EQ(gfx::ReadPixel(15, 15), 0xFFFFFF);
}

// A scene touching every path that batching could change: overlapping alpha, blend modes, equal depths, flat
// fans and strips, line strips, a 1001-vertex primitive, rotated sprites from several textures, surfaces drawn
// after being targets, a surface drawn into itself, read-backs in the middle.
void BusyScene() {
  gfx::Clear(0x402010);
  int tex[5];
  for (int i = 0; i < 4; ++i) tex[i] = PatternTexture(8 + i * 8, 16);
  tex[4] = PatternTexture(100, 40);
  for (int i = 0; i < 60; ++i) {
    double a = i * 0.37;
    gfx::DrawTextureExt(tex[i % 5], 0xFFFFFF - i * 3000, 0.3 + (i % 7) * 0.1, a, 1 + (i % 3) * 0.25, 1, 20 + (i * 37) % 130,
                        15 + (i * 23) % 95, 8, 8);
  }
  gfx::SetBlendMode(1);
  gfx::SetDrawColour(0x3060C0);
  gfx::SetDrawAlpha(0.6);
  gfx::Circle(60, 60, 30, false);
  gfx::SetBlendMode(2);
  gfx::Ellipse(80, 20, 150, 70, false);
  gfx::SetBlendMode(3);
  gfx::Rectangle(5, 80, 70, 115, false);
  gfx::SetBlendMode(0);
  gfx::SetDrawAlpha(1);
  int mid = gfx::ReadPixel(60, 60);
  gfx::SetDrawColour(mid ^ 0xFFFFFF);
  gfx::SetShading(false);
  gfx::TriangleColour(100, 80, 150, 110, 90, 118, 255, 65280, 16711680, false);
  gfx::RoundRectangleColour(110, 5, 155, 40, 255, 16776960, false);
  gfx::SetShading(true);
  gfx::BeginPrimitive(5, -1);
  for (int i = 0; i < 1005; ++i) gfx::VertexColour(i % 160, (i % 2) * 6 + 100 + (i / 160), i * 2654435761u % 16777216, 0.5);
  gfx::EndPrimitive();
  gfx::BeginPrimitive(3, -1);
  for (int i = 0; i < 30; ++i) gfx::Vertex(5 + i * 5, 5 + (i % 4) * 7);
  gfx::EndPrimitive();
  gfx::BeginPrimitive(6, tex[1]);
  gfx::VertexTexture(30, 30, 0.5, 0.5);
  for (int i = 0; i <= 8; ++i) gfx::VertexTexture(30 + 20 * std::cos(i * M_PI / 4), 30 + 20 * std::sin(i * M_PI / 4), 0.5 + 0.5 * std::cos(i), 0.5);
  gfx::EndPrimitive();
  int s = gfx::CreateSurface(50, 40);
  gfx::SetTarget(s);
  gfx::ClearAlpha(0x00FF00, 0.5);
  gfx::DrawTextureExt(tex[2], 16777215, 0.8, 0.3, 1, 1, 25, 20, 12, 8);
  gfx::DrawTexture(gfx::SurfaceTexture(s), 3, 2);  // into itself: samples a copy
  gfx::SetDrawColour(255);
  gfx::Line(0, 0, 49, 39);
  gfx::ResetTarget();
  gfx::DrawTextureExt(gfx::SurfaceTexture(s), 16777215, 0.9, 0.5, 1.5, 1.5, 100, 70, 25, 20);
  gfx::Point(3, 3);
  gfx::DrawTextureTiled(tex[0], true, true, 0.5, 16777215, 0, 0, 160, 120, 1, 1, 7, 3, 0, 0);
}

TEST_F(GlPixels, BatchingAndTexturePagesKeepPixelsIdentical) {
  CBitmap32 reference;
  long referenceDraws = 0;
  const plat::GlOptions options[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  for (auto o : options) {
    auto* d = Start(o);
    if (!d) return;
    d->ResetCounters();
    BusyScene();
    CBitmap32 f = Frame();
    auto counters = d->Counters();
    if (reference.pixels.empty()) {
      reference = f;
      referenceDraws = counters.glDraws;
      EXPECT_EQ(counters.glDraws, counters.draws);
    } else {
      int differing = 0;
      for (size_t i = 0; i < f.pixels.size(); ++i) differing += f.pixels[i] != reference.pixels[i];
      EXPECT_EQ(differing, 0) << "batch " << o.batch << " atlas " << o.atlas;
      if (o.batch) {
        EXPECT_LT(counters.glDraws, referenceDraws / 2);
      }
    }
  }
  ExpectGolden("busy_scene", reference);
}

TEST_F(GlPixels, SurfaceCopiesThroughOverlap) {
  if (!Start()) return;
  int s = gfx::CreateSurface(32, 8);
  int t = PatternTexture(32, 8);
  gfx::SetTarget(s);
  gfx::DrawTexture(t, 0, 0);
  gfx::ResetTarget();
  gfx::CopySurfacePart(s, 4, 0, s, 0, 0, 20, 8);  // overlapping: reads the source before writing
  auto b = gfx::SurfaceReadBack(s, 0, 0, 32, 8);
  ASSERT_TRUE(b.has_value());
  for (int x = 0; x < 20; ++x) EXPECT_EQ(b->pixels[3 * 32 + 4 + x], Texel(x, 3)) << x;
  EXPECT_EQ(b->pixels[3 * 32 + 2], Texel(2, 3));
  EXPECT_EQ(gfx::SurfacePixel(s, 24, 0), gfx::ScriptColour(Texel(24, 0)));
  EXPECT_EQ(gfx::SurfacePixel(s, 23, 0), gfx::ScriptColour(Texel(19, 0)));
}

TEST_F(GlPixels, SurfaceDrawnIntoItselfSamplesACopy) {
  if (!Start()) return;
  int s = gfx::CreateSurface(16, 4);
  int t = PatternTexture(16, 4);
  gfx::SetTarget(s);
  gfx::SetBlendFactors(2, 1);  // one, zero: plain copy
  gfx::DrawTexture(t, 0, 0);
  gfx::DrawTexturePart(gfx::SurfaceTexture(s), 16777215, 1, 0, 1, 1, 1, 0, 0, 0, 15, 4);
  gfx::ResetTarget();
  auto b = gfx::SurfaceReadBack(s, 0, 0, 16, 4);
  ASSERT_TRUE(b.has_value());
  for (int x = 1; x < 16; ++x) EXPECT_EQ(b->pixels[16 + x], Texel(x - 1, 1)) << x;
}

TEST_F(GlPixels, FlatShadingTakesTheFirstVertexOfEachTriangle) {
  if (!Start()) return;
  gfx::Clear(0);
  gfx::SetShading(false);
  gfx::BeginPrimitive(6, -1);  // fan: triangle i is coloured by vertex i + 1
  gfx::VertexColour(80, 60, 255, 1);
  gfx::VertexColour(20, 10, 65280, 1);
  gfx::VertexColour(140, 10, 16711680, 1);
  gfx::VertexColour(140, 110, 16777215, 1);
  gfx::EndPrimitive();
  gfx::LineColour(10, 115, 150, 115, 16776960, 255);  // flat lines take their first vertex's colour too
  CBitmap32 f = Frame();
  EXPECT_EQ(f.Pixel(80, 20), 0xFF00FF00u);
  EXPECT_EQ(f.Pixel(130, 60), 0xFF0000FFu);
  EXPECT_EQ(f.Pixel(140, 115), 0xFF00FFFFu);
}

TEST_F(GlPixels, GoldenPrimitivesAndBlends) {
  if (!Start()) return;
  gfx::Clear(0x202020);
  gfx::SetDrawColour(0x00C0FF);
  gfx::Triangle(5, 5, 60, 10, 20, 50, false);
  gfx::TriangleColour(70, 5, 150, 15, 100, 55, 255, 65280, 16711680, false);
  gfx::SetDrawAlpha(0.5);
  gfx::CircleColour(40, 80, 25, 0xFFFFFF, 0x0000FF, false);
  gfx::SetDrawAlpha(1);
  gfx::SetDrawColour(0xFFFF00);
  gfx::Circle(110, 85, 20, true);
  gfx::LineWidthColour(60, 110, 150, 60, 5, 255, 16711680);
  gfx::Arrow(5, 115, 60, 100, 10);
  gfx::Button(120, 100, 155, 118, true);
  gfx::HealthBar(5, 60, 60, 66, 60, 0x404040, 255, 65280, 0, true, true);
  int t = PatternTexture(24, 24);
  gfx::SetInterpolation(true);
  gfx::DrawTextureExt(t, 16777215, 0.75, M_PI / 6, 1.5, 1.5, 120, 40, 12, 12);
  ExpectGolden("primitives", Frame());
}

TEST_F(GlPixels, ScreenSavePngRoundTrip) {
  if (!Start()) return;
  gfx::Clear(0x00FF00);
  gfx::SetDrawColour(255);
  gfx::Rectangle(0, 0, 9, 9, false);
  CBitmap32 f = Frame();
  auto png = gfx::EncodePng(f);
  auto back = gfx::DecodePng(png.data(), png.size());
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, f);
  EXPECT_EQ(back->Pixel(5, 5), 0xFFFF0000u);
  EXPECT_EQ(back->Pixel(50, 50), 0xFF00FF00u);
}

TEST_F(GlPixels, PresentWithMarginsAndResetKeepTextures) {
  if (!Start()) return;
  int t = PatternTexture(8, 8);
  gfx::Win().regionScale = -1;
  gfx::Win().clientWidth = 400;
  gfx::Win().clientHeight = 200;
  gfx::Win().colour = 0x0000FF;
  EXPECT_TRUE(gfx::EndSceneAndPresent());
  ASSERT_TRUE(gfx::ResetDevice());
  gfx::Clear(0);
  gfx::DrawTexture(t, 0, 0);
  EXPECT_EQ(Frame().Pixel(3, 3), Texel(3, 3));
}

}  // namespace
}  // namespace kv::test
