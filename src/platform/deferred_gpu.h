// A rendering device that starts without the real one: it answers every call the way the real device would,
// keeps a log of the calls that change pixels, and creates the real device only when pixels are read back
// (Read) — then replays the log into it and forwards everything from then on. A run that never reads pixels
// never loads the GL driver (its start-up cost dominates a headless start: hundreds of milliseconds and tens of
// megabytes); a run that does read sees exactly the pixels it would have seen with the device made at start.
//
// Presentation shows nothing while deferred (nobody can see a headless frame), so presents are not logged.
// The log stays small in long runs: a full clear of the frame makes every earlier draw into the frame dead,
// and those draws are dropped (with the state changes between them folded into their net effect). When the
// log still outgrows its budget (large uploads, many draws into render targets), the real device is made.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gpu_device.h"

namespace kv::plat {

class DeferredGpu final : public IGpuDevice {
 public:
  // `makeDevice` returns the real device (not yet created) or null when there is none, and may hand over in
  // `keepAlive` what the device needs to outlive it (its window); `maxTextureSize` is what the real device will
  // report (answered before it exists); `logBudget` bytes of log at most.
  using Factory = std::function<std::unique_ptr<IGpuDevice>(std::shared_ptr<void>& keepAlive)>;
  DeferredGpu(Factory makeDevice, int maxTextureSize, size_t logBudget = size_t{64} << 20);
  ~DeferredGpu() override;

  bool Materialized() const { return materialized_; }
  size_t LogBytes() const { return logBytes_; }
  size_t LogEntries() const { return log_.size(); }
  // Creates the real device now and replays the log into it (what a read does first). False when there is no
  // real device to make; the deferred device then goes on with reads failing.
  bool Materialize();

  bool Create(int renderWidth, int renderHeight, bool depth, std::string& error) override;
  bool Reset(bool depth) override;
  void Release() override;
  bool Exists() const override { return exists_; }
  void SetRenderSize(int width, int height) override;
  int MaxTextureSize() const override { return maxTextureSize_; }
  TextureHandle CreateTexture(int width, int height, bool renderTarget, int& grantedWidth,
                              int& grantedHeight) override;
  bool Upload(TextureHandle tex, int width, int height, const uint32_t* pixels) override;
  void FreeTexture(TextureHandle tex) override;
  bool SetTarget(TextureHandle target) override;
  void SetViewport(const IntRect& r) override;
  void SetTransform(TransformKind which, const Matrix4& m) override;
  void SetStates(const RenderStates& s) override;
  void BindTexture(TextureHandle tex) override;
  void Draw(PrimKind kind, bool textured, const Vertex* v, int count, bool atlasOk = false) override;
  void Clear(uint32_t argb, bool colour, bool depth) override;
  void Draw3D(PrimKind kind, bool textured, const Vertex3D* v, int count) override;
  void SetLight(int index, const Light& light) override;
  void EnableLight(int index, bool on) override;
  bool Present(const IntRect& source, const IntRect& dest, int clientWidth, int clientHeight,
               uint32_t windowColour, bool vsync) override;
  bool Read(TextureHandle from, const IntRect& r, std::vector<uint32_t>& out) override;
  bool Copy(TextureHandle source, const IntRect& r, TextureHandle dest, int x, int y) override;

 private:
  enum class Op : uint8_t {
    Create, Reset, SetRenderSize, CreateTexture, Upload, FreeTexture, SetTarget, SetViewport, SetTransform,
    SetStates, BindTexture, Draw, Draw3D, Clear, SetLight, EnableLight, Copy
  };
  // One logged call. Payloads (vertices, pixels, a matrix, states, a light) are kept as raw bytes.
  struct Entry {
    Op op = Op::Create;
    bool flag = false, flag2 = false;
    int a = 0, b = 0, c = 0;
    TextureHandle target = kBackBuffer;  // draws and clears: the target they went to
    IntRect rect;
    uint32_t colour = 0;
    std::vector<unsigned char> data;
  };
  struct Tex {
    int w = 0, h = 0;
    bool renderTarget = false;
  };

  Entry& Log(Op op);
  void AfterLogged();
  bool IsFullFrameClear(const Entry& e) const;
  void DropDeadFrameDraws();
  void Replay(const Entry& e);
  TextureHandle Real(TextureHandle ours) const;  // the real device's handle of one of ours (0 when none)
  void Forget();

  Factory makeDevice_;
  std::shared_ptr<void> keepAlive_;  // declared before real_: goes after it
  std::unique_ptr<IGpuDevice> real_;
  bool materialized_ = false;
  bool failed_ = false;  // no real device could be made
  int maxTextureSize_;
  size_t logBudget_;

  std::vector<Entry> log_;
  size_t logBytes_ = 0;
  size_t bytesAtLastCompaction_ = 0;

  // What the real device would know: enough to answer every call without it.
  bool exists_ = false, depth_ = false;
  int renderW_ = 1, renderH_ = 1;
  std::map<TextureHandle, Tex> textures_;
  TextureHandle nextHandle_ = 1;
  TextureHandle target_ = kBackBuffer;
  IntRect viewport_;
  std::map<TextureHandle, TextureHandle> realHandles_;
};

}  // namespace kv::plat
