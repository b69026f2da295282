#include "platform/recording/recording_gpu.h"

#include <algorithm>

namespace kv::plat {

int NextPowerOfTwo(int v) {
  int p = 1;
  while (p < v && p < (1 << 30)) p <<= 1;
  return p;
}

GpuCall& RecordingGpu::Add(GpuOp op) {
  calls.emplace_back();
  calls.back().op = op;
  return calls.back();
}

std::vector<GpuCall> RecordingGpu::Draws() const {
  std::vector<GpuCall> out;
  for (const auto& c : calls)
    if (c.op == GpuOp::Draw) out.push_back(c);
  return out;
}

bool RecordingGpu::Create(int w, int h, bool depth, std::string&) {
  {
    GpuCall& c = Add(GpuOp::Create);
    c.a = w;
    c.b = h;
    c.atlasOk = depth;
  }
  exists_ = true;
  viewport_ = {0, 0, w, h};
  return true;
}

bool RecordingGpu::Reset(bool depth) {
  {
    GpuCall& c = Add(GpuOp::Reset);
    c.a = depth;
  }
  return exists_;
}

void RecordingGpu::Release() {
  Add(GpuOp::Release);
  exists_ = false;
  textures_.clear();
}

void RecordingGpu::SetRenderSize(int w, int h) { {
    GpuCall& c = Add(GpuOp::SetRenderSize);
    c.a = w;
    c.b = h;
  } }

TextureHandle RecordingGpu::CreateTexture(int w, int h, bool rt, int& gw, int& gh) {
  if (failTextures || w <= 0 || h <= 0 || w > maxTextureSize || h > maxTextureSize) return kNoTexture;
  gw = NextPowerOfTwo(w);
  gh = NextPowerOfTwo(h);
  TextureHandle t = nextHandle_++;
  textures_[t] = {gw, gh, rt};
  {
    GpuCall& c = Add(GpuOp::CreateTexture);
    c.a = w;
    c.b = h;
    c.texture = t;
    c.textured = rt;
  }
  return t;
}

bool RecordingGpu::Upload(TextureHandle tex, int w, int h, const uint32_t* px) {
  auto it = textures_.find(tex);
  if (it == textures_.end() || w > it->second.w || h > it->second.h) return false;
  GpuCall& c = Add(GpuOp::Upload);
  c.a = w;
  c.b = h;
  c.texture = tex;
  c.pixels.assign(px, px + static_cast<size_t>(w) * h);
  return true;
}

void RecordingGpu::FreeTexture(TextureHandle tex) {
  {
    GpuCall& c = Add(GpuOp::FreeTexture);
    c.texture = tex;
  }
  textures_.erase(tex);
  if (bound_ == tex) bound_ = kNoTexture;
  if (target_ == tex) target_ = kBackBuffer;
}

bool RecordingGpu::SetTarget(TextureHandle t) {
  if (t != kBackBuffer && (!textures_.count(t) || !textures_[t].renderTarget)) return false;
  {
    GpuCall& c = Add(GpuOp::SetTarget);
    c.texture = t;
  }
  target_ = t;
  return true;
}

void RecordingGpu::SetViewport(const IntRect& r) {
  {
    GpuCall& c = Add(GpuOp::SetViewport);
    c.rect = r;
  }
  viewport_ = r;
}

void RecordingGpu::SetTransform(TransformKind which, const Matrix4& m) {
  {
    GpuCall& c = Add(GpuOp::SetTransform);
    c.which = which;
    c.matrix = m;
  }
  transforms_[static_cast<int>(which)] = m;
}

void RecordingGpu::SetStates(const RenderStates& s) {
  {
    GpuCall& c = Add(GpuOp::SetStates);
    c.states = s;
  }
  states_ = s;
}

void RecordingGpu::BindTexture(TextureHandle tex) {
  {
    GpuCall& c = Add(GpuOp::BindTexture);
    c.texture = tex;
  }
  bound_ = textures_.count(tex) ? tex : kNoTexture;
}

void RecordingGpu::Draw(PrimKind kind, bool textured, const Vertex* v, int n, bool atlasOk) {
  GpuCall& c = Add(GpuOp::Draw);
  c.texture = bound_;
  c.target = target_;
  c.kind = kind;
  c.textured = textured;
  c.atlasOk = atlasOk;
  c.states = states_;
  c.vertices.assign(v, v + std::max(0, n));
}

void RecordingGpu::Draw3D(PrimKind kind, bool textured, const Vertex3D* v, int n) {
  GpuCall& c = Add(GpuOp::Draw);
  c.texture = bound_;
  c.target = target_;
  c.kind = kind;
  c.textured = textured;
  c.states = states_;
  c.matrix = transforms_[static_cast<int>(TransformKind::World)];
  c.vertices3d.assign(v, v + std::max(0, n));
  for (const Vertex3D& p : c.vertices3d) c.vertices.push_back({p.x, p.y, p.z, p.colour, p.u, p.v});
}

void RecordingGpu::SetLight(int index, const Light& light) {
  GpuCall& c = Add(GpuOp::SetLight);
  c.a = index;
  c.light = light;
}

void RecordingGpu::EnableLight(int index, bool on) {
  GpuCall& c = Add(GpuOp::EnableLight);
  c.a = index;
  c.b = on;
}

void RecordingGpu::Clear(uint32_t argb, bool colour, bool depth) {
  {
    GpuCall& c = Add(GpuOp::Clear);
    c.a = colour;
    c.b = depth;
    c.target = target_;
    c.rect = viewport_;
    c.colour = argb;
  }
}

bool RecordingGpu::Present(const IntRect& src, const IntRect& dst, int cw, int ch, uint32_t wc, bool vsync) {
  {
    GpuCall& c = Add(GpuOp::Present);
    c.a = cw;
    c.b = ch;
    c.atlasOk = vsync;
    c.rect = src;
    c.rect2 = dst;
    c.colour = wc;
  }
  return exists_;
}

bool RecordingGpu::Read(TextureHandle from, const IntRect& r, std::vector<uint32_t>& out) {
  {
    GpuCall& c = Add(GpuOp::Read);
    c.texture = from;
    c.rect = r;
  }
  if (!exists_ || r.w <= 0 || r.h <= 0) return false;
  out.assign(static_cast<size_t>(r.w) * r.h, readValue);
  return true;
}

bool RecordingGpu::Copy(TextureHandle source, const IntRect& r, TextureHandle dest, int x, int y) {
  {
    GpuCall& c = Add(GpuOp::Copy);
    c.a = x;
    c.b = y;
    c.texture = source;
    c.target = dest;
    c.rect = r;
  }
  return textures_.count(source) && textures_.count(dest);
}

}  // namespace kv::plat
