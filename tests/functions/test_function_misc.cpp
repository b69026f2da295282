// Code run from strings and files, variables by name, and the system functions: other programs, the command line
// split, parameters, environment and clipboard.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "code/code_test_util.h"
#include "functions/function_file.h"
#include "functions/function_system.h"
#include "world/run_main.h"
#include "runner/runner_wiring.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class MiscFunctions : public test::LangTest {
 protected:
  void SetUp() override {
    LangTest::SetUp();
    RegisterAllBuiltinFunctions();
    ErrorSettings es;
    es.displayErrors = true;
    SetErrorSettings(es);
    ErrorHooks hooks;
    hooks.showErrorWindow = [this](const std::string& message, bool) {
      errors.push_back(message);
      return false;
    };
    SetErrorHooks(hooks);
  }
  void TearDown() override {
    SetErrorHooks({});
    LangTest::TearDown();
  }
  // The errors reported since the last call, each reduced to its last line, joined by "|".
  std::string Errors() {
    std::string out;
    for (const std::string& e : errors) {
      const size_t cut = e.rfind("\n", e.size() - 1);
      out += (out.empty() ? "" : "|") + (cut == std::string::npos ? e : e.substr(cut + 1));
    }
    errors.clear();
    return out;
  }
  std::vector<std::string> errors;
};

TEST_F(MiscFunctions, ExecuteStringPassesArgumentsAndReturnsItsValue) {
  EXPECT_EQ(Run("argument0 = 7; r = execute_string('return argument0 + 1;', 41); return string(r) + ','"
                " + string(argument0);"),
            "'42,7'");
  EXPECT_EQ(Run("return execute_string('x = 5;') + x;"), "5") << "no return gives 0; self is the caller's self";
  EXPECT_EQ(Run("return execute_string('return argument1 + argument15;', 1, 2);"), "2");
  EXPECT_EQ(Run("return execute_string();"), "0");
  EXPECT_EQ(Errors(), "");
}

TEST_F(MiscFunctions, ExecuteStringReportsErrorsAndTheCallerGoesOn) {
  EXPECT_EQ(Run("r = execute_string('x = '); return r + 1;"), "1");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("COMPILATION ERROR in string to be executed\r"), std::string::npos) << errors[0];
  errors.clear();
  EXPECT_EQ(Run("var a; a = 1; execute_string('return a;'); return 3;"), "3");
  ASSERT_EQ(errors.size(), 1u) << "the caller's var locals are not visible";
  EXPECT_NE(errors[0].find("Unknown variable a"), std::string::npos) << errors[0];
  errors.clear();
}

TEST_F(MiscFunctions, ExecuteFileJoinsItsLines) {
  const fs::path file = fs::temp_directory_path() / ("kv_exec_" + std::to_string(getpid()) + ".txt");
  std::ofstream(file, std::ios::binary) << "a = argument0;\r\nb = a * 2;\nreturn b;";
  EXPECT_EQ(Run("return execute_file('" + file.string() + "', 21);"), "42");
  EXPECT_EQ(Run("return execute_file('" + file.string() + ".missing');"), "0");
  EXPECT_EQ(Errors(), "Trying to execute non-existing file.");
  std::ofstream(file, std::ios::binary) << "return (;";
  Run("execute_file('" + file.string() + "');");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("COMPILATION ERROR in file to be executed\r"), std::string::npos);
  errors.clear();
  fs::remove(file);
}

TEST_F(MiscFunctions, VariablesByName) {
  EXPECT_EQ(Run("variable_global_set('lives_left', 3); return global.lives_left;"), "3");
  EXPECT_EQ(Run("return variable_global_exists('lives_left') + 10 * variable_global_exists('never_seen');"), "1");
  EXPECT_EQ(Run("return variable_global_exists('score');"), "0") << "built-ins are not global variables";
  EXPECT_EQ(Run("variable_global_array2_set('grid', 2, 3, 'x'); return global.grid[2, 3] + "
                "variable_global_array2_get('grid', 2, 3);"),
            "'xx'");
  EXPECT_EQ(Run("variable_global_array_set('list', 4, 9); return variable_global_array_get('list', 4);"), "9");
  EXPECT_EQ(Run("return variable_global_get('nothing_here');"), "0");
  EXPECT_EQ(Errors(), "");
  EXPECT_EQ(Run("return variable_global_array_get('list', -1);"), "0");
  EXPECT_EQ(Errors(), "Array index >= 32000");
  EXPECT_EQ(Run("variable_global_array2_set('list', 1, 32000, 5); return 1;"), "1");
  EXPECT_EQ(Errors(), "Array index >= 32000");

  EXPECT_EQ(Run("speed_up = 2; return variable_local_get('speed_up') + variable_local_exists('speed_up');"), "3");
  EXPECT_EQ(Run("return variable_local_exists('x') + variable_local_exists('not_a_local');"), "1");
  EXPECT_EQ(Run("variable_local_set('x', 12); return x;"), "12");
  EXPECT_EQ(Run("variable_local_array_set('arr', 2, 'two'); return arr[2];"), "'two'");
  EXPECT_EQ(Run("variable_local_array2_set('m', 1, 1, 6); return variable_local_array2_get('m', 1, 1);"), "6");
  const std::string idBefore = Run("return id;");
  EXPECT_EQ(Run("variable_local_set('id', 5); return id;"), idBefore);
  EXPECT_EQ(Errors(), "") << "writing a read-only built-in changes nothing and reports nothing";
  SetUninitializedZero(true);
  EXPECT_EQ(Run("return variable_global_exists('zz_none') + variable_local_exists('zz_none');"), "2");
}

TEST(CommandLine, SplitsByWindowsRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine(""), V{});
  EXPECT_EQ(SplitCommandLine("  a  b\tc "), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine("\"two words\" x"), (V{"two words", "x"}));
  EXPECT_EQ(SplitCommandLine("say\" hi \"there"), (V{"say hi there"}));
  EXPECT_EQ(SplitCommandLine(R"(a\\b "c\\" \"q\" d\\\"e)"), (V{R"(a\\b)", R"(c\)", R"("q")", R"(d\"e)"}));
  EXPECT_EQ(SplitCommandLine(R"("a ""quoted"" word")"), (V{R"(a "quoted" word)"}));
  EXPECT_EQ(SplitCommandLine("\"\""), (V{""}));
}

TEST_F(MiscFunctions, ExecuteProgramRunsARealChildAndWaits) {
  Game().secureMode = false;
  const fs::path base = fs::temp_directory_path() / ("kv_child_" + std::to_string(getpid()));
  const fs::path out = base.string() + ".txt", script = base.string() + ".sh";
  std::ofstream(script) << "sleep 0.2\nprintf '%s|%s|%s' \"$1\" \"$2\" \"$3\" > " << out.string() << "\n";
  // The arguments are split as a command line: quoted parts arrive whole, \" is a quote.
  EXPECT_EQ(Run("execute_program('/bin/sh', '" + script.string() + " \"first arg\" second \\\"q\\\"', true); return 1;"),
            "1");
  std::ifstream in(out);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, "first arg|second|\"q\"") << "the wait ended after the child did";
  fs::remove(out);
  fs::remove(script);
  Run("execute_program('no_such_program_kv', '', false);");
  EXPECT_EQ(Errors(), "Cannot execute no_such_program_kv");
  Run("execute_program('setup.exe', '/quiet', true);");
  EXPECT_EQ(Errors(), "Cannot execute setup.exe");
}

TEST_F(MiscFunctions, ParametersEnvironmentAndClipboard) {
  SetProgramParameters("/games/my game.kvgame", {"-level", "3", "caf\xC3\xA9"});
  EXPECT_EQ(Run("return string(parameter_count()) + '|' + parameter_string(0) + '|' + parameter_string(2) + '|' + "
                "parameter_string(3) + '|' + parameter_string(4) + '|' + parameter_string(-1);"),
            "'3|/games/my game.kvgame|3|caf\xE9||'");
  SetProgramParameters("", {});
  setenv("KV_TEST_VALUE", "x=1", 1);
  EXPECT_EQ(Run("return environment_get_variable('KV_TEST_VALUE') + environment_get_variable('kv_test_value') + "
                "environment_get_variable('KV_SURELY_UNSET');"),
            "'x=1x=1'");
  unsetenv("KV_TEST_VALUE");
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  GlobalVariables().SetValue(VariableIdOf("clip"), 0, RValue(all));
  EXPECT_EQ(Run("clipboard_set_text(global.clip); return clipboard_has_text() + (clipboard_get_text() == global.clip);"),
            "2");
  EXPECT_EQ(Run("return window_handle();"), "0") << "no window";
  EXPECT_EQ(Errors(), "");
}

}  // namespace
}  // namespace kv
