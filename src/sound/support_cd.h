#pragma once
// The CD audio functions, each built on media command strings ("open cdaudio", "status cdaudio position", ...)
// sent to the command interpreter, with replies read as numbers from their decimal digits.
#include <cstdint>
#include <string>

namespace kv::snd {

// The number in a reply: its decimal digits read in order; 0 without digits.
int64_t ReplyNumber(const std::string& reply);

void CdInit();
bool CdPresent();
int CdNumber();
bool CdPlaying();
bool CdPaused();
int CdTrack();
int64_t CdLength();
int64_t CdTrackLength(int track);
int64_t CdPosition();
int64_t CdTrackPosition();
void CdPlay(int first, int last);
void CdStop();
void CdPause();
void CdResume();
void CdSetPosition(int64_t ms);
void CdSetTrackPosition(int64_t ms);
void CdOpenDoor();
void CdCloseDoor();

}  // namespace kv::snd
