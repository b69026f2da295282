// End to end: a headless game asks its questions and fills its high-score table from the --answers file.
#include <cstdlib>

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
