#include "motion/motion_planning.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "motion/motion_move.h"
#include "motion/motion_select.h"
#include "world/path_edit.h"

namespace kv::motion {

namespace {

constexpr double kPathPointSpeed = 100;
// A potential path gives up after this many steps whatever its length limit says.
constexpr int kMaxPathSteps = 100000;
// Grids larger than this many cells are refused (the cells alone would take gigabytes).
constexpr int64_t kMaxGridCells = int64_t{1} << 28;

std::vector<std::unique_ptr<CGrid>>& Grids() {
  static std::vector<std::unique_ptr<CGrid>> grids;
  return grids;
}

void MoveAlong(const CInstance& self, double dir, double dist, double& x, double& y) {
  const long double r = DegToRad(dir);
  x = self.x + static_cast<double>(std::cos(r)) * dist;
  y = self.y - static_cast<double>(std::sin(r)) * dist;
}

// Self's position and direction, put back when the path functions are done.
struct SavedPlace {
  CInstance& self;
  double x, y, direction;
  explicit SavedPlace(CInstance& s) : self(s), x(s.x), y(s.y), direction(s.direction) {}
  ~SavedPlace() {
    self.SetPosition(x, y);
    self.SetDirection(direction);
  }
};

void StartStraightOpen(CPath& path) {
  path_edit::ClearPoints(path);
  path_edit::SetKind(path, 0);
  path_edit::SetClosed(path, false);
}

}  // namespace

PotentialSettings& Potential() {
  static PotentialSettings settings;
  return settings;
}

void SetPotentialSettings(double maxrot, double rotstep, double ahead, bool onspot) {
  PotentialSettings& s = Potential();
  s.maxrot = std::max(1.0, maxrot);
  s.rotstep = std::max(1.0, rotstep);
  s.ahead = std::max(1.0, ahead);
  s.onspot = onspot;
}

bool FreeFor(CInstance& self, double x, double y, const Avoid& avoid) {
  if (avoid.obj == kAll) return PlaceClear(self, x, y, avoid.checkAll);
  int obj = avoid.obj;
  if (obj == kSelf) obj = self.id;
  else if (obj == kOther) obj = avoid.other ? avoid.other->id : kNoone;
  return !PlaceMeetsSelection(self, x, y, obj);
}

double DirectionTo(double x0, double y0, double x1, double y1) {
  const double dx = x1 - x0, dy = y1 - y0;
  if (dx == 0) return dy > 0 ? 270 : dy < 0 ? 90 : 0;
  constexpr long double kPi = 3.141592653589793238462643383279502884L;
  const double e = static_cast<double>(std::atan2(static_cast<long double>(dy), static_cast<long double>(dx)) *
                                       180.0L / kPi);
  return e > 0 ? 360 - e : -e;
}

double AngleBetween(double a, double b) {
  auto fold = [](double v) {
    v = std::fmod(v, 360.0);
    return v < 0 ? v + 360 : v;
  };
  const double d = std::fabs(fold(a) - fold(b));
  return d > 180 ? 360 - d : d;
}

bool LinearStep(CInstance& self, double x, double y, double s, const Avoid& avoid) {
  if (self.x == x && self.y == y) return true;
  const double dx = x - self.x, dy = y - self.y;
  const double d = std::sqrt(dx * dx + dy * dy);
  double nx = x, ny = y;
  bool reached = true;
  if (d > s) {
    nx = self.x + dx * s / d;
    ny = self.y + dy * s / d;
    reached = false;
  }
  if (FreeFor(self, nx, ny, avoid)) {
    self.SetDirection(DirectionTo(self.x, self.y, nx, ny));
    self.SetPosition(nx, ny);
  }
  return reached;
}

bool PotentialStep(CInstance& self, double x, double y, double s, const Avoid& avoid) {
  if (self.x == x && self.y == y) return true;
  const double dx = x - self.x, dy = y - self.y;
  if (std::sqrt(dx * dx + dy * dy) <= s) {
    if (FreeFor(self, x, y, avoid)) {
      self.SetDirection(DirectionTo(self.x, self.y, x, y));
      self.SetPosition(x, y);
    }
    return true;
  }
  const PotentialSettings& set = Potential();
  const double g = DirectionTo(self.x, self.y, x, y);
  auto attempt = [&](double t) {
    if (AngleBetween(t, self.direction) > set.maxrot) return false;
    double ax, ay, nx, ny;
    MoveAlong(self, t, set.ahead * s, ax, ay);
    if (!FreeFor(self, ax, ay, avoid)) return false;
    MoveAlong(self, t, s, nx, ny);
    if (!FreeFor(self, nx, ny, avoid)) return false;
    self.SetDirection(t);
    self.SetPosition(nx, ny);
    return true;
  };
  for (double a = 0; a < 180; a += set.rotstep)
    if (attempt(g - a) || attempt(g + a)) return false;
  if (set.onspot) self.SetDirection(self.direction + set.maxrot);
  return false;
}

bool LinearPath(CInstance& self, CPath& path, double xg, double yg, double s, const Avoid& avoid) {
  if (!(s > 0)) return false;
  SavedPlace saved(self);
  StartStraightOpen(path);
  bool reached = false;
  for (int n = 0; n < kMaxPathSteps; ++n) {
    const double px = self.x, py = self.y;
    path_edit::AddPoint(path, px, py, kPathPointSpeed);
    if (LinearStep(self, xg, yg, s, avoid)) {
      reached = true;
      break;
    }
    if (self.x == px && self.y == py) break;
  }
  if (reached) path_edit::AddPoint(path, xg, yg, kPathPointSpeed);
  return reached;
}

bool PotentialPath(CInstance& self, CPath& path, double xg, double yg, double s, double factor,
                   const Avoid& avoid) {
  if (!(factor >= 1) || !(s > 0)) return false;
  SavedPlace saved(self);
  StartStraightOpen(path);
  path_edit::AddPoint(path, self.x, self.y, kPathPointSpeed);
  const double limit = factor * std::hypot(xg - self.x, yg - self.y);
  double length = 0;
  bool reached = false;
  // Steps that do not move add no length, so the limit alone would never end them. Turning on the spot may
  // find a way within one full turn; after that (or at once without onspot) the instance is boxed in.
  const PotentialSettings& set = Potential();
  const int maxStill = set.onspot ? static_cast<int>(std::min(360.0, std::ceil(360 / set.maxrot))) : 0;
  int still = 0;
  for (int n = 0; n < kMaxPathSteps; ++n) {
    const double px = self.x, py = self.y;
    if (PotentialStep(self, xg, yg, s, avoid)) {
      reached = true;
      break;
    }
    path_edit::AddPoint(path, self.x, self.y, kPathPointSpeed);
    length += std::hypot(self.x - px, self.y - py);
    if (length > limit) break;
    still = self.x == px && self.y == py ? still + 1 : 0;
    if (still > maxStill) break;
  }
  if (reached) path_edit::AddPoint(path, xg, yg, kPathPointSpeed);
  return reached;
}

// ---- grids ----

bool CGrid::CellRange(double x1, double y1, double x2, double y2, int& i0, int& i1, int& j0, int& j1) const {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return false;
  // Integer division truncates toward zero, so a rectangle reaching just left of the grid still touches column 0.
  auto cell = [](double v, int32_t origin, int32_t size) {
    return std::trunc((std::trunc(v) - origin) / size);
  };
  const double a0 = std::clamp(cell(std::min(x1, x2), left, cellWidth), 0.0, double(hcells));
  const double a1 = std::clamp(cell(std::max(x1, x2), left, cellWidth), -1.0, double(hcells - 1));
  const double b0 = std::clamp(cell(std::min(y1, y2), top, cellHeight), 0.0, double(vcells));
  const double b1 = std::clamp(cell(std::max(y1, y2), top, cellHeight), -1.0, double(vcells - 1));
  i0 = static_cast<int>(a0);
  i1 = static_cast<int>(a1);
  j0 = static_cast<int>(b0);
  j1 = static_cast<int>(b1);
  return i0 <= i1 && j0 <= j1;
}

void CGrid::FillRectangle(double x1, double y1, double x2, double y2, int32_t value) {
  int i0, i1, j0, j1;
  if (!CellRange(x1, y1, x2, y2, i0, i1, j0, j1)) return;
  for (int i = i0; i <= i1; ++i)
    for (int j = j0; j <= j1; ++j) At(i, j) = value;
}

bool CGrid::FindPath(CPath& path, double xs, double ys, double xg, double yg, bool allowDiagonal) {
  auto cellOf = [&](double x, double y, int& i, int& j) {
    const double right = double(left) + double(hcells) * cellWidth;
    const double bottom = double(top) + double(vcells) * cellHeight;
    if (!(left <= x && x < right && top <= y && y < bottom)) return false;
    i = std::min(hcells - 1, static_cast<int>((x - left) / cellWidth));
    j = std::min(vcells - 1, static_cast<int>((y - top) / cellHeight));
    return At(i, j) == 0;
  };
  int si, sj, gi, gj;
  if (!cellOf(xs, ys, si, sj) || !cellOf(xg, yg, gi, gj)) return false;

  std::vector<int64_t> queue;  // cell indexes, first in first out
  std::vector<int64_t> touched;
  queue.push_back(int64_t{sj} + int64_t{si} * vcells);
  At(si, sj) = 1;
  touched.push_back(queue.front());
  bool found = false;
  for (size_t head = 0; head < queue.size(); ++head) {
    const int i = static_cast<int>(queue[head] / vcells), j = static_cast<int>(queue[head] % vcells);
    if (i == gi && j == gj) {
      found = true;
      break;
    }
    const int32_t next = At(i, j) + 1;
    auto open = [&](int di, int dj) { return InGrid(i + di, j + dj) && At(i + di, j + dj) == 0; };
    const bool l = open(-1, 0), r = open(1, 0), u = open(0, -1), d = open(0, 1);
    const bool dl = open(-1, 1), ul = open(-1, -1), dr = open(1, 1), ur = open(1, -1);
    auto label = [&](int di, int dj) {
      At(i + di, j + dj) = next;
      const int64_t c = int64_t{j + dj} + int64_t{i + di} * vcells;
      queue.push_back(c);
      touched.push_back(c);
    };
    if (l) label(-1, 0);
    if (r) label(1, 0);
    if (u) label(0, -1);
    if (d) label(0, 1);
    if (allowDiagonal) {
      if (dl && d && l) label(-1, 1);
      if (ul && u && l) label(-1, -1);
      if (dr && d && r) label(1, 1);
      if (ur && u && r) label(1, -1);
    }
  }
  if (found) {
    StartStraightOpen(path);
    path_edit::AddPoint(path, xg, yg, kPathPointSpeed);
    int i = gi, j = gj;
    static constexpr int kOrth[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    static constexpr int kDiag[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};  // DL, DR, UL, UR
    while (At(i, j) > 1) {
      const int32_t want = At(i, j) - 1;
      bool moved = false;
      for (int k = 0; k < (allowDiagonal ? 8 : 4) && !moved; ++k) {
        const int* dd = k < 4 ? kOrth[k] : kDiag[k - 4];
        if (InGrid(i + dd[0], j + dd[1]) && At(i + dd[0], j + dd[1]) == want) {
          i += dd[0];
          j += dd[1];
          moved = true;
        }
      }
      if (!moved) break;  // cannot happen: every label above 1 came from a neighbour one less
      if (At(i, j) != 1)
        path_edit::AddPoint(path, double(left) + double(i) * cellWidth + cellWidth / 2,
                            double(top) + double(j) * cellHeight + cellHeight / 2, kPathPointSpeed);
    }
    path_edit::AddPoint(path, xs, ys, kPathPointSpeed);
    path_edit::Reverse(path);
  }
  for (const int64_t c : touched)
    if (cells[static_cast<size_t>(c)] > 0) cells[static_cast<size_t>(c)] = 0;
  return found;
}

int CreateGrid(int left, int top, int hcells, int vcells, int cellWidth, int cellHeight) {
  if (cellWidth <= 0 || cellHeight <= 0 || hcells < 0 || vcells < 0) return -1;
  if (int64_t{hcells} * vcells > kMaxGridCells) return -1;
  auto grid = std::make_unique<CGrid>();
  grid->left = left;
  grid->top = top;
  grid->cellWidth = cellWidth;
  grid->cellHeight = cellHeight;
  grid->hcells = hcells;
  grid->vcells = vcells;
  grid->cells.assign(static_cast<size_t>(hcells) * static_cast<size_t>(vcells), 0);
  auto& grids = Grids();
  for (size_t i = 0; i < grids.size(); ++i) {
    if (!grids[i]) {
      grids[i] = std::move(grid);
      return static_cast<int>(i);
    }
  }
  grids.push_back(std::move(grid));
  return static_cast<int>(grids.size()) - 1;
}

void DestroyGrid(int id) {
  if (id >= 0 && id < static_cast<int>(Grids().size())) Grids()[id].reset();
}

CGrid* GetGrid(int id) {
  return id >= 0 && id < static_cast<int>(Grids().size()) ? Grids()[id].get() : nullptr;
}

void DestroyAllGrids() { Grids().clear(); }

}  // namespace kv::motion
