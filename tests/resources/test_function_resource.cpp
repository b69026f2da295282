// Script functions while the game runs.
#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using RunGame = kvtest::RunGameTest;

// A failing script run through script_execute is reported again and its pending error cleared, so the next
// failure reports its own message instead of repeating the first.
TEST_F(RunGame, ScriptExecuteReportsEachFailureOnce) {
  Write("game.kvp",
        "[script scr_first]\nfile = first.kvs\n"
        "[script scr_second]\nfile = second.kvs\n"
        "[object obj_main]\nevent create = create.kvs\n"
        "[room rm_one]\ninstance obj_main 0 0\n");
  Write("first.kvs", "return first_missing;");
  Write("second.kvs", "return second_missing;");
  Write("create.kvs", "script_execute(scr_first); script_execute(scr_second); game_end();");
  std::ofstream(dir / "answers.txt") << "error ignore\nerror ignore\n";
  Result r = Play(Pack(), "--answers " + (dir / "answers.txt").string() + " 2>&1 | cat");
  const size_t first = r.out.find("first_missing");
  const size_t second = r.out.find("second_missing");
  ASSERT_NE(first, std::string::npos) << r.out;
  ASSERT_NE(second, std::string::npos) << r.out;
  EXPECT_LT(first, second);
  EXPECT_EQ(r.out.find("first_missing", second), std::string::npos) << r.out;
}

}  // namespace
