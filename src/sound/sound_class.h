#pragma once
// CSound: one sound resource as stored in the game data — the bytes of an audio file with its kind, effects,
// default volume and pan, and the preload flag. Playback state (samples) is added by the sound system.
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

  // False for a wrong record version (nothing more is read); truncation throws StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  bool operator==(const CSound&) const = default;
};

}  // namespace kv
