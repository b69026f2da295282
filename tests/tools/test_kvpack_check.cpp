// kvpack stores code with CR LF line ends and compiles it while packing: errors name the project file, line and
// column, both from `kvpack --check` and in the messages of a game played through kvrun.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kvpack_check.h"
#include "kvpack_cli.h"
#include "kvpack_project.h"

namespace kv::pack {
namespace {

namespace fs = std::filesystem;

struct Project {
  fs::path dir;
  explicit Project(const std::string& name) : dir(fs::path(::testing::TempDir()) / ("kvcheck_" + name)) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~Project() { fs::remove_all(dir); }
  void Write(const std::string& rel, const std::string& text) const {
    fs::create_directories((dir / rel).parent_path());
    std::ofstream(dir / rel, std::ios::binary) << text;
  }
  int Kvpack(std::vector<std::string> args, std::string& out, std::string& err) const {
    std::ostringstream o, e;
    const int code = RunKvpack(args, o, e);
    out = o.str();
    err = e.str();
    return code;
  }
};

// Runs a command and returns what it wrote to stdout and stderr together.
std::string RunBoth(const std::string& command, int& exitCode) {
  std::string out;
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  const int status = pclose(p);
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

TEST(KvpackCodeText, EveryLineEndBecomesCrLf) {
  EXPECT_EQ(StoredCodeText("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(StoredCodeText("\xEF\xBB\xBFx = 1;\n\n"), "x = 1;\r\n\r\n");
  EXPECT_EQ(StoredCodeText("s = \"\xC3\xA9\";"), "s = \"\xE9\";");  // UTF-8 source, CP-1252 in the game
}

TEST(KvpackCodeText, CompilerMessagesGiveEditorPositions) {
  CodeProblem p = ProblemFromCompilerMessage("Error in code at line 3:\r\n   x = ;\r\rat position 6: Unexpected symbol", false);
  EXPECT_EQ(p.line, 3);
  EXPECT_EQ(p.column, 5);  // the LF after the previous line's CR is not part of what an editor shows
  EXPECT_EQ(p.message, "Unexpected symbol");
  p = ProblemFromCompilerMessage("Error in code at line 1:\r   x = ;\r\rat position 5: Unexpected symbol", false);
  EXPECT_EQ(p.column, 5);
  p = ProblemFromCompilerMessage("Error in expression:1 +\r position 3: Unexpected end", true);
  EXPECT_EQ(p.line, 1);
  EXPECT_EQ(p.column, 3);
  p = ProblemFromCompilerMessage("Something plain", false);
  EXPECT_EQ(p.line, 0);
  EXPECT_EQ(p.file + p.Text(), ": Something plain");
}

// --check compiles scripts, event code, creation code, manifest code actions and action arguments, knowing the
// game's scripts, constants and resource names; it reports each failure and exits 1.
TEST(KvpackCheck, ReportsFileLineAndColumn) {
  Project p("errors");
  p.Write("game.kvp",
          "[constants]\nLIMIT = 3\n"
          "[script scr_ok]\nfile = scripts/scr_ok.kvs\n"
          "[script scr_bad]\nfile = scripts/scr_bad.kvs\n"
          "[object obj_a]\n"
          "event create = objects/a.kvs\n"
          "event step = objects/fine.kvs\n"
          "action draw = code | x = = 1\n"
          "action draw = action_set_hspeed | 1 +\n"
          "[room rm]\ninstance obj_a 0 0 rooms/inst.kvs\n");
  p.Write("scripts/scr_ok.kvs", "return scr_bad(LIMIT) + obj_a + rm;\n");
  p.Write("scripts/scr_bad.kvs", "var a;\r\na = 1;\r\na = nofunc(2);\r\n");
  p.Write("objects/a.kvs", "x = 1;\ny = 2;\nif (x { y = 3 }\n");
  p.Write("objects/fine.kvs", "with (obj_a) { x += LIMIT; }\nscr_ok();\n");
  p.Write("rooms/inst.kvs", "\n\n\n    z = 1 +;\n");
  std::string out, err;
  EXPECT_EQ(p.Kvpack({"--check", p.dir.string()}, out, err), 1);
  EXPECT_NE(err.find("scripts/scr_bad.kvs:3:5: Unknown function or script: nofunc\n"), std::string::npos) << err;
  EXPECT_NE(err.find("objects/a.kvs:3:7: "), std::string::npos) << err;
  EXPECT_NE(err.find("rooms/inst.kvs:4:12: "), std::string::npos) << err;
  EXPECT_NE(err.find("game.kvp:10: "), std::string::npos) << err;
  EXPECT_NE(err.find("game.kvp:11: "), std::string::npos) << err;
  EXPECT_EQ(err.find("scr_ok.kvs"), std::string::npos) << err;
  EXPECT_EQ(err.find("fine.kvs"), std::string::npos) << err;
  EXPECT_NE(err.find("kvpack: 5 errors in the code of "), std::string::npos) << err;

  // Packing reports the same problems as warnings and still writes the game.
  const std::string game = (p.dir / "out.kvgame").string();
  EXPECT_EQ(p.Kvpack({p.dir.string(), game}, out, err), 0);
  EXPECT_NE(err.find("kvpack: warning: objects/a.kvs:3:7: "), std::string::npos) << err;
  EXPECT_TRUE(fs::exists(game));

  p.Write("objects/a.kvs", "x = 1;\n");
  p.Write("scripts/scr_bad.kvs", "return argument0;\n");
  p.Write("rooms/inst.kvs", "z = 1;\n");
  p.Write("game.kvp", "[constants]\nLIMIT = 3\n[script scr_ok]\nfile = scripts/scr_ok.kvs\n"
                      "[script scr_bad]\nfile = scripts/scr_bad.kvs\n[object obj_a]\nevent create = objects/a.kvs\n"
                      "[room rm]\ninstance obj_a 0 0 rooms/inst.kvs\n");
  EXPECT_EQ(p.Kvpack({"--check", p.dir.string()}, out, err), 0) << err;
  EXPECT_NE(out.find(": no errors"), std::string::npos);
}

// Through kvrun, run-time and load-time compile errors name the line of the .kvs file.
TEST(KvpackCheck, RunnerErrorsNameTheSourceLine) {
  Project p("runner");
  p.Write("game.kvp", "[object obj_a]\nevent create = a.kvs\n[room rm]\ninstance obj_a 0 0\n");
  p.Write("a.kvs", "x = 1;\ny = 2;\nz = never_set + 1;\n");
  const std::string game = (p.dir / "g.kvgame").string();
  std::string out, err;
  ASSERT_EQ(p.Kvpack({p.dir.string(), game}, out, err), 0) << err;
  int code = -1;
  std::string shown = RunBoth(std::string(KV_BIN_DIR) + "/kvrun " + game + " --headless --fast --steps 2", code);
  EXPECT_NE(shown.find("Error in code at line 3:"), std::string::npos) << shown;
  EXPECT_NE(shown.find("never_set"), std::string::npos) << shown;
}

TEST(KvpackCli, VersionUsageCommentsAndColours) {
  Project p("cli");
  std::string out, err;
  EXPECT_EQ(p.Kvpack({"--version"}, out, err), 0);
  EXPECT_EQ(out.rfind("kvpack ", 0), 0u);
  for (const char* alone : {"--dump", "--check"}) {
    EXPECT_EQ(p.Kvpack({alone}, out, err), 2) << alone;
    EXPECT_NE(err.find(std::string("kvpack: ") + alone + " needs"), std::string::npos) << err;
    EXPECT_NE(err.find("usage: kvpack"), std::string::npos) << err;
  }

  // Trailing comments go; a '#' inside quotes or starting a colour stays.
  Manifest m = ParseManifest("[room r]  # the room\ncaption = \"a # b\" # note\ncolour = #FF8000 #orange?\n"
                             "instance obj 1 2 # player\n#whole line\n",
                             "x.kvp");
  ASSERT_EQ(m.sections.size(), 1u);
  EXPECT_EQ(m.sections[0].name, "r");
  ASSERT_EQ(m.sections[0].entries.size(), 3u);
  EXPECT_EQ(m.sections[0].entries[0].value, "a # b");
  EXPECT_EQ(m.sections[0].entries[1].value, "#FF8000 #orange?");  // "#orange?" is no comment: no blank after '#'
  EXPECT_EQ(m.sections[0].entries[2].key, "instance obj 1 2");
  EXPECT_EQ(TryParseInt("#FF8000"), 0x0080FF);
  EXPECT_EQ(TryParseInt("#0000ff"), 0xFF0000);
  EXPECT_EQ(TryParseInt("#FF80"), std::nullopt);
  EXPECT_EQ(TryParseInt("#GG0000"), std::nullopt);

  p.Write("game.kvp", "[settings]\noutside_color = #102030 # dark\n[room r] # first\ncolour = #FF0000\n");
  PackedGame packed = PackProject(p.dir.string());
  EXPECT_EQ(packed.game.settings.outsideColor, 0x302010);
  EXPECT_EQ(packed.game.resources.rooms.Get(0)->colour, 0x0000FF);
}

}  // namespace
}  // namespace kv::pack
