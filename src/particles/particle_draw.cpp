#include "particles/particle_draw.h"

#include <cmath>

#include "graphics/font_main.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_texture.h"
#include "particles/particle_shapes.h"
#include "particles/particle_system.h"
#include "particles/particle_type.h"

namespace kv::particles {

namespace {

constexpr double kNoSystem = -1e9;
uint64_t g_pass = 0;

// What a type draws with: a sprite's frames, or one built-in shape texture.
struct Look {
  int sprite = -1;      // a sprite with frames, else -1
  int frames = 0;
  int shapeTexture = -1;
  double xOrigin = 0, yOrigin = 0;
};

Look LookOf(const RParticleType& tp) {
  Look l;
  const int frames = gfx::SpriteFrameCount(tp.sprite);
  if (frames >= 0) {  // the type's sprite exists: it is used, and one without images draws nothing
    int w, h, xo, yo;
    if (frames > 0 && gfx::Sprites().geometry(tp.sprite, w, h, xo, yo)) {
      l.sprite = tp.sprite;
      l.frames = frames;
      l.xOrigin = xo;
      l.yOrigin = yo;
    }
    return l;
  }
  l.shapeTexture = ShapeTexture(tp.shape);
  l.frames = l.shapeTexture >= 0 ? 1 : 0;
  // Shapes are drawn centred on the particle, so they grow, shrink and turn in place.
  l.xOrigin = l.yOrigin = kShapeSize / 2.0;
  return l;
}

}  // namespace

void DrawSystem(CParticleSystem& s) {
  if (!gfx::DeviceExists()) return;
  BusyScope busy;
  const RParticleArrays& p = s.parts;
  const size_t n = p.Count();
  auto& dev = gfx::D3D();
  const int savedSrc = dev.srcBlend, savedDest = dev.destBlend;
  bool additiveOn = false;
  int lastType = -1;
  Look look;
  for (size_t k = 0; k < n; ++k) {
    const size_t i = s.oldToNew ? k : n - 1 - k;
    const int32_t life = p.life[i];
    if (life <= 0) continue;
    const RParticleType& tp = TypeOrDefault(p.type[i]);
    if (p.type[i] != lastType) {
      look = LookOf(tp);
      lastType = p.type[i];
    }
    if (look.frames <= 0) continue;
    const int64_t age = p.age[i], seed = p.seed[i];
    int64_t image = p.imageOffset[i];
    if (tp.animate)
      image += tp.stretch ? static_cast<int64_t>(std::floor(static_cast<double>(look.frames) * age / life)) : age;
    const int tex = look.sprite >= 0 ? gfx::Sprites().frameTexture(look.sprite, static_cast<int>(
                                                                                     ((image % look.frames) + look.frames) % look.frames))
                                     : look.shapeTexture;
    const double angle = p.angle[i] + (tp.angRelative ? p.direction[i] : 0) +
                         tp.angWiggle * Tri(static_cast<double>((age + 2 * seed) % 16) / 4);
    const double factor = p.size[i] + tp.sizeWiggle * Tri(static_cast<double>((age + seed) % 16) / 4);
    if (tp.additive != additiveOn) {
      if (tp.additive) gfx::SetBlendMode(1);
      else gfx::SetBlendFactors(savedSrc, savedDest);
      additiveOn = tp.additive;
    }
    gfx::DrawTextureExt(tex, p.colour[i], p.alpha[i], angle * M_PI / 180.0, tp.xScale * factor, tp.yScale * factor,
                        s.x + p.x[i], s.y + p.y[i], look.xOrigin, look.yOrigin);
  }
  if (additiveOn) gfx::SetBlendFactors(savedSrc, savedDest);
}

void DrawSystemById(int id) {
  if (CParticleSystem* s = GetSystem(id)) DrawSystem(*s);
}

double AutoDrawDepthBelow(double below) {
  if (std::isinf(below) && below > 0) ++g_pass;
  double best = kNoSystem;
  bool found = false;
  for (int id = 0; id < SystemSlots(); ++id) {
    const CParticleSystem* s = GetSystem(id);
    if (!s || !s->automaticDraw || s->drawnPass == g_pass || !(s->depth < below)) continue;
    if (!found || s->depth > best) best = s->depth;
    found = true;
  }
  return best;
}

void DrawAutoSystemsAt(double depth) {
  BusyScope busy;  // a system destroyed meanwhile goes after the whole group is drawn
  for (int id = 0; id < SystemSlots(); ++id) {
    CParticleSystem* s = GetSystem(id);
    if (!s || !s->automaticDraw || s->drawnPass == g_pass || std::fabs(s->depth - depth) > 0.01) continue;
    s->drawnPass = g_pass;
    DrawSystem(*s);
  }
}

}  // namespace kv::particles
