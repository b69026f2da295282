// Saved games: the whole world state (game state, global variables, every live room with its instances, the last
// instance and tile ids) in one stream.
//
// Saving writes a temporary file next to the target and renames it over the target, so a failed save never
// destroys the previous one. Loading parses and validates the whole file into new state first; only a file that
// parsed completely and names an existing current room replaces the running game. Anything else is refused with
// an error and the game goes on unchanged.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

class CStream;

constexpr int32_t kSavedGameVersion = 540;

// The saved-game stream of the running world.
void WriteSavedGame(CStream& out, int32_t gameId);
// Parses s completely; on success replaces the running world (no event runs) and returns true. On failure returns
// false with `error` set and changes nothing.
bool ApplySavedGame(CStream& s, int32_t gameId, std::string& error);

// File forms. SaveGame returns false with `error` set when the file cannot be written (the old file is kept).
bool SaveGame(const std::string& file, int32_t gameId, bool secureMode, std::string& error);
// A missing file is silently ignored (true, nothing changes); otherwise as ApplySavedGame.
bool LoadGame(const std::string& file, int32_t gameId, std::string& error);

}  // namespace kv
