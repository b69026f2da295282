#pragma once
// The table of external functions game code defines in native libraries, and the calls through it. An entry's
// index is its external id. Windows libraries ("name.dll") cannot run here: a native replacement "name.so" or
// "libname.so" with the same exported names is looked for beside the named file, beside the game file, in the
// working directory and in the directories of KV_LIBRARY_PATH.
#include <string>
#include <string_view>
#include <vector>

#include "code/code_value.h"

namespace kv {

constexpr int kExternalCdecl = 0, kExternalStdcall = 1;    // both are the platform's default convention here
constexpr int kExternalReal = 0, kExternalString = 1;      // argument and result types
constexpr int kMaxExternalArgs = 16;
constexpr int kMaxExternalStringArgsCount = 4;             // string arguments only up to this many arguments

// Where library names are looked for besides the directory they name.
struct ExternalLibraryPlaces {
  std::string gameDirectory;             // the folder of the game file
  std::vector<std::string> searchPath;   // the directories of KV_LIBRARY_PATH, in order
};
void SetExternalLibraryPlaces(ExternalLibraryPlaces places);
// The directories of a colon-separated list, empty parts dropped.
std::vector<std::string> SplitLibraryPath(std::string_view list);

// The host files tried for a library name, in order. A bare name is looked for beside the game file, in the
// working directory, then in the search path, and last through the system's own search; in each place the name
// itself comes first, then for a name ending in ".dll" (any case) "name.so" and "libname.so". A name with a folder
// is looked for in that folder (the same three names), and a ".dll" one then finds its replacements in the places
// of a bare name.
std::vector<std::string> ExternalLibraryCandidates(const std::string& library, const ExternalLibraryPlaces& places,
                                                   const std::string& workingDirectory);

// Defines a function; returns its external id, or -1 when there are too many arguments (more than 16, or more
// than 4 with a string among them), when no library file loads, or when the library has no such export.
int DefineExternal(const std::string& library, const std::string& name, int callConvention, bool stringResult,
                   const int* argumentTypes, int argumentCount);
// Calls the function with the given arguments. The result is real 0 unless the call takes place; nothing happens
// for an undefined id, a count different from the defined one or a freed library. Reals go as doubles, strings
// as zero-terminated copies alive for the call; a string result is copied at once ("" for a null address).
void CallExternal(int id, int argc, const RValue* args, RValue& result);
// The defined argument count of an id, or -1 for an undefined id.
int ExternalArgumentCount(int id);
// Every entry of that library (name compared without regard to case) loses its handle; the library is released.
void FreeExternalLibrary(const std::string& library);
// Releases every library and forgets every definition (end of the program, tests).
void ResetExternalFunctions();

}  // namespace kv
