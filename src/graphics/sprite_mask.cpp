#include "graphics/sprite_mask.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "world/instance_class.h"

namespace kv {

namespace {

// Maps room pixels into one placed frame and answers whether they are solid.
class FrameMapper {
 public:
  FrameMapper(const CSprite& s, const SpritePlacement& at)
      : mask_(s.HasMasks() ? &s.masks[static_cast<size_t>(s.WrapFrame(at.frame))] : nullptr),
        width_(s.width),
        height_(s.height),
        xOrigin_(s.xOrigin),
        yOrigin_(s.yOrigin),
        x_(at.x),
        y_(at.y),
        xScale_(at.xscale),
        yScale_(at.yscale) {
    // A zero (or NaN) scale squeezes the frame to nothing: no pixel is solid, and nothing is divided by it.
    empty_ = !(xScale_ != 0 && yScale_ != 0) || width_ <= 0 || height_ <= 0;
    identity_ = xScale_ == 1 && yScale_ == 1 && at.angle == 0;
    const long double r = -DegToRad(at.angle);
    cos_ = Snap(static_cast<double>(std::cos(r)));
    sin_ = Snap(static_cast<double>(std::sin(r)));
  }

  bool HasMask() const { return mask_ != nullptr; }

  // Solid in the mask; a sprite without masks is solid anywhere inside its frame.
  bool Solid(int64_t px, int64_t py) const {
    if (empty_) return false;
    if (!identity_) return Solid(static_cast<double>(px), static_cast<double>(py));
    const int64_t u = px - x_ + xOrigin_, v = py - y_ + yOrigin_;
    return u >= 0 && v >= 0 && u < width_ && v < height_ && Set(static_cast<int>(u), static_cast<int>(v));
  }

  bool Solid(double px, double py) const {
    if (empty_) return false;
    const double dx = px - x_, dy = py - y_;
    const double u = (dx * cos_ + dy * sin_) / xScale_ + xOrigin_;
    const double v = (dy * cos_ - dx * sin_) / yScale_ + yOrigin_;
    // Compared as reals first: NaN and values beyond the frame never reach an integer conversion.
    if (!(u >= 0 && u < width_ && v >= 0 && v < height_)) return false;
    return Set(static_cast<int>(u), static_cast<int>(v));  // non-negative, so truncation is floor
  }

 private:
  // cos and sin of whole quarter turns come out as 1e-17-ish instead of 0; such a residue would move pixels that
  // lie exactly on a frame edge to the neighbouring column.
  static double Snap(double v) {
    if (std::fabs(v) < 1e-12) return 0;
    if (std::fabs(std::fabs(v) - 1) < 1e-12) return v < 0 ? -1 : 1;
    return v;
  }
  bool Set(int u, int v) const { return mask_ == nullptr || mask_->At(u, v); }

  const CMask* mask_;
  int width_, height_, xOrigin_, yOrigin_, x_, y_;
  double xScale_, yScale_, cos_ = 1, sin_ = 0;
  bool empty_ = false, identity_ = true;
};

struct Span {
  int64_t lo, hi;  // inclusive; empty when lo > hi
};
Span Overlap(int a1, int a2, int b1, int b2) {
  return {std::max<int64_t>(a1, b1), std::min<int64_t>(a2, b2)};
}

template <class Pred>
bool AnyInRect(MaskRect a, MaskRect b, Pred solid) {
  const Span xs = Overlap(a.left, a.right, b.left, b.right), ys = Overlap(a.top, a.bottom, b.top, b.bottom);
  for (int64_t x = xs.lo; x <= xs.hi; ++x)
    for (int64_t y = ys.lo; y <= ys.hi; ++y)
      if (solid(x, y)) return true;
  return false;
}

// ((d / r)^2) with a zero radius allowing only d = 0 (a flat ellipse is its axis line).
double AxisTerm(double d, double r) {
  if (r == 0) return d == 0 ? 0 : std::numeric_limits<double>::infinity();
  const double q = d / r;
  return q * q;
}

}  // namespace

bool MaskPointHits(const CSprite& sprite, const SpritePlacement& at, double px, double py) {
  if (sprite.FrameCount() == 0) return false;
  if (!sprite.HasMasks()) return true;
  return FrameMapper(sprite, at).Solid(px, py);
}

bool MaskRectangleHits(const CSprite& sprite, const SpritePlacement& at, MaskRect box, MaskRect rect) {
  if (sprite.FrameCount() == 0) return false;
  if (!sprite.HasMasks()) return true;
  const FrameMapper m(sprite, at);
  return AnyInRect(box, rect, [&](int64_t x, int64_t y) { return m.Solid(x, y); });
}

bool MaskEllipseHits(const CSprite& sprite, const SpritePlacement& at, MaskRect box, MaskRect rect) {
  if (sprite.FrameCount() == 0) return false;
  if (!sprite.HasMasks()) return true;
  const FrameMapper m(sprite, at);
  const double cx = (static_cast<double>(rect.left) + rect.right) / 2, rx = (static_cast<double>(rect.right) - rect.left) / 2;
  const double cy = (static_cast<double>(rect.top) + rect.bottom) / 2, ry = (static_cast<double>(rect.bottom) - rect.top) / 2;
  return AnyInRect(box, rect, [&](int64_t x, int64_t y) {
    return AxisTerm(static_cast<double>(x) - cx, rx) + AxisTerm(static_cast<double>(y) - cy, ry) <= 1 && m.Solid(x, y);
  });
}

bool MaskLineHits(const CSprite& sprite, const SpritePlacement& at, MaskRect box, int x1, int y1, int x2, int y2) {
  if (sprite.FrameCount() == 0) return false;
  if (!sprite.HasMasks()) return true;
  if (x1 == x2 || y1 == y2)
    return MaskRectangleHits(sprite, at, box, {x1, std::min(y1, y2), x2, std::max(y1, y2)});
  if (x2 < x1) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const FrameMapper m(sprite, at);
  const double dxTotal = static_cast<double>(x2) - x1, dyTotal = static_cast<double>(y2) - y1;
  if (std::fabs(dxTotal) < std::fabs(dyTotal)) {
    // Steep: one point per row, ends ordered by y.
    if (y2 < y1) {
      std::swap(x1, x2);
      std::swap(y1, y2);
    }
    const Span ys = Overlap(box.top, box.bottom, y1, y2);
    for (int64_t y = ys.lo; y <= ys.hi; ++y) {
      const double x = x1 + static_cast<double>(y - y1) * (static_cast<double>(x2) - x1) / (static_cast<double>(y2) - y1);
      if (m.Solid(x, static_cast<double>(y))) return true;
    }
    return false;
  }
  const Span xs = Overlap(box.left, box.right, x1, x2);
  for (int64_t x = xs.lo; x <= xs.hi; ++x) {
    const double y = y1 + static_cast<double>(x - x1) * dyTotal / dxTotal;
    if (m.Solid(static_cast<double>(x), y)) return true;
  }
  return false;
}

bool MaskSpritesOverlap(const CSprite& a, const SpritePlacement& atA, MaskRect boxA, const CSprite& b,
                        const SpritePlacement& atB, MaskRect boxB) {
  if (a.FrameCount() == 0 || b.FrameCount() == 0) return false;
  const FrameMapper ma(a, atA), mb(b, atB);
  return AnyInRect(boxA, boxB, [&](int64_t x, int64_t y) { return ma.Solid(x, y) && mb.Solid(x, y); });
}

}  // namespace kv
