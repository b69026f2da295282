#include "debugger/debug_info.h"

#include <cstdio>

#include "code/code_variable.h"
#include "debugger/debug_format.h"
#include "world/instance_class.h"
#include "world/room_live.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv::debugger {

namespace {

RValue ReadBuiltin(CInstance* self, const char* name) {
  RValue value;
  const RBuiltinVariable* variable = GetBuiltinVariable(FindBuiltinVariable(name));
  if (!variable || !variable->read || !variable->read(self, 0, value)) return RValue(0.0);
  return value;
}

void AppendBuiltins(std::string& text, CInstance* self, std::initializer_list<const char*> names) {
  for (const char* name : names) text += VariableLine(name, FormatValue(ReadBuiltin(self, name)));
}

void AppendSeparator(std::string& text) {
  text += kSectionSeparator;
  text += '\n';
}

void AppendVariables(std::string& text, const CVariableList& list) {
  for (size_t i = 0; i < list.Count(); ++i) {
    const RVariable& variable = list.At(i);
    text += VariableLine(VariableIdToName(variable.id), FormatValue(variable.value));
  }
}

std::string ObjectName(int object) {
  const GameResources* res = WorldResources();
  return res ? std::string(res->objects.Name(object)) : std::string("<undefined>");
}

std::string SpriteName(int sprite) {
  const GameResources* res = WorldResources();
  return res ? std::string(res->sprites.Name(sprite)) : std::string("<undefined>");
}

}  // namespace

RValue BuiltinValue(const char* name) {
  CInstance scratch(0, 0, 0, 0);
  return ReadBuiltin(&scratch, name);
}

std::string GlobalVariablesText() {
  CInstance scratch(0, 0, 0, 0);
  std::string text;
  AppendBuiltins(text, &scratch,
                 {"mouse_x", "mouse_y", "mouse_button", "mouse_lastbutton", "keyboard_key", "keyboard_lastkey",
                  "keyboard_lastchar", "keyboard_string"});
  AppendSeparator(text);
  AppendBuiltins(text, &scratch,
                 {"score", "lives", "health", "room", "room_width", "room_height", "room_speed", "room_persistent",
                  "cursor_sprite"});
  AppendSeparator(text);
  AppendBuiltins(text, &scratch,
                 {"working_directory", "temp_directory", "program_directory", "secure_mode", "error_occurred",
                  "error_last"});
  AppendSeparator(text);
  AppendVariables(text, GlobalVariables());
  return text;
}

std::string InstancesText() {
  std::string text = kInstanceListHeader;
  text += '\n';
  text += std::string(36, '_');
  text += '\n';
  const CLiveRoom* room = CurrentRoom();
  for (int i = 0; room && i < room->ActiveCount(); ++i) {
    const CInstance* inst = room->ActiveAt(i);
    if (inst->deleted) continue;
    const std::string object = ObjectName(inst->objectIndex), sprite = SpriteName(inst->spriteIndex);
    char line[64 + 2 * 256];
    std::snprintf(line, sizeof line, "%6d %14.256s %14.256s\n", inst->id, object.c_str(), sprite.c_str());
    text += line;
  }
  return text;
}

CInstance* FindInstanceForLocals(int id, const std::string& objectName) {
  const CLiveRoom* room = CurrentRoom();
  for (int i = 0; room && i < room->ActiveCount(); ++i) {
    CInstance* inst = room->ActiveAt(i);
    if (inst->deleted) continue;
    if (id >= 0 ? inst->id == id : ObjectName(inst->objectIndex) == objectName) return inst;
  }
  return nullptr;
}

std::string LocalVariablesText(CInstance* instance) {
  if (!instance) return kNoSuchInstance;
  std::string text;
  AppendBuiltins(text, instance,
                 {"x", "y", "direction", "speed", "hspeed", "vspeed", "friction", "gravity", "gravity_direction"});
  AppendSeparator(text);
  AppendBuiltins(text, instance,
                 {"id", "object_index", "sprite_index", "image_index", "image_single", "image_speed", "image_scale",
                  "mask_index", "solid", "visible", "persistent", "depth"});
  AppendSeparator(text);
  AppendBuiltins(text, instance, {"path_index", "path_position", "path_orientation", "path_scale"});
  AppendSeparator(text);
  AppendVariables(text, instance->locals);
  return text;
}

std::string MessagesText(const std::vector<std::string>& messages) {
  std::string text;
  for (const std::string& message : messages) {
    text += message;
    text += "\n\n";
  }
  return text;
}

int InstanceIdAt(double x, double y) {
  int found = -1;
  const CLiveRoom* room = CurrentRoom();
  for (int i = 0; room && i < room->ActiveCount(); ++i) {
    const CInstance* inst = room->ActiveAt(i);
    if (!inst->deleted && inst->CollidesPoint(x, y, true)) found = inst->id;
  }
  return found;
}

}  // namespace kv::debugger
