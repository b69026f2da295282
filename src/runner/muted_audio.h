#pragma once
// --mute: the sound system mixes as always (sounds play, end and report their state as usual) but what reaches
// the device or the capture file is silence.
#include <memory>

#include "platform/audio_out.h"

namespace kv {

std::unique_ptr<plat::IAudioOut> MuteAudioOut(std::unique_ptr<plat::IAudioOut> out);

}  // namespace kv
