#include "platform/posix/temp_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace kv::plat {
namespace {

constexpr int kMaxDepth = 512;

// Empties the directory open as `dirFd` (closed here). Entries are handled relative to the open descriptor, so a
// directory renamed or replaced by a link while we work cannot redirect the removal elsewhere.
bool EmptyDirectory(int dirFd, int depth) {
  DIR* dir = fdopendir(dirFd);
  if (!dir) {
    close(dirFd);
    return false;
  }
  bool ok = true;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  for (const std::string& name : names) {
    struct stat st{};
    if (fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      ok = ok && errno == ENOENT;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      const int child = openat(dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (child < 0 || depth >= kMaxDepth || !EmptyDirectory(child, depth + 1)) {
        if (child >= 0 && depth >= kMaxDepth) close(child);
        ok = false;
        continue;
      }
      if (unlinkat(dirfd(dir), name.c_str(), AT_REMOVEDIR) != 0) ok = false;
    } else if (unlinkat(dirfd(dir), name.c_str(), 0) != 0 && errno != ENOENT) {
      ok = false;
    }
  }
  closedir(dir);
  return ok;
}

bool MakeDirectories(const std::filesystem::path& dir) {
  std::error_code ec;
  if (std::filesystem::is_directory(dir, ec)) return true;
  const auto parent = dir.parent_path();
  if (!parent.empty() && parent != dir && !MakeDirectories(parent)) return false;
  return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

std::vector<std::string> TempBaseCandidates(const EnvLookup& env, const std::string& currentDir) {
  std::vector<std::string> bases;
  auto add = [&](const std::string& base) {
    if (!base.empty() && std::find(bases.begin(), bases.end(), base) == bases.end()) bases.push_back(base);
  };
  for (const char* name : {"TMPDIR", "temp", "tmp"}) {
    auto value = env(name);
    if (value && !value->empty()) {
      add(*value);
      break;
    }
  }
  add("/tmp");
  add(currentDir);
  return bases;
}

bool RemoveTreeNoFollow(const std::string& path) {
  if (path.empty() || path.front() != '/') return false;
  struct stat st{};
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return unlink(path.c_str()) == 0;
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const bool emptied = EmptyDirectory(fd, 0);
  return rmdir(path.c_str()) == 0 && emptied;
}

bool TempDirectory::Create(const std::vector<std::string>& bases) {
  Remove();
  for (const std::string& base : bases) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(base, ec);
    if (ec || !MakeDirectories(absolute)) continue;
    std::string pattern = (absolute / (std::string(kPrefix) + "XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr) {  // mkdtemp creates with mode 0700
      path_ = pattern;
      return true;
    }
  }
  return false;
}

std::string TempDirectory::FileName(const std::string& extension) {
  if (path_.empty()) return {};
  auto unused = [&](int n) {
    std::string name = path_ + "/a" + std::to_string(n) + extension;
    struct stat st{};
    return lstat(name.c_str(), &st) != 0 && errno == ENOENT ? name : std::string();
  };
  std::uniform_int_distribution<int> number(0, 99999);
  for (int attempt = 0; attempt < 1000; ++attempt)
    if (std::string name = unused(number(random_)); !name.empty()) return name;
  // Nearly every name is taken: scan instead of drawing forever.
  for (int n = 0; n <= 99999; ++n)
    if (std::string name = unused(n); !name.empty()) return name;
  return {};
}

void TempDirectory::Remove() {
  // An empty path never reaches the removal: deleting "" + "/..." would start at the file system root.
  if (path_.empty()) return;
  RemoveTreeNoFollow(path_);
  path_.clear();
}

}  // namespace kv::plat
