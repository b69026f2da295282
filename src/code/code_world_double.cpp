#include "code/code_world_double.h"

#include <algorithm>

namespace kv {

namespace {
CodeWorld* g_world = nullptr;
}

CodeWorld* GetCodeWorld() { return g_world; }
void SetCodeWorld(CodeWorld* world) { g_world = world; }

CInstance* CodeWorldDouble::Create(int objectIndex, double x, double y) {
  auto inst = std::make_unique<CInstance>();
  inst->id = ++lastId_;
  inst->objectIndex = objectIndex;
  inst->x = x;
  inst->y = y;
  CInstance* p = inst.get();
  owned_.push_back(std::move(inst));
  active_.push_back(p);
  families_[objectIndex].push_back(p);
  byId_[p->id] = p;
  return p;
}

void CodeWorldDouble::Destroy(CInstance* inst) {
  if (!inst || inst->deleted) return;
  inst->deleted = true;
  auto it = byId_.find(inst->id);
  if (it != byId_.end() && it->second == inst) byId_.erase(it);
}

void CodeWorldDouble::RemoveDeleted() {
  auto dead = [](CInstance* c) { return c->deleted; };
  active_.erase(std::remove_if(active_.begin(), active_.end(), dead), active_.end());
  for (auto& [obj, list] : families_) list.erase(std::remove_if(list.begin(), list.end(), dead), list.end());
  owned_.erase(std::remove_if(owned_.begin(), owned_.end(), [](const auto& p) { return p->deleted; }), owned_.end());
}

void CodeWorldDoubleInstanceCreate(RValue& result, CInstance*, CInstance*, int, RValue* args) {
  CodeWorldDouble* w = dynamic_cast<CodeWorldDouble*>(GetCodeWorld());
  if (!w) return;
  CInstance* inst = w->Create(RoundToInt(args[2].Real()), args[0].Real(), args[1].Real());
  result.SetReal(inst->id);
}

void CodeWorldDouble::Clear() {
  active_.clear();
  families_.clear();
  byId_.clear();
  owned_.clear();
  lastId_ = 100000;
}

}  // namespace kv
