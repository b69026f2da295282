// soundbench: mixes 64 looping voices with two effects each for 60 s of audio without a device and prints the
// CPU time spent per second of audio.
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>
#include <string>
#include <vector>

#include "sound/sound_directx.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::vector<uint8_t> ToneWav(double hz, double seconds) {
  const int rate = 44100;
  const int frames = static_cast<int>(seconds * rate);
  std::vector<uint8_t> out;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&](uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  const uint32_t bytes = static_cast<uint32_t>(frames * 4);
  for (char c : std::string("RIFF")) out.push_back(static_cast<uint8_t>(c));
  u32(36 + bytes);
  for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
  u32(16);
  u16(1);
  u16(2);
  u32(rate);
  u32(rate * 4);
  u16(4);
  u16(16);
  for (char c : std::string("data")) out.push_back(static_cast<uint8_t>(c));
  u32(bytes);
  for (int i = 0; i < frames; ++i) {
    const auto v = static_cast<int16_t>(3000 * std::sin(2 * std::numbers::pi * hz * i / rate));
    u16(static_cast<uint16_t>(v));
    u16(static_cast<uint16_t>(v));
  }
  return out;
}

}  // namespace

int main() {
  constexpr int kVoices = 64, kSeconds = 60, kRate = 44100, kBlock = 1024;
  kv::snd::StartSoundSystem(nullptr);
  kv::snd::SetGlobalVolume(1);
  // Pairs of effects cycled over the voices.
  const int pairs[] = {kv::snd::kEffectEcho | kv::snd::kEffectReverb, kv::snd::kEffectChorus | kv::snd::kEffectCompressor,
                       kv::snd::kEffectFlanger | kv::snd::kEffectEqualizer, kv::snd::kEffectGargle | kv::snd::kEffectEcho};
  for (int v = 0; v < kVoices; ++v) {
    const int s = kv::snd::SampleFromMemory(ToneWav(110.0 + 7.0 * v, 1.0 + 0.05 * v), kv::snd::kKindNormal);
    kv::snd::SetEffects(s, pairs[v % 4]);
    kv::snd::SetVolume(s, 0, 0.9);
    kv::snd::Play(s, true);
  }
  std::vector<float> out(2 * kBlock);
  const double start = CpuSeconds();
  for (int64_t done = 0; done < int64_t{kSeconds} * kRate; done += kBlock) kv::snd::RenderMix(out.data(), kBlock);
  const double perSecond = (CpuSeconds() - start) / kSeconds;
  std::printf("kvrun mixer: 64 voices, 2 effects each: %.3f ms CPU per second of audio (%.2f %% of one core)\n",
              perSecond * 1000, perSecond * 100);
  kv::snd::StopSoundSystem();
  return 0;
}
