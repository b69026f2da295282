#include "world/instance_class.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#include "world/collision_grid.h"
#include "world/world_state.h"

namespace kv {

namespace {
MaskTests g_maskTests;

// The frame count of a sprite, 0 when it does not exist.
int FrameCountOf(int32_t sprite) {
  const CSprite* s = WorldSprite(sprite);
  return s ? s->FrameCount() : 0;
}

// A collision sprite usable for a mask test: it exists and has at least one frame.
bool HasFrames(int32_t sprite) { return FrameCountOf(sprite) > 0; }

void Order(double& a, double& b) {
  if (b < a) std::swap(a, b);
}

// The box of a rotated instance (kept apart: its extended-precision trigonometry would otherwise weigh on every
// unrotated box, the usual case).
[[gnu::noinline]] void RotatedBox(const CSprite& s, double angle, double xs, double ys, double px, double py,
                                  MaskBox& b) {
  const long double r = DegToRad(angle);
  const double c = static_cast<double>(std::cos(r)), sn = static_cast<double>(std::sin(r));
  const int lo = std::min(s.bboxLeft, s.bboxRight), hi = std::max(s.bboxLeft, s.bboxRight);
  const int tlo = std::min(s.bboxTop, s.bboxBottom), thi = std::max(s.bboxTop, s.bboxBottom);
  const double B = (lo - s.xOrigin) * xs, C = (hi - s.xOrigin + 1) * xs - 1;
  const double F = (tlo - s.yOrigin) * ys, G = (thi - s.yOrigin + 1) * ys - 1;
  b.left = RoundPixel(std::min(c * B, c * C) + px + std::min(sn * F, sn * G));
  b.right = RoundPixel(std::max(c * B, c * C) + px + std::max(sn * F, sn * G));
  b.top = RoundPixel(std::min(c * F, c * G) + py - std::max(sn * B, sn * C));
  b.bottom = RoundPixel(std::max(c * F, c * G) + py - std::min(sn * B, sn * C));
}
}  // namespace

void SetMaskTests(const MaskTests& tests) { g_maskTests = tests; }
const MaskTests& GetMaskTests() { return g_maskTests; }

double SnapToInteger(double v) {
  const double r = std::nearbyint(v);
  // The integer has no sign: a tiny negative value snaps to +0, not -0.
  return std::fabs(v - r) < 0.0001 ? r + 0.0 : v;
}

int32_t RoundPixelSlow(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(std::nearbyint(v));
}

CInstance::CInstance(int32_t id_, int32_t objectIndex_, double x_, double y_)
    : id(id_), objectIndex(objectIndex_), x(x_), y(y_), xPrevious(x_), yPrevious(y_), xStart(x_), yStart(y_) {}

CInstance CInstance::Make(int32_t id, int32_t objectIndex, double x, double y) {
  CInstance inst(id, objectIndex, x, y);
  inst.ApplyObjectDefaults();
  return inst;
}

void CInstance::ApplyObjectDefaults() {
  if (const CObject* obj = WorldObject(objectIndex)) {
    spriteIndex = obj->sprite;
    maskIndex = obj->mask;
    depth = obj->depth;
    solid = obj->solid;
    visible = obj->visible;
    persistent = obj->persistent;
  }
  ComputeBoundingBox();
}

void CInstance::CopyFrom(const CInstance& other) {
  if (this == &other) return;
  const int32_t keepPos = activePos;
  const int64_t keepRank = lookupRank;
  const bool keepDestroying = destroying;
  CLiveRoom* keepCounted = countedIn;
  NoteBoxChange(objectIndex);
  *this = other;
  activePos = keepPos;
  lookupRank = keepRank;
  destroying = keepDestroying;
  countedIn = keepCounted;
  NoteBoxChange(objectIndex);
}

// ---- setters ----

void CInstance::SetPosition(double nx, double ny) {
  if (nx == x && ny == y) return;
  x = nx;
  y = ny;
  NotePositionChange();
  ComputeBoundingBox();
}

void CInstance::SetSprite(int32_t sprite) {
  spriteIndex = sprite;
  if (std::floor(imageIndex) >= FrameCountOf(sprite)) imageIndex = 0;
  ComputeBoundingBox();
}

void CInstance::SetMask(int32_t mask) {
  maskIndex = mask;
  ComputeBoundingBox();
}

void CInstance::SetXScale(double s) {
  if (s == imageXScale) return;
  imageXScale = s;
  ComputeBoundingBox();
}

void CInstance::SetYScale(double s) {
  if (s == imageYScale) return;
  imageYScale = s;
  ComputeBoundingBox();
}

void CInstance::SetAngle(double a) {
  if (a == imageAngle) return;
  imageAngle = a;
  ComputeBoundingBox();
}

void CInstance::SetObject(int32_t o) {
  objectIndex = o;
  if (const CObject* obj = WorldObject(o)) {
    SetSprite(obj->sprite);
    maskIndex = obj->mask;
    depth = obj->depth;
    solid = obj->solid;
    visible = obj->visible;
    persistent = obj->persistent;
  }
  ComputeBoundingBox();
}

void CInstance::ComponentsFromPolar() {
  const long double r = DegToRad(direction);
  hSpeed = SnapToInteger(static_cast<double>(std::cos(r) * speed));
  vSpeed = SnapToInteger(static_cast<double>(-std::sin(r) * speed));
}

namespace {

// Direction and speed of a motion vector, as PolarFromComponents defines them.
void PolarOf(double h, double v, double& direction, double& speed) {
  if (h == 0) {
    direction = v > 0 ? 270 : (v < 0 ? 90 : 0);
  } else {
    constexpr long double kPi = 3.141592653589793238462643383279502884L;
    const double a = static_cast<double>(std::atan2(static_cast<long double>(v), h) * 180.0L / kPi);
    direction = a > 0 ? 360 - a : -a;
  }
  direction = SnapToInteger(direction);
  direction -= 360 * std::floor(direction / 360);
  speed = SnapToInteger(std::sqrt(h * h + v * v));
}

// Games set the same few speed vectors over and over (a set of keys, a bounce, a reversal), and the extended
// precision arctangent costs more than the whole rest of a speed change: remember recent vectors and their polar
// form. The results are those of PolarOf exactly; the cache only avoids recomputing them.
struct PolarCacheEntry {
  uint64_t h = 0, v = 0;  // bit patterns of the vector (so 0 and -0, whose directions differ, stay apart)
  double direction = 0, speed = 0;
  bool used = false;
};
constexpr size_t kPolarCacheSize = 512;
std::array<PolarCacheEntry, kPolarCacheSize> g_polarCache;

}  // namespace

void CInstance::PolarFromComponents() {
  uint64_t hb, vb;
  std::memcpy(&hb, &hSpeed, sizeof hb);
  std::memcpy(&vb, &vSpeed, sizeof vb);
  // Two entries per set, the newest first, so two vectors that share a set do not keep replacing each other.
  uint64_t mix = hb ^ (vb >> 32) ^ (vb << 32);
  mix ^= mix >> 29;
  mix *= 0xBF58476D1CE4E5B9ull;
  mix ^= mix >> 32;
  PolarCacheEntry* set = &g_polarCache[(mix % (kPolarCacheSize / 2)) * 2];
  for (int k = 0; k < 2; ++k) {
    const PolarCacheEntry& e = set[k];
    if (e.used && e.h == hb && e.v == vb) {
      direction = e.direction;
      speed = e.speed;
      return;
    }
  }
  PolarOf(hSpeed, vSpeed, direction, speed);
  set[1] = set[0];
  set[0] = {hb, vb, direction, speed, true};
}

void CInstance::SetDirection(double d) {
  if (d == direction) return;
  direction = d - 360 * std::floor(d / 360);
  ComponentsFromPolar();
}

void CInstance::SetSpeed(double s) {
  if (s == speed) return;
  speed = s;
  ComponentsFromPolar();
}

void CInstance::SetHSpeed(double h) {
  if (h == hSpeed) return;
  hSpeed = h;
  PolarFromComponents();
}

void CInstance::SetVSpeed(double v) {
  if (v == vSpeed) return;
  vSpeed = v;
  PolarFromComponents();
}

void CInstance::AddMotion(double s, double d) {
  const long double r = DegToRad(d);
  hSpeed += static_cast<double>(std::cos(r) * s);
  vSpeed -= static_cast<double>(std::sin(r) * s);
  PolarFromComponents();
}

void CInstance::MoveTowards(double tx, double ty, double s) {
  SetHSpeed(tx - x);
  SetVSpeed(ty - y);
  SetSpeed(s);
}

void CInstance::SetPathPosition(double p) { pathPosition = std::clamp(p, 0.0, 1.0); }
void CInstance::SetPathPositionPrevious(double p) { pathPositionPrevious = std::clamp(p, 0.0, 1.0); }

// ---- bounding box ----

void CInstance::ComputeBoundingBox() {
  const TrialShape t = ShapeAt(x, y);
  if (t.box.left != bboxLeft || t.box.top != bboxTop || t.box.right != bboxRight || t.box.bottom != bboxBottom) {
    bboxLeft = t.box.left;
    bboxTop = t.box.top;
    bboxRight = t.box.right;
    bboxBottom = t.box.bottom;
    NoteBoxChange(objectIndex);
  }
  precise = t.precise;
}

CInstance::TrialShape CInstance::ShapeAt(double px, double py) const {
  TrialShape t{px, py, {kNoBoundingBox, kNoBoundingBox, kNoBoundingBox, kNoBoundingBox}, false};
  const CSprite* s = WorldSprite(CollisionSprite());
  if (!s) return t;
  if (imageAngle != 0) {
    RotatedBox(*s, imageAngle, imageXScale, imageYScale, px, py, t.box);
  } else {
    MaskBox& b = t.box;
    const double xs = imageXScale, ys = imageYScale;
    b.left = RoundPixel((s->bboxLeft - s->xOrigin) * xs + px);
    b.right = RoundPixel(px + xs * (s->bboxRight - s->xOrigin + 1) - 1);
    if (b.right < b.left) std::swap(b.left, b.right);
    b.top = RoundPixel((s->bboxTop - s->yOrigin) * ys + py);
    b.bottom = RoundPixel(py + ys * (s->bboxBottom - s->yOrigin + 1) - 1);
    if (b.bottom < b.top) std::swap(b.top, b.bottom);
  }
  t.precise = s->precise;
  return t;
}

// ---- per-step rules ----

void CInstance::ApplyFrictionAndGravityNow() {
  if (friction != 0) {
    const double s = speed;
    const double c = s > 0 ? s - friction : s + friction;
    if ((s > 0 && c < 0) || (s < 0 && c > 0)) {
      SetSpeed(0);
    } else if (s != 0) {
      SetSpeed(c);
    }
  }
  if (gravity != 0) AddMotion(gravity, gravityDirection);
}

bool CInstance::Animate() {
  imageIndex += imageSpeed;
  const int n = FrameCountOf(spriteIndex);
  // For a whole n, floor(i) >= n exactly when i >= n (NaN fails both): no rounding needed.
  if (imageIndex >= n) {
    imageIndex -= n;
    return true;
  }
  return false;
}

// ---- collision tests ----

int CInstance::Frame() const {
  const double f = std::floor(imageIndex);
  if (!(f == f)) return 0;
  return static_cast<int>(std::clamp(f, -2147483648.0, 2147483647.0));
}

bool CInstance::CollidesPoint(double px, double py, bool preciseCheck) const {
  if (deleted) return false;
  if (!(bboxLeft <= px && px < bboxRight + 1.0 && bboxTop <= py && py < bboxBottom + 1.0)) return false;
  if (!NeedsMask(preciseCheck)) return true;
  const int32_t spr = CollisionSprite();
  if (!HasFrames(spr)) return false;
  if (!g_maskTests.pointHits) return true;
  return g_maskTests.pointHits(spr, Frame(), RoundPixel(px), RoundPixel(py), RoundPixel(x), RoundPixel(y),
                               imageXScale, imageYScale, imageAngle);
}

bool CInstance::CollidesRect(double x1, double y1, double x2, double y2, bool preciseCheck) const {
  if (deleted) return false;
  Order(x1, x2);
  Order(y1, y2);
  if (!(x1 < bboxRight + 1.0 && x2 >= bboxLeft && y1 < bboxBottom + 1.0 && y2 >= bboxTop)) return false;
  if (!NeedsMask(preciseCheck)) return true;
  const int32_t spr = CollisionSprite();
  if (!HasFrames(spr)) return false;
  if (!g_maskTests.rectangleHits) return true;
  return g_maskTests.rectangleHits(spr, Frame(), {bboxLeft, bboxTop, bboxRight, bboxBottom},
                                   {RoundPixel(x1), RoundPixel(y1), RoundPixel(x2), RoundPixel(y2)}, RoundPixel(x),
                                   RoundPixel(y), imageXScale, imageYScale, imageAngle);
}

bool CInstance::CollidesEllipse(double x1, double y1, double x2, double y2, bool preciseCheck) const {
  if (deleted) return false;
  Order(x1, x2);
  Order(y1, y2);
  if (!(x1 < bboxRight + 1.0 && x2 >= bboxLeft && y1 < bboxBottom + 1.0 && y2 >= bboxTop)) return false;
  const MaskBox rect{RoundPixel(x1), RoundPixel(y1), RoundPixel(x2), RoundPixel(y2)};
  if (rect.left == rect.right || rect.top == rect.bottom) return CollidesRect(x1, y1, x2, y2, preciseCheck);
  const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  if ((cx < bboxLeft || cx > bboxRight) && (cy < bboxTop || cy > bboxBottom)) {
    // The centre lies diagonally off the box: the ellipse reaches the box only through one of its corners.
    const double ecx = (rect.left + rect.right) / 2.0, ecy = (rect.top + rect.bottom) / 2.0;
    const double erx = (rect.right - rect.left) / 2.0, ery = (rect.bottom - rect.top) / 2.0;
    auto inside = [&](double px, double py) {
      const double dx = (px - ecx) / erx, dy = (py - ecy) / ery;
      return dx * dx + dy * dy <= 1;
    };
    if (!inside(bboxLeft, bboxTop) && !inside(bboxLeft, bboxBottom) && !inside(bboxRight, bboxTop) &&
        !inside(bboxRight, bboxBottom))
      return false;
  }
  if (!NeedsMask(preciseCheck)) return true;
  const int32_t spr = CollisionSprite();
  if (!HasFrames(spr)) return false;
  if (!g_maskTests.ellipseHits) return true;
  return g_maskTests.ellipseHits(spr, Frame(), {bboxLeft, bboxTop, bboxRight, bboxBottom}, rect, RoundPixel(x),
                                 RoundPixel(y), imageXScale, imageYScale, imageAngle);
}

bool CInstance::CollidesLine(double x1, double y1, double x2, double y2, bool preciseCheck) const {
  if (deleted) return false;
  {
    double ax = x1, bx = x2, ay = y1, by = y2;
    Order(ax, bx);
    Order(ay, by);
    if (!(ax < bboxRight + 1.0 && bx >= bboxLeft && ay < bboxBottom + 1.0 && by >= bboxTop)) return false;
  }
  // Left end first, then clip the line to the box's columns.
  if (x2 < x1) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  if (bboxLeft > x1) {
    y1 = y1 + (bboxLeft - x1) * (y2 - y1) / (x2 - x1);
    x1 = bboxLeft;
  }
  const double right = bboxRight + 1.0;
  if (x2 > right) {
    y2 = y1 + (right - x1) * (y2 - y1) / (x2 - x1);
    x2 = right;
  }
  if ((y1 < bboxTop && y2 < bboxTop) || (y1 >= bboxBottom + 1.0 && y2 >= bboxBottom + 1.0)) return false;
  if (!NeedsMask(preciseCheck)) return true;
  const int32_t spr = CollisionSprite();
  if (!HasFrames(spr)) return false;
  if (!g_maskTests.lineHits) return true;
  return g_maskTests.lineHits(spr, Frame(), {bboxLeft, bboxTop, bboxRight, bboxBottom}, RoundPixel(x1),
                              RoundPixel(y1), RoundPixel(x2), RoundPixel(y2), RoundPixel(x), RoundPixel(y),
                              imageXScale, imageYScale, imageAngle);
}

bool CInstance::CollidesInstance(const CInstance& o, bool preciseCheck) const {
  return CollidesInstanceAs({x, y, {bboxLeft, bboxTop, bboxRight, bboxBottom}, precise}, o, preciseCheck);
}

bool CInstance::CollidesInstanceAs(const TrialShape& me, const CInstance& o, bool preciseCheck) const {
  if (this == &o || deleted || o.deleted) return false;
  const MaskBox& b = me.box;
  if (o.bboxLeft >= int64_t{b.right} + 1 || b.left >= int64_t{o.bboxRight} + 1 ||
      o.bboxTop >= int64_t{b.bottom} + 1 || b.top >= int64_t{o.bboxBottom} + 1)
    return false;
  if (!preciseCheck || (!me.precise && !o.precise)) return true;
  const int32_t s1 = CollisionSprite(), s2 = o.CollisionSprite();
  if (!HasFrames(s1) || !HasFrames(s2)) return false;
  if (!g_maskTests.spritesOverlap) return true;
  return g_maskTests.spritesOverlap(s1, Frame(), b, RoundPixel(me.x), RoundPixel(me.y), imageXScale, imageYScale,
                                    imageAngle, s2, o.Frame(),
                                    {o.bboxLeft, o.bboxTop, o.bboxRight, o.bboxBottom}, RoundPixel(o.x),
                                    RoundPixel(o.y), o.imageXScale, o.imageYScale, o.imageAngle);
}

}  // namespace kv
