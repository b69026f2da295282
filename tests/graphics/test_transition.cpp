// Room transitions: the frames of the built-in kinds (recording device), definitions, the prepare/perform cycle
// with its failure paths and surfaces lost to a device reset, and golden frames at the midpoint.
#include <cmath>

#include "code/code_error.h"
#include "code/code_script.h"
#include "graphics/gfx_fixture.h"
#include "graphics/graphics_transition.h"

namespace kv::test {
namespace {

int g_roomDraws = 0;
int g_targetWhileDrawing = -2;
void CountRoomDraw() {
  ++g_roomDraws;
  g_targetWhileDrawing = gfx::CurrentTargetSurface();
}

class TransitionTest : public RecordingGfxTest {
 protected:
  int a = -1, b = -1;
  void SetUp() override {
    RecordingGfxTest::SetUp();
    ResetErrorState();
    gfx::ClearTransitions();
    g_roomDraws = 0;
    a = gfx::CreateSurface(64, 48);
    b = gfx::CreateSurface(64, 48);
    gpu.ClearLog();
  }
  void TearDown() override {
    gfx::ClearTransitions();
    gfx::SetTransitionHooks({});
    gfx::FreeAllSurfaces();
    SetErrorHooks({});
    ResetErrorState();
    ClearScripts();
    RecordingGfxTest::TearDown();
  }
  plat::TextureHandle H(int surface) { return gfx::GetTexture(gfx::SurfaceTexture(surface))->handle; }
  struct Quad {
    plat::TextureHandle tex;
    float left, top, right, bottom;  // anchor-relative corners + 0.5: the drawn rectangle
    uint8_t alpha;
  };
  std::vector<Quad> Frame(int kind, double f) {
    gpu.ClearLog();
    gfx::DrawTransitionFrame(kind, a, b, 64, 48, f);
    std::vector<Quad> r;
    for (const auto& d : Draws())
      r.push_back({d.texture, d.vertices[0].x + 0.5f, d.vertices[0].y + 0.5f, d.vertices[2].x + 0.5f,
                   d.vertices[2].y + 0.5f, uint8_t(d.vertices[0].colour >> 24)});
    return r;
  }
};

TEST_F(TransitionTest, StepsAndKinds) {
  gfx::SetTransitionSteps(0);
  EXPECT_EQ(gfx::TransitionSteps(), 1);
  gfx::SetTransitionSteps(-7);
  EXPECT_EQ(gfx::TransitionSteps(), 1);
  gfx::SetTransitionSteps(12);
  EXPECT_EQ(gfx::TransitionSteps(), 12);
  for (int k : {1, 5, 21}) EXPECT_TRUE(gfx::TransitionExists(k)) << k;
  for (int k : {0, -1, 22, 1000}) EXPECT_FALSE(gfx::TransitionExists(k)) << k;
}

TEST_F(TransitionTest, BuiltinFramesAtMidpoint) {
  const auto A = H(a), B = H(b);
  struct Case {
    int kind;
    std::vector<Quad> want;
  } cases[] = {
      {1, {{A, 0, 0, 64, 48, 255}, {B, 0, 0, 32, 48, 255}}},
      {2, {{A, 0, 0, 64, 48, 255}, {B, 32, 0, 64, 48, 255}}},
      {3, {{A, 0, 0, 64, 48, 255}, {B, 0, 0, 64, 24, 255}}},
      {4, {{A, 0, 0, 64, 48, 255}, {B, 0, 24, 64, 48, 255}}},
      {5, {{A, 0, 0, 64, 48, 255}, {B, 16, 12, 48, 36, 255}}},
      {6, {{A, 0, 0, 64, 48, 255}, {B, -32, 0, 32, 48, 255}}},
      {7, {{A, 0, 0, 64, 48, 255}, {B, 32, 0, 96, 48, 255}}},
      {8, {{A, 0, 0, 64, 48, 255}, {B, 0, -24, 64, 24, 255}}},
      {9, {{A, 0, 0, 64, 48, 255}, {B, 0, 24, 64, 72, 255}}},
      {14, {{A, 32, 0, 96, 48, 255}, {B, -32, 0, 32, 48, 255}}},
      {15, {{A, -32, 0, 32, 48, 255}, {B, 32, 0, 96, 48, 255}}},
      {16, {{A, 0, 24, 64, 72, 255}, {B, 0, -24, 64, 24, 255}}},
      {17, {{A, 0, -24, 64, 24, 255}, {B, 0, 24, 64, 72, 255}}},
      {20, {{A, 0, 0, 64, 48, 255}, {B, 0, 0, 64, 48, 128}}},
      {21, {{A, 0, 0, 64, 48, 0}}},  // after the clear; A fading out reaches alpha 0 at the midpoint
  };
  for (const auto& c : cases) {
    auto got = Frame(c.kind, 0.5);
    ASSERT_EQ(got.size(), c.want.size()) << c.kind;
    for (size_t i = 0; i < got.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "kind " << c.kind << " quad " << i);
      EXPECT_EQ(got[i].tex, c.want[i].tex);
      EXPECT_FLOAT_EQ(got[i].left, c.want[i].left);
      EXPECT_FLOAT_EQ(got[i].top, c.want[i].top);
      EXPECT_FLOAT_EQ(got[i].right, c.want[i].right);
      EXPECT_FLOAT_EQ(got[i].bottom, c.want[i].bottom);
      EXPECT_EQ(got[i].alpha, c.want[i].alpha);
    }
  }
  // Kind 21 clears to black first; past the midpoint B fades in.
  Frame(21, 0.75);
  bool cleared = false;
  for (const auto& call : gpu.calls) cleared |= call.op == plat::GpuOp::Clear && call.colour == 0xFF000000u;
  EXPECT_TRUE(cleared);
  auto late = Frame(21, 0.75);
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(late[0].tex, B);
  EXPECT_EQ(late[0].alpha, 128);
}

TEST_F(TransitionTest, EndpointsOfWipes) {
  // f = 0 shows nothing of B (a part of width 0); f = 1 all of it.
  for (int kind = 1; kind <= 5; ++kind) {
    auto start = Frame(kind, 0.0);
    ASSERT_EQ(start.size(), 2u);
    EXPECT_TRUE(start[1].right - start[1].left == 0 || start[1].bottom - start[1].top == 0) << kind;
    auto end = Frame(kind, 1.0);
    EXPECT_FLOAT_EQ(end[1].right - end[1].left, 64) << kind;
    EXPECT_FLOAT_EQ(end[1].bottom - end[1].top, 48) << kind;
  }
}

TEST_F(TransitionTest, RotationKeepsTheCentre) {
  for (int kind : {18, 19}) {
    gpu.ClearLog();
    gfx::DrawTransitionFrame(kind, a, b, 64, 48, 0.25);
    auto d = Draws();
    ASSERT_EQ(d.size(), 2u);
    double cx = 0, cy = 0;
    for (const auto& v : d[1].vertices) cx += v.x / 4, cy += v.y / 4;
    EXPECT_NEAR(cx, 32, 0.75) << kind;  // within the rotated −0.5 texel shift
    EXPECT_NEAR(cy, 24, 0.75) << kind;
    // Scale f = 0.25: the diagonal of B shrinks to a quarter.
    double diag = std::hypot(d[1].vertices[2].x - d[1].vertices[0].x, d[1].vertices[2].y - d[1].vertices[0].y);
    EXPECT_NEAR(diag, std::hypot(16, 12), 0.01);
  }
}

TEST_F(TransitionTest, InterlacedStrips) {
  const auto A = H(a), B = H(b);
  gfx::SetTransitionSteps(4);
  // f = 0.5: k = 2 = g: A, then strips 0 … 2 (left form: i ≤ k) at x = 2i·64/4 of width 16.
  auto left = Frame(10, 0.5);
  ASSERT_EQ(left.size(), 4u);
  EXPECT_EQ(left[0].tex, A);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(left[i + 1].tex, B);
    EXPECT_FLOAT_EQ(left[i + 1].left, 32 * i);
    EXPECT_FLOAT_EQ(left[i + 1].right, 32 * i + 16);
  }
  // Right form at f = 0.25: k = 1, strips with i ≥ g − k = 1.
  auto right = Frame(11, 0.25);
  ASSERT_EQ(right.size(), 3u);
  EXPECT_FLOAT_EQ(right[1].left, 32);
  // f = 0.75: k = 3 > g: the bottom wipe with fraction (3 − 2) / 2 first, then every strip.
  auto bottom = Frame(13, 0.75);
  ASSERT_EQ(bottom.size(), 1u + 1u + 3u);
  EXPECT_FLOAT_EQ(bottom[1].top, 24);
  // f = 1: B alone.
  auto end = Frame(12, 1.0);
  ASSERT_EQ(end.size(), 1u);
  EXPECT_EQ(end[0].tex, B);
}

TEST_F(TransitionTest, Definitions) {
  ClearScripts();
  AddScript("my_wipe", "return 0;");
  AddScript("broken", "return undefined_thing;");
  ASSERT_TRUE(CompileScripts());
  EXPECT_FALSE(gfx::DefineTransition(30, "no_such_thing"));
  EXPECT_FALSE(gfx::TransitionExists(30));
  EXPECT_FALSE(gfx::DefineTransition(30, "draw_text"));  // built-in functions are not transitions
  EXPECT_TRUE(gfx::DefineTransition(30, "my_wipe"));
  EXPECT_TRUE(gfx::TransitionExists(30));
  EXPECT_TRUE(gfx::DefineTransition(1000000, "my_wipe"));  // found, but the kind is out of range
  EXPECT_FALSE(gfx::TransitionExists(1000000));
  EXPECT_TRUE(gfx::DefineTransition(4500, "my_wipe"));     // the table grows past its first block
  EXPECT_TRUE(gfx::TransitionExists(4500));
  // A definition for a built-in number replaces the built-in frame.
  EXPECT_TRUE(gfx::DefineTransition(5, "my_wipe"));
  EXPECT_TRUE(Frame(5, 0.5).empty());

  std::vector<std::string> shown;
  ErrorHooks hooks;
  hooks.showErrorWindow = [&](const std::string& m, bool) {
    shown.push_back(m);
    return false;
  };
  SetErrorHooks(hooks);
  EXPECT_TRUE(gfx::DefineTransition(31, "broken"));
  Frame(31, 0.5);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("ERROR in transition function broken\r", 0), 0u) << shown[0];
  shown.clear();
  Frame(32, 0.5);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Transition Function does not exist.");
  SetErrorHooks({});
  ResetErrorState();
  ClearScripts();
}

TEST_F(TransitionTest, PrepareAndPerform) {
  gfx::FreeAllSurfaces();
  gfx::SetTransitionHooks({CountRoomDraw, nullptr, nullptr});
  const int liveBefore = gpu.LiveTextures();
  gfx::SetTransitionSteps(3);
  gfx::PrepareTransition(7);
  EXPECT_EQ(gfx::TransitionKind(), 7);
  EXPECT_EQ(g_roomDraws, 1);
  EXPECT_GE(g_targetWhileDrawing, 0);  // the old room went into a surface
  EXPECT_TRUE(gfx::TransitionPending());
  EXPECT_NE(gfx::CurrentTargetSurface(), g_targetWhileDrawing);  // the new room's first frame goes to the second
  gpu.ClearLog();
  gfx::PerformTransition();
  int presents = 0;
  for (const auto& c : gpu.calls) presents += c.op == plat::GpuOp::Present;
  EXPECT_EQ(presents, 4);  // steps + 1 frames
  EXPECT_EQ(gfx::CurrentTargetSurface(), -1);
  EXPECT_FALSE(gfx::TransitionPending());
  EXPECT_EQ(gpu.LiveTextures(), liveBefore);

  // An unknown kind: nothing is captured; perform presents once.
  gfx::PrepareTransition(77);
  EXPECT_FALSE(gfx::TransitionPending());
  gpu.ClearLog();
  gfx::PerformTransition();
  presents = 0;
  for (const auto& c : gpu.calls) presents += c.op == plat::GpuOp::Present;
  EXPECT_EQ(presents, 1);
}

TEST_F(TransitionTest, FailedCaptureLeavesKindMinusOne) {
  gpu.failTextures = true;
  gfx::PrepareTransition(3);
  EXPECT_EQ(gfx::TransitionKind(), -1);
  EXPECT_FALSE(gfx::TransitionPending());
  EXPECT_EQ(gfx::CurrentTargetSurface(), -1);
  gpu.failTextures = false;
}

TEST_F(TransitionTest, ResetSurfacesAreNotConfusedWithTheGames) {
  gfx::FreeAllSurfaces();
  gfx::PrepareTransition(1);
  ASSERT_TRUE(gfx::TransitionPending());
  // A device reset frees every surface; the game then makes its own, which take the same ids.
  gfx::FreeAllSurfaces();
  int mine = gfx::CreateSurface(32, 32), other = gfx::CreateSurface(32, 32);
  ASSERT_EQ(mine, 0);
  gpu.ClearLog();
  gfx::PerformTransition();
  EXPECT_TRUE(gfx::SurfaceExists(mine));
  EXPECT_TRUE(gfx::SurfaceExists(other));
  EXPECT_FALSE(gfx::TransitionPending());
  for (const auto& d : Draws()) EXPECT_NE(d.texture, H(mine));  // the game's surface is not drawn as a frame
}

// ---- pixels ----

TEST(TransitionGolden, MidpointOfEveryKind) {
  ASSERT_TRUE(GlGfx::Available());
  ASSERT_NE(GlGfx::Start({}, 48, 36), nullptr);
  // Old image: orange with a dark diagonal band; new image: blue with a light frame.
  int a = gfx::CreateSurface(48, 36), b = gfx::CreateSurface(48, 36);
  ASSERT_GE(a, 0);
  gfx::SetTarget(a);
  gfx::Clear(0x0080FF);
  gfx::SetDrawColour(0x202020);
  gfx::Triangle(0, 0, 20, 0, 48, 36, false);
  gfx::ResetTarget();
  gfx::SetTarget(b);
  gfx::Clear(0xC04010);
  gfx::SetDrawColour(0xF0F0F0);
  gfx::Rectangle(3, 3, 44, 32, true);
  gfx::Circle(24, 18, 8, false);
  gfx::ResetTarget();
  gfx::SetTransitionSteps(8);
  // A 7 × 3 mosaic of the 21 midpoint frames.
  CBitmap32 mosaic = CBitmap32::Make(48 * 7, 36 * 3, 0xFF000000u);
  for (int kind = 1; kind <= gfx::kBuiltinTransitions; ++kind) {
    gfx::Clear(0);
    gfx::DrawTransitionFrame(kind, a, b, 48, 36, 0.5);
    CBitmap32 f = Frame();
    ASSERT_EQ(f.width, 48);
    int ox = (kind - 1) % 7 * 48, oy = (kind - 1) / 7 * 36;
    for (int y = 0; y < 36; ++y)
      for (int x = 0; x < 48; ++x) mosaic.pixels[(oy + y) * mosaic.width + ox + x] = f.pixels[y * 48 + x];
  }
  ExpectGolden("transition_midpoints", mosaic);
  gfx::ClearTransitions();
  GlGfx::Stop();
}

}  // namespace
}  // namespace kv::test

namespace kv::test {
namespace {

// A real device reset frees the captured images; the game's new surfaces then take the same ids (and on GL the
// same texture names). The transition must neither draw nor free them.
TEST(TransitionGl, DeviceResetKeepsTheGamesNewSurfaces) {
  ASSERT_TRUE(GlGfx::Available());
  ASSERT_NE(GlGfx::Start({}, 48, 36), nullptr);
  gfx::ClearTransitions();
  gfx::FreeAllSurfaces();
  gfx::SetTransitionHooks({[] { gfx::Clear(0x0000FF); }, nullptr, nullptr});
  gfx::SetTransitionSteps(2);
  gfx::PrepareTransition(20);
  ASSERT_TRUE(gfx::TransitionPending());
  const int capturedTarget = gfx::CurrentTargetSurface();
  ASSERT_TRUE(gfx::ResetDevice());
  const int first = gfx::CreateSurface(48, 36), second = gfx::CreateSurface(48, 36);
  EXPECT_EQ(second, capturedTarget);  // the new image's id is the game's now
  for (int s : {first, second}) {
    ASSERT_TRUE(gfx::SetTarget(s));
    gfx::Clear(0x00FF00);
    gfx::ResetTarget();
  }
  gfx::Clear(0x808080);
  gfx::PerformTransition();
  EXPECT_FALSE(gfx::TransitionPending());
  EXPECT_EQ(gfx::CurrentTargetSurface(), -1);
  for (int s : {first, second}) {
    EXPECT_TRUE(gfx::SurfaceExists(s));
    EXPECT_EQ(gfx::SurfacePixel(s, 5, 5), 0x00FF00);
  }
  gfx::FreeAllSurfaces();
  gfx::SetTransitionHooks({});
  gfx::ClearTransitions();
  GlGfx::Stop();
}

// A capture that is not played (automatic drawing off in the new room) or replaced by the next room change
// leaves no surface behind and the screen as the target.
TEST_F(TransitionTest, CancelledAndReplacedCapturesFreeTheirSurfaces) {
  gfx::FreeAllSurfaces();
  const int live = gpu.LiveTextures();
  gfx::PrepareTransition(3);
  ASSERT_TRUE(gfx::TransitionPending());
  gfx::PrepareTransition(4);  // a second room change before the first was shown
  EXPECT_EQ(gpu.LiveTextures(), live + 2);
  gfx::CancelTransition();
  EXPECT_FALSE(gfx::TransitionPending());
  EXPECT_EQ(gfx::CurrentTargetSurface(), -1);
  EXPECT_EQ(gpu.LiveTextures(), live);
  // The kind changed between the capture and the first frame (a restart sets it to 0): the new room's image is
  // shown once, without animation, and the surfaces go.
  gfx::PrepareTransition(3);
  const int newImage = gfx::CurrentTargetSurface();
  const auto B = H(newImage);
  gfx::SetTransitionKind(0);
  gpu.ClearLog();
  gfx::PerformTransition();
  const auto draws = Draws();
  ASSERT_FALSE(draws.empty());
  EXPECT_EQ(draws.back().texture, B);
  EXPECT_EQ(gpu.LiveTextures(), live);
  EXPECT_EQ(gfx::CurrentTargetSurface(), -1);
}

}  // namespace
}  // namespace kv::test
