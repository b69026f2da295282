#pragma once
// The script functions of external library calls: external_define, external_call, external_free and the
// fixed-arity variants external_define0 … 8 and external_call0 … 8. All refuse in secure mode.
namespace kv {

inline constexpr const char* kMsgSecureDlls = "In secure mode you cannot use DLLs";
inline constexpr const char* kMsgDefineArgCount = "Wrong number of arguments to external_define()";
inline constexpr const char* kMsgDllTooManyArgs = "DLL functions can have at most 16 arguments";
inline constexpr const char* kMsgDllStringArgs = "DLL functions with more than 4 arguments cannot have string arguments";
inline constexpr const char* kMsgDefineFailed = "Error defining an external function.";

void RegisterExternalFunctions();

}  // namespace kv
