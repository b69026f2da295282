// The game's scripts: named programs, compiled once in index order after the constants, callable like functions
// (ids 100000 + index). The stored records are read by the game-data loader; this module keeps what the
// language needs: name, source text and the compiled code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "code/code_value.h"

namespace kv {

class CCode;
class CInstance;

// Removes every script.
void ClearScripts();
// Puts a script into slot index (growing the list with empty slots); returns the index.
int SetScript(int index, std::string_view name, std::string_view text);
int AddScript(std::string_view name, std::string_view text);
int ScriptCount();
bool ScriptExists(int index);
std::string ScriptName(int index);  // "<undefined>" for an empty or invalid slot
std::string ScriptText(int index);
int FindScript(std::string_view name);  // exact; -1
CCode* ScriptCode(int index);           // nullptr when absent
// Changes whenever a script slot is set or the table cleared (lets call sites cache ScriptCode).
namespace script_detail {
extern uint64_t g_generation;
}
inline uint64_t ScriptTableGeneration() { return script_detail::g_generation; }

// Compiles every script in index order; the first failure is reported as fatal
// ("COMPILATION ERROR in Script: " + name + CR + message) and stops with false.
bool CompileScripts();

// Runs script index with the given arguments (count <= 16) and the caller's self/other. False on failure
// (nothing happens for an empty slot; a failed run leaves "In script X:" + CR + message pending).
bool CallScript(int index, CInstance* self, CInstance* other, RValue& result, const RValue* args, int count);

}  // namespace kv
