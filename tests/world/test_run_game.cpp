// End to end: games built with kvpack play headless through kvrun — the main loop, event dispatch, room changes,
// scripted input, drawing and screenshots.
#include "test_run_fixture.h"

#include "graphics/bitmap_ops.h"

namespace {

using kvtest::Result;
using kvtest::RunCommand;
namespace fs = std::filesystem;
using RunGame = kvtest::RunGameTest;

// The phases of one step run in their fixed order, and game_end ends the run with exit code 0.
TEST_F(RunGame, StepPhasesRunInOrderUntilTheGameEnds) {
  Write("game.kvp",
        "[object obj_logger]\n"
        "event create = create.kvs\n"
        "event step begin = begin.kvs\n"
        "event alarm 0 = alarm.kvs\n"
        "event step = step.kvs\n"
        "event step end = end.kvs\n"
        "[room rm_one]\n"
        "instance obj_logger 10 10\n");
  Write("create.kvs", "alarm[0] = 2; n = 0; show_debug_message('create');");
  Write("begin.kvs", "n += 1; show_debug_message('begin ' + string(n));");
  Write("alarm.kvs", "show_debug_message('alarm');");
  Write("step.kvs", "show_debug_message('step');");
  Write("end.kvs", "show_debug_message('end'); if (n == 2) game_end();");
  Result r = Play(Pack(), "");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "create\nbegin 1\nstep\nend\nbegin 2\nalarm\nstep\nend\n");
}

// A room change requested in the begin step skips the rest of that step; the next room starts afterwards, and
// persistent instances come along.
TEST_F(RunGame, RoomChangeSkipsTheRestOfTheStep) {
  Write("game.kvp",
        "[object obj_traveller]\n"
        "persistent = true\n"
        "event step begin = begin.kvs\n"
        "event step = step.kvs\n"
        "event other room_start = start.kvs\n"
        "[room rm_a]\n"
        "instance obj_traveller 0 0\n"
        "[room rm_b]\n");
  Write("begin.kvs", "if (room == rm_a) room_goto_next(); else game_end();");
  Write("step.kvs", "show_debug_message('never');");
  Write("start.kvs", "show_debug_message('start ' + string(room));");
  Result r = Play(Pack(), "");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "start 0\nstart 1\n");
}

// --steps ends a game that would run forever; --input keys reach keyboard and key press events.
TEST_F(RunGame, ScriptedKeysReachKeyboardEvents) {
  Write("game.kvp",
        "[object obj_keys]\n"
        "event keypress A = press.kvs\n"
        "event keyboard A = hold.kvs\n"
        "[room rm_one]\n"
        "instance obj_keys 0 0\n");
  Write("press.kvs", "show_debug_message('press');");
  Write("hold.kvs", "show_debug_message('hold');");
  std::ofstream(dir / "input.txt") << "# hold A during steps 2 and 3\n@2 keydown 65\n@4 keyup 65\n";
  Result r = Play(Pack(), "--steps 6 --input " + (dir / "input.txt").string());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "hold\npress\nhold\n");
}

// The bundled demo plays, changes rooms on Space and saves real rendered frames: the first room is framed by
// tiles over its scrolling backdrop; the second room is larger than the window and shown through a view.
TEST_F(RunGame, BundledDemoPlaysAndDraws) {
  const std::string game = (dir / "demo.kvgame").string();
  ASSERT_EQ(RunCommand(std::string(KV_BIN_DIR) + "/kvpack " + KV_SOURCE_DIR + "/demo " + game).exitCode, 0);
  std::ofstream(dir / "input.txt") << "@5 keydown 32\n@6 keyup 32\n";
  const std::string field = (dir / "field.png").string(), shot = (dir / "shot.png").string();
  Result r = Play(game, "--steps 20 --input " + (dir / "input.txt").string() + " --screenshot 3:" + field +
                            " --screenshot 15:" + shot);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("entered Korvane Runner demo: the second room"), std::string::npos) << r.out;
  ASSERT_TRUE(fs::exists(shot));
  EXPECT_GT(fs::file_size(shot), 1000u);  // a drawn frame, not an empty one

  // The left edge of the first room is a column of warm brown frame tiles (red over green over blue); inside it
  // is the dark blue backdrop.
  auto first = kv::gfx::LoadImageFile(field);
  ASSERT_TRUE(first);
  auto rgb = [](const kv::CBitmap32& b, int x, int y) {
    const uint32_t p = b.pixels[static_cast<size_t>(y) * b.width + x];
    return std::array<int, 3>{int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF)};
  };
  for (int y : {100, 200, 300}) {
    auto [red, green, blue] = rgb(*first, 8, y);
    EXPECT_TRUE(red > 120 && red > green && green > blue) << "frame at y " << y << ": " << red << " " << green << " " << blue;
  }
  // Below where the balls start and away from the ship and the tile clusters.
  for (auto [x, y] : {std::pair{100, 360}, std::pair{560, 350}, std::pair{150, 425}}) {
    auto [red, green, blue] = rgb(*first, x, y);
    EXPECT_TRUE(blue > red && red < 90) << "backdrop at " << x << "," << y << ": " << red << " " << green << " " << blue;
  }
  // The second room is 1280x960 but the window shows its 640x480 view.
  auto second = kv::gfx::LoadImageFile(shot);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->width, 640);
  EXPECT_EQ(second->height, 480);
}

}  // namespace
