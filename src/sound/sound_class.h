#pragma once
// CSound: one sound resource as stored in the game data — the bytes of an audio file with its kind, effects,
// default volume and pan, and the preload flag — and the playable sample made from it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv {

class CStream;

struct CSound {
  static constexpr int32_t kRecordVersion = 600;

  int kind = -1;               // 0 normal, 1 background music, 2 3D sound, 3 multimedia; -1 empty
  std::string extension;       // of the source file, with its dot (".wav")
  std::string fileName;        // source file name without directory
  std::optional<std::vector<uint8_t>> data;  // the file's bytes; none when the record holds no data
  bool preload = false;
  int effects = 0;             // bit set of sound effects
  double volume = 1.0;         // 0 ... 1
  double pan = 0.0;            // -1 ... 1
  int sample = -1;             // index in the sample table, -1 until made
  std::string temporaryFile;   // where the bytes went for the media player

  CSound() = default;
  CSound(const CSound& other);  // a copy has no sample of its own yet
  CSound& operator=(const CSound& other);
  ~CSound();

  // False for a wrong record version (nothing more is read); truncation throws StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  // Reads the whole file (keeping its extension and name); makes the sample at once when preload is set. False
  // when the file cannot be read.
  bool FromFile(const std::string& file, int kind, bool preload);
  // Makes the playable sample: the engine for kinds 0 … 2 (falling back to the media player when it refuses the
  // data), the media player through a temporary file for kind 3; then effects, volume and pan.
  void MakeSample();
  void PrepareIfPreload();
  // The sample, made on first use; -1 when none could be made.
  int Sample();
  void FreeSample();

  int sampleGeneration_ = 0;  // the sound system run the sample belongs to

  // The stored record (playback state is not part of it).
  bool operator==(const CSound& o) const {
    return kind == o.kind && extension == o.extension && fileName == o.fileName && data == o.data &&
           preload == o.preload && effects == o.effects && volume == o.volume && pan == o.pan;
  }
};

}  // namespace kv
