#pragma once
// The per-run temporary directory: created atomically with a private mode, removed at the end of the run without
// ever following a symbolic link out of it.
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace kv::plat {

using EnvLookup = std::function<std::optional<std::string>(const char*)>;

// Directories to try, in order: the first set of TMPDIR, temp, tmp (empty values count as unset), then /tmp, then
// the current directory. Duplicates are dropped.
std::vector<std::string> TempBaseCandidates(const EnvLookup& env, const std::string& currentDir);

// Removes `path` and everything below it. Symbolic links are removed as links; their targets are never touched,
// and nothing outside `path` is opened. Refuses an empty or relative path. True when the tree is gone.
bool RemoveTreeNoFollow(const std::string& path);

// Makes the signals that end a process by default (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1,
// SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ) remove `path` (as RemoveTreeNoFollow, with signal-safe calls
// only) before the process ends as the signal says. Only signals at their default action are taken over: ignored
// ones stay ignored and handlers set before stay in place. An empty path turns the removal off again.
void RemoveOnTerminationSignals(const std::string& path);

// The temporary directories of runners that ended without cleaning up (SIGKILL, a crash, a power cut) are found
// by the owner mark each one holds: the process id, its start time and its pid namespace. Removes every
// "kv_ttt_*" directory directly in `base` that belongs to this user, carries a readable mark and whose process is
// gone; directories without a mark (another runner creating one right now, or an older runner) are left alone.
// Returns how many were removed.
int RemoveStaleTempDirectories(const std::string& base);

class TempDirectory {
 public:
  static constexpr const char* kPrefix = "kv_ttt_";
  static constexpr const char* kOwnerMark = ".kv_owner";  // inside the directory: "pid start-time pid-namespace"

  TempDirectory() = default;
  ~TempDirectory() { Remove(); }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  // Tries each base in turn: creates the base with its missing parents, then base/kv_ttt_XXXXXX with mode 0700
  // holding the owner mark; then removes the stale directories of dead runners from that base.
  bool Create(const std::vector<std::string>& bases);
  const std::string& Path() const { return path_; }
  std::string FileName(const std::string& extension);
  // Deletes the directory tree (nothing happens when none was created). Safe to call twice.
  void Remove();

 private:
  std::string path_;
  std::mt19937 random_{std::random_device{}()};
};

}  // namespace kv::plat
