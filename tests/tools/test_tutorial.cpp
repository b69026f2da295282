// The tutorial's game (docs/tutorial/step1 … step4) as the reader builds it: every stage compiles without a
// warning, packs and plays headless, and does what the tutorial says that stage adds. The last stage replays the
// recorded game kept beside it and must end with the score the tutorial quotes.
#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using kvtest::RunCommand;
namespace fs = std::filesystem;

class Tutorial : public kvtest::RunGameTest {
 protected:
  static std::string Step(int n) { return std::string(KV_SOURCE_DIR) + "/docs/tutorial/step" + std::to_string(n); }

  // Checks the stage's code as the tutorial tells the reader to, then packs it into this test's directory.
  std::string PackStep(int n) {
    EXPECT_EQ(RunCommand(std::string(KV_BIN_DIR) + "/kvpack --check " + Step(n)).exitCode, 0) << "step " << n;
    const std::string game = (dir / ("step" + std::to_string(n) + ".kvgame")).string();
    EXPECT_EQ(RunCommand(std::string(KV_BIN_DIR) + "/kvpack " + Step(n) + " " + game).exitCode, 0) << "step " << n;
    return game;
  }

  void WriteFile(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
  }

  // Plays `steps` steps with the key script `input` and returns the value of the watch expression `watch` after
  // step `at`, as the debugger dumps it ("obj_basket.x = 46" gives "46"); empty when the run or the dump failed.
  std::string WatchAfter(const std::string& game, int steps, int at, const std::string& input,
                         const std::string& watch) {
    WriteFile("input.txt", input);
    WriteFile("watches.txt", watch + "\n");
    const fs::path dump = dir / ("dump" + std::to_string(at) + ".txt");
    Result r = Play(game, "--steps " + std::to_string(steps) + " --input " + (dir / "input.txt").string() +
                              " --debug-watches " + (dir / "watches.txt").string() + " --debug-dump " +
                              std::to_string(at) + ":" + dump.string());
    EXPECT_EQ(r.exitCode, 0);  // a run-time error would end a headless run with 3
    std::ifstream in(dump);
    std::string line;
    const std::string prefix = watch + " = ";
    while (std::getline(in, line))
      if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    return "";
  }

  static std::string RecordedGame() {
    std::ifstream in(Step(4) + "/play.txt", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

};

TEST_F(Tutorial, StepOneBasketMovesWithTheArrowsAndStaysInTheRoom) {
  const std::string game = PackStep(1);
  // Held left from the start it reaches the left wall (x 16, half its width) and stops there ...
  const std::string keys = "@1 keydown 37\n@40 keyup 37\n@41 keydown 39\n@46 keyup 39\n";
  EXPECT_EQ(WatchAfter(game, 60, 30, keys, "obj_basket.x"), "16");
  // ... then five steps of the right arrow move it 6 pixels each.
  EXPECT_EQ(WatchAfter(game, 60, 50, keys, "obj_basket.x"), "46");
}

TEST_F(Tutorial, StepTwoFruitFallsAndLeavesTheRoom) {
  const std::string game = PackStep(2);
  // A fruit every 40 steps from step 30 makes 7 by step 300; the ones that fell out of the room are gone.
  EXPECT_EQ(WatchAfter(game, 301, 300, "", "instance_number(obj_fruit)"), "3");
  EXPECT_EQ(WatchAfter(game, 301, 300, RecordedGame(), "score"), "0");  // nothing catches yet
}

TEST_F(Tutorial, StepThreeCaughtFruitScores) {
  const std::string game = PackStep(3);
  // The first part of the recorded game catches five fruit by step 300; without lives the game goes on.
  EXPECT_EQ(WatchAfter(game, 301, 300, RecordedGame(), "score"), "50");
}

TEST_F(Tutorial, StepFourRecordedGameEndsWithItsScore) {
  const std::string game = PackStep(4);
  // The game ends by itself when the third fruit is missed: exit code 0 and the score on stdout.
  Result r = Play(game, "--input " + Step(4) + "/play.txt");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Game over! Score: 60\n");
  // Without any key pressed no fruit is caught, and the game still ends.
  r = Play(game, "--steps 2000");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Game over! Score: 0\n");
}

}  // namespace
