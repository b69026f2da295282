// Pop-up menus: the items of a menu text and the scripted answers of headless runs.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/headless/scripted_dialogs.h"

namespace kv::plat {
namespace {

TEST(PopupMenu, ItemsSkipSeparators) {
  struct Case {
    const char* text;
    std::vector<std::string> items;
  } cases[] = {
      {"New|-|Open|Quit", {"New", "Open", "Quit"}},
      {"One", {"One"}},
      {"-|A|-|-|B|-", {"A", "B"}},
      {"A||B", {"A", "", "B"}},  // an empty piece is still an item
      {"a-b|--", {"a-b", "--"}},
  };
  for (const auto& c : cases) EXPECT_EQ(MenuItems(c.text), c.items) << c.text;
}

TEST(PopupMenu, ScriptedAnswersInRangeOrNone) {
  const auto parsed = ParseDialogAnswers("menu 1\nmenu 3\nmenu -1\nany 0\n");
  ASSERT_TRUE(parsed.error.empty()) << parsed.error;
  std::ostringstream transcript;
  ScriptedDialogs dialogs(transcript, AnswerQueue(parsed.answers));
  const std::vector<std::string> items = MenuItems("New|-|Open|Quit");
  EXPECT_EQ(dialogs.PopupMenu(0, 0, items), 1);   // Open
  EXPECT_EQ(dialogs.PopupMenu(0, 0, items), -1);  // no fourth item: closed without a choice
  EXPECT_EQ(dialogs.PopupMenu(0, 0, items), -1);
  EXPECT_EQ(dialogs.PopupMenu(0, 0, items), 0);   // "any" answers a menu too
  EXPECT_EQ(dialogs.PopupMenu(0, 0, items), -1);  // nothing left: the default
  EXPECT_NE(transcript.str().find("Menu: New | Open | Quit\n  -> 1\n"), std::string::npos) << transcript.str();
  EXPECT_NE(transcript.str().find("  -> none (default)\n"), std::string::npos);
}

}  // namespace
}  // namespace kv::plat
