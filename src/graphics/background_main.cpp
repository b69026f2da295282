#include "graphics/background_main.h"

#include <cmath>
#include <memory>
#include <vector>

#include "graphics/bitmap_ops.h"
#include "graphics/graphics_texture.h"

namespace kv::gfx {

namespace {

// A texture made for one record: when the table's record at that index is replaced behind our back, the
// pointer no longer matches and the texture is re-made.
struct TextureSlot {
  int texture = -1;
  const CBackground* madeFor = nullptr;
};

struct BackgroundState {
  ResourceTable<CBackground> own;
  ResourceTable<CBackground>* bound = nullptr;
  std::vector<TextureSlot> textures;
};
BackgroundState& S() {
  static BackgroundState s;
  return s;
}
ResourceTable<CBackground>& Table() { return S().bound ? *S().bound : S().own; }

TextureSlot& Slot(int index) {
  if (index >= static_cast<int>(S().textures.size())) S().textures.resize(index + 1);
  return S().textures[index];
}

void FreeSlot(int index) {
  if (index < 0 || index >= static_cast<int>(S().textures.size())) return;
  TextureSlot& s = S().textures[index];
  if (s.texture >= 0) FreeTexture(s.texture);
  s = TextureSlot{};
}

int NewIndex(std::unique_ptr<CBackground> b) {
  int index = Table().Add("", std::move(b));
  Table().SetName(index, "__newbackground" + std::to_string(index));
  MakeBackgroundTexture(index);
  return index;
}

}  // namespace

void BindBackgroundTable(ResourceTable<CBackground>* table) {
  FreeBackgroundTextures();
  S().bound = table;
}
ResourceTable<CBackground>& Backgrounds() { return Table(); }
bool BackgroundExists(int index) { return Table().Exists(index); }
CBackground* GetBackground(int index) { return Table().Get(index); }
std::string_view BackgroundName(int index) { return Table().Name(index); }
int FindBackground(std::string_view name) { return Table().Find(name); }

void ClearBackgrounds() {
  FreeBackgroundTextures();
  S().textures.clear();
  S().own.Clear();
  if (S().bound) S().bound->Clear();
}

void PrepareBackgroundTextures() {
  for (int i = 0; i < Table().Count(); ++i) MakeBackgroundTexture(i);
}

void FreeBackgroundTextures() {
  for (int i = 0; i < static_cast<int>(S().textures.size()); ++i) FreeSlot(i);
}

bool MakeBackgroundTexture(int index) {
  FreeSlot(index);
  const CBackground* b = Table().Get(index);
  if (!b) return false;
  TextureSlot& s = Slot(index);
  s.madeFor = b;
  const CBitmap32* img = b->image ? &*b->image : nullptr;
  if (!img || !img->exists || img->width <= 0 || img->height <= 0 ||
      img->pixels.size() != static_cast<size_t>(img->width) * img->height)
    return false;
  s.texture = TextureFromPixels(img->width, img->height, img->pixels.data());
  return s.texture >= 0;
}

int BackgroundTexture(int index) {
  const CBackground* b = Table().Get(index);
  if (!b) return -1;
  TextureSlot& s = Slot(index);
  if (s.madeFor != b || (s.texture >= 0 && !TextureExists(s.texture)) || (s.texture < 0 && s.madeFor == nullptr))
    MakeBackgroundTexture(index);
  return Slot(index).texture;
}

bool LoadBackgroundFromFile(CBackground& b, const std::string& path, bool useAlpha, bool transparent, bool smooth,
                            bool preload) {
  std::optional<CBitmap32> img = LoadImageFile(path);
  if (!img || img->width <= 0 || img->height <= 0) return false;
  if (useAlpha) {
    transparent = true;
    smooth = false;
  }
  PrepareImage(*img, useAlpha, smooth, transparent);
  b.width = img->width;
  b.height = img->height;
  b.transparent = transparent;
  b.smooth = smooth;
  b.preload = preload;
  b.image = std::move(*img);
  return true;
}

void SetBackgroundSolid(CBackground& b, int width, int height, int colour, bool preload) {
  b.image = Solid(width, height, colour);
  b.width = b.image->width;
  b.height = b.image->height;
  b.transparent = b.smooth = false;
  b.preload = preload;
}

int AddBackground(const std::string& path, bool transparent, bool smooth, bool preload) {
  auto b = std::make_unique<CBackground>();
  if (!LoadBackgroundFromFile(*b, path, false, transparent, smooth, preload)) return -1;
  return NewIndex(std::move(b));
}

int AddBackgroundAlpha(const std::string& path, bool preload) {
  auto b = std::make_unique<CBackground>();
  if (!LoadBackgroundFromFile(*b, path, true, true, false, preload)) return -1;
  return NewIndex(std::move(b));
}

bool ReplaceBackground(int index, const std::string& path, bool transparent, bool smooth, bool preload) {
  CBackground* old = Table().Get(index);
  if (!old) return false;
  CBackground fresh;
  if (!LoadBackgroundFromFile(fresh, path, false, transparent, smooth, preload)) return false;
  *old = std::move(fresh);
  MakeBackgroundTexture(index);
  return true;
}

int AddEmptyBackground() { return NewIndex(std::make_unique<CBackground>()); }

bool DeleteBackground(int index) {
  if (!BackgroundExists(index)) return false;
  FreeSlot(index);
  return Table().Delete(index);
}

int DuplicateBackground(int index) {
  const CBackground* b = Table().Get(index);
  if (!b) return -1;
  return NewIndex(std::make_unique<CBackground>(*b));
}

bool AssignBackground(int dest, int source) {
  CBackground* d = Table().Get(dest);
  const CBackground* s = Table().Get(source);
  if (!d || !s) return false;
  if (d != s) *d = *s;
  MakeBackgroundTexture(dest);
  return true;
}

int AddBackgroundRecord(CBackground record) { return NewIndex(std::make_unique<CBackground>(std::move(record))); }

// ---- drawing ----

static constexpr double kDegToRad = M_PI / 180.0;

void DrawBackground(int index, double x, double y) { DrawTexture(BackgroundTexture(index), x, y); }

void DrawBackgroundExt(int index, double x, double y, double xscale, double yscale, double angle, int colour,
                       double alpha) {
  DrawTextureExt(BackgroundTexture(index), colour, alpha, angle * kDegToRad, xscale, yscale, x, y, 0, 0);
}

void DrawBackgroundStretched(int index, double x, double y, double w, double h, int colour, double alpha) {
  const CBackground* b = GetBackground(index);
  if (!b || !(w > 0) || !(h > 0) || b->width <= 0 || b->height <= 0) return;
  DrawTextureExt(BackgroundTexture(index), colour, alpha, 0.0, w / b->width, h / b->height, x, y, 0, 0);
}

void DrawBackgroundPart(int index, double left, double top, double width, double height, double x, double y,
                        double xscale, double yscale, int colour, double alpha) {
  DrawTexturePart(BackgroundTexture(index), colour, alpha, 0.0, xscale, yscale, x, y, left, top, width, height);
}

void DrawBackgroundGeneral(int index, double left, double top, double width, double height, double x, double y,
                           double xscale, double yscale, double angle, int c1, int c2, int c3, int c4,
                           double alpha) {
  DrawTextureGeneral(BackgroundTexture(index), c1, c2, c3, c4, alpha, angle * kDegToRad, xscale, yscale, x, y, left,
                     top, width, height);
}

void DrawBackgroundTiled(int index, double x, double y, double xscale, double yscale, int colour, double alpha,
                         double regionLeft, double regionTop, double regionWidth, double regionHeight, bool htiled,
                         bool vtiled) {
  DrawTextureTiled(BackgroundTexture(index), htiled, vtiled, alpha, colour, regionLeft, regionTop, regionWidth,
                   regionHeight, xscale, yscale, x, y, 0, 0);
}

}  // namespace kv::gfx
