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

// Makes SIGINT, SIGTERM, SIGHUP and SIGQUIT remove `path` (as RemoveTreeNoFollow, with signal-safe calls only)
// before the process ends as the signal says. An empty path turns the removal off again.
void RemoveOnTerminationSignals(const std::string& path);

class TempDirectory {
 public:
  static constexpr const char* kPrefix = "kv_ttt_";

  TempDirectory() = default;
  ~TempDirectory() { Remove(); }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  // Tries each base in turn: creates the base with its missing parents, then base/kv_ttt_XXXXXX with mode 0700.
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
