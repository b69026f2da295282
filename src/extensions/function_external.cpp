#include "extensions/function_external.h"

#include <array>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "extensions/external_call.h"
#include "functions/function_args.h"
#include "world/run_main.h"

namespace kv {
namespace {

using fnargs::I;
using fnargs::Reg;
using fnargs::Str;

bool RefusedInSecureMode() {
  if (!Game().secureMode) return false;
  ReportRuntimeError(kMsgSecureDlls);
  return true;
}

// A type argument: 1 means string, anything else real.
int TypeOf(const RValue& v) { return RoundToInt(v.Real()) == 1 ? kExternalString : kExternalReal; }

// Defines and reports a failed definition; the result is the id (-1 on failure).
void DefineAndReport(RValue& r, const RValue* a, int convention, const RValue& resultType, const int* types,
                     int count) {
  const int id = DefineExternal(Str(a, 0), Str(a, 1), convention, TypeOf(resultType) == kExternalString, types, count);
  if (id < 0) ReportRuntimeError(kMsgDefineFailed);
  r.SetReal(id);
}

void ExternalDefine(RValue& r, CInstance*, CInstance*, int argc, RValue* a) {
  if (RefusedInSecureMode()) return;
  if (argc < 5) return ReportRuntimeError(kMsgDefineArgCount);
  const int count = I(a, 4);
  if (count > kMaxExternalArgs || count < 0) return ReportRuntimeError(kMsgDllTooManyArgs);
  if (argc != count + 5) return ReportRuntimeError(kMsgDefineArgCount);
  std::array<int, kMaxExternalArgs> types{};
  for (int i = 0; i < count; ++i) {
    if (count > kMaxExternalStringArgsCount && RoundToInt(a[5 + i].Real()) != 0)
      return ReportRuntimeError(kMsgDllStringArgs);
    types[i] = TypeOf(a[5 + i]);
  }
  const int convention = I(a, 2) == 1 ? kExternalStdcall : kExternalCdecl;
  DefineAndReport(r, a, convention, a[3], types.data(), count);
}

void ExternalCall(RValue& r, CInstance*, CInstance*, int argc, RValue* a) {
  if (RefusedInSecureMode() || argc < 1) return;
  CallExternal(I(a, 0), argc - 1, a + 1, r);
}

void ExternalFree(RValue&, CInstance*, CInstance*, int, RValue* a) {
  if (RefusedInSecureMode()) return;
  FreeExternalLibrary(Str(a, 0));
}

// external_defineN for N = 0 … 4: (dll, name, argtype1, …, argtypeN, restype).
template <int N>
void ExternalDefineTyped(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  if (RefusedInSecureMode()) return;
  std::array<int, kMaxExternalArgs> types{};
  for (int i = 0; i < N; ++i) types[i] = TypeOf(a[2 + i]);
  DefineAndReport(r, a, kExternalCdecl, a[2 + N], types.data(), N);
}

// external_defineN for N = 5 … 8: (dll, name, restype), all arguments real.
template <int N>
void ExternalDefineReals(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  if (RefusedInSecureMode()) return;
  const std::array<int, kMaxExternalArgs> types{};
  DefineAndReport(r, a, kExternalCdecl, a[2], types.data(), N);
}

template <int N>
void ExternalCallN(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  if (RefusedInSecureMode()) return;
  CallExternal(I(a, 0), N, a + 1, r);
}

}  // namespace

void RegisterExternalFunctions() {
  Reg("external_define", kVariableArgs, ExternalDefine);
  Reg("external_call", kVariableArgs, ExternalCall);
  Reg("external_free", 1, ExternalFree);
  Reg("external_define0", 3, ExternalDefineTyped<0>);
  Reg("external_define1", 4, ExternalDefineTyped<1>);
  Reg("external_define2", 5, ExternalDefineTyped<2>);
  Reg("external_define3", 6, ExternalDefineTyped<3>);
  Reg("external_define4", 7, ExternalDefineTyped<4>);
  Reg("external_define5", 3, ExternalDefineReals<5>);
  Reg("external_define6", 3, ExternalDefineReals<6>);
  Reg("external_define7", 3, ExternalDefineReals<7>);
  Reg("external_define8", 3, ExternalDefineReals<8>);
  Reg("external_call0", 1, ExternalCallN<0>);
  Reg("external_call1", 2, ExternalCallN<1>);
  Reg("external_call2", 3, ExternalCallN<2>);
  Reg("external_call3", 4, ExternalCallN<3>);
  Reg("external_call4", 5, ExternalCallN<4>);
  Reg("external_call5", 6, ExternalCallN<5>);
  Reg("external_call6", 7, ExternalCallN<6>);
  Reg("external_call7", 8, ExternalCallN<7>);
  Reg("external_call8", 9, ExternalCallN<8>);

  DescribeFunctions("External libraries", {
      {"external_define", "dll, name, calltype, restype, argnumb, argtype1, ...",
       "Defines a function of a dynamic library with its calling convention and types, and returns its id."},
      {"external_call", "id, arg1, ...",
       "Calls a defined library function with the given arguments and returns its result."},
      {"external_free", "dll", "Frees a dynamic library; its functions must be defined again before use."},
      {"external_define0", "dll, name, restype", "Defines a library function without arguments and returns its id."},
      {"external_define1", "dll, name, argtype1, restype",
       "Defines a library function with one argument and returns its id."},
      {"external_define2", "dll, name, argtype1, argtype2, restype",
       "Defines a library function with two arguments and returns its id."},
      {"external_define3", "dll, name, argtype1, argtype2, argtype3, restype",
       "Defines a library function with three arguments and returns its id."},
      {"external_define4", "dll, name, argtype1, argtype2, argtype3, argtype4, restype",
       "Defines a library function with four arguments and returns its id."},
      {"external_define5", "dll, name, restype",
       "Defines a library function with five real arguments and returns its id."},
      {"external_define6", "dll, name, restype",
       "Defines a library function with six real arguments and returns its id."},
      {"external_define7", "dll, name, restype",
       "Defines a library function with seven real arguments and returns its id."},
      {"external_define8", "dll, name, restype",
       "Defines a library function with eight real arguments and returns its id."},
      {"external_call0", "id", "Calls a defined library function without arguments and returns its result."},
      {"external_call1", "id, arg1", "Calls a defined library function with one argument and returns its result."},
      {"external_call2", "id, arg1, arg2",
       "Calls a defined library function with two arguments and returns its result."},
      {"external_call3", "id, arg1, arg2, arg3",
       "Calls a defined library function with three arguments and returns its result."},
      {"external_call4", "id, arg1, arg2, arg3, arg4",
       "Calls a defined library function with four arguments and returns its result."},
      {"external_call5", "id, arg1, arg2, arg3, arg4, arg5",
       "Calls a defined library function with five arguments and returns its result."},
      {"external_call6", "id, arg1, arg2, arg3, arg4, arg5, arg6",
       "Calls a defined library function with six arguments and returns its result."},
      {"external_call7", "id, arg1, arg2, arg3, arg4, arg5, arg6, arg7",
       "Calls a defined library function with seven arguments and returns its result."},
      {"external_call8", "id, arg1, arg2, arg3, arg4, arg5, arg6, arg7, arg8",
       "Calls a defined library function with eight arguments and returns its result."},
  });
}

}  // namespace kv
