#pragma once
// Running helper programs (file choosers and the like) without a shell.
#include <optional>
#include <string>
#include <vector>

namespace kv::plat {

// Full path of an executable found on PATH; nullopt when there is none. Names with a '/' are checked as given.
std::optional<std::string> FindOnPath(const std::string& program);

// True when the desktop's choosers (zenity) are used for files, folders and colours: zenity is on PATH and
// KV_NO_ZENITY is unset, empty or "0". Otherwise the runner shows its own.
bool ZenityChoosers();

struct CapturedRun {
  int exitCode = -1;  // -1 when the program died from a signal
  std::string output; // everything it wrote to standard output
};

// Runs argv[0] (searched on PATH) with the arguments as given, stdin closed, stderr inherited, and waits for it.
// nullopt when it could not be started.
std::optional<CapturedRun> RunAndCapture(const std::vector<std::string>& argv);

}  // namespace kv::plat
