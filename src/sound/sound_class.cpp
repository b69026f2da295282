#include "sound/sound_class.h"

#include "runner/support_stream.h"

namespace kv {

bool CSound::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  kind = s.ReadInt();
  extension = s.ReadString();
  fileName = s.ReadString();
  data.reset();
  if (s.ReadBool()) data = std::move(s.ReadCompressed().Buffer());
  effects = s.ReadInt();
  volume = s.ReadReal();
  pan = s.ReadReal();
  preload = s.ReadBool();
  return true;
}

void CSound::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteInt(kind);
  s.WriteString(extension);
  s.WriteString(fileName);
  s.WriteBool(data.has_value());
  if (data) s.WriteCompressed(data->data(), data->size());
  s.WriteInt(effects);
  s.WriteReal(volume);
  s.WriteReal(pan);
  s.WriteBool(preload);
}

}  // namespace kv
