#include "world/room_live.h"

#include <algorithm>

#include "world/world_state.h"

namespace kv {

CLiveRoom::CLiveRoom() : lookupGeneration_(ObjectTreeGeneration()) {}

CLiveRoom::~CLiveRoom() { ClearInstances(); }

std::unique_ptr<CLiveRoom> CLiveRoom::FromResource(const CRoom& resource) {
  auto room = std::make_unique<CLiveRoom>();
  room->props = resource;
  room->props.instances.clear();
  for (const RRoomInstance& placed : resource.instances) {
    CInstance* inst = room->AddInstance(placed.id, placed.objectIndex, placed.x, placed.y);
    inst->creationCode = placed.creationCode;
  }
  return room;
}

// ---- id map ----

void CLiveRoom::MapAdd(CInstance* inst) {
  IdSlot& slot = byId_[inst->id];
  if (!slot.one) slot.one = inst;
  else slot.more.push_back(inst);
}

void CLiveRoom::MapRemove(CInstance* inst) {
  auto it = byId_.find(inst->id);
  if (it == byId_.end()) return;
  IdSlot& slot = it->second;
  if (slot.one == inst) {
    if (slot.more.empty()) {
      byId_.erase(it);
      return;
    }
    slot.one = slot.more.front();
    slot.more.erase(slot.more.begin());
    return;
  }
  auto m = std::find(slot.more.begin(), slot.more.end(), inst);
  if (m != slot.more.end()) slot.more.erase(m);
}

CInstance* CLiveRoom::FindInstance(int id) const {
  auto it = byId_.find(id);
  if (it == byId_.end()) return nullptr;
  const IdSlot& slot = it->second;
  if (slot.more.empty()) return slot.one->deleted ? nullptr : slot.one;
  // Several instances share the id: the earliest in the active list that is not Deleted.
  CInstance* best = slot.one->deleted ? nullptr : slot.one;
  for (CInstance* c : slot.more)
    if (!c->deleted && (!best || c->activePos < best->activePos)) best = c;
  return best;
}

CInstance* CLiveRoom::FindInstanceByScan(int id) const {
  for (CInstance* c : active_)
    if (c->id == id && !c->deleted) return c;
  return nullptr;
}

// ---- lists ----

void CLiveRoom::AddToLookups(CInstance* inst) {
  const int object = inst->objectIndex;
  if (!inst->deleted) {
    inst->countedIn = this;
    ++liveTotal_;
  }
  inst->lookupRank = nextLookupRank_++;
  // The lists have one slot per object of the game. An instance of an object index the game does not have (a
  // damaged room record, say) stays in the active list but in no look-up list, so no list is sized by its index.
  const int objects = WorldObjectCount();
  if (object < 0 || object >= objects) return;
  // Appends walk today's parent chains; lists built under other chains no longer split by object.
  if (lookupGeneration_ != ObjectTreeGeneration()) familiesFollowTree_ = false;
  NoteBoxChange(object);
  if (static_cast<size_t>(object) >= exact_.size()) {
    // Grow to the current object count, so objects added at run time find their slots.
    exact_.resize(static_cast<size_t>(objects));
    family_.resize(static_cast<size_t>(objects));
  }
  exact_[object].push_back(inst);
  if (static_cast<size_t>(object) >= liveExact_.size()) liveExact_.resize(exact_.size(), 0);
  if (!inst->deleted) ++liveExact_[object];
  const GameResources* res = WorldResources();
  if (!res) return;
  int budget = res->objects.Count();
  for (int o = object; res->objects.Exists(o) && budget-- > 0; o = res->objects.Get(o)->parent) {
    if (static_cast<size_t>(o) >= family_.size()) {
      exact_.resize(static_cast<size_t>(objects));
      family_.resize(static_cast<size_t>(objects));
    }
    family_[o].push_back(inst);
  }
}

void CLiveRoom::AppendActive(CInstance* inst) {
  inst->activePos = static_cast<int32_t>(active_.size());
  active_.push_back(inst);
  MapAdd(inst);
  AddToLookups(inst);
}

CInstance* CLiveRoom::AddInstance(int id, int object, double x, double y) {
  auto inst = std::make_unique<CInstance>(id, object, x, y);
  inst->ApplyObjectDefaults();
  return Adopt(std::move(inst));
}

CInstance* CLiveRoom::Adopt(std::unique_ptr<CInstance> inst) {
  CInstance* p = inst.release();
  AppendActive(p);
  return p;
}

void CLiveRoom::RefreshPositions() {
  for (size_t i = 0; i < active_.size(); ++i) active_[i]->activePos = static_cast<int32_t>(i);
}

void CLiveRoom::RebuildLookups() {
  for (auto& l : exact_) l.clear();
  for (auto& l : family_) l.clear();
  std::fill(liveExact_.begin(), liveExact_.end(), 0);
  liveTotal_ = 0;
  ++listEpoch_;
  lookupGeneration_ = ObjectTreeGeneration();
  familiesFollowTree_ = true;
  reorderedSinceRebuild_ = false;
  for (CInstance* inst : deactivated_) inst->countedIn = nullptr;
  for (CInstance* inst : active_) {
    inst->countedIn = nullptr;
    AddToLookups(inst);
  }
}

// The look-up lists without their Deleted instances. Equal to a rebuild from the compacted active list as long as
// that list kept the order the look-up lists were built in (no depth sort since) and the parent chains are those
// the family lists were built with.
void CLiveRoom::CompactLookups() {
  auto gone = [](const CInstance* i) { return i->deleted; };
  for (auto& l : exact_) std::erase_if(l, gone);
  for (auto& l : family_) std::erase_if(l, gone);
  ++listEpoch_;
}

void CLiveRoom::MarkDeleted(CInstance* inst) {
  if (inst->deleted) return;
  inst->deleted = true;
  Uncount(inst);
}

void CLiveRoom::Uncount(CInstance* inst) {
  CLiveRoom* room = inst->countedIn;
  if (!room) return;
  inst->countedIn = nullptr;
  --room->liveTotal_;
  if (inst->objectIndex >= 0 && inst->objectIndex < static_cast<int>(room->liveExact_.size()))
    --room->liveExact_[inst->objectIndex];
}

const ObjectGrid* CLiveRoom::Grid(int object) {
  if (!CollisionIndexEnabled() || ExactCount(object) < ObjectGrid::kMinEntries) return nullptr;
  if (static_cast<size_t>(object) >= grids_.size()) grids_.resize(object + 1);
  auto& grid = grids_[object];
  if (!grid) grid = std::make_unique<ObjectGrid>();
  const uint32_t changes = ObjectChangeCount(object);
  if (!grid->Fresh(listEpoch_, changes, props.width, props.height)) {
    const auto& list = exact_[object];
    grid->Build(list.data(), static_cast<int>(list.size()), props.width, props.height);
    grid->Stamp(listEpoch_, changes);
  }
  return grid.get();
}

void CLiveRoom::RemoveDeleted() {
  size_t keep = 0;
  const size_t n = active_.size();
  for (size_t i = 0; i < n; ++i) {
    if (active_[i]->deleted) break;
    ++keep;
  }
  if (keep == n) return;
  // Compaction first (the look-up lists still point at the Deleted instances), freeing afterwards.
  const bool compact = !reorderedSinceRebuild_ && FamiliesFollowTree();
  if (compact) CompactLookups();
  for (size_t i = keep; i < n; ++i) {
    CInstance* inst = active_[i];
    if (inst->deleted) {
      Uncount(inst);  // marked by a plain write of the flag
      MapRemove(inst);
      delete inst;
      continue;
    }
    inst->activePos = static_cast<int32_t>(keep);
    active_[keep++] = inst;
  }
  active_.resize(keep);
  if (!compact) RebuildLookups();
}

void CLiveRoom::UpdateDeactivation() {
  std::vector<CInstance*> stillDeactivated;
  std::vector<CInstance*> reactivated;
  for (CInstance* inst : deactivated_) (inst->deactivated ? stillDeactivated : reactivated).push_back(inst);
  std::vector<CInstance*> active;
  active.reserve(active_.size() + reactivated.size());
  for (CInstance* inst : active_) {
    if (inst->deactivated) {
      MapRemove(inst);
      inst->activePos = -1;
    } else {
      active.push_back(inst);
    }
  }
  for (CInstance* inst : reactivated) {
    active.push_back(inst);
    MapAdd(inst);
  }
  for (CInstance* inst : active_)
    if (inst->deactivated) stillDeactivated.push_back(inst);
  active_ = std::move(active);
  deactivated_ = std::move(stillDeactivated);
  RefreshPositions();
  RebuildLookups();
}

void CLiveRoom::SortByDepth() {
  auto deeperFirst = [](const CInstance* a, const CInstance* b) { return a->depth > b->depth; };
  if (std::is_sorted(active_.begin(), active_.end(), deeperFirst)) return;
  std::stable_sort(active_.begin(), active_.end(), deeperFirst);
  reorderedSinceRebuild_ = true;
  RefreshPositions();
}

void CLiveRoom::ClearInstances() {
  for (CInstance* inst : active_) delete inst;
  for (CInstance* inst : deactivated_) delete inst;
  active_.clear();
  deactivated_.clear();
  byId_.clear();
  for (auto& l : exact_) l.clear();
  for (auto& l : family_) l.clear();
  std::fill(liveExact_.begin(), liveExact_.end(), 0);
  liveTotal_ = 0;
  ++listEpoch_;
  grids_.clear();
  // Empty lists follow any tree and any order.
  lookupGeneration_ = ObjectTreeGeneration();
  familiesFollowTree_ = true;
  reorderedSinceRebuild_ = false;
}

void CLiveRoom::ScrollBackgrounds() {
  for (CBack& b : props.backgrounds) {
    b.x += b.hSpeed;
    b.y += b.vSpeed;
  }
}

// ---- tiles ----

int CLiveRoom::AddTile(RTile tile, int& lastTileId) {
  tile.id = ++lastTileId;
  props.tiles.push_back(tile);
  lastTileIndex_ = TileCount() - 1;
  return lastTileIndex_;
}

int CLiveRoom::FindTileById(int id) {
  if (lastTileIndex_ >= 0 && lastTileIndex_ < TileCount() && props.tiles[lastTileIndex_].id == id)
    return lastTileIndex_;
  for (int i = 0; i < TileCount(); ++i) {
    if (props.tiles[i].id == id) return lastTileIndex_ = i;
  }
  return -1;
}

int CLiveRoom::FindTileAt(double px, double py, bool foreground) {
  for (int i = 0; i < TileCount(); ++i) {
    const RTile& t = props.tiles[i];
    if (t.x <= px && px < t.x + t.width && t.y <= py && py < t.y + t.height &&
        (foreground ? t.depth < 0 : t.depth >= 0))
      return lastTileIndex_ = i;
  }
  return -1;
}

void CLiveRoom::DeleteTilesAt(double px, double py, bool foreground) {
  std::erase_if(props.tiles, [&](const RTile& t) {
    return t.x <= px && px <= t.x + t.width && t.y <= py && py <= t.y + t.height &&
           (foreground ? t.depth <= 0 : t.depth >= 0);
  });
}

void CLiveRoom::DeleteTile(int i) {
  if (i >= 0 && i < TileCount()) props.tiles.erase(props.tiles.begin() + i);
}

void CLiveRoom::SortTilesByDepth() {
  auto deeperFirst = [](const RTile& a, const RTile& b) { return a.depth > b.depth; };
  if (!std::is_sorted(props.tiles.begin(), props.tiles.end(), deeperFirst))
    std::stable_sort(props.tiles.begin(), props.tiles.end(), deeperFirst);
}

void CLiveRoom::SetLayerVisible(double depth, bool visible) {
  for (RTile& t : props.tiles)
    if (t.depth == depth) t.visible = visible;
}

void CLiveRoom::DeleteLayer(double depth) {
  std::erase_if(props.tiles, [&](const RTile& t) { return t.depth == depth; });
}

void CLiveRoom::ShiftLayer(double depth, double dx, double dy) {
  for (RTile& t : props.tiles)
    if (t.depth == depth) {
      t.x += dx;
      t.y += dy;
    }
}

int CLiveRoom::FindLayerTileAt(double depth, double px, double py) {
  for (int i = 0; i < TileCount(); ++i) {
    const RTile& t = props.tiles[i];
    if (t.depth == depth && t.x <= px && px < t.x + t.width && t.y <= py && py < t.y + t.height)
      return lastTileIndex_ = i;
  }
  return -1;
}

void CLiveRoom::DeleteLayerTilesAt(double depth, double px, double py) {
  std::erase_if(props.tiles, [&](const RTile& t) {
    return t.depth == depth && t.x <= px && px < t.x + t.width && t.y <= py && py < t.y + t.height;
  });
}

void CLiveRoom::SetLayerDepth(double depth, double newDepth) {
  for (RTile& t : props.tiles)
    if (t.depth == depth) t.depth = newDepth;
}

}  // namespace kv
