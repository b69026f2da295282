#pragma once
// The sound system: the global sample table on top of the software mixer and the platform audio output. Each
// sample is one playable sound — an engine sample (decoded frames or a MIDI song on its own mixer channel with
// volume, pan, effects and 3D) or a multimedia sample (a file played by the single media player). Background
// music samples share one primary slot: playing one stops the others.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sound/sound_effects.h"
#include "sound/sound_mixer.h"

namespace kv::plat {
class IAudioOut;
}

namespace kv::snd {

inline constexpr int kKindNormal = 0, kKindBackground = 1, kKind3D = 2, kKindMultimedia = 3;
inline constexpr int kMaxMediaFileName = 127;
inline constexpr int kMaxMidiSynths = 4;  // MIDI songs with a live synthesiser at once
inline constexpr const char* kMsgMediaNameTooLong = "Music file name too long for player.";

// Starts the system on the output (not owned; nullptr renders nothing but keeps every state); any previous system
// is stopped and the sample table emptied. Always succeeds.
bool StartSoundSystem(plat::IAudioOut* out);
// Frees every sample and detaches from the output.
void StopSoundSystem();
bool SoundSystemStarted();
// Counts the starts of the system: a sample index kept from an earlier run means nothing.
int SystemGeneration();
// Where messages of the media player go (a message box in the runner; stderr by default).
void SetSoundMessageHook(std::function<void(const std::string&)> hook);

int NewSample(int kind);
// A sample from the file (the media player's kind when the engine cannot load it); −1 when the file is missing.
int SampleFromFile(const std::string& file, int kind);
// An engine sample from the bytes; −1 when they are no audio the engine decodes, or kind is 3.
int SampleFromMemory(const std::vector<uint8_t>& bytes, int kind);
void FreeSample(int index);
void FreeAllSamples();
bool SampleUsed(int index);
int SampleKind(int index);  // −1 for an entry not in use

void Play(int index, bool loop);
void Stop(int index);
void StopAll();
bool IsPlaying(int index);

void SetVolume(int index, double fadeMilliseconds, double volume);
void SetPan(int index, double pan);
void SetGlobalVolume(double volume);
int GlobalVolume();  // hundredths of a decibel
void SetTempo(double factor);
double Tempo();
void SetSearchDirectory(const std::string& path);
const std::string& SearchDirectory();

void SetEffects(int index, int bits);
// Sets every parameter of the first effect of the kind in the sample's chain; nothing when there is none.
void SetEffectParams(int index, EffectKind kind, const std::vector<double>& values);
// The effects of a sample's chain in order (empty for unused or media samples).
std::vector<EffectKind> SampleEffects(int index);
// The parameters of the first effect of the kind; empty when the chain has none.
std::vector<double> SampleEffectParams(int index, EffectKind kind);

void Set3DPosition(int index, double x, double y, double z);
void Set3DVelocity(int index, double x, double y, double z);
void Set3DDistance(int index, double minDistance, double maxDistance);
void Set3DCone(int index, double x, double y, double z, int insideAngle, int outsideAngle, double outsideVolume);
// The 3D state of a sample (defaults for others).
Sound3D Sample3D(int index);
int SampleVolume(int index);  // target volume in hundredths of a decibel, 0 for others
int SamplePan(int index);

// Frames rendered since the system started (the clock of the media player and the CD emulation).
int64_t RenderedFrames();
// Pulled outputs: renders the next frames (one step's worth); a device output ignores it.
void AdvanceAudio(int frames);
// Mixes the next frames into `stereo` (zeroed first); what the output's callback runs.
void RenderMix(float* stereo, int frames);

// A free-standing stream on the mixer for the media command interpreter: decoded frames played at a fixed level.
int OpenStream(const std::string& file);  // −1 when the file cannot be decoded
void CloseStream(int id);
void PlayStream(int id, int64_t fromFrame, int64_t toFrame, bool loop);  // toFrame < 0: to the end
void StopStream(int id);  // pauses: the position stays
bool StreamPlaying(int id);
int64_t StreamPosition(int id);
void SeekStream(int id, int64_t frame);
int64_t StreamLength(int id);

}  // namespace kv::snd
