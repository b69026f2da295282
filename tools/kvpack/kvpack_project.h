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

// One piece of code as stored in the game, with where it came from (for the compile check).
struct CodeSource {
  std::string file;         // project-relative path, or game.kvp for code written in the manifest
  std::string text;         // as stored: CP-1252 with CR LF line ends
  bool expression = false;  // an action argument
  int manifestLine = 0;     // for code written in the manifest
  int lineOffset = 0;       // for code cut out of a file: the file's lines before the code's first line
};

struct PackedGame {
  GameData game;
  std::vector<CodeSource> code;
  int32_t scrambleSeed = kDefaultScrambleSeed;
};

// Throws PackError ("file:line: message") for a bad manifest, a missing file or an unknown name.
PackedGame PackProject(const std::string& dir);
PackedGame PackManifest(std::string_view manifestText, const std::string& dir);

// Code text as the runner stores it: a UTF-8 byte order mark dropped, every line end (LF, CR LF or CR) made CR LF,
// since the runner counts lines by CR; converted to CP-1252.
std::string StoredCodeText(std::string_view utf8);

// The [settings] keys, shared with --dump so both name the fields alike.
struct SettingField {
  const char* key;
  std::variant<bool GameSettings::*, int32_t GameSettings::*> member;
};
const std::vector<SettingField>& SettingFields();

// "create", "alarm 3", "collision obj_wall", ... for an object event (the collision subtype as an index).
std::string EventName(int type, int subtype);

}  // namespace kv::pack
