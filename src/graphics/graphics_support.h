// Conversions shared by the drawing modules: reals to device integers and script colours to device colours.
#pragma once

#include <cstdint>

namespace kv::gfx {

// Nearest integer with halves to even; NaN gives 0 and reals beyond the int range saturate.
// (Kept local to graphics until the language's shared helper exists.)
int RoundToInt(double v);

// Script colour (red in the low byte) with alpha 0 … 1 → 0xAARRGGBB. Alpha is clamped, then rounded.
uint32_t DeviceColour(int colour, double alpha);
uint32_t DeviceColourKeep(uint32_t deviceColour, double alpha);  // replaces the alpha byte only
int ScriptColour(uint32_t deviceColour);                          // back to red + green×256 + blue×65536

}  // namespace kv::gfx
