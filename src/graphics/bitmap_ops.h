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
bool SavePng(const CBitmap32& b, const std::string& path, bool insideWorkingDirectory = false);
std::optional<CBitmap32> LoadImageFile(const std::string& path);

// Image files are written atomically (a temporary beside the target, renamed over it); with
// insideWorkingDirectory the write is refused outside the working directory as the file system resolves it.
// Writes an image file: PNG for a ".png" name, a 32-bit BMP otherwise. False when it cannot be written.
bool SaveImageFile(const CBitmap32& b, const std::string& path, bool insideWorkingDirectory = false);
// Secure mode lets games write only below the working directory: no absolute paths, no way out through "..", and
// no way out through symbolic links (the target's directory is resolved).
bool PathInsideWorkingDirectory(const std::string& path);
// The text-only part of that check (what the name says, before the file system is asked).
bool PathTextInsideWorkingDirectory(const std::string& path);
extern const char* const kMsgSecureWrite;  // "In secure mode you cannot write file " + name

// screen_save / surface_save: the frame (or a surface) part as an image file. An empty name, a refused path
// (secure mode) or nothing to read gives false with `error` set for the first two; write failures are ignored.
bool SaveScreenPart(const std::string& file, int x, int y, int w, int h, bool secureMode, std::string& error);
bool SaveSurfacePart(int surface, const std::string& file, int x, int y, int w, int h, bool secureMode,
                     std::string& error);

}  // namespace kv::gfx
