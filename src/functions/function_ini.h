#pragma once
// Ini files for game code: one open file at a time, in the working directory; every write is stored at once.
namespace kv {
void RegisterIniFunctions();
// Closes the open ini file (end of the run, tests).
void CloseIniFile();
}  // namespace kv
