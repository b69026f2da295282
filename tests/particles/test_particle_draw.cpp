// Particle drawing on the recording device: draw order, placement with the system offset, additive blending,
// sprite frames over the life, and the depth operations room drawing uses.
#include "graphics/font_main.h"
#include "graphics/gfx_fixture.h"
#include "graphics/sprite_art.h"
#include "graphics/sprite_main.h"
#include "particles/particle_draw.h"
#include "particles/particle_fixture.h"
#include "runner/runner_wiring.h"

namespace kv::test {
namespace {

class ParticleDraw : public RecordingGfxTest {
 protected:
  void SetUp() override {
    RecordingGfxTest::SetUp();
    RegisterAllBuiltinFunctions();
    ResetParticles();
    gfx::InstallSpriteModule(nullptr);
    gfx::ClearSprites();
    GameRandom::SetSeed(5);
    ps = static_cast<int>(call.Real("part_system_create"));
    square = static_cast<int>(call.Real("part_type_create"));
    call.Call("part_type_shape", {double(square), 2.0});
  }
  void TearDown() override {
    gfx::ClearSprites();
    ResetParticles();
    RecordingGfxTest::TearDown();
  }
  void Create(double x, double y, int type, int colour) {
    call.Call("part_particles_create_color", {double(ps), x, y, double(type), double(colour), 1.0});
  }
  std::vector<plat::GpuCall> DrawNow() {
    gpu.ClearLog();
    call.Call("part_system_drawit", {double(ps)});
    return Draws();
  }

  BuiltinCaller call;
  int ps = -1, square = -1;
};

TEST_F(ParticleDraw, OrderPlacementAndBlending) {
  Create(10, 10, square, 255);
  Create(10, 10, square, 16711680);
  auto draws = DrawNow();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].vertices[0].colour, 0xFFFF0000u);  // oldest first: red, then blue on top
  EXPECT_EQ(draws[1].vertices[0].colour, 0xFF0000FFu);
  call.Call("part_system_draw_order", {double(ps), 0.0});
  draws = DrawNow();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].vertices[0].colour, 0xFF0000FFu);  // newest first, under the older one

  // Centred on the particle, moved by the system position.
  call.Call("part_system_position", {double(ps), 100.0, 50.0});
  draws = DrawNow();
  EXPECT_FLOAT_EQ(draws[0].vertices[0].x, 110 - 16 - 0.5f);
  EXPECT_FLOAT_EQ(draws[0].vertices[0].y, 60 - 16 - 0.5f);
  EXPECT_FLOAT_EQ(draws[0].vertices[2].x, 110 + 16 - 0.5f);

  // Additive types switch the blend on around their draws and leave the game's blend as it was.
  call.Call("part_particles_clear", {double(ps)});
  const int glow = static_cast<int>(call.Real("part_type_create"));
  call.Call("part_type_blend", {double(glow), 1.0});
  Create(0, 0, glow, 255);
  Create(0, 0, square, 255);
  draws = DrawNow();
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].states.destBlend, plat::kBlendInvSrcAlpha);  // newest first: the plain square
  EXPECT_EQ(draws[1].states.destBlend, plat::kBlendOne);
  EXPECT_EQ(gfx::D3D().destBlend, plat::kBlendInvSrcAlpha);

  // A particle whose life is not above 0 is not drawn; a shape outside the fourteen draws nothing.
  call.Call("part_particles_clear", {double(ps)});
  const int none = static_cast<int>(call.Real("part_type_create"));
  call.Call("part_type_life", {double(square), 0.0, 0.0});
  call.Call("part_type_shape", {double(none), 14.0});
  Create(0, 0, square, 255);
  Create(0, 0, none, 255);
  EXPECT_TRUE(DrawNow().empty());
}

TEST_F(ParticleDraw, SpriteFramesOverTheLife) {
  const int sprite = gfx::AddSpriteRecord(ArtSprite({{"##", "##"}, {"#.", ".#"}, {".#", "#."}}, 1, 1));
  ASSERT_GE(sprite, 0);
  struct Case {
    bool animate, stretch;
    int frames[4];  // frame drawn after 0, 1, 2, 3 updates (life 4)
  };
  const Case cases[] = {{false, false, {0, 0, 0, 0}}, {true, false, {0, 1, 2, 0}}, {true, true, {0, 0, 1, 2}}};
  for (const Case& c : cases) {
    call.Call("part_particles_clear", {double(ps)});
    const int t = static_cast<int>(call.Real("part_type_create"));
    call.Call("part_type_sprite", {double(t), double(sprite), double(c.animate), double(c.stretch), 0.0});
    call.Call("part_type_life", {double(t), 4.0, 4.0});
    Create(0, 0, t, 16777215);
    for (int age = 0; age < 4; ++age) {
      if (age > 0) call.Call("part_system_update", {double(ps)});
      auto draws = DrawNow();
      ASSERT_EQ(draws.size(), 1u);
      const int tex = gfx::Sprites().frameTexture(sprite, c.frames[age]);
      EXPECT_EQ(draws[0].texture, gfx::GetTexture(tex)->handle) << c.animate << c.stretch << " age " << age;
    }
  }
}

TEST_F(ParticleDraw, DepthOperationsDrawEachAutomaticSystemOncePerPass) {
  const int near = static_cast<int>(call.Real("part_system_create"));
  const int off = static_cast<int>(call.Real("part_system_create"));
  const int deep = static_cast<int>(call.Real("part_system_create"));
  call.Call("part_system_depth", {double(near), 0.005});
  call.Call("part_system_depth", {double(off), 50.0});
  call.Call("part_system_automatic_draw", {double(off), 0.0});
  call.Call("part_system_depth", {double(deep), 20.0});
  for (int s : {ps, near, off, deep})
    call.Call("part_particles_create_color", {double(s), 0.0, 0.0, double(square), double(s), 1.0});
  gpu.ClearLog();
  std::vector<double> depths;
  for (double p = particles::AutoDrawDepthBelow(INFINITY); p > -1e8; p = particles::AutoDrawDepthBelow(p)) {
    depths.push_back(p);
    particles::DrawAutoSystemsAt(p);
  }
  EXPECT_EQ(depths, (std::vector<double>{20, 0.005}));
  // deep's particle, then those of ps (depth 0) and near drawn together at 0.005, none twice.
  EXPECT_EQ(Draws().size(), 3u);
  // A new pass draws them again.
  gpu.ClearLog();
  EXPECT_EQ(particles::AutoDrawDepthBelow(INFINITY), 20);
  particles::DrawAutoSystemsAt(20);
  EXPECT_EQ(Draws().size(), 1u);
}

}  // namespace
}  // namespace kv::test
