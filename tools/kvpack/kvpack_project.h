#pragma once
// Builds the game data of a readable text project: DIR/game.kvp (the manifest) plus the code files it names.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kvpack_manifest.h"
#include "runner/game_data.h"

namespace kv::pack {

constexpr const char* kManifestName = "game.kvp";
constexpr int32_t kDefaultScrambleSeed = 193573;

struct PackedGame {
  GameData game;
  int32_t scrambleSeed = kDefaultScrambleSeed;
};

// Throws PackError ("file:line: message") for a bad manifest, a missing file or an unknown name.
PackedGame PackProject(const std::string& dir);
PackedGame PackManifest(std::string_view manifestText, const std::string& dir);

// The [settings] keys, shared with --dump so both name the fields alike.
struct SettingField {
  const char* key;
  std::variant<bool GameSettings::*, int32_t GameSettings::*> member;
};
const std::vector<SettingField>& SettingFields();

// "create", "alarm 3", "collision obj_wall", ... for an object event (the collision subtype as an index).
std::string EventName(int type, int subtype);

}  // namespace kv::pack
