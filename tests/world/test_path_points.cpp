// Path curves (straight and smooth, open and closed, precision), positions along them, the polyline draw_path
// draws on the recording device, and the path section of kvpack projects.
#include <cmath>

#include "functions/call_builtin.h"
#include "functions/function_path_draw.h"
#include "graphics/gfx_fixture.h"
#include "kvpack_project.h"
#include "runner/game_sections.h"
#include "world/path_points.h"
#include "world/world_state.h"

namespace kv::test {
namespace {

CPath MakePath(int kind, bool closed, int precision, std::vector<RPathPoint> points) {
  CPath p;
  p.kind = kind;
  p.closed = closed;
  p.precision = precision;
  p.points = std::move(points);
  return p;
}

struct XY {
  double x, y;
};
std::vector<XY> Xy(const PathCurve& c) {
  std::vector<XY> r;
  for (const auto& p : c.points) r.push_back({p.x, p.y});
  return r;
}
void ExpectPoints(const std::vector<XY>& got, const std::vector<XY>& want, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i].x, want[i].x, 1e-9) << what << " point " << i;
    EXPECT_NEAR(got[i].y, want[i].y, 1e-9) << what << " point " << i;
  }
}

TEST(PathCurve, CurvesOfEachKind) {
  struct Case {
    const char* what;
    CPath path;
    std::vector<XY> curve;
    double length;
  } cases[] = {
      {"straight closed square: the first point again at the end",
       MakePath(0, true, 4, {{0, 0}, {10, 0}, {10, 10}, {0, 10}}),
       {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}, 40},
      {"straight open", MakePath(0, false, 4, {{0, 0}, {30, 40}}), {{0, 0}, {30, 40}}, 50},
      {"smooth open of two points is the straight line", MakePath(1, false, 8, {{0, 0}, {30, 40}}),
       {{0, 0}, {30, 40}}, 50},
      // A = (32, 0), C = (64, 0), B = (64, 32): midpoint (56, 8); each half splits once more at depth 2.
      {"smooth open corner, precision 2", MakePath(1, false, 2, {{0, 0}, {64, 0}, {64, 64}}),
       {{0, 0}, {46, 2}, {56, 8}, {62, 18}, {64, 64}}, -1},
      {"smooth open, precision 0: the end points only", MakePath(1, false, 0, {{0, 0}, {64, 0}, {64, 64}}),
       {{0, 0}, {64, 64}}, -1},
      // Control points within 4 pixels of the ends stop the splitting: one midpoint per span.
      {"smooth closed small triangle", MakePath(1, true, 8, {{0, 0}, {4, 0}, {0, 2}}),
       {{3, 0.25}, {0.5, 1.5}, {0.5, 0.25}, {3, 0.25}}, -1},
      {"smooth closed, precision 0: empty, nothing to close", MakePath(1, true, 0, {{0, 0}, {64, 0}, {64, 64}}),
       {}, 0},
      {"no points", MakePath(1, false, 4, {}), {}, 0},
      {"single point, closed straight", MakePath(0, true, 4, {{5, 6}}), {{5, 6}, {5, 6}}, 0},
  };
  for (const Case& c : cases) {
    const PathCurve curve = ComputePathCurve(c.path);
    ExpectPoints(Xy(curve), c.curve, c.what);
    if (c.length >= 0) {
      EXPECT_DOUBLE_EQ(curve.length, c.length) << c.what;
    }
    double sum = 0;
    for (size_t i = 1; i < curve.points.size(); ++i) {
      sum += std::hypot(curve.points[i].x - curve.points[i - 1].x, curve.points[i].y - curve.points[i - 1].y);
      EXPECT_NEAR(curve.points[i].lengthSoFar, sum, 1e-9) << c.what;
    }
  }
}

TEST(PathCurve, PrecisionBoundsThePointsPerSpan) {
  // A huge corner splits all the way: at most 2^8 − 1 points per span.
  const PathCurve big = ComputePathCurve(MakePath(1, false, 8, {{0, 0}, {100000, 0}, {100000, 100000}}));
  EXPECT_EQ(big.points.size(), 2u + 255u);
  const PathCurve capped = ComputePathCurve(MakePath(1, false, 12, {{0, 0}, {100000, 0}, {100000, 100000}}));
  EXPECT_EQ(capped.points.size(), big.points.size());
}

TEST(PathCurve, PositionsAlongTheCurve) {
  const PathCurve c = ComputePathCurve(MakePath(0, false, 4, {{0, 0, 100}, {10, 0, 50}, {10, 10, 150}}));
  struct Case {
    double pos, x, y, speed;
  } cases[] = {{0, 0, 0, 100},     {-3, 0, 0, 100},     {0.25, 5, 0, 75},  {0.5, 10, 0, 50},
               {0.75, 10, 5, 100}, {1, 10, 10, 150},    {7, 10, 10, 150},  {NAN, 0, 0, 100}};
  for (const Case& k : cases) {
    const RPathPoint p = c.PositionAt(k.pos);
    EXPECT_NEAR(p.x, k.x, 1e-9) << k.pos;
    EXPECT_NEAR(p.y, k.y, 1e-9) << k.pos;
    EXPECT_NEAR(p.speed, k.speed, 1e-9) << k.pos;
  }
  EXPECT_EQ(PathCurve{}.PositionAt(0.5), (RPathPoint{0, 0, 100}));
  // Repeated points (pieces of length 0) are passed over.
  const PathCurve dup = ComputePathCurve(MakePath(0, false, 4, {{0, 0}, {0, 0}, {8, 0}}));
  EXPECT_NEAR(dup.PositionAt(0.5).x, 4, 1e-9);
}

class DrawPath : public RecordingGfxTest {
 protected:
  GameResources res;
  void SetUp() override {
    RecordingGfxTest::SetUp();
    RegisterPathDrawFunctions();
    SetWorldResources(&res);
  }
  void TearDown() override {
    SetWorldResources(nullptr);
    RecordingGfxTest::TearDown();
  }
  int Add(CPath p) { return res.paths.Add("p" + std::to_string(res.paths.Count()), std::make_unique<CPath>(p)); }
  std::vector<XY> Strip() {
    std::vector<XY> r;
    for (const auto& d : Draws()) {
      EXPECT_EQ(d.kind, plat::PrimKind::LineStrip);
      EXPECT_FALSE(d.textured);
      for (const auto& v : d.vertices) r.push_back({v.x, v.y});
    }
    return r;
  }
};

TEST_F(DrawPath, StraightClosedPathRelativeAndAbsolute) {
  // (0, 0) → (40, 0) → (40, 30) → back: length 120, a point every 4 pixels.
  const int p = Add(MakePath(0, true, 4, {{0, 0}, {40, 0}, {40, 30}}));
  std::vector<XY> want;
  for (int k = 0; k <= 30; ++k) {
    const double d = 4.0 * k;
    if (d <= 40) want.push_back({d, 0});
    else if (d <= 70) want.push_back({40, d - 40});
    else want.push_back({40 - 40 * (d - 70) / 50, 30 - 30 * (d - 70) / 50});
  }
  BuiltinCaller call;
  gfx::SetDrawColour(0x0000FF);
  call.Call("draw_path", {RValue(double(p)), RValue(100.0), RValue(50.0), RValue(0.0)});
  std::vector<XY> shifted = want;
  for (XY& q : shifted) q.x += 100, q.y += 50;
  const auto relative = Strip();
  ASSERT_EQ(relative.size(), shifted.size());
  for (size_t i = 0; i < shifted.size(); ++i) {
    EXPECT_NEAR(relative[i].x, shifted[i].x, 1e-4) << i;
    EXPECT_NEAR(relative[i].y, shifted[i].y, 1e-4) << i;
  }
  ASSERT_FALSE(Draws().empty());
  EXPECT_EQ(Draws()[0].vertices[0].colour, 0xFFFF0000u);  // the drawing colour (script red) and alpha
  gpu.ClearLog();
  call.Call("draw_path", {RValue(double(p)), RValue(100.0), RValue(50.0), RValue(1.0)});
  const auto absolute = Strip();
  ASSERT_EQ(absolute.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(absolute[i].x, want[i].x, 1e-4) << i;
    EXPECT_NEAR(absolute[i].y, want[i].y, 1e-4) << i;
  }
  EXPECT_TRUE(call.errors.empty());
}

TEST_F(DrawPath, SmoothPathFollowsItsCurve) {
  const int p = Add(MakePath(1, false, 2, {{0, 0}, {64, 0}, {64, 64}}));
  // The curve is (0,0) (46,2) (56,8) (62,18) (64,64); walk it every length/n by hand.
  const std::vector<XY> curve = {{0, 0}, {46, 2}, {56, 8}, {62, 18}, {64, 64}};
  std::vector<double> at = {0};
  for (size_t i = 1; i < curve.size(); ++i)
    at.push_back(at.back() + std::hypot(curve[i].x - curve[i - 1].x, curve[i].y - curve[i - 1].y));
  const int n = static_cast<int>(std::nearbyint(at.back() / 4));
  std::vector<XY> want;
  for (int k = 0; k <= n; ++k) {
    const double d = at.back() * k / n;
    size_t i = 0;
    while (i + 2 < curve.size() && d >= at[i + 1]) ++i;
    const double t = (d - at[i]) / (at[i + 1] - at[i]);
    want.push_back({curve[i].x + (curve[i + 1].x - curve[i].x) * t, curve[i].y + (curve[i + 1].y - curve[i].y) * t});
  }
  BuiltinCaller call;
  call.Call("draw_path", {RValue(double(p)), RValue(0.0), RValue(0.0), RValue(1.0)});
  const auto got = Strip();
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(got[i].x, want[i].x, 1e-3) << i;
    EXPECT_NEAR(got[i].y, want[i].y, 1e-3) << i;
  }
}

TEST_F(DrawPath, MissingShortAndEmptyPaths) {
  const int tiny = Add(MakePath(0, false, 4, {{0, 0}, {1.9, 0}}));  // length / 4 rounds to 0
  const int empty = Add(MakePath(1, true, 0, {{0, 0}, {64, 0}, {64, 64}}));
  BuiltinCaller call;
  call.Call("draw_path", {RValue(double(tiny)), RValue(0.0), RValue(0.0), RValue(0.0)});
  call.Call("draw_path", {RValue(double(empty)), RValue(0.0), RValue(0.0), RValue(0.0)});
  EXPECT_TRUE(Draws().empty());
  EXPECT_TRUE(call.errors.empty());
  call.Call("draw_path", {RValue(7.0), RValue(0.0), RValue(0.0), RValue(0.0)});
  call.Call("draw_path", {RValue(-1.0), RValue(0.0), RValue(0.0), RValue(0.0)});
  ASSERT_EQ(call.errors.size(), 2u);
  EXPECT_NE(call.errors[0].find("Trying to drawn non-existing path."), std::string::npos);
  EXPECT_TRUE(Draws().empty());
}

TEST(KvpackPath, SectionEntriesAndErrors) {
  const pack::PackedGame g = pack::PackManifest(
      "[path pth_loop]\nkind = smooth\nclosed = no\nprecision = 6\npoint 10 20\npoint 30.5 -4 50\n"
      "[path pth_plain]\npoint 1 2\n[room rm]\n",
      ".");
  const auto& paths = g.game.resources.paths;
  ASSERT_EQ(paths.Count(), 2);
  const CPath* loop = paths.Get(paths.Find("pth_loop"));
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(*loop, MakePath(1, false, 6, {{10, 20, 100}, {30.5, -4, 50}}));
  EXPECT_EQ(*paths.Get(paths.Find("pth_plain")), MakePath(0, true, 4, {{1, 2, 100}}));
  for (const char* bad : {"kind = curvy", "precision = 9", "point 1", "point a 2", "point 1 2 3 4", "speed = 3"}) {
    EXPECT_THROW(pack::PackManifest(std::string("[path p]\n") + bad + "\n[room r]\n", "."), pack::PackError) << bad;
  }
}

}  // namespace
}  // namespace kv::test
