#include "sound/sound_directx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>

#include "platform/audio_decode.h"
#include "platform/audio_out.h"

namespace kv::snd {
namespace {

// One entry of the sample table.
struct Sample {
  bool used = false;
  int kind = kKindNormal;
  std::unique_ptr<MixerChannel> channel;  // engine kinds
  std::string fileName;                   // multimedia kind
  std::shared_ptr<const plat::PcmBuffer> mediaPcm;  // decoded on first play of a multimedia sample
  bool mediaTried = false;
};

// Decoded frames played at a fixed level from a position up to an end, optionally looping.
struct Stream {
  std::shared_ptr<const plat::PcmBuffer> pcm;
  int64_t pos = 0, end = 0;
  bool playing = false, loop = false;

  void Render(float* out, int frames) {
    if (!playing || !pcm) return;
    const int64_t length = std::min<int64_t>(end, pcm->Frames());
    int done = 0;
    while (done < frames) {
      if (pos >= length) {
        if (!loop || length <= 0) {
          playing = false;
          return;
        }
        pos = 0;
      }
      const int n = static_cast<int>(std::min<int64_t>(frames - done, length - pos));
      const float* from = pcm->samples.data() + 2 * pos;
      for (int i = 0; i < 2 * n; ++i) out[2 * done + i] += from[i];
      done += n;
      pos += n;
    }
  }
};

struct System {
  bool started = false;
  plat::IAudioOut* out = nullptr;
  std::vector<Sample> samples;
  int globalVolume = 0;
  double tempo = 1.0;
  std::string searchDirectory;
  // The media player: one stream and the file it holds.
  Stream media;
  std::string mediaFile;
  std::map<int, Stream> streams;
  std::vector<int> midiLive;  // samples whose MIDI synthesiser exists, oldest start first
  int nextStream = 1;
  int64_t rendered = 0;
  int generation = 0;
  std::vector<float> scratch;
  std::function<void(const std::string&)> message;
};

System& Sys() {
  static System s;
  return s;
}

Sample* Get(int index) {
  System& s = Sys();
  if (index < 0 || index >= static_cast<int>(s.samples.size()) || !s.samples[index].used) return nullptr;
  return &s.samples[index];
}

MixerChannel* Channel(int index) {
  Sample* smp = Get(index);
  return smp && smp->kind != kKindMultimedia ? smp->channel.get() : nullptr;
}

// The sound functions may run before the runner started the system (tests, tools): start on no output then.
void EnsureStarted() {
  if (!Sys().started) StartSoundSystem(nullptr);
}

int64_t MsToFrames(double ms) {
  if (!std::isfinite(ms) || ms <= 0) return 0;
  return static_cast<int64_t>(std::min(ms, 1e9) * kMixRate / 1000.0);
}

void ShowMessage(const std::string& text) {
  if (Sys().message) Sys().message(text);
  else std::cerr << text << '\n';
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// Makes the channel's source from bytes: decoded frames or a MIDI song. False when neither works.
bool LoadSource(MixerChannel& ch, const std::vector<uint8_t>& bytes) {
  if (plat::IsMidi(bytes.data(), bytes.size())) {
    auto midi = plat::CreateMidiSource(bytes);
    if (!midi) return false;
    midi->SetTempo(Sys().tempo);
    ch.SetMidi(std::move(midi));
    return true;
  }
  auto pcm = plat::DecodeAudio(bytes.data(), bytes.size());
  if (!pcm) return false;
  ch.SetPcm(std::make_shared<const plat::PcmBuffer>(std::move(*pcm)));
  return true;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + n);
    std::fclose(f);
  }
  return bytes;
}

}  // namespace

bool StartSoundSystem(plat::IAudioOut* out) {
  StopSoundSystem();
  System& s = Sys();
  s.started = true;
  ++s.generation;
  s.out = out;
  s.globalVolume = 0;
  s.tempo = 1.0;
  s.rendered = 0;
  if (out) out->Start([](float* stereo, int frames) { RenderMix(stereo, frames); });
  return true;
}

void StopSoundSystem() {
  System& s = Sys();
  if (!s.started) return;
  if (s.out) s.out->Stop();
  s.samples.clear();
  s.streams.clear();
  s.midiLive.clear();
  s.media = Stream();
  s.mediaFile.clear();
  s.out = nullptr;
  s.started = false;
}

bool SoundSystemStarted() { return Sys().started; }
int SystemGeneration() { return Sys().generation; }

void SetSoundMessageHook(std::function<void(const std::string&)> hook) { Sys().message = std::move(hook); }

int NewSample(int kind) {
  EnsureStarted();
  System& s = Sys();
  plat::AudioLock lock(s.out);
  size_t i = 0;
  while (i < s.samples.size() && s.samples[i].used) ++i;
  if (i == s.samples.size()) s.samples.emplace_back();
  Sample& smp = s.samples[i];
  smp = Sample();
  smp.used = true;
  smp.kind = kind;
  if (kind != kKindMultimedia) {
    smp.channel = std::make_unique<MixerChannel>();
    smp.channel->Set3D(kind == kKind3D);
  }
  return static_cast<int>(i);
}

int SampleFromFile(const std::string& file, int kind) {
  if (!IsRegularFile(file)) return -1;
  const int index = NewSample(kind);
  Sample& smp = Sys().samples[index];
  if (kind != kKindMultimedia) {
    const std::vector<uint8_t> bytes = ReadWholeFile(file);
    plat::AudioLock lock(Sys().out);
    if (!LoadSource(*smp.channel, bytes)) {
      smp.kind = kKindMultimedia;
      smp.channel.reset();
    }
  }
  if (smp.kind == kKindMultimedia) smp.fileName = file;
  return index;
}

int SampleFromMemory(const std::vector<uint8_t>& bytes, int kind) {
  if (kind == kKindMultimedia) return -1;
  EnsureStarted();
  // Decode before taking the audio lock: the device thread keeps playing meanwhile.
  MixerChannel probe;
  if (!LoadSource(probe, bytes)) return -1;
  const int index = NewSample(kind);
  plat::AudioLock lock(Sys().out);
  MixerChannel& ch = *Sys().samples[index].channel;
  ch = std::move(probe);
  ch.Set3D(kind == kKind3D);
  return index;
}

void FreeSample(int index) {
  Sample* smp = Get(index);
  if (!smp) return;
  Stop(index);
  std::erase(Sys().midiLive, index);
  plat::AudioLock lock(Sys().out);
  *smp = Sample();
}

void FreeAllSamples() {
  for (int i = 0; i < static_cast<int>(Sys().samples.size()); ++i) FreeSample(i);
}

bool SampleUsed(int index) { return Get(index) != nullptr; }
int SampleKind(int index) {
  const Sample* smp = Get(index);
  return smp ? smp->kind : -1;
}

void Play(int index, bool loop) {
  Sample* smp = Get(index);
  if (!smp) return;
  System& s = Sys();
  if (smp->kind == kKindMultimedia) {
    if (static_cast<int>(smp->fileName.size()) >= kMaxMediaFileName) {
      ShowMessage(kMsgMediaNameTooLong);
      return;
    }
    if (!IsRegularFile(smp->fileName)) return;
    if (!smp->mediaTried) {
      smp->mediaTried = true;
      if (auto pcm = plat::DecodeAudioFile(smp->fileName))
        smp->mediaPcm = std::make_shared<const plat::PcmBuffer>(std::move(*pcm));
    }
    plat::AudioLock lock(s.out);
    s.media = Stream();
    s.mediaFile = smp->fileName;
    if (!smp->mediaPcm) return;  // a file the player cannot open stays silent
    s.media.pcm = smp->mediaPcm;
    s.media.end = smp->mediaPcm->Frames();
    s.media.playing = true;
    // A media length of 0 would restart the file endlessly: such a file plays once.
    s.media.loop = loop && s.media.end > 0;
    return;
  }
  if (plat::IMidiSource* midi = smp->channel->Midi()) {
    // Synthesisers are made outside the audio lock (loading the soundfont is slow); at most kMaxMidiSynths live,
    // the one started longest ago gives its synthesiser up.
    std::erase(s.midiLive, index);
    if (!midi->Prepared() && !midi->Prepare()) return;
    s.midiLive.push_back(index);
    while (static_cast<int>(s.midiLive.size()) > kMaxMidiSynths) {
      const int oldest = s.midiLive.front();
      s.midiLive.erase(s.midiLive.begin());
      if (MixerChannel* ch = Channel(oldest); ch && ch->Midi()) {
        plat::AudioLock lock(s.out);
        ch->Midi()->Release();
      }
    }
  }
  plat::AudioLock lock(s.out);
  if (smp->kind == kKindBackground) {
    for (Sample& other : s.samples)
      if (other.used && other.kind == kKindBackground && &other != smp) other.channel->Stop();
  }
  smp->channel->Play(loop);
}

void Stop(int index) {
  Sample* smp = Get(index);
  if (!smp) return;
  System& s = Sys();
  plat::AudioLock lock(s.out);
  if (smp->kind == kKindMultimedia) {
    if (s.mediaFile == smp->fileName) s.media.playing = false;
    return;
  }
  smp->channel->Stop();
}

void StopAll() {
  for (int i = 0; i < static_cast<int>(Sys().samples.size()); ++i) Stop(i);
}

bool IsPlaying(int index) {
  Sample* smp = Get(index);
  if (!smp) return false;
  System& s = Sys();
  plat::AudioLock lock(s.out);
  if (smp->kind == kKindMultimedia) return s.mediaFile == smp->fileName && s.media.playing;
  return smp->channel->Playing();
}

void SetVolume(int index, double fadeMilliseconds, double volume) {
  MixerChannel* ch = Channel(index);
  if (!ch) return;
  plat::AudioLock lock(Sys().out);
  ch->SetVolume(VolumeHundredths(volume), MsToFrames(fadeMilliseconds));
}

void SetPan(int index, double pan) {
  MixerChannel* ch = Channel(index);
  if (!ch) return;
  plat::AudioLock lock(Sys().out);
  ch->SetPan(PanHundredths(pan));
}

void SetGlobalVolume(double volume) {
  EnsureStarted();
  plat::AudioLock lock(Sys().out);
  Sys().globalVolume = GlobalVolumeHundredths(volume);
}

int GlobalVolume() { return Sys().globalVolume; }

void SetTempo(double factor) {
  EnsureStarted();
  System& s = Sys();
  s.tempo = std::clamp(std::isfinite(factor) ? factor : 1.0, 0.01, 100.0);
  plat::AudioLock lock(s.out);
  for (Sample& smp : s.samples)
    if (smp.used && smp.channel) smp.channel->SetTempo(s.tempo);
}

double Tempo() { return Sys().tempo; }

void SetSearchDirectory(const std::string& path) { Sys().searchDirectory = path; }
const std::string& SearchDirectory() { return Sys().searchDirectory; }

void SetEffects(int index, int bits) {
  MixerChannel* ch = Channel(index);
  if (!ch) return;
  plat::AudioLock lock(Sys().out);
  ch->SetEffects(bits);
}

void SetEffectParams(int index, EffectKind kind, const std::vector<double>& values) {
  MixerChannel* ch = Channel(index);
  if (!ch) return;
  plat::AudioLock lock(Sys().out);
  if (Effect* e = ch->Effects().Find(kind)) e->SetParams(values);
}

std::vector<EffectKind> SampleEffects(int index) {
  std::vector<EffectKind> kinds;
  if (MixerChannel* ch = Channel(index))
    for (const auto& e : ch->Effects().Effects()) kinds.push_back(e->Kind());
  return kinds;
}

std::vector<double> SampleEffectParams(int index, EffectKind kind) {
  MixerChannel* ch = Channel(index);
  Effect* e = ch ? ch->Effects().Find(kind) : nullptr;
  return e ? e->Params() : std::vector<double>();
}

namespace {
Sound3D* Spatial(int index) {
  MixerChannel* ch = Channel(index);
  return ch && ch->Is3D() ? &ch->Spatial() : nullptr;
}
double Num(double v) { return std::isfinite(v) ? v : 0.0; }
}  // namespace

void Set3DPosition(int index, double x, double y, double z) {
  plat::AudioLock lock(Sys().out);
  if (Sound3D* s = Spatial(index)) {
    s->x = Num(x);
    s->y = Num(y);
    s->z = Num(z);
  }
}

void Set3DVelocity(int index, double x, double y, double z) {
  plat::AudioLock lock(Sys().out);
  if (Sound3D* s = Spatial(index)) {
    s->vx = Num(x);
    s->vy = Num(y);
    s->vz = Num(z);
  }
}

void Set3DDistance(int index, double minDistance, double maxDistance) {
  plat::AudioLock lock(Sys().out);
  if (Sound3D* s = Spatial(index)) {
    s->minDistance = std::max(Num(minDistance), 0.0);
    s->maxDistance = Num(maxDistance);
  }
}

void Set3DCone(int index, double x, double y, double z, int insideAngle, int outsideAngle, double outsideVolume) {
  plat::AudioLock lock(Sys().out);
  if (Sound3D* s = Spatial(index)) {
    s->coneX = Num(x);
    s->coneY = Num(y);
    s->coneZ = Num(z);
    s->insideAngle = std::clamp(insideAngle, 0, 360);
    s->outsideAngle = std::clamp(outsideAngle, 0, 360);
    s->outsideVolume = static_cast<int>(std::nearbyint(std::clamp(Num(outsideVolume), 0.0, 1.0) * 10000.0 - 10000.0));
  }
}

Sound3D Sample3D(int index) {
  const Sound3D* s = Spatial(index);
  return s ? *s : Sound3D();
}

int SampleVolume(int index) {
  MixerChannel* ch = Channel(index);
  return ch ? ch->TargetVolume() : 0;
}

int SamplePan(int index) {
  MixerChannel* ch = Channel(index);
  return ch ? ch->Pan() : 0;
}

int64_t RenderedFrames() { return Sys().rendered; }

void AdvanceAudio(int frames) {
  System& s = Sys();
  if (s.out) s.out->Advance(frames);
  else if (s.started && frames > 0) {
    // No output at all: the mix still advances so playing sounds end on time.
    std::vector<float> discard(static_cast<size_t>(frames) * 2);
    RenderMix(discard.data(), frames);
  }
}

void RenderMix(float* stereo, int frames) {
  System& s = Sys();
  std::fill(stereo, stereo + 2 * frames, 0.0f);
  constexpr int kBlock = 512;
  if (s.scratch.size() < 2 * kBlock) s.scratch.resize(2 * kBlock);
  // The global volume is the engine's: the media player and the command streams keep their own level.
  const float global = static_cast<float>(GainOfHundredths(s.globalVolume));
  for (int done = 0; done < frames; done += kBlock) {
    const int n = std::min(kBlock, frames - done);
    float* out = stereo + 2 * done;
    for (Sample& smp : s.samples)
      if (smp.used && smp.channel) smp.channel->Render(out, s.scratch.data(), n);
    for (int i = 0; i < 2 * n; ++i) out[i] *= global;
    s.media.Render(out, n);
    for (auto& [id, stream] : s.streams) stream.Render(out, n);
  }
  MasterOut(stereo, frames, 0);
  s.rendered += frames;
}

int OpenStream(const std::string& file) {
  EnsureStarted();
  auto pcm = IsRegularFile(file) ? plat::DecodeAudioFile(file) : std::nullopt;
  if (!pcm) return -1;
  System& s = Sys();
  plat::AudioLock lock(s.out);
  const int id = s.nextStream++;
  Stream& st = s.streams[id];
  st.pcm = std::make_shared<const plat::PcmBuffer>(std::move(*pcm));
  st.end = st.pcm->Frames();
  return id;
}

void CloseStream(int id) {
  plat::AudioLock lock(Sys().out);
  Sys().streams.erase(id);
}

void PlayStream(int id, int64_t fromFrame, int64_t toFrame, bool loop) {
  System& s = Sys();
  plat::AudioLock lock(s.out);
  auto it = s.streams.find(id);
  if (it == s.streams.end()) return;
  Stream& st = it->second;
  const int64_t length = st.pcm->Frames();
  if (fromFrame >= 0) st.pos = std::clamp<int64_t>(fromFrame, 0, length);
  st.end = toFrame < 0 ? length : std::clamp<int64_t>(toFrame, 0, length);
  st.loop = loop;
  st.playing = true;
}

void StopStream(int id) {
  plat::AudioLock lock(Sys().out);
  if (auto it = Sys().streams.find(id); it != Sys().streams.end()) it->second.playing = false;
}

bool StreamPlaying(int id) {
  plat::AudioLock lock(Sys().out);
  auto it = Sys().streams.find(id);
  return it != Sys().streams.end() && it->second.playing;
}

int64_t StreamPosition(int id) {
  plat::AudioLock lock(Sys().out);
  auto it = Sys().streams.find(id);
  return it != Sys().streams.end() ? it->second.pos : 0;
}

void SeekStream(int id, int64_t frame) {
  plat::AudioLock lock(Sys().out);
  if (auto it = Sys().streams.find(id); it != Sys().streams.end())
    it->second.pos = std::clamp<int64_t>(frame, 0, it->second.pcm->Frames());
}

int64_t StreamLength(int id) {
  plat::AudioLock lock(Sys().out);
  auto it = Sys().streams.find(id);
  return it != Sys().streams.end() ? it->second.pcm->Frames() : 0;
}

}  // namespace kv::snd
