#include "particles/particle_effects.h"

#include <cmath>

#include "code/code_value.h"
#include "functions/function_math.h"
#include "particles/particle_system.h"
#include "particles/particle_type.h"
#include "world/room_live.h"
#include "world/run_main.h"
#include "world/world_rooms.h"

namespace kv::particles {

namespace {

constexpr int kBelowDepth = 100000, kAboveDepth = -100000;

// The types the effects use, one per role.
enum EffectType {
  kTExplosion, kTExplosionSmoke, kTRing, kTEllipse, kTFirework, kTSmoke, kTSmokeUp, kTStar, kTSpark, kTFlare,
  kTCloud, kTRain, kTSnow, kEffectTypeCount
};

struct EffectSystem {
  int id = -1;
  uint64_t serial = 0;
};
struct EffectState {
  EffectSystem below, above;
  int types[kEffectTypeCount];
  bool typesMade = false;
};
EffectState g_fx;

// The system of one side, created again when the game destroyed it (a new system in its slot is not ours).
CParticleSystem* Existing(const EffectSystem& e) {
  CParticleSystem* s = GetSystem(e.id);
  return s && s->serial == e.serial ? s : nullptr;
}
CParticleSystem& Ensure(EffectSystem& e, double depth) {
  if (CParticleSystem* s = Existing(e)) return *s;
  e.id = CreateSystem();
  CParticleSystem& s = *GetSystem(e.id);
  e.serial = s.serial;
  s.depth = depth;
  return s;
}

// The type of a role, with its settings back at the defaults (each effect sets what it needs on every call).
RParticleType& Type(EffectType role) {
  int& id = g_fx.types[role];
  if (!TypeExists(id)) id = CreateType();
  RParticleType& t = *ExistingType(id);
  t = RParticleType{};
  t.exists = true;
  return t;
}

void SetSize(RParticleType& t, double size, double incr) {
  t.sizeMin = t.sizeMax = size;
  t.sizeIncr = incr;
}
void SetLife(RParticleType& t, double lo, double hi) {
  t.lifeMin = RoundToInt(lo);
  t.lifeMax = RoundToInt(hi);
}
void SetAlpha2(RParticleType& t, double start, double end) {
  t.alpha1 = start;
  t.alpha3 = end;
  t.alpha2 = (start + end) / 2;
}

// Per-size values: small, medium, large.
double Pick(int sz, double small, double medium, double large) { return sz == 0 ? small : sz == 2 ? large : medium; }

void Emit(CParticleSystem& s, EffectType role, double x, double y, int64_t number, int colour) {
  const int32_t c = colour;
  s.CreateParticles(x, y, g_fx.types[role], number, &c);
}

double RoomWidth() { return CurrentRoom() ? CurrentRoom()->props.width : 0; }
double RoomHeight() { return CurrentRoom() ? CurrentRoom()->props.height : 0; }

void MakeTypes() {
  if (g_fx.typesMade) return;
  for (int& id : g_fx.types) id = CreateType();
  g_fx.typesMade = true;
}

}  // namespace

double EffectTimeFactor(int roomSpeed, int fps) {
  if (roomSpeed <= 30 || fps <= 30) return 1;
  if (static_cast<double>(roomSpeed) / fps >= 1.2) return 30.0 / fps;
  return 30.0 / roomSpeed;
}

void CreateEffect(bool above, int kind, double x, double y, int size, int colour) {
  if (kind < kEfExplosion || kind > kEfSnow) return;
  Ensure(g_fx.below, kBelowDepth);
  Ensure(g_fx.above, kAboveDepth);
  MakeTypes();
  CParticleSystem& s = above ? *Existing(g_fx.above) : *Existing(g_fx.below);
  const int sz = size == 0 ? 0 : size == 2 ? 2 : 1;
  const double f = EffectTimeFactor(CurrentRoom() ? CurrentRoom()->props.speed : 30, Game().fps);

  switch (kind) {
    case kEfExplosion: {
      RParticleType& t = Type(kTExplosion);
      t.shape = 10;
      SetSize(t, Pick(sz, 0.1, 0.3, 0.4), Pick(sz, 0.05, 0.1, 0.2) * f);
      t.angMax = 360;
      t.dirMax = 360;
      t.speedMin = t.speedMax = Pick(sz, 2, 4, 7) * f;
      t.speedIncr = Pick(sz, -0.1, -0.18, -0.2) * f;
      SetAlpha2(t, 0.6, 0);
      SetLife(t, std::nearbyint(Pick(sz, 10, 12, 15) / f), std::nearbyint(Pick(sz, 15, 17, 20) / f));
      RParticleType& smoke = Type(kTExplosionSmoke);
      smoke.shape = 10;
      SetSize(smoke, Pick(sz, 0.1, 0.3, 0.4), Pick(sz, 0.1, 0.2, 0.4) * f);
      smoke.angMax = 360;
      SetAlpha2(smoke, 0.8, 0);
      const double life = std::nearbyint(Pick(sz, 15, 17, 20) / f);
      SetLife(smoke, life, life);
      Emit(s, kTExplosion, x, y, 20, colour);
      Emit(s, kTExplosionSmoke, x, y, 1, 0);
      break;
    }
    case kEfRing:
    case kEfEllipse: {
      RParticleType& t = Type(kind == kEfRing ? kTRing : kTEllipse);
      t.shape = 6;
      SetSize(t, 0, Pick(sz, 0.15, 0.25, 0.4) * f);
      if (kind == kEfEllipse) t.yScale = 0.5;
      SetAlpha2(t, 1, 0);
      const double life = std::nearbyint(Pick(sz, 10, 13, 18) / f);
      SetLife(t, life, life);
      Emit(s, kind == kEfRing ? kTRing : kTEllipse, x, y, 1, colour);
      break;
    }
    case kEfFirework: {
      RParticleType& t = Type(kTFirework);
      t.shape = 8;
      SetSize(t, Pick(sz, 0.1, 0.15, 0.2), 0);
      t.speedMin = 0.5 * f;
      t.speedMax = Pick(sz, 3, 4, 6) * f;
      t.dirMax = 360;
      t.gravAmount = 0.1 * f;
      t.gravDir = 270;
      SetAlpha2(t, 1, 0.4);
      SetLife(t, std::nearbyint(Pick(sz, 15, 20, 25) / f), std::nearbyint(Pick(sz, 25, 30, 35) / f));
      Emit(s, kTFirework, x, y, static_cast<int64_t>(Pick(sz, 75, 150, 250)), colour);
      break;
    }
    case kEfSmoke:
    case kEfSmokeUp: {
      const EffectType role = kind == kEfSmoke ? kTSmoke : kTSmokeUp;
      RParticleType& t = Type(role);
      t.shape = 10;
      SetSize(t, Pick(sz, 0.1, 0.2, 0.3), Pick(sz, 0.005, 0.01, 0.02) * f);
      t.angMax = 360;
      if (kind == kEfSmokeUp) {
        t.dirMin = t.dirMax = 90;
        t.speedMin = t.speedMax = Pick(sz, 0.5, 0.7, 1) * f;
      }
      SetAlpha2(t, 0.4, 0);
      SetLife(t, std::nearbyint(Pick(sz, 25, 30, 40) / f), std::nearbyint(Pick(sz, 30, 40, 50) / f));
      const double spread = Pick(sz, 5, 15, 30);
      const int count = static_cast<int>(Pick(sz, 6, 11, 16));
      for (int k = 0; k < count; ++k) {
        const double px = x + (GameRandom::NextReal() * 2 - 1) * spread;
        const double py = y + (GameRandom::NextReal() * 2 - 1) * spread;
        Emit(s, role, px, py, 1, colour);
      }
      break;
    }
    case kEfStar:
    case kEfSpark:
    case kEfFlare: {
      const EffectType role = kind == kEfStar ? kTStar : kind == kEfSpark ? kTSpark : kTFlare;
      RParticleType& t = Type(role);
      t.shape = kind == kEfStar ? 4 : kind == kEfSpark ? 9 : 8;
      SetSize(t, Pick(sz, 0.4, 0.7, 1.0), Pick(sz, -0.02, -0.035, -0.05) * f);
      t.angMax = 360;
      const double life = std::nearbyint(Pick(sz, 20, 25, 30) / f);
      SetLife(t, life, life);
      Emit(s, role, x, y, 1, colour);
      break;
    }
    case kEfCloud: {
      RParticleType& t = Type(kTCloud);
      t.shape = 10;
      SetSize(t, Pick(sz, 2, 4, 8), 0);
      t.yScale = 0.5;
      t.alpha1 = 0;
      t.alpha2 = 0.3;
      t.alpha3 = 0;
      SetLife(t, std::nearbyint(80 / f), std::nearbyint(120 / f));
      Emit(s, kTCloud, x, y, 1, colour);
      break;
    }
    case kEfRain: {
      RParticleType& t = Type(kTRain);
      t.shape = 3;
      SetSize(t, 0.2, 0);
      t.dirMin = t.dirMax = 260;
      t.speedMin = t.speedMax = 7 * f;
      t.angRelative = true;
      t.alpha1 = t.alpha2 = t.alpha3 = 0.4;
      const double life = std::nearbyint(0.2 * RoomHeight() / f);
      SetLife(t, life, life);
      const int count = static_cast<int>(Pick(sz, 2, 5, 9));
      for (int k = 0; k < count; ++k) {
        const double px = GameRandom::NextReal() * 1.2 * RoomWidth();
        const double py = static_cast<double>(GameRandom::NextInt(20)) - 30;
        Emit(s, kTRain, px, py, 1, colour);
      }
      break;
    }
    case kEfSnow: {
      RParticleType& t = Type(kTSnow);
      t.shape = 13;
      SetSize(t, Pick(sz, 0.1, 0.2, 0.3), 0);
      t.dirMin = 240;
      t.dirMax = 300;
      t.dirWiggle = 20;
      t.speedMin = t.speedMax = 2.5 * f;
      t.angMax = 360;
      t.alpha1 = t.alpha2 = t.alpha3 = 0.6;
      const double life = std::nearbyint(0.5 * RoomHeight() / f);
      SetLife(t, life, life);
      const int count = static_cast<int>(Pick(sz, 1, 3, 7));
      for (int k = 0; k < count; ++k) {
        const double px = GameRandom::NextReal() * 1.2 * RoomWidth() - 60;
        const double py = static_cast<double>(GameRandom::NextInt(20)) - 30;
        Emit(s, kTSnow, px, py, 1, colour);
      }
      break;
    }
  }
}

void ClearEffects() {
  if (CParticleSystem* s = Existing(g_fx.below)) s->parts.Clear();
  if (CParticleSystem* s = Existing(g_fx.above)) s->parts.Clear();
}

int EffectSystemId(bool above) {
  const EffectSystem& e = above ? g_fx.above : g_fx.below;
  return Existing(e) ? e.id : -1;
}

void ResetEffects() { g_fx = EffectState{}; }

}  // namespace kv::particles
