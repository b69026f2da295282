// The ready-made effects (explosion, ring, smoke, rain, …) drawn in two private particle systems, one below the
// instances (depth 100000) and one above them (depth −100000).
#pragma once

namespace kv::particles {

enum EffectKind {
  kEfExplosion = 0, kEfRing, kEfEllipse, kEfFirework, kEfSmoke, kEfSmokeUp, kEfStar, kEfSpark, kEfFlare, kEfCloud,
  kEfRain, kEfSnow
};

// One effect of a kind at (x, y); size 0 small, 2 large, anything else medium; colour for its particles.
void CreateEffect(bool above, int kind, double x, double y, int size, int colour);
// Removes the particles of both effect systems (effect_clear, and every room change); they keep their types.
void ClearEffects();
// The ids of the effect systems, −1 while they do not exist (tests).
int EffectSystemId(bool above);
// The time factor of the effects: 1 up to 30 steps per second, else 30 / room speed (or 30 / fps when the game
// runs clearly slower than its room speed).
double EffectTimeFactor(int roomSpeed, int fps);
// Forgets the effect systems and types (the tables were emptied).
void ResetEffects();

}  // namespace kv::particles
