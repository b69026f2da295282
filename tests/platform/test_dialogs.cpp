#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

#include "platform/headless/dialog_answers.h"
#include "platform/headless/scripted_dialogs.h"
#include "platform/sdl/sdl_dialogs.h"

using namespace kv::plat;

TEST(DialogAnswers, ParsesKindsValuesQuotesAndComments) {
  const auto result = ParseDialogAnswers(
      "# answers for the test game\n"
      "\n"
      "message 1\r\n"
      "question yes\n"
      "  string \"Bob \\\"the\\\" Builder \\\\ x\"  \n"
      "integer -5\n"
      "open \"/tmp/with space.txt\"\n"
      "save \"\"\n"
      "error abort\n"
      "score ANN\n"
      "any no\n"
      "colour 255\n"
      "menu 2");
  ASSERT_EQ(result.error, "");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"message", "1"}, {"question", "yes"}, {"string", "Bob \"the\" Builder \\ x"},
      {"integer", "-5"}, {"open", "/tmp/with space.txt"}, {"save", ""}, {"error", "abort"},
      {"score", "ANN"}, {"any", "no"}, {"colour", "255"}, {"menu", "2"}};
  ASSERT_EQ(result.answers.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(result.answers[i].kind, expected[i].first);
    EXPECT_EQ(result.answers[i].value, expected[i].second);
  }
  EXPECT_EQ(result.answers[0].line, 3);
}

TEST(DialogAnswers, RejectsMalformedLinesWithTheirLineNumber) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"colour 1\nbutton 1", "line 2: unknown dialog kind \"button\""},
      {"question", "line 1: missing answer"},
      {"question maybe", "line 1: expected yes or no"},
      {"integer five", "line 1: expected a whole number"},
      {"integer 99999999999999999999", "line 1: expected a whole number"},
      {"message 1.5", "line 1: expected a whole number"},
      {"error retry", "line 1: expected ignore or abort"},
      {"\n\nstring \"open", "line 3: missing closing quote"},
      {"string \"a\" b", "line 1: text after the closing quote"},
  };
  for (const auto& [text, error] : cases) {
    const auto result = ParseDialogAnswers(text);
    EXPECT_EQ(result.error, error) << text;
    EXPECT_TRUE(result.answers.empty());
  }
}

TEST(DialogAnswers, QueueHandsOutAnswersOnlyToTheirKind) {
  AnswerQueue queue(ParseDialogAnswers("question no\nany yes\nmessage 1").answers);
  EXPECT_EQ(queue.Take("message"), std::nullopt);  // wrong kind: not consumed, counted
  EXPECT_EQ(queue.UnexpectedCount(), 1);
  EXPECT_EQ(queue.Take("question"), "no");
  EXPECT_EQ(queue.Take("open"), "yes");  // "any" fits every dialog
  EXPECT_EQ(queue.Take("message"), "1");
  EXPECT_EQ(queue.Take("message"), std::nullopt);
  EXPECT_EQ(queue.Remaining(), 0u);
  EXPECT_EQ(queue.UnexpectedCount(), 2);
}

TEST(ScriptedDialogs, TranscriptAndAnswers) {
  std::ostringstream out;
  ScriptedDialogs dialogs(out, AnswerQueue(ParseDialogAnswers("question no\nopen \"/g/game.exe\"\nopen \"\"").answers));

  dialogs.ShowMessage("game", "Error: Not a valid game file.");
  EXPECT_EQ(dialogs.MessageBox("game", "Switch?", MessageButtons::YesNo, MessageResult::Yes), MessageResult::No);
  EXPECT_EQ(dialogs.MessageBox("game", "Again?", MessageButtons::YesNo, MessageResult::Yes), MessageResult::Yes);

  FileDialogRequest request{FileDialogKind::Open, "Open game", "Game files|*.exe|All|*.*", "game.exe"};
  auto chosen = dialogs.FileDialog(request);
  EXPECT_EQ(chosen.status, FileDialogResult::Status::Chosen);
  EXPECT_EQ(chosen.path, "/g/game.exe");
  EXPECT_EQ(dialogs.FileDialog(request).status, FileDialogResult::Status::Cancelled);
  EXPECT_EQ(dialogs.FileDialog(request).status, FileDialogResult::Status::Unavailable);

  EXPECT_EQ(out.str(),
            "game: Error: Not a valid game file.\n"
            "game: Switch?\n  -> no\n"
            "game: Again?\n  -> yes (default)\n"
            "Open game: choose a file to open\n  -> \"/g/game.exe\"\n"
            "Open game: choose a file to open\n  -> cancel\n"
            "Open game: choose a file to open\n  -> no answer\n");
}

TEST(ScriptedDialogs, ErrorWindowAnswers) {
  std::ostringstream out;
  ScriptedDialogs dialogs(out, AnswerQueue(ParseDialogAnswers("error ignore\nerror ignore\nerror abort").answers));
  EXPECT_FALSE(dialogs.ErrorWindow("ERROR in\r\naction number 1\r\n", true));
  EXPECT_TRUE(dialogs.ErrorWindow("FATAL\rx", false));  // a fatal error cannot be ignored
  EXPECT_TRUE(dialogs.ErrorWindow("third", true));
  EXPECT_TRUE(dialogs.ErrorWindow("unscripted", true));  // Abort is the default
  EXPECT_EQ(out.str(),
            "Error Messages: ERROR in\naction number 1\n\n  -> ignore\n"
            "Error Messages: FATAL\nx\n  -> abort\n"
            "Error Messages: third\n  -> abort\n"
            "Error Messages: unscripted\n  -> abort (default)\n");
}

TEST(ScriptedDialogs, TranscriptIsUtf8) {
  std::ostringstream out;
  ScriptedDialogs dialogs(out, AnswerQueue());
  dialogs.ShowMessage("Caf\xE9", "\x80 5");
  EXPECT_EQ(out.str(), "Caf\xC3\xA9: \xE2\x82\xAC 5\n");
}

TEST(FileDialogs, FilterAndChooserArguments) {
  const auto filters = ParseFileFilter("Game files|*.exe;*.kvgame|All|*.*|Dangling");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].name, "Game files");
  EXPECT_EQ(filters[0].patterns, "*.exe;*.kvgame");
  EXPECT_TRUE(ParseFileFilter("").empty());

  const std::vector<std::string> open = {"zenity", "--file-selection", "--title=Open", "--filename=game.exe",
                                         "--file-filter=Game files | *.exe *.kvgame", "--file-filter=All | *"};
  EXPECT_EQ(ZenityFileArguments({FileDialogKind::Open, "Open", "Game files|*.exe;*.kvgame|All|*.*", "game.exe"}),
            open);
  const std::vector<std::string> save = {"zenity", "--file-selection", "--save", "--confirm-overwrite"};
  EXPECT_EQ(ZenityFileArguments({FileDialogKind::Save, "", "", ""}), save);
}

TEST(SdlDialogs, WithoutADisplayTheyFallBackToTheTranscript) {
  // Run with no display reachable; restore the environment afterwards.
  std::vector<std::pair<std::string, std::string>> saved;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    if (const char* value = std::getenv(name)) saved.emplace_back(name, value);
    unsetenv(name);
  }
  std::ostringstream captured;
  std::streambuf* original = std::cerr.rdbuf(captured.rdbuf());
  {
    SdlDialogs dialogs(AnswerQueue(ParseDialogAnswers("question no\nopen \"/x/g.exe\"").answers));
    dialogs.ShowMessage("game", "Error: Wrong version number.");
    EXPECT_EQ(dialogs.MessageBox("game", "Switch?", MessageButtons::YesNo, MessageResult::Yes), MessageResult::No);
    const auto chosen = dialogs.FileDialog({FileDialogKind::Open, "Open game", "", ""});
    EXPECT_EQ(chosen.status, FileDialogResult::Status::Chosen);
    EXPECT_EQ(chosen.path, "/x/g.exe");
    EXPECT_EQ(dialogs.FileDialog({}).status, FileDialogResult::Status::Unavailable);
    EXPECT_TRUE(dialogs.ErrorWindow("boom", true));
  }
  std::cerr.rdbuf(original);
  for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
  EXPECT_EQ(captured.str().find("game: Error: Wrong version number.\n"), 0u);
  EXPECT_NE(captured.str().find("Error Messages: boom\n  -> abort (default)\n"), std::string::npos);
}
