#include "graphics/sprite_class.h"

#include <algorithm>

#include "runner/support_stream.h"

namespace kv {

namespace {

bool Usable(const CBitmap32& b) {
  return b.exists && b.width > 0 && b.height > 0 && b.pixels.size() >= static_cast<size_t>(b.width) * b.height;
}

// A decoded image drawn onto a fresh opaque canvas, as image files become frames without their own alpha: the
// canvas is the transparency colour (script colour 32832) when the frames are to be transparent, else black, so
// see-through areas of the file show that colour and are keyed out by the bottom-left pixel afterwards.
void FlattenOnCanvas(CBitmap32& b, bool transparent) {
  const uint32_t canvas = transparent ? 0x408000u : 0x000000u;
  for (uint32_t& p : b.pixels) {
    const uint32_t a = p >> 24;
    if (a == 255) continue;
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
      const uint32_t src = (p >> shift) & 255, dst = (canvas >> shift) & 255;
      out |= ((src * a + dst * (255 - a) + 127) / 255) << shift;
    }
    p = out;
  }
}

}  // namespace

void PrepareFileImage(CBitmap32& image, bool useAlpha, bool smooth, bool transparent) {
  if (useAlpha) {
    gfx::PrepareImage(image, true, false, false);
    return;
  }
  FlattenOnCanvas(image, transparent);
  gfx::PrepareImage(image, false, smooth, transparent);
}

CMask CMask::FromFrame(const CBitmap32& frame, int width, int height) {
  CMask m;
  if (!Usable(frame)) return m;
  // Frames of a consistent sprite are width × height; a smaller stored frame only has solid pixels where it has
  // pixels, so the mask never needs to be larger than the frame's own data.
  m.width = std::clamp(width, 0, frame.width);
  m.height = std::clamp(height, 0, frame.height);
  m.solid.resize(static_cast<size_t>(m.width) * m.height);
  for (int x = 0; x < m.width; ++x)
    for (int y = 0; y < m.height; ++y) m.solid[static_cast<size_t>(x) * m.height + y] = (frame.Pixel(x, y) >> 24) != 0;
  return m;
}

int CSprite::WrapFrame(int64_t frame) const {
  const int64_t n = FrameCount();
  if (n == 0) return 0;
  int64_t f = frame % n;
  if (f < 0) f += n;
  return static_cast<int>(f);
}

bool CSprite::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  width = s.ReadInt();
  height = s.ReadInt();
  // Stored in the order left, right, bottom, top.
  bboxLeft = s.ReadInt();
  bboxRight = s.ReadInt();
  bboxBottom = s.ReadInt();
  bboxTop = s.ReadInt();
  transparent = s.ReadBool();
  smooth = s.ReadBool();
  preload = s.ReadBool();
  bboxKind = s.ReadInt();
  precise = s.ReadBool();
  xOrigin = s.ReadInt();
  yOrigin = s.ReadInt();
  const int32_t count = s.ReadInt();
  s.CheckCount(count, 4);  // a bitmap record holds at least its version
  frames.clear();
  frames.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) frames.push_back(CBitmap32::FromStream(s));
  BuildMasks();
  return true;
}

void CSprite::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteInt(width);
  s.WriteInt(height);
  s.WriteInt(bboxLeft);
  s.WriteInt(bboxRight);
  s.WriteInt(bboxBottom);
  s.WriteInt(bboxTop);
  s.WriteBool(transparent);
  s.WriteBool(smooth);
  s.WriteBool(preload);
  s.WriteInt(bboxKind);
  s.WriteBool(precise);
  s.WriteInt(xOrigin);
  s.WriteInt(yOrigin);
  s.WriteInt(static_cast<int32_t>(frames.size()));
  for (const CBitmap32& frame : frames) frame.Write(s);
}

void CSprite::Clear() { *this = CSprite(); }

// Stores the load options shared by every way of making a sprite from images, then derives the box and masks.
void CSprite::FinishLoad(bool precise_, int xorigin, int yorigin, bool preload_, bool smooth_, bool transparent_) {
  xOrigin = xorigin;
  yOrigin = yorigin;
  preload = preload_;
  smooth = smooth_;
  transparent = transparent_;
  precise = precise_;
  ComputeBoundingBox();
  BuildMasks();
}

bool CSprite::SetFromStrip(CBitmap32 image, int frameCount, bool useAlpha, int xorigin, int yorigin, bool preload_,
                           bool smooth_, bool transparent_, bool precise_) {
  if (!Usable(image)) return false;
  if (useAlpha) {
    transparent_ = true;
    smooth_ = false;
  }
  PrepareFileImage(image, useAlpha, smooth_, transparent_);
  // A strip asked to hold more frames than it has pixel columns would give frames 0 pixels wide.
  const int count = std::clamp(frameCount, 1, image.width);
  const int frameWidth = image.width / count;
  Clear();
  width = frameWidth;
  height = image.height;
  frames.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) frames.push_back(gfx::Part(image, i * frameWidth, 0, frameWidth, height));
  bboxKind = kBoxAutomatic;
  FinishLoad(precise_, xorigin, yorigin, preload_, smooth_, transparent_);
  return true;
}

void CSprite::SetFromBitmap(CBitmap32 bitmap, bool has32Bits, bool precise_, int xorigin, int yorigin, bool preload_,
                            bool smooth_, bool transparent_) {
  Clear();
  if (Usable(bitmap)) {
    gfx::PrepareImage(bitmap, has32Bits, smooth_, transparent_);
    width = bitmap.width;
    height = bitmap.height;
    frames.push_back(std::move(bitmap));
  }
  FinishLoad(precise_, xorigin, yorigin, preload_, smooth_, transparent_);
}

void CSprite::AddFrame(CBitmap32 bitmap, bool has32Bits) {
  if (!Usable(bitmap)) return;
  if (frames.empty()) {
    width = bitmap.width;
    height = bitmap.height;
  }
  gfx::PrepareImage(bitmap, has32Bits, smooth, transparent);
  gfx::Resize(bitmap, width, height);
  frames.push_back(std::move(bitmap));
  ComputeBoundingBox();
  BuildMasks();
}

void CSprite::Merge(const CSprite& other) {
  if (other.frames.empty()) return;
  if (frames.empty()) {
    width = other.width;
    height = other.height;
  }
  // Copy first: merging a sprite with itself must not read frames while appending to the same vector.
  std::vector<CBitmap32> added = other.frames;
  for (CBitmap32& f : added) {
    gfx::Resize(f, width, height);
    frames.push_back(std::move(f));
  }
  ComputeBoundingBox();
  BuildMasks();
}

void CSprite::SetAlphaFrom(const CSprite& other) {
  if (other.frames.empty()) return;
  const std::vector<CBitmap32> source = other.frames;  // the other may be this sprite
  for (size_t i = 0; i < frames.size(); ++i) gfx::SetAlphaFrom(frames[i], source[i % source.size()]);
}

void CSprite::SetBoundingBoxKind(int kind) {
  if (kind < kBoxAutomatic || kind > kBoxManual || kind == bboxKind) return;
  bboxKind = kind;
  ComputeBoundingBox();
}

void CSprite::SetManualBoundingBox(int left, int top, int right, int bottom) {
  if (bboxKind != kBoxManual) return;
  bboxLeft = left;
  bboxTop = top;
  bboxRight = right;
  bboxBottom = bottom;
}

void CSprite::SetPrecise(bool on) {
  if (on == precise) return;
  precise = on;
  BuildMasks();
}

gfx::BitmapBox CSprite::FrameBoundingBox(int index) const {
  if (index < 0 || index >= FrameCount()) return {};
  return gfx::BoundingBox(frames[static_cast<size_t>(index)]);
}

void CSprite::ComputeBoundingBox() {
  if (bboxKind == kBoxManual) return;
  if (bboxKind == kBoxAutomatic && transparent) {
    if (frames.empty()) {
      bboxLeft = bboxTop = bboxRight = bboxBottom = 0;
      return;
    }
    // Starts inverted so a fully transparent frame adds nothing; all-transparent frames leave it inverted.
    gfx::BitmapBox box{width - 1, height - 1, 0, 0};
    for (const CBitmap32& f : frames) {
      if (!Usable(f)) continue;  // a frame without pixels has no visible pixel to add
      const gfx::BitmapBox b = gfx::BoundingBox(f);
      box.left = std::min(box.left, b.left);
      box.top = std::min(box.top, b.top);
      box.right = std::max(box.right, b.right);
      box.bottom = std::max(box.bottom, b.bottom);
    }
    bboxLeft = box.left;
    bboxTop = box.top;
    bboxRight = box.right;
    bboxBottom = box.bottom;
    return;
  }
  bboxLeft = 0;
  bboxTop = 0;
  bboxRight = width - 1;
  bboxBottom = height - 1;
}

void CSprite::BuildMasks() {
  masks.clear();
  if (!precise || !transparent || frames.empty()) return;
  masks.reserve(frames.size());
  for (const CBitmap32& f : frames) masks.push_back(CMask::FromFrame(f, width, height));
}

}  // namespace kv
