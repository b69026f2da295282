#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kv::plat {
namespace {

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

FileReadStatus OpenFailure(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return FileReadStatus::Missing;
    case ENXIO:  // a FIFO without a writer, a socket
    case EISDIR: return FileReadStatus::NotRegular;
    default: return FileReadStatus::Unreadable;
  }
}

}  // namespace

FileReadResult ReadWholeFile(const std::string& path, uint64_t maxBytes, uint64_t skip) {
  FileReadResult result;
  if (path.empty() || path.find('\0') != std::string::npos) {
    result.status = FileReadStatus::Missing;
    result.systemError = ENOENT;
    return result;
  }
  // O_NONBLOCK: opening a FIFO must not wait for a writer; the type check below refuses it anyway.
  Descriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
  if (file.fd < 0) {
    result.systemError = errno;
    result.status = OpenFailure(errno);
    return result;
  }
  struct stat st{};
  if (fstat(file.fd, &st) != 0) {
    result.systemError = errno;
    return result;
  }
  if (!S_ISREG(st.st_mode)) {
    result.status = FileReadStatus::NotRegular;
    result.systemError = S_ISDIR(st.st_mode) ? EISDIR : 0;
    return result;
  }
  if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > maxBytes) {
    result.status = FileReadStatus::TooLarge;
    return result;
  }
  const int flags = fcntl(file.fd, F_GETFL);
  if (flags >= 0) fcntl(file.fd, F_SETFL, flags & ~O_NONBLOCK);

  if (skip > 0) {
    const off_t at = lseek(file.fd, static_cast<off_t>(std::min<uint64_t>(skip, static_cast<uint64_t>(st.st_size))),
                           SEEK_SET);
    if (at < 0) {
      result.systemError = errno;
      return result;
    }
    result.skipped = static_cast<uint64_t>(at);
  }
  const uint64_t skipped = result.skipped;

  // The size is a hint: a file may grow or shrink while it is read (and some report 0), so read until the end,
  // one byte past the cap at most.
  std::vector<uint8_t> bytes(static_cast<size_t>(static_cast<uint64_t>(st.st_size) - skipped) + 1);
  size_t used = 0;
  for (;;) {
    if (used == bytes.size()) {
      if (used + skipped > maxBytes) {
        result.status = FileReadStatus::TooLarge;
        return result;
      }
      bytes.resize(static_cast<size_t>(
          std::min<uint64_t>(maxBytes + 1 - skipped, std::max<uint64_t>(used * 2, 1 << 16))));
    }
    const ssize_t got = read(file.fd, bytes.data() + used, bytes.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      result.systemError = errno;
      return result;
    }
    if (got == 0) break;
    used += static_cast<size_t>(got);
  }
  if (used + skipped > maxBytes) {
    result.status = FileReadStatus::TooLarge;
    return result;
  }
  bytes.resize(used);
  result.bytes = std::move(bytes);
  result.status = FileReadStatus::Ok;
  return result;
}

std::string FileReadReason(const FileReadResult& result) {
  switch (result.systemError) {
    case 0: break;
    case ENOENT: case ENOTDIR: return "No such file";
    case EISDIR: return "Is a directory";
    case EACCES: case EPERM: return "Permission denied";
    default: return std::strerror(result.systemError);
  }
  switch (result.status) {
    case FileReadStatus::Ok: return "";
    case FileReadStatus::Missing: return "No such file";
    case FileReadStatus::NotRegular: return "Not a regular file";
    case FileReadStatus::TooLarge: return "File too large";
    case FileReadStatus::Unreadable: break;
  }
  return "Cannot be read";
}

const char* FileReadProblem(FileReadStatus status) {
  switch (status) {
    case FileReadStatus::Ok: return "was read";
    case FileReadStatus::Missing: return "does not exist";
    case FileReadStatus::NotRegular: return "is not a regular file";
    case FileReadStatus::TooLarge: return "is too large (over 256 MB)";
    case FileReadStatus::Unreadable: return "cannot be read";
  }
  return "cannot be read";
}

}  // namespace kv::plat
