#include "sound/support_cd.h"

#include "sound/sound_mci.h"

namespace kv::snd {
namespace {

// Replies of the CD commands are read with room for 20 characters.
std::string Send(const std::string& command) { return MciCommand(command).substr(0, 20); }

}  // namespace

int64_t ReplyNumber(const std::string& reply) {
  int64_t n = 0;
  for (char c : reply)
    if (c >= '0' && c <= '9' && n < 100000000000000) n = n * 10 + (c - '0');
  return n;
}

void CdInit() {
  Send("close cdaudio");
  Send("open cdaudio");
}

bool CdPresent() {
  Send("open cdaudio");
  return Send("status cdaudio media present") == "true";
}

int CdNumber() {
  if (!CdPresent()) return 0;
  return static_cast<int>(ReplyNumber(Send("status cdaudio number of tracks")));
}

bool CdPlaying() {
  if (!CdPresent()) return false;
  return Send("status cdaudio mode") == "playing";
}

bool CdPaused() {
  if (!CdPresent()) return false;
  const std::string mode = Send("status cdaudio mode");
  return mode == "paused" || mode == "stopped";
}

int CdTrack() {
  Send("open cdaudio");
  Send("set cdaudio time format tmsf wait");
  if (!CdPresent()) return 0;
  return static_cast<int>(ReplyNumber(Send("status cdaudio position").substr(0, 2)));
}

int64_t CdLength() {
  Send("open cdaudio");
  Send("set cdaudio time format ms wait");
  int64_t length = 0;
  if (CdPresent()) length = ReplyNumber(Send("status cdaudio length wait"));
  Send("set cdaudio time format tmsf wait");
  return length;
}

int64_t CdTrackLength(int track) {
  if (track < 1 || track > CdNumber()) return 0;
  Send("set cdaudio time format milliseconds wait");
  const int64_t length = ReplyNumber(Send("status cdaudio length track " + std::to_string(track)));
  Send("set cdaudio time format tmsf wait");
  return length;
}

int64_t CdPosition() {
  Send("open cdaudio");
  Send("set cdaudio time format milliseconds wait");
  int64_t position = 0;
  if (CdPresent()) position = ReplyNumber(Send("status cdaudio position"));
  Send("set cdaudio time format tmsf wait");
  return position;
}

int64_t CdTrackPosition() {
  Send("set cdaudio time format tmsf wait");
  const std::string reply = Send("status cdaudio position");  // tt:mm:ss:ff
  if (reply.size() < 8) return 0;
  return ReplyNumber(reply.substr(3, 2)) * 60000 + ReplyNumber(reply.substr(6, 2)) * 1000;
}

void CdPlay(int first, int last) {
  if (!CdPresent() || last < first) return;
  Send("set cdaudio time format tmsf wait");
  if (first < 1) first = 1;
  if (last < CdNumber())
    Send("play cdaudio from " + std::to_string(first) + " to " + std::to_string(last + 1));
  else
    Send("play cdaudio from " + std::to_string(first));
}

void CdStop() {
  if (CdPresent()) Send("stop cdaudio");
}
void CdPause() {
  if (CdPresent()) Send("pause cdaudio");
}
void CdResume() {
  if (CdPresent()) Send("play cdaudio");
}

void CdSetPosition(int64_t ms) {
  if (!CdPresent()) return;
  Send("set cdaudio time format milliseconds wait");
  if (CdPlaying()) Send("play cdaudio from " + std::to_string(ms));
  else Send("seek cdaudio to " + std::to_string(ms));
  Send("set cdaudio time format tmsf");
}

void CdSetTrackPosition(int64_t ms) {
  if (!CdPresent()) return;
  const int track = CdTrack();
  if (track <= 0) return;
  if (ms < 0) ms = 0;
  const std::string position =
      std::to_string(track) + ":" + std::to_string(ms / 60000) + ":" + std::to_string(ms % 60000 / 1000);
  Send("set cdaudio time format tmsf wait");
  if (CdPlaying()) Send("play cdaudio from " + position);
  else Send("seek cdaudio to " + position);
  Send("set cdaudio time format tmsf");
}

void CdOpenDoor() {
  Send("open cdaudio");
  Send("set cdaudio door open");
}

void CdCloseDoor() {
  Send("open cdaudio");
  Send("set cdaudio door closed");
}

}  // namespace kv::snd
