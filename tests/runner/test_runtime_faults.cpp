// End to end: faults inside a running game. A fault abandons only the rest of its step, and a game ended by a
// fatal error exits with its own status so scripts can tell it from a game that finished.
#include "../world/test_run_fixture.h"

namespace {

using kvtest::Result;
using RuntimeFaults = kvtest::RunGameTest;

// An overflowing exp() in the step event: the end step never runs, yet every step is counted, so --steps ends
// the run (it used to spin on the same step forever).
TEST_F(RuntimeFaults, AFaultAbandonsOnlyTheRestOfItsStep) {
  Write("game.kvp",
        "[settings]\ndisplay_errors = false\n"
        "[object obj_fault]\n"
        "event create = create.kvs\n"
        "event step begin = begin.kvs\n"
        "event step = step.kvs\n"
        "event step end = end.kvs\n"
        "[room rm_one]\n"
        "instance obj_fault 0 0\n");
  Write("create.kvs", "n = 0;");
  Write("begin.kvs", "n += 1; show_debug_message(string(n));");
  Write("step.kvs", "x = exp(1000); show_debug_message('after the fault');");
  Write("end.kvs", "show_debug_message('end step');");
  Result r = Play(Pack(), "--steps 3");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "1\n2\n3\n");
}

// A room change requested before the fault still happens after the abandoned step.
TEST_F(RuntimeFaults, PendingRoomChangeSurvivesAFault) {
  Write("game.kvp",
        "[settings]\ndisplay_errors = false\n"
        "[object obj_fault]\n"
        "event step = step.kvs\n"
        "event other room_start = start.kvs\n"
        "[room rm_a]\n"
        "instance obj_fault 0 0\n"
        "[room rm_b]\n"
        "instance obj_fault 0 0\n");
  Write("step.kvs", "if (room == rm_a) { room_goto(rm_b); x = sqrt(-1); } else game_end();");
  Write("start.kvs", "show_debug_message('start ' + string(room));");
  Result r = Play(Pack(), "--steps 10");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "start 0\nstart 1\n");
}

struct FatalCase {
  const char* name;
  const char* settings;
  const char* step;
  const char* answers;  // empty: none
  int exitCode;
};

// Abort in the error window, abort-on-error and fatal messages end the game with exit status 3; an ignored
// error and a normal end give 0.
TEST_F(RuntimeFaults, FatalErrorsEndWithTheirOwnExitStatus) {
  const FatalCase cases[] = {
      {"last room", "", "room_goto_next();", "", 3},
      {"first room", "", "room_goto_previous();", "", 3},
      {"abort answered", "", "x = unknown_thing;", "error abort\n", 3},
      {"ignore answered", "", "n += 1; if (n == 2) game_end(); else x = unknown_thing;", "error ignore\n", 0},
      {"abort on error", "abort_on_error = true\n", "x = unknown_thing;", "error ignore\n", 3},
      {"errors only logged", "display_errors = false\n", "n += 1; if (n == 2) game_end(); else x = unknown_thing;",
       "", 0},
      {"normal end", "", "game_end();", "", 0},
  };
  for (const FatalCase& c : cases) {
    SCOPED_TRACE(c.name);
    Write("game.kvp", std::string("[settings]\n") + c.settings +
                          "[object obj_a]\nevent create = create.kvs\nevent step = step.kvs\n"
                          "[room rm_only]\ninstance obj_a 0 0\n");
    Write("create.kvs", "n = 0;");
    Write("step.kvs", c.step);
    std::string options = "--steps 5";
    if (*c.answers) {
      Write("answers.txt", c.answers);
      options += " --answers " + (dir / "project" / "answers.txt").string();
    }
    EXPECT_EQ(Play(Pack(), options).exitCode, c.exitCode);
  }
}

}  // namespace
