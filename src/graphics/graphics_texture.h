// The texture table (ids reused lowest-first, −1 = none) and the textured quads that draw sprite frames,
// backgrounds and surfaces.
#pragma once

#include <cstdint>

#include "platform/gpu_device.h"

namespace kv::gfx {

struct RTexture {
  plat::TextureHandle handle = plat::kNoTexture;
  int width = 0, height = 0;          // the image placed in the texture
  int texWidth = 0, texHeight = 0;    // the size the device granted
  bool exists = false;
};

int CreateTexture(int width, int height, bool renderTarget);
// Copies a width × height image (0xAARRGGBB, top row first) of the slot's size into the texture; a texture
// larger than the image also gets a copy of the last column and row beside it (interpolated edges stay solid).
bool FillTexture(int id, const uint32_t* pixels);
int TextureFromPixels(int width, int height, const uint32_t* pixels);  // −1 on failure (no slot kept)
int TextureFromAlpha(int width, int height, const uint8_t* alpha);     // white with the bytes as alpha
void FreeTexture(int id);
bool TextureExists(int id);
void ClearTextures();
int TextureCount();
const RTexture* GetTexture(int id);  // null when the id is not in use
double TextureWidth(int id);         // width / texture width; 1 for an invalid id
double TextureHeight(int id);
void PreloadTexture(int id);
void SetTexturePriority(int id, int priority);
void BindTexture(int id);            // none for an invalid id

// Quads. Angles in radians; colours are script colours; alpha 0 … 1.
void DrawTexture(int id, double x, double y);
void DrawTextureExt(int id, int colour, double alpha, double angle, double xscale, double yscale, double x,
                    double y, double xorigin, double yorigin);
void DrawTexturePart(int id, int colour, double alpha, double angle, double xscale, double yscale, double x,
                     double y, double left, double top, double width, double height);
void DrawTextureGeneral(int id, int c1, int c2, int c3, int c4, double alpha, double angle, double xscale,
                        double yscale, double x, double y, double left, double top, double width, double height);
void DrawTextureTiled(int id, bool htiled, bool vtiled, double alpha, int colour, double regionLeft,
                      double regionTop, double regionWidth, double regionHeight, double xscale, double yscale,
                      double x, double y, double xorigin, double yorigin);

}  // namespace kv::gfx
