#pragma once
// CAction: one entry of an event's action list as stored in the game data. The function name is kept as read;
// resolving it to a function index and compiling code and arguments is done when the actions are prepared
// (actions/function_action.h), which fills the prepared fields below.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "code/code_function.h"
#include "code/code_value.h"
#include "code/code_variable.h"

namespace kv {

class CCode;
class CStream;

// Action kinds.
enum ActionKind : int {
  kActionNormal = 0, kActionBeginBlock = 1, kActionEndBlock = 2, kActionElse = 3, kActionExit = 4,
  kActionRepeat = 5, kActionVariable = 6, kActionCode = 7
};
// Execution types.
enum ActionExeType : int { kExeNone = 0, kExeFunction = 1, kExeCode = 2 };
// Argument kinds after preparation.
constexpr int kArgumentCompiled = 0;
constexpr int kArgumentConstant = -1;

struct CAction {
  static constexpr int32_t kRecordVersion = 440;
  static constexpr int kMaxArguments = 8;     // argument slots stored per action
  static constexpr int kMaxArgumentCount = 7;  // arguments an action may use (the call array has 7 slots)

  // Fields in the order the list walk and a call read them, so an action's run-time state shares a few cache
  // lines; the stored texts, which preparation empties, come last.
  int kind = 0;  // 0 normal, 1 begin block, 2 end block, 3 else, 4 exit, 5 repeat, 6 variable, 7 code
  bool mayBeRelative = false;
  bool isQuestion = false;
  bool usesApplyTo = false;
  bool relative = false;
  bool isNot = false;
  bool prepared = false;       // never stored
  int exeType = 0;             // 0 none, 1 function, 2 code
  int functionIndex = -1;      // never stored
  int argumentCount = 0;
  int applyTo = -1;            // -1 self, -2 other, 0 or more an object index
  // ---- prepared state (never stored) ----
  // A function action naming a built-in: its handler, called directly, and how many argument slots the handler
  // may read or write (its own count, or every slot for a variable count).
  BuiltinFn handler = nullptr;
  int handlerSlots = 0;
  std::array<int, kMaxArguments> argumentKinds{};
  // A compiled argument that only reads a built-in variable of self (`hspeed`, `alarm[0]`, `score`) is read
  // through the variable's own reader (null otherwise) at its array index. The compiled code stays for the
  // reader's failures, which it reports.
  std::array<BuiltinVarRead, kMaxArguments> argumentReaders{};
  std::array<int32_t, kMaxArguments> argumentReaderIndices{};
  std::array<RValue, kMaxArguments> argumentValues{};                       // kind -1 (constant) arguments
  std::array<std::shared_ptr<const CCode>, kMaxArguments> argumentCodes{};  // kind 0 (compiled) arguments
  std::shared_ptr<const CCode> code;  // the compiled code of a code action

  int libraryId = 0;
  int actionId = 0;
  std::string functionName;    // as stored; resolved into functionIndex when prepared
  std::string codeText;
  std::array<std::string, kMaxArguments> argumentTexts{};

  // A record with another version than 440 holds nothing more and leaves the action empty (true). An argument count
  // outside 0 ... 7 fails the record (false). Of the stored argument kinds and texts the first eight are kept.
  // Truncation and impossible counts throw StreamError.
  bool Read(CStream& s);
  // Writes version 440 with eight argument kinds and texts.
  void Write(CStream& s) const;

  bool operator==(const CAction&) const = default;
};

}  // namespace kv
