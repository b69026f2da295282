#include "graphics/sprite_main.h"

#include <fstream>
#include <memory>
#include <vector>

#include "graphics/bitmap_ops.h"
#include "graphics/font_main.h"
#include "graphics/graphics_texture.h"
#include "graphics/sprite_mask.h"
#include "world/instance_class.h"
#include "platform/file_write.h"

namespace kv::gfx {

namespace {

// Textures made for one record: when the table's record at that index is replaced, the pointer no longer matches
// and the textures are re-made.
struct TextureSlot {
  std::vector<int> textures;
  const CSprite* madeFor = nullptr;
};

struct SpriteState {
  ResourceTable<CSprite> own;
  ResourceTable<CSprite>* bound = nullptr;
  std::vector<TextureSlot> slots;
};
SpriteState& S() {
  static SpriteState s;
  return s;
}
ResourceTable<CSprite>& Table() { return S().bound ? *S().bound : S().own; }

TextureSlot& Slot(int index) {
  if (index >= static_cast<int>(S().slots.size())) S().slots.resize(static_cast<size_t>(index) + 1);
  return S().slots[static_cast<size_t>(index)];
}

void FreeSlot(int index) {
  if (index < 0 || index >= static_cast<int>(S().slots.size())) return;
  TextureSlot& s = S().slots[static_cast<size_t>(index)];
  for (int t : s.textures)
    if (t >= 0) FreeTexture(t);
  s = TextureSlot{};
}

int NewIndex(std::unique_ptr<CSprite> s) {
  const int index = Table().Add("", std::move(s));
  Table().SetName(index, "__newsprite" + std::to_string(index));
  MakeSpriteTextures(index);
  return index;
}

// ---- hooks for fonts and drawing ----

int AccessFrameCount(int sprite) {
  const CSprite* s = Table().Get(sprite);
  return s ? s->FrameCount() : -1;
}
bool AccessGeometry(int sprite, int& w, int& h, int& xo, int& yo) {
  const CSprite* s = Table().Get(sprite);
  if (!s) return false;
  w = s->width;
  h = s->height;
  xo = s->xOrigin;
  yo = s->yOrigin;
  return true;
}
int AccessFrameTexture(int sprite, int frame) { return SpriteFrameTexture(sprite, frame); }
bool AccessFrameColumns(int sprite, int frame, int& left, int& right) {
  const CSprite* s = Table().Get(sprite);
  if (!s || frame < 0 || frame >= s->FrameCount()) return false;
  const BitmapBox b = s->FrameBoundingBox(frame);
  if (b.left > b.right) return false;
  left = b.left;
  right = b.right;
  return true;
}

// ---- hooks for the instances' collision tests ----

SpritePlacement At(int frame, int ix, int iy, double sx, double sy, double angle) { return {frame, ix, iy, sx, sy, angle}; }
MaskRect Rect(MaskBox b) { return {b.left, b.top, b.right, b.bottom}; }

bool HookPoint(int sprite, int frame, int px, int py, int ix, int iy, double sx, double sy, double angle) {
  const CSprite* s = Table().Get(sprite);
  return !s || MaskPointHits(*s, At(frame, ix, iy, sx, sy, angle), px, py);
}
bool HookRectangle(int sprite, int frame, MaskBox box, MaskBox rect, int ix, int iy, double sx, double sy,
                   double angle) {
  const CSprite* s = Table().Get(sprite);
  return !s || MaskRectangleHits(*s, At(frame, ix, iy, sx, sy, angle), Rect(box), Rect(rect));
}
bool HookEllipse(int sprite, int frame, MaskBox box, MaskBox rect, int ix, int iy, double sx, double sy,
                 double angle) {
  const CSprite* s = Table().Get(sprite);
  return !s || MaskEllipseHits(*s, At(frame, ix, iy, sx, sy, angle), Rect(box), Rect(rect));
}
bool HookLine(int sprite, int frame, MaskBox box, int x1, int y1, int x2, int y2, int ix, int iy, double sx,
              double sy, double angle) {
  const CSprite* s = Table().Get(sprite);
  return !s || MaskLineHits(*s, At(frame, ix, iy, sx, sy, angle), Rect(box), x1, y1, x2, y2);
}
bool HookOverlap(int sprite1, int frame1, MaskBox box1, int ix1, int iy1, double sx1, double sy1, double angle1,
                 int sprite2, int frame2, MaskBox box2, int ix2, int iy2, double sx2, double sy2, double angle2) {
  const CSprite* a = Table().Get(sprite1);
  const CSprite* b = Table().Get(sprite2);
  if (!a || !b) return false;
  return MaskSpritesOverlap(*a, At(frame1, ix1, iy1, sx1, sy1, angle1), Rect(box1), *b,
                            At(frame2, ix2, iy2, sx2, sy2, angle2), Rect(box2));
}

}  // namespace

void InstallSpriteModule(ResourceTable<CSprite>* table) {
  BindSpriteTable(table);
  SetSpriteAccess({AccessFrameCount, AccessGeometry, AccessFrameTexture, AccessFrameColumns});
  MaskTests tests;
  tests.pointHits = HookPoint;
  tests.rectangleHits = HookRectangle;
  tests.ellipseHits = HookEllipse;
  tests.lineHits = HookLine;
  tests.spritesOverlap = HookOverlap;
  SetMaskTests(tests);
}

void BindSpriteTable(ResourceTable<CSprite>* table) {
  FreeSpriteTextures();
  S().slots.clear();
  S().bound = table;
}
ResourceTable<CSprite>& SpriteTable() { return Table(); }
CSprite* GetSprite(int index) { return Table().Get(index); }
std::string_view SpriteName(int index) { return Table().Name(index); }
int FindSprite(std::string_view name) { return Table().Find(name); }

void ClearSprites() {
  FreeSpriteTextures();
  S().slots.clear();
  S().own.Clear();
  if (S().bound) S().bound->Clear();
}

void PrepareSpriteTextures() {
  for (int i = 0; i < Table().Count(); ++i) MakeSpriteTextures(i);
}

void FreeSpriteTextures() {
  for (int i = 0; i < static_cast<int>(S().slots.size()); ++i) FreeSlot(i);
}

bool MakeSpriteTextures(int index) {
  FreeSlot(index);
  const CSprite* s = Table().Get(index);
  if (!s) return false;
  TextureSlot& slot = Slot(index);
  slot.madeFor = s;
  bool all = true;
  for (const CBitmap32& f : s->frames) {
    int t = -1;
    if (f.exists && f.width > 0 && f.height > 0 && f.pixels.size() == static_cast<size_t>(f.width) * f.height)
      t = TextureFromPixels(f.width, f.height, f.pixels.data());
    if (t >= 0 && s->preload) PreloadTexture(t);
    all = all && t >= 0;
    slot.textures.push_back(t);
  }
  return all;
}

int SpriteFrameTexture(int index, int64_t frame) {
  const CSprite* s = Table().Get(index);
  if (!s || s->FrameCount() == 0) return -1;
  TextureSlot* slot = &Slot(index);
  if (slot->madeFor != s || slot->textures.size() != s->frames.size()) {
    MakeSpriteTextures(index);
    slot = &Slot(index);
  }
  const int t = slot->textures[static_cast<size_t>(s->WrapFrame(frame))];
  return t >= 0 && TextureExists(t) ? t : -1;
}

bool LoadSpriteFromFile(CSprite& s, const std::string& path, int frames, bool useAlpha, bool precise,
                        bool transparent, bool smooth, bool preload, int xorigin, int yorigin) {
  std::optional<CBitmap32> img = LoadImageFile(path);
  if (!img) return false;
  return s.SetFromStrip(std::move(*img), frames, useAlpha, xorigin, yorigin, preload, smooth, transparent, precise);
}

int AddSprite(const std::string& path, int frames, bool useAlpha, bool precise, bool transparent, bool smooth,
              bool preload, int xorigin, int yorigin) {
  auto s = std::make_unique<CSprite>();
  if (!LoadSpriteFromFile(*s, path, frames, useAlpha, precise, transparent, smooth, preload, xorigin, yorigin))
    return -1;
  return NewIndex(std::move(s));
}

bool ReplaceSprite(int index, const std::string& path, int frames, bool useAlpha, bool precise, bool transparent,
                   bool smooth, bool preload, int xorigin, int yorigin) {
  if (index < 0 || index >= Table().Count()) return false;
  CSprite fresh;
  if (!LoadSpriteFromFile(fresh, path, frames, useAlpha, precise, transparent, smooth, preload, xorigin, yorigin))
    return false;
  // An empty slot is filled; an existing sprite keeps its name.
  if (CSprite* old = Table().Get(index)) {
    *old = std::move(fresh);
  } else {
    Table().Set(index, std::make_unique<CSprite>(std::move(fresh)));
    Table().SetName(index, "__newsprite" + std::to_string(index));
  }
  MakeSpriteTextures(index);
  return true;
}

int AddEmptySprite() { return NewIndex(std::make_unique<CSprite>()); }

bool DeleteSprite(int index) {
  if (!Table().Exists(index)) return false;
  FreeSlot(index);
  return Table().Delete(index);
}

int DuplicateSprite(int index) {
  const CSprite* s = Table().Get(index);
  if (!s) return -1;
  return NewIndex(std::make_unique<CSprite>(*s));
}

bool AssignSprite(int dest, int source) {
  const CSprite* src = Table().Get(source);
  if (!src || dest < 0 || dest >= Table().Count()) return false;
  if (CSprite* d = Table().Get(dest)) {
    if (d != src) *d = *src;
  } else {
    Table().Set(dest, std::make_unique<CSprite>(*src));
    Table().SetName(dest, "__newsprite" + std::to_string(dest));
  }
  // A copy keeps the source's box as it is and rebuilds the masks from its own options.
  Table().Get(dest)->BuildMasks();
  MakeSpriteTextures(dest);
  return true;
}

bool MergeSprite(int dest, int source) {
  CSprite* d = Table().Get(dest);
  const CSprite* s = Table().Get(source);
  if (!d || !s) return false;
  d->Merge(*s);
  MakeSpriteTextures(dest);
  return true;
}

bool SetSpriteAlphaFrom(int dest, int source) {
  CSprite* d = Table().Get(dest);
  const CSprite* s = Table().Get(source);
  if (!d || !s) return false;
  d->SetAlphaFrom(*s);
  MakeSpriteTextures(dest);
  return true;
}

int AddSpriteRecord(CSprite record) { return NewIndex(std::make_unique<CSprite>(std::move(record))); }

bool SaveSpriteFrame(int index, int64_t frame, const std::string& path, bool insideWorkingDirectory) {
  const CSprite* s = Table().Get(index);
  if (!s || s->FrameCount() == 0 || path.empty()) return false;
  const CBitmap32& f = s->frames[static_cast<size_t>(s->WrapFrame(frame))];
  if (!f.exists || f.width <= 0 || f.height <= 0) return false;
  const bool bmp = path.size() >= 4 && (path.compare(path.size() - 4, 4, ".bmp") == 0 ||
                                        path.compare(path.size() - 4, 4, ".BMP") == 0);
  if (!bmp) return SavePng(f, path, insideWorkingDirectory);
  const std::vector<uint8_t> bytes = f.EncodeBmp();
  return !bytes.empty() && plat::WriteFileAtomically(path, bytes.data(), bytes.size(), insideWorkingDirectory);
}

}  // namespace kv::gfx
