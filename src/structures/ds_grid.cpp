#include "structures/ds_grid.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "functions/function_math.h"
#include "structures/ds_common.h"

namespace kv {

void DsApplyCell(DsCellOp op, RValue& cell, const RValue& v) {
  switch (op) {
    case DsCellOp::kSet:
      cell = v;
      return;
    case DsCellOp::kAdd:
      if (cell.IsReal() && v.IsReal()) cell = CheckFinite(cell.RealUnchecked() + v.RealUnchecked());
      else if (cell.IsString() && v.IsString()) {
        if (cell.StrLength() + v.StrLength() > kMaxStringLength) throw std::length_error("string too long");
        cell.Append(v.Str());
      } else cell = v;
      return;
    case DsCellOp::kMultiply:
      if (cell.IsReal() && v.IsReal()) cell = CheckFinite(cell.RealUnchecked() * v.RealUnchecked());
      return;
  }
}

void CDS_Grid::Resize(int32_t w, int32_t h) {
  std::vector<RValue> cells(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int32_t x = 0; x < std::min(w, w_); ++x)
    for (int32_t y = 0; y < std::min(h, h_); ++y)
      cells[static_cast<size_t>(x) * static_cast<size_t>(h) + static_cast<size_t>(y)] = std::move(cells_[Index(x, y)]);
  cells_ = std::move(cells);
  w_ = w;
  h_ = h;
}

void CDS_Grid::Fill(const RValue& v) { std::fill(cells_.begin(), cells_.end(), v); }

void CDS_Grid::Apply(DsCellOp op, int64_t x, int64_t y, const RValue& v) {
  if (Inside(x, y)) DsApplyCell(op, cells_[Index(x, y)], v);
}

CDS_Grid::Range CDS_Grid::Rect(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const {
  return Range{std::max<int64_t>(0, std::min(x1, x2)), std::min<int64_t>(w_ - 1, std::max(x1, x2)),
               std::max<int64_t>(0, std::min(y1, y2)), std::min<int64_t>(h_ - 1, std::max(y1, y2))};
}

namespace {
// floor/ceil of a disk edge, clamped into int64 before the grid clip (huge radii cover the grid).
int64_t ClampEdge(double v) { return v < -1e18 ? int64_t(-1e18) : (v > 1e18 ? int64_t(1e18) : static_cast<int64_t>(v)); }
}  // namespace

CDS_Grid::Range CDS_Grid::DiskBox(double xm, double ym, double r) const {
  return Range{std::max<int64_t>(0, ClampEdge(std::floor(xm - r))), std::min<int64_t>(w_ - 1, ClampEdge(std::ceil(xm + r))),
               std::max<int64_t>(0, ClampEdge(std::floor(ym - r))), std::min<int64_t>(h_ - 1, ClampEdge(std::ceil(ym + r)))};
}

bool CDS_Grid::InDisk(int64_t i, int64_t j, double xm, double ym, double r) {
  double dx = static_cast<double>(i) - xm, dy = static_cast<double>(j) - ym;
  return dx * dx + dy * dy <= r * r;
}

template <class F>
void CDS_Grid::VisitDisk(double xm, double ym, double r, F&& f) const {
  Range b = DiskBox(xm, ym, r);
  for (int64_t x = b.x1; x <= b.x2; ++x)
    for (int64_t y = b.y1; y <= b.y2; ++y)
      if (InDisk(x, y, xm, ym, r) && !f(x, y)) return;
}

void CDS_Grid::ApplyRegion(DsCellOp op, int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v) {
  Range b = Rect(x1, y1, x2, y2);
  for (int64_t x = b.x1; x <= b.x2; ++x)
    for (int64_t y = b.y1; y <= b.y2; ++y) DsApplyCell(op, cells_[Index(x, y)], v);
}

void CDS_Grid::ApplyDisk(DsCellOp op, double xm, double ym, double r, const RValue& v) {
  VisitDisk(xm, ym, r, [&](int64_t x, int64_t y) {
    DsApplyCell(op, cells_[Index(x, y)], v);
    return true;
  });
}

void CDS_Grid::ApplyGridRegion(DsCellOp op, const CDS_Grid& src, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                               int64_t xpos, int64_t ypos) {
  Range s = src.Rect(x1, y1, x2, y2);
  // Offsets beyond any grid size act the same as huge ones; clamping keeps the sums below from overflowing.
  constexpr int64_t kFar = int64_t(1) << 40;
  xpos = std::clamp(xpos, -kFar, kFar);
  ypos = std::clamp(ypos, -kFar, kFar);
  if (xpos < 0) {
    s.x1 -= xpos;
    xpos = 0;
  }
  if (ypos < 0) {
    s.y1 -= ypos;
    ypos = 0;
  }
  if (xpos + (s.x2 - s.x1) > w_ - 1) s.x2 = s.x1 + w_ - 1 - xpos;
  if (ypos + (s.y2 - s.y1) > h_ - 1) s.y2 = s.y1 + h_ - 1 - ypos;
  if (s.Empty()) return;
  // Walk away from the destination so a copy within one grid never reads a cell it already wrote.
  bool xBack = s.x1 < xpos, yBack = s.y1 < ypos;
  int64_t nx = s.x2 - s.x1, ny = s.y2 - s.y1;
  for (int64_t i = 0; i <= nx; ++i) {
    int64_t x = xBack ? s.x2 - i : s.x1 + i;
    for (int64_t k = 0; k <= ny; ++k) {
      int64_t y = yBack ? s.y2 - k : s.y1 + k;
      RValue v = src.cells_[src.Index(x, y)];  // a copy: source and destination may be the same cell array
      DsApplyCell(op, cells_[Index(xpos + x - s.x1, ypos + y - s.y1)], v);
    }
  }
}

namespace {
struct Reducer {
  DsReduce kind;
  double acc;
  int64_t n = 0;
  explicit Reducer(DsReduce k) : kind(k), acc(k == DsReduce::kMax ? -100000000.0 : (k == DsReduce::kMin ? 100000000.0 : 0.0)) {}
  void Add(const RValue& v) {
    if (!v.IsReal()) return;  // strings are skipped
    double x = v.RealUnchecked();
    ++n;
    if (kind == DsReduce::kMax) acc = std::max(acc, x);
    else if (kind == DsReduce::kMin) acc = std::min(acc, x);
    else acc = CheckFinite(acc + x);
  }
  double Result() const {
    if (kind == DsReduce::kMean) return n ? acc / static_cast<double>(n) : 0.0;
    return acc;
  }
};
}  // namespace

double CDS_Grid::ReduceRegion(DsReduce kind, int64_t x1, int64_t y1, int64_t x2, int64_t y2) const {
  Reducer red(kind);
  Range b = Rect(x1, y1, x2, y2);
  for (int64_t x = b.x1; x <= b.x2; ++x)
    for (int64_t y = b.y1; y <= b.y2; ++y) red.Add(cells_[Index(x, y)]);
  return red.Result();
}

double CDS_Grid::ReduceDisk(DsReduce kind, double xm, double ym, double r) const {
  Reducer red(kind);
  VisitDisk(xm, ym, r, [&](int64_t x, int64_t y) {
    red.Add(cells_[Index(x, y)]);
    return true;
  });
  return red.Result();
}

bool CDS_Grid::FindInRegion(const RValue& v, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t& fx,
                            int64_t& fy) const {
  Range b = Rect(x1, y1, x2, y2);
  for (int64_t x = b.x1; x <= b.x2; ++x)
    for (int64_t y = b.y1; y <= b.y2; ++y)
      if (DsEqual(cells_[Index(x, y)], v)) {
        fx = x;
        fy = y;
        return true;
      }
  return false;
}

bool CDS_Grid::FindInDisk(const RValue& v, double xm, double ym, double r, int64_t& fx, int64_t& fy) const {
  bool found = false;
  VisitDisk(xm, ym, r, [&](int64_t x, int64_t y) {
    if (!DsEqual(cells_[Index(x, y)], v)) return true;
    fx = x;
    fy = y;
    found = true;
    return false;
  });
  return found;
}

void CDS_Grid::Shuffle() {
  int64_t swaps = static_cast<int64_t>(w_) * h_ * 8;
  for (int64_t k = 0; k < swaps; ++k) {
    int64_t x1 = GameRandom::NextInt(w_);
    int64_t x2 = GameRandom::NextInt(w_);
    int64_t y1 = GameRandom::NextInt(h_);
    int64_t y2 = GameRandom::NextInt(h_);
    std::swap(cells_[Index(x1, y1)], cells_[Index(x2, y2)]);
  }
}

std::string CDS_Grid::Write() const {
  DsImageWriter w;
  w.WriteInt(kDsGridCode);
  w.WriteInt(w_);
  w.WriteInt(h_);
  for (const RValue& v : cells_) w.WriteValue(v);  // already column by column
  return w.ToHex();
}

bool CDS_Grid::Read(std::string_view text) {
  DsImageReader r(text);
  if (!DsReadHeader(r, kDsGridCode)) return false;
  int32_t w = r.ReadInt();
  int32_t h = r.ReadInt();
  if (!r.ok() || !SizeAllowed(w, h)) return false;
  if (!r.CheckCount(static_cast<int64_t>(w) * h, DsImageReader::kMinValueBytes)) return false;
  std::vector<RValue> cells;
  cells.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int64_t i = 0; i < static_cast<int64_t>(w) * h && r.ok(); ++i) cells.push_back(r.ReadValue());
  if (!r.ok()) return false;
  cells_ = std::move(cells);
  w_ = w;
  h_ = h;
  return true;
}

}  // namespace kv
