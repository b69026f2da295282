#include "runner/muted_audio.h"

#include <algorithm>

namespace kv {

namespace {

class MutedAudioOut final : public plat::IAudioOut {
 public:
  explicit MutedAudioOut(std::unique_ptr<plat::IAudioOut> out) : out_(std::move(out)) {}
  bool IsDevice() const override { return out_->IsDevice(); }
  void Start(plat::AudioRender render) override {
    out_->Start([render = std::move(render)](float* stereo, int frames) {
      if (render) render(stereo, frames);
      std::fill(stereo, stereo + 2 * static_cast<size_t>(std::max(frames, 0)), 0.0f);
    });
  }
  void Stop() override { out_->Stop(); }
  void Lock() override { out_->Lock(); }
  void Unlock() override { out_->Unlock(); }
  void Advance(int frames) override { out_->Advance(frames); }

 private:
  std::unique_ptr<plat::IAudioOut> out_;
};

}  // namespace

std::unique_ptr<plat::IAudioOut> MuteAudioOut(std::unique_ptr<plat::IAudioOut> out) {
  if (!out) return out;
  return std::make_unique<MutedAudioOut>(std::move(out));
}

}  // namespace kv
