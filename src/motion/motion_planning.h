// Moving toward a goal around other instances: a straight step (linear), a step that turns around obstacles
// (potential field), paths made of such steps, and shortest paths on grids of free and forbidden cells.
//
// The step functions move self; the path functions fill a path resource and leave self where it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv {
class CInstance;
struct CPath;
}

namespace kv::motion {

struct PotentialSettings {
  double maxrot = 30;   // degrees the direction may change in one step
  double rotstep = 10;  // angle increment of the search
  double ahead = 3;     // how many steps ahead a direction must be free
  bool onspot = true;   // turn on the spot when no direction works
};
PotentialSettings& Potential();
void SetPotentialSettings(double maxrot, double rotstep, double ahead, bool onspot);

// What an obstacle is: obj -3 means every instance (checkAll) or solid ones, any other obj its instances
// (-1 and -2 being self's and other's ids).
struct Avoid {
  int obj = -3;
  bool checkAll = false;
  const CInstance* other = nullptr;
};
bool FreeFor(CInstance& self, double x, double y, const Avoid& avoid);

// The direction from (x0, y0) to (x1, y1) in degrees (0 right, 90 up), and the smallest angle between two.
double DirectionTo(double x0, double y0, double x1, double y1);
double AngleBetween(double a, double b);

bool LinearStep(CInstance& self, double x, double y, double stepSize, const Avoid& avoid);
bool PotentialStep(CInstance& self, double x, double y, double stepSize, const Avoid& avoid);
// Fill path with the steps' positions; true when the goal is reached. Self's position and direction are restored.
bool LinearPath(CInstance& self, CPath& path, double xg, double yg, double stepSize, const Avoid& avoid);
bool PotentialPath(CInstance& self, CPath& path, double xg, double yg, double stepSize, double factor,
                   const Avoid& avoid);

// A motion-planning grid: cell (i, j) — column i, row j — at index j + i·vcells; 0 free, -1 forbidden, positive
// values only while a search runs.
struct CGrid {
  int32_t left = 0, top = 0;
  int32_t cellWidth = 1, cellHeight = 1;
  int32_t hcells = 0, vcells = 0;
  std::vector<int32_t> cells;

  bool InGrid(int i, int j) const { return i >= 0 && i < hcells && j >= 0 && j < vcells; }
  int32_t& At(int i, int j) { return cells[static_cast<size_t>(j) + static_cast<size_t>(i) * vcells]; }
  int32_t At(int i, int j) const { return cells[static_cast<size_t>(j) + static_cast<size_t>(i) * vcells]; }
  // The columns i0 ... i1 and rows j0 ... j1 covering the room rectangle; false when none.
  bool CellRange(double x1, double y1, double x2, double y2, int& i0, int& i1, int& j0, int& j1) const;
  // Sets every cell covering the room rectangle to value.
  void FillRectangle(double x1, double y1, double x2, double y2, int32_t value);
  // Breadth-first shortest path; fills path (start to goal) and returns true when found.
  bool FindPath(CPath& path, double xs, double ys, double xg, double yg, bool allowDiagonal);
};

// The table of grids: creating takes the lowest free id; -1 for cell sizes <= 0, negative counts or a grid too
// big to hold.
int CreateGrid(int left, int top, int hcells, int vcells, int cellWidth, int cellHeight);
void DestroyGrid(int id);
CGrid* GetGrid(int id);
void DestroyAllGrids();

}  // namespace kv::motion
