#include "code/script_class.h"

#include "runner/support_stream.h"

namespace kv {

std::string CScript::Text() const {
  CStream copy(textBlock);
  Substitute(copy, kTextSeed, 0, 0);
  copy.Seek(0);
  return copy.ReadString();
}

void CScript::SetText(std::string_view text) {
  CStream block;
  block.WriteString(text);
  Unsubstitute(block, kTextSeed, 0, 0);
  textBlock = std::move(block.Buffer());
}

bool CScript::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  textBlock = std::move(s.ReadCompressed().Buffer());
  return true;
}

void CScript::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteCompressed(textBlock.data(), textBlock.size());
}

}  // namespace kv
