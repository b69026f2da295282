#pragma once
// The registry functions of game code on the per-user settings store, and secure mode as the store holds it.
#include <memory>
#include <optional>

namespace kv {

namespace plat {
class IRegistry;
}

void RegisterRegistryFunctions();

// The store the functions use; without one set, the default store (KV_REGISTRY or the per-user file) is opened
// on first use.
void SetRegistryStore(std::unique_ptr<plat::IRegistry> store);
plat::IRegistry& RegistryStore();

// Secure mode at start: the "Warning" value of the preferences key (and "KorvaneRunning" when present);
// KV_SECURE_MODE=0|1 in the environment decides instead when set.
bool ReadSecureModeSetting();
// A setting that decides before the environment and the store (the kvrun --secure-mode option); nullopt: none.
void SetSecureModeOverride(std::optional<bool> on);

}  // namespace kv
