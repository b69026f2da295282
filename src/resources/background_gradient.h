// Colour gradients for backgrounds made while the game runs.
#pragma once

#include "graphics/bitmap32.h"

namespace kv {

// An opaque max(1, w) × max(1, h) image whose colour goes from colour1 to colour2 (script colours, mixed per
// channel): kind 0 left to right, 1 top to bottom, 2 rectangles from the edge inwards, 3 ellipses from the edge
// inwards over colour1, 4 from both side edges to the middle column, 5 from the top and bottom edges to the middle
// row. Any other kind gives a black image. A gradient with no steps (n = 0) is colour1 throughout.
CBitmap32 GradientImage(int width, int height, int kind, int colour1, int colour2);

}  // namespace kv
