#include "sound/sound_class.h"

#include <cstdio>
#include <filesystem>
#include <random>

#include "runner/support_stream.h"
#include "sound/sound_directx.h"
#include "sound/sound_main.h"

namespace kv {

CSound::CSound(const CSound& o)
    : kind(o.kind), extension(o.extension), fileName(o.fileName), data(o.data), preload(o.preload),
      effects(o.effects), volume(o.volume), pan(o.pan) {}

CSound& CSound::operator=(const CSound& o) {
  if (this == &o) return *this;
  FreeSample();
  kind = o.kind;
  extension = o.extension;
  fileName = o.fileName;
  data = o.data;
  preload = o.preload;
  effects = o.effects;
  volume = o.volume;
  pan = o.pan;
  temporaryFile.clear();
  return *this;
}

CSound::~CSound() { FreeSample(); }

bool CSound::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  kind = s.ReadInt();
  extension = s.ReadString();
  fileName = s.ReadString();
  data.reset();
  if (s.ReadBool()) data = std::move(s.ReadCompressed().Buffer());
  effects = s.ReadInt();
  volume = s.ReadReal();
  pan = s.ReadReal();
  preload = s.ReadBool();
  return true;
}

void CSound::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteInt(kind);
  s.WriteString(extension);
  s.WriteString(fileName);
  s.WriteBool(data.has_value());
  if (data) s.WriteCompressed(data->data(), data->size());
  s.WriteInt(effects);
  s.WriteReal(volume);
  s.WriteReal(pan);
  s.WriteBool(preload);
}

bool CSound::FromFile(const std::string& file, int newKind, bool newPreload) {
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return false;
  std::vector<uint8_t> bytes;
  uint8_t block[65536];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  std::error_code ec;
  if (failed || std::filesystem::is_directory(file, ec)) return false;
  FreeSample();
  const std::filesystem::path path(file);
  kind = newKind;
  extension = path.extension().string();
  fileName = path.filename().string();
  data = std::move(bytes);
  preload = newPreload;
  if (preload) MakeSample();
  return true;
}

namespace {

// Writes the bytes to a new file "a" + number + extension in the temporary directory; the file is created
// exclusively, so nothing existing is overwritten and no other process can slip a file in between.
std::string WriteTemporaryFile(const std::vector<uint8_t>& bytes, const std::string& extension) {
  const std::string dir = SoundTempDirectory();
  if (dir.empty() || extension.find('/') != std::string::npos) return {};
  static std::minstd_rand pick(std::random_device{}());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = dir + "/a" + std::to_string(pick() % 100000) + extension;
    std::FILE* f = std::fopen(path.c_str(), "wbx");
    if (!f) continue;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) == 0 && ok) return path;
    std::remove(path.c_str());
    return {};
  }
  return {};
}

}  // namespace

void CSound::MakeSample() {
  FreeSample();
  if (kind >= snd::kKindNormal && kind <= snd::kKind3D && data) {
    sample = snd::SampleFromMemory(*data, kind);
    if (sample < 0) kind = snd::kKindMultimedia;
  }
  if (kind == snd::kKindMultimedia) {
    if (data) {
      temporaryFile = WriteTemporaryFile(*data, extension);
      data.reset();
    }
    if (!temporaryFile.empty()) sample = snd::SampleFromFile(temporaryFile, snd::kKindMultimedia);
  }
  if (sample < 0) return;
  sampleGeneration_ = snd::SystemGeneration();
  if (effects > 0) snd::SetEffects(sample, effects);
  snd::SetVolume(sample, 0, volume);
  snd::SetPan(sample, pan);
}

void CSound::PrepareIfPreload() {
  if (preload) MakeSample();
}

int CSound::Sample() {
  if (sample >= 0 && sampleGeneration_ != snd::SystemGeneration()) sample = -1;
  if (sample < 0) MakeSample();
  return sample;
}

void CSound::FreeSample() {
  if (sample >= 0 && sampleGeneration_ == snd::SystemGeneration()) snd::FreeSample(sample);
  sample = -1;
}

}  // namespace kv
