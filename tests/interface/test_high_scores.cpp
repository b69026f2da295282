// The high-score table: its encoding in the settings store, insertion and the functions games call, with the
// dialogs answered from a script.
#include <gtest/gtest.h>

#include <sstream>

#include "../functions/call_builtin.h"
#include "functions/function_dialogs.h"
#include "functions/function_registry.h"
#include "interface/high_scores.h"
#include "platform/headless/dialog_answers.h"
#include "platform/headless/scripted_dialogs.h"
#include "platform/registry.h"
#include "runner/runner_wiring.h"
#include "world/run_main.h"

namespace kv {
namespace {

using test::BuiltinCaller;
using test::S;

TEST(HighScoreEncoding, MatchesHandComputedTextsForTwoGames) {
  EXPECT_EQ(ui::EncodeScoreEntry({"A", 100}, 0), "GFACADAEAFAGAHAIAJAKALAMANAOAPBAFC");
  EXPECT_EQ(ui::EncodeScoreEntry({"A", 100}, 1000), "ENOKOLOMONOOOPPAPBPCPDPEPFPGPHPIDK");
  for (int32_t game : {0, 1000, -7, 2147483647}) {
    for (int32_t score : {0, 100, -1, -123456, 2147483647}) {
      const std::string text = ui::EncodeScoreEntry({"Ann \xE9", score}, game);
      EXPECT_EQ(text.size(), 2u * (5 + 16));
      EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOP"), std::string::npos) << text;
      const auto back = ui::DecodeScoreEntry(text, game);
      ASSERT_TRUE(back);
      EXPECT_EQ(*back, (ui::ScoreEntry{"Ann \xE9", score}));
    }
  }
  // Another game's entry decodes to other bytes.
  EXPECT_NE(ui::DecodeScoreEntry(ui::EncodeScoreEntry({"A", 100}, 0), 1000)->score, 100);
}

TEST(HighScoreEncoding, DamagedValuesReadAsMissingAndNamesAreBounded) {
  const std::string good = ui::EncodeScoreEntry({"Bob", 5}, 3);
  EXPECT_FALSE(ui::DecodeScoreEntry(good.substr(1), 3)) << "odd length";
  EXPECT_FALSE(ui::DecodeScoreEntry(good.substr(0, 20), 3)) << "shorter than the score";
  std::string bad = good;
  bad[4] = 'Q';
  EXPECT_FALSE(ui::DecodeScoreEntry(bad, 3));
  EXPECT_FALSE(ui::DecodeScoreEntry(std::string(514, 'A'), 3));
  EXPECT_TRUE(ui::DecodeScoreEntry(std::string(512, 'A'), 3));
  const std::string longName(300, 'x');
  EXPECT_EQ(ui::EncodeScoreEntry({longName, 1}, 3).size(), 512u);
}

TEST(HighScoreTable, EqualScoresStayAheadAndZeroNeverEnters) {
  ui::ScoreTable table;
  for (auto& e : table) e = {"<nobody>", 0};
  EXPECT_EQ(ui::InsertScore(table, "x", 0), 0);
  EXPECT_EQ(ui::InsertScore(table, "a", 300), 1);
  EXPECT_EQ(ui::InsertScore(table, "b", 200), 2);
  EXPECT_EQ(ui::InsertScore(table, "c", 100), 3);
  EXPECT_EQ(ui::InsertScore(table, "d", 100), 4);
  EXPECT_EQ(table[2].name, "c");
  EXPECT_EQ(table[3].name, "d");
  for (int i = 0; i < 6; ++i) ui::InsertScore(table, "m", 500);
  EXPECT_EQ(table[9].name, "d") << "rank 10 is pushed out";
  EXPECT_EQ(ui::InsertScore(table, "low", 50), 0);
}

class DialogFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    WireLanguage();
    SetRegistryStore(plat::OpenSqliteRegistry(":memory:"));
    Game().gameId = 4242;
    Game().score = 0;
  }
  void TearDown() override {
    SetDialogsForFunctions(nullptr);
    dialogs_.reset();
    SetRegistryStore(nullptr);
    Game().gameId = 0;
    Game().score = 0;
  }
  void Answer(const std::string& text) {
    const auto parsed = plat::ParseDialogAnswers(text);
    ASSERT_EQ(parsed.error, "");
    dialogs_ = std::make_unique<plat::ScriptedDialogs>(transcript, plat::AnswerQueue(parsed.answers));
    SetDialogsForFunctions(dialogs_.get());
  }
  std::ostringstream transcript;
  std::unique_ptr<plat::ScriptedDialogs> dialogs_;
  BuiltinCaller c;
};

TEST_F(DialogFunctions, MessagesQuestionsAndInputAnswerFromTheScript) {
  Answer("message 3\nmessage 0\nmessage 2\nquestion no\nquestion yes\nany 12a\ninteger 77\nstring \"Zoe\"\n");
  EXPECT_EQ(c.Real("show_message_ext", {S("Save?"), S("&Yes"), S(""), S("&No")}), 3);
  EXPECT_EQ(c.Real("show_message_ext", {S("Save?"), S("&Yes"), S(""), S("&No")}), 0);
  EXPECT_EQ(c.Real("show_message_ext", {S("Save?"), S("&Yes"), S(""), S("&No")}), 1)
      << "a hidden button cannot be chosen; the default stands";
  EXPECT_EQ(c.Real("show_question", {S("Again?")}), 0);
  EXPECT_EQ(c.Real("show_question", {S("Again?")}), 1);
  EXPECT_EQ(c.Real("get_integer", {S("How many?"), 4.6}), 5);
  EXPECT_EQ(c.Real("get_integer", {S("How many?"), 4.0}), 77);
  EXPECT_EQ(c.Str("get_string", {S("Name?"), S("def")}), "Zoe");
  EXPECT_EQ(c.Str("get_string", {S("Name?"), S("def")}), "def") << "no answer left: the default text";
  EXPECT_EQ(c.Real("get_color", {255.0}), -1);
  EXPECT_EQ(c.Str("get_open_filename", {S("Text|*.txt"), S("")}), "");
  EXPECT_NE(transcript.str().find("Message: Save?\n  [Yes] [No]\n  -> No\n"), std::string::npos) << transcript.str();
  c.Call("show_message", {S("Line 1#Line 2 \\#5")});
  EXPECT_NE(transcript.str().find("Message: Line 1\nLine 2 #5\n  [OK]"), std::string::npos) << transcript.str();
}

TEST_F(DialogFunctions, SettingsReportMissingResources) {
  c.Call("message_background", {99.0});
  c.Call("message_button", {99.0});
  ASSERT_EQ(c.errors.size(), 2u);
  EXPECT_NE(c.errors[0].find("Trying to set a non-existing message background"), std::string::npos);
  EXPECT_NE(c.errors[1].find("Trying to set a non-existing message button"), std::string::npos);
  c.Call("splash_show_image", {S("/no/such/image.png"), 0.0});
  c.Call("splash_show_video", {S(std::string(130, 'v')), 0.0});
  ASSERT_EQ(c.errors.size(), 4u);
  EXPECT_NE(c.errors[2].find("Image file not found."), std::string::npos);
  EXPECT_NE(c.errors[3].find("Video file not found (or name too long)."), std::string::npos);
}

TEST_F(DialogFunctions, HighScoresPersistPerGameAndTakeTypedNames) {
  Answer("score \"ANN\"\nscore \"BOB\"\nstring \"CY\"\n");
  EXPECT_EQ(c.Str("highscore_name", {1.0}), "<nobody>");
  c.Call("highscore_show", {100.0});
  EXPECT_EQ(c.Str("highscore_name", {1.0}), "ANN");
  EXPECT_EQ(c.Real("highscore_value", {1.0}), 100);
  EXPECT_EQ(c.Str("highscore_name", {2.0}), "<nobody>");
  EXPECT_EQ(c.Real("highscore_value", {2.0}), 0);
  Game().score = 100;
  c.Call("highscore_add_current");
  EXPECT_EQ(c.Str("highscore_name", {2.0}), "BOB") << "equal scores go behind";
  Game().score = 150;
  c.Call("highscore_add_current");
  EXPECT_EQ(c.Str("highscore_name", {1.0}), "CY") << "a string answer serves the name box too";
  c.Call("highscore_add", {S("DI"), 120.0});
  EXPECT_EQ(c.Str("highscore_name", {2.0}), "DI");
  EXPECT_EQ(c.Str("highscore_name", {0.0}), "<nobody>");

  Game().gameId = 4243;
  EXPECT_EQ(c.Real("highscore_value", {1.0}), 0) << "another game has its own table";
  Game().gameId = 4242;
  c.Call("highscore_clear");
  EXPECT_EQ(c.Real("highscore_value", {1.0}), 0);
  EXPECT_EQ(c.Str("highscore_name", {1.0}), "<nobody>");
  EXPECT_TRUE(c.errors.empty());
}

}  // namespace
}  // namespace kv
