// Broad phase for the collision queries: which instances of one object could touch a box.
//
// An ObjectGrid holds the bounding boxes of one object's exact list (as a copy) in uniform cells over the room; a
// query returns the list positions of the entries whose boxes overlap the asked box, ascending, each once. It is
// rebuilt on demand and trusted only while nothing it copied can have changed: every bounding-box change and
// every append to an object's lists bumps that object's change counter (NoteBoxChange), and every rebuild of the
// room's look-up lists bumps the room's list counter. The callers still run the exact instance tests (flags,
// masks) on the candidates, in list order, so results equal the plain scan of the list.
//
// FamilyObjects(o) tells which objects' instances the family list of o holds (o and its descendants), so a family
// selection can be answered per object; the object tree generation says when parents may have changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv {

class CInstance;

namespace collision_detail {
inline std::vector<uint32_t> g_objectChanges;
inline uint64_t g_boxChanges = 0;
inline uint64_t g_positionChanges = 0;
inline uint32_t g_treeGeneration = 1;
bool GrowObjectChanges(int object);  // false when the object index is not one of the game's objects
}  // namespace collision_detail

// An instance of `object` changed its bounding box or joined the object's lists.
inline void NoteBoxChange(int object) {
  ++collision_detail::g_boxChanges;
  if (object < 0) return;
  if (static_cast<size_t>(object) >= collision_detail::g_objectChanges.size() &&
      !collision_detail::GrowObjectChanges(object))
    return;
  ++collision_detail::g_objectChanges[object];
}
// An instance moved (x or y changed): searches by position may no longer trust what they filed.
inline void NotePositionChange() { ++collision_detail::g_positionChanges; }
inline uint64_t PositionChangeCount() { return collision_detail::g_positionChanges; }
// Counts every bounding-box change anywhere (a cheap "did anything move" check around running events).
inline uint64_t BoxChangeCount() { return collision_detail::g_boxChanges; }
inline uint32_t ObjectChangeCount(int object) {
  return object >= 0 && static_cast<size_t>(object) < collision_detail::g_objectChanges.size()
             ? collision_detail::g_objectChanges[object]
             : 0;
}

// Parents changed (dispatch lists rebuilt): family lists built before may follow the old tree.
inline void NoteObjectTreeChange() { ++collision_detail::g_treeGeneration; }
inline uint32_t ObjectTreeGeneration() { return collision_detail::g_treeGeneration; }

// The objects whose instances join the family lists of `object`: the object itself when it exists and every
// existing object whose parent chain reaches it, ascending. Empty for a missing object.
const std::vector<int>& FamilyObjects(int object);

// The plain scans stay available: tests compare both ways, and switching the index off is a diagnostic.
void SetCollisionIndexEnabled(bool on);
bool CollisionIndexEnabled();

struct GridBox {
  int32_t left, top, right, bottom;  // inclusive pixels, like bbox_*
};
// Boxes overlap unless one lies wholly left, right, above or below the other (the instance test's first step).
inline bool BoxesOverlap(const GridBox& a, const GridBox& b) {
  return !(int64_t{b.left} >= int64_t{a.right} + 1 || int64_t{a.left} >= int64_t{b.right} + 1 ||
           int64_t{b.top} >= int64_t{a.bottom} + 1 || int64_t{a.top} >= int64_t{b.bottom} + 1);
}
GridBox BoxOf(const CInstance& inst);

class ObjectGrid {
 public:
  // Lists shorter than this are scanned directly: building and asking a grid costs more than the tests.
  static constexpr int kMinEntries = 12;

  // Files the instances of one exact list (positions 0 ... count − 1) over a room of the given size.
  void Build(CInstance* const* list, int count, int roomWidth, int roomHeight);
  // Still a true copy of the list: nothing was rebuilt, appended or moved since Build.
  bool Fresh(uint64_t listEpoch, uint32_t objectChanges, int roomWidth, int roomHeight) const {
    return listEpoch == listEpoch_ && objectChanges == objectChanges_ && roomWidth == width_ && roomHeight == height_;
  }
  void Stamp(uint64_t listEpoch, uint32_t objectChanges) {
    listEpoch_ = listEpoch;
    objectChanges_ = objectChanges;
  }
  int Count() const { return count_; }

  // Appends to out the list positions of the entries overlapping box, ascending and each once.
  void Query(const GridBox& box, std::vector<int32_t>& out) const;
  // True when fn(position) holds for an entry overlapping box (each asked at most once, in no particular order).
  template <class Fn>
  bool Any(const GridBox& box, Fn&& fn) const;

 private:
  struct Entry {
    GridBox box;
    int32_t pos;
  };
  int CellX(int32_t v) const;
  int CellY(int32_t v) const;

  int width_ = -1, height_ = -1;
  int cellShift_ = 6;  // cells of 2^shift pixels
  int cols_ = 1, rows_ = 1;
  int count_ = 0;
  uint64_t listEpoch_ = ~uint64_t{0};
  uint32_t objectChanges_ = 0;
  std::vector<int32_t> cellStart_;  // cols × rows + 1 offsets into entries_
  std::vector<Entry> entries_;
  std::vector<Entry> big_;          // boxes over too many cells: always tested
};

inline int ObjectGrid::CellX(int32_t v) const {
  const int c = v < 0 ? 0 : (v >> cellShift_);
  return c < cols_ ? c : cols_ - 1;
}
inline int ObjectGrid::CellY(int32_t v) const {
  const int c = v < 0 ? 0 : (v >> cellShift_);
  return c < rows_ ? c : rows_ - 1;
}

template <class Fn>
bool ObjectGrid::Any(const GridBox& box, Fn&& fn) const {
  for (const Entry& e : big_)
    if (BoxesOverlap(box, e.box) && fn(e.pos)) return true;
  const int x0 = CellX(box.left), x1 = CellX(box.right), y0 = CellY(box.top), y1 = CellY(box.bottom);
  for (int cy = y0; cy <= y1; ++cy) {
    for (int cx = x0; cx <= x1; ++cx) {
      const int cell = cy * cols_ + cx;
      for (int k = cellStart_[cell]; k < cellStart_[cell + 1]; ++k) {
        const Entry& e = entries_[k];
        if (!BoxesOverlap(box, e.box)) continue;
        if (CellX(e.box.left > box.left ? e.box.left : box.left) != cx ||
            CellY(e.box.top > box.top ? e.box.top : box.top) != cy)
          continue;  // asked once, in the cell holding the top-left corner of the overlap
        if (fn(e.pos)) return true;
      }
    }
  }
  return false;
}

}  // namespace kv
