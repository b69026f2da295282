// Shared fixture for the language tests: a fresh language state, an in-memory room and a self instance.
// Run() compiles and runs a program and gives its result as text: a real as %.17g, a string in quotes, or for a
// failure "L:C: message" (line and column of the pending error) — compile and run-time errors alike.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "code/code_code.h"
#include "code/code_constant.h"
#include "code/code_error.h"
#include "code/code_exec.h"
#include "code/code_function.h"
#include "code/code_script.h"
#include "code/code_variable.h"
#include "code/code_world_double.h"
#include "runner/runner_wiring.h"

namespace kv::test {

// "Error in code at line L:\r   …\r\rat position C: msg" -> "L:C: msg"; other texts unchanged.
inline std::string Compact(const std::string& m) {
  const std::string head = "Error in code at line ";
  if (m.rfind(head, 0) != 0) return m;
  size_t colon = m.find(':', head.size());
  std::string line = m.substr(head.size(), colon - head.size());
  size_t at = m.find("\r\rat position ");
  if (at == std::string::npos) return m;
  size_t c0 = at + 14;
  size_t c1 = m.find(':', c0);
  return line + ":" + m.substr(c0, c1 - c0) + ":" + m.substr(c1 + 1);
}

inline std::string ValueText(const RValue& v) {
  if (v.IsString()) return "'" + v.ToStdString() + "'";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v.RealUnchecked());
  return buf;
}

class LangTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WireLanguage();
    ResetErrorState();
    ErrorSettings es;
    es.displayErrors = false;
    SetErrorSettings(es);
    ResetGlobalVariables();
    ResetConstants();
    SetResourceNameResolver(nullptr);
    SetUninitializedZero(false);
    ClearScripts();
    SetCodeWorld(&world);
    // instance_create goes to this fixture's room while the test runs; the room's own version comes back after.
    int id = FindBuiltinFunction("instance_create");
    if (id >= 0) savedCreate_ = *GetBuiltinFunction(id);
    RegisterFunction("instance_create", CodeWorldDoubleInstanceCreate, 3);
  }
  void TearDown() override {
    if (savedCreate_.handler) RegisterFunction("instance_create", savedCreate_.handler, savedCreate_.argCount);
    SetCodeWorld(nullptr);
    ClearScripts();
    SetUninitializedZero(false);
    ResetErrorState();
  }

  std::string Run(const std::string& text) { return RunOn(&self, &self, text); }
  std::string RunOn(CInstance* s, CInstance* o, const std::string& text) {
    CCode code(text, false);
    if (!code.Compile()) return Compact(PendingMessage());
    RValue result;
    if (!RunCode(s, o, &code, result)) return Compact(PendingMessage());
    return ValueText(result);
  }
  std::string Eval(const std::string& text) {
    CCode code(text, true);
    if (!code.Compile()) return PendingMessage();
    RValue result;
    if (!RunCode(&self, &self, &code, result)) return PendingMessage();
    return ValueText(result);
  }
  // Runs and reports whether an arithmetic fault abandoned the run.
  bool Faults(const std::string& text) {
    CCode code(text, false);
    if (!code.Compile()) return false;
    RValue result;
    try {
      RunCode(&self, &self, &code, result);
    } catch (const ArithmeticFault&) {
      return true;
    }
    return false;
  }
  double Var(CInstance& inst, const std::string& name) {
    RValue v;
    if (!inst.locals.GetValue(VariableIdOf(name), 0, v)) return -12345;
    return v.Real();
  }

  CodeWorldDouble world;
  CInstance self;

 private:
  RBuiltinFunction savedCreate_;
};

}  // namespace kv::test
