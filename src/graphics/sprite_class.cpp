#include "graphics/sprite_class.h"

#include "runner/support_stream.h"

namespace kv {

bool CSprite::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  width = s.ReadInt();
  height = s.ReadInt();
  // Stored in the order left, right, bottom, top.
  bboxLeft = s.ReadInt();
  bboxRight = s.ReadInt();
  bboxBottom = s.ReadInt();
  bboxTop = s.ReadInt();
  transparent = s.ReadBool();
  smooth = s.ReadBool();
  preload = s.ReadBool();
  bboxKind = s.ReadInt();
  precise = s.ReadBool();
  xOrigin = s.ReadInt();
  yOrigin = s.ReadInt();
  const int32_t count = s.ReadInt();
  s.CheckCount(count, 4);  // a bitmap record holds at least its version
  frames.clear();
  frames.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) frames.push_back(CBitmap32::FromStream(s));
  return true;
}

void CSprite::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteInt(width);
  s.WriteInt(height);
  s.WriteInt(bboxLeft);
  s.WriteInt(bboxRight);
  s.WriteInt(bboxBottom);
  s.WriteInt(bboxTop);
  s.WriteBool(transparent);
  s.WriteBool(smooth);
  s.WriteBool(preload);
  s.WriteInt(bboxKind);
  s.WriteBool(precise);
  s.WriteInt(xOrigin);
  s.WriteInt(yOrigin);
  s.WriteInt(static_cast<int32_t>(frames.size()));
  for (const CBitmap32& frame : frames) frame.Write(s);
}

}  // namespace kv
