#pragma once
// Extension packages at run time: their files unpacked into a folder of the temporary directory, their constants
// defined, their functions callable from game code under ids 500000 + function id (library functions through the
// external-call table, script-file functions as compiled code), and their initialization and finalization
// functions run at every game start and end.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "code/code_value.h"
#include "extensions/extension_class.h"

namespace kv {

class CInstance;

inline constexpr const char* kMsgSecureExtensions = "In secure mode you cannot use extension packages.";
inline constexpr const char* kMsgExtensionCompile = "COMPILATION ERROR in extension package ";
inline constexpr const char* kMsgNoInitFunction = "Could not locate initialization function ";
inline constexpr const char* kMsgNoFinalFunction = "Could not locate finalization function ";

struct ExtensionPreparation {
  std::string tempDirectory;  // host path of the runner's temporary directory; empty: nothing is unpacked
  bool secureMode = false;    // no library is unpacked or loaded, every call and init/final function refuses
  std::function<void(const std::string&)> messageBox;  // the constants' failure messages
};

// Unpacks the files, defines the constants (a failing one shows its message and preparation goes on), sizes the
// tables, defines the library functions and compiles the script-file functions; false after the fatal report of
// the first function that does not compile. Makes the functions visible to the compiler.
bool PrepareExtensionPackages(const std::vector<CExtensionPackage>& packages, const ExtensionPreparation& how);
// Forgets every package (tables, functions, the names the compiler sees).
void ClearExtensionPackages();

// The packages in order, their files in order: the id of the first function with that exact name, or -1.
int FindExtensionFunction(std::string_view name);
// The argument count of the first function with that id (-1 any number), -100 when none has it.
int ExtensionArgumentCount(int id);
std::string ExtensionFunctionName(int id);
// Calls function id; false on failure with the reason pending.
bool CallExtensionFunction(int id, CInstance* self, CInstance* other, RValue& result, const RValue* args, int count);

// The initialization (finalization) functions of every file in order, each with a temporary instance as self and
// other; the first failure is reported as fatal and ends the loop with false.
bool InitExtensionPackages();
bool FinalizeExtensionPackages();

}  // namespace kv
