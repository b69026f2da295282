// Exact call streams of the drawing primitives, textured quads, surfaces and render states.
#include <cmath>

#include "graphics/gfx_fixture.h"
#include "graphics/graphics_support.h"

namespace kv::test {
namespace {

using plat::PrimKind;

struct XY {
  float x, y;
};
void ExpectCorners(const plat::GpuCall& c, std::initializer_list<XY> want) {
  ASSERT_EQ(c.vertices.size(), want.size());
  size_t i = 0;
  for (auto w : want) {
    EXPECT_NEAR(c.vertices[i].x, w.x, 1e-4) << "vertex " << i;
    EXPECT_NEAR(c.vertices[i].y, w.y, 1e-4) << "vertex " << i;
    ++i;
  }
}

class DrawTest : public RecordingGfxTest {};

TEST_F(DrawTest, RectangleRules) {
  struct Case {
    double x1, y1, x2, y2;
    bool outline;
    PrimKind kind;
    size_t n;
    float right, bottom;
  } cases[] = {
      {10, 10, 20, 20, false, PrimKind::TriangleFan, 4, 20.01f, 20.01f},
      {20, 20, 10, 10, false, PrimKind::TriangleFan, 4, 20.01f, 20.01f},  // ordered first
      {10, 10, 20.5, 30.25, false, PrimKind::TriangleFan, 4, 20.5f, 30.25f},
      {10, 10, 20, 20, true, PrimKind::LineStrip, 5, 20.01f, 20.01f},
  };
  for (const auto& c : cases) {
    gpu.ClearLog();
    gfx::Rectangle(c.x1, c.y1, c.x2, c.y2, c.outline);
    auto d = Draws();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].kind, c.kind);
    EXPECT_FALSE(d[0].textured);
    EXPECT_EQ(d[0].texture, plat::kNoTexture);
    ASSERT_EQ(d[0].vertices.size(), c.n);
    EXPECT_FLOAT_EQ(d[0].vertices[0].x, 10.0f);
    EXPECT_FLOAT_EQ(d[0].vertices[2].x, c.right);
    EXPECT_FLOAT_EQ(d[0].vertices[2].y, c.bottom);
    if (c.outline) {
      EXPECT_EQ(d[0].vertices[4], d[0].vertices[0]);
    }
  }
}

TEST_F(DrawTest, ColoursCarryDrawAlpha) {
  gfx::SetDrawColour(255);  // c_red
  gfx::SetDrawAlpha(0.5);
  gfx::RectangleColour(0, 0, 4, 4, 255, 65280, 16711680, 0, false);
  gfx::Point(1, 1);
  auto d = Draws();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].vertices[0].colour, 0x80FF0000u);
  EXPECT_EQ(d[0].vertices[1].colour, 0x8000FF00u);
  EXPECT_EQ(d[0].vertices[2].colour, 0x800000FFu);
  EXPECT_EQ(d[0].vertices[3].colour, 0x80000000u);
  EXPECT_EQ(d[1].vertices[0].colour, 0x80FF0000u);
  EXPECT_EQ(gfx::DrawColour(), 255);
  gfx::SetDrawAlpha(7.0);  // clamped
  EXPECT_EQ(gfx::DrawAlpha(), 1.0);
  gfx::SetDrawAlpha(std::nan(""));
  EXPECT_EQ(gfx::DrawAlpha(), 0.0);
}

TEST_F(DrawTest, CirclePrecisionAndShapes) {
  const std::pair<int, int> precision[] = {{30, 28}, {2, 4}, {100, 64}, {24, 24}, {-5, 4}};
  for (auto [in, out] : precision) {
    gfx::SetCirclePrecision(in);
    EXPECT_EQ(gfx::CirclePrecision(), out) << in;
  }
  gfx::SetCirclePrecision(8);
  gpu.ClearLog();
  gfx::Circle(50, 50, 10, false);
  gfx::Circle(50, 50, 10, true);
  gfx::CircleColour(50, 50, 10, 255, 65280, false);
  auto d = Draws();
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].kind, PrimKind::TriangleFan);
  ASSERT_EQ(d[0].vertices.size(), 10u);  // centre + p + 1 rim points
  EXPECT_FLOAT_EQ(d[0].vertices[0].x, 50);
  EXPECT_FLOAT_EQ(d[0].vertices[1].x, 60);
  EXPECT_NEAR(d[0].vertices[3].y, 60, 1e-4);  // i = 2 of 8: angle 90°, y grows downward
  EXPECT_EQ(d[1].kind, PrimKind::LineStrip);
  ASSERT_EQ(d[1].vertices.size(), 9u);   // p lines through 0 … p
  EXPECT_EQ(d[1].vertices[0], d[1].vertices[8]);
  EXPECT_EQ(d[2].vertices[0].colour, 0xFFFF0000u);  // centre c1
  EXPECT_EQ(d[2].vertices[5].colour, 0xFF00FF00u);  // rim c2

  gpu.ClearLog();
  gfx::RoundRectangle(0, 0, 40, 30, false);
  gfx::RoundRectangle(0, 0, 40, 30, true);
  d = Draws();
  ASSERT_EQ(d.size(), 2u);
  ASSERT_EQ(d[0].vertices.size(), 1u + 4 * 3 + 1);  // centre, four arcs of p/4 + 1, closing point
  EXPECT_EQ(plat::PrimitiveCount(d[0].kind, 14), 12);  // p + 4 triangles
  EXPECT_EQ(plat::PrimitiveCount(d[1].kind, 14), 13);  // p + 5 lines
  EXPECT_EQ(d[0].vertices[13], d[0].vertices[1]);
}

TEST_F(DrawTest, ZeroLengthLinesAndArrowsDrawNothing) {
  gfx::LineWidth(5, 5, 5, 5, 3);
  gfx::Arrow(5, 5, 5, 5, 3);
  EXPECT_TRUE(Draws().empty());
  gfx::LineWidth(0, 0, 10, 0, 4);
  auto d = Draws();
  ASSERT_EQ(d.size(), 1u);
  ExpectCorners(d[0], {{0, 2}, {10, 2}, {10, -2}, {0, -2}});
  gpu.ClearLog();
  gfx::Arrow(0, 0, 10, 0, 30);  // size limited to the length
  d = Draws();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].kind, PrimKind::LineList);
  ExpectCorners(d[1], {{0, 10.0f / 3}, {10, 0}, {0, -10.0f / 3}});
}

TEST_F(DrawTest, HealthBarColourAndDirection) {
  gfx::HealthBar(0, 0, 100, 10, 75, 0, 255, 16711680, 0, false, false);
  auto d = Draws();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_FLOAT_EQ(d[0].vertices[1].x, 75.01f);  // the rectangle's +0.01 rule
  // mid of red and blue is (128, 0, 128); halfway from mid to blue: red 64, blue 192 (ties to even).
  EXPECT_EQ(d[0].vertices[0].colour, 0xFF4000C0u);
  gpu.ClearLog();
  gfx::HealthBar(0, 0, 100, 10, 250, 0, 255, 255, 3, true, true);  // clamped to 100, grows from the bottom
  d = Draws();
  ASSERT_EQ(d.size(), 4u);
  EXPECT_FLOAT_EQ(d[2].vertices[0].y, 0.0f);
}

TEST_F(DrawTest, PrimitiveBuilder) {
  gfx::BeginPrimitive(4, -1);
  for (int i = 0; i < 7; ++i) gfx::Vertex(i, i);
  gfx::EndPrimitive();
  auto d = Draws();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].kind, PrimKind::TriangleList);
  EXPECT_EQ(plat::PrimitiveCount(d[0].kind, int(d[0].vertices.size())), 2);
  EXPECT_EQ(d[0].texture, plat::kNoTexture);

  gfx::BeginPrimitive(1, 12345);  // invalid texture: drawn untextured
  for (int i = 0; i < 1005; ++i) gfx::VertexTextureColour(i, 0, 0.5, 0.25, 65280, 0.5);
  EXPECT_EQ(gfx::PrimitiveVertexCount(), 1001);
  gpu.ClearLog();
  gfx::EndPrimitive();
  d = Draws();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].vertices.size(), 1001u);
  EXPECT_EQ(d[0].vertices[3].colour, 0x8000FF00u);
  EXPECT_FLOAT_EQ(d[0].vertices[3].u, 0.5f);
  EXPECT_EQ(d[0].texture, plat::kNoTexture);

  gpu.ClearLog();
  gfx::BeginPrimitive(7, -1);
  gfx::Vertex(0, 0);
  gfx::EndPrimitive();
  EXPECT_TRUE(Draws().empty());
}

TEST_F(DrawTest, TextureTableAndBorderCopy) {
  std::vector<uint32_t> px(30 * 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) px[y * 30 + x] = 0xFF000000u | (y << 8) | x;
  int a = gfx::TextureFromPixels(30, 20, px.data());
  ASSERT_EQ(a, 0);
  EXPECT_DOUBLE_EQ(gfx::TextureWidth(a), 0.9375);
  EXPECT_DOUBLE_EQ(gfx::TextureHeight(a), 0.625);
  EXPECT_DOUBLE_EQ(gfx::TextureWidth(99), 1.0);
  const plat::GpuCall* up = nullptr;
  for (auto& c : gpu.calls)
    if (c.op == plat::GpuOp::Upload) up = &c;
  ASSERT_TRUE(up);
  ASSERT_EQ(up->a, 31);
  ASSERT_EQ(up->b, 21);
  EXPECT_EQ(up->pixels[5 * 31 + 30], px[5 * 30 + 29]);   // last column repeated
  EXPECT_EQ(up->pixels[20 * 31 + 30], px[19 * 30 + 29]);  // corner from the widened last row
  EXPECT_EQ(up->pixels[20 * 31 + 4], px[19 * 30 + 4]);

  gpu.ClearLog();
  std::vector<uint32_t> square(32 * 32, 0xFFFFFFFFu);
  int b = gfx::TextureFromPixels(32, 32, square.data());
  EXPECT_EQ(b, 1);
  for (auto& c : gpu.calls) {
    if (c.op == plat::GpuOp::Upload) {
      EXPECT_EQ(c.a, 32);
    }
  }

  gfx::FreeTexture(a);
  EXPECT_FALSE(gfx::TextureExists(a));
  EXPECT_EQ(gfx::TextureFromAlpha(2, 1, std::vector<uint8_t>{0, 200}.data()), 0);  // lowest free slot reused
  gpu.failTextures = true;
  EXPECT_EQ(gfx::TextureFromPixels(4, 4, square.data()), -1);
  EXPECT_EQ(gfx::CreateTexture(0, 4, false), -1);
}

TEST_F(DrawTest, QuadsPlaceTexelCentresOnPixels) {
  std::vector<uint32_t> px(32 * 32, 0xFFFFFFFFu);
  int t = gfx::TextureFromPixels(30, 20, px.data());
  gpu.ClearLog();
  gfx::DrawTexture(t, 10, 5);
  auto d = Draws();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].kind, PrimKind::TriangleFan);
  EXPECT_TRUE(d[0].textured);
  EXPECT_FALSE(d[0].states.wrap);
  ExpectCorners(d[0], {{9.5f, 4.5f}, {39.5f, 4.5f}, {39.5f, 24.5f}, {9.5f, 24.5f}});
  EXPECT_FLOAT_EQ(d[0].vertices[2].u, 30.0f / 32);
  EXPECT_FLOAT_EQ(d[0].vertices[2].v, 20.0f / 32);
  EXPECT_EQ(d[0].vertices[0].colour, 0xFFFFFFFFu);
}

TEST_F(DrawTest, ExtRotatesCounterClockwiseAboutTheOrigin) {
  std::vector<uint32_t> px(32 * 32, 0xFFFFFFFFu);
  int t = gfx::TextureFromPixels(32, 32, px.data());
  gpu.ClearLog();
  gfx::DrawTextureExt(t, 255, 0.25, M_PI / 2, 1, 1, 100, 100, 16, 16);
  gfx::DrawTextureExt(t, 16777215, 1, 0.005, 2, 0.5, 100, 100, 16, 16);  // below 0.01: not rotated
  auto d = Draws();
  ASSERT_EQ(d.size(), 2u);
  // The top-left corner turns to the bottom-left on screen.
  ExpectCorners(d[0], {{83.5f, 116.5f}, {83.5f, 84.5f}, {115.5f, 84.5f}, {115.5f, 116.5f}});
  EXPECT_EQ(d[0].vertices[0].colour, 0x40FF0000u);
  ExpectCorners(d[1], {{67.5f, 91.5f}, {131.5f, 91.5f}, {131.5f, 107.5f}, {67.5f, 107.5f}});
}

TEST_F(DrawTest, PartAndGeneralUvs) {
  std::vector<uint32_t> px(64 * 64, 0xFFFFFFFFu);
  int t = gfx::TextureFromPixels(64, 64, px.data());
  gpu.ClearLog();
  gfx::DrawTextureGeneral(t, 255, 65280, 16711680, 0, 1, 0, 2, 2, 10, 10, 16, 8, 32, 16);
  auto d = Draws();
  ASSERT_EQ(d.size(), 1u);
  ExpectCorners(d[0], {{9.5f, 9.5f}, {73.5f, 9.5f}, {73.5f, 41.5f}, {9.5f, 41.5f}});
  EXPECT_FLOAT_EQ(d[0].vertices[0].u, 0.25f);
  EXPECT_FLOAT_EQ(d[0].vertices[0].v, 0.125f);
  EXPECT_FLOAT_EQ(d[0].vertices[2].u, 0.75f);
  EXPECT_FLOAT_EQ(d[0].vertices[2].v, 0.375f);
  EXPECT_EQ(d[0].vertices[1].colour, 0xFF00FF00u);
  EXPECT_EQ(d[0].vertices[3].colour, 0xFF000000u);
}

TEST_F(DrawTest, Tiling) {
  std::vector<uint32_t> px(32 * 32, 0xFFFFFFFFu);
  int t = gfx::TextureFromPixels(32, 32, px.data());
  struct Case {
    bool h, v;
    double x, regionLeft, regionWidth, xscale;
    std::vector<float> columns;
  } cases[] = {
      {true, false, 40, 0, 100, 1, {-24, 8, 40, 72}},
      {true, false, -70, 0, 64, 1, {-6, 26, 58}},
      {true, false, 40, 100, 40, 1, {72, 104, 136}},
      {false, false, 40, 0, 100, 1, {40}},
      {false, false, 140, 0, 100, 1, {}},
      {true, false, 0, 0, 10, 0.01, {}},  // tile narrower than a pixel
      {true, false, 1e12, 0, 40, 1, {-1, 31}},  // saturates to the int range
  };
  for (const auto& c : cases) {
    gpu.ClearLog();
    gfx::DrawTextureTiled(t, c.h, c.v, 1, 16777215, c.regionLeft, 0, c.regionWidth, 10, c.xscale, 1, c.x, 0, 0, 0);
    auto d = Draws();
    ASSERT_EQ(d.size(), c.columns.size()) << c.x;
    for (size_t i = 0; i < d.size(); ++i) EXPECT_FLOAT_EQ(d[i].vertices[0].x, c.columns[i] - 0.5f) << c.x;
  }
}

TEST_F(DrawTest, ProjectionsStayFinite) {
  auto proj = gpu.Transform(plat::TransformKind::Projection);
  gfx::SetProjection2D(0, 0, 0, 100, 0);
  gfx::SetProjection2D(0, 0, 100, 0, 0);
  gfx::SetProjection2D(0, 0, std::nan(""), 100, 0);
  EXPECT_EQ(gpu.Transform(plat::TransformKind::Projection), proj);
  gfx::SetViewport(0, 0, 0, 0);
  EXPECT_EQ(gpu.Viewport().w, 1);
  gfx::SetProjection2D(10, 20, 200, 100, 30);
  plat::Matrix4 m = plat::Multiply(gpu.Transform(plat::TransformKind::View), gpu.Transform(plat::TransformKind::Projection));
  for (auto& row : m.m)
    for (float v : row) EXPECT_TRUE(std::isfinite(v));
  // Unrotated: the room rectangle maps onto clip space with y downward.
  gfx::SetProjection2D(10, 20, 200, 100, 0);
  m = plat::Multiply(gpu.Transform(plat::TransformKind::View), gpu.Transform(plat::TransformKind::Projection));
  auto clip = [&](float x, float y) {
    float cx = x * m.m[0][0] + y * m.m[1][0] + m.m[3][0], cy = x * m.m[0][1] + y * m.m[1][1] + m.m[3][1];
    return std::pair{cx, cy};
  };
  EXPECT_NEAR(clip(10, 20).first, -1, 1e-5);
  EXPECT_NEAR(clip(10, 20).second, 1, 1e-5);
  EXPECT_NEAR(clip(210, 120).first, 1, 1e-5);
  EXPECT_NEAR(clip(210, 120).second, -1, 1e-5);
}

TEST_F(DrawTest, RenderStatesAndBlendModes) {
  struct Case {
    int mode;
    uint8_t src, dest;
  } cases[] = {{0, 5, 6}, {1, 5, 2}, {2, 5, 4}, {3, 1, 4}, {17, 5, 6}};
  for (auto c : cases) {
    gfx::SetBlendMode(c.mode);
    EXPECT_EQ(gpu.States().srcBlend, c.src) << c.mode;
    EXPECT_EQ(gpu.States().destBlend, c.dest) << c.mode;
  }
  // The repeat flag survives quads, which clamp on the device only.
  std::vector<uint32_t> px(4, 0xFFFFFFFFu);
  int t = gfx::TextureFromPixels(2, 2, px.data());
  gfx::SetTextureRepeat(true);
  EXPECT_TRUE(gpu.States().wrap);
  gfx::DrawTexture(t, 0, 0);
  EXPECT_FALSE(gpu.States().wrap);
  EXPECT_TRUE(gfx::D3D().textureRepeat);
  gfx::SetTextureBlending(false);
  gfx::SetInterpolation(false);
  gfx::SetShading(false);
  gfx::SetFog(true, 255, 10, 20);
  EXPECT_FALSE(gpu.States().modulate);
  EXPECT_FALSE(gpu.States().linearFilter);
  EXPECT_FALSE(gpu.States().gouraud);
  EXPECT_EQ(gpu.States().fogColour, 0xFFFF0000u);
  // A reset re-applies every flag, the repeat flag included.
  ASSERT_TRUE(gfx::ResetDevice());
  EXPECT_TRUE(gpu.States().wrap);
  EXPECT_FALSE(gpu.States().modulate);
  EXPECT_TRUE(gpu.States().fog);
}

TEST_F(DrawTest, DepthModeAndDepth) {
  gfx::SetDepth(500);
  EXPECT_EQ(gfx::D3D().depth, 0.0);
  ASSERT_TRUE(gfx::SetDepthMode(true));
  EXPECT_TRUE(gpu.States().depthTest);
  EXPECT_TRUE(gpu.States().alphaTest);
  gfx::SetDepth(20000);
  EXPECT_EQ(gfx::D3D().depth, 16000.0);
  gfx::Point(1, 1);
  EXPECT_FLOAT_EQ(Draws().back().vertices[0].z, 16000.0f);
  gfx::SetHidden(false);
  EXPECT_FALSE(gpu.States().depthTest);
  ASSERT_TRUE(gfx::SetDepthMode(false));
  EXPECT_EQ(gfx::D3D().depth, 0.0);
  EXPECT_FALSE(gpu.States().depthTest);
}

TEST_F(DrawTest, Surfaces) {
  gpu.maxTextureSize = 256;
  EXPECT_EQ(gfx::CreateSurface(0, 10), -1);
  EXPECT_EQ(gfx::CreateSurface(10, -3), -1);
  EXPECT_EQ(gfx::CreateSurface(257, 10), -1);
  int s0 = gfx::CreateSurface(100, 50), s1 = gfx::CreateSurface(20, 20);
  EXPECT_EQ(s0, 0);
  EXPECT_EQ(s1, 1);
  EXPECT_EQ(gfx::SurfaceWidth(s0), 100);
  EXPECT_EQ(gfx::SurfaceHeight(7), -1);
  gfx::FreeSurface(s0);
  EXPECT_EQ(gfx::CreateSurface(30, 30), 0);

  ASSERT_TRUE(gfx::SetTarget(0));
  EXPECT_EQ(gpu.Viewport(), (plat::IntRect{0, 0, 30, 30}));
  ASSERT_TRUE(gfx::SetTarget(1));  // switches directly
  EXPECT_EQ(gfx::CurrentTargetSurface(), 1);
  EXPECT_TRUE(gfx::ResetTarget());
  EXPECT_FALSE(gfx::ResetTarget());
  EXPECT_EQ(gpu.Target(), plat::kBackBuffer);
  EXPECT_EQ(gpu.Viewport(), (plat::IntRect{0, 0, 640, 480}));

  gpu.ClearLog();
  gfx::CopySurfacePart(0, -5, 0, 1, 0, 0, 20, 20);
  gfx::CopySurfacePart(0, 25, 25, 1, -3, 0, 20, 20);
  gfx::CopySurfacePart(0, 40, 0, 1, 0, 0, 20, 20);  // entirely outside: nothing
  std::vector<plat::GpuCall> copies;
  for (auto& c : gpu.calls)
    if (c.op == plat::GpuOp::Copy) copies.push_back(c);
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies[0].rect, (plat::IntRect{5, 0, 15, 20}));
  EXPECT_EQ(copies[0].a, 0);
  EXPECT_EQ(copies[1].rect, (plat::IntRect{0, 0, 2, 5}));
  EXPECT_EQ(copies[1].a, 28);

  EXPECT_FALSE(gfx::SurfaceReadBack(1, 20, 0, 5, 5).has_value());
  auto part = gfx::SurfaceReadBack(1, -4, 15, 100, 100);
  ASSERT_TRUE(part.has_value());
  EXPECT_EQ(part->width, 20);
  EXPECT_EQ(part->height, 5);

  // A reset frees every surface.
  ASSERT_TRUE(gfx::SetTarget(1));
  ASSERT_TRUE(gfx::ResetDevice());
  EXPECT_FALSE(gfx::SurfaceExists(0));
  EXPECT_FALSE(gfx::SurfaceExists(1));
  EXPECT_EQ(gfx::CurrentTargetSurface(), -1);
}

TEST_F(DrawTest, ReadBackClipsToTheFrame) {
  auto r = gfx::ReadBack(-10, 0, 50, 10);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->width, 50);
  EXPECT_EQ(gpu.calls.back().rect, (plat::IntRect{0, 0, 50, 10}));
  r = gfx::ReadBack(600, 470, 100, 100);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->width, 40);
  EXPECT_EQ(r->height, 10);
  EXPECT_FALSE(gfx::ReadBack(640, 0, 5, 5).has_value());
  gpu.readValue = 0xFF102030u;
  EXPECT_EQ(gfx::ReadPixel(3, 3), 0x302010);
}

TEST_F(DrawTest, RenderSizeIsClampedToTheDesktop) {
  gfx::SetRenderSize(4000, 300);
  EXPECT_EQ(gfx::D3D().renderWidth, 1024);
  EXPECT_EQ(gfx::D3D().renderHeight, 300);
  gfx::SetRenderSize(0, -5);
  EXPECT_EQ(gfx::D3D().renderWidth, 1);
}

}  // namespace
}  // namespace kv::test
