// CodeWorldDouble: a stand-in for the world that the language tests and kvbench run code against, a plain
// in-memory room (instances in creation order, family = same object, an id map) without objects or events.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "code/code_instance.h"
#include "code/code_value.h"

namespace kv {

class CodeWorldDouble : public CodeWorld {
 public:
  int ActiveCount() const override { return static_cast<int>(active_.size()); }
  CInstance* ActiveAt(int i) const override {
    return i >= 0 && i < static_cast<int>(active_.size()) ? active_[i] : nullptr;
  }
  int FamilyCount(int objectIndex) const override {
    auto it = families_.find(objectIndex);
    return it == families_.end() ? 0 : static_cast<int>(it->second.size());
  }
  CInstance* FamilyAt(int objectIndex, int i) const override {
    auto it = families_.find(objectIndex);
    if (it == families_.end() || i < 0 || i >= static_cast<int>(it->second.size())) return nullptr;
    return it->second[i];
  }
  CInstance* FindInstance(int id) const override {
    auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : it->second;
  }

  // Appends a new instance with the next id (100001, 100002, …) and returns it.
  CInstance* Create(int objectIndex, double x, double y);
  // Marks the instance Deleted (it stays in the lists until RemoveDeleted, as in a step).
  void Destroy(CInstance* inst);
  void RemoveDeleted();
  void Clear();

 private:
  std::vector<std::unique_ptr<CInstance>> owned_;
  std::vector<CInstance*> active_;
  std::unordered_map<int, std::vector<CInstance*>> families_;
  std::unordered_map<int, CInstance*> byId_;
  int lastId_ = 100000;
};

// instance_create(x, y, object) creating in the current CodeWorldDouble: the language harnesses (kvbench, tests)
// install it over the room's version.
void CodeWorldDoubleInstanceCreate(RValue& result, CInstance* self, CInstance* other, int argc, RValue* args);

}  // namespace kv
