// Test helpers for the sound system: generated sounds in memory, the mix rendered without a device, and level
// measurements.
#pragma once

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "sound/sound_directx.h"

namespace kv::soundtest {

// A 16-bit PCM WAV file of the given interleaved samples.
inline std::vector<uint8_t> Wav16(const std::vector<float>& samples, int channels, int rate) {
  std::vector<uint8_t> out;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&](uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(t[i]));
  };
  const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  out.reserve(44 + bytes);
  tag("RIFF");
  u32(36 + bytes);
  tag("WAVE");
  tag("fmt ");
  u32(16);
  u16(1);
  u16(static_cast<uint16_t>(channels));
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate * channels * 2));
  u16(static_cast<uint16_t>(channels * 2));
  u16(16);
  tag("data");
  u32(bytes);
  for (float s : samples) u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(s, -1.0f, 1.0f) * 32767))));
  return out;
}

// Mono sine samples.
inline std::vector<float> Sine(double hz, double seconds, int rate, double amplitude) {
  std::vector<float> v(static_cast<size_t>(seconds * rate));
  for (size_t i = 0; i < v.size(); ++i)
    v[i] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate));
  return v;
}

// A file of the format written with libsndfile (mono), returned as bytes.
inline std::vector<uint8_t> Encode(const std::vector<float>& mono, int rate, int format, const std::string& ext) {
  const std::string path = (std::filesystem::temp_directory_path() / ("kv_sound_test" + ext)).string();
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return {};
  sf_writef_float(f, mono.data(), static_cast<sf_count_t>(mono.size()));
  sf_close(f);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  return bytes;
}

// Renders the next frames of the mix.
inline std::vector<float> Mix(int frames) {
  std::vector<float> out(static_cast<size_t>(frames) * 2);
  snd::RenderMix(out.data(), frames);
  return out;
}

// RMS of one channel (0 left, 1 right) over frames [from, to).
inline double Rms(const std::vector<float>& stereo, int channel, size_t from = 0, size_t to = SIZE_MAX) {
  to = std::min(to, stereo.size() / 2);
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += static_cast<double>(stereo[2 * i + channel]) * stereo[2 * i + channel];
  return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

inline double Db(double ratio) { return 20.0 * std::log10(ratio); }

// A fresh sound system on no output with the global volume at 0 dB (the mix equals the sum of the voices).
inline void FreshSystem() {
  snd::StartSoundSystem(nullptr);
  snd::SetGlobalVolume(10.0 / 11.0);
}

}  // namespace kv::soundtest
