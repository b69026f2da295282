// CDS_Grid: width x height cells stored column by column (cell (x, y) = column x, row y), with region, disk
// and grid-to-grid operations. Text form: 601, width, height, then the cells column by column.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "code/code_value.h"

namespace kv {

enum class DsCellOp { kSet, kAdd, kMultiply };
enum class DsReduce { kSum, kMax, kMin, kMean };

class CDS_Grid {
 public:
  // Most cells a grid may hold; larger sizes are refused so no argument or text can exhaust memory.
  static constexpr int64_t kMaxCells = int64_t(1) << 26;
  static bool SizeAllowed(int64_t w, int64_t h) { return w >= 0 && h >= 0 && (h == 0 || w <= kMaxCells / h); }

  CDS_Grid(int32_t w, int32_t h) : w_(w), h_(h), cells_(static_cast<size_t>(w) * static_cast<size_t>(h)) {}
  int32_t Width() const { return w_; }
  int32_t Height() const { return h_; }
  bool Inside(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < w_ && y < h_; }
  const RValue& Cell(int64_t x, int64_t y) const { return cells_[Index(x, y)]; }

  void Resize(int32_t w, int32_t h);  // cells inside both sizes keep their values, new ones are 0
  void Fill(const RValue& v);
  void Apply(DsCellOp op, int64_t x, int64_t y, const RValue& v);  // nothing outside
  void ApplyRegion(DsCellOp op, int64_t x1, int64_t y1, int64_t x2, int64_t y2, const RValue& v);
  void ApplyDisk(DsCellOp op, double xm, double ym, double r, const RValue& v);
  // Copies source's clipped rectangle to (xpos, ypos) with op; source may be this grid.
  void ApplyGridRegion(DsCellOp op, const CDS_Grid& source, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                       int64_t xpos, int64_t ypos);
  double ReduceRegion(DsReduce kind, int64_t x1, int64_t y1, int64_t x2, int64_t y2) const;
  double ReduceDisk(DsReduce kind, double xm, double ym, double r) const;
  // First cell equal to v in visiting order: found flag and its x, y.
  bool FindInRegion(const RValue& v, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int64_t& fx, int64_t& fy) const;
  bool FindInDisk(const RValue& v, double xm, double ym, double r, int64_t& fx, int64_t& fy) const;
  void Shuffle();

  std::string Write() const;
  bool Read(std::string_view text);

 private:
  struct Range {
    int64_t x1, x2, y1, y2;  // inclusive; empty when x1 > x2 or y1 > y2
    bool Empty() const { return x1 > x2 || y1 > y2; }
  };
  size_t Index(int64_t x, int64_t y) const { return static_cast<size_t>(x) * static_cast<size_t>(h_) + static_cast<size_t>(y); }
  Range Rect(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const;
  Range DiskBox(double xm, double ym, double r) const;
  static bool InDisk(int64_t i, int64_t j, double xm, double ym, double r);
  template <class F>
  void VisitDisk(double xm, double ym, double r, F&& f) const;

  int32_t w_ = 0, h_ = 0;
  std::vector<RValue> cells_;
};

// One cell operation: set; add (reals add, strings concatenate, mixed kinds set); multiply (reals only).
void DsApplyCell(DsCellOp op, RValue& cell, const RValue& v);

}  // namespace kv
