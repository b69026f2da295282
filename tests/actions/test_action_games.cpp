// Games made of actions written by kvpack and played headless by kvrun: relative and apply-to arguments, questions
// with NOT, else and blocks, the messages of the actions and an action whose function does not exist.
#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using ActionGame = kvtest::RunGameTest;

// Plays with stderr joined to stdout, so dialogs and load messages are in the log too.
Result PlayJoined(const std::string& game, const std::string& options) {
  return kvtest::RunCommand("sh -c '" + std::string(KV_BIN_DIR) + "/kvrun " + game +
                            " --headless --fast --seed 1 " + options + " 2>&1'");
}

TEST_F(ActionGame, ActionListsRunWithRelativeApplyToAndQuestions) {
  Write("game.kvp",
        "[object obj_a]\n"
        "action create = action_set_hspeed | 3\n"
        "action create = action_set_hspeed relative | 2\n"
        "action create = action_move | \"000000000\" | 7\n"
        "action create = code | show_debug_message(\"move0 \" + string(speed))\n"
        "action create = action_move | \"000010000\" | 7\n"
        "action create = code | show_debug_message(\"move4 \" + string(speed) + \" \" + string(direction))\n"
        "action create = action_set_alarm | 4 | 1\n"
        "action create = action_set_alarm relative | 4 | 1\n"
        "action create = action_set_alarm relative | 6 | 2\n"
        "action create = code | show_debug_message(\"alarms \" + string(alarm[1]) + \" \" + string(alarm[2]))\n"
        "action create = action_if_dice | 0.5\n"
        "action create = code | show_debug_message(\"dice\")\n"
        "action create = action_set_life | 1\n"
        "action create = action_set_life relative | -1\n"
        "action create = action_set_life relative | -1\n"
        "action create = code | show_debug_message(\"lives \" + string(lives))\n"
        "action create = action_if_variable not | 3 | 2 | 2\n"
        "action create = begin\n"
        "action create = code | show_debug_message(\"not larger\")\n"
        "action create = end\n"
        "action create = else\n"
        "action create = code | show_debug_message(\"larger\")\n"
        "action create = action_move_to apply=obj_b | 7 | 8\n"
        "action create = action_if_number | obj_b | 2 | 0\n"
        "action create = code | show_debug_message(\"two b\")\n"
        "action create = action_if_empty apply=obj_b | 0 | 0 | 0\n"
        "action create = code | show_debug_message(\"every b free\")\n"
        "action create = action_set_score relative | 10\n"
        "action create = action_set_score relative | 2.5\n"
        "action create = code | show_debug_message(\"score \" + string(score))\n"
        "action create = action_end_game\n"
        "action create = code | show_debug_message(\"not reached\")\n"
        "action other no_more_lives = code | show_debug_message(\"no more lives\")\n"
        "[object obj_b]\n"
        "action create = action_set_motion | 90 | 1\n"
        "action create = action_set_gravity other relative | 0 | 0.5\n"
        "[room rm]\n"
        "instance obj_b 0 0\ninstance obj_b 50 50\ninstance obj_a 10 10\n");
  Result r = Play(Pack(), "--steps 5");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out,
            "move0 5\nmove4 0 0\nalarms 8 6\ndice\nno more lives\nlives -1\nlarger\ntwo b\nevery b free\n"
            "score 12\n");
}

TEST_F(ActionGame, MessagesQuestionsAndUnknownActions) {
  Write("game.kvp",
        "[object obj_a]\n"
        "action create = action_message | \"Hello#World\\#1\"\n"
        "action create = action_if_question | \"Sure?\"\n"
        "action create = code | show_debug_message(\"yes\")\n"
        "action create = else\n"
        "action create = code | show_debug_message(\"no\")\n"
        "action step = action_nonsense | 1\n"
        "action step = code | show_debug_message(\"played on\")\n"
        "action step = action_partemit_burst | 0 | 0 | 5\n"
        "action step = action_webpage | \"http://localhost/\"\n"
        "action step = action_execute_script | run_it | \"ls\" | 0 | 0 | 0 | 0\n"
        "action step = action_end_game\n"
        "[script run_it]\nfile = run_it.kvs\n"
        "[room rm]\ninstance obj_a 0 0\n");
  Write("run_it.kvs", "execute_program(argument0, \"\", true); execute_shell(argument0, \"\");");
  Write("answers.txt", "message 1\nquestion yes\nerror ignore\nerror ignore\nerror ignore\nerror ignore\n"
                       "error ignore\n");
  Result r = PlayJoined(Pack(), "--steps 3 --secure-mode 1 --answers " + (dir / "project" / "answers.txt").string());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Failed to locate action function action_nonsense (action 1 of Step Event of object obj_a)"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Hello\nWorld#1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Sure?\n  -> yes\nyes\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("The particle emitter must first be created."), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("In secure mode you cannot open webpages."), std::string::npos) << r.out;
  // The unknown action does nothing and the list goes on; the script run by the action meets secure mode.
  EXPECT_NE(r.out.find("played on"), std::string::npos) << r.out;
  size_t refused = r.out.find("In Secure mode you cannot execute program ls");
  ASSERT_NE(refused, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("In Secure mode you cannot execute program ls", refused + 1), std::string::npos) << r.out;
}

}  // namespace
