#include "platform/posix/posix_system.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <strings.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/posix/process.h"

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

int NiceForProgramPriority(int value) {
  switch (value) {
    case -3: return 19;
    case -2: return 10;
    case -1: return 5;
    case 1: return -3;
    case 2: return -6;
    case 3: return -10;  // never real-time: the highest it asks for is a strongly favoured normal process
    default: return 0;
  }
}

void PosixSystem::SetProgramPriority(int value) {
  // Without privileges a lower niceness fails with EPERM/EACCES: the game goes on at its current priority.
  (void)setpriority(PRIO_PROCESS, 0, NiceForProgramPriority(value));
}

int64_t PosixSystem::Spawn(const std::vector<std::string>& argv) {
  // Children the game did not wait for are reaped here, so they leave no zombies behind.
  for (size_t i = started_.size(); i-- > 0;) Finished(started_[i]);
  if (argv.empty() || argv[0].empty()) return -1;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
  started_.push_back(pid);
  return static_cast<int64_t>(pid);
}

bool PosixSystem::Finished(int64_t process) {
  if (process <= 0) return true;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(static_cast<pid_t>(process), &status, WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return false;
  // The pid (ended, now reaped) or an error (not our child any more).
  for (size_t i = 0; i < started_.size(); ++i)
    if (started_[i] == process) {
      started_.erase(started_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  return true;
}

bool PosixSystem::ShellOpen(const std::string& target, const std::string& args) {
  if (target.empty()) return false;
  std::vector<std::string> argv{"xdg-open", target};
  (void)args;  // the desktop opener takes the document alone
  if (!FindOnPath("xdg-open")) return false;
  const int64_t pid = Spawn(argv);
  if (pid <= 0) return false;
  started_.pop_back();  // reaped right here
  // xdg-open hands the document over and ends at once; reaping it here leaves no zombie behind.
  int status = 0;
  while (waitpid(static_cast<pid_t>(pid), &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

ISystem& FallbackSystem() {
  static PosixSystem system;
  return system;
}

}  // namespace kv::plat
