// Surfaces: render-target textures the game draws into (ids reused lowest-first, −1 = none).
#pragma once

#include <cstdint>
#include <optional>

#include "graphics/graphics_d3d.h"

namespace kv::gfx {

int CreateSurface(int width, int height);  // −1 for sizes ≤ 0, above the largest texture, or on failure
void FreeSurface(int id);
bool SurfaceExists(int id);
void FreeAllSurfaces();
int SurfaceWidth(int id);    // −1 for a surface that does not exist
int SurfaceHeight(int id);
int SurfaceTexture(int id);
int CurrentTargetSurface();  // −1 when drawing goes to the screen
// A number unique to each created surface (0 for none): tells a surface from a later one under the same id.
uint64_t SurfaceSerial(int id);
bool SetTarget(int id);
bool ResetTarget();
std::optional<PixelBlock> SurfaceReadBack(int id, int x, int y, int width, int height);
int SurfacePixel(int id, int x, int y);  // script colour, 0 when nothing could be read
void CopySurfacePart(int dest, int x, int y, int source, int sx, int sy, int width, int height);
void CopySurface(int dest, int x, int y, int source);

}  // namespace kv::gfx
