// End to end: the same family program as a game's create event, packed with kvpack and played by kvrun; its line
// reaches stdout through show_debug_message.
#include <fstream>
#include <sstream>

#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using RunGame = kvtest::RunGameTest;

TEST_F(RunGame, CreateEventExercisingEachFamilyPrintsItsLine) {
  std::ifstream in(std::string(KV_SOURCE_DIR) + "/tests/functions/data/families.kvs");
  std::stringstream program;
  program << in.rdbuf();
  std::string code = program.str();
  const size_t ret = code.rfind("return s;");
  ASSERT_NE(ret, std::string::npos);
  code.replace(ret, 9, "show_debug_message(s); game_end();");
  Write("game.kvp", "[object obj_main]\nevent create = create.kvs\n[room rm_one]\ninstance obj_main 0 0\n");
  Write("create.kvs", code);
  Result r = Play(Pack(), "--steps 5");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "2.50|-3|    3.14|12.50|ELL|2|a+b+c|2|31|53|2001-02-28|5|five|a|13x|10\n");
}

}  // namespace
