// Preparing a loaded game for play: the language learns the game's resources (names usable as constants, the
// scripts, the user constants), scripts and actions are compiled, and the error settings are applied. Each step
// is one preparation phase of the runner.
#pragma once

#include <functional>
#include <string>

namespace kv {

struct GameData;

// Makes the loaded resources the world's and the language's (resource names resolve as constants, the error
// settings apply, every built-in function and variable is registered).
void AttachGame(GameData& game);
// Undoes AttachGame when `game` is the attached one, so nothing keeps pointing into a game that is gone.
void DetachGame(const GameData& game);
// Defines the user constants in stored order; false at the first invalid one (after its message box).
bool DefineGameConstants(const GameData& game, const std::function<void(const std::string&)>& messageBox);
// Copies the scripts into the language's script table and compiles them; false on the first compile error.
bool CompileGameScripts(const GameData& game);
bool CompileTimeLineActions(GameData& game);
bool CompileObjectActions(GameData& game);

}  // namespace kv
