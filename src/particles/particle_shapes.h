// The fourteen built-in particle shapes (pt_shape_pixel … pt_shape_snow): 32 × 32 white images whose alpha comes
// from grey-level pictures computed here, turned into textures on first use.
#pragma once

#include <array>
#include <cstdint>

namespace kv::particles {

constexpr int kShapeSize = 32;
using ShapeImage = std::array<uint8_t, kShapeSize * kShapeSize>;  // alpha, top row first

// The grey-level picture of a shape (all zero for a shape outside 0 … 13).
ShapeImage MakeShapeImage(int shape);

// Texture of a built-in shape, made on first use and again after the device lost its textures; −1 for a shape
// outside 0 … 13 or without a device.
int ShapeTexture(int shape);

}  // namespace kv::particles
