#include "sound/sound_main.h"

#include <memory>

namespace kv {
namespace {
std::string& TempDir() {
  static std::string dir;
  return dir;
}
}  // namespace

void SetSoundTempDirectory(const std::string& dir) { TempDir() = dir; }
const std::string& SoundTempDirectory() { return TempDir(); }

void PrepareSounds(ResourceTable<CSound>& sounds) {
  for (int i = 0; i < sounds.Count(); ++i)
    if (CSound* s = sounds.Get(i)) s->PrepareIfPreload();
}

int AddSound(ResourceTable<CSound>& sounds, const std::string& file, int kind, bool preload) {
  auto sound = std::make_unique<CSound>();
  if (!sound->FromFile(file, kind, preload)) return -1;
  const int index = sounds.Add("", std::move(sound));
  sounds.SetName(index, "__newsound" + std::to_string(index));
  return index;
}

bool ReplaceSound(ResourceTable<CSound>& sounds, int index, const std::string& file, int kind, bool preload) {
  CSound* sound = sounds.Get(index);
  if (!sound) return false;
  sound->FreeSample();
  return sound->FromFile(file, kind, preload);
}

bool DeleteSound(ResourceTable<CSound>& sounds, int index) {
  CSound* sound = sounds.Get(index);
  if (!sound) return false;
  sound->FreeSample();
  return sounds.Delete(index);
}

}  // namespace kv
