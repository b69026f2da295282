#pragma once
// Reading a whole file into memory for a loader (game files, saved games, images, scripts of input).
//
// A name that games or users pass may point at anything: a directory, a device that never ends (/dev/zero), a
// FIFO that blocks until a writer appears, or a file far too large to hold. Every loader goes through
// ReadWholeFile, which opens only regular files, checks the size before reading and never reads more than the cap.
#include <cstdint>
#include <string>
#include <vector>

namespace kv::plat {

// The largest file any loader reads: 256 MB.
inline constexpr uint64_t kMaxLoadedFileBytes = uint64_t{256} << 20;

enum class FileReadStatus {
  Ok,
  Missing,     // no such file (or a path component is missing)
  NotRegular,  // a directory, device, FIFO or socket
  TooLarge,    // larger than the cap (checked before reading, and again while reading a growing file)
  Unreadable,  // permission denied, an I/O error
};

struct FileReadResult {
  FileReadStatus status = FileReadStatus::Unreadable;
  std::vector<uint8_t> bytes;  // the whole file (after the skipped bytes) when status is Ok, empty otherwise
  int systemError = 0;         // the errno of a failure (EISDIR for a directory, EFBIG over the cap), 0 if none
  uint64_t skipped = 0;        // bytes skipped at the start: fewer than asked when the file is shorter
  bool Ok() const { return status == FileReadStatus::Ok; }
};

// Reads the regular file at path (symbolic links are followed) whole, up to maxBytes, without the first `skip`
// bytes (never read, nor held in memory). Never throws for a bad path; only running out of memory for an allowed
// size can throw (std::bad_alloc).
FileReadResult ReadWholeFile(const std::string& path, uint64_t maxBytes = kMaxLoadedFileBytes, uint64_t skip = 0);

// A short English description of a failed status ("is not a regular file", ...), for messages of the runner's own
// (command-line files); games get the messages of their functions.
const char* FileReadProblem(FileReadStatus status);

// The system's reason for a failed read, short: "No such file", "Is a directory", "Permission denied", ...
std::string FileReadReason(const FileReadResult& result);

}  // namespace kv::plat
