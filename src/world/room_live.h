// CLiveRoom: the live state of a room while the game runs — a copy of the room resource's settings, layers, views
// and tiles, plus its instances in their ordered lists:
//   - active: the order in which all instances are visited (sorted by depth before each drawing);
//   - deactivated: instances taken out of the game by deactivation;
//   - exact[o]: active instances whose object is o; family[o]: those of o and of its descendants. Both follow the
//     active order at the last rebuild plus later appends (rebuilt after removals and deactivation changes, NOT
//     after depth sorting). Slots grow on demand when objects are added while the game runs;
//   - an id map over the active instances, so a lookup by id is O(1) and gives exactly what a plain search of the
//     active list gives: the first instance with that id that is not Deleted;
//   - live counts per object (instances listed and not Deleted), so instance_number needs no scan;
//   - a broad-phase grid per object, rebuilt on demand (collision_grid.h).
// Instances are owned by the room; an instance is freed only by RemoveDeleted, ClearInstances or the room's end,
// so pointers held by running events stay valid for the whole step.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "code/code_instance.h"
#include "world/collision_grid.h"
#include "world/room_class.h"

namespace kv {

// Final: the world's hot loops call the list accessors through CLiveRoom*, and they are then direct calls.
class CLiveRoom final : public CodeWorld {
 public:
  CLiveRoom();
  ~CLiveRoom() override;
  CLiveRoom(const CLiveRoom&) = delete;
  CLiveRoom& operator=(const CLiveRoom&) = delete;

  // A live state copied from a room resource: settings, layers, views and tiles by value; every placed instance
  // created with its stored id, object and position and its creation code (the object's defaults applied).
  static std::unique_ptr<CLiveRoom> FromResource(const CRoom& resource);

  // The room's settings, layers, views, creation code and tiles (`props.instances` stays empty: the instances are
  // the lists below).
  CRoom props;

  // ---- CodeWorld ----
  int ActiveCount() const override { return static_cast<int>(active_.size()); }
  CInstance* ActiveAt(int i) const override {
    return i >= 0 && i < static_cast<int>(active_.size()) ? active_[i] : nullptr;
  }
  int FamilyCount(int object) const override { return ListCount(family_, object); }
  CInstance* FamilyAt(int object, int i) const override { return ListAt(family_, object, i); }
  // The first instance with that id in active order that is not Deleted; null when none.
  CInstance* FindInstance(int id) const override;

  int ExactCount(int object) const { return ListCount(exact_, object); }
  CInstance* ExactAt(int object, int i) const { return ListAt(exact_, object, i); }
  int DeactivatedCount() const { return static_cast<int>(deactivated_.size()); }
  CInstance* DeactivatedAt(int i) const {
    return i >= 0 && i < static_cast<int>(deactivated_.size()) ? deactivated_[i] : nullptr;
  }
  // FindInstance by walking the active list (the reference the id map must always agree with).
  CInstance* FindInstanceByScan(int id) const;

  // ---- instance lists ----
  // Appends a new instance with the given id (object defaults applied) to the active list, its exact list and
  // the family lists of its object and each ancestor.
  CInstance* AddInstance(int id, int object, double x, double y);
  // Appends an instance built elsewhere (a carried persistent instance, a loaded one), taking ownership.
  CInstance* Adopt(std::unique_ptr<CInstance> inst);
  // Drops every active instance marked Deleted, keeping the order of the rest; rebuilds the look-up lists when
  // anything was dropped.
  void RemoveDeleted();
  // Reactivated instances to the end of the active list, newly deactivated ones to the end of the deactivated
  // list (each in their order); rebuilds the look-up lists.
  void UpdateDeactivation();
  // Stable order by depth, highest first; nothing changes when already in order. Look-up lists are not rebuilt.
  void SortByDepth();
  // Frees every instance, active and deactivated.
  void ClearInstances();
  // Rebuilds exact and family lists from the active list, in its order.
  void RebuildLookups();
  // Marks an instance Deleted (idempotent) and takes it out of its room's live counts.
  static void MarkDeleted(CInstance* inst);

  // ---- counts and broad phase ----
  // Listed instances of exactly this object that are not Deleted.
  int LiveExactCount(int object) const {
    return object >= 0 && object < static_cast<int>(liveExact_.size()) ? liveExact_[object] : 0;
  }
  // Active instances that are not Deleted.
  int LiveCount() const { return liveTotal_; }
  // True while every family list is the union of the exact lists of FamilyObjects(o) (no parent changed since
  // the lists were built), so family questions may be answered per object.
  bool FamiliesFollowTree() const { return familiesFollowTree_ && lookupGeneration_ == ObjectTreeGeneration(); }
  // Bumped whenever the look-up lists are rebuilt or compacted (list positions change).
  uint64_t ListEpoch() const { return listEpoch_; }
  // The grid over the object's exact list, up to date; null when the list is short (scan it) or the index is off.
  const ObjectGrid* Grid(int object);

  // ---- layers ----
  void ScrollBackgrounds();

  // ---- tiles ----
  int TileCount() const { return static_cast<int>(props.tiles.size()); }
  // Appends the tile; lastTileId += 1 becomes its id. Returns its index.
  int AddTile(RTile tile, int& lastTileId);
  const RTile* GetTile(int i) const { return i >= 0 && i < TileCount() ? &props.tiles[i] : nullptr; }
  void SetTile(int i, const RTile& t) {
    if (i >= 0 && i < TileCount()) props.tiles[i] = t;
  }
  int FindTileById(int id);
  // Half-open: x <= px < x + width; foreground means depth < 0, else depth >= 0.
  int FindTileAt(double px, double py, bool foreground);
  // Closed: x <= px <= x + width; foreground means depth <= 0, else depth >= 0.
  void DeleteTilesAt(double px, double py, bool foreground);
  void DeleteTile(int i);
  void ClearTiles() { props.tiles.clear(); }
  void SortTilesByDepth();
  void SetLayerVisible(double depth, bool visible);
  void DeleteLayer(double depth);
  void ShiftLayer(double depth, double dx, double dy);
  int FindLayerTileAt(double depth, double px, double py);
  void DeleteLayerTilesAt(double depth, double px, double py);
  void SetLayerDepth(double depth, double newDepth);

 private:
  using Lists = std::vector<std::vector<CInstance*>>;
  static int ListCount(const Lists& lists, int object) {
    return object >= 0 && object < static_cast<int>(lists.size()) ? static_cast<int>(lists[object].size()) : 0;
  }
  static CInstance* ListAt(const Lists& lists, int object, int i) {
    if (object < 0 || object >= static_cast<int>(lists.size())) return nullptr;
    const auto& l = lists[object];
    return i >= 0 && i < static_cast<int>(l.size()) ? l[i] : nullptr;
  }
  // Same-id instances of the active list (duplicates exist after instance_change and a persistent arrival).
  struct IdSlot {
    CInstance* one = nullptr;
    std::vector<CInstance*> more;
  };
  void AppendActive(CInstance* inst);
  void AddToLookups(CInstance* inst);
  void MapAdd(CInstance* inst);
  void MapRemove(CInstance* inst);
  void RefreshPositions();
  void CompactLookups();
  static void Uncount(CInstance* inst);

  std::vector<CInstance*> active_;
  std::vector<CInstance*> deactivated_;
  Lists exact_, family_;
  std::unordered_map<int, IdSlot> byId_;
  std::vector<int32_t> liveExact_;
  int liveTotal_ = 0;
  uint64_t listEpoch_ = 0;
  int64_t nextLookupRank_ = 0;
  uint32_t lookupGeneration_ = 0;
  bool familiesFollowTree_ = true;
  bool reorderedSinceRebuild_ = false;  // the active list was sorted after the look-up lists were built
  std::vector<std::unique_ptr<ObjectGrid>> grids_;
  int lastTileIndex_ = -1;
};

}  // namespace kv
