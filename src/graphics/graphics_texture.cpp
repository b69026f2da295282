#include "graphics/graphics_texture.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/graphics_d3d.h"
#include "graphics/graphics_support.h"

namespace kv::gfx {

static std::vector<RTexture> g_textures;

static bool Valid(int id) { return id >= 0 && id < static_cast<int>(g_textures.size()) && g_textures[id].exists; }

int CreateTexture(int width, int height, bool renderTarget) {
  if (!DeviceExists() || width <= 0 || height <= 0) return -1;
  auto* gpu = D3D().gpu;
  if (width > gpu->MaxTextureSize() || height > gpu->MaxTextureSize()) return -1;
  int gw = 0, gh = 0;
  plat::TextureHandle h = gpu->CreateTexture(width, height, renderTarget, gw, gh);
  if (h == plat::kNoTexture) return -1;
  int id = 0;
  while (id < static_cast<int>(g_textures.size()) && g_textures[id].exists) ++id;
  if (id == static_cast<int>(g_textures.size())) g_textures.emplace_back();
  g_textures[id] = {h, width, height, gw, gh, true};
  return id;
}

bool FillTexture(int id, const uint32_t* pixels) {
  if (!Valid(id) || !pixels) return false;
  const RTexture& t = g_textures[id];
  if (t.texWidth == t.width && t.texHeight == t.height) return D3D().gpu->Upload(t.handle, t.width, t.height, pixels);
  int w2 = std::min(t.width + 1, t.texWidth), h2 = std::min(t.height + 1, t.texHeight);
  std::vector<uint32_t> copy(static_cast<size_t>(w2) * h2);
  for (int y = 0; y < h2; ++y) {
    const uint32_t* src = pixels + static_cast<size_t>(std::min(y, t.height - 1)) * t.width;
    uint32_t* dst = copy.data() + static_cast<size_t>(y) * w2;
    std::copy(src, src + t.width, dst);
    if (w2 > t.width) dst[t.width] = src[t.width - 1];
  }
  return D3D().gpu->Upload(t.handle, w2, h2, copy.data());
}

int TextureFromPixels(int width, int height, const uint32_t* pixels) {
  int id = CreateTexture(width, height, false);
  if (id < 0) return -1;
  if (!FillTexture(id, pixels)) {
    FreeTexture(id);
    return -1;
  }
  return id;
}

int TextureFromAlpha(int width, int height, const uint8_t* alpha) {
  if (width <= 0 || height <= 0 || !alpha) return -1;
  std::vector<uint32_t> px(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < px.size(); ++i) px[i] = (static_cast<uint32_t>(alpha[i]) << 24) | 0x00FFFFFFu;
  return TextureFromPixels(width, height, px.data());
}

void FreeTexture(int id) {
  if (!Valid(id)) return;
  if (DeviceExists()) {
    if (D3D().boundTexture == g_textures[id].handle) D3D().boundTexture = plat::kNoTexture;
    D3D().gpu->FreeTexture(g_textures[id].handle);
  }
  g_textures[id] = RTexture{};
}

bool TextureExists(int id) { return Valid(id); }

void ClearTextures() {
  if (DeviceExists())
    for (auto& t : g_textures)
      if (t.exists) D3D().gpu->FreeTexture(t.handle);
  g_textures.clear();
  D3D().boundTexture = plat::kNoTexture;
}

int TextureCount() { return static_cast<int>(g_textures.size()); }
const RTexture* GetTexture(int id) { return Valid(id) ? &g_textures[id] : nullptr; }

double TextureWidth(int id) {
  return Valid(id) ? static_cast<double>(g_textures[id].width) / g_textures[id].texWidth : 1.0;
}
double TextureHeight(int id) {
  return Valid(id) ? static_cast<double>(g_textures[id].height) / g_textures[id].texHeight : 1.0;
}

// Texture residency is the driver's business on this device.
void PreloadTexture(int) {}
void SetTexturePriority(int, int) {}

void BindTexture(int id) { DeviceBindTexture(Valid(id) ? g_textures[id].handle : plat::kNoTexture); }

// ---- quads ----

namespace {

struct Quad {
  double left, top, right, bottom;  // corner offsets from the anchor
  double u0, v0, u1, v1;
  uint32_t colour[4];               // top-left, top-right, bottom-right, bottom-left
};

void DrawQuad(const RTexture& t, double x, double y, double angle, const Quad& q) {
  DeviceSetAddressClamp();
  DeviceBindTexture(t.handle);
  const double dx[4] = {q.left, q.right, q.right, q.left}, dy[4] = {q.top, q.top, q.bottom, q.bottom};
  const double us[4] = {q.u0, q.u1, q.u1, q.u0}, vs[4] = {q.v0, q.v0, q.v1, q.v1};
  plat::Vertex v[4];
  float z = static_cast<float>(D3D().depth);
  if (std::fabs(angle) < 0.01) {
    for (int i = 0; i < 4; ++i)
      v[i] = {static_cast<float>(x + dx[i]), static_cast<float>(y + dy[i]), z, q.colour[i],
              static_cast<float>(us[i]), static_cast<float>(vs[i])};
  } else {
    double c = std::cos(angle), s = std::sin(angle);
    for (int i = 0; i < 4; ++i)
      v[i] = {static_cast<float>(x + dx[i] * c + dy[i] * s), static_cast<float>(y - dx[i] * s + dy[i] * c), z,
              q.colour[i], static_cast<float>(us[i]), static_cast<float>(vs[i])};
  }
  D3D().gpu->Draw(plat::PrimKind::TriangleFan, true, v, 4, true);
}

const RTexture* Drawable(int id) { return DeviceExists() && Valid(id) ? &g_textures[id] : nullptr; }

}  // namespace

void DrawTexture(int id, double x, double y) {
  const RTexture* t = Drawable(id);
  if (!t) return;
  Quad q{-0.5, -0.5, t->width - 0.5, t->height - 0.5, 0, 0,
         static_cast<double>(t->width) / t->texWidth, static_cast<double>(t->height) / t->texHeight, {}};
  std::fill(q.colour, q.colour + 4, 0xFFFFFFFFu);
  DrawQuad(*t, x, y, 0.0, q);
}

void DrawTextureExt(int id, int colour, double alpha, double angle, double xscale, double yscale, double x,
                    double y, double xorigin, double yorigin) {
  const RTexture* t = Drawable(id);
  if (!t) return;
  Quad q;
  q.left = -xscale * xorigin - 0.5;
  q.top = -yscale * yorigin - 0.5;
  q.right = q.left + t->width * xscale;
  q.bottom = q.top + t->height * yscale;
  q.u0 = q.v0 = 0;
  q.u1 = static_cast<double>(t->width) / t->texWidth;
  q.v1 = static_cast<double>(t->height) / t->texHeight;
  std::fill(q.colour, q.colour + 4, DeviceColour(colour, alpha));
  DrawQuad(*t, x, y, angle, q);
}

void DrawTextureGeneral(int id, int c1, int c2, int c3, int c4, double alpha, double angle, double xscale,
                        double yscale, double x, double y, double left, double top, double width, double height) {
  const RTexture* t = Drawable(id);
  if (!t) return;
  Quad q{-0.5,
         -0.5,
         xscale * width - 0.5,
         yscale * height - 0.5,
         left / t->texWidth,
         top / t->texHeight,
         (left + width) / t->texWidth,
         (top + height) / t->texHeight,
         {DeviceColour(c1, alpha), DeviceColour(c2, alpha), DeviceColour(c3, alpha), DeviceColour(c4, alpha)}};
  DrawQuad(*t, x, y, angle, q);
}

void DrawTexturePart(int id, int colour, double alpha, double angle, double xscale, double yscale, double x,
                     double y, double left, double top, double width, double height) {
  DrawTextureGeneral(id, colour, colour, colour, colour, alpha, angle, xscale, yscale, x, y, left, top, width,
                     height);
}

void DrawTextureTiled(int id, bool htiled, bool vtiled, double alpha, int colour, double regionLeft,
                      double regionTop, double regionWidth, double regionHeight, double xscale, double yscale,
                      double x, double y, double xorigin, double yorigin) {
  const RTexture* t = Drawable(id);
  if (!t) return;
  int tw = RoundToInt(t->width * xscale), th = RoundToInt(t->height * yscale);
  if (tw < 1 || th < 1) return;
  Quad q;
  q.left = -xscale * xorigin - 0.5;
  q.top = -yscale * yorigin - 0.5;
  q.right = q.left + t->width * xscale;
  q.bottom = q.top + t->height * yscale;
  q.u0 = q.v0 = 0;
  q.u1 = static_cast<double>(t->width) / t->texWidth;
  q.v1 = static_cast<double>(t->height) / t->texHeight;
  std::fill(q.colour, q.colour + 4, DeviceColour(colour, alpha));

  // First tile position and the end of the region along one axis (64-bit: positions may be huge).
  auto start = [](double pos, int size, double regionStart, bool tiled) {
    long long p = RoundToInt(pos);
    if (!tiled) return p;
    p %= size;
    if (p > 0) p -= size;
    if (std::isfinite(regionStart)) {
      long long skip = static_cast<long long>(std::floor((regionStart - p) / size)) - 1;
      if (skip > 0) p += skip * size;  // jump close, then finish with the literal rule
      while (p + size < regionStart) p += size;
    }
    return p;
  };
  long long x0 = start(x, tw, regionLeft, htiled), y0 = start(y, th, regionTop, vtiled);
  double xEnd = regionLeft + regionWidth, yEnd = regionTop + regionHeight;
  for (long long cx = x0; cx < xEnd; cx += tw) {
    for (long long cy = y0; cy < yEnd; cy += th) {
      DrawQuad(*t, static_cast<double>(cx), static_cast<double>(cy), 0.0, q);
      if (!vtiled) break;
    }
    if (!htiled) break;
  }
}

}  // namespace kv::gfx
