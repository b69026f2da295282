#pragma once
// The settings store games read and write as "the registry": keys (paths of names separated by "\") under four
// roots, each key holding named values. Key paths and value names compare without regard to letter case. Texts
// are CP-1252 bytes as the game gives them.
#include <memory>
#include <optional>
#include <string>

namespace kv::plat {

enum class RegistryRoot : int { CurrentUser = 0, LocalMachine = 1, ClassesRoot = 2, Users = 3 };

struct RegistryValue {
  enum class Kind : int { String = 1, Binary = 3, Dword = 4 };
  Kind kind = Kind::String;
  std::string data;  // the text for strings; the raw bytes for binary; 4 little-endian bytes for dwords

  static RegistryValue Text(std::string s) { return {Kind::String, std::move(s)}; }
  static RegistryValue Real(double x);      // 8 bytes, binary, as reals are stored
  static RegistryValue Number(uint32_t x);  // dword
  // The real of an 8-byte binary value; nullopt for anything else.
  std::optional<double> AsReal() const;
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // nullopt when the key or the value is missing, or the store cannot be read. Never creates anything.
  virtual std::optional<RegistryValue> Read(RegistryRoot root, const std::string& key, const std::string& name) = 0;
  // Creates the key (and the store) when needed; false when the store cannot be written.
  virtual bool Write(RegistryRoot root, const std::string& key, const std::string& name,
                     const RegistryValue& value) = 0;
  // Whether the key exists; with create, a missing key is created first.
  virtual bool KeyExists(RegistryRoot root, const std::string& key, bool create) = 0;
};

// A store in an SQLite file (":memory:" for a private one that lives as long as the object). The file and its
// folder are created on the first write; reads of a missing file find nothing. Several processes may share a file.
std::unique_ptr<IRegistry> OpenSqliteRegistry(const std::string& path);

// KV_REGISTRY when set, else $XDG_CONFIG_HOME/korvane/registry.sqlite, else ~/.config/korvane/registry.sqlite.
std::string DefaultRegistryPath();

}  // namespace kv::plat
