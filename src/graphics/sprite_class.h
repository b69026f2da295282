#pragma once
// CSprite: an animated image resource — frames of equal size, origin, bounding box and the options the frames were
// made with — and its collision masks (one CMask per frame, built when the sprite is precise and transparent).
// The stored record is read and written byte-exact; masks are derived data, rebuilt after every change of frames
// or options. Textures are kept by the sprite table (sprite_main.h), not here.
#include <cstdint>
#include <vector>

#include "graphics/bitmap32.h"
#include "graphics/bitmap_ops.h"

namespace kv {

class CStream;

// One frame's pixel mask: solid where the frame's alpha is not 0. Stored column by column because the collision
// scans walk columns. Pixels outside the mask are never solid.
struct CMask {
  int width = 0, height = 0;
  std::vector<uint8_t> solid;  // [x * height + y]

  static CMask FromFrame(const CBitmap32& frame, int width, int height);
  bool At(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height && solid[static_cast<size_t>(x) * height + y];
  }
  bool operator==(const CMask&) const = default;
};

// A decoded image file made ready as frames: with `useAlpha` it keeps its own alpha (no transparency key, no
// smoothing); otherwise it is drawn onto an opaque canvas (the transparency colour, script colour 32832, when
// `transparent`, else black), keyed out by its bottom-left pixel when `transparent` and smoothed when `smooth`.
void PrepareFileImage(CBitmap32& image, bool useAlpha, bool smooth, bool transparent);

struct CSprite {
  static constexpr int32_t kRecordVersion = 542;
  enum BoundingBoxKind { kBoxAutomatic = 0, kBoxFull = 1, kBoxManual = 2 };

  int bboxKind = kBoxAutomatic;
  int bboxLeft = 0, bboxTop = 0, bboxRight = 0, bboxBottom = 0;  // inclusive frame pixel coordinates
  int width = 1, height = 1;  // size of every frame
  int xOrigin = 0, yOrigin = 0;
  bool precise = true;
  bool transparent = true;
  bool smooth = false;
  bool preload = true;
  std::vector<CBitmap32> frames;
  std::vector<CMask> masks;  // one per frame when built, else empty

  int FrameCount() const { return static_cast<int>(frames.size()); }
  bool HasMasks() const { return !masks.empty(); }
  // frame mod frame count, made non-negative (-1 of 4 frames is 3); 0 for a sprite without frames.
  int WrapFrame(int64_t frame) const;

  // False for a wrong record version; truncation and impossible frame counts throw StreamError. The stored
  // bounding box is kept as read; the masks are built.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  // Back to a new sprite: no frames, 1 × 1, box (0, 0, 0, 0), automatic, precise, transparent, preload.
  void Clear();

  // Frames from one decoded image cut into `frameCount` equal parts side by side (<= 0 means 1; more parts than
  // pixel columns are clamped to the width so no frame is 0 pixels wide). With `useAlpha` the image keeps its own
  // alpha and the sprite stores transparent on and smooth off; otherwise the image is flattened and made
  // transparent from its bottom-left pixel and smoothed as asked. Then: automatic box, box and masks computed.
  // False (sprite unchanged) for an empty image.
  bool SetFromStrip(CBitmap32 image, int frameCount, bool useAlpha, int xorigin, int yorigin, bool preload,
                    bool smooth, bool transparent, bool precise);
  // One frame from a read-back bitmap (32 bits keep their alpha, 24 bits get alpha 255).
  void SetFromBitmap(CBitmap32 bitmap, bool has32Bits, bool precise, int xorigin, int yorigin, bool preload,
                     bool smooth, bool transparent);
  // Appends a frame made as in SetFromBitmap with the sprite's options, resized to the sprite's size (a sprite
  // without frames takes the bitmap's size).
  void AddFrame(CBitmap32 bitmap, bool has32Bits);
  // Appends copies of the other's frames, each resized to this sprite's size.
  void Merge(const CSprite& other);
  // Frame i takes its alpha from frame i mod (other's count). Box and masks stay as they were.
  void SetAlphaFrom(const CSprite& other);

  // Bounding box kind 0, 1 or 2 (others ignored); the box is recomputed when the kind changes.
  void SetBoundingBoxKind(int kind);
  // Takes effect only while the kind is manual.
  void SetManualBoundingBox(int left, int top, int right, int bottom);
  // Rebuilds or drops the masks when the value changes.
  void SetPrecise(bool on);
  // Visible-pixel box of one frame; (0, 0, 0, 0) for an index out of range.
  gfx::BitmapBox FrameBoundingBox(int index) const;

  void FinishLoad(bool precise, int xorigin, int yorigin, bool preload, bool smooth, bool transparent);
  void ComputeBoundingBox();
  void BuildMasks();

  bool operator==(const CSprite&) const = default;
};

}  // namespace kv
