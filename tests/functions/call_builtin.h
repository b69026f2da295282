// Test helper: calls registered built-in functions by name the way the interpreter does (16 argument slots,
// result starting as real 0) and captures the run-time errors they report.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_value.h"

namespace kv::test {

inline RValue S(const char* s) { return RValue(std::string_view(s)); }
inline RValue S(const std::string& s) { return RValue(std::string_view(s)); }

class BuiltinCaller {
 public:
  BuiltinCaller() {
    ResetErrorState();
    ErrorSettings settings;
    settings.displayErrors = true;
    SetErrorSettings(settings);
    ErrorHooks hooks;
    hooks.showErrorWindow = [this](const std::string& message, bool) {
      errors.push_back(message);
      return false;  // Ignore: keep going
    };
    SetErrorHooks(hooks);
  }
  ~BuiltinCaller() {
    SetErrorHooks(ErrorHooks{});
    ResetErrorState();
  }

  RValue Call(const std::string& name, std::initializer_list<RValue> argList = {}) {
    int id = FindBuiltinFunction(name);
    const RBuiltinFunction* fn = GetBuiltinFunction(id);
    if (fn == nullptr) {
      ADD_FAILURE() << "no built-in function " << name;
      return RValue();
    }
    RValue args[kMaxCallArgs];
    int argc = 0;
    for (const RValue& a : argList) args[argc++] = a;
    if (fn->argCount != kVariableArgs && fn->argCount != argc) {
      ADD_FAILURE() << name << " takes " << fn->argCount << " arguments, called with " << argc;
    }
    RValue result;
    fn->handler(result, nullptr, nullptr, argc, args);
    return result;
  }
  double Real(const std::string& name, std::initializer_list<RValue> argList = {}) {
    RValue r = Call(name, argList);
    EXPECT_TRUE(r.IsReal()) << name << " returned a string";
    return r.Real();
  }
  std::string Str(const std::string& name, std::initializer_list<RValue> argList = {}) {
    RValue r = Call(name, argList);
    EXPECT_TRUE(r.IsString()) << name << " returned a real";
    return r.ToStdString();
  }

  // True when exactly one error was reported since the last call and its text ends with msg.
  bool TookError(const std::string& msg) {
    bool ok = errors.size() == 1 && errors[0].size() >= msg.size() &&
              errors[0].compare(errors[0].size() - msg.size(), msg.size(), msg) == 0;
    errors.clear();
    return ok;
  }
  bool NoErrors() {
    bool ok = errors.empty();
    errors.clear();
    return ok;
  }

  std::vector<std::string> errors;
};

}  // namespace kv::test
