#include "interface/game_info.h"

#include "runner/support_stream.h"

namespace kv {

bool CGameInfo::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  backgroundColour = s.ReadInt();
  showInGameWindow = s.ReadBool();
  caption = s.ReadString();
  left = s.ReadInt();
  top = s.ReadInt();
  width = s.ReadInt();
  height = s.ReadInt();
  showBorder = s.ReadBool();
  sizeable = s.ReadBool();
  stayOnTop = s.ReadBool();
  pauseGame = s.ReadBool();
  const CStream block = s.ReadCompressed();
  text.assign(reinterpret_cast<const char*>(block.Data()), block.Size());
  return true;
}

void CGameInfo::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteInt(backgroundColour);
  s.WriteBool(showInGameWindow);
  s.WriteString(caption);
  s.WriteInt(left);
  s.WriteInt(top);
  s.WriteInt(width);
  s.WriteInt(height);
  s.WriteBool(showBorder);
  s.WriteBool(sizeable);
  s.WriteBool(stayOnTop);
  s.WriteBool(pauseGame);
  s.WriteCompressed(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace kv
