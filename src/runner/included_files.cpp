#include "runner/included_files.h"

#include "runner/support_stream.h"

namespace kv {

bool CDataFile::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  name = s.ReadString();
  sourcePath = s.ReadString();
  hasData = s.ReadBool();
  size = s.ReadInt();
  stored = s.ReadBool();
  data.clear();
  if (hasData && stored) data = std::move(s.ReadCompressed().Buffer());
  exportMode = s.ReadInt();
  exportFolder = s.ReadString();
  overwrite = s.ReadBool();
  freeAfterExport = s.ReadBool();
  removeAtEnd = s.ReadBool();
  return true;
}

void CDataFile::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteString(name);
  s.WriteString(sourcePath);
  s.WriteBool(hasData);
  s.WriteInt(size);
  s.WriteBool(stored);
  if (hasData && stored) s.WriteCompressed(data.data(), data.size());
  s.WriteInt(exportMode);
  s.WriteString(exportFolder);
  s.WriteBool(overwrite);
  s.WriteBool(freeAfterExport);
  s.WriteBool(removeAtEnd);
}

}  // namespace kv
