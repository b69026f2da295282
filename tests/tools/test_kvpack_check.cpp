// kvpack stores code with CR LF line ends and compiles it while packing: errors name the project file, line and
// column, both from `kvpack --check` and in the messages of a game played through kvrun.
#include <gtest/gtest.h>

#include <algorithm>
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
  // The end of code that ends with a line break is that LF: column 1 of the line after, not a missing column.
  p = ProblemFromCompilerMessage("Error in code at line 2:\r   \n\r\rat position 1: Symbol } expected.", false);
  EXPECT_EQ(p.line, 2);
  EXPECT_EQ(p.column, 1);
  EXPECT_EQ(p.Text(), ":2:1: Symbol } expected.");
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

// The runner's message for an unknown variable TOKEN in code whose text (LF line ends, as the file holds it after
// kvpack dropped a byte order mark) is `text`: the line of the file, and the position as the runner counts it, one
// more than the editor's column after the first line (the LF of the CR LF before it counts).
std::string UnknownVariableMessage(const std::string& text, const std::string& token) {
  const size_t at = text.find(token);
  if (at == std::string::npos) return "no " + token + " in the text";
  const size_t lineStart = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
  const size_t lineEnd = std::min(text.find('\n', at), text.size());
  const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
  const int column = static_cast<int>(at - lineStart) + 1;
  return "Error in code at line " + std::to_string(line) + ":\r   " + (line > 1 ? "\n" : "") +
         text.substr(lineStart, lineEnd - lineStart) + "\r\rat position " + std::to_string(column + (line > 1)) +
         ": Unknown variable " + token;
}

// A run-time error in each kind of code a project holds is reported at the line of its file: scripts, object
// events, code actions and arguments written in the manifest, time line moments, instance and room creation code,
// and extension script functions (whose lines count from their "#define" line). With errors written to the log
// and not shown, one run reports them all.
TEST(KvpackCheck, RunnerErrorsPointIntoEveryKindOfCode) {
  Project p("positions");
  p.Write("game.kvp",
          "[settings]\ndisplay_errors = off\nwrite_errors = on\n"
          "[script scr_walk]\nfile = scripts/scr_walk.kvs\n"
          "[extension ext]\nfile = tools.kvs\nfunction tools_b =\n"
          "[object obj_a]\n"
          "event create = objects/a_create.kvs\n"
          "action create = code |   y = nope_inline + 1\n"
          "action create = action_set_hspeed | 1 + nope_arg\n"
          "event create = objects/a_create2.kvs\n"
          "event step = objects/a_step.kvs\n"
          "event step = objects/a_step2.kvs\n"
          "[timeline tl]\nmoment 1 = tl1.kvs\n"
          "[room rm]\ncreation = room.kvs\ninstance obj_a 0 0 inst.kvs\n");
  const std::string walk = "// walk\n\nvar a;\n\ta = nope_script;";
  const std::string create2 = "\n  q = nope_create;";
  const std::string step = "z = nope_step;";
  const std::string inst = "timeline_index = tl; timeline_running = true;\nw = nope_inst;";
  const std::string room = "\n   r = nope_room;";
  const std::string moment = "\n\n    t = nope_tl;";
  const std::string toolsB = "y = 2;\n\n  z = nope_ext;";  // the lines after "#define tools_b"
  p.Write("scripts/scr_walk.kvs", walk + "\n");
  p.Write("objects/a_create.kvs", "tools_b();\n");
  p.Write("objects/a_create2.kvs", "\r\n  q = nope_create;\r\n");  // CR LF files count the same
  p.Write("objects/a_step.kvs", "scr_walk();\n");
  p.Write("objects/a_step2.kvs", step + "\n");
  p.Write("inst.kvs", inst + "\n");
  p.Write("room.kvs", "\xEF\xBB\xBF" + room + "\n");  // a byte order mark is no character of the first line
  p.Write("tl1.kvs", moment + "\n");
  p.Write("tools.kvs", "// header\n#define tools_b\n" + toolsB + "\n");
  fs::create_directories(p.dir / "run");
  int code = -1;
  RunBoth("cd '" + (p.dir / "run").string() + "' && XDG_CACHE_HOME='" + (p.dir / "cache").string() + "' " +
              KV_BIN_DIR + "/kvrun " + p.dir.string() + " --headless --fast --steps 3",
          code);
  EXPECT_EQ(code, 0);
  std::stringstream log;
  log << std::ifstream(p.dir / "run" / "game_errors.log", std::ios::binary).rdbuf();
  const std::string shown = log.str();

  auto event = [](int action, const char* eventName, const char* object) {
    return "action number " + std::to_string(action) + "\r\nof " + eventName + "\r\nfor object " + object +
           ":\r\n\r\n";
  };
  const std::string expected[] = {
      event(1, "Create Event", "obj_a") + "In extension function tools_b:\r" +
          UnknownVariableMessage(toolsB, "nope_ext"),
      event(2, "Create Event", "obj_a") + UnknownVariableMessage("y = nope_inline + 1", "nope_inline"),
      event(3, "Create Event", "obj_a") + "Error in expression:1 + nope_arg\r position 5: Unknown variable nope_arg",
      event(4, "Create Event", "obj_a") + UnknownVariableMessage(create2, "nope_create"),
      event(1, " Step Event", "obj_a") + "In script scr_walk:\r" + UnknownVariableMessage(walk, "nope_script"),
      event(2, " Step Event", "obj_a") + UnknownVariableMessage(step, "nope_step"),
      "action number 1\r\nat time step 1\r\nof time line tl:\r\n\r\n" + UnknownVariableMessage(moment, "nope_tl"),
      event(1, "Create Event", "<undefined>") + UnknownVariableMessage(inst, "nope_inst"),
      event(1, "Create Event", "<undefined>") + UnknownVariableMessage(room, "nope_room"),
  };
  for (const std::string& e : expected) EXPECT_NE(shown.find(e), std::string::npos) << e << "\n---\n" << shown;
}

// Calls of extension functions and their constants resolve; the code of extension script functions is compiled
// too, its errors placed at the lines of the script file (counted from the function's "#define" line).
TEST(KvpackCheck, KnowsExtensionFunctionsAndChecksTheirCode) {
  Project p("extension");
  p.Write("game.kvp",
          "[extension ext]\n"
          "file = tools.kvs\nfunction tools_a =\nfunction tools_b = real -> real\nconstant TOOLS_MAX = 4\n"
          "file = lib.dll\nfunction lib_add = real real -> real\n"
          "[object obj_a]\nevent create = a.kvs\n[room rm]\ninstance obj_a 0 0\n");
  p.Write("a.kvs", "x = tools_a() + tools_b(TOOLS_MAX) + lib_add(1, 2);\n");
  p.Write("tools.kvs", "// tools\n#define tools_a\nreturn 1;\n#define tools_b\nvar v;\nv = argument0 + nofunc(1);\n");
  std::string out, err;
  EXPECT_EQ(p.Kvpack({"--check", p.dir.string()}, out, err), 1);
  EXPECT_NE(err.find("tools.kvs:6:17: Unknown function or script: nofunc\n"), std::string::npos) << err;
  EXPECT_EQ(err.find("a.kvs"), std::string::npos) << err;
  EXPECT_NE(err.find("kvpack: 1 error"), std::string::npos) << err;

  p.Write("tools.kvs", "// tools\n#define tools_a\nreturn 1;\n#define tools_b\nreturn argument0 * TOOLS_MAX;\n");
  EXPECT_EQ(p.Kvpack({"--check", p.dir.string()}, out, err), 0) << err;
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
