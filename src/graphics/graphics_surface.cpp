#include "graphics/graphics_surface.h"

#include <algorithm>
#include <vector>

#include "graphics/graphics_support.h"
#include "graphics/graphics_texture.h"

namespace kv::gfx {

namespace {
struct SurfaceEntry {
  int texture = -1;
  int width = 0, height = 0;
  bool exists = false;
  uint64_t serial = 0;
};
std::vector<SurfaceEntry> g_surfaces;
int g_target = -1;
uint64_t g_lastSerial = 0;
bool g_haveSavedTarget = false;

bool Valid(int id) { return id >= 0 && id < static_cast<int>(g_surfaces.size()) && g_surfaces[id].exists; }
plat::TextureHandle HandleOf(int id) {
  const RTexture* t = GetTexture(g_surfaces[id].texture);
  return t ? t->handle : plat::kNoTexture;
}
}  // namespace

int CreateSurface(int width, int height) {
  if (!DeviceExists() || width <= 0 || height <= 0) return -1;
  int max = D3D().gpu->MaxTextureSize();
  if (width > max || height > max) return -1;
  int id = 0;
  while (id < static_cast<int>(g_surfaces.size()) && g_surfaces[id].exists) ++id;
  int tex = CreateTexture(width, height, true);
  if (tex < 0) return -1;
  if (id == static_cast<int>(g_surfaces.size())) g_surfaces.emplace_back();
  g_surfaces[id] = {tex, width, height, true, ++g_lastSerial};
  return id;
}

void FreeSurface(int id) {
  if (!Valid(id)) return;
  if (g_target == id) ResetTarget();
  FreeTexture(g_surfaces[id].texture);
  g_surfaces[id] = SurfaceEntry{};
}

bool SurfaceExists(int id) { return Valid(id); }

void FreeAllSurfaces() {
  for (int i = 0; i < static_cast<int>(g_surfaces.size()); ++i) FreeSurface(i);
  g_target = -1;
  g_haveSavedTarget = false;
}

int SurfaceWidth(int id) { return Valid(id) ? g_surfaces[id].width : -1; }
int SurfaceHeight(int id) { return Valid(id) ? g_surfaces[id].height : -1; }
int SurfaceTexture(int id) { return Valid(id) ? g_surfaces[id].texture : -1; }
int CurrentTargetSurface() { return g_target; }
uint64_t SurfaceSerial(int id) { return Valid(id) ? g_surfaces[id].serial : 0; }

bool SetTarget(int id) {
  if (!DeviceExists() || !Valid(id)) return false;
  if (g_target == id) return true;
  if (g_target >= 0) ResetTarget();
  if (!D3D().gpu->SetTarget(HandleOf(id))) return false;
  g_haveSavedTarget = true;
  SetViewport(0, 0, g_surfaces[id].width, g_surfaces[id].height);
  SetProjection2D(0, 0, g_surfaces[id].width, g_surfaces[id].height, 0);
  g_target = id;
  return true;
}

bool ResetTarget() {
  if (!DeviceExists() || !g_haveSavedTarget) return false;
  D3D().gpu->SetTarget(plat::kBackBuffer);
  auto& d = D3D();
  SetViewport(0, 0, d.renderWidth, d.renderHeight);
  SetProjection2D(0, 0, d.renderWidth, d.renderHeight, 0);
  g_haveSavedTarget = false;
  g_target = -1;
  return true;
}

std::optional<PixelBlock> SurfaceReadBack(int id, int x, int y, int width, int height) {
  if (!DeviceExists() || !Valid(id)) return std::nullopt;
  x = std::max(0, x);
  y = std::max(0, y);
  width = std::min(width, g_surfaces[id].width - x);
  height = std::min(height, g_surfaces[id].height - y);
  if (width <= 0 || height <= 0) return std::nullopt;
  PixelBlock b;
  b.width = width;
  b.height = height;
  if (!D3D().gpu->Read(HandleOf(id), {x, y, width, height}, b.pixels)) return std::nullopt;
  return b;
}

int SurfacePixel(int id, int x, int y) {
  auto b = SurfaceReadBack(id, x, y, 1, 1);
  return b ? ScriptColour(b->pixels[0]) : 0;
}

void CopySurfacePart(int dest, int x, int y, int source, int sx, int sy, int w, int h) {
  if (!DeviceExists() || !Valid(dest) || !Valid(source)) return;
  // 64-bit arithmetic: the game's integers may be anywhere in the int range.
  long long X = x, Y = y, SX = sx, SY = sy, W = w, H = h;
  if (X < 0) SX -= X, W += X, X = 0;
  if (Y < 0) SY -= Y, H += Y, Y = 0;
  W = std::min(W, g_surfaces[source].width - SX);
  H = std::min(H, g_surfaces[source].height - SY);
  if (SX < 0) X -= SX, W += SX, SX = 0;
  if (SY < 0) Y -= SY, H += SY, SY = 0;
  W = std::min(W, g_surfaces[dest].width - X);
  H = std::min(H, g_surfaces[dest].height - Y);
  if (W <= 0 || H <= 0) return;
  D3D().gpu->Copy(HandleOf(source), {int(SX), int(SY), int(W), int(H)}, HandleOf(dest), int(X), int(Y));
}

void CopySurface(int dest, int x, int y, int source) {
  if (!Valid(source)) return;
  CopySurfacePart(dest, x, y, source, 0, 0, g_surfaces[source].width, g_surfaces[source].height);
}

}  // namespace kv::gfx
