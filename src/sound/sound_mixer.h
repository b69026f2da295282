#pragma once
// The software mixer: one channel per sample (the sample's own playback path) with its source (decoded frames or
// a MIDI song), the playing cursors, volume with fades, pan, the effect chain and the 3D position; the master
// stage applies the global volume and a soft clipper. Everything here runs inside the audio lock.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio_decode.h"
#include "sound/sound_effects.h"

namespace kv::snd {

inline constexpr int kMixRate = 44100;

// Levels in hundredths of a decibel, as the sound functions give them.
double GainOfHundredths(double hundredths);
// Volume 0 … 1 → round(v × 9600) − 9600; pan −1 … 1 → round(p × 10000); global 0 … 1 → round(v × 11000 − 10000)
// limited to −10000 … 1000. Values outside the ranges are clamped first.
int VolumeHundredths(double volume);
int PanHundredths(double pan);
int GlobalVolumeHundredths(double volume);
// Pan in hundredths: the side away from the pan is attenuated, the other keeps full level.
void PanGains(int panHundredths, double& left, double& right);

// Where a 3D sound is, relative to a listener at the origin facing +z with +x to the right.
struct Sound3D {
  double x = 0, y = 0, z = 0;
  double vx = 0, vy = 0, vz = 0;  // kept; the Doppler shift is not applied
  double minDistance = 1, maxDistance = 1e9;
  double coneX = 0, coneY = 0, coneZ = 1;
  int insideAngle = 360, outsideAngle = 360;  // degrees
  int outsideVolume = 0;                      // hundredths of a decibel
};
// Inverse-distance gain: 1 up to the minimum distance, min / d beyond, constant past the maximum distance.
double DistanceGain(const Sound3D& s);
// Cone gain toward the listener: 1 inside half the inside angle, the outside volume beyond half the outside
// angle, in between interpolated in decibels.
double ConeGain(const Sound3D& s);
// Left and right gains from the direction of the source (the far side down to half level).
void DirectionGains(const Sound3D& s, double& left, double& right);

class MixerChannel {
 public:
  static constexpr int kMaxCursors = 16;

  // The source: decoded frames, or a MIDI song.
  void SetPcm(std::shared_ptr<const plat::PcmBuffer> pcm) { pcm_ = std::move(pcm); }
  void SetMidi(std::unique_ptr<plat::IMidiSource> midi) { midi_ = std::move(midi); }
  bool HasSource() const { return pcm_ || midi_; }
  bool IsMidi() const { return midi_ != nullptr; }
  plat::IMidiSource* Midi() { return midi_.get(); }
  const plat::PcmBuffer* Pcm() const { return pcm_.get(); }

  // Starts another playing of the source (a MIDI song restarts); loop repeats it until stopped.
  void Play(bool loop, int64_t startFrame = 0);
  void Stop();
  bool Playing() const;
  // Frame position of the most recent playing (0 when none).
  int64_t Position() const;

  // Volume in hundredths of a decibel reached over the given number of frames, linearly in decibels.
  void SetVolume(int hundredths, int64_t fadeFrames);
  int Volume() const { return static_cast<int>(volume_); }
  int TargetVolume() const { return target_; }
  void SetPan(int hundredths) { pan_ = hundredths; }
  int Pan() const { return pan_; }
  // Media channels ignore volume, pan, effects and 3D.
  void SetFixedLevel(bool fixed) { fixedLevel_ = fixed; }

  void SetEffects(int bits);
  EffectChain& Effects() { return effects_; }
  void Set3D(bool on) { is3D_ = on; }
  bool Is3D() const { return is3D_; }
  Sound3D& Spatial() { return spatial_; }
  void SetTempo(double factor);

  // Adds `frames` frames of this channel into `out` (stereo); scratch is at least 2 × frames floats.
  void Render(float* out, float* scratch, int frames);

 private:
  struct Cursor {
    int64_t pos;
    bool loop;
  };
  std::shared_ptr<const plat::PcmBuffer> pcm_;
  std::unique_ptr<plat::IMidiSource> midi_;
  std::vector<Cursor> cursors_;
  double volume_ = 0;       // current, hundredths of a decibel
  int target_ = 0;
  double fadeStep_ = 0;     // hundredths per frame
  int64_t fadeLeft_ = 0;
  int pan_ = 0;
  bool fixedLevel_ = false;
  EffectChain effects_;
  int64_t tailLeft_ = 0;    // frames the effects still ring after the sources ended
  bool is3D_ = false;
  Sound3D spatial_;
};

// Master stage: the gain of the given level, then a soft clip above 0.9 that never passes 1.
void MasterOut(float* stereo, int frames, int globalHundredths);

}  // namespace kv::snd
