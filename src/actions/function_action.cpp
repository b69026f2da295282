#include "actions/function_action.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include "code/code_code.h"
#include "code/code_error.h"
#include "code/code_exec.h"
#include "code/code_function.h"
#include "code/code_instance.h"
#include "code/code_script.h"
#include "code/code_variable.h"
#include "runner/game_sections.h"
#include "world/world_state.h"

namespace kv {

namespace {

ActionContext& g_context = action_detail::g_context;
bool g_argumentRelative = false;
std::function<void(const std::string&)> g_messageHook;

GameResources* g_preparing = nullptr;  // the resources whose actions are being prepared, for locations

void ShowMessage(const std::string& text, const std::string& where = {}) {
  if (g_messageHook) g_messageHook(text);
  else std::cerr << text << where << std::endl;
}

// " (action N of EVENT of object NAME)" or " (action N at time step S of time line NAME)" for the action being
// prepared, so a user can find the action in the game; empty outside the loading passes.
std::string PreparingLocation() {
  if (!g_preparing) return {};
  const ActionContext& c = g_context;
  std::string where = " (action " + std::to_string(c.actionIndex + 1);
  if (c.eventType == kTimeLineEventType) {
    where += " at time step " + std::to_string(c.eventNumber) + " of time line " +
             std::string(g_preparing->timelines.Name(c.object));
  } else {
    const std::string event = EventName(g_preparing->objects, c.eventType, c.eventNumber);
    where += " of " + event.substr(std::min(event.find_first_not_of(' '), event.size())) + " of object " +
             std::string(g_preparing->objects.Name(c.object));
  }
  return where + ")";
}

struct PreparingScope {
  explicit PreparingScope(GameResources& res) { g_preparing = &res; }
  ~PreparingScope() { g_preparing = nullptr; }
};

// Compiles text; on failure reports prefix + CR + the compiler's message as fatal with the action context.
std::shared_ptr<const CCode> CompileOrReport(const std::string& text, bool isExpression, const std::string& prefix) {
  auto code = std::make_shared<CCode>(text, isExpression);
  if (code->Compile()) return code;
  std::string msg = prefix + "\r" + PendingMessage();
  ClearErrorPending();
  ReportRuntimeError(msg, true);
  return nullptr;
}

// Recognises an argument that only reads a built-in variable: a name, optionally followed by one constant index
// below the array limit ("hspeed", "alarm[0]"). Gives the variable's reader and index; false for anything else, and for
// names that also name a function or script (their resolution is left to the compiler).
bool BuiltinVariableRead(std::string_view text, BuiltinVarRead& reader, int32_t& index) {
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  auto isIdent = [](char c, bool first) {
    return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (!first && c >= '0' && c <= '9');
  };
  size_t i = 0, n = text.size();
  while (i < n && isSpace(text[i])) ++i;
  const size_t start = i;
  while (i < n && isIdent(text[i], i == start)) ++i;
  if (i == start) return false;
  const std::string name(text.substr(start, i - start));
  while (i < n && isSpace(text[i])) ++i;
  index = 0;
  if (i < n && text[i] == '[') {
    ++i;
    while (i < n && isSpace(text[i])) ++i;
    const size_t digits = i;
    while (i < n && text[i] >= '0' && text[i] <= '9' && i - digits < 5) index = index * 10 + (text[i++] - '0');
    if (i == digits || index >= 32000) return false;
    while (i < n && isSpace(text[i])) ++i;
    if (i >= n || text[i] != ']') return false;
    ++i;
    while (i < n && isSpace(text[i])) ++i;
  }
  if (i != n) return false;
  int function = -1;
  if (FindFunction(name, function)) return false;
  const int id = FindBuiltinVariable(name);
  const RBuiltinVariable* variable = id >= 0 ? GetBuiltinVariable(id) : nullptr;
  reader = variable ? variable->read : nullptr;
  return reader != nullptr;
}

}  // namespace


void InstallActionErrorContext() {
  SetErrorContextProvider([] {
    ErrorActionContext out;
    const ActionContext& c = g_context;
    out.actionIndex = c.actionIndex;
    const GameResources* res = WorldResources();
    if (c.eventType == kTimeLineEventType) {
      out.timeLine = true;
      out.timeStep = c.eventNumber;
      out.timeLineName = res ? std::string(res->timelines.Name(c.object)) : "<undefined>";
    } else if (res) {
      out.eventName = EventName(res->objects, c.eventType, c.eventNumber);
      out.objectName = std::string(res->objects.Name(c.object));
    }
    return out;
  });
}

bool ArgumentRelative() { return g_argumentRelative; }
void SetArgumentRelative(bool relative) { g_argumentRelative = relative; }

void SetActionMessageHook(std::function<void(const std::string&)> hook) { g_messageHook = std::move(hook); }

// ======================================================================================================
// Preparation
// ======================================================================================================

bool PrepareAction(CAction& a) {
  if (a.prepared) return true;
  a.prepared = true;

  // Function lookup: scripts, then extension functions, then built-ins (a script named like a built-in wins).
  a.functionIndex = -1;
  if (!a.functionName.empty() || a.exeType == kExeFunction) {
    int id = -1;
    if (FindFunction(a.functionName, id)) a.functionIndex = id;
    else if (a.exeType == kExeFunction)
      ShowMessage("Failed to locate action function " + a.functionName, PreparingLocation());
  }
  a.handler = nullptr;
  a.handlerSlots = 0;
  if (a.functionIndex >= 0 && a.functionIndex < kScriptIdBase) {
    if (const RBuiltinFunction* f = GetBuiltinFunction(a.functionIndex)) {
      a.handler = f->handler;
      a.handlerSlots = f->argCount == kVariableArgs ? kMaxCallArgs : std::max(f->argCount, a.argumentCount);
    }
  }

  // Variable and code actions become plain code actions.
  if (a.kind == kActionVariable) {
    a.codeText = a.argumentTexts[0] + (a.relative ? " += " : " = ") + a.argumentTexts[1];
  } else if (a.kind == kActionCode) {
    a.codeText = a.argumentTexts[0];
  }
  if (a.kind == kActionVariable || a.kind == kActionCode) {
    a.kind = kActionNormal;
    a.argumentCount = 0;
  }

  a.code.reset();
  if (a.exeType == kExeCode) {
    a.code = CompileOrReport(a.codeText, false, "COMPILATION ERROR in code action");
    if (!a.code) return false;
  }
  a.codeText.clear();
  for (auto& c : a.argumentCodes) c.reset();
  a.argumentReaders.fill(nullptr);

  for (int i = 0; i < a.argumentCount; ++i) {
    int& kind = a.argumentKinds[i];
    std::string& text = a.argumentTexts[i];
    if (kind == 2) kind = (text.empty() || (text[0] != '\'' && text[0] != '"')) ? 1 : 0;
    if (kind == 1 || kind == 15) {
      a.argumentValues[i] = RValue(text);
      kind = kArgumentConstant;
    } else {
      kind = kArgumentCompiled;
      auto code = CompileOrReport(text, true, "COMPILATION ERROR in argument " + std::to_string(i));
      if (!code) return false;
      if (code->GetKind() == CCode::kConstantExpression) {
        a.argumentValues[i] = code->Constant();
        kind = kArgumentConstant;
      } else {
        a.argumentCodes[i] = std::move(code);
        BuiltinVarRead reader = nullptr;
        int32_t index = 0;
        if (BuiltinVariableRead(text, reader, index)) {
          a.argumentReaders[i] = reader;
          a.argumentReaderIndices[i] = index;
        }
      }
    }
    text.clear();
  }
  return true;
}

namespace {
bool PrepareEvent(CEvent& event) {
  for (size_t i = 0; i < event.actions.size(); ++i) {
    g_context.actionIndex = static_cast<int>(i);
    if (!PrepareAction(event.actions[i])) return false;
  }
  return true;
}
}  // namespace

bool PrepareTimeLineActions(GameResources& res) {
  PreparingScope preparing(res);
  for (int t = 0; t < res.timelines.Count(); ++t) {
    CTimeLine* line = res.timelines.Get(t);
    if (!line) continue;
    for (RMoment& m : line->moments) {
      ActionContextScope scope(t, kTimeLineEventType, m.step);
      if (!PrepareEvent(m.event)) return false;
    }
  }
  return true;
}

bool PrepareObjectActions(GameResources& res) {
  PreparingScope preparing(res);
  for (int o = 0; o < res.objects.Count(); ++o) {
    CObject* obj = res.objects.Get(o);
    if (!obj) continue;
    for (int type = 0; type < CObject::kEventTypeCount; ++type) {
      for (auto& [subtype, event] : obj->events[type]) {
        ActionContextScope scope(o, type, subtype);
        if (!PrepareEvent(event)) return false;
      }
    }
  }
  return true;
}

// ======================================================================================================
// Running
// ======================================================================================================

namespace {

constexpr int kStop = -1;

// Evaluates argument i of a prepared action for (self, other). A run-time error in the expression is reported
// (non-fatal) and leaves the value "ERROR".
[[gnu::always_inline]] inline void EvaluateArgument(const CAction& a, int i, CInstance* self, CInstance* other,
                                                    RValue& out) {
  if (a.argumentKinds[i] == kArgumentConstant || !a.argumentCodes[i]) {
    out = a.argumentValues[i];
    return;
  }
  if (const BuiltinVarRead read = a.argumentReaders[i]) {
    if (read(self, a.argumentReaderIndices[i], out)) return;
  }
  if (!RunForValue(self, other, a.argumentCodes[i].get(), out)) {
    ReportRuntimeError(PendingMessage(), false);
    ClearErrorPending();
  }
}

void ReportPendingFailure() {
  if (!ErrorPending()) return;
  ReportRuntimeError(PendingMessage(), false);
  ClearErrorPending();
}

// The argument arrays of function actions, one per nesting level (a function may run events whose actions call
// functions in turn). They live for the whole run, every slot real 0 between calls, so a call sets only its own
// arguments and afterwards clears only the slots its function may have touched. Handlers reading past the
// argument count see real 0, as with a fresh array.
std::vector<std::unique_ptr<RValue[]>> g_argumentFrames;
size_t g_argumentDepth = 0;

const RValue kRealZero;  // what every argument slot holds between calls

struct ArgumentFrame {
  [[gnu::always_inline]] explicit ArgumentFrame(int slots) : touched(slots) {
    if (g_argumentDepth == g_argumentFrames.size()) g_argumentFrames.push_back(std::make_unique<RValue[]>(kMaxCallArgs));
    args = g_argumentFrames[g_argumentDepth++].get();
  }
  [[gnu::always_inline]] ~ArgumentFrame() {
    // A slot without a long string holds nothing to release: it becomes real 0 by one copy of the whole value.
    for (int i = 0; i < touched; ++i) {
      if (args[i].Tag() == RValue::kTagLong) args[i].SetReal(0.0);
      else std::memcpy(static_cast<void*>(&args[i]), &kRealZero, sizeof(RValue));
    }
    --g_argumentDepth;
  }
  ArgumentFrame(const ArgumentFrame&) = delete;
  ArgumentFrame& operator=(const ArgumentFrame&) = delete;
  RValue* args = nullptr;
  int touched;
};

// A function action: the arguments go into this call's slots and the function is called.
[[gnu::noinline]] void CallOtherFunctionAction(const CAction& a, CInstance* self, CInstance* other, RValue& result,
                                               bool relative);

// The usual function action names a built-in with a handler: inlined into the list walk, where most actions run.
[[gnu::always_inline]] inline void CallFunctionAction(const CAction& a, CInstance* self, CInstance* other,
                                                      RValue& result, bool relative) {
  if (!a.handler) {
    CallOtherFunctionAction(a, self, other, result, relative);
    return;
  }
  SetArgumentRelative(relative);
  const int argc = a.argumentCount;
  ArgumentFrame frame(a.handlerSlots);
  RValue* args = frame.args;
  for (int i = 0; i < argc; ++i) EvaluateArgument(a, i, self, other, args[i]);
  a.handler(result, self, other, argc, args);
}

// A function action whose function is a script or an extension function (or missing).
void CallOtherFunctionAction(const CAction& a, CInstance* self, CInstance* other, RValue& result, bool relative) {
  SetArgumentRelative(relative);
  const int argc = a.argumentCount;
  ArgumentFrame frame(kMaxCallArgs);
  RValue* args = frame.args;
  for (int i = 0; i < argc; ++i) EvaluateArgument(a, i, self, other, args[i]);
  const int id = a.functionIndex;
  if (id >= kExtensionIdBase) {
    const ExtensionFunctionHooks& ext = GetExtensionFunctionHooks();
    if (ext.call && !ext.call(id - kExtensionIdBase, self, other, argc, args, result)) ReportPendingFailure();
  } else if (id >= kScriptIdBase) {
    if (!CallScript(id - kScriptIdBase, self, other, result, args, argc)) ReportPendingFailure();
  }
}

// A code action, with or without arguments (kept apart from the function path, which runs far more often).
[[gnu::noinline]] void CallCodeAction(const CAction& a, CInstance* self, CInstance* other, RValue& result,
                                      bool relative) {
  if (a.argumentCount == 0) {
    // The usual code action has no arguments: the argument slots stay as they are, only argument_relative is
    // set for the run and put back afterwards (also when a fault passes through).
    struct RestoreRelative {
      bool relative;
      ~RestoreRelative() { SetArgumentRelative(relative); }
    } restore{ArgumentRelative()};
    SetArgumentRelative(relative);
    RunProgram(self, other, a.code.get(), result);
  } else {
    // Arguments go straight into the current argument slots (a later argument sees the earlier new values); the
    // caller's slots and argument_relative come back afterwards.
    const int argc = a.argumentCount;
    RValue saved[CAction::kMaxArguments];
    RValue* slots = CurrentArguments();
    for (int i = 0; i < argc; ++i) saved[i] = slots[i];
    const bool savedRelative = ArgumentRelative();
    SetArgumentRelative(relative);
    struct Restore {
      int argc;
      RValue* saved;
      bool relative;
      ~Restore() {
        RValue* s = CurrentArguments();
        for (int i = 0; i < argc; ++i) s[i] = saved[i];
        SetArgumentRelative(relative);
      }
    } restore{argc, saved, savedRelative};
    for (int i = 0; i < argc; ++i) {
      RValue v;
      EvaluateArgument(a, i, self, other, v);
      CurrentArguments()[i] = v;
    }
    RunProgram(self, other, a.code.get(), result);
  }
}

// Calls one action once for (self, other); result starts as real 0.
[[gnu::always_inline]] inline void CallAction(const CAction& a, CInstance* self, CInstance* other, RValue& result) {
  result = RValue();
  const bool relative = a.mayBeRelative && a.relative;
  if (a.exeType == kExeFunction) CallFunctionAction(a, self, other, result, relative);
  else if (a.exeType == kExeCode && a.code) CallCodeAction(a, self, other, result, relative);
}

class ListRunner {
 public:
  ListRunner(CInstance* self, CInstance* other, const std::vector<CAction>& actions)
      : self_(self), other_(other), acts_(actions), n_(static_cast<int>(actions.size())) {}

  void Run() {
    for (int i = 0; i >= 0 && i < n_;) i = Execute(i);
  }

 private:
  bool Inside(int i) const { return i >= 0 && i < n_; }

  // One statement from i; gives the index after it, or kStop. The plain action on self (most of a list) runs
  // here, inlined into the walk; blocks, repeats, questions, exits and other targets take ExecuteCompound.
  [[gnu::always_inline]] int Execute(int i) {
    if (!Inside(i) || RoomChangePending()) return kStop;
    const CAction& a = acts_[i];
    if (a.kind != kActionNormal || (a.usesApplyTo && a.applyTo != -1)) return ExecuteCompound(i);
    g_context.actionIndex = i;
    RValue result;
    CallAction(a, self_, other_, result);
    if (a.isQuestion) return AfterQuestion(i, IsTrue(result.Real()) != a.isNot);  // one target: its answer
    return RoomChangePending() ? kStop : i + 1;
  }

  // The rest of a question at i once answered: the next statement when true, else the optional else part.
  [[gnu::noinline]] int AfterQuestion(int i, bool answer) {
    int r = answer ? Execute(i + 1) : Skip(i + 1);
    if (Inside(r) && acts_[r].kind == kActionElse) r = answer ? Skip(r + 1) : Execute(r + 1);
    return RoomChangePending() ? kStop : r;
  }

  [[gnu::noinline]] int ExecuteCompound(int i) {
    const CAction& a = acts_[i];
    if (a.kind == kActionBeginBlock) {
      int j = i + 1;
      for (;;) {
        if (j >= n_) return j;
        if (acts_[j].kind == kActionEndBlock) return j + 1;
        j = Execute(j);
        if (j == kStop) return kStop;
      }
    }
    if (a.kind == kActionRepeat) {
      g_context.actionIndex = i;
      RValue countValue;
      if (a.argumentCount > 0) EvaluateArgument(a, 0, self_, other_, countValue);
      const int64_t count = RoundToInt64(countValue.Real());
      if (RoomChangePending()) return kStop;
      for (int64_t k = 0; k < count; ++k) {
        if (Execute(i + 1) == kStop || RoomChangePending()) return kStop;
      }
      return Skip(i + 1);
    }
    if (a.isQuestion) {
      g_context.actionIndex = i;
      return AfterQuestion(i, Ask(a));
    }
    g_context.actionIndex = i;
    if (a.kind == kActionExit) return kStop;
    CallOnTargets(a);
    return RoomChangePending() ? kStop : i + 1;
  }

  int Skip(int i) const {
    if (!Inside(i)) return kStop;
    const CAction& a = acts_[i];
    if (a.kind == kActionBeginBlock) {
      int depth = 1;
      for (int j = i + 1; j < n_; ++j) {
        if (acts_[j].kind == kActionBeginBlock) ++depth;
        else if (acts_[j].kind == kActionEndBlock && --depth == 0) return j + 1;
      }
      return n_;
    }
    if (a.isQuestion || a.kind == kActionRepeat) return Skip(i + 1);
    return i + 1;
  }

  // Calls f(target self, target other) for each target of the action until f returns false. Instances of an
  // object are walked by index over the family list with its length taken at the start; the list is re-read every
  // time, and instances destroyed or deactivated meanwhile are passed over.
  template <class F>
  [[gnu::always_inline]] void ForEachTarget(const CAction& a, F f) {
    const int target = a.usesApplyTo ? a.applyTo : -1;
    if (target == -1) {
      f(self_, other_);
      return;
    }
    if (target == -2) {
      f(other_, self_);
      return;
    }
    if (target < 0 || target >= WorldObjectCount()) return;
    CodeWorld* world = GetCodeWorld();
    if (!world) return;
    const int count = world->FamilyCount(target);
    for (int k = 0; k < count && k < world->FamilyCount(target); ++k) {
      CInstance* inst = world->FamilyAt(target, k);
      if (!inst || inst->deleted || inst->deactivated) continue;
      if (!f(inst, other_) || RoomChangePending()) return;
    }
  }

  void CallOnTargets(const CAction& a) {
    RValue result;
    ForEachTarget(a, [&](CInstance* s, CInstance* o) __attribute__((always_inline)) {
      CallAction(a, s, o, result);
      return true;
    });
  }

  // Every target must answer true (the walk stops at the first false; no target counts as true); NOT then
  // inverts the combined answer once.
  bool Ask(const CAction& a) {
    bool all = true;
    RValue result;
    ForEachTarget(a, [&](CInstance* s, CInstance* o) __attribute__((always_inline)) {
      CallAction(a, s, o, result);
      all = IsTrue(result.Real());
      return all;
    });
    return a.isNot ? !all : all;
  }

  CInstance* self_;
  CInstance* other_;
  const std::vector<CAction>& acts_;
  const int n_;
};

}  // namespace

namespace {
std::vector<const CEvent*> g_runningLists;            // innermost last
std::vector<std::function<void()>> g_heldBackChanges;  // applied when the outermost list finishes

// Marks a list as running for its scope; the outermost one applies the held-back changes (also after faults).
class RunningList {
 public:
  explicit RunningList(const CEvent& event) { g_runningLists.push_back(&event); }
  ~RunningList() {
    g_runningLists.pop_back();
    if (g_runningLists.empty() && !g_heldBackChanges.empty()) ApplyHeldBackChanges();
  }
  RunningList(const RunningList&) = delete;
  RunningList& operator=(const RunningList&) = delete;

 private:
  [[gnu::noinline]] static void ApplyHeldBackChanges() {
    std::vector<std::function<void()>> changes = std::move(g_heldBackChanges);
    g_heldBackChanges.clear();
    for (auto& change : changes) change();
  }
};

// Any list but the lone code action on self: the list walk.
[[gnu::noinline]] void RunGeneralList(CInstance* self, CInstance* other, const CEvent& event) {
  RunningList running(event);
  if (event.actions.size() == 1) {
    const CAction& a = event.actions[0];
    if (a.kind == kActionNormal && !a.isQuestion && (!a.usesApplyTo || a.applyTo == -1)) {
      // A lone action on self: run it as the list runner would, without its walk.
      if (RoomChangePending()) return;
      g_context.actionIndex = 0;
      RValue result;
      CallAction(a, self, other, result);
      return;
    }
  }
  ListRunner(self, other, event.actions).Run();
}
}  // namespace

bool ActionListRunning(const CEvent& event) {
  return std::find(g_runningLists.begin(), g_runningLists.end(), &event) != g_runningLists.end();
}

void WhenNoActionListRuns(std::function<void()> change) {
  if (g_runningLists.empty()) change();
  else g_heldBackChanges.push_back(std::move(change));
}

void RunActionList(CInstance* self, CInstance* other, const CEvent& event) {
  // Most events are one code action without arguments on self: run it here, as the list runner would through
  // CallCodeAction, in a small frame; anything else takes the general walk.
  const CAction* lone = event.actions.size() == 1 ? &event.actions[0] : nullptr;
  if (!lone || lone->kind != kActionNormal || lone->isQuestion || (lone->usesApplyTo && lone->applyTo != -1) ||
      lone->exeType != kExeCode || !lone->code || lone->argumentCount != 0) {
    RunGeneralList(self, other, event);
    return;
  }
  RunningList running(event);
  if (RoomChangePending()) return;
  g_context.actionIndex = 0;
  RValue result;
  struct RestoreRelative {
    bool relative;
    ~RestoreRelative() { g_argumentRelative = relative; }
  } restore{g_argumentRelative};
  g_argumentRelative = lone->mayBeRelative && lone->relative;
  RunProgram(self, other, lone->code.get(), result);
}

bool RunLibraryInitCode(const std::vector<std::string>& pieces) {
  for (const std::string& text : pieces) {
    if (text.empty()) continue;
    CCode code(text, false);
    if (!code.Compile()) {
      std::string msg = "COMPILATION ERROR in library initialization code\r" + PendingMessage();
      ClearErrorPending();
      ReportError(msg, true);
      return false;
    }
    CInstance temp(0, 0, 0, 0);
    RValue result;
    RunProgram(&temp, &temp, &code, result);
  }
  return true;
}

}  // namespace kv
