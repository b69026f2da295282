#pragma once
#include "platform/posix/temp_dir.h"
#include "platform/system.h"

#include <vector>

namespace kv::plat {

class PosixSystem : public ISystem {
 public:
  std::optional<std::string> Env(const std::string& name) const override;  // FindEnv over the process environment
  bool CreateTempDir() override;
  const std::string& TempDir() const override { return temp_.Path(); }
  std::string TempFileName(const std::string& extension) override { return temp_.FileName(extension); }
  void SetPriority(int level) override;
  void SetProgramPriority(int value) override;
  int64_t Spawn(const std::vector<std::string>& argv) override;
  bool Finished(int64_t process) override;
  bool ShellOpen(const std::string& target, const std::string& args) override;
  // A private clipboard inside the process (headless runs); the SDL platform uses the desktop's.
  bool ClipboardHasText() override { return clipboard_.has_value(); }
  std::string ClipboardText() override { return clipboard_.value_or(std::string()); }
  void SetClipboardText(const std::string& text) override { clipboard_ = text; }

 private:
  std::optional<std::string> clipboard_;
  std::vector<int64_t> started_;  // children not yet reaped (programs started without waiting for them)
  TempDirectory temp_;  // removed when the system object goes away at the end of the run
};

// Looks `name` up in a NULL-terminated "NAME=value" list: an exact match first, else the first entry whose name
// differs only in letter case (games written for a case-insensitive environment ask for "temp" or "Path").
std::optional<std::string> FindEnv(const char* const* environment, const std::string& name);

// Niceness for the game's priority setting -3 … 3 (0 and unknown values: normal).
int NiceForProgramPriority(int value);

// Niceness for a priority level of the game settings: 0 unchanged (nullopt), 1 above normal, 2 high.
std::optional<int> NiceForPriority(int level);

}  // namespace kv::plat
