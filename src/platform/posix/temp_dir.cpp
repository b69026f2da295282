#include "platform/posix/temp_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "platform/file_read.h"

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

// ---- removal from a signal handler: system calls only, no allocation, bounded stack ----

char gSignalCleanupPath[4096];
// The signals whose default action ends the process without it being a crash.
constexpr int kTerminationSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGPIPE, SIGALRM,
                                       SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ};

bool IsDotEntry(const char* name) { return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)); }

void EmptyDirectorySignalSafe(int dirFd, int depth) {
  char buffer[2048];
  for (;;) {
    const ssize_t n = getdents64(dirFd, buffer, sizeof buffer);
    if (n <= 0) return;
    for (ssize_t offset = 0; offset < n;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
      offset += entry->d_reclen;
      if (IsDotEntry(entry->d_name)) continue;
      bool isDir = entry->d_type == DT_DIR;
      if (entry->d_type == DT_UNKNOWN) {
        struct stat st{};
        isDir = fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
      }
      if (!isDir) {
        unlinkat(dirFd, entry->d_name, 0);
        continue;
      }
      if (depth < 32) {
        const int child = openat(dirFd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0) {
          EmptyDirectorySignalSafe(child, depth + 1);
          close(child);
        }
      }
      unlinkat(dirFd, entry->d_name, AT_REMOVEDIR);
    }
  }
}

void OnTerminationSignal(int signal) {
  if (gSignalCleanupPath[0] == '/') {
    const int fd = open(gSignalCleanupPath, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
      EmptyDirectorySignalSafe(fd, 0);
      close(fd);
      rmdir(gSignalCleanupPath);
    }
  }
  // End the way the signal asks, so the parent sees the real cause.
  struct sigaction action{};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
}

// ---- owner marks ----

// Start time of a process in clock ticks since boot (field 22 of /proc/<pid>/stat): with the process id it names
// one process even after the id is reused. Empty when unknown.
std::string ProcessStartTime(pid_t pid) {
  const FileReadResult stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", 4096);
  const std::string text(stat.bytes.begin(), stat.bytes.end());
  const size_t nameEnd = text.rfind(')');  // the command name in parentheses may hold spaces
  if (!stat.Ok() || nameEnd == std::string::npos) return {};
  std::istringstream fields(text.substr(nameEnd + 1));
  std::string field;
  for (int number = 3; number <= 22; ++number)
    if (!(fields >> field)) return {};
  return field;
}

// Process ids are only comparable inside one pid namespace (containers sharing a /tmp have their own).
std::string PidNamespace() {
  char link[128];
  const ssize_t n = readlink("/proc/self/ns/pid", link, sizeof link - 1);
  return n > 0 ? std::string(link, static_cast<size_t>(n)) : std::string();
}

std::string OwnerMarkText() {
  return std::to_string(getpid()) + " " + ProcessStartTime(getpid()) + " " + PidNamespace() + "\n";
}

void WriteOwnerMark(const std::string& dir) {
  const std::string path = dir + "/" + TempDirectory::kOwnerMark;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const std::string text = OwnerMarkText();
  // One write: a reader sees the whole mark or an incomplete one, which it takes for a live owner.
  [[maybe_unused]] const ssize_t written = write(fd, text.data(), text.size());
  close(fd);
}

// True only when the mark names a process of our pid namespace that no longer runs.
bool OwnerIsGone(const std::string& mark) {
  std::istringstream fields(mark);
  long pid = 0;
  std::string start, space;
  if (!(fields >> pid >> start >> space) || pid <= 0 || mark.back() != '\n') return false;
  if (space != PidNamespace()) return false;
  if (kill(static_cast<pid_t>(pid), 0) != 0) return errno == ESRCH;
  const std::string now = ProcessStartTime(static_cast<pid_t>(pid));
  return !now.empty() && now != start;  // the id now belongs to another process
}

// The owner mark of the directory `name` in the open directory `baseFd`, without following links; empty when absent.
std::string ReadOwnerMark(int baseFd, const char* name) {
  const int dirFd = openat(baseFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) return {};
  const int fd = openat(dirFd, TempDirectory::kOwnerMark, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  close(dirFd);
  if (fd < 0) return {};
  std::string mark;
  struct stat st{};
  char buffer[256];
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) mark.assign(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return mark;
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

void RemoveOnTerminationSignals(const std::string& path) {
  if (path.empty() || path.front() != '/' || path.size() >= sizeof gSignalCleanupPath) {
    gSignalCleanupPath[0] = 0;
    return;
  }
  path.copy(gSignalCleanupPath, path.size());
  gSignalCleanupPath[path.size()] = 0;
  for (int signal : kTerminationSignals) {
    // Only signals that would end the process as they stand: an ignored one (under nohup, say) stays ignored, and
    // a handler someone else set (a profiler's SIGPROF, or ours from an earlier call) stays in place.
    struct sigaction current{};
    if (sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) ||
        current.sa_handler != SIG_DFL)
      continue;
    struct sigaction action{};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

int RemoveStaleTempDirectories(const std::string& base) {
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(base, ec).string();
  if (ec) return 0;
  DIR* dir = opendir(absolute.c_str());
  if (!dir) return 0;
  const std::string prefix = TempDirectory::kPrefix;
  std::vector<std::string> stale;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    struct stat st{};
    if (fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != geteuid())
      continue;
    if (OwnerIsGone(ReadOwnerMark(dirfd(dir), name.c_str()))) stale.push_back(name);
  }
  closedir(dir);
  int removed = 0;
  for (const std::string& name : stale) removed += RemoveTreeNoFollow(absolute + "/" + name) ? 1 : 0;
  return removed;
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
      WriteOwnerMark(path_);
      RemoveOnTerminationSignals(path_);
      RemoveStaleTempDirectories(absolute.string());
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
  if (path_ == gSignalCleanupPath) RemoveOnTerminationSignals("");
  RemoveTreeNoFollow(path_);
  path_.clear();
}

}  // namespace kv::plat
