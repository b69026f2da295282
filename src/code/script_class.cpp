#include "code/script_class.h"

#include "runner/support_stream.h"

namespace kv {

std::string CScript::Text() const {
  if (textBlock.empty()) return {};  // a script made at run time before any text was set
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
  // A block that does not hold its whole string is corrupt: refuse it now rather than when the script compiles.
  if (textBlock.empty()) throw StreamError("empty script text block");
  (void)Text();
  return true;
}

void CScript::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteCompressed(textBlock.data(), textBlock.size());
}

}  // namespace kv
