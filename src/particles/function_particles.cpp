#include "particles/function_particles.h"

#include <string>

#include "code/code_docs.h"
#include "functions/function_args.h"
#include "particles/particle_draw.h"
#include "particles/particle_effects.h"
#include "particles/particle_system.h"
#include "particles/particle_type.h"

namespace kv {

namespace {

using namespace fnargs;
using namespace particles;

// ---- types ----

// Runs `set` on the type named by argument 0 when it exists.
template <class F>
void WithType(const RValue* a, F set) {
  if (RParticleType* t = ExistingType(I(a, 0))) set(*t);
}

void SetColours(RParticleType& t, int kind, const RValue* a, int count) {
  t.colourKind = kind;
  for (int k = 0; k < count; ++k) t.colour[k] = D(a, 1 + k);
}

void RegisterTypeFunctions() {
  Reg("part_type_create", 0, KV_FN { KV_UNUSED_ARGS; r = CreateType(); });
  Reg("part_type_destroy", 1, KV_FN { KV_UNUSED_ARGS; DestroyTypeDeferred(I(a, 0)); });
  Reg("part_type_exists", 1, KV_FN { KV_UNUSED_ARGS; r = TypeExists(I(a, 0)); });
  Reg("part_type_clear", 1, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [](RParticleType& t) {
      t = RParticleType{};
      t.exists = true;
    });
  });
  Reg("part_type_shape", 2, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.shape = I(a, 1);
      t.sprite = -1;
    });
  });
  Reg("part_type_sprite", 5, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.sprite = I(a, 1);
      t.animate = B(a, 2);
      t.stretch = B(a, 3);
      t.randomImage = B(a, 4);
    });
  });
  Reg("part_type_size", 5, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.sizeMin = D(a, 1);
      t.sizeMax = D(a, 2);
      t.sizeIncr = D(a, 3);
      t.sizeWiggle = D(a, 4);
    });
  });
  Reg("part_type_scale", 3, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.xScale = D(a, 1);
      t.yScale = D(a, 2);
    });
  });
  Reg("part_type_life", 3, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.lifeMin = I(a, 1);
      t.lifeMax = I(a, 2);
    });
  });
  Reg("part_type_step", 3, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.stepNumber = I(a, 1);
      t.stepType = I(a, 2);
    });
  });
  Reg("part_type_death", 3, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.deathNumber = I(a, 1);
      t.deathType = I(a, 2);
    });
  });
  Reg("part_type_speed", 5, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.speedMin = D(a, 1);
      t.speedMax = D(a, 2);
      t.speedIncr = D(a, 3);
      t.speedWiggle = D(a, 4);
    });
  });
  Reg("part_type_direction", 5, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.dirMin = D(a, 1);
      t.dirMax = D(a, 2);
      t.dirIncr = D(a, 3);
      t.dirWiggle = D(a, 4);
    });
  });
  Reg("part_type_orientation", 6, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.angMin = D(a, 1);
      t.angMax = D(a, 2);
      t.angIncr = D(a, 3);
      t.angWiggle = D(a, 4);
      t.angRelative = B(a, 5);
    });
  });
  Reg("part_type_gravity", 3, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.gravAmount = D(a, 1);
      t.gravDir = D(a, 2);
    });
  });
  Reg("part_type_color1", 2, KV_FN { KV_UNUSED_ARGS; WithType(a, [a](RParticleType& t) { SetColours(t, kColourOne, a, 1); }); });
  Reg("part_type_color2", 3, KV_FN { KV_UNUSED_ARGS; WithType(a, [a](RParticleType& t) { SetColours(t, kColourTwo, a, 2); }); });
  Reg("part_type_color3", 4, KV_FN { KV_UNUSED_ARGS; WithType(a, [a](RParticleType& t) { SetColours(t, kColourThree, a, 3); }); });
  Reg("part_type_color", 4, KV_FN { KV_UNUSED_ARGS; WithType(a, [a](RParticleType& t) { SetColours(t, kColourThree, a, 3); }); });
  Reg("part_type_color_rgb", 7, KV_FN { KV_UNUSED_ARGS; WithType(a, [a](RParticleType& t) { SetColours(t, kColourRgb, a, 6); }); });
  Reg("part_type_color_hsv", 7, KV_FN { KV_UNUSED_ARGS; WithType(a, [a](RParticleType& t) { SetColours(t, kColourHsv, a, 6); }); });
  Reg("part_type_color_mix", 3, KV_FN { KV_UNUSED_ARGS; WithType(a, [a](RParticleType& t) { SetColours(t, kColourMix, a, 2); }); });
  Reg("part_type_alpha1", 2, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) { t.alpha1 = t.alpha2 = t.alpha3 = D(a, 1); });
  });
  Reg("part_type_alpha2", 3, KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.alpha1 = D(a, 1);
      t.alpha3 = D(a, 2);
      t.alpha2 = (t.alpha1 + t.alpha3) / 2;
    });
  });
  auto alpha3 = KV_FN {
    KV_UNUSED_ARGS;
    WithType(a, [a](RParticleType& t) {
      t.alpha1 = D(a, 1);
      t.alpha2 = D(a, 2);
      t.alpha3 = D(a, 3);
    });
  };
  Reg("part_type_alpha3", 4, alpha3);
  Reg("part_type_alpha", 4, alpha3);
  Reg("part_type_blend", 2, KV_FN { KV_UNUSED_ARGS; WithType(a, [a](RParticleType& t) { t.additive = B(a, 1); }); });

  DescribeFunctions("Particle types", {
      {"part_type_create", "", "Creates a new particle type and returns its id."},
      {"part_type_destroy", "ind", "Destroys a particle type; its particles live on with default settings."},
      {"part_type_exists", "ind", "Returns whether a particle type exists."},
      {"part_type_clear", "ind", "Returns a particle type to its default settings."},
      {"part_type_shape", "ind, shape", "Sets the built-in shape a particle type is drawn with (pt_shape_ constants)."},
      {"part_type_sprite", "ind, sprite, animat, stretch, random",
       "Makes a particle type draw with a sprite, animated, stretched over its life or starting at a random image."},
      {"part_type_size", "ind, size_min, size_max, size_incr, size_wiggle",
       "Sets the size range of new particles, the change per step and the wiggle."},
      {"part_type_scale", "ind, xscale, yscale", "Sets the horizontal and vertical scale of a particle type."},
      {"part_type_life", "ind, life_min, life_max", "Sets the range of steps a particle lives."},
      {"part_type_step", "ind, step_number, step_type",
       "Makes each particle create step_number particles of another type every step."},
      {"part_type_death", "ind, death_number, death_type",
       "Makes each particle create death_number particles of another type when it dies."},
      {"part_type_speed", "ind, speed_min, speed_max, speed_incr, speed_wiggle",
       "Sets the speed range of new particles, the change per step and the wiggle."},
      {"part_type_direction", "ind, dir_min, dir_max, dir_incr, dir_wiggle",
       "Sets the direction range of new particles in degrees, the change per step and the wiggle."},
      {"part_type_orientation", "ind, ang_min, ang_max, ang_incr, ang_wiggle, ang_relative",
       "Sets the drawing angle of particles, its change and wiggle, optionally relative to their direction."},
      {"part_type_gravity", "ind, grav_amount, grav_dir",
       "Sets the gravity pulling particles and its direction in degrees."},
      {"part_type_color1", "ind, color1", "Gives particles of a type a single colour."},
      {"part_type_color2", "ind, color1, color2",
       "Makes particles change colour from color1 to color2 over their life."},
      {"part_type_color3", "ind, color1, color2, color3",
       "Makes particles change colour through three colours over their life."},
      {"part_type_color", "ind, color1, color2, color3",
       "Makes particles change colour through three colours over their life."},
      {"part_type_color_rgb", "ind, rmin, rmax, gmin, gmax, bmin, bmax",
       "Gives each new particle a random colour within the red, green and blue ranges."},
      {"part_type_color_hsv", "ind, hmin, hmax, smin, smax, vmin, vmax",
       "Gives each new particle a random colour within the hue, saturation and value ranges."},
      {"part_type_color_mix", "ind, color1, color2", "Gives each new particle a random mix of two colours."},
      {"part_type_alpha1", "ind, alpha1", "Gives particles of a type a single alpha."},
      {"part_type_alpha2", "ind, alpha1, alpha2",
       "Makes the alpha of particles change from alpha1 to alpha2 over their life."},
      {"part_type_alpha3", "ind, alpha1, alpha2, alpha3",
       "Makes the alpha of particles change through three values over their life."},
      {"part_type_alpha", "ind, alpha1, alpha2, alpha3",
       "Makes the alpha of particles change through three values over their life."},
      {"part_type_blend", "ind, additive", "Sets whether particles of a type are drawn with additive blending."},
  });
}

// ---- systems and particles ----

template <class F>
void WithSystem(const RValue* a, F f) {
  if (CParticleSystem* s = GetSystem(I(a, 0))) f(*s);
}

void RegisterSystemFunctions() {
  Reg("part_system_create", 0, KV_FN { KV_UNUSED_ARGS; r = CreateSystem(); });
  Reg("part_system_destroy", 1, KV_FN { KV_UNUSED_ARGS; DestroySystem(I(a, 0)); });
  Reg("part_system_exists", 1, KV_FN { KV_UNUSED_ARGS; r = SystemExists(I(a, 0)); });
  Reg("part_system_clear", 1, KV_FN { KV_UNUSED_ARGS; ClearSystem(I(a, 0)); });
  Reg("part_system_draw_order", 2, KV_FN { KV_UNUSED_ARGS; WithSystem(a, [a](CParticleSystem& s) { s.oldToNew = B(a, 1); }); });
  Reg("part_system_depth", 2, KV_FN { KV_UNUSED_ARGS; WithSystem(a, [a](CParticleSystem& s) { s.depth = D(a, 1); }); });
  Reg("part_system_position", 3, KV_FN {
    KV_UNUSED_ARGS;
    WithSystem(a, [a](CParticleSystem& s) {
      s.x = D(a, 1);
      s.y = D(a, 2);
    });
  });
  Reg("part_system_automatic_update", 2, KV_FN {
    KV_UNUSED_ARGS;
    WithSystem(a, [a](CParticleSystem& s) { s.automaticUpdate = B(a, 1); });
  });
  Reg("part_system_automatic_draw", 2, KV_FN {
    KV_UNUSED_ARGS;
    WithSystem(a, [a](CParticleSystem& s) { s.automaticDraw = B(a, 1); });
  });
  Reg("part_system_update", 1, KV_FN { KV_UNUSED_ARGS; UpdateSystem(I(a, 0)); });
  Reg("part_system_drawit", 1, KV_FN { KV_UNUSED_ARGS; DrawSystemById(I(a, 0)); });
  Reg("part_particles_create", 5, KV_FN {
    KV_UNUSED_ARGS;
    WithSystem(a, [a](CParticleSystem& s) { s.CreateParticles(D(a, 1), D(a, 2), I(a, 3), I(a, 4)); });
  });
  Reg("part_particles_create_color", 6, KV_FN {
    KV_UNUSED_ARGS;
    WithSystem(a, [a](CParticleSystem& s) {
      const int32_t colour = I(a, 4);
      s.CreateParticles(D(a, 1), D(a, 2), I(a, 3), I(a, 5), &colour);
    });
  });
  Reg("part_particles_clear", 1, KV_FN {
    KV_UNUSED_ARGS;
    WithSystem(a, [](CParticleSystem& s) { s.parts.Clear(); });
  });
  Reg("part_particles_count", 1, KV_FN {
    KV_UNUSED_ARGS;
    WithSystem(a, [&r](CParticleSystem& s) { r = static_cast<double>(s.parts.Count()); });
  });

  DescribeFunctions("Particle systems", {
      {"part_system_create", "", "Creates a new particle system and returns its id."},
      {"part_system_destroy", "ind", "Destroys a particle system with all its particles."},
      {"part_system_exists", "ind", "Returns whether a particle system exists."},
      {"part_system_clear", "ind",
       "Removes all particles, emitters and other parts from a system and restores its settings."},
      {"part_system_draw_order", "ind, oldtonew", "Sets whether a system draws its oldest particles first or last."},
      {"part_system_depth", "ind, depth", "Sets the depth at which a system is drawn."},
      {"part_system_position", "ind, x, y", "Sets the offset at which a system draws its particles."},
      {"part_system_automatic_update", "ind, automatic",
       "Sets whether a system updates its particles every step by itself."},
      {"part_system_automatic_draw", "ind, automatic", "Sets whether a system draws its particles by itself."},
      {"part_system_update", "ind", "Updates the particles of a system once now."},
      {"part_system_drawit", "ind", "Draws the particles of a system now."},
      {"part_particles_create", "ind, x, y, parttype, number",
       "Creates number particles of a type at (x, y) in a system."},
      {"part_particles_create_color", "ind, x, y, parttype, color, number",
       "Creates number particles of a type at (x, y) in a system, all in the given colour."},
      {"part_particles_clear", "ind", "Removes all particles from a system."},
      {"part_particles_count", "ind", "Returns the number of particles in a system."},
  });
}

// ---- components ----

// Create, destroy, destroy-all, exists and clear of one component kind, on the list `M` of the system.
template <class T, ComponentList<T> CParticleSystem::*M>
struct ComponentFunctions {
  static T* Get(const RValue* a) {
    CParticleSystem* s = GetSystem(I(a, 0));
    return s ? (s->*M).Get(I(a, 1)) : nullptr;
  }
  static void Create(RValue& r, CInstance*, CInstance*, int, RValue* a) {
    CParticleSystem* s = GetSystem(I(a, 0));
    r = s ? (s->*M).Create() : -1;
  }
  static void Destroy(RValue&, CInstance*, CInstance*, int, RValue* a) {
    if (CParticleSystem* s = GetSystem(I(a, 0))) (s->*M).Destroy(I(a, 1));
  }
  static void DestroyAll(RValue&, CInstance*, CInstance*, int, RValue* a) {
    if (CParticleSystem* s = GetSystem(I(a, 0))) (s->*M).items.clear();
  }
  static void Exists(RValue& r, CInstance*, CInstance*, int, RValue* a) { r = Get(a) != nullptr; }
  static void Clear(RValue&, CInstance*, CInstance*, int, RValue* a) {
    if (T* c = Get(a)) {
      *c = T{};
      c->exists = true;
    }
  }
  static void Register(const std::string& prefix) {
    Reg((prefix + "_create").c_str(), 1, Create);
    Reg((prefix + "_destroy").c_str(), 2, Destroy);
    Reg((prefix + "_destroy_all").c_str(), 1, DestroyAll);
    Reg((prefix + "_exists").c_str(), 2, Exists);
    Reg((prefix + "_clear").c_str(), 2, Clear);
  }
};
using Emitters = ComponentFunctions<REmitter, &CParticleSystem::emitters>;
using Attractors = ComponentFunctions<RAttractor, &CParticleSystem::attractors>;
using Destroyers = ComponentFunctions<RDestroyer, &CParticleSystem::destroyers>;
using Deflectors = ComponentFunctions<RDeflector, &CParticleSystem::deflectors>;
using Changers = ComponentFunctions<RChanger, &CParticleSystem::changers>;

// Sets the region box from arguments 2 … 5 (xmin, xmax, ymin, ymax).
template <class T>
void SetBox(T& c, const RValue* a) {
  c.xMin = D(a, 2);
  c.xMax = D(a, 3);
  c.yMin = D(a, 4);
  c.yMax = D(a, 5);
}

void RegisterComponentFunctions() {
  Emitters::Register("part_emitter");
  Attractors::Register("part_attractor");
  Destroyers::Register("part_destroyer");
  Deflectors::Register("part_deflector");
  Changers::Register("part_changer");

  Reg("part_emitter_region", 8, KV_FN {
    KV_UNUSED_ARGS;
    if (REmitter* e = Emitters::Get(a)) {
      SetBox(*e, a);
      e->shape = I(a, 6);
      e->distribution = I(a, 7);
    }
  });
  Reg("part_emitter_burst", 4, KV_FN {
    KV_UNUSED_ARGS;
    CParticleSystem* s = GetSystem(I(a, 0));
    if (REmitter* e = Emitters::Get(a)) s->Burst(*e, I(a, 2), I(a, 3));
  });
  Reg("part_emitter_stream", 4, KV_FN {
    KV_UNUSED_ARGS;
    if (REmitter* e = Emitters::Get(a)) {
      e->streamType = I(a, 2);
      e->streamNumber = I(a, 3);
    }
  });
  Reg("part_attractor_position", 4, KV_FN {
    KV_UNUSED_ARGS;
    if (RAttractor* t = Attractors::Get(a)) {
      t->x = D(a, 2);
      t->y = D(a, 3);
    }
  });
  Reg("part_attractor_force", 6, KV_FN {
    KV_UNUSED_ARGS;
    if (RAttractor* t = Attractors::Get(a)) {
      t->force = D(a, 2);
      t->dist = D(a, 3);
      t->kind = I(a, 4);
      t->additive = B(a, 5);
    }
  });
  Reg("part_destroyer_region", 7, KV_FN {
    KV_UNUSED_ARGS;
    if (RDestroyer* d = Destroyers::Get(a)) {
      SetBox(*d, a);
      d->shape = I(a, 6);
    }
  });
  Reg("part_deflector_region", 6, KV_FN {
    KV_UNUSED_ARGS;
    if (RDeflector* d = Deflectors::Get(a)) SetBox(*d, a);
  });
  Reg("part_deflector_kind", 3, KV_FN {
    KV_UNUSED_ARGS;
    if (RDeflector* d = Deflectors::Get(a)) d->kind = I(a, 2);
  });
  Reg("part_deflector_friction", 3, KV_FN {
    KV_UNUSED_ARGS;
    if (RDeflector* d = Deflectors::Get(a)) d->friction = D(a, 2);
  });
  Reg("part_changer_region", 7, KV_FN {
    KV_UNUSED_ARGS;
    if (RChanger* c = Changers::Get(a)) {
      SetBox(*c, a);
      c->shape = I(a, 6);
    }
  });
  Reg("part_changer_types", 4, KV_FN {
    KV_UNUSED_ARGS;
    if (RChanger* c = Changers::Get(a)) {
      c->partType1 = I(a, 2);
      c->partType2 = I(a, 3);
    }
  });
  Reg("part_changer_kind", 3, KV_FN {
    KV_UNUSED_ARGS;
    if (RChanger* c = Changers::Get(a)) c->kind = I(a, 2);
  });

  DescribeFunctions("Particle emitters and other parts", {
      {"part_emitter_create", "ps", "Creates an emitter in a particle system and returns its id."},
      {"part_emitter_destroy", "ps, ind", "Destroys an emitter of a system."},
      {"part_emitter_destroy_all", "ps", "Destroys all emitters of a system."},
      {"part_emitter_exists", "ps, ind", "Returns whether an emitter exists in a system."},
      {"part_emitter_clear", "ps, ind", "Returns an emitter to its default settings."},
      {"part_emitter_region", "ps, ind, xmin, xmax, ymin, ymax, shape, distribution",
       "Sets the region, its shape and the distribution in which an emitter creates particles."},
      {"part_emitter_burst", "ps, ind, parttype, number",
       "Creates number particles of a type at once in an emitter's region."},
      {"part_emitter_stream", "ps, ind, parttype, number",
       "Makes an emitter create number particles of a type every step."},
      {"part_attractor_create", "ps", "Creates an attractor in a particle system and returns its id."},
      {"part_attractor_destroy", "ps, ind", "Destroys an attractor of a system."},
      {"part_attractor_destroy_all", "ps", "Destroys all attractors of a system."},
      {"part_attractor_exists", "ps, ind", "Returns whether an attractor exists in a system."},
      {"part_attractor_clear", "ps, ind", "Returns an attractor to its default settings."},
      {"part_attractor_position", "ps, ind, x, y", "Sets the position of an attractor."},
      {"part_attractor_force", "ps, ind, force, dist, kind, additive",
       "Sets how strongly and how far an attractor pulls particles (a negative force pushes)."},
      {"part_destroyer_create", "ps", "Creates a destroyer in a particle system and returns its id."},
      {"part_destroyer_destroy", "ps, ind", "Destroys a destroyer of a system."},
      {"part_destroyer_destroy_all", "ps", "Destroys all destroyers of a system."},
      {"part_destroyer_exists", "ps, ind", "Returns whether a destroyer exists in a system."},
      {"part_destroyer_clear", "ps, ind", "Returns a destroyer to its default settings."},
      {"part_destroyer_region", "ps, ind, xmin, xmax, ymin, ymax, shape",
       "Sets the region in which a destroyer removes particles."},
      {"part_deflector_create", "ps", "Creates a deflector in a particle system and returns its id."},
      {"part_deflector_destroy", "ps, ind", "Destroys a deflector of a system."},
      {"part_deflector_destroy_all", "ps", "Destroys all deflectors of a system."},
      {"part_deflector_exists", "ps, ind", "Returns whether a deflector exists in a system."},
      {"part_deflector_clear", "ps, ind", "Returns a deflector to its default settings."},
      {"part_deflector_region", "ps, ind, xmin, xmax, ymin, ymax",
       "Sets the region in which a deflector bounces particles."},
      {"part_deflector_kind", "ps, ind, kind",
       "Sets whether a deflector bounces particles horizontally or vertically."},
      {"part_deflector_friction", "ps, ind, friction",
       "Sets how much speed particles lose when a deflector bounces them."},
      {"part_changer_create", "ps", "Creates a changer in a particle system and returns its id."},
      {"part_changer_destroy", "ps, ind", "Destroys a changer of a system."},
      {"part_changer_destroy_all", "ps", "Destroys all changers of a system."},
      {"part_changer_exists", "ps, ind", "Returns whether a changer exists in a system."},
      {"part_changer_clear", "ps, ind", "Returns a changer to its default settings."},
      {"part_changer_region", "ps, ind, xmin, xmax, ymin, ymax, shape",
       "Sets the region in which a changer changes particles."},
      {"part_changer_types", "ps, ind, parttype1, parttype2",
       "Makes a changer turn particles of parttype1 into parttype2."},
      {"part_changer_kind", "ps, ind, kind",
       "Sets what a changer changes: everything, only the shape, or only the motion."},
  });
}

void RegisterEffectFunctions() {
  Reg("effect_create_below", 5, KV_FN {
    KV_UNUSED_ARGS;
    CreateEffect(false, I(a, 0), D(a, 1), D(a, 2), I(a, 3), I(a, 4));
  });
  Reg("effect_create_above", 5, KV_FN {
    KV_UNUSED_ARGS;
    CreateEffect(true, I(a, 0), D(a, 1), D(a, 2), I(a, 3), I(a, 4));
  });
  Reg("effect_clear", 0, KV_FN { KV_UNUSED_ARGS; ClearEffects(); });

  DescribeFunctions("Effects", {
      {"effect_create_below", "kind, x, y, size, color",
       "Creates a ready-made effect (ef_ constants) at (x, y) below the instances; size 0 small, 1 medium, 2 large."},
      {"effect_create_above", "kind, x, y, size, color",
       "Creates a ready-made effect (ef_ constants) at (x, y) above the instances; size 0 small, 1 medium, 2 large."},
      {"effect_clear", "", "Removes all effects."},
  });
}

}  // namespace

void RegisterParticleFunctions() {
  RegisterTypeFunctions();
  RegisterSystemFunctions();
  RegisterComponentFunctions();
  RegisterEffectFunctions();
}

}  // namespace kv
