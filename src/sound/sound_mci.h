#pragma once
// The media command strings of MCI_command and the CD audio functions, interpreted here: open, close, play,
// stop, pause, resume, seek, set (time format, door) and status on "cdaudio" and on audio files opened with an
// alias. Nothing is passed to the system and nothing is written or recorded; any other command replies "".
#include <string>

namespace kv::plat {
class ICdDrive;
}

namespace kv::snd {

inline constexpr size_t kMciReplyLimit = 255;

// The drive behind "cdaudio"; nullptr (the default) means no drive present.
void SetCdDrive(plat::ICdDrive* drive);
// Runs one command string and returns its reply (at most 255 characters; "" for errors and for commands that
// reply nothing).
std::string MciCommand(const std::string& command);
// Closes every device (the runner's shutdown and tests).
void MciReset();

}  // namespace kv::snd
