// A device that draws nothing and records every call, for exact tests of the drawing rules
// (vertices, colours, uvs, primitive kinds and the states in force at each draw).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/gpu_device.h"

namespace kv::plat {

enum class GpuOp : uint8_t {
  Create, Reset, Release, SetRenderSize, CreateTexture, Upload, FreeTexture, SetTarget, SetViewport,
  SetTransform, SetStates, BindTexture, Draw, Clear, Present, Read, Copy, SetLight, EnableLight
};

struct GpuCall {
  GpuOp op = GpuOp::Create;
  int a = 0, b = 0;                  // sizes, texture handles, flags (per op)
  TextureHandle texture = kNoTexture;  // Draw: bound texture; others: the texture concerned
  TextureHandle target = kBackBuffer;  // Draw, Clear: current target
  PrimKind kind = PrimKind::PointList;
  bool textured = false, atlasOk = false;
  std::vector<Vertex> vertices;
  std::vector<Vertex3D> vertices3d;  // Draw3D (recorded as a Draw; `vertices` holds the same points)
  Light light;                       // SetLight (a = index); EnableLight: a = index, b = on
  RenderStates states;               // Draw: states in force; SetStates: the new states
  TransformKind which = TransformKind::World;
  Matrix4 matrix;
  IntRect rect, rect2;               // viewport, read/copy/present rectangles
  uint32_t colour = 0;
  std::vector<uint32_t> pixels;      // Upload
};

class RecordingGpu : public IGpuDevice {
 public:
  std::vector<GpuCall> calls;
  int maxTextureSize = 8192;
  bool failTextures = false;         // makes CreateTexture fail, for failure-path tests

  std::vector<GpuCall> Draws() const;  // the Draw calls only
  void ClearLog() { calls.clear(); }
  const RenderStates& States() const { return states_; }
  const IntRect& Viewport() const { return viewport_; }
  const Matrix4& Transform(TransformKind k) const { return transforms_[static_cast<int>(k)]; }
  TextureHandle Target() const { return target_; }
  TextureHandle Bound() const { return bound_; }
  int LiveTextures() const { return static_cast<int>(textures_.size()); }
  // Read returns this pixel value everywhere (lets read-back paths be tested without pixels).
  uint32_t readValue = 0xFF000000;

  bool Create(int w, int h, bool depth, std::string& error) override;
  bool Reset(bool depth) override;
  void Release() override;
  bool Exists() const override { return exists_; }
  void SetRenderSize(int w, int h) override;
  int MaxTextureSize() const override { return maxTextureSize; }
  TextureHandle CreateTexture(int w, int h, bool rt, int& gw, int& gh) override;
  bool Upload(TextureHandle tex, int w, int h, const uint32_t* px) override;
  void FreeTexture(TextureHandle tex) override;
  bool SetTarget(TextureHandle t) override;
  void SetViewport(const IntRect& r) override;
  void SetTransform(TransformKind which, const Matrix4& m) override;
  void SetStates(const RenderStates& s) override;
  void BindTexture(TextureHandle tex) override;
  void Draw(PrimKind kind, bool textured, const Vertex* v, int n, bool atlasOk) override;
  void Clear(uint32_t argb, bool colour, bool depth) override;
  void Draw3D(PrimKind kind, bool textured, const Vertex3D* v, int n) override;
  void SetLight(int index, const Light& light) override;
  void EnableLight(int index, bool on) override;
  bool Present(const IntRect& src, const IntRect& dst, int cw, int ch, uint32_t windowColour, bool vsync) override;
  bool Read(TextureHandle from, const IntRect& r, std::vector<uint32_t>& out) override;
  bool Copy(TextureHandle source, const IntRect& r, TextureHandle dest, int x, int y) override;

 private:
  GpuCall& Add(GpuOp op);
  struct Tex { int w, h; bool renderTarget; };
  bool exists_ = false;
  int nextHandle_ = 1;
  std::map<TextureHandle, Tex> textures_;
  RenderStates states_;
  IntRect viewport_;
  Matrix4 transforms_[3] = {Matrix4::Identity(), Matrix4::Identity(), Matrix4::Identity()};
  TextureHandle target_ = kBackBuffer, bound_ = kNoTexture;
};

int NextPowerOfTwo(int v);  // smallest power of two ≥ v (1 for v ≤ 1)

}  // namespace kv::plat
