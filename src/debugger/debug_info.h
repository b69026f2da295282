// The contents of the debugger's information windows: global variables, the instance list, the variables of one
// instance and the message log.
#pragma once

#include <string>
#include <vector>

#include "code/code_value.h"

namespace kv {
class CInstance;
}

namespace kv::debugger {

inline constexpr const char* kNoSuchInstance = "NO SUCH INSTANCE EXISTS";
inline constexpr const char* kInstanceListHeader = "   Id     Object Name    Sprite Name";

// Built-in values that concern the whole game, then every global variable of the game.
std::string GlobalVariablesText();
// The header, 36 underscores, then "%6d %14s %14s" (id, object name, sprite name) per instance not destroyed.
std::string InstancesText();
// The first instance of the current room, not destroyed, with the id (id >= 0) or whose object has the name;
// null when there is none.
CInstance* FindInstanceForLocals(int id, const std::string& objectName);
// The instance's built-in fields in sections, then its own variables; "NO SUCH INSTANCE EXISTS" for null.
std::string LocalVariablesText(CInstance* instance);
// Every message followed by an empty line.
std::string MessagesText(const std::vector<std::string>& messages);

// The id of the last instance in the room that contains the point (precise test), -1 when none.
int InstanceIdAt(double x, double y);
// A built-in variable read with a temporary instance as self (real 0 when the table has no such name).
RValue BuiltinValue(const char* name);

}  // namespace kv::debugger
