// The device-less audio output: frames are rendered only when the runner advances it (once per step), and with a
// capture file every frame is appended to a 32-bit float stereo WAV whose sizes are filled in when it closes.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/audio_out.h"

namespace kv::plat {
namespace {

void PutU32(std::FILE* f, uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
  std::fwrite(b, 1, 4, f);
}
void PutU16(std::FILE* f, uint16_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  std::fwrite(b, 1, 2, f);
}

void WriteWavHeader(std::FILE* f, uint32_t dataBytes) {
  std::fseek(f, 0, SEEK_SET);
  std::fwrite("RIFF", 1, 4, f);
  PutU32(f, 36 + dataBytes);
  std::fwrite("WAVEfmt ", 1, 8, f);
  PutU32(f, 16);
  PutU16(f, 3);  // IEEE float
  PutU16(f, 2);
  PutU32(f, kAudioRate);
  PutU32(f, kAudioRate * 2 * 4);
  PutU16(f, 8);
  PutU16(f, 32);
  std::fwrite("data", 1, 4, f);
  PutU32(f, dataBytes);
}

class PulledAudioOut final : public IAudioOut {
 public:
  ~PulledAudioOut() override { Stop(); }

  bool Open(const std::string& path, std::string& failure) {
    if (path.empty()) return true;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
      failure = "cannot write the audio capture file \"" + path + "\"";
      return false;
    }
    WriteWavHeader(file_, 0);
    return true;
  }

  bool IsDevice() const override { return false; }
  void Start(AudioRender render) override { render_ = std::move(render); }
  void Stop() override {
    render_ = nullptr;
    if (!file_) return;
    WriteWavHeader(file_, static_cast<uint32_t>(std::min<uint64_t>(dataBytes_, 0xFFFFFFFFu - 36)));
    std::fclose(file_);
    file_ = nullptr;
  }
  void Lock() override {}
  void Unlock() override {}
  void Advance(int frames) override {
    if (frames <= 0) return;
    buffer_.assign(static_cast<size_t>(frames) * 2, 0.0f);
    if (render_) render_(buffer_.data(), frames);
    if (file_) {
      std::fseek(file_, 0, SEEK_END);
      std::fwrite(buffer_.data(), sizeof(float), buffer_.size(), file_);
      dataBytes_ += buffer_.size() * sizeof(float);
    }
  }

 private:
  AudioRender render_;
  std::FILE* file_ = nullptr;
  uint64_t dataBytes_ = 0;
  std::vector<float> buffer_;
};

}  // namespace

std::unique_ptr<IAudioOut> CreatePulledAudioOut(const std::string& capturePath, std::string& failure) {
  auto out = std::make_unique<PulledAudioOut>();
  if (!out->Open(capturePath, failure)) return nullptr;
  return out;
}

}  // namespace kv::plat
