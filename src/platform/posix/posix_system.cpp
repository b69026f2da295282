#include "platform/posix/posix_system.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kv::plat {

std::optional<std::string> PosixSystem::Env(const std::string& name) const {
  const char* value = std::getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

bool PosixSystem::CreateTempDir() {
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  auto env = [this](const char* name) { return Env(name); };
  return temp_.Create(TempBaseCandidates(env, ec ? std::string() : cwd));
}

std::optional<int> NiceForPriority(int level) {
  switch (level) {
    case 1: return -5;
    case 2: return -10;
    default: return std::nullopt;  // never real-time, never below normal
  }
}

void PosixSystem::SetPriority(int level) {
  if (auto nice = NiceForPriority(level)) {
    // Raising priority needs privileges; without them (EPERM/EACCES) the game simply runs at normal priority.
    (void)setpriority(PRIO_PROCESS, 0, *nice);
  }
}

}  // namespace kv::plat
