#include "actions/action_class.h"

#include "runner/support_stream.h"

namespace kv {

bool CAction::Read(CStream& s) {
  *this = CAction();
  if (s.ReadInt() != kRecordVersion) return true;
  libraryId = s.ReadInt();
  actionId = s.ReadInt();
  kind = s.ReadInt();
  mayBeRelative = s.ReadBool();
  isQuestion = s.ReadBool();
  usesApplyTo = s.ReadBool();
  exeType = s.ReadInt();
  functionName = s.ReadString();
  codeText = s.ReadString();
  argumentCount = s.ReadInt();
  // The call array has seven slots: a larger count would make every call run past it.
  if (argumentCount < 0 || argumentCount > kMaxArgumentCount) return false;
  const int32_t kindCount = s.ReadInt();
  s.CheckCount(kindCount, 4);
  for (int32_t i = 0; i < kindCount; ++i) {
    const int32_t k = s.ReadInt();
    if (i < kMaxArguments) argumentKinds[i] = k;
  }
  applyTo = s.ReadInt();
  relative = s.ReadBool();
  const int32_t textCount = s.ReadInt();
  s.CheckCount(textCount, 4);
  for (int32_t i = 0; i < textCount; ++i) {
    std::string text = s.ReadString();
    if (i < kMaxArguments) argumentTexts[i] = std::move(text);
  }
  isNot = s.ReadBool();
  return true;
}

void CAction::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteInt(libraryId);
  s.WriteInt(actionId);
  s.WriteInt(kind);
  s.WriteBool(mayBeRelative);
  s.WriteBool(isQuestion);
  s.WriteBool(usesApplyTo);
  s.WriteInt(exeType);
  s.WriteString(functionName);
  s.WriteString(codeText);
  s.WriteInt(argumentCount);
  s.WriteInt(kMaxArguments);
  for (int k : argumentKinds) s.WriteInt(k);
  s.WriteInt(applyTo);
  s.WriteBool(relative);
  s.WriteInt(kMaxArguments);
  for (const std::string& text : argumentTexts) s.WriteString(text);
  s.WriteBool(isNot);
}

}  // namespace kv
