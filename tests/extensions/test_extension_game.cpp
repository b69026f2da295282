// End to end: the extension example game (script functions, constants, a native library found as the replacement
// of its Windows library) plays headless and prints what its functions returned; in secure mode it stops at the
// package's initialization function.
#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using kvtest::RunCommand;
using RunGame = kvtest::RunGameTest;

TEST_F(RunGame, ExtensionExamplePrintsWhatItsFunctionsReturned) {
  const std::string game = (dir / "ext.kvgame").string();
  ASSERT_EQ(RunCommand(std::string(KV_BIN_DIR) + "/kvpack " + KV_SOURCE_DIR + "/demo_extension " + game).exitCode, 0);
  const std::string env = std::string("KV_SECURE_MODE=0 KV_LIBRARY_PATH=") + KV_TESTEXT_DIR + " ";
  Result r = RunCommand(env + KV_BIN_DIR + "/kvrun " + game + " --headless --fast --steps 5");
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out,
            "init: package demo version 2\n"
            "greet: hello, world\n"
            "sum3: 6\n"
            "add: 42\n"
            "echo: native\n"
            "mix: 6.50 / kvt_mix_rs r1.5 s'abc'\n"
            "final: goodbye\n");
  // Secure mode: the initialization function is refused, which ends the game with a fatal error.
  r = RunCommand(env + KV_BIN_DIR + "/kvrun " + game + " --headless --fast --steps 5 --secure-mode 1");
  EXPECT_EQ(r.exitCode, 3) << r.out;
  EXPECT_EQ(r.out.find("greet"), std::string::npos) << r.out;
}

}  // namespace
