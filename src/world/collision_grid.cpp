#include "world/collision_grid.h"

#include <algorithm>

#include "world/instance_class.h"
#include "world/object_class.h"
#include "world/world_state.h"

namespace kv {

namespace collision_detail {
// Only objects the game has get a counter: an instance of an object index that does not exist is in no list and
// no grid, and must not size the table by its index.
bool GrowObjectChanges(int object) {
  const int objects = WorldObjectCount();
  if (object >= objects) return false;
  g_objectChanges.resize(static_cast<size_t>(std::max(object + 64, objects)), 0);
  return true;
}
}  // namespace collision_detail

namespace {

bool g_indexEnabled = true;

struct FamilyCache {
  const GameResources* resources = nullptr;
  uint32_t generation = 0;
  int objectCount = -1;
  std::vector<std::vector<int>> families;
};
FamilyCache g_families;

// Boxes spanning more cells than this are kept apart and tested by every query.
constexpr int kMaxCellsPerEntry = 64;
// At most this many cells per axis; wider rooms get larger cells.
constexpr int kMaxCellsPerAxis = 128;

}  // namespace

void SetCollisionIndexEnabled(bool on) { g_indexEnabled = on; }
bool CollisionIndexEnabled() { return g_indexEnabled; }

GridBox BoxOf(const CInstance& inst) { return {inst.bboxLeft, inst.bboxTop, inst.bboxRight, inst.bboxBottom}; }

const std::vector<int>& FamilyObjects(int object) {
  static const std::vector<int> kNone;
  const GameResources* res = WorldResources();
  if (!res || !res->objects.Exists(object)) return kNone;
  FamilyCache& c = g_families;
  const int n = res->objects.Count();
  if (c.resources != res || c.generation != ObjectTreeGeneration() || c.objectCount != n) {
    c.resources = res;
    c.generation = ObjectTreeGeneration();
    c.objectCount = n;
    c.families.assign(n, {});
    // Each object joins the family of every object its parent chain visits, the walk the room's look-up lists
    // make when an instance is added (stopping at a missing object, bounded against cycles).
    for (int o = 0; o < n; ++o) {
      int budget = n;
      for (int a = o; res->objects.Exists(a) && budget-- > 0; a = res->objects.Get(a)->parent) {
        auto& f = c.families[a];
        if (f.empty() || f.back() != o) f.push_back(o);
      }
    }
  }
  return c.families[object];
}

// ---- grid ----

void ObjectGrid::Build(CInstance* const* list, int count, int roomWidth, int roomHeight) {
  width_ = roomWidth;
  height_ = roomHeight;
  const int w = std::max(roomWidth, 1), h = std::max(roomHeight, 1);
  cellShift_ = 6;
  while ((w >> cellShift_) + 1 > kMaxCellsPerAxis || (h >> cellShift_) + 1 > kMaxCellsPerAxis) ++cellShift_;
  cols_ = (w >> cellShift_) + 1;
  rows_ = (h >> cellShift_) + 1;
  count_ = count;
  cellStart_.assign(static_cast<size_t>(cols_) * rows_ + 1, 0);
  entries_.clear();
  big_.clear();

  std::vector<Entry> filed;
  filed.reserve(count);
  for (int i = 0; i < count; ++i) {
    const Entry e{BoxOf(*list[i]), i};
    const int x0 = CellX(e.box.left), x1 = CellX(e.box.right), y0 = CellY(e.box.top), y1 = CellY(e.box.bottom);
    if ((x1 - x0 + 1) * (y1 - y0 + 1) > kMaxCellsPerEntry) {
      big_.push_back(e);
      continue;
    }
    filed.push_back(e);
    for (int cy = y0; cy <= y1; ++cy)
      for (int cx = x0; cx <= x1; ++cx) ++cellStart_[cy * cols_ + cx + 1];
  }
  for (size_t c = 1; c < cellStart_.size(); ++c) cellStart_[c] += cellStart_[c - 1];
  entries_.resize(cellStart_.back());
  std::vector<int32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
  for (const Entry& e : filed) {
    const int x0 = CellX(e.box.left), x1 = CellX(e.box.right), y0 = CellY(e.box.top), y1 = CellY(e.box.bottom);
    for (int cy = y0; cy <= y1; ++cy)
      for (int cx = x0; cx <= x1; ++cx) entries_[fill[cy * cols_ + cx]++] = e;
  }
}

void ObjectGrid::Query(const GridBox& box, std::vector<int32_t>& out) const {
  const size_t start = out.size();
  for (const Entry& e : big_)
    if (BoxesOverlap(box, e.box)) out.push_back(e.pos);
  const int x0 = CellX(box.left), x1 = CellX(box.right), y0 = CellY(box.top), y1 = CellY(box.bottom);
  for (int cy = y0; cy <= y1; ++cy) {
    for (int cx = x0; cx <= x1; ++cx) {
      const int cell = cy * cols_ + cx;
      for (int k = cellStart_[cell]; k < cellStart_[cell + 1]; ++k) {
        const Entry& e = entries_[k];
        if (!BoxesOverlap(box, e.box)) continue;
        // An entry in several cells is reported once: from the cell holding the top-left corner of the overlap.
        if (CellX(std::max(box.left, e.box.left)) != cx || CellY(std::max(box.top, e.box.top)) != cy) continue;
        out.push_back(e.pos);
      }
    }
  }
  // Entries of one cell come in list order; several cells (or big entries) need merging.
  if (out.size() - start > 1 && (x0 != x1 || y0 != y1 || !big_.empty()))
    std::sort(out.begin() + static_cast<std::ptrdiff_t>(start), out.end());
}

}  // namespace kv
