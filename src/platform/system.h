#pragma once
// Process-level services: environment, the per-run temporary directory, process priority.
#include <optional>
#include <string>

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
};

}  // namespace kv::plat
