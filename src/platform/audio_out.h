#pragma once
// The sound output: a stereo float stream at a fixed rate, filled by a render callback. The device backend calls
// the callback on the audio thread (the game thread changes the mixer between Lock and Unlock); the pulled backend
// never opens a device and renders only when the runner advances it, one step's worth of frames at a time, so
// headless runs are deterministic and can write the mix to a WAV file.
#include <functional>
#include <memory>
#include <string>

namespace kv::plat {

inline constexpr int kAudioRate = 44100;

// Fills `frames` interleaved stereo frames (2 × frames floats).
using AudioRender = std::function<void(float* stereo, int frames)>;

class IAudioOut {
 public:
  virtual ~IAudioOut() = default;
  // True when a real device plays the output (it then pulls frames itself and Advance does nothing).
  virtual bool IsDevice() const = 0;
  // Starts calling render; replaces any earlier callback.
  virtual void Start(AudioRender render) = 0;
  // Stops calling the callback; a capture file is completed.
  virtual void Stop() = 0;
  // Guards the state the callback reads (no-op without a device thread).
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  // Pulled backends: renders the given number of frames now (and writes them to the capture file).
  virtual void Advance(int frames) = 0;
};

// The SDL audio device (float32 stereo 44.1 kHz); nullptr with the reason in `failure` when none opens.
std::unique_ptr<IAudioOut> CreateSdlAudioOut(std::string& failure);
// The pulled backend; with a non-empty capture path every rendered frame is written there as a 32-bit float WAV.
// nullptr with the reason in `failure` when the capture file cannot be created.
std::unique_ptr<IAudioOut> CreatePulledAudioOut(const std::string& capturePath, std::string& failure);

class AudioLock {
 public:
  explicit AudioLock(IAudioOut* out) : out_(out) {
    if (out_) out_->Lock();
  }
  ~AudioLock() {
    if (out_) out_->Unlock();
  }
  AudioLock(const AudioLock&) = delete;
  AudioLock& operator=(const AudioLock&) = delete;

 private:
  IAudioOut* out_;
};

}  // namespace kv::plat
