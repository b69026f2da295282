// The minimal instance and room interface the language runs against.
//
// Code reaches instances in three ways: the self/other instances of a run (their built-in fields and their own
// variables), the room's lists (all, an object's family, an instance by id) and instance creation. The instance
// is the world's CInstance; the live room implements CodeWorld. CodeWorldDouble (code_world_double.h), a test
// double, keeps a plain in-memory list for the language tests and kvbench.
#pragma once

#include <cstdint>

#include "world/instance_class.h"  // CInstance: the world's instance is the one code runs on

namespace kv {

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
