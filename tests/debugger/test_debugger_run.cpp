// End to end: kvrun's --debug, --debug-watches and --debug-dump on a small game played headless.
#include "../world/test_run_fixture.h"

namespace {

using kvtest::RunCommand;

class DebuggerRun : public kvtest::RunGameTest {
 protected:
  std::string Read(const std::string& name) {
    std::ifstream f(dir / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
};

TEST_F(DebuggerRun, DumpHoldsGlobalsInstancesAndWatchesAtTheStep) {
  Write("game.kvp",
        "[game]\ndebug = true\n[object obj_ship]\nevent create = create.kvs\nevent step = step.kvs\n"
        "[room rm_space]\nspeed = 30\ninstance obj_ship 10 20\n");
  Write("create.kvs", "hspeed = 2; global.lap = 0; show_debug_message('ship ready');");
  Write("step.kvs", "global.lap += 1;");
  const std::string game = Pack();
  std::ofstream(dir / "watches.txt") << "obj_ship.x\r\nglobal.lap / 3\n\nx +\nobj_none.x\n";
  const std::string dump = (dir / "dump.txt").string();
  const kvtest::Result r = Play(game, "--steps 5 --debug-watches " + (dir / "watches.txt").string() +
                                          " --debug-dump 3:" + dump + " --debug-dump 9:" + (dir / "never.txt").string());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "ship ready\n");
  const std::string text = Read("dump.txt");
  EXPECT_EQ(text.rfind("[Global Variables]\nmouse_x:", 0), 0u) << text;
  EXPECT_NE(text.find("\nroom_speed:         30\n"), std::string::npos);
  EXPECT_NE(text.find("\nlap:                3\n"), std::string::npos);
  EXPECT_NE(text.find("\n[All Instances]\n   Id     Object Name    Sprite Name\n"
                      "____________________________________\n100001       obj_ship    <undefined>\n"),
            std::string::npos);
  EXPECT_NE(text.find("\n[Watches]\nobj_ship.x = 16\nglobal.lap / 3 = 1\nx + = COMPILE ERROR\nobj_none.x = "),
            std::string::npos)
      << text;
  EXPECT_FALSE(std::filesystem::exists(dir / "never.txt"));
}

TEST_F(DebuggerRun, OptionsAreCheckedAndTheFlagAloneRunsTheGame) {
  Write("game.kvp", "[object obj_a]\nevent create = create.kvs\nevent step = step.kvs\n[room rm]\ninstance obj_a 0 0\n");
  Write("create.kvs", "global.n = 0;");
  Write("step.kvs", "global.n += 1; if (global.n == 3) game_end();");
  const std::string game = Pack();
  EXPECT_EQ(Play(game, "--debug --steps 10").exitCode, 0);
  EXPECT_EQ(Play(game, "--debug-dump 3").exitCode, 2);
  EXPECT_EQ(Play(game, "--debug=1").exitCode, 2);
  EXPECT_EQ(Play(game, "--debug-watches").exitCode, 2);
}

// Scripted debugger actions: pause, single steps and resume by step number, questions answered from --answers.
TEST_F(DebuggerRun, ActionsRunAfterTheirStepAndAskThroughTheAnswers) {
  Write("game.kvp",
        "[object obj_a]\nevent create = create.kvs\nevent step = step.kvs\n[room rm]\ninstance obj_a 0 0\n");
  Write("create.kvs", "global.n = 0;");
  Write("step.kvs", "global.n += 1;");
  const std::string game = Pack();
  std::ofstream(dir / "answers.txt") << "string \"global.n * 10\"\nstring \"global.n = 100\"\n";
  const std::string dump = (dir / "dump.txt").string();
  const kvtest::Result r =
      Play(game, "--steps 6 --answers " + (dir / "answers.txt").string() +
                     " --debug-do 2:Pause --debug-do 2:Step --debug-do 3:add --debug-do 3:Step"
                     " --debug-do 4:Run --debug-do '4:Execute Code ...' --debug-dump 4:" + dump +
                     " --debug-dump 6:" + (dir / "end.txt").string());
  EXPECT_EQ(r.exitCode, 0);
  const std::string text = Read("dump.txt");
  EXPECT_NE(text.find("\nn:                  100\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[Watches]\nglobal.n * 10 = 1000\n"), std::string::npos) << text;
  EXPECT_NE(Read("end.txt").find("[Watches]\nglobal.n * 10 = 1020\n"), std::string::npos);

  // Paused with nothing to resume it: a headless game ends instead of waiting.
  EXPECT_EQ(Play(game, "--steps 50 --debug-do 3:Pause --debug-dump 3:" + dump).exitCode, 0);
  EXPECT_EQ(Play(game, "--debug-do 3:Jump").exitCode, 2);
}

}  // namespace
