#include "functions/function_registry.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "functions/file_names.h"
#include "functions/function_args.h"
#include "platform/registry.h"
#include "world/run_main.h"

namespace kv {
namespace {

using namespace fnargs;
using plat::RegistryRoot;
using plat::RegistryValue;

constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;  // the game's own key lives here
constexpr const char* kPreferencesKey = "\\Software\\Korvane\\Version 7\\Preferences";

std::unique_ptr<plat::IRegistry>& Store() {
  static std::unique_ptr<plat::IRegistry> store;
  return store;
}

RegistryRoot& Root() {
  static RegistryRoot root = RegistryRoot::CurrentUser;
  return root;
}

std::string GameKey() { return "\\Software\\Korvane\\" + std::to_string(Game().gameId); }

std::string ReadString(RegistryRoot root, const std::string& key, const std::string& name) {
  const auto v = RegistryStore().Read(root, key, name);
  return v && v->kind == RegistryValue::Kind::String ? v->data : std::string();
}

double ReadReal(RegistryRoot root, const std::string& key, const std::string& name) {
  const auto v = RegistryStore().Read(root, key, name);
  return v ? v->AsReal().value_or(0.0) : 0.0;
}

// Strings keep their text; a real given where a string is expected is stored as its text.
std::string TextOf(const RValue& v) { return v.IsString() ? v.ToStdString() : FormatGeneralReal(v.Real()); }

bool Exists(RegistryRoot root, const std::string& key, const std::string& name, bool createKey) {
  plat::IRegistry& store = RegistryStore();
  if (!store.KeyExists(root, key, createKey)) return false;
  return store.Read(root, key, name).has_value();
}

bool SecureRefusesRegistryWrite(const std::string& key) {
  if (!Game().secureMode) return false;
  ReportRuntimeError("In Secure mode you cannot write registry entries in " + key);
  return true;
}

// A bool of the preferences key: dwords and reals count when not 0, texts when they read as a number not 0.
bool TruthOf(const RegistryValue& v) {
  if (v.kind == RegistryValue::Kind::Dword) {
    uint32_t x = 0;
    for (size_t i = 0; i < v.data.size() && i < 4; ++i) x |= static_cast<uint32_t>(static_cast<uint8_t>(v.data[i])) << (8 * i);
    return x != 0;
  }
  if (auto real = v.AsReal()) return *real != 0;
  if (v.kind == RegistryValue::Kind::String) return std::atof(v.data.c_str()) != 0;
  return false;
}

}  // namespace

void SetRegistryStore(std::unique_ptr<plat::IRegistry> store) { Store() = std::move(store); }

plat::IRegistry& RegistryStore() {
  if (!Store()) Store() = plat::OpenSqliteRegistry(plat::DefaultRegistryPath());
  return *Store();
}

static std::optional<bool>& SecureOverride() {
  static std::optional<bool> on;
  return on;
}

void SetSecureModeOverride(std::optional<bool> on) { SecureOverride() = on; }

bool ReadSecureModeSetting() {
  if (SecureOverride()) return *SecureOverride();
  if (const char* env = std::getenv("KV_SECURE_MODE"); env && *env) return std::strcmp(env, "0") != 0;
  plat::IRegistry& store = RegistryStore();
  if (!store.KeyExists(RegistryRoot::CurrentUser, kPreferencesKey, false)) return false;
  const auto warning = store.Read(RegistryRoot::CurrentUser, kPreferencesKey, "Warning");
  const bool secure = warning && TruthOf(*warning);
  const auto running = store.Read(RegistryRoot::CurrentUser, kPreferencesKey, "KorvaneRunning");
  if (running) return secure && TruthOf(*running);
  return secure;
}

void RegisterRegistryFunctions() {
  Reg("registry_write_string", 2, KV_FN {
    KV_UNUSED_ARGS;
    RegistryStore().Write(kUser, GameKey(), Str(a, 0), RegistryValue::Text(TextOf(a[1])));
  });
  Reg("registry_write_real", 2, KV_FN {
    KV_UNUSED_ARGS;
    RegistryStore().Write(kUser, GameKey(), Str(a, 0), RegistryValue::Real(D(a, 1)));
  });
  Reg("registry_read_string", 1, KV_FN { KV_UNUSED_ARGS; r = RValue(ReadString(kUser, GameKey(), Str(a, 0))); });
  Reg("registry_read_real", 1, KV_FN { KV_UNUSED_ARGS; r = RValue(ReadReal(kUser, GameKey(), Str(a, 0))); });
  Reg("registry_exists", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(Exists(kUser, GameKey(), Str(a, 0), true) ? 1.0 : 0.0);
  });
  Reg("registry_set_root", 1, KV_FN {
    KV_UNUSED_ARGS;
    switch (I(a, 0)) {
      case 1: Root() = RegistryRoot::LocalMachine; break;
      case 2: Root() = RegistryRoot::ClassesRoot; break;
      case 3: Root() = RegistryRoot::Users; break;
      default: Root() = RegistryRoot::CurrentUser; break;
    }
  });
  Reg("registry_write_string_ext", 3, KV_FN {
    KV_UNUSED_ARGS;
    const std::string key = Str(a, 0);
    if (SecureRefusesRegistryWrite(key)) return;
    RegistryStore().Write(Root(), key, Str(a, 1), RegistryValue::Text(TextOf(a[2])));
  });
  Reg("registry_write_real_ext", 3, KV_FN {
    KV_UNUSED_ARGS;
    const std::string key = Str(a, 0);
    if (SecureRefusesRegistryWrite(key)) return;
    RegistryStore().Write(Root(), key, Str(a, 1), RegistryValue::Real(D(a, 2)));
  });
  Reg("registry_read_string_ext", 2, KV_FN { KV_UNUSED_ARGS; r = RValue(ReadString(Root(), Str(a, 0), Str(a, 1))); });
  Reg("registry_read_real_ext", 2, KV_FN { KV_UNUSED_ARGS; r = RValue(ReadReal(Root(), Str(a, 0), Str(a, 1))); });
  // In secure mode the key is not created: creating keys is writing.
  Reg("registry_exists_ext", 2, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(Exists(Root(), Str(a, 0), Str(a, 1), !Game().secureMode) ? 1.0 : 0.0);
  });
  DescribeFunctions("Registry", {
      {"registry_write_string", "name, str", "Stores a text value under name in the game's registry key."},
      {"registry_write_real", "name, x", "Stores a number under name in the game's registry key."},
      {"registry_read_string", "name", "The text value stored under name in the game's registry key."},
      {"registry_read_real", "name", "The number stored under name in the game's registry key."},
      {"registry_exists", "name", "Whether a value is stored under name in the game's registry key."},
      {"registry_set_root", "root",
       "Chooses the root of the _ext functions: 0 current user, 1 machine, 2 classes, 3 users."},
      {"registry_write_string_ext", "key, name, str", "Stores a text value under name in key of the chosen root."},
      {"registry_write_real_ext", "key, name, x", "Stores a number under name in key of the chosen root."},
      {"registry_read_string_ext", "key, name", "The text value stored under name in key of the chosen root."},
      {"registry_read_real_ext", "key, name", "The number stored under name in key of the chosen root."},
      {"registry_exists_ext", "key, name", "Whether a value is stored under name in key of the chosen root."},
  });
}

}  // namespace kv
