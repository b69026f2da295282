#pragma once
// The sound table's operations beyond the plain resource table: preparing the samples of preloaded sounds, and
// adding, replacing and deleting sounds while the game runs.
#include <string>

#include "runner/resource_table.h"
#include "sound/sound_class.h"

namespace kv {

// Where sounds for the media player are written (the runner's private temporary directory).
void SetSoundTempDirectory(const std::string& dir);
const std::string& SoundTempDirectory();

// Every sound with preload makes its sample.
void PrepareSounds(ResourceTable<CSound>& sounds);
// A new sound from the file, named "__newsound" + its index; -1 when the file cannot be read.
int AddSound(ResourceTable<CSound>& sounds, const std::string& file, int kind, bool preload);
// The sound's data becomes the file's (its sample is freed first); false for a missing sound or file.
bool ReplaceSound(ResourceTable<CSound>& sounds, int index, const std::string& file, int kind, bool preload);
// Frees the sample and empties the slot; false for a missing sound.
bool DeleteSound(ResourceTable<CSound>& sounds, int index);

}  // namespace kv
