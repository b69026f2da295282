#pragma once
// Audio decoders: stored sound files become stereo float frames at the mixer rate; standard MIDI files become a
// synthesiser source rendered on demand.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kv::plat {

// Interleaved stereo frames at kAudioRate.
struct PcmBuffer {
  std::vector<float> samples;
  int64_t Frames() const { return static_cast<int64_t>(samples.size() / 2); }
};

// Decodes any format libsndfile reads (WAV, AIFF, FLAC, Ogg Vorbis, Opus, MP3, ...), converted to stereo and
// resampled to kAudioRate. nullopt when the bytes are not audio it knows.
std::optional<PcmBuffer> DecodeAudio(const uint8_t* bytes, size_t size);
std::optional<PcmBuffer> DecodeAudioFile(const std::string& path);

// True for a standard MIDI file ("MThd" header).
bool IsMidi(const uint8_t* bytes, size_t size);

// One playing MIDI song through a software synthesiser.
class IMidiSource {
 public:
  virtual ~IMidiSource() = default;
  // Makes the synthesiser with the soundfont loaded (slow: done before playing, outside the audio lock); false
  // when the soundfont does not load. Start prepares on its own when needed.
  virtual bool Prepare() = 0;
  // Frees the synthesiser (the song stops); Prepare makes it again.
  virtual void Release() = 0;
  virtual bool Prepared() const = 0;
  // Restarts the song from its beginning; loop plays it again and again.
  virtual void Start(bool loop) = 0;
  virtual void Stop() = 0;
  // True from Start until the last event of the song has played (never while looping).
  virtual bool Playing() const = 0;
  // Tempo factor (1 = as written).
  virtual void SetTempo(double factor) = 0;
  // Adds the next frames of the song (stereo, kAudioRate) into `stereo`; silence when stopped.
  virtual void Render(float* stereo, int frames) = 0;
};

// A source for the given MIDI bytes (its synthesiser is made on Prepare); nullptr when there is no soundfont or
// the data is not a MIDI file. The
// soundfont is KV_SOUNDFONT when set, else the system's default General MIDI soundfont; without one a single line
// is printed on stderr (once per run).
std::unique_ptr<IMidiSource> CreateMidiSource(const std::vector<uint8_t>& midi);

}  // namespace kv::plat
