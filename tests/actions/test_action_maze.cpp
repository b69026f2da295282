// End to end: the maze of demo_actions, made only of library actions (movement, solid walls, coins with score and
// sounds, an enemy taking a life, two rooms, the high-score table), plays headless from its input script to the
// log the demo keeps beside it.
#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using kvtest::RunCommand;
using ActionMaze = kvtest::RunGameTest;

TEST_F(ActionMaze, PlaysBothLevelsToTheRecordedLog) {
  const std::string demo = std::string(KV_SOURCE_DIR) + "/demo_actions";
  const std::string game = (dir / "maze.kvgame").string();
  ASSERT_EQ(RunCommand(std::string(KV_BIN_DIR) + "/kvpack " + demo + " " + game).exitCode, 0);
  std::ifstream in(demo + "/expected_log.txt", std::ios::binary);
  const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(expected.empty());
  // The high scores live in a registry of this run only, so every run starts from an empty table.
  Result r = Play(game, "--steps 200 --registry :memory: --input " + demo + "/input.txt --answers " + demo +
                            "/answers.txt");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, expected);
}

}  // namespace
