// Paths changed and read by game code, instances following paths under each end action, and time lines
// advancing at various speeds, with moments added and time lines deleted while they run.
#include "motion_fixture.h"
#include "world/object_class.h"
#include "world/path_follow.h"
#include "world/timeline_run.h"

namespace kv::test {
namespace {

class PathsAndTimeLines : public MotionWorld {
 protected:
  void SetUp() override {
    MotionWorld::SetUp();
    walker = AddObject("walker");
    Obj(walker).sprite = AddSprite(8, 8);
    line = AddPath({{0, 0, 100}, {100, 0, 100}}, false);
  }
  int AddPath(std::vector<RPathPoint> points, bool closed, int kind = 0) {
    auto p = std::make_unique<CPath>();
    p->points = std::move(points);
    p->closed = closed;
    p->kind = kind;
    return res.paths.Add("path" + std::to_string(res.paths.Count()), std::move(p));
  }
  // The motion phase of a step: the path step (end of path raised) and the move by the speeds.
  void Motion() {
    CLiveRoom* room = CurrentRoom();
    for (int k = 0; k < room->ActiveCount(); ++k) {
      CInstance* i = room->ActiveAt(k);
      i->ApplyFrictionAndGravity();
      if (i->pathIndex >= 0 && FollowPath(*i)) PerformEventFor(i, i, kEventOther, kOtherEndOfPath);
      i->SetPosition(i->x + i->hSpeed, i->y + i->vSpeed);
    }
  }
  // x after each of n steps.
  std::vector<double> Xs(CInstance* i, int n) {
    std::vector<double> xs;
    for (int k = 0; k < n; ++k) {
      Motion();
      xs.push_back(i->x);
    }
    return xs;
  }
  int walker = -1, line = -1;
};

TEST_F(PathsAndTimeLines, PathEditingAndReading) {
  CInstance* w = Enter({{0, 0, walker, 100001, ""}})->ActiveAt(0);
  const double p = V(w, "path_add()");
  EXPECT_EQ(p, res.paths.Count() - 1);
  EXPECT_EQ(res.paths.Name(static_cast<int>(p)), "__newpath" + std::to_string(static_cast<int>(p)));
  Do(w, "p = path_add(); path_add_point(p, 0, 0, 100); path_add_point(p, 100, 0, 50); "
        "path_add_point(p, 100, 100, 100); path_add_point(p, 0, 100, 100);");
  struct Row {
    const char* expr;
    double want;
  };
  const Row square[] = {
      {"path_get_length(p)", 400},   {"path_get_number(p)", 4},       {"path_get_closed(p)", 1},
      {"path_get_x(p, 0.125)", 50},  {"path_get_y(p, 0.5)", 100},     {"path_get_speed(p, 0.125)", 75},
      {"path_get_x(p, 7)", 0},       {"path_get_point_y(p, 2)", 100}, {"path_get_point_speed(p, 9)", 1},
      {"path_get_point_x(p, -1)", 0}, {"path_get_kind(p)", 0},        {"path_get_precision(p)", 4},
      {"path_exists(p)", 1},         {"path_exists(p + 1)", 0},       {"path_get_length(p + 1)", 0},
  };
  for (const Row& r : square) EXPECT_EQ(V(w, r.expr), r.want) << r.expr;
  Do(w, "path_set_closed(p, false); path_set_precision(p, 12); path_set_kind(p, 5)");
  EXPECT_EQ(V(w, "path_get_length(p)"), 300);
  EXPECT_EQ(V(w, "path_get_precision(p)"), 8);
  EXPECT_EQ(V(w, "path_get_kind(p)"), 0);
  // Transformations work around the centre of the points' box, (50, 50).
  Do(w, "path_mirror(p)");
  EXPECT_EQ(V(w, "path_get_point_x(p, 0)"), 100);
  Do(w, "path_mirror(p); path_flip(p)");
  EXPECT_EQ(V(w, "path_get_point_y(p, 0)"), 100);
  Do(w, "path_flip(p); path_rotate(p, 90)");
  EXPECT_NEAR(V(w, "path_get_point_x(p, 0)"), 0, 1e-9);  // (0, 0) turns to (0, 100)
  EXPECT_NEAR(V(w, "path_get_point_y(p, 0)"), 100, 1e-9);
  Do(w, "path_rotate(p, -90); path_scale(p, 2, 1); path_shift(p, 10, 20)");
  EXPECT_NEAR(V(w, "path_get_point_x(p, 1)"), 160, 1e-9);
  EXPECT_NEAR(V(w, "path_get_point_y(p, 1)"), 20, 1e-9);
  Do(w, "path_reverse(p)");
  EXPECT_NEAR(V(w, "path_get_point_x(p, 3)"), -40, 1e-9);
  Do(w, "path_clear_points(p); path_add_point(p, 1, 1, 100); path_insert_point(p, 0, 5, 5, 100); "
        "path_insert_point(p, 5, 9, 9, 100); path_change_point(p, 1, 2, 2, 30); path_append(p, p);");
  EXPECT_EQ(V(w, "path_get_number(p)"), 4);
  EXPECT_EQ(V(w, "path_get_point_speed(p, 3)"), 30);
  Do(w, "path_delete_point(p, 0); path_delete_point(p, 10);");
  EXPECT_EQ(V(w, "path_get_number(p)"), 3);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(V(w, "path_duplicate(p + 5)"), -1);
  Do(w, "path_delete(p + 5); path_append(p + 5, p); path_append(p, p + 5); path_assign(p + 5, p)");
  ASSERT_EQ(errors.size(), 5u);
  const char* messages[] = {"Trying to duplicate non-existing path.", "Trying to delete non-existing path.",
                            "Appending to non-existing path.", "Appending a non-existing path.",
                            "Error assigning a path."};
  for (int k = 0; k < 5; ++k) EXPECT_NE(errors[k].find(messages[k]), std::string::npos) << errors[k];
  // Assigning into a deleted slot fills it again.
  Do(w, "q = path_duplicate(p); path_delete(q); path_assign(q, p)");
  EXPECT_EQ(V(w, "path_get_number(q)"), 3);
}

TEST_F(PathsAndTimeLines, EndActionsOverSeveralLaps) {
  On(walker, kEventOther, kOtherEndOfPath, "wlog('end', x)");
  CInstance* w = Enter({{50, 50, walker, 100001, ""}})->ActiveAt(0);
  struct Case {
    int action;
    std::vector<double> xs;
  };
  // Speed 25 on a path of length 100: a quarter per step, landing exactly on each end.
  const Case cases[] = {
      {0, {75, 100, 125, 150, 150, 150}},
      {1, {75, 100, 125, 50, 75, 100, 125, 50}},
      {2, {75, 100, 125, 150, 175, 200, 225, 250}},
      {3, {75, 100, 125, 150, 125, 100, 75, 50, 75}},
  };
  for (const Case& c : cases) {
    w->SetPosition(50, 50);
    Do(w, "path_start(" + std::to_string(line) + ", 25, " + std::to_string(c.action) + ", false)");
    Log().clear();
    EXPECT_EQ(Xs(w, static_cast<int>(c.xs.size())), c.xs) << "end action " << c.action;
    EXPECT_EQ(w->y, 50);
    EXPECT_EQ(w->speed, 0);  // path motion leaves no speed behind
    EXPECT_FALSE(Log().empty()) << "end of path raised";
  }
  // The stop action leaves position 1 and no path; the overshoot stays with restart.
  Do(w, "x = 50; path_start(" + std::to_string(line) + ", 30, 1, false)");
  Xs(w, 4);
  EXPECT_NEAR(w->pathPosition, 0.2, 1e-12);
  Do(w, "path_start(" + std::to_string(line) + ", 30, 3, false)");
  Xs(w, 4);
  EXPECT_NEAR(w->pathPosition, 0.8, 1e-12);
  EXPECT_EQ(w->pathSpeed, -30);
  // path_end keeps the other fields.
  Do(w, "path_end()");
  EXPECT_EQ(w->pathIndex, -1);
  EXPECT_EQ(w->pathSpeed, -30);
}

TEST_F(PathsAndTimeLines, StartsAndScales) {
  CInstance* w = Enter({{500, 500, walker, 100001, ""}})->ActiveAt(0);
  const std::string p = std::to_string(line);
  // Absolute start at the end (negative speed): placed at the last point and followed where the path lies.
  Do(w, "path_start(" + p + ", -25, 0, true)");
  EXPECT_EQ(w->x, 100);
  EXPECT_EQ(w->y, 0);
  EXPECT_EQ(Xs(w, 3), (std::vector<double>{75, 50, 25}));
  // Relative start with negative speed: the path is shifted so that its start lies at the instance.
  Do(w, "x = 500; y = 500; path_start(" + p + ", -25, 0, false)");
  EXPECT_EQ(Xs(w, 2), (std::vector<double>{575, 550}));
  // A scale of 0 moves nothing and faults nothing; scale 2 doubles the path.
  Do(w, "x = 0; y = 0; path_start(" + p + ", 25, 1, false); path_scale = 0");
  EXPECT_EQ(Xs(w, 3), (std::vector<double>{0, 0, 0}));
  Do(w, "path_scale = 2");
  EXPECT_EQ(Xs(w, 2), (std::vector<double>{25, 50}));
  // Orientation turns the path: 90 degrees sends the line upward.
  Do(w, "x = 0; y = 0; path_start(" + p + ", 50, 0, false); path_orientation = 90");
  Motion();
  EXPECT_NEAR(w->x, 0, 1e-9);
  EXPECT_NEAR(w->y, -50, 1e-9);
  EXPECT_NEAR(w->direction, 90, 1e-9);
  // Missing or empty paths clear path_index.
  Do(w, "path_start(99, 5, 0, false)");
  EXPECT_EQ(w->pathIndex, -1);
  Do(w, "path_start(path_add(), 5, 0, false)");
  EXPECT_EQ(w->pathIndex, -1);
}

TEST_F(PathsAndTimeLines, SmoothPathsFollowTheirCurve) {
  const int smooth = AddPath({{0, 0, 100}, {100, 0, 100}, {100, 100, 100}, {0, 100, 100}}, true, 1);
  const int twoPoint = AddPath({{0, 0, 100}, {60, 80, 100}}, false, 1);
  CInstance* w = Enter({{0, 0, walker, 100001, ""}})->ActiveAt(0);
  EXPECT_EQ(V(w, "path_get_length(" + std::to_string(twoPoint) + ")"), 100);
  EXPECT_EQ(V(w, "path_get_x(" + std::to_string(twoPoint) + ", 0.5)"), 30);
  // The closed smooth square rounds its corners: shorter than the square, longer than the diamond of the side
  // midpoints, and inside the square all the way.
  const std::string s = std::to_string(smooth);
  const double len = V(w, "path_get_length(" + s + ")");
  EXPECT_GT(len, 4 * 50 * std::sqrt(2.0));
  EXPECT_LT(len, 400);
  Do(w, "x = 50; y = 0; path_start(" + s + ", 10, 1, true)");
  for (int k = 0; k < 200; ++k) {
    Motion();
    ASSERT_GE(w->x, 0);
    ASSERT_LE(w->x, 100);
    ASSERT_GE(w->y, 0);
    ASSERT_LE(w->y, 100);
  }
}

// ---- time lines ----

class TimeLines : public PathsAndTimeLines {
 protected:
  int AddTimeLine(std::vector<int> steps) {
    auto t = std::make_unique<CTimeLine>();
    for (int s : steps) {
      RMoment m;
      m.step = s;
      m.event.actions.push_back(CodeAction("wlog('m" + std::to_string(s) + "')"));
      t->moments.push_back(std::move(m));
    }
    return res.timelines.Add("tl" + std::to_string(res.timelines.Count()), std::move(t));
  }
  // The moments run by each of n steps, one string per step.
  std::vector<std::string> Steps(int n) {
    std::vector<std::string> out;
    for (int k = 0; k < n; ++k) {
      Log().clear();
      timeline::AdvanceTimeLines();
      std::string s;
      for (const std::string& l : Log()) s += (s.empty() ? "" : " ") + l;
      out.push_back(s);
    }
    return out;
  }
};

TEST_F(TimeLines, MomentsRunAsThePositionPassesThem) {
  const int t = AddTimeLine({0, 1, 2, 3});
  CInstance* w = Enter({{0, 0, walker, 100001, ""}})->ActiveAt(0);
  const std::string start = "timeline_index = " + std::to_string(t) + "; timeline_position = 0; ";
  Do(w, start + "timeline_speed = 1");
  EXPECT_EQ(Steps(5), (std::vector<std::string>{"m0", "m1", "m2", "m3", ""}));
  Do(w, start + "timeline_speed = 2.5");
  EXPECT_EQ(Steps(2), (std::vector<std::string>{"m0 m1 m2", "m3"}));
  Do(w, start + "timeline_speed = 0.5");
  EXPECT_EQ(Steps(4), (std::vector<std::string>{"m0", "", "m1", ""}));
  Do(w, start + "timeline_speed = 2");
  EXPECT_EQ(Steps(3), (std::vector<std::string>{"m0 m1", "m2 m3", ""}));
  Do(w, "timeline_position = 3; timeline_speed = -1");
  EXPECT_EQ(Steps(3), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(w->timelinePosition, 0);
  Do(w, "timeline_index = 77");  // no such time line: skipped
  EXPECT_EQ(Steps(1), (std::vector<std::string>{""}));
}

// A game that starts without time lines skips the walk over the instances; one added while it runs is advanced
// from the next step on, like any other.
TEST_F(TimeLines, AGameWithoutTimeLinesAdvancesOneAddedWhileRunning) {
  CInstance* w = Enter({{0, 0, walker, 100001, ""}})->ActiveAt(0);
  ASSERT_EQ(res.timelines.Count(), 0);
  Do(w, "timeline_index = 0; timeline_position = 0; timeline_speed = 1");  // names no time line yet
  EXPECT_EQ(Steps(1), (std::vector<std::string>{""}));
  EXPECT_EQ(w->timelinePosition, 0);
  const double added = V(w, "timeline_add()");
  const std::string tl = std::to_string(static_cast<int>(added));
  Do(w, "timeline_moment_add(" + tl + ", 0, \"wlog('first')\"); timeline_moment_add(" + tl +
            ", 1, \"wlog('second')\"); timeline_index = " + tl + "; timeline_position = 0");
  EXPECT_EQ(Steps(3), (std::vector<std::string>{"first", "second", ""}));
}

TEST_F(TimeLines, MomentsAddedAndDeletedWhileRunning) {
  const int t = AddTimeLine({0, 2});
  CInstance* w = Enter({{0, 0, walker, 100001, ""}})->ActiveAt(0);
  const std::string tl = std::to_string(t);
  Do(w, "timeline_index = " + tl + "; timeline_position = 0; timeline_speed = 1");
  EXPECT_EQ(Steps(1), (std::vector<std::string>{"m0"}));
  // A moment added at the current position runs in the next step; one added before it never does.
  Do(w, "timeline_moment_add(" + tl + ", 1, \"wlog('added')\"); timeline_moment_add(" + tl +
            ", 0, \"wlog('late')\")");
  EXPECT_EQ(Steps(2), (std::vector<std::string>{"added", "m2"}));
  EXPECT_EQ(timeline::FindMoment(*res.timelines.Get(t), 1), 1);
  EXPECT_EQ(res.timelines.Get(t)->moments.size(), 3u);
  // A moment that clears itself and deletes its own time line finishes its code; nothing else runs after.
  Do(w, "timeline_moment_add(" + tl + ", 3, \"timeline_moment_clear(" + tl + ", 3); timeline_delete(" + tl +
            "); wlog('still running')\"); timeline_moment_add(" + tl + ", 3, \"wlog('second action')\")");
  EXPECT_EQ(Steps(2), (std::vector<std::string>{"still running second action", ""}));
  EXPECT_FALSE(res.timelines.Exists(t));
  EXPECT_TRUE(errors.empty());
  Do(w, "timeline_delete(" + tl + ")");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("Trying to delete non-existing timeline."), std::string::npos);
  // Run-time time lines.
  const double added = V(w, "timeline_add()");
  EXPECT_EQ(res.timelines.Name(static_cast<int>(added)), "__newtimeline" + std::to_string(static_cast<int>(added)));
  EXPECT_EQ(V(w, "timeline_exists(" + std::to_string(static_cast<int>(added)) + ")"), 1);
}

}  // namespace
}  // namespace kv::test
