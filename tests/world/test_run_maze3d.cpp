// End to end: the 3D maze demo plays headless through kvrun (walls, floor, fog, a light following the player,
// a model loaded from a file it exported) and draws the same frames on every run.
#include "test_run_fixture.h"

#include "graphics/bitmap_ops.h"

namespace {

using kvtest::Result;
using kvtest::RunCommand;
namespace fs = std::filesystem;
using RunGame = kvtest::RunGameTest;

TEST_F(RunGame, MazeDemoDrawsIn3DAndRepeatsItsFrames) {
  const std::string game = (dir / "maze.kvgame").string();
  ASSERT_EQ(RunCommand(std::string(KV_BIN_DIR) + "/kvpack " + KV_SOURCE_DIR + "/demo_maze3d " + game).exitCode, 0);
  std::ofstream(dir / "input.txt") << "@2 keydown 38\n@8 keyup 38\n@9 keydown 37\n";
  auto play = [&](const std::string& shot) {
    Result r = Play(game, "--steps 14 --input " + (dir / "input.txt").string() + " --screenshot 12:" + shot);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    auto image = kv::gfx::LoadImageFile(shot);
    EXPECT_TRUE(image.has_value());
    return image ? image->pixels : std::vector<uint32_t>{};
  };
  auto first = play((dir / "a.png").string());
  auto second = play((dir / "b.png").string());
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first, second);
  size_t drawn = 0;
  for (uint32_t p : first) drawn += (p & 0xFFFFFF) != 0;
  EXPECT_GT(drawn, first.size() / 4);  // walls and floor fill much of the frame
}

}  // namespace
