// The audio device through SDL: float32 stereo at the mixer rate; SDL converts when the device differs.
#include <SDL.h>

#include <cstring>

#include "platform/audio_out.h"

namespace kv::plat {
namespace {

// The device is opened once and stays open, paused between uses, until the process ends: closing it makes SDL's
// audio thread wait two buffers (46 ms) for the sound to drain, which would hold up every game's exit; the
// system takes the device back when the process goes.
struct SharedDevice {
  SDL_AudioDeviceID id = 0;
  AudioRender render;          // read by the audio thread under the device lock
  const void* owner = nullptr;  // the output that started it last
};

SharedDevice& Device() {
  static SharedDevice& device = *new SharedDevice;  // never destroyed: the audio thread may outlive main
  return device;
}

class SdlAudioOut final : public IAudioOut {
 public:
  ~SdlAudioOut() override {
    if (Device().owner == this) Stop();
  }

  bool Open(std::string& failure) {
    if (Device().id != 0) return true;
    // The audio driver alone: the subsystem would also start and later stop SDL's event loop, which the window
    // owns.
    if (SDL_AudioInit(nullptr) != 0) {
      failure = SDL_GetError();
      return false;
    }
    SDL_AudioSpec want{};
    want.freq = kAudioRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = &SdlAudioOut::Callback;
    want.userdata = &Device();
    SDL_AudioSpec have{};
    Device().id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (Device().id == 0) {
      failure = SDL_GetError();
      SDL_AudioQuit();
      return false;
    }
    return true;
  }

  bool IsDevice() const override { return true; }
  void Start(AudioRender render) override {
    SDL_LockAudioDevice(Device().id);
    Device().render = std::move(render);
    Device().owner = this;
    SDL_UnlockAudioDevice(Device().id);
    SDL_PauseAudioDevice(Device().id, 0);
  }
  // Paused, the device thread plays silence without calling the callback.
  void Stop() override {
    SDL_PauseAudioDevice(Device().id, 1);
    SDL_LockAudioDevice(Device().id);
    Device().render = nullptr;
    SDL_UnlockAudioDevice(Device().id);
  }
  void Lock() override { SDL_LockAudioDevice(Device().id); }
  void Unlock() override { SDL_UnlockAudioDevice(Device().id); }
  void Advance(int) override {}

 private:
  static void Callback(void* user, Uint8* stream, int len) {
    auto* device = static_cast<SharedDevice*>(user);
    std::memset(stream, 0, static_cast<size_t>(len));
    if (device->render) device->render(reinterpret_cast<float*>(stream), len / static_cast<int>(2 * sizeof(float)));
  }
};

}  // namespace

std::unique_ptr<IAudioOut> CreateSdlAudioOut(std::string& failure) {
  auto out = std::make_unique<SdlAudioOut>();
  if (!out->Open(failure)) return nullptr;
  return out;
}

}  // namespace kv::plat
