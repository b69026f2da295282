// Stored sound files through libsndfile: read from memory (virtual I/O) or a file, mixed to stereo and resampled
// to the mixer rate with linear interpolation.
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <iostream>

#include "platform/audio_decode.h"
#include "platform/audio_out.h"
#include "platform/library_open.h"

namespace kv::plat {
namespace {

// libsndfile is opened on the first sound decoded, not at start: it brings the FLAC, Vorbis, Opus, MPEG and LAME
// codec libraries, whose loading would cost every run (most short runs decode nothing).
struct SndfileApi {
  decltype(&::sf_open) open = nullptr;
  decltype(&::sf_open_virtual) openVirtual = nullptr;
  decltype(&::sf_readf_float) readFloat = nullptr;
  decltype(&::sf_close) close = nullptr;
  bool loaded = false;
};

SndfileApi LoadSndfile() {
  SndfileApi api;
  void* lib = OpenLibraryOnDemand("libsndfile.so.1");
  if (lib) {
    api.open = reinterpret_cast<decltype(api.open)>(dlsym(lib, "sf_open"));
    api.openVirtual = reinterpret_cast<decltype(api.openVirtual)>(dlsym(lib, "sf_open_virtual"));
    api.readFloat = reinterpret_cast<decltype(api.readFloat)>(dlsym(lib, "sf_readf_float"));
    api.close = reinterpret_cast<decltype(api.close)>(dlsym(lib, "sf_close"));
    api.loaded = api.open && api.openVirtual && api.readFloat && api.close;
  }
  if (!api.loaded) std::cerr << "kvrun: libsndfile cannot be loaded: sounds stay silent\n";
  return api;
}

// The library's functions, opened once; null pointers and `loaded` false when it cannot be opened.
const SndfileApi& Sf() {
  static const SndfileApi api = LoadSndfile();
  return api;
}


struct MemoryFile {
  const uint8_t* bytes;
  sf_count_t size;
  sf_count_t pos = 0;
};

sf_count_t MemLength(void* user) { return static_cast<MemoryFile*>(user)->size; }
sf_count_t MemSeek(sf_count_t offset, int whence, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  sf_count_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
  m->pos = std::clamp<sf_count_t>(base + offset, 0, m->size);
  return m->pos;
}
sf_count_t MemRead(void* out, sf_count_t count, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const sf_count_t n = std::clamp<sf_count_t>(count, 0, m->size - m->pos);
  if (n > 0) std::memcpy(out, m->bytes + m->pos, static_cast<size_t>(n));
  m->pos += n;
  return n;
}
sf_count_t MemWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t MemTell(void* user) { return static_cast<MemoryFile*>(user)->pos; }

// Reads every frame of an open file into stereo frames at the mixer rate.
std::optional<PcmBuffer> ReadAll(SNDFILE* file, const SF_INFO& info) {
  if (!file) return std::nullopt;
  std::optional<PcmBuffer> result;
  if (info.channels >= 1 && info.samplerate > 0 && info.frames >= 0) {
    std::vector<float> raw;
    std::vector<float> block(static_cast<size_t>(4096) * static_cast<size_t>(info.channels));
    std::vector<float> stereo;
    for (;;) {
      const sf_count_t got = Sf().readFloat(file, block.data(), 4096);
      if (got <= 0) break;
      for (sf_count_t f = 0; f < got; ++f) {
        const float* frame = block.data() + f * info.channels;
        stereo.push_back(frame[0]);
        stereo.push_back(info.channels >= 2 ? frame[1] : frame[0]);
      }
    }
    PcmBuffer pcm;
    if (info.samplerate == kAudioRate) {
      pcm.samples = std::move(stereo);
    } else {
      const int64_t inFrames = static_cast<int64_t>(stereo.size() / 2);
      const double step = static_cast<double>(info.samplerate) / kAudioRate;
      const int64_t outFrames = inFrames > 0 ? static_cast<int64_t>(static_cast<double>(inFrames) / step) : 0;
      pcm.samples.resize(static_cast<size_t>(outFrames) * 2);
      for (int64_t i = 0; i < outFrames; ++i) {
        const double src = static_cast<double>(i) * step;
        const int64_t a = static_cast<int64_t>(src);
        const int64_t b = std::min(a + 1, inFrames - 1);
        const float t = static_cast<float>(src - static_cast<double>(a));
        for (int c = 0; c < 2; ++c)
          pcm.samples[static_cast<size_t>(i * 2 + c)] =
              stereo[static_cast<size_t>(a * 2 + c)] * (1 - t) + stereo[static_cast<size_t>(b * 2 + c)] * t;
      }
    }
    result = std::move(pcm);
  }
  Sf().close(file);
  return result;
}

}  // namespace

std::optional<PcmBuffer> DecodeAudio(const uint8_t* bytes, size_t size) {
  if (!bytes || size == 0 || IsMidi(bytes, size)) return std::nullopt;
  MemoryFile mem{bytes, static_cast<sf_count_t>(size)};
  SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
  SF_INFO info{};
  if (!Sf().loaded) return std::nullopt;
  SNDFILE* file = Sf().openVirtual(&io, SFM_READ, &info, &mem);
  return ReadAll(file, info);
}

std::optional<PcmBuffer> DecodeAudioFile(const std::string& path) {
  SF_INFO info{};
  if (!Sf().loaded) return std::nullopt;
  SNDFILE* file = Sf().open(path.c_str(), SFM_READ, &info);
  return ReadAll(file, info);
}

bool IsMidi(const uint8_t* bytes, size_t size) { return bytes && size >= 14 && std::memcmp(bytes, "MThd", 4) == 0; }

}  // namespace kv::plat
