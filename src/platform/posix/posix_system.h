#pragma once
#include "platform/posix/temp_dir.h"
#include "platform/system.h"

namespace kv::plat {

class PosixSystem final : public ISystem {
 public:
  std::optional<std::string> Env(const std::string& name) const override;  // FindEnv over the process environment
  bool CreateTempDir() override;
  const std::string& TempDir() const override { return temp_.Path(); }
  std::string TempFileName(const std::string& extension) override { return temp_.FileName(extension); }
  void SetPriority(int level) override;

 private:
  TempDirectory temp_;  // removed when the system object goes away at the end of the run
};

// Looks `name` up in a NULL-terminated "NAME=value" list: an exact match first, else the first entry whose name
// differs only in letter case (games written for a case-insensitive environment ask for "temp" or "Path").
std::optional<std::string> FindEnv(const char* const* environment, const std::string& name);

// Niceness for a priority level of the game settings: 0 unchanged (nullopt), 1 above normal, 2 high.
std::optional<int> NiceForPriority(int level);

}  // namespace kv::plat
