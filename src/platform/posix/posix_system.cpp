#include "platform/posix/posix_system.h"

#include <sys/resource.h>
#include <unistd.h>

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace kv::plat {

std::optional<std::string> FindEnv(const char* const* environment, const std::string& name) {
  if (!environment || name.empty() || name.find('=') != std::string::npos) return std::nullopt;
  const char* folded = nullptr;
  for (const char* const* entry = environment; *entry; ++entry) {
    const char* eq = std::strchr(*entry, '=');
    if (!eq || static_cast<size_t>(eq - *entry) != name.size()) continue;
    if (std::strncmp(*entry, name.c_str(), name.size()) == 0) return std::string(eq + 1);
    if (!folded && strncasecmp(*entry, name.c_str(), name.size()) == 0) folded = eq + 1;
  }
  if (folded) return std::string(folded);
  return std::nullopt;
}

std::optional<std::string> PosixSystem::Env(const std::string& name) const { return FindEnv(environ, name); }

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
