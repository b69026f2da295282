// The minimal instance and room interface the language runs against.
//
// Code reaches instances in three ways: the self/other instances of a run (their built-in fields and their own
// variables), the room's lists (all, an object's family, an instance by id) and instance creation. The world
// module supplies the real instance and room; until then SimpleWorld (code_world.h) keeps a plain in-memory list,
// which is also what the language tests and kvbench use.
#pragma once

#include <cstdint>

#include "code/code_variable.h"

namespace kv {

class CInstance {
 public:
  int32_t id = 0;            // instance id (100000 and up for room instances; 0 for temporaries)
  int32_t objectIndex = 0;   // object_index
  bool deleted = false;      // `Deleted`: destroyed, waiting to be removed at the end of the step
  bool deactivated = false;  // `Deactivated`
  double x = 0.0, y = 0.0;
  CVariableList locals;      // `Locals`: the instance's own (user) variables
};

// The room as code sees it. Every list is walked by index with the count re-read each time; lookups by id give
// the first instance with that id that is not `Deleted`.
class CodeWorld {
 public:
  virtual ~CodeWorld() = default;
  virtual int ActiveCount() const = 0;
  virtual CInstance* ActiveAt(int i) const = 0;
  // The object's family list: its instances and those of its descendants (empty for an invalid index).
  virtual int FamilyCount(int objectIndex) const = 0;
  virtual CInstance* FamilyAt(int objectIndex, int i) const = 0;
  virtual CInstance* FindInstance(int id) const = 0;
};

// The world code currently runs against; nullptr = no room (every list empty).
CodeWorld* GetCodeWorld();
void SetCodeWorld(CodeWorld* world);

}  // namespace kv
