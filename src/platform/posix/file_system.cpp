#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace kv::plat {
namespace {

FILE* F(void* h) { return static_cast<FILE*>(h); }

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

int AttributesOf(const std::string& name, const std::string& fullPath, const struct stat& st) {
  int attributes = 0;
  if (access(fullPath.c_str(), W_OK) != 0) attributes |= 1;
  if (!name.empty() && name[0] == '.') attributes |= 2;
  if (S_ISDIR(st.st_mode)) attributes |= 16;
  if (S_ISREG(st.st_mode)) attributes |= 32;
  return attributes;
}

std::string BaseName(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

}  // namespace

std::unique_ptr<HostFile> HostFile::Open(const std::string& path, Mode mode) {
  if (path.empty()) return nullptr;
  const char* how = "rb";
  switch (mode) {
    case Mode::Read: how = "rb"; break;
    case Mode::Write: how = "wb"; break;
    case Mode::Append: how = "ab"; break;
    case Mode::ReadWrite: how = "r+b"; break;
  }
  FILE* f = std::fopen(path.c_str(), how);
  if (!f) return nullptr;
  struct stat st{};
  if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(f);
    return nullptr;
  }
  return std::unique_ptr<HostFile>(new HostFile(f));
}

HostFile::~HostFile() { Close(); }

int HostFile::Get() { return handle_ ? getc_unlocked(F(handle_)) : -1; }

int HostFile::Peek() {
  if (!handle_) return -1;
  const int c = getc_unlocked(F(handle_));
  if (c != EOF) ungetc(c, F(handle_));
  return c;
}

bool HostFile::AtEnd() { return Peek() < 0; }

size_t HostFile::Read(void* data, size_t size) {
  return handle_ && size ? std::fread(data, 1, size, F(handle_)) : 0;
}

bool HostFile::Write(const void* data, size_t size) {
  if (!handle_) return false;
  return size == 0 || std::fwrite(data, 1, size, F(handle_)) == size;
}

bool HostFile::Flush() { return handle_ && std::fflush(F(handle_)) == 0; }

int64_t HostFile::Position() {
  if (!handle_) return -1;
  return static_cast<int64_t>(ftello(F(handle_)));
}

int64_t HostFile::Size() {
  if (!handle_) return -1;
  if (std::fflush(F(handle_)) != 0) return -1;
  struct stat st{};
  if (fstat(fileno(F(handle_)), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool HostFile::Seek(int64_t position) {
  return handle_ && position >= 0 && fseeko(F(handle_), static_cast<off_t>(position), SEEK_SET) == 0;
}

bool HostFile::Truncate() {
  if (!handle_) return false;
  if (std::fflush(F(handle_)) != 0) return false;
  if (ftruncate(fileno(F(handle_)), 0) != 0) return false;
  return fseeko(F(handle_), 0, SEEK_SET) == 0;
}

bool HostFile::Close() {
  if (!handle_) return true;
  const bool ok = std::fclose(F(handle_)) == 0;
  handle_ = nullptr;
  return ok;
}

bool FileExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st{};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& path) {
  struct stat st{};
  if (path.empty() || lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  // The game's file systems never replace an existing file by renaming.
  struct stat st{};
  if (lstat(to.c_str(), &st) == 0) return false;
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool CopyFile(const std::string& from, const std::string& to) {
  if (!FileExists(from) || to.empty()) return false;
  auto bytes = ReadWholeFile(from);
  if (!bytes) return false;
  auto out = HostFile::Open(to, HostFile::Mode::Write);
  if (!out) return false;
  const bool written = out->Write(*bytes);
  return out->Close() && written;
}

bool CreateDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return DirectoryExists(path);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  auto f = HostFile::Open(path, HostFile::Mode::Read);
  if (!f) return std::nullopt;
  std::string bytes;
  const int64_t size = f->Size();
  if (size > 0) bytes.reserve(static_cast<size_t>(size));
  char buffer[65536];
  for (;;) {
    const size_t n = f->Read(buffer, sizeof buffer);
    bytes.append(buffer, n);
    if (n < sizeof buffer) break;
  }
  return bytes;
}

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat st{};
  if (path.empty() || stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileStamp{static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                   static_cast<int64_t>(st.st_size)};
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return false;
  std::string temp = DirectoryOf(path) + "/." + BaseName(path) + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  // Keep the permissions an existing file had; a new one gets the usual 0666 less the umask.
  struct stat old{};
  if (stat(path.c_str(), &old) == 0) {
    (void)fchmod(fd, old.st_mode & 07777);
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    (void)fchmod(fd, 0666 & ~mask);
  }
  size_t done = 0;
  bool ok = true;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (close(fd) != 0) ok = false;
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) unlink(temp.c_str());
  return ok;
}

std::optional<std::vector<DirEntry>> ListDirectory(const std::string& dir) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return std::nullopt;
  std::vector<DirEntry> entries;
  const std::string prefix = dir.empty() ? "" : (dir.back() == '/' ? dir : dir + "/");
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st{};
    const std::string full = prefix + name;
    if (stat(full.c_str(), &st) != 0) continue;  // dangling links are not listed
    entries.push_back({name, AttributesOf(name, full, st)});
  }
  closedir(d);
  return entries;
}

std::optional<int> PathAttributes(const std::string& path) {
  struct stat st{};
  if (path.empty() || stat(path.c_str(), &st) != 0) return std::nullopt;
  return AttributesOf(BaseName(path), path, st);
}

bool MaskMatches(const std::string& mask, const std::string& name) {
  // "*.*" means every file on the game's system, also names without a dot.
  if (mask == "*.*" || mask == "*") return true;
  return fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

}  // namespace kv::plat
