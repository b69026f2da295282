// An in-memory game for the world and action tests: objects with parents and events whose actions are code
// actions (or hand-built actions), sprites with a bounding box, rooms with placed instances. Code logs through the
// test function wlog(text), so a test can compare what ran and in which order.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "actions/function_action.h"
#include "code/code_code.h"
#include "code/code_error.h"
#include "code/code_function.h"
#include "runner/game_sections.h"
#include "world/event_cache.h"
#include "world/instance_variables.h"
#include "world/world_rooms.h"
#include "world/world_state.h"
#include "runner/runner_wiring.h"

namespace kv::test {

inline std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

inline void FnWLog(RValue& r, CInstance*, CInstance*, int argc, RValue* args) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (i) line += ' ';
    line += args[i].IsString() ? args[i].ToStdString() : RealToDebugString(args[i].Real());
  }
  Log().push_back(line);
  r = RValue(1.0);
}

// A question function for action tests: answers its argument (real) and logs "ask <arg>".
inline void FnWAsk(RValue& r, CInstance*, CInstance*, int, RValue* args) {
  Log().push_back("ask " + RealToDebugString(args[0].Real()));
  r = args[0];
}

// A function action that logs its argument, the relative flag and self's id.
inline void FnWAct(RValue& r, CInstance* self, CInstance* other, int, RValue* args) {
  Log().push_back("act " + (args[0].IsString() ? args[0].ToStdString() : RealToDebugString(args[0].Real())) +
                  (ArgumentRelative() ? " rel" : "") + " self " + std::to_string(self ? self->id : -1) +
                  " other " + std::to_string(other ? other->id : -1));
  r = RValue(1.0);
}

inline CAction CodeAction(const std::string& code) {
  CAction a;
  a.kind = kActionCode;
  a.exeType = kExeCode;
  a.argumentCount = 1;
  a.argumentTexts[0] = code;
  return a;
}

inline CAction KindAction(int kind) {
  CAction a;
  a.kind = kind;
  return a;
}

// A function action calling `fn` with one expression argument.
inline CAction FunctionAction(const std::string& fn, const std::string& arg, bool question = false) {
  CAction a;
  a.exeType = kExeFunction;
  a.functionName = fn;
  a.isQuestion = question;
  a.argumentCount = 1;
  a.argumentKinds[0] = 0;
  a.argumentTexts[0] = arg;
  return a;
}

inline CAction RepeatAction(const std::string& count) {
  CAction a;
  a.kind = kActionRepeat;
  a.argumentCount = 1;
  a.argumentTexts[0] = count;
  return a;
}

class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WireLanguage();
    RegisterInstanceVariables();
    RegisterFunction("wlog", FnWLog, kVariableArgs);
    RegisterFunction("wask", FnWAsk, 1);
    RegisterFunction("wact", FnWAct, 1);
    ResetErrorState();
    ErrorHooks hooks;
    hooks.showErrorWindow = [this](const std::string& msg, bool) {
      errors.push_back(msg);
      return false;  // ignore: the game goes on
    };
    SetErrorHooks(hooks);
    InstallActionErrorContext();
    Log().clear();
    SetPendingRoomChange(kNoRoomChange);
    SetWorldResources(&res);
    InitRoomIds(res);
  }
  void TearDown() override {
    StopWorld();
    SetErrorHooks({});
  }

  int AddObject(const std::string& name, int parent = -1) {
    auto obj = std::make_unique<CObject>();
    obj->parent = parent;
    return res.objects.Add(name, std::move(obj));
  }
  CObject& Obj(int index) { return *res.objects.Get(index); }
  // Appends a code action to [type][subtype] of an object.
  void On(int object, int type, int subtype, const std::string& code) {
    Obj(object).GetOrCreateEvent(type, subtype).actions.push_back(CodeAction(code));
    InvalidateEventCache();
  }
  int AddSprite(int w, int h, int frames = 1, int xo = 0, int yo = 0) {
    auto s = std::make_unique<CSprite>();
    s->width = w;
    s->height = h;
    s->bboxLeft = 0;
    s->bboxTop = 0;
    s->bboxRight = w - 1;
    s->bboxBottom = h - 1;
    s->xOrigin = xo;
    s->yOrigin = yo;
    s->precise = false;
    for (int i = 0; i < frames; ++i) s->frames.emplace_back();
    return res.sprites.Add("spr" + std::to_string(res.sprites.Count()), std::move(s));
  }
  int AddRoom(const std::string& name, std::vector<RRoomInstance> placed, const std::string& creation = "",
              bool persistent = false) {
    auto r = std::make_unique<CRoom>();
    r->instances = std::move(placed);
    r->creationCode = creation;
    r->persistent = persistent;
    return res.rooms.Add(name, std::move(r));
  }
  bool Prepare() {
    InitRoomIds(res);
    return PrepareTimeLineActions(res) && PrepareObjectActions(res);
  }

  GameResources res;
  std::vector<std::string> errors;
};

}  // namespace kv::test
