// End to end: a headless game asks its questions and fills its high-score table from the --answers file.
#include <cstdlib>

#include "graphics/bitmap_ops.h"

#include "../world/test_run_fixture.h"

namespace {

using DialogsGame = kvtest::RunGameTest;

TEST_F(DialogsGame, HeadlessGameAnswersFromTheScriptAndKeepsItsScores) {
  const std::string registry = (dir / "registry.sqlite").string();
  setenv("KV_REGISTRY", registry.c_str(), 1);
  Write("game.kvp", "[object obj_ask]\nevent create = create.kvs\n[room rm_only]\ninstance obj_ask 0 0\n");
  Write("create.kvs",
        "if (show_question('Play?')) show_debug_message('yes');"
        "show_debug_message(get_string('Name?', 'x'));"
        "score = 50; highscore_add_current();"
        "show_debug_message(highscore_name(1) + ' ' + string(highscore_value(1)));"
        "show_debug_message(string(show_message_ext('Pick', '&A', '', '&C')));"
        "game_end();");
  Write("answers.txt", "question yes\nstring \"Ann\"\nscore \"Zed\"\nmessage 3\n");
  const std::string game = Pack();
  const std::string answers = " --answers " + (dir / "project" / "answers.txt").string();
  kvtest::Result r = Play(game, "--steps 3" + answers);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "yes\nAnn\nZed 50\n3\n");
  // The table survives the run: a second run sees the first entry and puts an equal score behind it.
  r = Play(game, "--steps 3" + answers);
  EXPECT_EQ(r.out, "yes\nAnn\nZed 50\n3\n");
  unsetenv("KV_REGISTRY");
}

}  // namespace

namespace {

using SplashGame = kvtest::RunGameTest;

// Splashes without a window: the delay passes on the virtual clock, delay 0 waits for the scripted Escape, a
// missing file is the image message; show_info and the high-score table answer from the script.
TEST_F(SplashGame, HeadlessSplashesWaitOnTheClockAndTheScript) {
  const std::string picture = (dir / "project" / "pic.png").string();
  {
    const std::vector<uint8_t> png = kv::gfx::EncodePng(kv::CBitmap32::Make(200, 100, 0xFF336699));
    std::ofstream(picture, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
  }
  Write("game.kvp", "[object obj_splash]\nevent create = create.kvs\n[room rm_only]\ninstance obj_splash 0 0\n");
  Write("create.kvs",
        "t = current_time; splash_show_image('" + picture + "', 1500);"
        "show_debug_message('waited ' + string(current_time - t >= 1500));"
        "splash_show_image('" + (dir / "none.png").string() + "', 0);"
        "show_debug_message('after missing');"
        "t = current_time; show_image('" + picture + "', false, 0);"
        "show_debug_message('key ended it ' + string(keyboard_check(vk_escape)));"
        "highscore_show(10); show_debug_message(highscore_name(1) + ' ' + string(highscore_value(1)));"
        "game_end();");
  Write("answers.txt", "error ignore\nscore \"Kim\"\n");
  std::ofstream(dir / "input.txt") << "@5 keydown 27\n@6 keyup 27\n";
  const std::string registry = (dir / "registry.sqlite").string();
  setenv("KV_REGISTRY", registry.c_str(), 1);
  kvtest::Result r = Play(Pack(), "--steps 3 --virtual-clock --answers " + (dir / "project" / "answers.txt").string() +
                                      " --input " + (dir / "input.txt").string());
  unsetenv("KV_REGISTRY");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "waited 1\nafter missing\nkey ended it 0\nKim 10\n");
}

// The bundled demo headless: the opening question answers from the script, Escape shows the high-score table
// and ends the game.
TEST_F(SplashGame, BundledDemoAsksAndShowsTheTableOnEscape) {
  const std::string game = (dir / "demo.kvgame").string();
  ASSERT_EQ(kvtest::RunCommand(std::string(KV_BIN_DIR) + "/kvpack " + KV_SOURCE_DIR + "/demo " + game).exitCode, 0);
  std::ofstream(dir / "answers.txt") << "question no\n";
  std::ofstream(dir / "input.txt") << "@4 keydown 27\n@5 keyup 27\n";
  const std::string registry = (dir / "registry.sqlite").string();
  setenv("KV_REGISTRY", registry.c_str(), 1);
  kvtest::Result r = Play(game, "--steps 30 --answers " + (dir / "answers.txt").string() + " --input " +
                                    (dir / "input.txt").string());
  unsetenv("KV_REGISTRY");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.rfind("playing anyway\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("collected 0\nbest <nobody> 0\n"), std::string::npos) << r.out;
}

}  // namespace
