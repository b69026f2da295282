// The registry store on SQLite: keys(id, root, path_fold, path) and vals(key_id, name_fold, name, type, data).
// Folded columns hold the lower-case form so look-ups ignore letter case while the written spelling is kept.
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "platform/library_open.h"
#include "platform/registry.h"
#include "platform/text_codec.h"

namespace kv::plat {

RegistryValue RegistryValue::Real(double x) {
  RegistryValue v;
  v.kind = Kind::Binary;
  v.data.assign(reinterpret_cast<const char*>(&x), sizeof x);
  return v;
}

RegistryValue RegistryValue::Number(uint32_t x) {
  RegistryValue v;
  v.kind = Kind::Dword;
  for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<char>((x >> (8 * i)) & 0xFF));
  return v;
}

std::optional<double> RegistryValue::AsReal() const {
  if (kind != Kind::Binary || data.size() != sizeof(double)) return std::nullopt;
  double x;
  std::memcpy(&x, data.data(), sizeof x);
  return x;
}

std::string DefaultRegistryPath() {
  if (const char* p = std::getenv("KV_REGISTRY"); p && *p) return p;
  std::string base;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') {
    base = x;
  } else if (const char* h = std::getenv("HOME"); h && *h) {
    base = std::string(h) + "/.config";
  } else {
    base = ".";
  }
  return base + "/korvane/registry.sqlite";
}

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, root INTEGER NOT NULL, path_fold TEXT NOT NULL,"
    " path TEXT NOT NULL, UNIQUE(root, path_fold));"
    "CREATE TABLE IF NOT EXISTS vals(key_id INTEGER NOT NULL, name_fold TEXT NOT NULL, name TEXT NOT NULL,"
    " type INTEGER NOT NULL, data BLOB, PRIMARY KEY(key_id, name_fold));";

// Key paths: "\" separated, without leading, trailing or doubled separators.
std::string NormalKey(const std::string& key) {
  std::string out;
  for (char c : key) {
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    out.push_back(c);
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

std::string Fold(const std::string& cp1252) {
  std::string out = cp1252;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return Cp1252ToUtf8(out);
}

// SQLite is opened on the first use of the store, not at start: most runs never touch the registry, and the
// library's symbol bindings would cost every one of them.
#define KV_SQLITE_FUNCTIONS(X)                                                                                  \
  X(sqlite3_bind_blob) X(sqlite3_bind_int64) X(sqlite3_bind_text) X(sqlite3_busy_timeout) X(sqlite3_close)      \
  X(sqlite3_column_blob) X(sqlite3_column_bytes) X(sqlite3_column_int64) X(sqlite3_exec) X(sqlite3_finalize)    \
  X(sqlite3_open_v2) X(sqlite3_prepare_v2) X(sqlite3_step)

struct SqliteApi {
#define KV_SQLITE_POINTER(name) decltype(&::name) name = nullptr;
  KV_SQLITE_FUNCTIONS(KV_SQLITE_POINTER)
#undef KV_SQLITE_POINTER
  bool loaded = false;
};

SqliteApi LoadSqlite() {
  SqliteApi api;
  void* lib = OpenLibraryOnDemand("libsqlite3.so.0");
  bool all = lib != nullptr;
#define KV_SQLITE_RESOLVE(name)                                                                   \
  api.name = lib ? reinterpret_cast<decltype(api.name)>(dlsym(lib, #name)) : nullptr;             \
  all = all && api.name != nullptr;
  KV_SQLITE_FUNCTIONS(KV_SQLITE_RESOLVE)
#undef KV_SQLITE_RESOLVE
  api.loaded = all;
  if (!all) std::cerr << "kvrun: libsqlite3 cannot be loaded: the registry store cannot be used\n";
  return api;
}

// The library's functions, opened once; `loaded` false (and every store stays closed) when it cannot be opened.
const SqliteApi& Sql() {
  static const SqliteApi api = LoadSqlite();
  return api;
}

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { Sql().sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { Sql().sqlite3_finalize(stmt_); }
  bool Ok() const { return stmt_ != nullptr; }
  Statement& Bind(int i, int64_t x) {
    Sql().sqlite3_bind_int64(stmt_, i, x);
    return *this;
  }
  Statement& Bind(int i, const std::string& text) {
    Sql().sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& BindBlob(int i, const std::string& bytes) {
    Sql().sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
  }
  int Step() { return stmt_ ? Sql().sqlite3_step(stmt_) : SQLITE_ERROR; }
  int64_t Int(int col) { return Sql().sqlite3_column_int64(stmt_, col); }
  std::string Blob(int col) {
    const void* p = Sql().sqlite3_column_blob(stmt_, col);
    const int n = Sql().sqlite3_column_bytes(stmt_, col);
    return p && n > 0 ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

class SqliteRegistry final : public IRegistry {
 public:
  explicit SqliteRegistry(std::string path) : path_(std::move(path)) {}
  ~SqliteRegistry() override {
    if (db_) Sql().sqlite3_close(db_);
  }

  std::optional<RegistryValue> Read(RegistryRoot root, const std::string& key, const std::string& name) override {
    if (!Open(false)) return std::nullopt;
    const std::optional<int64_t> keyId = FindKey(root, key);
    if (!keyId) return std::nullopt;
    Statement q(db_, "SELECT type, data FROM vals WHERE key_id = ? AND name_fold = ?");
    q.Bind(1, *keyId).Bind(2, Fold(name));
    if (q.Step() != SQLITE_ROW) return std::nullopt;
    RegistryValue v;
    v.kind = static_cast<RegistryValue::Kind>(q.Int(0));
    v.data = q.Blob(1);
    if (v.kind == RegistryValue::Kind::String) v.data = Utf8ToCp1252(v.data);
    return v;
  }

  bool Write(RegistryRoot root, const std::string& key, const std::string& name,
             const RegistryValue& value) override {
    if (!Open(true)) return false;
    if (!Exec("BEGIN IMMEDIATE")) return false;
    const std::optional<int64_t> keyId = CreateKey(root, key);
    bool ok = keyId.has_value();
    if (ok) {
      Statement q(db_,
                  "INSERT INTO vals(key_id, name_fold, name, type, data) VALUES(?, ?, ?, ?, ?)"
                  " ON CONFLICT(key_id, name_fold) DO UPDATE SET name = excluded.name, type = excluded.type,"
                  " data = excluded.data");
      const std::string data = value.kind == RegistryValue::Kind::String ? Cp1252ToUtf8(value.data) : value.data;
      q.Bind(1, *keyId).Bind(2, Fold(name)).Bind(3, Cp1252ToUtf8(name)).Bind(4, static_cast<int64_t>(value.kind));
      if (value.kind == RegistryValue::Kind::String)
        q.Bind(5, data);
      else
        q.BindBlob(5, data);
      ok = q.Step() == SQLITE_DONE;
    }
    if (!ok) {
      Exec("ROLLBACK");
      return false;
    }
    return Exec("COMMIT");
  }

  bool KeyExists(RegistryRoot root, const std::string& key, bool create) override {
    if (!create) return Open(false) && FindKey(root, key).has_value();
    if (!Open(true)) return false;
    if (!Exec("BEGIN IMMEDIATE")) return false;
    const bool ok = CreateKey(root, key).has_value();
    if (!ok) {
      Exec("ROLLBACK");
      return false;
    }
    return Exec("COMMIT");
  }

 private:
  // Opens the store. Without forWrite a missing file stays missing (false); with it the folder and the file
  // are created.
  bool Open(bool forWrite) {
    if (db_ && readOnly_ && forWrite) return false;
    if (db_) return true;
    const bool memory = path_ == ":memory:";
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (!memory) {
      struct stat st{};
      if (stat(path_.c_str(), &st) != 0) {
        if (!forWrite) return false;
        std::error_code ec;
        const std::filesystem::path parent = std::filesystem::path(path_).parent_path();
        if (!parent.empty()) std::filesystem::create_directories(parent, ec);
      }
    }
    if (memory || forWrite) flags |= SQLITE_OPEN_CREATE;
    if (!Sql().loaded) return false;  // opened only now: a missing store needs no library
    if (Sql().sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
      Sql().sqlite3_close(db_);
      db_ = nullptr;
      // A store the user may only read still answers reads.
      if (forWrite || memory) return false;
      if (Sql().sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        Sql().sqlite3_close(db_);
        db_ = nullptr;
        return false;
      }
      Sql().sqlite3_busy_timeout(db_, 5000);
      readOnly_ = true;
      return true;
    }
    // Two running games may share the store: writers wait for each other instead of failing.
    Sql().sqlite3_busy_timeout(db_, 5000);
    if (!memory) Exec("PRAGMA journal_mode=WAL");
    if (!Exec(kSchema)) {
      Sql().sqlite3_close(db_);
      db_ = nullptr;
      return false;
    }
    return true;
  }

  bool Exec(const char* sql) { return Sql().sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

  std::optional<int64_t> FindKey(RegistryRoot root, const std::string& key) {
    Statement q(db_, "SELECT id FROM keys WHERE root = ? AND path_fold = ?");
    q.Bind(1, static_cast<int64_t>(root)).Bind(2, Fold(NormalKey(key)));
    if (q.Step() != SQLITE_ROW) return std::nullopt;
    return q.Int(0);
  }

  // Inside a write transaction: the key's id, adding it (and every parent key) when missing.
  std::optional<int64_t> CreateKey(RegistryRoot root, const std::string& key) {
    const std::string normal = NormalKey(key);
    std::optional<int64_t> id;
    size_t pos = 0;
    for (;;) {
      const size_t sep = normal.find('\\', pos);
      const std::string path = sep == std::string::npos ? normal : normal.substr(0, sep);
      Statement q(db_, "INSERT OR IGNORE INTO keys(root, path_fold, path) VALUES(?, ?, ?)");
      q.Bind(1, static_cast<int64_t>(root)).Bind(2, Fold(path)).Bind(3, Cp1252ToUtf8(path));
      if (q.Step() != SQLITE_DONE) return std::nullopt;
      if (sep == std::string::npos) break;
      pos = sep + 1;
    }
    id = FindKey(root, normal);
    return id;
  }

  std::string path_;
  sqlite3* db_ = nullptr;
  bool readOnly_ = false;  // opened for reading only: the file cannot be written by this user
};

}  // namespace

std::unique_ptr<IRegistry> OpenSqliteRegistry(const std::string& path) {
  return std::make_unique<SqliteRegistry>(path);
}

}  // namespace kv::plat
