#pragma once
// Process-level services: environment, the per-run temporary directory, process priority, other programs and
// the clipboard. Texts are UTF-8 here; callers convert from and to the game's code page.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv::plat {

class ISystem {
 public:
  virtual ~ISystem() = default;

  // Value of an environment variable; nullopt when unset.
  virtual std::optional<std::string> Env(const std::string& name) const = 0;

  // Creates the per-run temporary directory (private, unique). False when no base directory accepted it; the run
  // goes on without one and TempDir() stays empty.
  virtual bool CreateTempDir() = 0;
  // Absolute path without a trailing separator; empty when there is none.
  virtual const std::string& TempDir() const = 0;
  // A path in the temporary directory, "a" + a random number 0..99999 + extension (which includes its dot), that
  // names no existing file. Empty when there is no temporary directory.
  virtual std::string TempFileName(const std::string& extension) = 0;

  // 0 normal, 1 above normal, 2 high. Lack of permission is not an error: the run goes on at normal priority.
  virtual void SetPriority(int level) = 0;
  // The game's own priority setting, -3 (idle) … 3 (highest). Raising without permission is ignored.
  virtual void SetProgramPriority(int value) = 0;

  // Starts argv[0] (searched on PATH) with the given arguments, no shell, in the current directory. A handle > 0
  // for Finished, or -1 when the program cannot be started.
  virtual int64_t Spawn(const std::vector<std::string>& argv) = 0;
  // True once the started process has ended (it is then reaped), and for unknown handles.
  virtual bool Finished(int64_t process) = 0;
  // Opens a document, folder or web address with the desktop's program for it; false when that cannot start.
  virtual bool ShellOpen(const std::string& target, const std::string& args) = 0;

  virtual bool ClipboardHasText() = 0;
  virtual std::string ClipboardText() = 0;  // "" when there is none
  virtual void SetClipboardText(const std::string& text) = 0;
};

// A process-wide system object for code that runs without a platform (tools, unit tests): no temporary directory,
// a private clipboard.
ISystem& FallbackSystem();

}  // namespace kv::plat
