#pragma once
// A readable summary of a game: header, settings, and every section with its counts and names.
#include <string>

#include "runner/game_data.h"

namespace kv::pack {

std::string DumpGame(const GameData& game);

}  // namespace kv::pack
