// Objects, rooms, backgrounds and fonts changed by game code while the game runs: existence checks and messages,
// parent changes and cycles, events added and cleared (also while they run), instances and tiles stored in rooms.
#include <filesystem>

#include "../motion/motion_fixture.h"
#include "graphics/background_main.h"
#include "graphics/font_main.h"
#include "resources/background_gradient.h"
#include "world/event_dispatch.h"
#include "world/object_class.h"

namespace kv::test {
namespace {

class RuntimeResources : public MotionWorld {
 protected:
  void SetUp() override {
    MotionWorld::SetUp();
    gfx::ClearBackgrounds();
    gfx::ClearFonts();
    base = AddObject("base");
    child = AddObject("child", base);
    third = AddObject("third");
    self = Enter({{0, 0, child, 100001, ""}})->ActiveAt(0);
  }
  void TearDown() override {
    gfx::ClearBackgrounds();
    gfx::ClearFonts();
    MotionWorld::TearDown();
  }
  std::string Text(const std::string& expr) {
    CCode code(expr, true);
    EXPECT_TRUE(code.Compile()) << expr;
    RValue result;
    EXPECT_TRUE(RunCode(self, self, &code, result)) << expr;
    return result.IsString() ? result.ToStdString() : "<real>";
  }
  void ExpectErrors(std::vector<std::string> want) {
    ASSERT_EQ(errors.size(), want.size());
    for (size_t k = 0; k < want.size(); ++k) EXPECT_NE(errors[k].find(want[k]), std::string::npos) << errors[k];
    errors.clear();
  }
  int base = -1, child = -1, third = -1;
  CInstance* self = nullptr;
};

struct Row {
  const char* expr;
  double want;
};

TEST_F(RuntimeResources, ObjectPropertiesAndAncestry) {
  Do(self, "object_set_sprite(third, 3); object_set_solid(third, 1); object_set_visible(third, 0);"
           "object_set_depth(third, -7); object_set_persistent(third, 1); object_set_mask(third, 2);"
           "object_set_depth(99, 5)");
  const Row rows[] = {
      {"object_get_sprite(third)", 3},      {"object_get_solid(third)", 1},     {"object_get_visible(third)", 0},
      {"object_get_depth(third)", -7},      {"object_get_persistent(third)", 1}, {"object_get_mask(third)", 2},
      {"object_get_sprite(99)", 0},         {"object_get_parent(child)", 0},  {"object_get_parent(base)", -1},
      {"object_get_parent(99)", -1},        {"object_exists(child)", 1},         {"object_exists(99)", 0},
      {"object_is_ancestor(child, base)", 1}, {"object_is_ancestor(base, child)", 0},
      {"object_is_ancestor(base, base)", 0}, {"object_is_ancestor(99, base)", -1},
  };
  for (const Row& r : rows) EXPECT_EQ(V(self, r.expr), r.want) << r.expr;
  EXPECT_EQ(Text("object_get_name(child)"), "child");
  EXPECT_EQ(Text("object_name(99)"), "");
  const double added = V(self, "object_add()");
  EXPECT_EQ(res.objects.Name(static_cast<int>(added)), "__newobject" + std::to_string(static_cast<int>(added)));
  Do(self, "object_delete(object_add()); object_delete(99)");
  ExpectErrors({"Trying to delete non-existing object."});
  EXPECT_TRUE(errors.empty());
}

TEST_F(RuntimeResources, ParentChangesRefuseCycles) {
  // Each refused change leaves the parents as they were.
  Do(self, "object_set_parent(base, base); object_set_parent(base, child); object_set_parent(child, 99)");
  ExpectErrors({"Creating a cycle in the parent relation.", "Creating a cycle in the parent relation.",
                "Setting a non-existing parent."});
  EXPECT_EQ(Obj(base).parent, -1);
  EXPECT_EQ(Obj(child).parent, base);
  // A new parent is seen by with (parent) and by events inherited from it at once.
  Do(self, "object_event_add(third, ev_other, ev_user0, 'wlog(\"third user 0\")');"
           "n = 0; with (third) n += 1; object_set_parent(child, third); m = 0; with (third) m += 1;"
           "event_user(0); object_set_parent(child, -1); event_user(0)");
  EXPECT_EQ(V(self, "n"), 0);
  EXPECT_EQ(V(self, "m"), 1);
  EXPECT_EQ(Log(), std::vector<std::string>({"third user 0"}));
  EXPECT_EQ(Obj(child).parent, -1);
  EXPECT_TRUE(errors.empty());
}

// A collision event with a parent applies to an object from the moment it gets that parent, and no longer once
// it loses it.
TEST_F(RuntimeResources, CollisionsFollowParentChanges) {
  const int loner = AddObject("loner");
  Obj(third).sprite = Obj(loner).sprite = AddSprite(8, 8);
  Do(self, "object_event_add(third, ev_collision, base, 'wlog(\"hit \" + object_get_name(other.object_index))');"
           "instance_create(0, 0, third); instance_create(4, 4, loner)");
  std::vector<std::string> hits;
  for (const char* parent : {"-1", "base", "-1"}) {
    Do(self, std::string("object_set_parent(loner, ") + parent + ")");
    Log().clear();
    DispatchCollisions();
    hits.push_back(Log().empty() ? "none" : Log().front());
  }
  EXPECT_EQ(hits, std::vector<std::string>({"none", "hit loner", "none"}));
  EXPECT_TRUE(errors.empty());
}

TEST_F(RuntimeResources, EventsAddedAndClearedWhileRunning) {
  Do(self, "object_event_add(child, ev_step, ev_step_normal, 'wlog(\"step \" + string(x))')");
  PerformEventFor(self, self, kEventStep, kStepNormal);
  EXPECT_EQ(Log(), std::vector<std::string>({"step 0"}));
  // Clearing the running event lets it finish; from the next event on it is gone.
  Log().clear();
  Do(self, "object_event_add(child, ev_step, ev_step_normal, 'object_event_clear(child, ev_step, ev_step_normal);"
           "wlog(\"after clear\")')");
  PerformEventFor(self, self, kEventStep, kStepNormal);
  PerformEventFor(self, self, kEventStep, kStepNormal);
  EXPECT_EQ(Log(), std::vector<std::string>({"step 0", "after clear"}));
  EXPECT_EQ(Obj(child).GetEvent(kEventStep, kStepNormal), nullptr);
  // An event that adds to itself runs its own actions only; the new one runs the next time.
  Log().clear();
  Do(self, "global.addcode = 'wlog(\"added\")';"
           "object_event_add(child, ev_step, ev_step_end, 'wlog(\"end\");"
           "object_event_add(child, ev_step, ev_step_end, global.addcode)')");
  PerformEventFor(self, self, kEventStep, kStepEnd);
  EXPECT_EQ(Log(), std::vector<std::string>({"end"}));
  Log().clear();
  PerformEventFor(self, self, kEventStep, kStepEnd);
  EXPECT_EQ(Log(), std::vector<std::string>({"end", "added"}));
  // Deleting the object that runs the event waits until the event has finished.
  Do(self, "object_event_add(third, ev_other, ev_user1, 'object_delete(third); wlog(\"still here\")')");
  Log().clear();
  Do(self, "event_perform_object(third, ev_other, ev_user1)");
  EXPECT_EQ(Log(), std::vector<std::string>({"still here"}));
  EXPECT_FALSE(res.objects.Exists(third));
  // Events outside the event table and missing objects change nothing.
  Do(self, "object_event_add(child, 11, 0, 'x = 1'); object_event_add(99, 0, 0, 'x = 1');"
           "object_event_clear(child, -1, 0)");
  EXPECT_TRUE(errors.empty());
}

TEST_F(RuntimeResources, RoomsKeepAddedInstancesAndTiles) {
  Do(self, "object_event_add(third, ev_create, 0, 'wlog(\"created at \" + string(x) + \",\" + string(y))')");
  const double r = V(self, "room_add()");
  const std::string rs = std::to_string(static_cast<int>(r));
  EXPECT_EQ(res.rooms.Name(static_cast<int>(r)), "__newroom" + rs);
  const double id = V(self, "room_instance_add(" + rs + ", 40, 50, third)");
  EXPECT_EQ(id, LastInstanceId());
  EXPECT_TRUE(Log().empty()) << "no create event before the room is entered";
  const double back = V(self, "background_create_color(16, 8, c_red, 1)");
  const std::string bs = std::to_string(static_cast<int>(back));
  // Nothing is stored for a missing room or object.
  for (const std::string& expr : std::vector<std::string>{"room_instance_add(99, 0, 0, third)", "room_instance_add(" + rs + ", 0, 0, 99)",
                                 "room_tile_add(99, " + bs + ", 0, 0, 16, 8, 0, 0, 10)"})
    EXPECT_EQ(V(self, expr), -1) << expr;
  EXPECT_EQ(res.rooms.Get(static_cast<int>(r))->instances.size(), 1u);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(V(self, "room_tile_add(" + rs + ", 77, 0, 0, 16, 8, 0, 0, 10)"), -1);
  ExpectErrors({"Background does not exist."});
  const double tile = V(self, "room_tile_add_ext(" + rs + ", " + bs + ", 0, 0, 16, 8, 5, 6, 10, 2, 3, 0.5)");
  EXPECT_EQ(tile, LastTileId());
  Do(self, "room_set_width(" + rs + ", 300); room_set_height(" + rs + ", 200); room_set_caption(" + rs +
               ", 'built'); room_set_background_color(" + rs + ", c_blue, 0); room_set_view_enabled(" + rs +
               ", 1); room_set_view(" + rs + ", 1, 1, 10, 20, 30, 40, 1, 2, 3, 4, 5, 6, 7, 8, -1);"
               "room_set_background(" + rs + ", 2, 1, 1, " + bs + ", 3, 4, 0, 1, 0.5, 0.25, 0.75);"
               "room_set_code(" + rs + ", 'wlog(\"room code\")'); room_set_view(" + rs + ", 8, 1, 0, 0, 1, 1, 0, 0,"
               " 1, 1, 0, 0, 0, 0, -1)");
  const CRoom& room = *res.rooms.Get(static_cast<int>(r));
  EXPECT_EQ(room.width, 300);
  EXPECT_EQ(room.caption, "built");
  EXPECT_FALSE(room.showColour);
  EXPECT_EQ(room.views[1].wView, 30);
  EXPECT_EQ(room.views[1].vSpeed, 8);
  EXPECT_EQ(room.backgrounds[2].background, back);
  EXPECT_EQ(room.backgrounds[2].vSpeed, 0.25);
  EXPECT_FALSE(room.backgrounds[2].hTiled);
  ASSERT_EQ(room.tiles.size(), 1u);
  EXPECT_EQ(room.tiles[0].alpha, 0.5);
  EXPECT_EQ(room.tiles[0].yScale, 3);
  // Entering the room runs the stored instance's create event and the new creation code.
  Do(self, "room_goto(" + rs + ")");
  SetPendingRoomChange(kNoRoomChange);
  LeaveRoom(false);
  EnterRoom(static_cast<int>(r), false);
  EXPECT_EQ(Log(), std::vector<std::string>({"created at 40,50", "room code"}));
  ASSERT_NE(CurrentRoom()->FindInstance(static_cast<int>(id)), nullptr);
  // Duplicates and assignments copy whole rooms; their failures report.
  const double copy = V(self, "room_duplicate(" + rs + ")");
  EXPECT_EQ(res.rooms.Get(static_cast<int>(copy))->instances.size(), 1u);
  Do(self, "room_instance_clear(" + std::to_string(static_cast<int>(copy)) + "); room_tile_clear(" +
               std::to_string(static_cast<int>(copy)) + "); room_duplicate(99); room_assign(99, 0)");
  EXPECT_TRUE(res.rooms.Get(static_cast<int>(copy))->instances.empty());
  EXPECT_EQ(res.rooms.Get(static_cast<int>(r))->instances.size(), 1u);
  ExpectErrors({"Trying to duplicate non-existing room.", "Error assigning a room."});
}

TEST_F(RuntimeResources, BackgroundsAndFonts) {
  const double b = V(self, "background_create_color(20, 10, c_red, 0)");
  const std::string bs = std::to_string(static_cast<int>(b));
  EXPECT_EQ(Text("background_get_name(" + bs + ")"), "__newbackground" + bs);
  const Row rows[] = {
      {"background_get_width(b)", 20}, {"background_get_height(b)", 10}, {"background_get_preload(b)", 0},
      {"background_get_width(99)", 0}, {"background_exists(99)", 0},     {"font_get_size(99)", 0},
      {"font_exists(0)", 0},           {"font_add_sprite(99, 32, 1, 0)", -1},
  };
  Do(self, "b = " + bs);
  for (const Row& r : rows) EXPECT_EQ(V(self, r.expr), r.want) << r.expr;
  EXPECT_EQ(Text("background_name(99)"), "");
  EXPECT_EQ(Text("font_get_fontname(99)"), "");
  EXPECT_EQ(Text("script_name(99)"), "");
  ExpectErrors({"Trying to create font from non-existing sprite."});

  const auto file = std::filesystem::temp_directory_path() / "kv_background_round_trip.png";
  Do(self, "g = background_create_gradient(8, 4, c_black, c_white, 0, 1); background_save(g, '" + file.string() +
               "'); h = background_add('" + file.string() + "', 0, 0, 1)");
  const CBackground* g = gfx::GetBackground(static_cast<int>(V(self, "g")));
  const CBackground* h = gfx::GetBackground(static_cast<int>(V(self, "h")));
  ASSERT_TRUE(g && h && h->image);
  EXPECT_EQ(g->image->pixels, h->image->pixels);
  std::filesystem::remove(file);

  Do(self, "background_replace(99, 'x.png', 0, 0, 0); background_delete(99); background_duplicate(99);"
           "background_assign(99, b); background_save(99, 'x.png'); background_save(b, '');"
           "font_replace(99, 'Sans', 10, 0, 0, 32, 127); font_replace_sprite(99, 0, 32, 1, 0);"
           "font_delete(99); r = background_add('missing.png', 0, 0, 0)");
  EXPECT_EQ(V(self, "r"), -1);
  ExpectErrors({"Trying to replace non-existing background.", "Trying to delete non-existing background.",
                "Trying to duplicate non-existing background.", "Error assigning a background.",
                "Trying to save non-existing background bitmap.",
                "Trying to save background bitmap to empty image file name.",
                "Trying to replace non-existing font.", "Trying to replace non-existing font.",
                "Trying to delete non-existing font."});
}

// The gradient kinds: colour at both ends and in the middle (red 0x0000FF to blue 0xFF0000, script colours).
TEST(BackgroundGradient, KindsRunFromTheFirstToTheSecondColour) {
  auto red = [](uint32_t p) { return static_cast<int>((p >> 16) & 255); };
  const CBitmap32 across = GradientImage(4, 2, 0, 0x0000FF, 0xFF0000);
  EXPECT_EQ(red(across.Pixel(0, 1)), 255);
  EXPECT_EQ(red(across.Pixel(2, 0)), 128);  // t = 2/4
  const CBitmap32 down = GradientImage(2, 4, 1, 0x0000FF, 0xFF0000);
  EXPECT_EQ(red(down.Pixel(1, 0)), 255);
  EXPECT_EQ(red(down.Pixel(1, 3)), 64);  // t = 3/4
  const CBitmap32 both = GradientImage(5, 1, 4, 0x0000FF, 0xFF0000);
  EXPECT_EQ(red(both.Pixel(0, 0)), 255);
  EXPECT_EQ(red(both.Pixel(2, 0)), 0);  // the middle column takes colour 2
  const CBitmap32 rect = GradientImage(6, 6, 2, 0x0000FF, 0xFF0000);
  EXPECT_EQ(red(rect.Pixel(0, 0)), 255);
  EXPECT_EQ(red(rect.Pixel(3, 3)), 85);  // g = 2 of n = 3
  const CBitmap32 none = GradientImage(0, -3, 9, 0x0000FF, 0xFF0000);
  EXPECT_EQ(none.width, 1);
  EXPECT_EQ(none.Pixel(0, 0), 0xFF000000u);
}

}  // namespace
}  // namespace kv::test
