// The manual pages in docs/man: they format without a warning, and they describe every option the programs'
// own usage texts list, so a new option cannot be added without its entry in the page.
#include <regex>
#include <set>

#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using kvtest::RunCommand;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ManPage(const std::string& name) { return std::string(KV_SOURCE_DIR) + "/docs/man/" + name; }

// The page as a reader sees the option names: roff writes "-" as "\-".
std::string PageText(const std::string& name) {
  std::string text = ReadText(ManPage(name));
  for (size_t at; (at = text.find("\\-")) != std::string::npos;) text.erase(at, 1);
  return text;
}

// The long options a usage text names ("--steps N", "--audio device|null", ...).
std::set<std::string> OptionsIn(const std::string& usage) {
  std::set<std::string> found;
  const std::regex option("(^|[\\s\\[|])(--[a-z][a-z-]*)");
  for (auto it = std::sregex_iterator(usage.begin(), usage.end(), option); it != std::sregex_iterator(); ++it)
    found.insert((*it)[2].str());
  return found;
}

bool Mentions(const std::string& page, const std::string& option) {
  for (size_t at = page.find(option); at != std::string::npos; at = page.find(option, at + 1)) {
    const size_t end = at + option.size();
    if (end == page.size() || !(std::isalnum(static_cast<unsigned char>(page[end])) || page[end] == '-')) return true;
  }
  return false;
}

TEST(ManPages, FormatWithoutWarnings) {
  if (RunCommand("command -v groff").exitCode != 0) GTEST_SKIP() << "groff is not installed";
  for (const char* page : {"kvrun.1", "kvpack.1"}) {
    SCOPED_TRACE(page);
    // -ww turns on every warning; -z formats without output, so only the warnings are printed.
    Result r = RunCommand("(groff -man -ww -z " + ManPage(page) + " 2>&1)");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    const std::string text = PageText(page);
    for (const char* section : {".SH NAME", ".SH SYNOPSIS", ".SH DESCRIPTION", ".SH OPTIONS", ".SH EXIT STATUS",
                                ".SH ENVIRONMENT", ".SH FILES", ".SH EXAMPLES", ".SH SEE ALSO"})
      EXPECT_NE(text.find(section), std::string::npos) << section;
  }
}

TEST(ManPages, DescribeEveryOptionOfTheUsageTexts) {
  const struct {
    const char* program;
    const char* page;
  } pages[] = {{"kvrun", "kvrun.1"}, {"kvpack", "kvpack.1"}};
  for (const auto& p : pages) {
    SCOPED_TRACE(p.program);
    const Result usage = RunCommand("(" + std::string(KV_BIN_DIR) + "/" + p.program + " --help 2>&1)");
    const std::set<std::string> options = OptionsIn(usage.out);
    EXPECT_GE(options.size(), 3u) << usage.out;  // the usage text was read at all
    const std::string page = PageText(p.page);
    for (const std::string& option : options) EXPECT_TRUE(Mentions(page, option)) << option << " is not in " << p.page;
  }
}

}  // namespace
