#pragma once
// The sound, CD audio and media-command script functions.
namespace kv {
void RegisterSoundFunctions();
}
