#include "motion/motion_nearest.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "motion/motion_select.h"

namespace kv::motion {

namespace {

constexpr double kFirstBest = 1e10;
// Smaller selections are walked: filing them costs more than it saves.
constexpr int kMinFiled = 256;
constexpr int kMaxCellsPerAxis = 256;
// Positions (and queries) beyond this are left to the plain walk.
constexpr double kFarCoordinate = 1e9;

struct Entry {
  double x, y;
  int k;  // position in the family list
};

struct PositionGrid {
  const CLiveRoom* room = nullptr;
  int obj = -1;
  uint64_t listEpoch = 0, positions = 0;
  int count = -1;
  double minX = 0, minY = 0, cell = 64;
  int cols = 0, rows = 0;
  std::vector<int> cellStart;  // cols × rows + 1 offsets into entries
  std::vector<Entry> entries;
  std::vector<Entry> odd;      // positions not filed (not finite or very far): always tested

  bool Fresh(const CLiveRoom& r, int o) const {
    return room == &r && obj == o && listEpoch == r.ListEpoch() && positions == PositionChangeCount() &&
           count == r.FamilyCount(o);
  }
  void Build(CLiveRoom& r, int o);
};

void PositionGrid::Build(CLiveRoom& r, int o) {
  room = &r;
  obj = o;
  listEpoch = r.ListEpoch();
  positions = PositionChangeCount();
  count = r.FamilyCount(o);
  entries.clear();
  odd.clear();
  std::vector<Entry> filed;
  filed.reserve(count);
  double maxX = -kFarCoordinate, maxY = -kFarCoordinate;
  minX = kFarCoordinate;
  minY = kFarCoordinate;
  for (int k = 0; k < count; ++k) {
    const CInstance* i = r.FamilyAt(o, k);
    if (!i) continue;
    const Entry e{i->x, i->y, k};
    if (!(std::fabs(e.x) < kFarCoordinate && std::fabs(e.y) < kFarCoordinate)) {
      odd.push_back(e);
      continue;
    }
    filed.push_back(e);
    minX = std::min(minX, e.x);
    minY = std::min(minY, e.y);
    maxX = std::max(maxX, e.x);
    maxY = std::max(maxY, e.y);
  }
  if (filed.empty()) {
    cols = rows = 0;
    cellStart.assign(1, 0);
    return;
  }
  cell = 64;
  while ((maxX - minX) / cell >= kMaxCellsPerAxis || (maxY - minY) / cell >= kMaxCellsPerAxis) cell *= 2;
  cols = static_cast<int>((maxX - minX) / cell) + 1;
  rows = static_cast<int>((maxY - minY) / cell) + 1;
  cellStart.assign(static_cast<size_t>(cols) * rows + 1, 0);
  auto cellOf = [&](const Entry& e) {
    const int cx = std::min(cols - 1, static_cast<int>((e.x - minX) / cell));
    const int cy = std::min(rows - 1, static_cast<int>((e.y - minY) / cell));
    return cy * cols + cx;
  };
  for (const Entry& e : filed) ++cellStart[cellOf(e) + 1];
  for (size_t c = 1; c < cellStart.size(); ++c) cellStart[c] += cellStart[c - 1];
  entries.resize(filed.size());
  std::vector<int> fill(cellStart.begin(), cellStart.end() - 1);
  for (const Entry& e : filed) entries[fill[cellOf(e)]++] = e;
}

PositionGrid g_grid;

}  // namespace

CInstance* NearestInstanceByScan(CLiveRoom& room, int obj, double x, double y) {
  CInstance* best = nullptr;
  if (obj >= kFirstId) return nullptr;
  double bestD = kFirstBest;
  ForEachSelected(room, obj, [&](CInstance* i) {
    const double d = (i->x - x) * (i->x - x) + (i->y - y) * (i->y - y);
    if (d < bestD) {
      bestD = d;
      best = i;
    }
    return true;
  });
  return best;
}

CInstance* NearestInstance(CLiveRoom& room, int obj, double x, double y) {
  if (obj < 0 || obj >= kFirstId || !CollisionIndexEnabled() || room.FamilyCount(obj) < kMinFiled ||
      !(std::fabs(x) < kFarCoordinate && std::fabs(y) < kFarCoordinate))
    return NearestInstanceByScan(room, obj, x, y);
  if (!g_grid.Fresh(room, obj)) g_grid.Build(room, obj);
  const PositionGrid& g = g_grid;

  CInstance* best = nullptr;
  int bestK = 0;
  double bestD = kFirstBest;
  auto consider = [&](const Entry& e) {
    const double d = (e.x - x) * (e.x - x) + (e.y - y) * (e.y - y);
    if (!(d < bestD || (d == bestD && best && e.k < bestK))) return;
    CInstance* i = room.FamilyAt(obj, e.k);
    if (!Live(i)) return;
    best = i;
    bestD = d;
    bestK = e.k;
  };
  for (const Entry& e : g.odd) consider(e);
  if (g.cols > 0) {
    // The query's cell on the grid's lattice (it may lie outside the filed area).
    const int qx = static_cast<int>(std::floor((x - g.minX) / g.cell));
    const int qy = static_cast<int>(std::floor((y - g.minY) / g.cell));
    const int lastRing = std::max({qx, g.cols - 1 - qx, qy, g.rows - 1 - qy});
    auto visit = [&](int cx, int cy) {
      if (cx < 0 || cx >= g.cols || cy < 0 || cy >= g.rows) return;
      const int c = cy * g.cols + cx;
      for (int k = g.cellStart[c]; k < g.cellStart[c + 1]; ++k) consider(g.entries[k]);
    };
    for (int ring = std::max(0, std::max({-qx, qx - (g.cols - 1), -qy, qy - (g.rows - 1)})); ring <= lastRing;
         ++ring) {
      if (ring == 0) {
        visit(qx, qy);
      } else {
        for (int cx = qx - ring; cx <= qx + ring; ++cx) {
          visit(cx, qy - ring);
          visit(cx, qy + ring);
        }
        for (int cy = qy - ring + 1; cy <= qy + ring - 1; ++cy) {
          visit(qx - ring, cy);
          visit(qx + ring, cy);
        }
      }
      // Every position in a further ring is more than ring cells away.
      const double reach = ring * g.cell;
      if (reach * reach >= bestD) break;
    }
  }
  return best;
}

}  // namespace kv::motion
