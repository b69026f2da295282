#pragma once
// Files and directories on the host, by host path (UTF-8, already resolved): an open file with byte access and
// the whole-file operations the file functions need. Failures come back as false / nullopt, never as exceptions.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::plat {

class HostFile {
 public:
  enum class Mode {
    Read,          // existing file, reading
    Write,         // created or emptied, writing
    Append,        // created when missing, writing at the end
    ReadWrite,     // existing file, reading and writing from the start
  };
  // nullptr when the file cannot be opened in that mode.
  static std::unique_ptr<HostFile> Open(const std::string& path, Mode mode);
  ~HostFile();
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;

  // Next byte 0..255, or -1 at the end of the file or on a read error.
  int Get();
  // The byte Get would return, without consuming it.
  int Peek();
  bool AtEnd();
  // Up to size bytes; fewer at the end of the file or on an error.
  size_t Read(void* data, size_t size);
  bool Write(const void* data, size_t size);
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }
  bool Flush();
  // Byte position and size; -1 on failure.
  int64_t Position();
  int64_t Size();
  bool Seek(int64_t position);
  // Empties the file and starts at its beginning.
  bool Truncate();
  // Flushes and closes; false when pending data could not be written. Further calls do nothing.
  bool Close();

 private:
  explicit HostFile(void* handle) : handle_(handle) {}
  void* handle_;  // the C library stream
};

bool FileExists(const std::string& path);       // a regular file (or a link to one)
bool DirectoryExists(const std::string& path);
bool DeleteFile(const std::string& path);       // not directories
bool RenameFile(const std::string& from, const std::string& to);
bool CopyFile(const std::string& from, const std::string& to);  // overwrites
bool CreateDirectories(const std::string& path);                // with every missing parent
// The whole file; nullopt when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);
// What tells whether a file changed: modification time and size. nullopt when nothing is there.
struct FileStamp {
  int64_t modifiedNanos = 0;
  int64_t size = 0;
  bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StampOf(const std::string& path);
// Writes to a fresh temporary file in the same directory and renames it over path, so an interrupted write
// leaves either the old file or the new one, never a mix. (No fsync: the rename protects against the process
// dying mid-write; games write settings often and must not wait for the disk each time.)
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// An entry of a directory listing with the attribute bits the game sees: 1 read-only (not writable), 2 hidden
// (dot name), 16 directory, 32 archive (regular file).
struct DirEntry {
  std::string name;
  int attributes = 0;
};
// nullopt when the directory cannot be read. Without "." and "..".
std::optional<std::vector<DirEntry>> ListDirectory(const std::string& dir);
// Attribute bits of one path (as in DirEntry); nullopt when nothing exists there.
std::optional<int> PathAttributes(const std::string& path);
// Shell-style mask match without regard to letter case ("*", "?", "[...]").
bool MaskMatches(const std::string& mask, const std::string& name);

}  // namespace kv::plat
