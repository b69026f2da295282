// The audio device through SDL: float32 stereo at the mixer rate; SDL converts when the device differs.
#include <SDL.h>

#include <cstring>

#include "platform/audio_out.h"

namespace kv::plat {
namespace {

class SdlAudioOut final : public IAudioOut {
 public:
  ~SdlAudioOut() override {
    if (device_) SDL_CloseAudioDevice(device_);
    if (initialised_) SDL_AudioQuit();
  }

  bool Open(std::string& failure) {
    // The audio driver alone: the subsystem would also start and later stop SDL's event loop, which the window
    // owns.
    if (SDL_AudioInit(nullptr) != 0) {
      failure = SDL_GetError();
      return false;
    }
    initialised_ = true;
    SDL_AudioSpec want{};
    want.freq = kAudioRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = &SdlAudioOut::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      failure = SDL_GetError();
      return false;
    }
    return true;
  }

  bool IsDevice() const override { return true; }
  void Start(AudioRender render) override {
    SDL_LockAudioDevice(device_);
    render_ = std::move(render);
    SDL_UnlockAudioDevice(device_);
    SDL_PauseAudioDevice(device_, 0);
  }
  void Stop() override {
    SDL_PauseAudioDevice(device_, 1);
    SDL_LockAudioDevice(device_);
    render_ = nullptr;
    SDL_UnlockAudioDevice(device_);
  }
  void Lock() override { SDL_LockAudioDevice(device_); }
  void Unlock() override { SDL_UnlockAudioDevice(device_); }
  void Advance(int) override {}

 private:
  static void Callback(void* user, Uint8* stream, int len) {
    auto* self = static_cast<SdlAudioOut*>(user);
    std::memset(stream, 0, static_cast<size_t>(len));
    if (self->render_) self->render_(reinterpret_cast<float*>(stream), len / static_cast<int>(2 * sizeof(float)));
  }

  SDL_AudioDeviceID device_ = 0;
  bool initialised_ = false;
  AudioRender render_;
};

}  // namespace

std::unique_ptr<IAudioOut> CreateSdlAudioOut(std::string& failure) {
  auto out = std::make_unique<SdlAudioOut>();
  if (!out->Open(failure)) return nullptr;
  return out;
}

}  // namespace kv::plat
