#include "graphics/graphics_d3d.h"

#include <algorithm>
#include <cmath>

#include "graphics/graphics_support.h"
#include "graphics/graphics_surface.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"

namespace kv::gfx {

const char* const kMsgNoDirect3D =
    "Failed to initialize Direct3D. Old graphics cards do not support this. Also make sure version 8.0 or later "
    "of DirectX is installed on your machine.";
const char* const kMsgNoSurfaces =
    "Failed to initialize drawing surfaces. Please check that your graphics card meets the minimum requirements "
    "and that your drivers are up-to-date. If your graphics card has little memory, try switching your computer "
    "to a lower resolution.";

DeviceState& D3D() {
  static DeviceState state;
  return state;
}

bool DeviceExists() { return D3D().exists && D3D().gpu != nullptr; }

void AttachGpu(plat::IGpuDevice* gpu, int desktopWidth, int desktopHeight) {
  auto& d = D3D();
  d.gpu = gpu;
  d.exists = false;
  d.desktopWidth = std::max(1, desktopWidth);
  d.desktopHeight = std::max(1, desktopHeight);
}

static void PushStates() {
  if (DeviceExists()) D3D().gpu->SetStates(D3D().states);
}

static void ClearToBlack() {
  auto& d = D3D();
  d.gpu->SetViewport({0, 0, d.renderWidth, d.renderHeight});
  d.gpu->Clear(0xFF000000u, true, true);
  d.gpu->SetViewport(d.viewport);
}

bool CreateDevice(int width, int height, bool synchronization, std::string& failure) {
  auto& d = D3D();
  d.renderWidth = std::clamp(width, 1, d.desktopWidth);
  d.renderHeight = std::clamp(height, 1, d.desktopHeight);
  d.synchronization = synchronization;
  if (!d.gpu) {
    failure = kMsgNoDirect3D;
    return false;
  }
  std::string error;
  if (!d.gpu->Create(d.renderWidth, d.renderHeight, d.depthMode, error)) {
    failure = error.rfind("surfaces", 0) == 0 ? kMsgNoSurfaces : kMsgNoDirect3D;
    return false;
  }
  d.exists = true;
  d.boundTexture = plat::kNoTexture;
  d.viewport = {0, 0, d.renderWidth, d.renderHeight};
  ClearToBlack();
  SetViewport(0, 0, d.renderWidth, d.renderHeight);
  SetProjection2D(0, 0, d.renderWidth, d.renderHeight, 0);
  ClearTextures();
  RestoreStates();
  return true;
}

bool ResetDevice() {
  if (!DeviceExists()) return false;
  auto& d = D3D();
  FreeAllSurfaces();  // render targets do not survive a reset
  if (!d.gpu->Reset(d.depthMode)) return false;
  ClearToBlack();
  RestoreStates();
  return true;
}

void ReleaseDevice() {
  auto& d = D3D();
  if (!d.gpu) return;
  FreeAllSurfaces();
  ClearTextures();
  if (d.exists) d.gpu->Release();
  d.exists = false;
}

void SetRenderSize(int width, int height) {
  auto& d = D3D();
  width = std::clamp(width, 1, d.desktopWidth);
  height = std::clamp(height, 1, d.desktopHeight);
  if (width == d.renderWidth && height == d.renderHeight) return;
  d.renderWidth = width;
  d.renderHeight = height;
  if (!DeviceExists()) return;
  d.gpu->SetRenderSize(width, height);
  SetViewport(0, 0, width, height);
  SetProjection2D(0, 0, width, height, 0);
}

void SetViewport(int x, int y, int width, int height) {
  if (!DeviceExists()) return;
  // A zero-sized viewport would make a singular mapping: it is kept at least one pixel.
  D3D().viewport = {x, y, std::max(1, width), std::max(1, height)};
  D3D().gpu->SetViewport(D3D().viewport);
}

plat::Matrix4 MatrixLookAtLH(const double eye[3], const double at[3], const double up[3]) {
  auto norm = [](double v[3]) {
    double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (l > 0) v[0] /= l, v[1] /= l, v[2] /= l;
  };
  auto cross = [](const double a[3], const double b[3], double r[3]) {
    r[0] = a[1] * b[2] - a[2] * b[1];
    r[1] = a[2] * b[0] - a[0] * b[2];
    r[2] = a[0] * b[1] - a[1] * b[0];
  };
  double z[3] = {at[0] - eye[0], at[1] - eye[1], at[2] - eye[2]};
  norm(z);
  double x[3], y[3];
  cross(up, z, x);
  norm(x);
  cross(z, x, y);
  auto dot = [](const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
  plat::Matrix4 m;
  for (int i = 0; i < 3; ++i) {
    m.m[i][0] = static_cast<float>(x[i]);
    m.m[i][1] = static_cast<float>(y[i]);
    m.m[i][2] = static_cast<float>(z[i]);
  }
  m.m[3][0] = static_cast<float>(-dot(x, eye));
  m.m[3][1] = static_cast<float>(-dot(y, eye));
  m.m[3][2] = static_cast<float>(-dot(z, eye));
  m.m[3][3] = 1.0f;
  return m;
}

plat::Matrix4 MatrixOrthoLH(double w, double h, double zn, double zf) {
  plat::Matrix4 m;
  m.m[0][0] = static_cast<float>(2.0 / w);
  m.m[1][1] = static_cast<float>(2.0 / h);
  m.m[2][2] = static_cast<float>(1.0 / (zf - zn));
  m.m[3][2] = static_cast<float>(zn / (zn - zf));
  m.m[3][3] = 1.0f;
  return m;
}

plat::Matrix4 MatrixPerspectiveLH(double w, double h, double zn, double zf) {
  plat::Matrix4 m;
  m.m[0][0] = static_cast<float>(2.0 * zn / w);
  m.m[1][1] = static_cast<float>(2.0 * zn / h);
  m.m[2][2] = static_cast<float>(zf / (zf - zn));
  m.m[2][3] = 1.0f;
  m.m[3][2] = static_cast<float>(zn * zf / (zn - zf));
  return m;
}

void SetProjection2D(double x, double y, double w, double h, double angle) {
  if (!DeviceExists()) return;
  // A degenerate room rectangle would give a singular projection (NaN vertices): keep the previous one.
  if (!(std::isfinite(x) && std::isfinite(y) && std::isfinite(w) && std::isfinite(h) && std::isfinite(angle)) ||
      w == 0.0 || h == 0.0)
    return;
  auto& d = D3D();
  double a = -angle * M_PI / 180.0;
  double cx = x + w / 2.0, cy = y + h / 2.0;
  double up[3] = {std::sin(a), std::cos(a), 0.0}, at[3] = {cx, cy, 0.0};
  if (d.depthMode && d.perspective) {
    double eye[3] = {cx, cy, -w};
    d.gpu->SetTransform(plat::TransformKind::View, MatrixLookAtLH(eye, at, up));
    d.gpu->SetTransform(plat::TransformKind::Projection, MatrixPerspectiveLH(1.0, h / w, 1.0, 32000.0));
  } else {
    double eye[3] = {cx, cy, -16000.0};
    d.gpu->SetTransform(plat::TransformKind::View, MatrixLookAtLH(eye, at, up));
    d.gpu->SetTransform(plat::TransformKind::Projection, MatrixOrthoLH(w, -h, 1.0, 32000.0));
  }
}

void BeginScene() {}

bool PresentAgain() {
  if (!DeviceExists()) return false;
  auto& d = D3D();
  auto& win = Win();
  int cw, ch;
  ActualClientSize(cw, ch);
  plat::IntRect region = DrawingRegion(cw, ch, win.regionWidth, win.regionHeight, win.regionScale);
  if (!d.gpu->Present({0, 0, d.renderWidth, d.renderHeight}, region, cw, ch,
                      DeviceColour(win.colour, 1.0), d.synchronization))
    ResetDevice();
  return true;
}

bool EndSceneAndPresent() { return PresentAgain(); }

void ClearTarget(int colour, double alpha) {
  if (!DeviceExists()) return;
  D3D().gpu->Clear(DeviceColour(colour, alpha), true, D3D().depthMode);
}

std::optional<PixelBlock> ReadBack(int x, int y, int w, int h) {
  if (!DeviceExists()) return std::nullopt;
  auto& d = D3D();
  x = std::max(0, x);
  y = std::max(0, y);
  w = std::min(w, d.renderWidth - x);
  h = std::min(h, d.renderHeight - y);
  if (w <= 0 || h <= 0) return std::nullopt;
  PixelBlock b;
  b.width = w;
  b.height = h;
  if (!d.gpu->Read(plat::kBackBuffer, {x, y, w, h}, b.pixels)) return std::nullopt;
  return b;
}

int ReadPixel(int x, int y) {
  auto b = ReadBack(x, y, 1, 1);
  return b ? ScriptColour(b->pixels[0]) : 0;
}

// ---- render states ----

static void ApplyHidden() {
  auto& d = D3D();
  bool on = d.depthMode && d.hidden;
  d.states.depthTest = on;
  d.states.alphaTest = on;  // fully transparent pixels never write depth
  PushStates();
}

void SetInterpolation(bool on) {
  D3D().interpolation = on;
  D3D().states.linearFilter = on;
  PushStates();
}
void SetTextureBlending(bool on) {
  D3D().textureBlending = on;
  D3D().states.modulate = on;
  PushStates();
}
void SetTextureRepeat(bool on) {
  D3D().textureRepeat = on;
  D3D().states.wrap = on;
  PushStates();
}
void SetSynchronization(bool on) { D3D().synchronization = on; }
void SetHidden(bool on) {
  D3D().hidden = on;
  if (DeviceExists()) ApplyHidden();
}
void SetPerspective(bool on) { D3D().perspective = on; }
void SetLighting(bool on) {
  D3D().lighting = on;
  D3D().states.lighting = on;
  PushStates();
}
void SetShading(bool on) {
  D3D().shading = on;
  D3D().states.gouraud = on;
  PushStates();
}
void SetFog(bool enabled, int colour, double start, double end) {
  auto& d = D3D();
  d.fog = enabled;
  d.fogColour = colour;
  d.fogStart = start;
  d.fogEnd = end;
  d.states.fog = enabled;  // the device reports table fog, so enabling always succeeds
  d.states.fogColour = DeviceColour(colour, 1.0);
  d.states.fogStart = static_cast<float>(start);
  d.states.fogEnd = static_cast<float>(end);
  PushStates();
}
void SetCulling(bool on) {
  D3D().culling = on;
  if (!DeviceExists()) return;
  D3D().states.cullCcw = on;
  PushStates();
}
void SetBlendFactors(int source, int destination) {
  auto& d = D3D();
  d.srcBlend = source;
  d.destBlend = destination;
  d.states.srcBlend = static_cast<uint8_t>(std::clamp(source, 1, 11));
  d.states.destBlend = static_cast<uint8_t>(std::clamp(destination, 1, 11));
  PushStates();
}
void SetBlendMode(int mode) {
  using namespace plat;
  switch (mode) {
    case 1: SetBlendFactors(kBlendSrcAlpha, kBlendOne); break;
    case 2: SetBlendFactors(kBlendSrcAlpha, kBlendInvSrcColour); break;
    case 3: SetBlendFactors(kBlendZero, kBlendInvSrcColour); break;
    default: SetBlendFactors(kBlendSrcAlpha, kBlendInvSrcAlpha); break;
  }
}

bool SetDepthMode(bool on) {
  auto& d = D3D();
  if (d.depthMode == on) return true;
  d.depthMode = on;
  d.perspective = on;
  if (!on) d.depth = 0.0;
  ApplyHidden();
  if (!DeviceExists()) return true;
  if (!ResetDevice()) {
    d.depthMode = false;
    d.depth = 0.0;
    ResetDevice();
    return false;  // the caller reports "Failed to use 3D mode."
  }
  return true;
}

void SetDepth(double z) {
  auto& d = D3D();
  d.depth = d.depthMode ? std::clamp(z, -16000.0, 16000.0) : 0.0;
}

void RestoreStates() {
  auto& d = D3D();
  d.states.alphaBlend = true;
  SetCulling(d.culling);
  SetBlendFactors(d.srcBlend, d.destBlend);
  SetLighting(d.lighting);
  SetShading(d.shading);
  SetHidden(d.hidden);
  SetFog(d.fog, d.fogColour, d.fogStart, d.fogEnd);
  SetInterpolation(d.interpolation);
  SetTextureBlending(d.textureBlending);
  SetTextureRepeat(d.textureRepeat);
}

void DeviceSetAddressClamp() {
  auto& d = D3D();
  if (!d.states.wrap) return;
  d.states.wrap = false;
  PushStates();
}

void DeviceBindTexture(plat::TextureHandle handle) {
  auto& d = D3D();
  if (!DeviceExists()) return;
  if (d.boundTexture == handle) return;
  d.boundTexture = handle;
  d.gpu->BindTexture(handle);
}

}  // namespace kv::gfx
