// Operations on CBitmap32: transparency from the bottom-left pixel, edge smoothing, alpha from another bitmap,
// nearest-neighbour resizing, bounding boxes, parts and solid fills; and image files (PNG, JPEG, BMP).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace kv::gfx {

struct BitmapBox {
  int left = 0, top = 0, right = 0, bottom = 0;  // inclusive
  bool operator==(const BitmapBox&) const = default;
};

void MakeTransparent(CBitmap32& b);         // bottom-left colour → alpha 0, then FillTransparentColours
void FillTransparentColours(CBitmap32& b);  // transparent pixels take a visible neighbour's colour
void SmoothEdges(CBitmap32& b);             // −32 alpha next to each transparent pixel, in place
void SetAlphaFrom(CBitmap32& b, const CBitmap32& other);
void Resize(CBitmap32& b, int width, int height);
BitmapBox BoundingBox(const CBitmap32& b);
CBitmap32 Part(const CBitmap32& b, int x, int y, int width, int height);  // empty unless inside
CBitmap32 Solid(int width, int height, int colour);
// From24 / From32 of a decoded image: alpha 255 (or kept), then transparency and smoothing as asked.
void PrepareImage(CBitmap32& b, bool keepAlpha, bool smooth, bool transparent);

// Image files by extension (case-insensitive): png, jpg/jpeg/jpe/jfif, bmp/dib. Others give nullopt.
std::optional<CBitmap32> DecodeImage(const std::vector<uint8_t>& bytes, const std::string& fileName);
std::optional<CBitmap32> DecodePng(const uint8_t* data, size_t size);
std::optional<CBitmap32> DecodeJpeg(const uint8_t* data, size_t size);
std::vector<uint8_t> EncodePng(const CBitmap32& b);
bool SavePng(const CBitmap32& b, const std::string& path);
std::optional<CBitmap32> LoadImageFile(const std::string& path);

}  // namespace kv::gfx
