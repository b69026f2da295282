#include "particles/particle_system.h"

#include <algorithm>
#include <cmath>

#include "code/code_value.h"
#include "functions/function_math.h"
#include "graphics/support_color.h"
#include "particles/particle_type.h"

namespace kv::particles {

namespace {

constexpr double kDegToRad = M_PI / 180.0;

// One particle as a plain record, used while creating and changing particles.
struct RParticle {
  int32_t type = 0, age = 0, life = 0, colour = 0, imageOffset = 0, seed = 0;
  double x = 0, y = 0, xPrevious = 0, yPrevious = 0, speed = 0, direction = 0, angle = 0, alpha = 1, size = 1;
};

int32_t RoundColour(double c) { return RoundToInt(c); }

int32_t InitialColour(const RParticleType& t) {
  const double* c = t.colour;
  switch (t.colourKind) {
    case kColourRgb: {
      const double r = std::nearbyint(RandomBetween(c[0], c[1], kDistrLinear));
      const double g = std::nearbyint(RandomBetween(c[2], c[3], kDistrLinear));
      const double b = std::nearbyint(RandomBetween(c[4], c[5], kDistrLinear));
      return gfx::MakeColourRgb(r, g, b);
    }
    case kColourHsv: {
      const double h = std::nearbyint(RandomBetween(c[0], c[1], kDistrLinear));
      const double s = std::nearbyint(RandomBetween(c[2], c[3], kDistrLinear));
      const double v = std::nearbyint(RandomBetween(c[4], c[5], kDistrLinear));
      return gfx::MakeColourHsv(h, s, v);
    }
    case kColourMix: return gfx::MergeColour(RoundColour(c[0]), RoundColour(c[1]), GameRandom::NextReal());
    default: return RoundColour(c[0]);
  }
}

// A new particle of type t at (x, y); the random draws come in a fixed order so a seed repeats a run.
RParticle MakeParticle(int t, const RParticleType& tp, double x, double y) {
  RParticle p;
  p.type = t;
  p.x = p.xPrevious = x;
  p.y = p.yPrevious = y;
  p.speed = RandomBetween(tp.speedMin, tp.speedMax, kDistrLinear);
  p.direction = RandomBetween(tp.dirMin, tp.dirMax, kDistrLinear);
  p.angle = RandomBetween(tp.angMin, tp.angMax, kDistrLinear);
  p.size = RandomBetween(tp.sizeMin, tp.sizeMax, kDistrLinear);
  p.life = RoundToInt(RandomBetween(tp.lifeMin, tp.lifeMax, kDistrLinear));
  p.colour = InitialColour(tp);
  p.alpha = tp.alpha1;
  p.imageOffset = tp.randomImage ? static_cast<int32_t>(GameRandom::NextInt(10000)) : 0;
  p.seed = static_cast<int32_t>(GameRandom::NextInt(100000));
  return p;
}

void Store(RParticleArrays& a, size_t i, const RParticle& p) {
  a.alive[i] = 1;
  a.type[i] = p.type;
  a.age[i] = p.age;
  a.life[i] = p.life;
  a.colour[i] = p.colour;
  a.imageOffset[i] = p.imageOffset;
  a.seed[i] = p.seed;
  a.x[i] = p.x;
  a.y[i] = p.y;
  a.xPrevious[i] = p.xPrevious;
  a.yPrevious[i] = p.yPrevious;
  a.speed[i] = p.speed;
  a.direction[i] = p.direction;
  a.angle[i] = p.angle;
  a.alpha[i] = p.alpha;
  a.size[i] = p.size;
}

// How many particles a count from game code asks for: a negative n means one with a chance of 1 in −n.
int64_t SpawnCount(int64_t n) {
  if (n >= 0) return n;
  return GameRandom::NextReal() * -static_cast<double>(n) < 1.0 ? 1 : 0;
}

// Direction in [0, 360) of a velocity on a y-down room.
double DirectionOf(double vx, double vy) {
  double d = std::atan2(-vy, vx) / kDegToRad;
  if (d < 0) d += 360;
  if (d >= 360) d -= 360;
  return d + 0.0;
}

bool RegionEmpty(double xMin, double xMax, double yMin, double yMax) { return xMin >= xMax || yMin >= yMax; }

bool InBox(double x, double y, double xMin, double xMax, double yMin, double yMax) {
  return xMin <= x && x <= xMax && yMin <= y && y <= yMax;
}

// The ellipse and diamond tests inside a region's box.
bool InEllipse(double x, double y, double xMin, double xMax, double yMin, double yMax) {
  const double ex = (x - (xMin + xMax) / 2) * 2 / (xMax - xMin), ey = (y - (yMin + yMax) / 2) * 2 / (yMax - yMin);
  return ex * ex + ey * ey <= 1;
}
bool InDiamond(double x, double y, double xMin, double xMax, double yMin, double yMax) {
  return std::fabs(x - (xMin + xMax) / 2) * 2 / (xMax - xMin) + std::fabs(y - (yMin + yMax) / 2) * 2 / (yMax - yMin) <=
         1;
}

// ---- the table and deferred destruction ----

std::vector<std::unique_ptr<CParticleSystem>> g_systems;
int g_busy = 0;
struct Deferred {
  enum Kind { kDestroySystem, kClearSystem, kDestroyType } kind;
  int id;
};
std::vector<Deferred> g_deferred;

void RunDeferred() {
  std::vector<Deferred> work;
  work.swap(g_deferred);
  for (const Deferred& d : work) {
    switch (d.kind) {
      case Deferred::kDestroySystem: DestroySystem(d.id); break;
      case Deferred::kClearSystem: ClearSystem(d.id); break;
      case Deferred::kDestroyType: DestroyType(d.id); break;
    }
  }
}

}  // namespace

// ---- arrays ----

void RParticleArrays::Reserve(size_t n) {
  alive.reserve(n);
  for (auto* v : {&type, &age, &life, &colour, &imageOffset, &seed}) v->reserve(n);
  for (auto* v : {&x, &y, &xPrevious, &yPrevious, &speed, &direction, &angle, &alpha, &size}) v->reserve(n);
}

void RParticleArrays::Resize(size_t n) {
  if (n > type.capacity()) Reserve(std::max(n, type.capacity() + type.capacity() / 2));
  alive.resize(n);
  for (auto* v : {&type, &age, &life, &colour, &imageOffset, &seed}) v->resize(n);
  for (auto* v : {&x, &y, &xPrevious, &yPrevious, &speed, &direction, &angle, &alpha, &size}) v->resize(n);
}

void RParticleArrays::Clear() { Resize(0); }

namespace {
// Keeps the elements whose flag is set, in order: one tight pass per array.
template <class T>
void Compact(std::vector<T>& v, const uint8_t* keep, size_t first, size_t n) {
  size_t w = first;
  for (size_t r = first; r < n; ++r) {
    v[w] = v[r];
    w += keep[r];
  }
  v.resize(w);
}
}  // namespace

void RParticleArrays::RemoveDead() {
  const size_t n = Count();
  size_t first = 0;
  while (first < n && alive[first]) ++first;
  if (first == n) return;
  const uint8_t* keep = alive.data();
  for (auto* v : {&type, &age, &life, &colour, &imageOffset, &seed}) Compact(*v, keep, first, n);
  for (auto* v : {&x, &y, &xPrevious, &yPrevious, &speed, &direction, &angle, &alpha, &size})
    Compact(*v, keep, first, n);
  Compact(alive, keep, first, n);  // last: the flags are the mask of the others
}

// ---- random values ----

double RandomBetween(double min, double max, int distribution) {
  if (!(max > min)) return min;
  if (distribution == kDistrGaussian || distribution == kDistrInvGaussian) {
    double u;
    do {
      u = (GameRandom::NextReal() - 0.5) * 6;
    } while (!(GameRandom::NextReal() < std::exp(-u * u / 2)));
    if (distribution == kDistrGaussian) return min + (max - min) * (u + 3) / 6;
    const double v = u >= 0 ? u : u + 6;
    return min + (max - min) * v / 6;
  }
  return min + GameRandom::NextReal() * (max - min);
}

// ---- particle creation ----

void CParticleSystem::CreateParticles(double px, double py, int t, int64_t number, const int32_t* colour) {
  const RParticleType* tp = ExistingType(t);
  if (!tp || number < 1) return;
  const size_t start = parts.Count();
  if (start >= kMaxParticlesPerSystem) return;
  const size_t n = static_cast<size_t>(std::min<int64_t>(number, static_cast<int64_t>(kMaxParticlesPerSystem - start)));
  parts.Resize(start + n);
  for (size_t i = start; i < start + n; ++i) {
    RParticle p = MakeParticle(t, *tp, px, py);
    if (colour) p.colour = *colour;
    Store(parts, i, p);
  }
}

void CParticleSystem::Burst(const REmitter& e, int t, int64_t number) {
  number = SpawnCount(number);
  const RParticleType* tp = ExistingType(t);
  if (!tp || number < 1) return;
  const size_t start = parts.Count();
  if (start >= kMaxParticlesPerSystem) return;
  const size_t n = static_cast<size_t>(std::min<int64_t>(number, static_cast<int64_t>(kMaxParticlesPerSystem - start)));
  parts.Resize(start + n);  // grown once for the whole burst
  const bool line = e.shape == kRegionLine;
  for (size_t i = start; i < start + n; ++i) {
    double u, v;
    for (;;) {
      u = RandomBetween(0, 1, e.distribution);
      v = RandomBetween(0, 1, e.distribution);
      if (e.distribution == kDistrInvGaussian && !line) {
        // Crowding at both ends on both axes would leave only the corners: one axis stays even.
        if (GameRandom::NextReal() < 0.5) u = RandomBetween(0, 1, kDistrLinear);
        else v = RandomBetween(0, 1, kDistrLinear);
      }
      if (e.shape == kRegionEllipse && (u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5) > 0.25) continue;
      if (e.shape == kRegionDiamond && std::fabs(u - 0.5) + std::fabs(v - 0.5) > 0.5) continue;
      break;
    }
    const double px = e.xMin + u * (e.xMax - e.xMin);
    const double py = e.yMin + (line ? u : v) * (e.yMax - e.yMin);
    Store(parts, i, MakeParticle(t, *tp, px, py));
  }
}

// ---- the update ----

void CParticleSystem::Update() {
  BusyScope busy;
  LifePhase();
  MotionPhase();
  if (deflectors.Any()) DeflectorPhase();
  if (changers.Any()) ChangerPhase();
  if (destroyers.Any()) DestroyerPhase();
  AppearancePhase();
  StreamPhase();
}

void CParticleSystem::LifePhase() {
  const size_t n = parts.Count();  // particles born in this phase are not aged in it
  bool anyDied = false;
  for (size_t i = 0; i < n; ++i) {
    const RParticleType& tp = TypeOrDefault(parts.type[i]);
    parts.age[i] += 1;
    const double x = parts.x[i], y = parts.y[i];
    if (parts.age[i] >= parts.life[i]) {
      parts.alive[i] = 0;
      anyDied = true;
      if (tp.deathNumber != 0) {
        const int deathType = tp.deathType;
        CreateParticles(x, y, deathType, SpawnCount(tp.deathNumber));
      }
    } else if (tp.stepNumber != 0) {
      const int stepType = tp.stepType;
      CreateParticles(x, y, stepType, SpawnCount(tp.stepNumber));
    }
  }
  if (anyDied) parts.RemoveDead();
}

void CParticleSystem::MotionPhase() {
  const bool attract = attractors.Any();
  const size_t n = parts.Count();
  double* px = parts.x.data();
  double* py = parts.y.data();
  double* speed = parts.speed.data();
  double* dir = parts.direction.data();
  for (size_t i = 0; i < n; ++i) {
    const RParticleType& tp = TypeOrDefault(parts.type[i]);
    parts.xPrevious[i] = px[i];
    parts.yPrevious[i] = py[i];
    speed[i] = std::max(0.0, speed[i] + tp.speedIncr);
    dir[i] += tp.dirIncr;
    parts.angle[i] += tp.angIncr;
    double shiftX = 0, shiftY = 0;  // non-additive attractors: this step's displacement only
    if (tp.gravAmount != 0 || attract) {
      double vx = speed[i] * std::cos(dir[i] * kDegToRad), vy = -speed[i] * std::sin(dir[i] * kDegToRad);
      vx += tp.gravAmount * std::cos(tp.gravDir * kDegToRad);
      vy -= tp.gravAmount * std::sin(tp.gravDir * kDegToRad);
      if (attract) {
        for (const RAttractor& a : attractors.items) {
          if (!a.exists) continue;
          const double ddx = a.x - px[i], ddy = a.y - py[i];
          const double d = std::sqrt(ddx * ddx + ddy * ddy);
          if (d > a.dist || d == 0 || a.force == 0 || a.dist == 0) continue;
          double k = a.force / d;
          if (a.kind == kForceLinear) k *= (a.dist - d) / a.dist;
          else if (a.kind == kForceQuadratic) k *= ((a.dist - d) / a.dist) * ((a.dist - d) / a.dist);
          if (a.additive) {
            vx += ddx * k;
            vy += ddy * k;
          } else {
            shiftX += ddx * k;
            shiftY += ddy * k;
          }
        }
      }
      speed[i] = std::sqrt(vx * vx + vy * vy);
      dir[i] = DirectionOf(vx, vy);
      if (tp.speedWiggle == 0 && tp.dirWiggle == 0) {  // the step is the velocity itself
        px[i] += vx + shiftX;
        py[i] += vy + shiftY;
        continue;
      }
    }
    const int64_t age = parts.age[i], seed = parts.seed[i];
    const double len = speed[i] + tp.speedWiggle * Tri(static_cast<double>((age + 4 * seed) % 20) / 5);
    const double ang = (dir[i] + tp.dirWiggle * Tri(static_cast<double>((age + 3 * seed) % 24) / 6)) * kDegToRad;
    px[i] += len * std::cos(ang) + shiftX;
    py[i] += -len * std::sin(ang) + shiftY;
  }
}

void CParticleSystem::DeflectorPhase() {
  const size_t n = parts.Count();
  for (const RDeflector& d : deflectors.items) {
    if (!d.exists || RegionEmpty(d.xMin, d.xMax, d.yMin, d.yMax)) continue;
    for (size_t i = 0; i < n; ++i) {
      if (!InBox(parts.x[i], parts.y[i], d.xMin, d.xMax, d.yMin, d.yMax)) continue;
      if (d.kind == kDeflectHorizontal) {
        double dir = 180 - parts.direction[i];
        if (dir < 0) dir += 360;
        parts.direction[i] = dir;
        parts.x[i] = parts.xPrevious[i] - (parts.x[i] - parts.xPrevious[i]);
      } else if (d.kind == kDeflectVertical) {
        parts.direction[i] = 360 - parts.direction[i];
        parts.y[i] = parts.yPrevious[i] - (parts.y[i] - parts.yPrevious[i]);
      }
      parts.speed[i] = std::max(0.0, parts.speed[i] - d.friction);
    }
  }
}

void CParticleSystem::ChangerPhase() {
  const size_t n = parts.Count();
  for (const RChanger& c : changers.items) {
    if (!c.exists || RegionEmpty(c.xMin, c.xMax, c.yMin, c.yMax)) continue;
    const RParticleType* fresh = ExistingType(c.partType2);
    for (size_t i = 0; i < n; ++i) {
      if (parts.type[i] != c.partType1) continue;
      const double x = parts.x[i], y = parts.y[i];
      if (!InBox(x, y, c.xMin, c.xMax, c.yMin, c.yMax)) continue;
      if (c.shape == kRegionEllipse && !InEllipse(x, y, c.xMin, c.xMax, c.yMin, c.yMax)) continue;
      if (c.shape == kRegionDiamond && !InDiamond(x, y, c.xMin, c.xMax, c.yMin, c.yMax)) continue;
      if (!fresh) continue;  // no particle of a missing type can be made: the particle stays as it is
      const RParticle p = MakeParticle(c.partType2, *fresh, x, y);
      if (c.kind == kChangeAll) {
        Store(parts, i, p);
      } else if (c.kind == kChangeShape) {
        parts.type[i] = p.type;
        parts.angle[i] = p.angle;
        parts.colour[i] = p.colour;
        parts.alpha[i] = p.alpha;
        parts.size[i] = p.size;
        parts.imageOffset[i] = p.imageOffset;
      } else if (c.kind == kChangeMotion) {
        parts.type[i] = p.type;
        parts.speed[i] = p.speed;
        parts.direction[i] = p.direction;
      }
    }
  }
}

void CParticleSystem::DestroyerPhase() {
  const size_t n = parts.Count();
  bool anyDied = false;
  for (const RDestroyer& d : destroyers.items) {
    if (!d.exists || RegionEmpty(d.xMin, d.xMax, d.yMin, d.yMax)) continue;
    if (d.shape != kRegionRectangle && d.shape != kRegionEllipse && d.shape != kRegionDiamond) continue;
    for (size_t i = 0; i < n; ++i) {
      const double x = parts.x[i], y = parts.y[i];
      if (!parts.alive[i] || !InBox(x, y, d.xMin, d.xMax, d.yMin, d.yMax)) continue;
      if (d.shape == kRegionEllipse && !InEllipse(x, y, d.xMin, d.xMax, d.yMin, d.yMax)) continue;
      if (d.shape == kRegionDiamond && !InDiamond(x, y, d.xMin, d.xMax, d.yMin, d.yMax)) continue;
      parts.alive[i] = 0;
      anyDied = true;
    }
  }
  if (anyDied) parts.RemoveDead();
}

void CParticleSystem::AppearancePhase() {
  const size_t n = parts.Count();
  for (size_t i = 0; i < n; ++i) {
    const RParticleType& tp = TypeOrDefault(parts.type[i]);
    parts.size[i] = std::max(0.0, parts.size[i] + tp.sizeIncr);
    const int32_t age = parts.age[i], life = parts.life[i];
    if (age > 0 && life > 0) {
      if (tp.colourKind == kColourTwo) {
        parts.colour[i] = gfx::MergeColour(RoundColour(tp.colour[0]), RoundColour(tp.colour[1]),
                                           std::min(1.0, static_cast<double>(age) / life));
      } else if (tp.colourKind == kColourThree) {
        const double e = std::min(2.0, 2.0 * age / life);
        parts.colour[i] = e < 1 ? gfx::MergeColour(RoundColour(tp.colour[0]), RoundColour(tp.colour[1]), e)
                                : gfx::MergeColour(RoundColour(tp.colour[1]), RoundColour(tp.colour[2]), e - 1);
      }
    }
    const double e = life <= 0 ? 1.0 : 2.0 * age / life;
    parts.alpha[i] = e < 1 ? (1 - e) * tp.alpha1 + e * tp.alpha2 : (2 - e) * tp.alpha2 + (e - 1) * tp.alpha3;
  }
}

void CParticleSystem::StreamPhase() {
  for (size_t k = 0; k < emitters.items.size(); ++k) {
    const REmitter e = emitters.items[k];
    if (e.exists && e.streamNumber != 0) Burst(e, e.streamType, e.streamNumber);
  }
}

void CParticleSystem::Reset() {
  parts = RParticleArrays{};
  emitters.items.clear();
  attractors.items.clear();
  destroyers.items.clear();
  deflectors.items.clear();
  changers.items.clear();
  oldToNew = true;
  depth = 0;
  x = y = 0;
  automaticUpdate = true;
  automaticDraw = true;
  drawnPass = 0;
}

// ---- the table ----

int CreateSystem() {
  size_t id = 0;
  while (id < g_systems.size() && g_systems[id]) ++id;
  if (id == g_systems.size()) g_systems.emplace_back();
  static uint64_t serial = 0;
  g_systems[id] = std::make_unique<CParticleSystem>();
  g_systems[id]->serial = ++serial;
  return static_cast<int>(id);
}

void DestroySystem(int id) {
  if (!SystemExists(id)) return;
  if (g_busy) {
    g_deferred.push_back({Deferred::kDestroySystem, id});
    return;
  }
  g_systems[static_cast<size_t>(id)].reset();
}

void ClearSystem(int id) {
  CParticleSystem* s = GetSystem(id);
  if (!s) return;
  if (g_busy) {
    g_deferred.push_back({Deferred::kClearSystem, id});
    return;
  }
  s->Reset();
}

bool SystemExists(int id) { return id >= 0 && static_cast<size_t>(id) < g_systems.size() && g_systems[id]; }
CParticleSystem* GetSystem(int id) { return SystemExists(id) ? g_systems[static_cast<size_t>(id)].get() : nullptr; }
int SystemSlots() { return static_cast<int>(g_systems.size()); }

void ClearSystems() {
  g_systems.clear();
  g_deferred.clear();
}

void UpdateSystem(int id) {
  if (CParticleSystem* s = GetSystem(id)) s->Update();
}

void UpdateAllSystems() {
  BusyScope busy;
  for (size_t id = 0; id < g_systems.size(); ++id)
    if (CParticleSystem* s = g_systems[id].get(); s && s->automaticUpdate) s->Update();
}

BusyScope::BusyScope() { ++g_busy; }
BusyScope::~BusyScope() {
  if (--g_busy == 0 && !g_deferred.empty()) RunDeferred();
}
bool Busy() { return g_busy > 0; }

void DestroyTypeDeferred(int id) {
  if (!TypeExists(id)) return;
  if (g_busy) {
    g_deferred.push_back({Deferred::kDestroyType, id});
    return;
  }
  DestroyType(id);
}

}  // namespace kv::particles
