// End to end: the decisions of the main loop and the instance commands, played headless through kvrun — alarms,
// room order with persistent instances, restart, instance_change, the destroy guard, event_inherited, saved games.
#include "test_run_fixture.h"

namespace {

using kvtest::Result;
namespace fs = std::filesystem;
using RunWorld = kvtest::RunGameTest;

// An alarm set to 1 before the alarm phase reaches zero and fires in that same step.
TEST_F(RunWorld, AlarmSetToOneFiresInTheSameStep) {
  Write("game.kvp",
        "[object obj_a]\n"
        "event create = create.kvs\nevent step begin = begin.kvs\nevent alarm 3 = alarm.kvs\n"
        "event step end = end.kvs\n"
        "[room rm]\ninstance obj_a 0 0\n");
  Write("create.kvs", "n = 0;");
  Write("begin.kvs", "n += 1; if (n == 2) alarm[3] = 1;");
  Write("alarm.kvs", "show_debug_message('alarm ' + string(n));");
  Write("end.kvs", "if (n == 4) game_end();");
  Result r = Play(Pack(), "--steps 50");
  EXPECT_EQ(r.out, "alarm 2\n");
}

// Two instances log every phase they take part in; the log follows the fixed phase order, instances in list order.
TEST_F(RunWorld, PhasesOfOneStepForTwoInstances) {
  Write("game.kvp",
        "[object obj_a]\n"
        "event create = create.kvs\nevent step begin = begin.kvs\nevent alarm 0 = alarm.kvs\n"
        "event step = step.kvs\nevent step end = end.kvs\n"
        "[room rm]\ninstance obj_a 1 0\ninstance obj_a 2 0\n");
  Write("create.kvs", "alarm[0] = 1; me = x; show_debug_message('create ' + string(me));");
  Write("begin.kvs", "show_debug_message('begin ' + string(me));");
  Write("alarm.kvs", "show_debug_message('alarm ' + string(me));");
  Write("step.kvs", "show_debug_message('step ' + string(me));");
  Write("end.kvs", "show_debug_message('end ' + string(me)); if (me == 2) game_end();");
  Result r = Play(Pack(), "--steps 50");
  EXPECT_EQ(r.out,
            "create 1\ncreate 2\nbegin 1\nbegin 2\nalarm 1\nalarm 2\nstep 1\nstep 2\nend 1\nend 2\n");
}

// room_goto_next walks three rooms; the persistent instance travels along, the others stay behind.
TEST_F(RunWorld, RoomGotoNextAcrossThreeRoomsWithAPersistentInstance) {
  Write("game.kvp",
        "[object obj_p]\npersistent = true\n"
        "event other room_start = start.kvs\nevent step = step.kvs\n"
        "[object obj_q]\n"
        "[room rm_a]\ninstance obj_p 0 0\ninstance obj_q 0 0\n"
        "[room rm_b]\ninstance obj_q 0 0\ninstance obj_q 0 0\n"
        "[room rm_c]\n");
  Write("start.kvs",
        "show_debug_message(string(room) + ' p' + string(instance_number(obj_p)) + ' q' + "
        "string(instance_number(obj_q)));");
  Write("step.kvs", "if (room == room_last) game_end(); else room_goto_next();");
  Result r = Play(Pack(), "--steps 50");
  EXPECT_EQ(r.out, "0 p1 q1\n1 p1 q2\n2 p1 q0\n");
}

// A restart resets score, the rooms and the 3D models (they live until the game ends), keeps health and the
// motion-planning grids (a global table, like the data structures), and runs the create events again.
TEST_F(RunWorld, RestartClearsTheGameButKeepsHealth) {
  Write("game.kvp",
        "[object obj_a]\nevent create = create.kvs\nevent step = step.kvs\n"
        "[room rm]\ninstance obj_a 0 0\n");
  Write("create.kvs",
        "show_debug_message('create ' + string(score) + ' ' + string(instance_number(obj_a)) + ' m' +"
        "string(d3d_model_create()) + ' g' + string(mp_grid_create(0, 0, 4, 4, 8, 8)));");
  Write("step.kvs",
        "if (health == 100) { health = 50; score = 5; instance_create(0, 0, obj_a); game_restart(); }"
        "else { show_debug_message(string(score) + ' ' + string(health)); game_end(); }");
  Result r = Play(Pack(), "--steps 50");
  EXPECT_EQ(r.out, "create 0 1 m0 g0\ncreate 5 2 m1 g1\ncreate 0 1 m0 g2\n0 50\n");
}

// instance_change keeps the id and runs the old destroy and the new create event only when asked.
TEST_F(RunWorld, InstanceChangeWithAndWithoutEvents) {
  Write("game.kvp",
        "[object obj_a]\nevent create = a_create.kvs\nevent destroy = a_destroy.kvs\nevent step = a_step.kvs\n"
        "[object obj_b]\nevent create = b_create.kvs\nevent step end = b_end.kvs\n"
        "[room rm]\ninstance obj_a 1 0\ninstance obj_a 2 0\n");
  Write("a_create.kvs", "k = x; first = id;");
  Write("a_destroy.kvs", "show_debug_message('a destroy ' + string(k));");
  Write("a_step.kvs", "instance_change(obj_b, k == 1);");
  Write("b_create.kvs", "show_debug_message('b create ' + string(k) + ' ' + string(id == first));");
  Write("b_end.kvs",
        "show_debug_message('b ' + string(k) + ' ' + string(id == first) + ' ' + string(instance_number(obj_a)));"
        "if (k == 2) game_end();");
  Result r = Play(Pack(), "--steps 50");
  EXPECT_EQ(r.out, "a destroy 1\nb create 1 1\nb 1 1 0\nb 2 1 0\n");
}

// Destroying an instance that is being destroyed does nothing: directly, through with (all), or by a pair that
// destroys each other.
TEST_F(RunWorld, DestroyInsideDestroyIsANoOp) {
  Write("game.kvp",
        "[object obj_d]\nevent create = create.kvs\nevent destroy = destroy.kvs\n"
        "[object obj_ctl]\nevent step = step.kvs\nevent step end = end.kvs\n"
        "[room rm]\ninstance obj_ctl 0 0\ninstance obj_d 1 0\ninstance obj_d 2 0\n");
  Write("create.kvs", "k = x;");
  Write("destroy.kvs", "show_debug_message('destroy ' + string(k)); instance_destroy(); with (all) instance_destroy();");
  Write("step.kvs", "with (obj_d) if (k == 1) instance_destroy();");
  Write("end.kvs", "show_debug_message('never');");
  Result r = Play(Pack(), "--steps 3");
  // The controller itself is destroyed by with (all) too, so its end step never runs.
  EXPECT_EQ(r.out, "destroy 1\ndestroy 2\n");
}

// event_inherited runs the parent of the object that defines the running event: each level exactly once.
TEST_F(RunWorld, EventInheritedClimbsFromTheDefiningObject) {
  Write("game.kvp",
        "[object obj_base]\nevent create = base.kvs\n"
        "[object obj_mid]\nparent = obj_base\nevent create = mid.kvs\n"
        "[object obj_leaf]\nparent = obj_mid\nevent step = leaf.kvs\nevent other user2 = user.kvs\n"
        "[room rm]\ninstance obj_leaf 0 0\n");
  Write("base.kvs", "show_debug_message('base');");
  Write("mid.kvs", "show_debug_message('mid'); event_inherited();");
  Write("leaf.kvs", "event_user(2); event_perform(0, 0); game_end();");
  Write("user.kvs", "show_debug_message('user');");
  Result r = Play(Pack(), "--steps 50");
  EXPECT_EQ(r.out, "mid\nbase\nuser\nmid\nbase\n");
}

// ---- saved games ----

class RunSave : public kvtest::RunGameTest {
 protected:
  // Step 1 sets score 3 and asks for the save; step 2 prints the step count and score, then saves with score 9
  // and ends. A loaded save (taken in step 2) therefore prints "3 9"; a refused or missing one "2 3".
  std::string Game() {
    save = (dir / "slot.sav").string();
    Write("game.kvp",
          "[settings]\ndisplay_errors = false\n"
          "[object obj_a]\nevent create = create.kvs\nevent step = step.kvs\n"
          "[room rm]\ninstance obj_a 0 0\n");
    Write("create.kvs", "n = 0;");
    Write("step.kvs",
          "n += 1; if (n == 1) { score = 3; game_load('" + save + "'); } "
          "else { show_debug_message(string(n) + ' ' + string(score)); score = 9; game_save('" + save +
          "'); game_end(); }");
    return Pack();
  }
  std::vector<char> ReadSave() {
    std::ifstream f(save, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
  void WriteSave(const std::vector<char>& bytes) {
    std::ofstream(save, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
  }
  std::string save;
};

// Globals, instance variables and room state round trip; the loaded state is used from the next step on, and the
// rest of the step that asked for the load still runs.
TEST_F(RunSave, RoundTripOfGlobalsInstancesAndRooms) {
  const std::string file = (dir / "round.sav").string();
  Write("game.kvp",
        "[object obj_a]\nevent create = create.kvs\nevent step = step.kvs\n"
        "[room rm]\ninstance obj_a 0 0\ninstance obj_a 5 5\n");
  Write("create.kvs", "n = 0;");
  Write("step.kvs",
        "n += 1;"
        "if (n == 1 && x == 0) { global.g = 5; score = 7; x = 33; v[2] = 'hello'; tile_count = 1;"
        "  game_save('" + file + "'); score = 1; x = 0; global.g = 0; v[2] = 'gone'; instance_create(1, 1, obj_a);"
        "  game_load('" + file + "'); show_debug_message('asked ' + string(score)); }"
        "else if (n == 2 && x == 33) { show_debug_message(string(score) + ' ' + string(x) + ' ' + string(global.g) +"
        "  ' ' + v[2] + ' ' + string(instance_number(obj_a))); game_end(); }");
  Result r = Play(Pack(), "--steps 5");
  EXPECT_EQ(r.out, "asked 1\n7 33 5 hello 2\n");
}

// A missing save is silent; damaged, foreign and roomless saves are refused and the game goes on unchanged.
TEST_F(RunSave, BadSavesAreRefusedWithTheGameIntact) {
  const std::string game = Game();
  ASSERT_EQ(Play(game, "").out, "2 3\n");  // no save yet: silent, then saved
  const std::vector<char> good = ReadSave();
  ASSERT_GT(good.size(), 60u);
  auto poke = [&](size_t at, int32_t v) {
    std::vector<char> b = good;
    std::memcpy(b.data() + at, &v, 4);
    return b;
  };
  struct Case {
    const char* name;
    std::vector<char> bytes;
    const char* out;
  } cases[] = {
      {"intact", good, "3 9\n"},
      {"truncated", std::vector<char>(good.begin(), good.begin() + good.size() / 2), "2 3\n"},
      {"one byte short", std::vector<char>(good.begin(), good.end() - 1), "2 3\n"},
      {"other version", poke(0, 541), "2 3\n"},
      {"other game", poke(4, 12345), "2 3\n"},
      {"no current room", poke(8, 7), "2 3\n"},
      {"negative room", poke(8, -1), "2 3\n"},
      {"empty", {}, "2 3\n"},
  };
  for (const Case& c : cases) {
    WriteSave(c.bytes);
    EXPECT_EQ(Play(game, "").out, c.out) << c.name;
  }
}

// Saves go through a fresh temporary beside the target: a user's file named like an old-style temporary is never
// touched, a save that cannot replace its target leaves the target as it was, and no temporary stays behind.
TEST_F(RunSave, SavesNeverTouchOtherFilesAndLeaveNoTemporaries) {
  const std::string game = Game();
  ASSERT_EQ(Play(game, "").out, "2 3\n");
  const std::vector<char> before = ReadSave();
  std::ofstream(save + ".tmp") << "mine";
  EXPECT_EQ(Play(game, "").out, "3 9\n");
  EXPECT_NE(ReadSave(), before);  // replaced by the save of this run
  std::ifstream mine(save + ".tmp");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(mine), {}), "mine");

  // The target is a directory with a file in it: the save cannot replace it.
  fs::remove(save);
  fs::create_directories(save + "/inside");
  EXPECT_EQ(Play(game, "").out, "2 3\n");
  EXPECT_TRUE(fs::is_directory(save + "/inside"));
  int leftovers = 0;
  for (const auto& e : fs::directory_iterator(dir))
    leftovers += e.path().filename().string().find(".tmp") != std::string::npos &&
                 e.path().filename() != fs::path(save + ".tmp").filename();
  EXPECT_EQ(leftovers, 0);
}

}  // namespace
