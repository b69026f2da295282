// The collision queries for each shape with and without prec and notme, the instance searches, and the
// indexed searches against the plain walk of the selection's list after random worlds.
#include <random>

#include "motion_fixture.h"
#include "motion/motion_nearest.h"
#include "world/collision_grid.h"

namespace kv::test {
namespace {

class MotionQueries : public MotionWorld {
 protected:
  void SetUp() override {
    MotionWorld::SetUp();
    const int box = AddSprite(16, 16);
    block = AddObject("block");
    Obj(block).sprite = box;
    // A precise sprite without images: a precise test can never hit it, a box test can.
    const int hollow = AddSprite(16, 16, 0);
    res.sprites.Get(hollow)->precise = true;
    blob = AddObject("blob");
    Obj(blob).sprite = hollow;
  }
  int block = -1, blob = -1;
};

TEST_F(MotionQueries, ShapesWithPrecAndNotme) {
  Enter({{100, 100, block, 100001, ""}, {300, 300, blob, 100002, ""}});
  CInstance* b = ById(100001);
  CInstance* h = ById(100002);
  struct Row {
    const char* expr;
    double want;
  };
  const Row rows[] = {
      {"collision_point(115.9, 100, block, false, false)", 100001},
      {"collision_point(116, 100, block, false, false)", -4},  // right edge is half-open
      {"collision_point(105, 105, all, true, false)", 100001},
      {"collision_point(105, 105, -1, false, false)", -4},  // self is not an object here
      {"collision_point(305, 305, blob, false, false)", 100002},
      {"collision_point(305, 305, blob, true, false)", -4},  // precise without images never hits
      {"instance_position(305, 305, blob)", -4},             // always precise
      {"instance_position(105, 105, block)", 100001},
      {"position_meeting(105, 105, block)", 1},
      {"position_empty(200, 200)", 1},
      {"position_empty(105, 105)", 0},
      {"collision_rectangle(116, 100, 130, 110, block, false, false)", -4},
      {"collision_rectangle(130, 110, 115.5, 100, block, false, false)", 100001},
      {"collision_circle(120, 120, 6, block, false, false)", -4},  // corner (115, 115) outside the circle
      {"collision_circle(120, 120, 8, block, false, false)", 100001},
      {"collision_ellipse(105, 60, 125, 101, block, false, false)", 100001},
      {"collision_ellipse(110, 60, 130, 101, block, false, false)", -4},  // no box corner inside
      {"collision_ellipse(116, 80, 140, 101, block, false, false)", -4},
      {"collision_line(90, 110, 110, 90, block, false, false)", 100001},
      {"collision_line(95, 130, 130, 95, block, false, false)", 100001},
      {"collision_line(105, 130, 130, 105, block, false, false)", -4},  // passes below the corner
      {"collision_line(250, 250, 350, 350, blob, false, false)", 100002},
      {"collision_line(250, 250, 350, 350, blob, true, false)", -4},
  };
  for (const Row& r : rows) EXPECT_EQ(V(b, r.expr), r.want) << r.expr;
  // notme leaves the caller out; without it the caller is found.
  EXPECT_EQ(V(b, "collision_point(105, 105, block, false, true)"), -4);
  EXPECT_EQ(V(h, "collision_point(105, 105, block, false, true)"), 100001);
  EXPECT_EQ(V(b, "collision_rectangle(0, 0, 400, 400, all, false, true)"), 100002);
  // place_meeting maps -1 to self's id but never finds self; position_meeting maps -1 too.
  EXPECT_EQ(V(b, "place_meeting(x, y, -1)"), 0);
  EXPECT_EQ(V(b, "position_meeting(105, 105, -1)"), 1);
  EXPECT_EQ(V(b, "position_meeting(105, 105, -2)"), 1);  // other is self here
}

TEST_F(MotionQueries, SearchesCountsAndChanges) {
  Enter({{0, 0, block, 100001, ""},
         {20, 0, block, 100002, ""},
         {-20, 0, block, 100003, ""},
         {200000, 0, block, 100004, ""},
         {50, 50, blob, 100005, ""}});
  CInstance* first = ById(100001);
  EXPECT_EQ(V(first, "instance_nearest(0, 0, block)"), 100001);
  EXPECT_EQ(V(first, "instance_nearest(0, 5, block)"), 100001);
  EXPECT_EQ(V(first, "instance_nearest(10, 0, block)"), 100001);  // tie with 100002: first in the list wins
  EXPECT_EQ(V(first, "instance_nearest(10, 0, all)"), 100001);
  EXPECT_EQ(V(first, "instance_nearest(150000, 0, block)"), 100004);
  EXPECT_EQ(V(first, "instance_nearest(0, 0, 100002)"), -4);        // an id finds nothing
  EXPECT_EQ(V(first, "instance_furthest(0, 0, block)"), 100004);
  EXPECT_EQ(V(first, "instance_furthest(200000, 0, block)"), 100003);
  EXPECT_EQ(V(first, "instance_furthest(0, 0, 100002)"), -4);
  // Further than 1e5 is never nearest (the search starts at 1e10 squared distance).
  EXPECT_EQ(V(first, "instance_nearest(0, 200000, block)"), -4);

  EXPECT_EQ(V(first, "instance_find(block, 0)"), 100001);
  EXPECT_EQ(V(first, "instance_find(block, 2.5)"), 100003);  // rounds to 2
  EXPECT_EQ(V(first, "instance_find(block, 4)"), -4);
  EXPECT_EQ(V(first, "instance_find(100002, 0)"), 100002);
  EXPECT_EQ(V(first, "instance_find(100002, 1)"), -4);
  EXPECT_EQ(V(first, "instance_find(all, 4)"), 100005);
  EXPECT_EQ(V(first, "instance_exists(blob)"), 1);
  EXPECT_EQ(V(first, "instance_exists(-1)"), 1);
  EXPECT_EQ(V(first, "instance_exists(100009)"), 0);
  EXPECT_EQ(V(first, "instance_number(block)"), 4);

  // Destroyed instances are not found any more, though listed until the step ends.
  Do(first, "with (100002) instance_destroy()");
  EXPECT_EQ(V(first, "instance_find(block, 1)"), 100003);
  EXPECT_EQ(V(first, "instance_nearest(20, 0, block)"), 100001);
  EXPECT_EQ(V(first, "instance_exists(100002)"), 0);

  // position_destroy and position_change act on every instance at the point.
  ById(100003)->SetPosition(5, 5);
  Do(first, "position_destroy(10, 10)");
  EXPECT_EQ(V(first, "instance_number(block)"), 1);  // only the far one is left
  Do(first, "position_change(200005, 5, blob, false)");
  EXPECT_EQ(V(first, "instance_number(blob)"), 2);
  EXPECT_EQ(V(first, "instance_exists(block)"), 0);
  EXPECT_TRUE(errors.empty());
  Do(first, "position_change(0, 0, 77, false)");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Asking to change into non-existing object: 77"), std::string::npos) << errors[0];
}

// Random worlds: every query with the per-object grids equals the plain walk of the list (same instance).
TEST_F(MotionQueries, IndexedSearchesEqualThePlainWalk) {
  const int parent = AddObject("parent");
  const int child = AddObject("child", parent);
  const int other = AddObject("other");
  std::vector<int> sprites;
  for (int s : {4, 9, 16, 33}) sprites.push_back(AddSprite(s, s));
  Obj(parent).sprite = sprites[1];
  Obj(child).sprite = sprites[2];
  Obj(other).sprite = sprites[0];
  Obj(other).solid = true;
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> pos(-40, 680);
  std::vector<RRoomInstance> placed;
  const int objects[] = {parent, child, other, block};
  for (int k = 0; k < 240; ++k)
    placed.push_back({static_cast<int>(pos(rng)), static_cast<int>(pos(rng) * 0.7), objects[k % 4], 100001 + k, ""});
  CLiveRoom* room = Enter(placed);
  // Depth order differs from creation order, and some instances are gone: list orders are not position orders.
  for (int k = 0; k < room->ActiveCount(); ++k) {
    CInstance* i = room->ActiveAt(k);
    i->depth = static_cast<double>(rng() % 7);
    i->SetSprite(sprites[rng() % sprites.size()]);
    if (rng() % 9 == 0) CLiveRoom::MarkDeleted(i);
  }
  room->SortByDepth();
  CInstance* self = room->ActiveAt(5);
  const char* selections[] = {"all", "parent", "child", "other", "block", "100007", "-1"};
  std::vector<std::string> queries;
  for (int q = 0; q < 40; ++q) {
    const int x = static_cast<int>(pos(rng)), y = static_cast<int>(pos(rng) * 0.7);
    const int w = static_cast<int>(rng() % 80), h = static_cast<int>(rng() % 80);
    const std::string sel = selections[q % 7];
    const std::string p = std::to_string(x) + ".5, " + std::to_string(y);
    const std::string r = std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(x + w) + ", " +
                          std::to_string(y + h);
    const std::string flags = q % 2 ? ", false, true)" : ", true, false)";
    queries.push_back("collision_point(" + p + ", " + sel + flags);
    queries.push_back("collision_rectangle(" + r + ", " + sel + flags);
    queries.push_back("collision_ellipse(" + r + ", " + sel + flags);
    queries.push_back("collision_line(" + r + ", " + sel + flags);
    queries.push_back("collision_circle(" + p + ", " + std::to_string(w) + ", " + sel + flags);
    queries.push_back("instance_place(" + p + ", " + sel + ")");
    queries.push_back("instance_position(" + p + ", " + sel + ")");
    queries.push_back("place_free(" + p + ") + 2 * place_empty(" + p + ") + 4 * position_empty(" + p + ")");
  }
  int hits = 0;
  for (const std::string& q : queries) {
    SetCollisionIndexEnabled(false);
    const double plain = V(self, q);
    SetCollisionIndexEnabled(true);
    const double indexed = V(self, q);
    ASSERT_EQ(indexed, plain) << q;
    hits += plain >= 100000;
  }
  EXPECT_GT(hits, 20);  // the queries do find things
}

// The ring search over filed positions gives the plain walk's nearest instance: ties (many equal distances on a
// coarse lattice) go to the first in list order, nothing beyond the 1e5 reach, and the filing follows moves,
// destroyed instances and new ones.
TEST_F(MotionQueries, NearestBySearchEqualsThePlainWalk) {
  const int child = AddObject("child", block);
  std::vector<RRoomInstance> placed;
  std::mt19937 rng(5);
  for (int k = 0; k < 700; ++k)
    placed.push_back({static_cast<int>(rng() % 40) * 16, static_cast<int>(rng() % 30) * 16, k % 3 ? block : child,
                      100001 + k, ""});
  CLiveRoom* room = Enter(placed);
  auto compare = [&](const char* when) {
    for (int q = 0; q < 300; ++q) {
      const double x = q % 5 == 0 ? static_cast<double>(rng() % 900) - 100 : (rng() % 80) * 8;
      const double y = q % 7 == 0 ? 150000.0 : (rng() % 60) * 8 + (q % 2 ? 0.5 : 0);
      for (int obj : {block, child}) {
        const CInstance* want = motion::NearestInstanceByScan(*room, obj, x, y);
        const CInstance* got = motion::NearestInstance(*room, obj, x, y);
        ASSERT_EQ(got, want) << when << " query " << x << "," << y << " obj " << obj;
      }
    }
  };
  compare("first");
  for (int k = 0; k < room->ActiveCount(); k += 3) room->ActiveAt(k)->SetPosition(rng() % 640, rng() % 480);
  for (int k = 1; k < room->ActiveCount(); k += 11) CLiveRoom::MarkDeleted(room->ActiveAt(k));
  compare("after moves and destroys");
  for (int k = 0; k < 50; ++k) AddRoomInstance(block, rng() % 640, rng() % 480);
  room->ActiveAt(4)->SetPosition(1e12, 0);
  compare("after creates");
}

}  // namespace
}  // namespace kv::test
