#include "graphics/background_class.h"

#include "runner/support_stream.h"

namespace kv {

bool CBackground::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  width = s.ReadInt();
  height = s.ReadInt();
  transparent = s.ReadBool();
  smooth = s.ReadBool();
  preload = s.ReadBool();
  image.reset();
  if (s.ReadBool()) image = CBitmap32::FromStream(s);
  return true;
}

void CBackground::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteInt(width);
  s.WriteInt(height);
  s.WriteBool(transparent);
  s.WriteBool(smooth);
  s.WriteBool(preload);
  s.WriteBool(image.has_value());
  if (image) image->Write(s);
}

}  // namespace kv
