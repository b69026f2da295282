// soundbench: mixes 64 looping voices with two effects each for 60 s of audio without a device and prints the
// CPU time spent per second of audio. Built with SDL_mixer (KV_WITH_SDL_MIXER), it then lets SDL_mixer play the
// same 64 voices without effects on SDL's dummy audio driver for a few seconds and prints its cost the same way.
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>
#include <string>
#include <vector>

#include "sound/sound_directx.h"

#ifdef KV_WITH_SDL_MIXER
#include <SDL.h>
#include <SDL_mixer.h>
#endif

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

constexpr int kVoices = 64, kSeconds = 60, kRate = 44100, kBlock = 1024;

// CPU seconds our mixer spends per second of audio on the 64 voices, with two effects each or none.
double MeasureMixer(bool effects) {
  kv::snd::StartSoundSystem(nullptr);
  kv::snd::SetGlobalVolume(1);
  // Pairs of effects cycled over the voices.
  const int pairs[] = {kv::snd::kEffectEcho | kv::snd::kEffectReverb, kv::snd::kEffectChorus | kv::snd::kEffectCompressor,
                       kv::snd::kEffectFlanger | kv::snd::kEffectEqualizer, kv::snd::kEffectGargle | kv::snd::kEffectEcho};
  for (int v = 0; v < kVoices; ++v) {
    const int s = kv::snd::SampleFromMemory(ToneWav(110.0 + 7.0 * v, 1.0 + 0.05 * v), kv::snd::kKindNormal);
    if (effects) kv::snd::SetEffects(s, pairs[v % 4]);
    kv::snd::SetVolume(s, 0, 0.9);
    kv::snd::Play(s, true);
  }
  std::vector<float> out(2 * kBlock);
  const double start = CpuSeconds();
  for (int64_t done = 0; done < int64_t{kSeconds} * kRate; done += kBlock) kv::snd::RenderMix(out.data(), kBlock);
  const double perSecond = (CpuSeconds() - start) / kSeconds;
  kv::snd::StopSoundSystem();
  return perSecond;
}

}  // namespace

int main() {
  const double perSecond = MeasureMixer(true);
  std::printf("kvrun mixer: 64 voices, 2 effects each: %.3f ms CPU per second of audio (%.2f %% of one core)\n",
              perSecond * 1000, perSecond * 100);
  const double plain = MeasureMixer(false);
  std::printf("kvrun mixer: 64 voices, no effects: %.3f ms CPU per second of audio (%.2f %% of one core)\n",
              plain * 1000, plain * 100);

#ifdef KV_WITH_SDL_MIXER
  // SDL_mixer mixes on the audio thread in real time: its CPU time over a stretch of playing, less the same
  // stretch idle, is the cost of that much audio.
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_AUDIO) != 0 || Mix_OpenAudio(kRate, AUDIO_F32SYS, 2, kBlock) != 0) {
    std::printf("SDL_mixer: cannot open the dummy audio device\n");
    return 0;
  }
  Mix_AllocateChannels(kVoices);
  std::vector<std::vector<uint8_t>> wavs;
  std::vector<Mix_Chunk*> chunks;
  for (int v = 0; v < kVoices; ++v) {
    wavs.push_back(ToneWav(110.0 + 7.0 * v, 1.0 + 0.05 * v));
    chunks.push_back(Mix_LoadWAV_RW(SDL_RWFromConstMem(wavs.back().data(), static_cast<int>(wavs.back().size())), 1));
  }
  constexpr int kMixerSeconds = 5;
  double idleStart = CpuSeconds();
  SDL_Delay(kMixerSeconds * 1000);
  const double idle = CpuSeconds() - idleStart;
  for (int v = 0; v < kVoices; ++v) Mix_PlayChannel(v, chunks[v], -1);
  const double playStart = CpuSeconds();
  SDL_Delay(kMixerSeconds * 1000);
  const double mixerPerSecond = (CpuSeconds() - playStart - idle) / kMixerSeconds;
  Mix_HaltChannel(-1);
  for (Mix_Chunk* c : chunks) Mix_FreeChunk(c);
  Mix_CloseAudio();
  SDL_Quit();
  std::printf("SDL_mixer: 64 voices, no effects: %.3f ms CPU per second of audio (%.2f %% of one core)\n",
              mixerPerSecond * 1000, mixerPerSecond * 100);
  if (mixerPerSecond > 0)
    std::printf("ratio kvrun mixer / SDL_mixer: %.2f with our effects, %.2f both without\n",
                perSecond / mixerPerSecond, plain / mixerPerSecond);
#endif
  return 0;
}
