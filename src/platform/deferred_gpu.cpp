#include "platform/deferred_gpu.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace kv::plat {
namespace {

int Pow2(int v) {
  int p = 1;
  while (p < v && p < (1 << 30)) p <<= 1;
  return p;
}

template <typename T>
void Store(std::vector<unsigned char>& data, const T* items, int count) {
  static_assert(std::is_trivially_copyable_v<T>);
  data.resize(sizeof(T) * static_cast<size_t>(std::max(0, count)));
  if (!data.empty()) std::memcpy(data.data(), items, data.size());
}

template <typename T>
std::vector<T> Load(const std::vector<unsigned char>& data) {
  std::vector<T> out(data.size() / sizeof(T));
  if (!out.empty()) std::memcpy(out.data(), data.data(), out.size() * sizeof(T));
  return out;
}

// Below this many bytes of new log a full clear does not bother compacting.
constexpr size_t kCompactionSlack = size_t{64} << 10;

}  // namespace

DeferredGpu::DeferredGpu(Factory makeDevice, int maxTextureSize, size_t logBudget)
    : makeDevice_(std::move(makeDevice)), maxTextureSize_(maxTextureSize), logBudget_(logBudget) {}

DeferredGpu::~DeferredGpu() = default;

DeferredGpu::Entry& DeferredGpu::Log(Op op) {
  log_.emplace_back();
  log_.back().op = op;
  return log_.back();
}

// Accounts for the entry just logged and keeps the log within its budget.
void DeferredGpu::AfterLogged() {
  const Entry& e = log_.back();
  logBytes_ += sizeof(Entry) + e.data.size();
  if (IsFullFrameClear(e) && logBytes_ > bytesAtLastCompaction_ * 2 + kCompactionSlack) DropDeadFrameDraws();
  if (logBytes_ > logBudget_) Materialize();
}

bool DeferredGpu::IsFullFrameClear(const Entry& e) const {
  if (e.op == Op::Reset) return true;  // rebuilding the frame clears it (colour and depth)
  if (e.op != Op::Clear || e.target != kBackBuffer || !e.flag || (depth_ && !e.flag2)) return false;
  const IntRect& v = e.rect;
  return v.x <= 0 && v.y <= 0 && v.x + v.w >= renderW_ && v.y + v.h >= renderH_;
}

// Everything drawn into the frame before its last full clear is invisible for good: the frame is read only by
// Read (which ends deferral) and Present (which shows nothing while deferred). State changes between dropped
// draws are folded: only the last change of each kind survives, in the order of those last changes, placed
// before the next kept call — the states every kept call sees stay exactly the same.
void DeferredGpu::DropDeadFrameDraws() {
  const size_t clearAt = log_.size() - 1;
  std::vector<Entry> kept;
  kept.reserve(log_.size() / 2 + 1);
  std::vector<std::pair<int, Entry>> pendingStates;  // (kind, last change of that kind)
  auto flushStates = [&] {
    for (auto& [kind, e] : pendingStates) kept.push_back(std::move(e));
    pendingStates.clear();
  };
  for (size_t i = 0; i < clearAt; ++i) {
    Entry& e = log_[i];
    int kind = -1;
    switch (e.op) {
      case Op::SetTarget: kind = 0; break;
      case Op::SetViewport: kind = 1; break;
      case Op::SetTransform: kind = 2 + e.a; break;
      case Op::SetStates: kind = 5; break;
      case Op::BindTexture: kind = 6; break;
      default: break;
    }
    if (kind >= 0) {
      std::erase_if(pendingStates, [kind](const auto& p) { return p.first == kind; });
      pendingStates.emplace_back(kind, std::move(e));
      continue;
    }
    const bool frameDraw =
        (e.op == Op::Draw || e.op == Op::Draw3D || e.op == Op::Clear) && e.target == kBackBuffer;
    if (frameDraw) continue;
    flushStates();
    kept.push_back(std::move(e));
  }
  flushStates();
  kept.push_back(std::move(log_[clearAt]));
  log_ = std::move(kept);
  logBytes_ = 0;
  for (const Entry& e : log_) logBytes_ += sizeof(Entry) + e.data.size();
  bytesAtLastCompaction_ = logBytes_;
}

TextureHandle DeferredGpu::Real(TextureHandle ours) const {
  if (ours == kNoTexture) return kNoTexture;
  auto it = realHandles_.find(ours);
  return it == realHandles_.end() ? kNoTexture - 1 : it->second;  // -1: a handle no device knows
}

bool DeferredGpu::Materialize() {
  if (materialized_) return real_ != nullptr;
  materialized_ = true;
  real_ = makeDevice_ ? makeDevice_(keepAlive_) : nullptr;
  if (real_)
    for (const Entry& e : log_) Replay(e);
  log_.clear();
  log_.shrink_to_fit();
  logBytes_ = bytesAtLastCompaction_ = 0;
  return real_ != nullptr;
}

void DeferredGpu::Replay(const Entry& e) {
  IGpuDevice& d = *real_;
  switch (e.op) {
    case Op::Create: {
      std::string error;
      d.Create(e.a, e.b, e.flag, error);
      break;
    }
    case Op::Reset: d.Reset(e.flag); break;
    case Op::SetRenderSize: d.SetRenderSize(e.a, e.b); break;
    case Op::CreateTexture: {
      int gw = 0, gh = 0;
      const TextureHandle h = d.CreateTexture(e.a, e.b, e.flag, gw, gh);
      if (h != kNoTexture) realHandles_[e.c] = h;
      break;
    }
    case Op::Upload: {
      const std::vector<uint32_t> px = Load<uint32_t>(e.data);
      d.Upload(Real(e.c), e.a, e.b, px.data());
      break;
    }
    case Op::FreeTexture:
      d.FreeTexture(Real(e.c));
      realHandles_.erase(e.c);
      break;
    case Op::SetTarget: d.SetTarget(e.c == kBackBuffer ? kBackBuffer : Real(e.c)); break;
    case Op::SetViewport: d.SetViewport(e.rect); break;
    case Op::SetTransform: d.SetTransform(static_cast<TransformKind>(e.a), Load<Matrix4>(e.data).at(0)); break;
    case Op::SetStates: d.SetStates(Load<RenderStates>(e.data).at(0)); break;
    case Op::BindTexture: d.BindTexture(Real(e.c)); break;
    case Op::Draw: {
      const std::vector<Vertex> v = Load<Vertex>(e.data);
      d.Draw(static_cast<PrimKind>(e.a), e.flag, v.data(), static_cast<int>(v.size()), e.flag2);
      break;
    }
    case Op::Draw3D: {
      const std::vector<Vertex3D> v = Load<Vertex3D>(e.data);
      d.Draw3D(static_cast<PrimKind>(e.a), e.flag, v.data(), static_cast<int>(v.size()));
      break;
    }
    case Op::Clear: d.Clear(e.colour, e.flag, e.flag2); break;
    case Op::SetLight: d.SetLight(e.a, Load<Light>(e.data).at(0)); break;
    case Op::EnableLight: d.EnableLight(e.a, e.flag); break;
    case Op::Copy: d.Copy(Real(e.a), e.rect, Real(e.c), e.b, static_cast<int>(e.colour)); break;
  }
}

void DeferredGpu::Forget() {
  log_.clear();
  logBytes_ = bytesAtLastCompaction_ = 0;
  textures_.clear();
  exists_ = false;
  target_ = kBackBuffer;
}

// ---- the device calls: answered from what the real device would know; logged, or forwarded once it exists ----

bool DeferredGpu::Create(int w, int h, bool depth, std::string& error) {
  if (real_) {
    textures_.clear();
    realHandles_.clear();
    exists_ = real_->Create(w, h, depth, error);
  } else {
    // Creating again starts from nothing (the real device releases first): the log so far is dead.
    if (!materialized_) Forget();
    exists_ = true;
  }
  depth_ = depth;
  renderW_ = std::max(1, w);
  renderH_ = std::max(1, h);
  viewport_ = {0, 0, renderW_, renderH_};
  target_ = kBackBuffer;
  if (!materialized_) {
    Entry& e = Log(Op::Create);
    e.a = w, e.b = h, e.flag = depth;
    AfterLogged();
  }
  return exists_;
}

bool DeferredGpu::Reset(bool depth) {
  if (!exists_) return false;
  depth_ = depth;
  if (real_) return real_->Reset(depth);
  if (!materialized_) {
    Log(Op::Reset).flag = depth;
    AfterLogged();
  }
  return true;
}

void DeferredGpu::Release() {
  if (real_) {
    real_->Release();
    realHandles_.clear();
  }
  Forget();
}

void DeferredGpu::SetRenderSize(int w, int h) {
  w = std::max(1, w);
  h = std::max(1, h);
  if (!exists_ || (w == renderW_ && h == renderH_)) return;
  renderW_ = w;
  renderH_ = h;
  if (real_) return real_->SetRenderSize(w, h);
  if (materialized_) return;
  Entry& e = Log(Op::SetRenderSize);
  e.a = w, e.b = h;
  AfterLogged();
}

TextureHandle DeferredGpu::CreateTexture(int w, int h, bool rt, int& gw, int& gh) {
  if (!exists_ || w <= 0 || h <= 0 || w > maxTextureSize_ || h > maxTextureSize_) return kNoTexture;
  const TextureHandle handle = nextHandle_++;
  Tex t{Pow2(w), Pow2(h), rt};
  if (real_) {
    const TextureHandle r = real_->CreateTexture(w, h, rt, t.w, t.h);
    if (r == kNoTexture) return kNoTexture;
    realHandles_[handle] = r;
  } else if (!materialized_) {
    Entry& e = Log(Op::CreateTexture);
    e.a = w, e.b = h, e.flag = rt, e.c = handle;
  }
  textures_[handle] = t;
  gw = t.w;
  gh = t.h;
  if (!real_ && !materialized_) AfterLogged();
  return handle;
}

bool DeferredGpu::Upload(TextureHandle tex, int w, int h, const uint32_t* px) {
  auto it = textures_.find(tex);
  if (it == textures_.end() || w <= 0 || h <= 0 || w > it->second.w || h > it->second.h) return false;
  if (real_) return real_->Upload(Real(tex), w, h, px);
  if (materialized_) return true;
  Entry& e = Log(Op::Upload);
  e.a = w, e.b = h, e.c = tex;
  Store(e.data, px, w * h);
  AfterLogged();
  return true;
}

void DeferredGpu::FreeTexture(TextureHandle tex) {
  auto it = textures_.find(tex);
  if (it == textures_.end()) return;
  textures_.erase(it);
  if (target_ == tex) target_ = kBackBuffer;
  if (real_) {
    real_->FreeTexture(Real(tex));
    realHandles_.erase(tex);
    return;
  }
  if (materialized_) return;
  Log(Op::FreeTexture).c = tex;
  AfterLogged();
}

bool DeferredGpu::SetTarget(TextureHandle t) {
  if (!exists_) return false;
  if (t != kBackBuffer) {
    auto it = textures_.find(t);
    if (it == textures_.end() || !it->second.renderTarget) return false;
  }
  target_ = t;
  if (real_) return real_->SetTarget(t == kBackBuffer ? kBackBuffer : Real(t));
  if (!materialized_) {
    Log(Op::SetTarget).c = t;
    AfterLogged();
  }
  return true;
}

void DeferredGpu::SetViewport(const IntRect& r) {
  viewport_ = {r.x, r.y, std::max(1, r.w), std::max(1, r.h)};
  if (real_) return real_->SetViewport(r);
  if (materialized_) return;
  Log(Op::SetViewport).rect = r;
  AfterLogged();
}

void DeferredGpu::SetTransform(TransformKind which, const Matrix4& m) {
  if (real_) return real_->SetTransform(which, m);
  if (materialized_) return;
  Entry& e = Log(Op::SetTransform);
  e.a = static_cast<int>(which);
  Store(e.data, &m, 1);
  AfterLogged();
}

void DeferredGpu::SetStates(const RenderStates& s) {
  if (real_) return real_->SetStates(s);
  if (materialized_) return;
  Store(Log(Op::SetStates).data, &s, 1);
  AfterLogged();
}

void DeferredGpu::BindTexture(TextureHandle tex) {
  if (real_) return real_->BindTexture(Real(tex));
  if (materialized_) return;
  Log(Op::BindTexture).c = tex;
  AfterLogged();
}

void DeferredGpu::Draw(PrimKind kind, bool textured, const Vertex* v, int count, bool atlasOk) {
  if (real_) return real_->Draw(kind, textured, v, count, atlasOk);
  if (materialized_ || !exists_ || PrimitiveCount(kind, count) <= 0) return;
  Entry& e = Log(Op::Draw);
  e.a = static_cast<int>(kind), e.flag = textured, e.flag2 = atlasOk, e.target = target_;
  Store(e.data, v, count);
  AfterLogged();
}

void DeferredGpu::Draw3D(PrimKind kind, bool textured, const Vertex3D* v, int count) {
  if (real_) return real_->Draw3D(kind, textured, v, count);
  if (materialized_ || !exists_ || PrimitiveCount(kind, count) <= 0) return;
  Entry& e = Log(Op::Draw3D);
  e.a = static_cast<int>(kind), e.flag = textured, e.target = target_;
  Store(e.data, v, count);
  AfterLogged();
}

void DeferredGpu::Clear(uint32_t argb, bool colour, bool depth) {
  if (real_) return real_->Clear(argb, colour, depth);
  if (materialized_ || !exists_) return;
  Entry& e = Log(Op::Clear);
  e.colour = argb, e.flag = colour, e.flag2 = depth, e.target = target_, e.rect = viewport_;
  AfterLogged();
}

void DeferredGpu::SetLight(int index, const Light& light) {
  if (real_) return real_->SetLight(index, light);
  if (materialized_ || index < 0) return;
  Entry& e = Log(Op::SetLight);
  e.a = index;
  Store(e.data, &light, 1);
  AfterLogged();
}

void DeferredGpu::EnableLight(int index, bool on) {
  if (real_) return real_->EnableLight(index, on);
  if (materialized_ || index < 0) return;
  Entry& e = Log(Op::EnableLight);
  e.a = index, e.flag = on;
  AfterLogged();
}

bool DeferredGpu::Present(const IntRect& source, const IntRect& dest, int cw, int ch, uint32_t windowColour,
                          bool vsync) {
  if (real_) return real_->Present(source, dest, cw, ch, windowColour, vsync);
  return exists_;  // nothing to show while deferred
}

bool DeferredGpu::Read(TextureHandle from, const IntRect& r, std::vector<uint32_t>& out) {
  if (!exists_ || !Materialize()) return false;
  return real_->Read(from == kBackBuffer ? kBackBuffer : Real(from), r, out);
}

bool DeferredGpu::Copy(TextureHandle source, const IntRect& r, TextureHandle dest, int x, int y) {
  auto s = textures_.find(source), d = textures_.find(dest);
  if (!exists_ || s == textures_.end() || d == textures_.end() || !s->second.renderTarget ||
      !d->second.renderTarget)
    return false;
  if (real_) return real_->Copy(Real(source), r, Real(dest), x, y);
  if (materialized_ || r.w <= 0 || r.h <= 0) return true;
  Entry& e = Log(Op::Copy);
  e.a = source, e.c = dest, e.rect = r, e.b = x, e.colour = static_cast<uint32_t>(y);
  AfterLogged();
  return true;
}

}  // namespace kv::plat
