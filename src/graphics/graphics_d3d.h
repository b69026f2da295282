// The rendering device as the game sees it: render size, render-state flags (re-applied after every reset
// in a fixed order), 2D projections, scenes and presentation, read-back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/gpu_device.h"

namespace kv::gfx {

struct DeviceState {
  plat::IGpuDevice* gpu = nullptr;  // attached backend (owned by the platform)
  bool exists = false;
  int renderWidth = 640, renderHeight = 480;
  int desktopWidth = 1024, desktopHeight = 768;
  bool depthMode = false;
  double depth = 0.0;
  // Render-state flags
  bool interpolation = true, textureBlending = true, textureRepeat = false, synchronization = false;
  bool hidden = true, perspective = true, lighting = false, shading = true, fog = false, culling = false;
  int fogColour = 0;
  double fogStart = 0.0, fogEnd = 1.0;
  int srcBlend = plat::kBlendSrcAlpha, destBlend = plat::kBlendInvSrcAlpha;
  // What the device currently has (the quad paths change addressing on the device only).
  plat::RenderStates states;
  plat::TextureHandle boundTexture = plat::kNoTexture;
  plat::IntRect viewport{0, 0, 640, 480};
};
DeviceState& D3D();
bool DeviceExists();

// Attaches (or with null detaches) the backend; does not create anything.
void AttachGpu(plat::IGpuDevice* gpu, int desktopWidth, int desktopHeight);

// The messages device creation can fail with.
extern const char* const kMsgNoDirect3D;
extern const char* const kMsgNoSurfaces;
bool CreateDevice(int width, int height, bool synchronization, std::string& failureMessage);
bool ResetDevice();
void ReleaseDevice();

void SetRenderSize(int width, int height);
void SetViewport(int x, int y, int width, int height);
void SetProjection2D(double x, double y, double w, double h, double angle);

void BeginScene();
bool EndSceneAndPresent();
bool PresentAgain();
void ClearTarget(int colour, double alpha);  // the current viewport, device colour of (colour, alpha)

// Pixels of the frame, 0xAARRGGBB top row first; none when the rectangle is empty after clipping.
struct PixelBlock {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
};
std::optional<PixelBlock> ReadBack(int x, int y, int w, int h);
int ReadPixel(int x, int y);  // script colour, 0 when nothing could be read

// Render-state setters: each stores its flag and applies it.
void SetInterpolation(bool on);
void SetTextureBlending(bool on);
void SetTextureRepeat(bool on);
void SetSynchronization(bool on);
void SetHidden(bool on);
void SetPerspective(bool on);
void SetLighting(bool on);
void SetShading(bool on);
void SetFog(bool enabled, int colour, double start, double end);
void SetCulling(bool on);
void SetBlendMode(int mode);
void SetBlendFactors(int source, int destination);
bool SetDepthMode(bool on);
void SetDepth(double z);
void RestoreStates();

// Device-only changes used by the drawing paths.
void DeviceSetAddressClamp();        // textured quads clamp without touching the repeat flag
void DeviceBindTexture(plat::TextureHandle handle);

// D3DX-style matrices (row-vector layout, left-handed).
plat::Matrix4 MatrixLookAtLH(const double eye[3], const double at[3], const double up[3]);
plat::Matrix4 MatrixOrthoLH(double w, double h, double zn, double zf);
plat::Matrix4 MatrixPerspectiveLH(double w, double h, double zn, double zf);

}  // namespace kv::gfx
