// Particle types: how a particle looks and moves over its life. One global table indexed by id; creating takes
// the lowest free slot, destroying resets the record and frees the slot. Particles of a destroyed type keep
// living with the reset settings, so records are never removed from the table, only marked free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv::particles {

// Colour kinds of a type.
enum ColourKind : int32_t {
  kColourOne = 0,     // color_a
  kColourTwo = 1,     // a → b over the life
  kColourThree = 2,   // a → b → c over the life
  kColourRgb = 3,     // random red, green, blue in [a, b], [c, d], [e, f]
  kColourHsv = 4,     // random hue, saturation, value likewise
  kColourMix = 5,     // a random merge of a and b
};

constexpr int kShapeCount = 14;  // pt_shape_pixel … pt_shape_snow

struct RParticleType {
  bool exists = false;
  int32_t sprite = -1;  // -1: the built-in shape
  bool animate = true;
  bool stretch = false;
  bool randomImage = false;
  int32_t shape = 0;
  double sizeMin = 1, sizeMax = 1, sizeIncr = 0, sizeWiggle = 0;
  double xScale = 1, yScale = 1;
  int32_t lifeMin = 100, lifeMax = 100;
  int32_t deathType = 0, deathNumber = 0;
  int32_t stepType = 0, stepNumber = 0;
  double speedMin = 0, speedMax = 0, speedIncr = 0, speedWiggle = 0;
  double dirMin = 0, dirMax = 0, dirIncr = 0, dirWiggle = 0;
  double gravAmount = 0, gravDir = 270;
  double angMin = 0, angMax = 0, angIncr = 0, angWiggle = 0;
  bool angRelative = false;
  int32_t colourKind = kColourOne;
  double colour[6] = {16777215, 16777215, 16777215, 0, 0, 0};  // color_a … color_f
  double alpha1 = 1, alpha2 = 1, alpha3 = 1;
  bool additive = false;
};

// The type table. Ids are small integers; Type() of any id that was ever created stays valid (a reset record after
// a destroy); ids never created give a shared default record.
int CreateType();
void DestroyType(int id);
bool TypeExists(int id);
RParticleType* ExistingType(int id);      // null when the type does not exist
const RParticleType& TypeOrDefault(int id);  // the record, or the defaults for an id never created
void ClearTypes();                         // empties the table (tests, program start state)
std::vector<RParticleType>& TypeTable();

}  // namespace kv::particles
