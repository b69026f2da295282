#pragma once
// Other programs, the command line, the environment, the process priority, the clipboard and the window handle
// for game code.
#include <string>
#include <vector>

namespace kv {

namespace plat {
class ISystem;
}

void RegisterSystemFunctions();

// The platform's system services (null: the fallback one of the process).
void SetSystemForFunctions(plat::ISystem* system);
plat::ISystem& SystemForFunctions();

// What parameter_string shows: 0 the game file, 1 … the arguments after "--" on the kvrun command line (UTF-8).
void SetProgramParameters(const std::string& program, const std::vector<std::string>& arguments);

// Splits a command line by the usual Windows rules: blanks separate arguments outside double quotes; 2n
// backslashes before a quote give n backslashes and the quote opens or closes; 2n+1 give n and a literal quote;
// "" inside quotes is a literal quote; other backslashes are literal.
std::vector<std::string> SplitCommandLine(const std::string& line);

}  // namespace kv
