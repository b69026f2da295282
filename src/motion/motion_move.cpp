#include "motion/motion_move.h"

#include <cmath>

#include "code/code_value.h"
#include "functions/function_math.h"
#include "motion/motion_select.h"
#include "world/world_rooms.h"

namespace kv::motion {

namespace {

constexpr double kFarAway = 1000000;

// Self's shape at (x, y); a test elsewhere than where self stands leaves self's own box freshly computed, as if
// self had been put there and back.
struct Trial {
  CInstance& self;
  CInstance::TrialShape shape;
  bool moved;
  Trial(CInstance& s, double x, double y) : self(s), moved(!(x == s.x && y == s.y)) {
    shape = moved ? s.ShapeAt(x, y)
                  : CInstance::TrialShape{x, y, {s.bboxLeft, s.bboxTop, s.bboxRight, s.bboxBottom}, s.precise};
  }
  ~Trial() {
    if (moved) self.ComputeBoundingBox();
  }
};

CInstance* FirstColliding(CInstance& self, double x, double y, int obj, bool solidOnly, bool anyWill) {
  CLiveRoom* room = CurrentRoom();
  if (!room) return nullptr;
  Trial t(self, x, y);
  return FirstSelected(*room, obj, BoxOfShape(t.shape), anyWill, [&](CInstance& o) {
    return (!solidOnly || o.solid) && self.CollidesInstanceAs(t.shape, o, true);
  });
}

// The number of unit steps a contact or outside move may make.
int StepLimit(double maxdist) {
  if (maxdist > 0) {
    const int64_t n = RoundToInt64(maxdist);
    return n > 1000000000 ? 1000000000 : static_cast<int>(n);
  }
  return 1000;
}

}  // namespace

bool HasShape(const CInstance& inst) {
  return WorldSprite(inst.spriteIndex) != nullptr || WorldSprite(inst.maskIndex) != nullptr;
}

bool PlaceFree(CInstance& self, double x, double y) { return !FirstColliding(self, x, y, kAll, true, true); }
bool PlaceEmpty(CInstance& self, double x, double y) { return !FirstColliding(self, x, y, kAll, false, true); }
bool PlaceClear(CInstance& self, double x, double y, bool all) {
  return all ? PlaceEmpty(self, x, y) : PlaceFree(self, x, y);
}
CInstance* InstancePlace(CInstance& self, double x, double y, int obj) {
  return FirstColliding(self, x, y, obj, false, false);
}
bool PlaceMeetsSelection(CInstance& self, double x, double y, int obj) {
  return FirstColliding(self, x, y, obj, false, true) != nullptr;
}

void MoveContact(CInstance& self, double dir, double maxdist, bool all) {
  const long double r = DegToRad(dir);
  const double dx = static_cast<double>(std::cos(r)), dy = -static_cast<double>(std::sin(r));
  if (!PlaceClear(self, self.x, self.y, all)) return;
  const int n = StepLimit(maxdist);
  for (int k = 0; k < n; ++k) {
    const double nx = self.x + dx, ny = self.y + dy;
    if (!PlaceClear(self, nx, ny, all)) break;
    self.SetPosition(nx, ny);
  }
}

void MoveOutside(CInstance& self, double dir, double maxdist, bool all) {
  const long double r = DegToRad(dir);
  const double dx = static_cast<double>(std::cos(r)), dy = -static_cast<double>(std::sin(r));
  const int n = StepLimit(maxdist);
  for (int k = 0; k < n && !PlaceClear(self, self.x, self.y, all); ++k) self.SetPosition(self.x + dx, self.y + dy);
}

void MoveBounce(CInstance& self, bool advanced, bool all) {
  bool collided = false;
  if (!PlaceClear(self, self.x, self.y, all)) {
    self.SetPosition(self.xPrevious, self.yPrevious);
    collided = true;
  }
  if (advanced) {
    const double m = 10 * std::nearbyint(self.direction / 10);
    const double s = self.speed;
    auto freeAt = [&](double a) {
      const long double r = DegToRad(a);
      return PlaceClear(self, self.x + static_cast<double>(std::cos(r)) * s,
                        self.y - static_cast<double>(std::sin(r)) * s, all);
    };
    double a = m, b = m;
    for (int k = 1; k <= 35; ++k) {
      a = m - 10 * k;
      if (freeAt(a)) break;
      collided = true;
    }
    for (int k = 1; k <= 35; ++k) {
      b = m + 10 * k;
      if (freeAt(b)) break;
      collided = true;
    }
    if (collided) self.SetDirection(a + b + 180 - m);
    return;
  }
  const double h = self.hSpeed, v = self.vSpeed;
  const bool hb = !PlaceClear(self, self.x + h, self.y, all);
  const bool vb = !PlaceClear(self, self.x, self.y + v, all);
  const bool db = !PlaceClear(self, self.x + h, self.y + v, all);
  if ((hb && vb) || (!hb && !vb && db)) {
    self.SetHSpeed(-h);
    self.SetVSpeed(-v);
  } else if (hb) {
    self.SetHSpeed(-h);
  } else if (vb) {
    self.SetVSpeed(-v);
  }
}

void MoveRandom(CInstance& self, double hsnap, double vsnap) {
  const CLiveRoom* room = CurrentRoom();
  if (!room) return;
  const double w = room->props.width, h = room->props.height;
  double xmin = 0, xmax = w, ymin = 0, ymax = h;
  if (HasShape(self)) {
    xmin = std::nearbyint(self.x - self.bboxLeft);
    xmax = std::nearbyint(self.x + w - self.bboxRight);
    ymin = std::nearbyint(self.y - self.bboxTop);
    ymax = std::nearbyint(self.y + h - self.bboxBottom);
  }
  const int64_t hs = RoundToInt64(hsnap), vs = RoundToInt64(vsnap);
  for (int attempt = 0; attempt < 100; ++attempt) {
    double x = xmin + static_cast<double>(GameRandom::NextInt(RoundToInt64(xmax - xmin)));
    if (hs > 0) x = static_cast<double>(hs) * std::floor(x / static_cast<double>(hs));
    double y = ymin + static_cast<double>(GameRandom::NextInt(RoundToInt64(ymax - ymin)));
    if (vs > 0) y = static_cast<double>(vs) * std::floor(y / static_cast<double>(vs));
    if (PlaceFree(self, x, y)) {
      self.SetPosition(x, y);
      return;
    }
  }
}

bool PlaceSnapped(const CInstance& self, double hsnap, double vsnap) {
  auto aligned = [](double c, double s) { return !(s > 0) || std::fabs(c - s * std::nearbyint(c / s)) < 0.001; };
  return aligned(self.x, hsnap) && aligned(self.y, vsnap);
}

void MoveSnap(CInstance& self, double hsnap, double vsnap) {
  double x = self.x, y = self.y;
  if (hsnap > 0) x = hsnap * std::nearbyint(x / hsnap);
  if (vsnap > 0) y = vsnap * std::nearbyint(y / vsnap);
  self.SetPosition(x, y);
}

void MoveWrap(CInstance& self, bool hor, bool vert, double margin) {
  const CLiveRoom* room = CurrentRoom();
  if (!room) return;
  double x = self.x, y = self.y;
  if (hor) {
    const double w = room->props.width;
    if (x < -margin) x += w + 2 * margin;
    if (x > w + margin) x -= w + 2 * margin;
  }
  if (vert) {
    const double h = room->props.height;
    if (y < -margin) y += h + 2 * margin;
    if (y > h + margin) y -= h + 2 * margin;
  }
  self.SetPosition(x, y);
}

double DistanceToPoint(const CInstance& self, double x, double y) {
  const double dx = x > self.bboxRight ? x - self.bboxRight : x < self.bboxLeft ? x - self.bboxLeft : 0;
  const double dy = y > self.bboxBottom ? y - self.bboxBottom : y < self.bboxTop ? y - self.bboxTop : 0;
  return std::sqrt(dx * dx + dy * dy);
}

double DistanceToObject(const CInstance& self, const CInstance* other, int obj) {
  CLiveRoom* room = CurrentRoom();
  if (!room) return kFarAway;
  auto gap = [&](const CInstance* o) {
    if (!o || o == &self || o->deleted) return kFarAway;
    double dx = 0, dy = 0;
    if (self.bboxRight < o->bboxLeft) dx = static_cast<double>(o->bboxLeft) - self.bboxRight;
    else if (o->bboxRight < self.bboxLeft) dx = static_cast<double>(o->bboxRight) - self.bboxLeft;
    if (self.bboxBottom < o->bboxTop) dy = static_cast<double>(o->bboxTop) - self.bboxBottom;
    else if (o->bboxBottom < self.bboxTop) dy = static_cast<double>(o->bboxBottom) - self.bboxTop;
    return std::sqrt(dx * dx + dy * dy);
  };
  if (obj == kOther) return std::min(kFarAway, gap(other));
  double best = kFarAway;
  ForEachSelected(*room, obj, [&](CInstance* o) {
    best = std::min(best, gap(o));
    return true;
  });
  return best;
}

}  // namespace kv::motion
