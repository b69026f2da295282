// Motion planning: linear and potential steps and paths around obstacles (ending when boxed in), and grid paths
// with the fixed neighbour orders on mazes with known shortest routes.
#include "motion/motion_planning.h"
#include "motion_fixture.h"

namespace kv::test {
namespace {

class MotionPlanning : public MotionWorld {
 protected:
  void SetUp() override {
    MotionWorld::SetUp();
    walker = AddObject("walker");
    Obj(walker).sprite = AddSprite(8, 8);
    rock = AddObject("rock");
    Obj(rock).sprite = AddSprite(16, 60);
    Obj(rock).solid = true;
    slab = AddObject("slab");
    Obj(slab).sprite = AddSprite(40, 16);
    Obj(slab).solid = true;
    motion::SetPotentialSettings(30, 10, 3, true);
  }
  void TearDown() override {
    motion::DestroyAllGrids();
    MotionWorld::TearDown();
  }
  // The points of a path as "x,y" texts.
  std::vector<std::string> Points(CInstance* self, const std::string& path) {
    std::vector<std::string> out;
    const int n = static_cast<int>(V(self, "path_get_number(" + path + ")"));
    for (int k = 0; k < n; ++k) {
      const std::string i = std::to_string(k);
      out.push_back(RealToDebugString(V(self, "path_get_point_x(" + path + ", " + i + ")")) + "," +
                    RealToDebugString(V(self, "path_get_point_y(" + path + ", " + i + ")")));
    }
    return out;
  }
  int walker = -1, rock = -1, slab = -1;
};

TEST_F(MotionPlanning, StepsTowardAGoal) {
  CInstance* w = Enter({{0, 0, walker, 100001, ""}, {100, 70, rock, 100002, ""}})->ActiveAt(0);
  EXPECT_EQ(V(w, "mp_linear_step(3, 0, 5, false)"), 1);  // within one step: jumps onto the goal
  EXPECT_EQ(w->x, 3);
  EXPECT_EQ(V(w, "mp_linear_step(3, 0, 5, false)"), 1);  // at the goal: nothing moves
  EXPECT_EQ(V(w, "mp_linear_step(3, 40, 10, false)"), 0);
  EXPECT_EQ(w->y, 10);
  EXPECT_EQ(w->direction, 270);
  // Blocked: the instance stays, the answer is still about the distance.
  Do(w, "x = 80; y = 100");
  EXPECT_EQ(V(w, "mp_linear_step(200, 100, 20, false)"), 0);
  EXPECT_EQ(w->x, 80);
  EXPECT_EQ(V(w, "mp_linear_step_object(200, 100, 20, walker)"), 0);
  EXPECT_EQ(w->x, 100);  // only walkers count as obstacles now
  // Goal inside the rock within one step: reached (1) without moving.
  Do(w, "x = 96; y = 100");
  EXPECT_EQ(V(w, "mp_potential_step(100, 100, 10, false)"), 1);
  EXPECT_EQ(w->x, 96);
  // Facing away from the goal: the step may turn by maxrot only, so it leaves at 210, not at 0.
  Do(w, "x = 0; y = 300; direction = 180");
  EXPECT_EQ(V(w, "mp_potential_step(200, 300, 4, true)"), 0);
  EXPECT_EQ(w->direction, 210);
  EXPECT_LT(w->x, 0);
}

TEST_F(MotionPlanning, PotentialPathAroundAnObstacleAndBoxedIn) {
  CInstance* w = Enter({{20, 100, walker, 100001, ""}, {100, 70, rock, 100002, ""}})->ActiveAt(0);
  Do(w, "p = path_add(); direction = 0");
  EXPECT_EQ(V(w, "mp_linear_path(p, 200, 104, 4, false)"), 0);  // straight into the rock
  EXPECT_EQ(V(w, "mp_potential_path(p, 200, 104, 4, 4, false)"), 1);
  EXPECT_EQ(w->x, 20);  // the instance stays where it was
  EXPECT_EQ(w->y, 100);
  EXPECT_EQ(w->direction, 0);
  const std::vector<std::string> pts = Points(w, "p");
  ASSERT_GT(pts.size(), 10u);
  EXPECT_EQ(pts.front(), "20,100");
  EXPECT_EQ(pts.back(), "200,104");
  EXPECT_EQ(V(w, "path_get_closed(p)"), 0);
  // A tight length limit fails; bad arguments do nothing.
  EXPECT_EQ(V(w, "mp_potential_path(p, 200, 104, 4, 1, false)"), 0);
  EXPECT_EQ(V(w, "mp_potential_path(p, 200, 104, 4, 0.5, false)"), 0);
  EXPECT_EQ(V(w, "mp_linear_path(p, 200, 104, 0, false)"), 0);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(V(w, "mp_linear_path(99, 200, 104, 4, false)"), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Trying to assign to a non-existing path."), std::string::npos);

  // Boxed in by rocks on every side: the search ends, without success.
  Do(w, "x = 300; y = 300; instance_create(284, 274, rock); instance_create(308, 274, rock);"
        "instance_create(284, 283, slab); instance_create(284, 308, slab);");
  EXPECT_EQ(V(w, "place_free(x, y)"), 1);
  EXPECT_EQ(V(w, "mp_potential_path(p, 500, 300, 4, 100, false)"), 0);
  Do(w, "mp_potential_settings(30, 10, 3, false)");
  EXPECT_EQ(V(w, "mp_potential_path(p, 500, 300, 4, 100, false)"), 0);
  EXPECT_EQ(w->x, 300);
}

TEST_F(MotionPlanning, GridPathsFollowTheFixedOrders) {
  CInstance* w = Enter({{0, 0, walker, 100001, ""}})->ActiveAt(0);
  EXPECT_EQ(V(w, "mp_grid_create(0, 0, -1, 5, 10, 10)"), -1);
  EXPECT_EQ(V(w, "mp_grid_create(0, 0, 5, 5, 0, 10)"), -1);
  EXPECT_EQ(V(w, "mp_grid_create(0, 0, 5, 5, 10, -3)"), -1);
  // A maze of 5 x 5 cells of 10 pixels with one way through.
  Do(w, "g = mp_grid_create(0, 0, 5, 5, 10, 10); p = path_add();"
        "mp_grid_add_rectangle(g, 10, 0, 19, 39); mp_grid_add_rectangle(g, 30, 10, 39, 49);"
        "mp_grid_add_cell(g, 9, 9); mp_grid_clear_cell(g, -1, 0)");
  EXPECT_EQ(V(w, "g"), 0);
  EXPECT_EQ(V(w, "mp_grid_path(g, p, 5, 5, 45, 45, false)"), 1);
  const std::vector<std::string> maze = {"5,5",   "5,15",  "5,25",  "5,35",  "5,45",  "15,45",
                                         "25,45", "25,35", "25,25", "25,15", "25,5",  "35,5",
                                         "45,5",  "45,15", "45,25", "45,35", "45,45"};
  EXPECT_EQ(Points(w, "p"), maze);
  // Every label of the search is gone again.
  const motion::CGrid* grid = motion::GetGrid(0);
  for (int32_t c : grid->cells) EXPECT_LE(c, 0);
  EXPECT_EQ(std::count(grid->cells.begin(), grid->cells.end(), -1), 8);
  // Start or goal forbidden or outside: 0 and the path untouched.
  EXPECT_EQ(V(w, "mp_grid_path(g, p, 15, 5, 45, 45, false)"), 0);
  EXPECT_EQ(V(w, "mp_grid_path(g, p, 5, 5, 50, 45, true)"), 0);
  EXPECT_EQ(Points(w, "p"), maze);

  // An empty 3 x 3 grid: orthogonal routes prefer left, right, up, down; diagonals go through the centre.
  Do(w, "h = mp_grid_create(0, 0, 3, 3, 10, 10)");
  EXPECT_EQ(V(w, "h"), 1);
  EXPECT_EQ(V(w, "mp_grid_path(h, p, 5, 5, 25, 25, false)"), 1);
  EXPECT_EQ(Points(w, "p"), (std::vector<std::string>{"5,5", "5,15", "5,25", "15,25", "25,25"}));
  EXPECT_EQ(V(w, "mp_grid_path(h, p, 2, 3, 27, 28, true)"), 1);
  EXPECT_EQ(Points(w, "p"), (std::vector<std::string>{"2,3", "15,15", "27,28"}));
  // Two forbidden cells meeting at a corner block the diagonal between them.
  Do(w, "mp_grid_add_cell(h, 1, 0); mp_grid_add_cell(h, 0, 1)");
  EXPECT_EQ(V(w, "mp_grid_path(h, p, 5, 5, 15, 15, true)"), 0);
  // Destroying frees the lowest id for the next grid; missing grids are ignored.
  Do(w, "mp_grid_destroy(g); mp_grid_clear_all(g); mp_grid_add_cell(g, 0, 0)");
  EXPECT_EQ(V(w, "mp_grid_path(g, p, 5, 5, 15, 15, true)"), 0);
  EXPECT_EQ(V(w, "mp_grid_create(0, 0, 2, 2, 8, 8)"), 0);
}

TEST_F(MotionPlanning, GridCellsOfInstances) {
  CInstance* w = Enter({{0, 0, walker, 100001, ""}, {20, 5, rock, 100002, ""}})->ActiveAt(0);
  Do(w, "g = mp_grid_create(0, 0, 10, 10, 10, 10); mp_grid_add_instances(g, rock, false)");
  const motion::CGrid* grid = motion::GetGrid(0);
  // The rock covers x 20 ... 35 and y 5 ... 64: columns 2 and 3, rows 0 to 6.
  int forbidden = 0;
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < 10; ++j) {
      const bool want = i >= 2 && i <= 3 && j <= 6;
      EXPECT_EQ(grid->At(i, j) == -1, want) << i << "," << j;
      forbidden += grid->At(i, j) == -1;
    }
  EXPECT_EQ(forbidden, 14);
  Do(w, "mp_grid_clear_all(g); mp_grid_add_instances(g, -1, true)");
  EXPECT_EQ(grid->At(0, 0), -1);
  EXPECT_EQ(grid->At(1, 0), 0);
}

}  // namespace
}  // namespace kv::test
