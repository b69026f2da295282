// 3D drawing: exact vertex streams through the recording device (builder, shapes, transform stack, projections,
// lights) and pixels on llvmpipe against goldens (lighting, fog, texture repeats, projections, culling, models,
// and 2D drawing after 3D mode is switched off).
#include <cmath>
#include <filesystem>

#include "graphics/gfx_fixture.h"
#include "graphics/graphics_3d.h"
#include "graphics/graphics_3d_model.h"
#include "graphics/graphics_support.h"

namespace kv::test {
namespace {

using plat::GpuCall;
using plat::GpuOp;

// A point through a row-vector matrix.
std::array<float, 3> Through(const plat::Matrix4& m, float x, float y, float z) {
  std::array<float, 3> r{};
  for (int c = 0; c < 3; ++c) r[c] = x * m.m[0][c] + y * m.m[1][c] + z * m.m[2][c] + m.m[3][c];
  return r;
}

class Recording3D : public RecordingGfxTest {
 protected:
  void SetUp() override {
    RecordingGfxTest::SetUp();
    gfx::Reset3D();
  }
};

TEST_F(Recording3D, BuilderFixesColoursKeepsItsListAndIgnoresExtraVertices) {
  gfx::SetDrawColour(0x0000FF);
  gfx::BeginPrimitive3D(4, -1);
  gfx::Vertex3D(1, 2, 3, 0, 0, 0, 0, 0);
  gfx::SetDrawColour(0x00FF00);  // the first vertex keeps red
  gfx::Vertex3D(4, 5, 6, 0, 0, 1, 0.5, 0.25);
  gfx::Vertex3D(7, 8, 9, 0, 0, 0, 0, 0, 0xFF0000, 0.5);
  gfx::EndPrimitive3D();
  gfx::EndPrimitive3D();  // the list stays: the same triangle again
  auto d = Draws();
  ASSERT_EQ(d.size(), 2u);
  ASSERT_EQ(d[0].vertices3d.size(), 3u);
  EXPECT_EQ(d[0].vertices3d[0].colour, 0xFFFF0000u);
  EXPECT_EQ(d[0].vertices3d[1].colour, 0xFF00FF00u);
  EXPECT_EQ(d[0].vertices3d[2].colour, gfx::DeviceColour(0xFF0000, 0.5));
  EXPECT_EQ(d[0].vertices3d[1].nz, 1.0f);
  EXPECT_EQ(d[0].vertices3d[1].u, 0.5f);
  EXPECT_EQ(d[0].kind, plat::PrimKind::TriangleList);
  EXPECT_EQ(d[1].vertices3d, d[0].vertices3d);

  gfx::BeginPrimitive3D(1, -1);
  for (int i = 0; i < 1100; ++i) gfx::Vertex3D(i, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(gfx::PrimitiveVertexCount3D(), 1001);
  gpu.ClearLog();
  gfx::BeginPrimitive3D(7, -1);  // no such kind
  gfx::Vertex3D(0, 0, 0, 0, 0, 0, 0, 0);
  gfx::EndPrimitive3D();
  gfx::BeginPrimitive3D(4, -1);  // too few vertices for one triangle
  gfx::Vertex3D(0, 0, 0, 0, 0, 0, 0, 0);
  gfx::EndPrimitive3D();
  EXPECT_TRUE(Draws().empty());
}

TEST_F(Recording3D, ShapesBuildTheirFacesAndRestoreTheRepeatFlag) {
  gfx::SetTextureRepeat(false);
  gfx::DrawBlock(0, 0, 0, 10, 20, 30, -1, 2, 3);
  auto d = Draws();
  ASSERT_EQ(d.size(), 6u);
  for (const auto& c : d) {
    EXPECT_EQ(c.kind, plat::PrimKind::TriangleFan);
    EXPECT_TRUE(c.states.wrap);
    ASSERT_EQ(c.vertices3d.size(), 4u);
  }
  EXPECT_EQ(d[0].vertices3d[2].x, 10.0f);
  EXPECT_EQ(d[0].vertices3d[2].u, 2.0f);
  EXPECT_EQ(d[0].vertices3d[2].v, 3.0f);
  EXPECT_EQ(d[3].vertices3d[0].nx, 1.0f);
  EXPECT_FALSE(gfx::D3D().textureRepeat);

  gpu.ClearLog();
  gfx::DrawCylinder(0, 0, 0, 10, 10, 10, -1, 1, 1, true, 2);  // 3 segments
  d = Draws();
  ASSERT_EQ(d.size(), 3u);
  EXPECT_EQ(d[0].vertices3d.size(), 5u);  // centre + 4 rim points
  EXPECT_EQ(d[1].vertices3d.size(), 8u);
  EXPECT_EQ(d[0].vertices3d[1].v, 1.0f);  // the top cap's uvs are (0, vr)
  gpu.ClearLog();
  gfx::DrawCylinder(0, 0, 0, 10, 10, 10, -1, 1, 1, false, 500);  // 128 segments, no caps
  d = Draws();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].vertices3d.size(), 258u);
  gpu.ClearLog();
  gfx::DrawCone(0, 0, 0, 10, 10, 10, -1, 1, 1, false, 8);
  EXPECT_EQ(Draws().size(), 1u);
  for (int steps : {3, 4, 5}) {
    gpu.ClearLog();
    gfx::DrawEllipsoid(0, 0, 0, 10, 10, 10, -1, 1, 1, steps);
    d = Draws();
    ASSERT_EQ(d.size(), steps == 5 ? 3u : 2u);
    EXPECT_FLOAT_EQ(d.front().vertices3d[0].z, 10.0f);
    EXPECT_NEAR(d.back().vertices3d.back().z, 0.0f, 1e-5);
  }
  gpu.ClearLog();
  gfx::DrawWall(5, 5, 0, 5, 5, 100, -1, 1, 1);
  EXPECT_TRUE(Draws().empty());
  gfx::DrawWall(0, 0, 0, 10, 0, 5, -1, 1, 1);
  d = Draws();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].vertices3d[0].ny, -1.0f);
  gpu.ClearLog();
  gfx::DrawFloor(0, 0, 0, 10, 10, 5, -1, 1, 1);
  d = Draws();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].vertices3d[2].z, 5.0f);
  EXPECT_EQ(d[0].vertices3d[2].nz, 1.0f);
}

TEST_F(Recording3D, TransformsAndTheirStackPlaceVerticesWhereExpected) {
  auto place = [&](float x, float y, float z) {
    gpu.ClearLog();
    gfx::BeginPrimitive3D(1, -1);
    gfx::Vertex3D(x, y, z, 0, 0, 0, 0, 0);
    gfx::EndPrimitive3D();
    auto d = Draws();
    EXPECT_EQ(d.size(), 1u);
    return Through(d.at(0).matrix, d[0].vertices3d[0].x, d[0].vertices3d[0].y, d[0].vertices3d[0].z);
  };
  auto near = [](std::array<float, 3> p, float x, float y, float z) {
    EXPECT_NEAR(p[0], x, 1e-3);
    EXPECT_NEAR(p[1], y, 1e-3);
    EXPECT_NEAR(p[2], z, 1e-3);
  };
  // Rotate first, then move: a game angle of 90 turns x towards −y (y grows downwards on screen).
  gfx::SetWorldTransform(gfx::MatrixRotationZ(90));
  gfx::AddWorldTransform(gfx::MatrixTranslation(100, 0, 0));
  near(place(10, 0, 0), 100, -10, 0);
  EXPECT_TRUE(gfx::TransformStackPush());
  gfx::SetWorldTransform(gfx::MatrixScaling(2, 3, 4));
  near(place(1, 1, 1), 2, 3, 4);
  EXPECT_TRUE(gfx::TransformStackTop());
  near(place(10, 0, 0), 100, -10, 0);
  gfx::SetWorldTransform(plat::Matrix4::Identity());
  EXPECT_TRUE(gfx::TransformStackPop());
  near(place(10, 0, 0), 100, -10, 0);
  EXPECT_TRUE(gfx::TransformStackEmpty());
  EXPECT_FALSE(gfx::TransformStackPop());
  EXPECT_FALSE(gfx::TransformStackTop());
  EXPECT_FALSE(gfx::TransformStackDiscard());
  near(place(10, 0, 0), 100, -10, 0);  // a failed top leaves the world alone
  gfx::SetWorldTransform(gfx::MatrixRotationAxis(0, 0, 5, 90));
  near(place(10, 0, 0), 0, -10, 0);  // same as about z
  gfx::SetWorldTransform(gfx::MatrixRotationX(90));
  near(place(0, 10, 0), 0, 0, -10);
  gfx::SetWorldTransform(gfx::MatrixRotationY(90));
  near(place(0, 0, 10), -10, 0, 0);

  for (int i = 0; i < 1001; ++i) ASSERT_TRUE(gfx::TransformStackPush()) << i;
  EXPECT_FALSE(gfx::TransformStackPush());
  EXPECT_TRUE(gfx::TransformStackDiscard());
  gfx::TransformStackClear();
  EXPECT_TRUE(gfx::TransformStackEmpty());
}

TEST_F(Recording3D, DegenerateProjectionsKeepThePreviousOne) {
  double from[3] = {0, 0, -100}, to[3] = {0, 0, 0}, up[3] = {0, 1, 0};
  gfx::SetProjectionExt(from, to, up, 60, 4.0 / 3.0, 1, 1000);
  const plat::Matrix4 view = gpu.Transform(plat::TransformKind::View);
  const plat::Matrix4 proj = gpu.Transform(plat::TransformKind::Projection);
  EXPECT_FLOAT_EQ(proj.m[1][1], static_cast<float>(1.0 / std::tan(M_PI / 6)));
  EXPECT_FLOAT_EQ(proj.m[0][0], static_cast<float>(0.75 / std::tan(M_PI / 6)));
  gfx::SetProjectionExt(from, to, up, 60, 0, 1, 1000);
  gfx::SetProjectionExt(from, to, up, 60, 1, 0, 1000);
  gfx::SetProjectionExt(from, to, up, 60, 1, -5, 1000);
  gfx::SetProjectionExt(from, to, up, 60, 1, 10, 10);
  gfx::SetProjectionOrtho(0, 0, 0, 100, 0);
  gfx::SetProjectionPerspective(0, 0, 100, 0, 0);
  gfx::SetProjectionLookAt(from, from, up);  // eye on the target
  double along[3] = {0, 0, 1};
  gfx::SetProjectionLookAt(from, to, along);  // up along the view
  EXPECT_EQ(gpu.Transform(plat::TransformKind::View), view);
  EXPECT_EQ(gpu.Transform(plat::TransformKind::Projection), proj);
  gfx::SetProjectionOrtho(0, 0, 160, 120, 0);
  EXPECT_FALSE(gpu.Transform(plat::TransformKind::Projection) == proj);
}

TEST_F(Recording3D, LightsAreFilledAsTheDeviceExpects) {
  gfx::DefineDirectionalLight(2, 1, 0, 0, 0x0080FF);
  gfx::DefinePointLight(3, 10, 20, 30, 200, 0xFFFFFF);
  gfx::DefinePointLight(4, 0, 0, 0, 0, 0xFFFFFF);
  gfx::EnableLight(3, true);
  std::vector<GpuCall> lights;
  for (const auto& c : gpu.calls)
    if (c.op == GpuOp::SetLight || c.op == GpuOp::EnableLight) lights.push_back(c);
  ASSERT_EQ(lights.size(), 4u);
  EXPECT_EQ(lights[0].a, 2);
  EXPECT_EQ(lights[0].light.type, plat::Light::Directional);
  EXPECT_FLOAT_EQ(lights[0].light.r, 1.0f);
  EXPECT_FLOAT_EQ(lights[0].light.g, 128 / 255.0f);
  EXPECT_FLOAT_EQ(lights[0].light.b, 0.0f);
  EXPECT_EQ(lights[1].light.type, plat::Light::Point);
  EXPECT_FLOAT_EQ(lights[1].light.attenuation0, 1.0f);
  EXPECT_FLOAT_EQ(lights[1].light.attenuation1, 4.0f / 200);
  EXPECT_FLOAT_EQ(lights[1].light.range, 200.0f);
  EXPECT_FLOAT_EQ(lights[2].light.attenuation1, 0.0f);
  EXPECT_EQ(lights[3].op, GpuOp::EnableLight);
  EXPECT_EQ(lights[3].b, 1);
}

TEST_F(Recording3D, ModelsReplayWithTheirOffsetAndTexture) {
  gfx::C3D_Model m;
  m.Add(0, {4});
  m.Add(2, {10, 20, 5});
  m.Add(3, {0, 0, 0, 0xFF, 1});
  m.Add(2, {1, 1, 1});
  m.Add(1, {});
  m.Add(11, {0, 0, 0, 10, 10, 10, 1, 2, 1, 12});
  m.Add(99, {1, 2, 3});  // unknown types are skipped
  m.Draw(100, 200, 50, -1);
  auto d = Draws();
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0].vertices3d[0].x, 110.0f);
  EXPECT_EQ(d[0].vertices3d[0].y, 220.0f);
  EXPECT_EQ(d[0].vertices3d[0].z, 55.0f);
  EXPECT_EQ(d[0].vertices3d[1].colour, 0xFFFF0000u);
  auto fromModel = std::vector<GpuCall>(d.begin() + 1, d.end());
  gpu.ClearLog();
  gfx::DrawCylinder(100, 200, 50, 110, 210, 60, -1, 1, 2, true, 12);
  auto direct = Draws();
  ASSERT_EQ(direct.size(), fromModel.size());
  for (size_t i = 0; i < direct.size(); ++i) EXPECT_EQ(direct[i].vertices3d, fromModel[i].vertices3d);
}

// ---- pixels ----

class Gl3D : public ::testing::Test {
 protected:
  bool Start() {
    gfx::Reset3D();
    auto* d = GlGfx::Start({}, 160, 120);
    EXPECT_NE(d, nullptr) << "no GL 3.3 context (SDL offscreen + Mesa llvmpipe)";
    if (!d) return false;
    EXPECT_TRUE(gfx::SetDepthMode(true));
    gfx::SetProjection2D(0, 0, 160, 120, 0);
    gfx::ClearTarget(0x000000, 1);
    return true;
  }
  void Camera() {
    double from[3] = {-60, -90, -80}, to[3] = {0, 0, 0}, up[3] = {0, 0, -1};
    gfx::SetProjectionExt(from, to, up, 60, 160.0 / 120.0, 1, 1000);
  }
  void TearDown() override {
    gfx::Reset3D();
    GlGfx::Stop();
  }
};

TEST_F(Gl3D, GoldenLitCubeWithDirectionalAndPointLights) {
  if (!Start()) return;
  Camera();
  gfx::SetLighting(true);
  gfx::DefineDirectionalLight(0, 1, 1, 1, 0x6060FF);
  gfx::DefinePointLight(1, -60, -30, -30, 200, 0x20FF20);
  gfx::EnableLight(0, true);
  gfx::EnableLight(1, true);
  gfx::SetDrawColour(0xFFFFFF);
  gfx::DrawBlock(-20, -20, -20, 20, 20, 20, -1, 1, 1);
  CBitmap32 f = Frame();
  EXPECT_NE(f.Pixel(80, 60), 0xFF000000u);
  ExpectGolden("d3d_lit_cube", f);
  // Without lights the same cube is black but for the clear colour around it.
  gfx::EnableLight(0, false);
  gfx::EnableLight(1, false);
  gfx::ClearTarget(0x000000, 1);
  gfx::DrawBlock(-20, -20, -20, 20, 20, 20, -1, 1, 1);
  EXPECT_EQ(Frame().Pixel(80, 60), 0xFF000000u);
  // A light enabled without a definition is white and shines along +z, onto the face towards the camera.
  gfx::EnableLight(7, true);
  gfx::ClearTarget(0x000000, 1);
  gfx::DrawBlock(-20, -20, -20, 20, 20, 20, -1, 1, 1);
  CBitmap32 white = Frame();
  int lit = 0;
  for (uint32_t p : white.pixels) lit += p == 0xFFFFFFFFu;
  EXPECT_GT(lit, 100);
}

TEST_F(Gl3D, MoreThanEightEnabledLightsUseTheEightLowestIndices) {
  if (!Start()) return;
  Camera();
  gfx::SetLighting(true);
  gfx::SetDrawColour(0xFFFFFF);
  for (int i = 0; i < 8; ++i) gfx::DefineDirectionalLight(i, 1, 1, 1, 0);  // black lights
  gfx::DefineDirectionalLight(8, 1, 1, 1, 0xFFFFFF);
  gfx::DefineDirectionalLight(9, 1, 1, 1, 0xFFFFFF);
  for (int i = 9; i >= 0; --i) gfx::EnableLight(i, true);  // enabling order does not matter
  gfx::DrawBlock(-20, -20, -20, 20, 20, 20, -1, 1, 1);
  EXPECT_EQ(Frame().Pixel(80, 60), 0xFF000000u);
  gfx::EnableLight(3, false);  // light 8 moves up among the first eight
  gfx::ClearTarget(0, 1);
  gfx::DrawBlock(-20, -20, -20, 20, 20, 20, -1, 1, 1);
  uint32_t lit = Frame().Pixel(80, 60);
  EXPECT_NE(lit, 0xFF000000u);
  gfx::EnableLight(5, false);  // lights 8 and 9 both: twice as bright where one did not saturate
  gfx::ClearTarget(0, 1);
  gfx::DrawBlock(-20, -20, -20, 20, 20, 20, -1, 1, 1);
  EXPECT_GT(Frame().Pixel(80, 60) & 0xFF, lit & 0xFF);
}

TEST_F(Gl3D, GoldenFogOverAFloorAndATexturedWallWithRepeats) {
  if (!Start()) return;
  double from[3] = {0, -200, -40}, to[3] = {0, 0, 0}, up[3] = {0, 0, -1};
  gfx::SetProjectionExt(from, to, up, 60, 160.0 / 120.0, 1, 2000);
  gfx::SetFog(true, 0x808080, 100, 400);
  gfx::SetDrawColour(0x20A040);
  gfx::DrawFloor(-300, -300, 0, 300, 600, 0, -1, 1, 1);
  CBitmap32 fogged = Frame();
  EXPECT_GT(fogged.Pixel(80, 60) & 0xFF, fogged.Pixel(80, 110) & 0xFF);  // far away greyer than near
  ExpectGolden("d3d_fog_floor", fogged);

  gfx::SetFog(false, 0, 0, 1);
  gfx::ClearTarget(0, 1);
  int t = PatternTexture(16, 16);
  gfx::SetDrawColour(0xFFFFFF);
  gfx::DrawWall(-80, 0, 0, 80, 0, -80, t, 3, 2);
  ExpectGolden("d3d_wall_repeats", Frame());
}

TEST_F(Gl3D, GoldenPerspectiveAndOrthoViewsOfOneBlockAndCulling) {
  if (!Start()) return;
  gfx::SetDrawColour(0xC08040);
  gfx::SetWorldTransform(gfx::MatrixRotationX(30));
  gfx::AddWorldTransform(gfx::MatrixRotationZ(20));
  gfx::AddWorldTransform(gfx::MatrixTranslation(80, 60, 0));
  const plat::Matrix4 world = gfx::WorldTransform();
  auto scene = [&] {
    gfx::SetWorldTransform(world);
    gfx::ClearTarget(0x102030, 1);
    gfx::SetDrawColour(0xC08040);
    gfx::DrawBlock(-30, -30, -30, 30, 30, 30, -1, 1, 1);
    gfx::SetDrawColour(0x4080C0);
    gfx::DrawEllipsoid(-20, -20, -50, 20, 20, -30, -1, 1, 1, 12);
    gfx::SetDrawColour(0x40C040);
    gfx::SetWorldTransform(plat::Matrix4::Identity());
    gfx::BeginPrimitive3D(4, -1);  // one triangle each way round on screen, placed in room coordinates
    gfx::Vertex3D(10, 115, -60, 0, 0, 0, 0, 0), gfx::Vertex3D(40, 115, -60, 0, 0, 0, 0, 0);
    gfx::Vertex3D(25, 90, -60, 0, 0, 0, 0, 0);
    gfx::Vertex3D(120, 115, -60, 0, 0, 0, 0, 0), gfx::Vertex3D(135, 90, -60, 0, 0, 0, 0, 0);
    gfx::Vertex3D(150, 115, -60, 0, 0, 0, 0, 0);
    gfx::EndPrimitive3D();
  };
  gfx::SetProjectionPerspective(0, 0, 160, 120, 0);
  scene();
  ExpectGolden("d3d_block_perspective", Frame());
  gfx::SetProjectionOrtho(0, 0, 160, 120, 0);
  scene();
  ExpectGolden("d3d_block_ortho", Frame());
  // Without hidden-surface removal the back faces show unless culling removes them.
  gfx::SetHidden(false);
  scene();
  CBitmap32 unculled = Frame();
  ExpectGolden("d3d_block_ortho_unculled", unculled);
  gfx::SetCulling(true);
  scene();
  CBitmap32 culled = Frame();
  ExpectGolden("d3d_block_ortho_culled", culled);
  EXPECT_NE(culled.pixels, unculled.pixels);
  // Exactly one of the two triangles is removed.
  EXPECT_NE(unculled.Pixel(25, 108), 0xFF302010u);
  EXPECT_NE(unculled.Pixel(135, 108), 0xFF302010u);
  EXPECT_NE(culled.Pixel(25, 108) == 0xFF302010u, culled.Pixel(135, 108) == 0xFF302010u);
}

TEST_F(Gl3D, ModelSavedAndLoadedDrawsIdentically) {
  if (!Start()) return;
  Camera();
  gfx::C3D_Model m;
  m.Add(10, {-20, -20, -20, 20, 20, 20, 1, 1});
  m.Add(11, {-10, -10, 20, 10, 10, 50, 1, 1, 1, 16});
  m.Add(0, {4});
  m.Add(3, {-40, -40, 0, 0x0000FF, 1});
  m.Add(3, {40, -40, 0, 0x00FF00, 1});
  m.Add(3, {0, 40, 0, 0xFF0000, 0.5});
  m.Add(1, {});
  auto path = (std::filesystem::temp_directory_path() / "kv_d3d_model.txt").string();
  ASSERT_TRUE(m.Save(path, false));
  gfx::C3D_Model loaded;
  ASSERT_TRUE(loaded.Load(path));
  std::filesystem::remove(path);
  EXPECT_EQ(loaded.commands, m.commands);
  int t = PatternTexture(8, 8);
  gfx::SetDrawColour(0xFFFFFF);
  m.Draw(0, 0, 0, t);
  CBitmap32 original = Frame();
  gfx::ClearTarget(0, 1);
  loaded.Draw(0, 0, 0, t);
  EXPECT_EQ(Frame().pixels, original.pixels);
  ExpectGolden("d3d_model", original);
}

// Batching and skipping the blend of opaque 3D draws must not change a pixel: a lit, fogged scene mixing opaque
// and translucent colours, an opaque texture, one padded with transparent texels and one with holes, many faces
// merged into few batches.
TEST_F(Gl3D, BatchingAndOpaqueBlendSkippingKeepPixelsIdentical) {
  CBitmap32 reference;
  const plat::GlOptions options[] = {{false, true, false}, {false, true, true}, {true, true, true}};
  for (auto o : options) {
    gfx::Reset3D();
    auto* d = GlGfx::Start(o, 160, 120);
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(gfx::SetDepthMode(true));
    gfx::SetProjection2D(0, 0, 160, 120, 0);
    gfx::ClearTarget(0x302010, 1);
    Camera();
    gfx::SetLighting(true);
    gfx::SetFog(true, 0x302010, 60, 200);
    gfx::DefinePointLight(0, -40, -60, -60, 300, 0xFFFFFF);
    gfx::DefineDirectionalLight(1, 0, 1, 1, 0x4040A0);
    gfx::EnableLight(0, true);
    gfx::EnableLight(1, true);
    std::vector<uint32_t> solid(16 * 16), holes(16 * 16);
    for (int i = 0; i < 256; ++i) {
      solid[i] = 0xFF000000u | (i * 0x010307u & 0xFFFFFFu);
      holes[i] = ((i / 16 + i) % 3 ? 0xFF000000u : 0x40000000u) | 0xC0A080u;
    }
    int opaque = gfx::TextureFromPixels(16, 16, solid.data());
    int holed = gfx::TextureFromPixels(16, 16, holes.data());
    int padded = PatternTexture(12, 12);  // stored 16 × 16 with transparent texels beyond, reached by repeats
    d->ResetCounters();
    for (int i = 0; i < 24; ++i) {
      double x = (i % 6) * 16 - 48, y = (i / 6) * 16 - 32;
      gfx::SetDrawColour(i % 5 ? 0xFFFFFF : 0x80FF80);
      gfx::SetDrawAlpha(i % 7 == 3 ? 0.5 : 1.0);
      int t = i % 4 == 0 ? holed : i % 4 == 1 ? padded : i % 4 == 2 ? opaque : -1;
      gfx::DrawBlock(x, y, -10 - i % 3 * 6, x + 12, y + 12, 0, t, 1.5, 1.5);
      if (i == 0) gfx::DefinePointLight(0, 40, -60, -60, 300, 0xFFC0C0);  // not on the first block
      if (i == 15) gfx::EnableLight(2, true);
    }
    gfx::SetDrawAlpha(1);
    gfx::DrawFloor(-80, -60, 2, 80, 60, 2, opaque, 4, 4);
    gfx::SetLighting(false);
    gfx::DrawEllipsoid(30, 30, -40, 50, 50, -20, holed, 1, 1, 10);
    CBitmap32 f = Frame();
    auto counters = d->Counters();
    if (reference.pixels.empty()) {
      reference = f;
      EXPECT_EQ(counters.glDraws, counters.draws);
    } else {
      int differing = 0;
      for (size_t i = 0; i < f.pixels.size(); ++i) differing += f.pixels[i] != reference.pixels[i];
      EXPECT_EQ(differing, 0) << "batch " << o.batch << " opaque " << o.opaqueSkipsBlend;
      if (o.batch) {
        EXPECT_LT(counters.glDraws * 4, counters.draws);
      }
    }
    gfx::Reset3D();
    GlGfx::Stop();
  }
}

TEST_F(Gl3D, TwoDimensionalDrawingAfterThreeDModeIsUnchanged) {
  if (!Start()) return;
  Camera();
  gfx::SetLighting(true);
  gfx::SetFog(true, 0xFFFFFF, 0, 10);
  gfx::DefineDirectionalLight(0, 1, 1, 1, 0xFFFFFF);
  gfx::EnableLight(0, true);
  gfx::DrawBlock(-20, -20, -20, 20, 20, 20, -1, 1, 1);
  gfx::SetLighting(false);
  gfx::SetFog(false, 0, 0, 1);
  ASSERT_TRUE(gfx::SetDepthMode(false));
  gfx::SetProjection2D(0, 0, 160, 120, 0);  // what room drawing does before each view
  // The same scene as the 2D primitives golden.
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

}  // namespace
}  // namespace kv::test
