#pragma once
// CGameInfo: the game information as stored in the game data — the rich text and the settings of the window that
// shows it.
#include <cstdint>
#include <string>

namespace kv {

class CStream;

struct CGameInfo {
  static constexpr int32_t kRecordVersion = 600;

  int backgroundColour = 0xFFFFFF;     // of the text (0x00BBGGRR)
  bool showInGameWindow = false;
  std::string caption = "Game Information";
  int left = -1, top = -1;             // below 0: centred on the screen
  int width = 600, height = 400;
  bool showBorder = true;
  bool sizeable = true;
  bool stayOnTop = false;
  bool pauseGame = true;               // shown modally
  std::string text;                    // rich text (RTF)

  // False for a wrong record version; truncation throws StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  bool operator==(const CGameInfo&) const = default;
};

}  // namespace kv
