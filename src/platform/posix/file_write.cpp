#include "platform/file_write.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>

namespace kv::plat {
namespace {

// Splits path into its directory ("." when none) and its final name.
void SplitPath(const std::string& path, std::string& dir, std::string& name) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    dir = ".";
    name = path;
  } else {
    dir = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

bool OrdinaryName(const std::string& name) { return !name.empty() && name != "." && name != ".."; }

// The resolved path of an open directory.
bool ResolvedPathOf(int dirFd, std::string& out) {
  char resolved[PATH_MAX];
  const std::string link = "/proc/self/fd/" + std::to_string(dirFd);
  if (!realpath(link.c_str(), resolved)) return false;
  out = resolved;
  return true;
}

bool Beneath(const std::string& inner, const std::string& base) {
  if (inner == base) return true;
  if (base == "/") return true;
  return inner.size() > base.size() && inner.compare(0, base.size(), base) == 0 && inner[base.size()] == '/';
}

bool WorkingDirectory(std::string& out) {
  char resolved[PATH_MAX];
  if (!realpath(".", resolved)) return false;
  out = resolved;
  return true;
}

struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

bool WriteStaysInWorkingDirectory(const std::string& path) {
  std::string dir, name, work, resolved;
  SplitPath(path, dir, name);
  if (!OrdinaryName(name) || !WorkingDirectory(work)) return false;
  Fd d{open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  return d.fd >= 0 && ResolvedPathOf(d.fd, resolved) && Beneath(resolved, work);
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, bool insideWorkingDirectory) {
  std::string dir, name;
  SplitPath(path, dir, name);
  if (!OrdinaryName(name)) return false;
  Fd d{open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (d.fd < 0) return false;
  if (insideWorkingDirectory) {
    std::string work, resolved;
    if (!WorkingDirectory(work) || !ResolvedPathOf(d.fd, resolved) || !Beneath(resolved, work)) return false;
  }
  // A fresh temporary beside the target, created exclusively (an existing file or link of that name is never
  // opened), hidden and named after the target.
  std::random_device seed;
  std::mt19937 rng(seed());
  std::string temp;
  Fd f;
  for (int attempt = 0; attempt < 100 && f.fd < 0; ++attempt) {
    temp = "." + name.substr(0, 200) + "." + std::to_string(rng() % 1000000000u) + ".tmp";
    f.fd = openat(d.fd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (f.fd < 0 && errno != EEXIST) return false;
  }
  if (f.fd < 0) return false;
  const char* p = static_cast<const char*>(data);
  size_t left = size;
  bool ok = true;
  while (ok && left > 0) {
    const ssize_t n = write(f.fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) {
      p += n;
      left -= static_cast<size_t>(n);
    }
  }
  ok = ok && fsync(f.fd) == 0;
  ok = close(f.fd) == 0 && ok;
  f.fd = -1;
  if (ok && renameat(d.fd, temp.c_str(), d.fd, name.c_str()) == 0) return true;
  unlinkat(d.fd, temp.c_str(), 0);
  return false;
}

}  // namespace kv::plat
