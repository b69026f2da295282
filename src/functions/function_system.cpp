#include "functions/function_system.h"

#include <chrono>
#include <strings.h>
#include <thread>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_function.h"
#include "functions/file_names.h"
#include "functions/function_args.h"
#include "functions/function_file.h"
#include "graphics/graphics_window.h"
#include "platform/system.h"
#include "platform/text_codec.h"
#include "world/run_main.h"

namespace kv {
namespace {

using namespace fnargs;

plat::ISystem*& SystemSlot() {
  static plat::ISystem* system = nullptr;
  return system;
}

struct Parameters {
  std::string program;
  std::vector<std::string> arguments;
};
Parameters& Params() {
  static Parameters p;
  return p;
}

// Processes window messages while waiting, so the window stays responsive (io_handle does exactly that).
void PumpMessages() {
  static const int id = FindBuiltinFunction("io_handle");
  if (const RBuiltinFunction* fn = GetBuiltinFunction(id)) {
    RValue r, args[kMaxCallArgs];
    fn->handler(r, nullptr, nullptr, 0, args);
  }
}

bool IsWindowsProgram(const std::string& prog) {
  return prog.size() >= 4 && strcasecmp(prog.c_str() + prog.size() - 4, ".exe") == 0;
}

void FnExecuteProgram(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const std::string prog = Str(a, 0);
  const std::string arg = Str(a, 1);
  if (Game().secureMode) return ReportRuntimeError("In Secure mode you cannot execute program " + prog);
  FlushOpenFiles();
  std::vector<std::string> argv;
  if (!IsWindowsProgram(prog)) {
    // A name with a folder in it is a file of the game; a bare name is looked up on the search path.
    const auto host = HasPathSeparator(prog) ? HostPathOf(prog) : std::optional<std::string>(plat::Cp1252ToUtf8(prog));
    if (host) argv.push_back(*host);
  }
  if (argv.empty() || argv[0].empty()) return ReportRuntimeError("Cannot execute " + prog);
  for (const std::string& s : SplitCommandLine(arg)) argv.push_back(plat::Cp1252ToUtf8(s));
  plat::ISystem& sys = SystemForFunctions();
  const int64_t process = sys.Spawn(argv);
  if (process <= 0) return ReportRuntimeError("Cannot execute " + prog);
  if (!B(a, 2)) return;
  while (!sys.Finished(process)) {
    PumpMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void FnExecuteShell(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const std::string prog = Str(a, 0);
  if (Game().secureMode) return ReportRuntimeError("In Secure mode you cannot execute program " + prog);
  FlushOpenFiles();
  // Web addresses go to the opener as they are; documents by their host path.
  const bool address = prog.find("://") != std::string::npos || strncasecmp(prog.c_str(), "mailto:", 7) == 0;
  const auto target = address ? std::optional<std::string>(plat::Cp1252ToUtf8(prog)) : HostPathOf(prog);
  if (!target || target->empty() || !SystemForFunctions().ShellOpen(*target, plat::Cp1252ToUtf8(Str(a, 1))))
    ReportRuntimeError("Cannot execute " + prog);
}

}  // namespace

void SetSystemForFunctions(plat::ISystem* system) { SystemSlot() = system; }
plat::ISystem& SystemForFunctions() { return SystemSlot() ? *SystemSlot() : plat::FallbackSystem(); }

void SetProgramParameters(const std::string& program, const std::vector<std::string>& arguments) {
  Params() = {program, arguments};
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> out;
  size_t i = 0;
  const size_t n = line.size();
  while (i < n) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
      if (line[i] == '\\') {
        size_t slashes = 0;
        while (i < n && line[i] == '\\') ++slashes, ++i;
        if (i < n && line[i] == '"') {
          arg.append(slashes / 2, '\\');
          if (slashes % 2) {
            arg.push_back('"');
            ++i;
          }
          // An even count leaves the quote to the code below.
        } else {
          arg.append(slashes, '\\');
        }
        continue;
      }
      if (line[i] == '"') {
        if (quoted && i + 1 < n && line[i + 1] == '"') {
          arg.push_back('"');
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg.push_back(line[i++]);
    }
    out.push_back(std::move(arg));
  }
  return out;
}

void RegisterSystemFunctions() {
  Reg("execute_program", 3, FnExecuteProgram);
  Reg("execute_shell", 2, FnExecuteShell);
  Reg("parameter_count", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(static_cast<double>(Params().arguments.size()));
  });
  Reg("parameter_string", 1, KV_FN {
    KV_UNUSED_ARGS;
    const int n = I(a, 0);
    const Parameters& p = Params();
    std::string s;
    if (n == 0) s = p.program;
    else if (n > 0 && static_cast<size_t>(n) <= p.arguments.size()) s = p.arguments[static_cast<size_t>(n) - 1];
    r = RValue(plat::Utf8ToCp1252(s));
  });
  Reg("environment_get_variable", 1, KV_FN {
    KV_UNUSED_ARGS;
    const auto value = SystemForFunctions().Env(plat::Cp1252ToUtf8(Str(a, 0)));
    r = RValue(plat::Utf8ToCp1252(value.value_or(std::string())));
  });
  Reg("set_program_priority", 1, KV_FN { KV_UNUSED_ARGS; SystemForFunctions().SetProgramPriority(I(a, 0)); });
  Reg("window_handle", 0, KV_FN {
    KV_UNUSED_ARGS;
    const plat::IWindow* w = gfx::Win().window;
    r = RValue(w ? static_cast<double>(w->NativeHandle()) : 0.0);
  });
  Reg("clipboard_has_text", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(SystemForFunctions().ClipboardHasText() ? 1.0 : 0.0);
  });
  Reg("clipboard_get_text", 0, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(plat::Utf8ToCp1252(SystemForFunctions().ClipboardText()));
  });
  Reg("clipboard_set_text", 1, KV_FN {
    KV_UNUSED_ARGS;
    SystemForFunctions().SetClipboardText(plat::Cp1252ToUtf8(Str(a, 0)));
  });
  DescribeFunctions("System", {
      {"execute_program", "prog, arg, wait",
       "Starts program prog with the arguments arg; when wait is true, waits until it ends."},
      {"execute_shell", "prog, arg", "Opens prog (a program, document or address) with the system's handler."},
      {"parameter_count", "", "The number of command-line parameters given to the game."},
      {"parameter_string", "n", "Command-line parameter n (0 is the program itself)."},
      {"environment_get_variable", "name", "The value of the environment variable name, \"\" when unset."},
      {"set_program_priority", "priority", "Sets the priority of the game's process, -3 (lowest) to 3 (highest)."},
      {"window_handle", "", "The system's handle of the game window."},
      {"clipboard_has_text", "", "Whether the clipboard holds text."},
      {"clipboard_get_text", "", "The text on the clipboard."},
      {"clipboard_set_text", "str", "Puts str on the clipboard."},
  });
}

}  // namespace kv
