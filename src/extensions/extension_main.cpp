#include "extensions/extension_main.h"

#include <memory>
#include <random>
#include <unordered_map>

#include "code/code_code.h"
#include "code/code_constant.h"
#include "code/code_error.h"
#include "code/code_exec.h"
#include "code/code_function.h"
#include "extensions/external_call.h"
#include "platform/file_system.h"
#include "platform/file_write.h"
#include "platform/text_codec.h"
#include "world/instance_class.h"

namespace kv {
namespace {

constexpr int kCdeclConvention = 12;  // the stored call convention of cdecl functions

// What one function of a file is, kept after preparation (the records themselves stay with the game data).
struct FunctionInfo {
  std::string name;
  int id = 0;
};
struct FileInfo {
  std::string initFunction, finalFunction;
  std::vector<FunctionInfo> functions;
};

// One slot per function id.
struct FunctionSlot {
  bool named = false;           // some function has this id (the first one gives name and argument count)
  std::string name;
  int argumentCount = 0;
  bool isLibrary = false;
  int externalId = -1;          // library function: its external id, -1 when the definition failed
  std::unique_ptr<CCode> code;  // script-file function with code
};

struct ExtensionState {
  std::vector<FileInfo> files;  // every package's files, packages in order
  std::unordered_map<std::string, int> byName;  // first function of each name
  std::vector<FunctionSlot> slots;
  bool secureMode = false;
};

ExtensionState& State() {
  static ExtensionState s;
  return s;
}

// The hooks the compiler and interpreter reach extension functions through.
int HookFind(std::string_view name) { return FindExtensionFunction(name); }
int HookArgCount(int id) { return ExtensionArgumentCount(id); }
bool HookCall(int id, CInstance* self, CInstance* other, int argc, RValue* args, RValue& result) {
  return CallExtensionFunction(id, self, other, result, args, argc);
}

// The folder of a package inside the temporary directory (a host path); the stored name, or "temp" and a random
// number when the game data has none.
std::string PackageFolder(const CExtensionPackage& p, const std::string& tempDirectory) {
  std::string folder = p.tempFolderName;
  if (folder.empty()) {
    std::random_device rd;
    folder = "temp" + std::to_string(rd() % 999);
  }
  return tempDirectory + "/" + plat::Cp1252ToUtf8(folder);
}

// Writes the library and other files of a package into its folder. Names were checked when the package was read;
// they are checked again here since this is where a bad one would do harm.
void UnpackFiles(const CExtensionPackage& p, const std::string& folder, bool secureMode) {
  if (!IsSafeExtensionFileName(p.tempFolderName) || !plat::CreateDirectories(folder)) return;
  for (const CExtensionFile& f : p.files) {
    const bool written = f.kind == CExtensionFile::kOtherFile || (f.kind == CExtensionFile::kLibrary && !secureMode);
    if (!written || !IsSafeExtensionFileName(f.fileName)) continue;
    plat::WriteFileAtomically(folder + "/" + plat::Cp1252ToUtf8(f.fileName), f.data.data(), f.data.size(), false);
  }
}

// Reports the pending message of a failed init or final call as fatal.
void ReportPendingAsFatal() {
  std::string msg = PendingMessage();
  ClearErrorPending();
  ReportError(msg, true);
}

bool RunFileFunctions(bool init) {
  ExtensionState& st = State();
  for (const FileInfo& f : st.files) {
    const std::string& name = init ? f.initFunction : f.finalFunction;
    if (name.empty()) continue;
    if (st.secureMode) {
      ReportError(kMsgSecureExtensions, true);
      return false;
    }
    int id = -1;
    for (const FunctionInfo& fn : f.functions) {
      if (fn.name == name) {
        id = fn.id;
        break;
      }
    }
    if (id < 0) {
      ReportError(std::string(init ? kMsgNoInitFunction : kMsgNoFinalFunction) + name, true);
      return false;
    }
    CInstance temp(0, 0, 0, 0);
    RValue result;
    ClearErrorPending();
    if (!CallExtensionFunction(id, &temp, &temp, result, nullptr, 0)) {
      ReportPendingAsFatal();
      return false;
    }
  }
  return true;
}

}  // namespace

bool PrepareExtensionPackages(const std::vector<CExtensionPackage>& packages, const ExtensionPreparation& how) {
  ClearExtensionPackages();
  ExtensionState& st = State();
  st.secureMode = how.secureMode;
  int highest = -1;
  for (const CExtensionPackage& p : packages) {
    for (const CExtensionFile& f : p.files) {
      FileInfo info{f.initFunction, f.finalFunction, {}};
      for (const CExtensionFunction& fn : f.functions) {
        info.functions.push_back({fn.name, fn.id});
        st.byName.emplace(fn.name, fn.id);
        if (fn.id > highest) highest = fn.id;
      }
      st.files.push_back(std::move(info));
    }
  }
  SetExtensionFunctionHooks({HookFind, HookArgCount, HookCall});

  std::vector<std::string> folders;
  for (const CExtensionPackage& p : packages) {
    folders.push_back(how.tempDirectory.empty() ? std::string() : PackageFolder(p, how.tempDirectory));
    if (!folders.back().empty()) UnpackFiles(p, folders.back(), how.secureMode);
  }

  for (const CExtensionPackage& p : packages)
    for (const CExtensionFile& f : p.files)
      for (const CExtensionConstant& c : f.constants) DefineConstant(c.name, c.value, how.messageBox);

  // Ids were bounded when the packages were read; anything else here would be a programming error.
  if (highest > CExtensionPackage::kMaxFunctionId) return false;
  st.slots.resize(static_cast<size_t>(highest + 1));
  for (size_t pi = 0; pi < packages.size(); ++pi) {
    const CExtensionPackage& p = packages[pi];
    for (const CExtensionFile& f : p.files) {
      for (const CExtensionFunction& fn : f.functions) {
        if (fn.id < 0) continue;
        FunctionSlot& slot = st.slots[static_cast<size_t>(fn.id)];
        if (!slot.named) {
          slot.named = true;
          slot.name = fn.name;
          slot.argumentCount = fn.argumentCount;
        }
        if (f.kind == CExtensionFile::kLibrary) {
          slot.isLibrary = true;
          slot.externalId = -1;
          if (how.secureMode || folders[pi].empty() || !IsSafeExtensionFileName(f.fileName)) continue;
          std::vector<int> types(CExtensionFunction::kArgumentTypeSlots);
          for (int i = 0; i < CExtensionFunction::kArgumentTypeSlots; ++i)
            types[static_cast<size_t>(i)] =
                fn.argumentTypes[static_cast<size_t>(i)] == CExtensionFunction::kString ? kExternalString : kExternalReal;
          slot.externalId = DefineExternal(folders[pi] + "/" + plat::Cp1252ToUtf8(f.fileName), fn.externalName,
                                           fn.callConvention == kCdeclConvention ? kExternalCdecl : kExternalStdcall,
                                           fn.resultType == CExtensionFunction::kString, types.data(),
                                           fn.argumentCount);
        } else if (f.kind == CExtensionFile::kScriptFile) {
          slot.isLibrary = false;
          if (fn.code.empty()) continue;
          auto code = std::make_unique<CCode>(fn.code, false);
          ClearErrorPending();
          if (!code->Compile()) {
            std::string msg = std::string(kMsgExtensionCompile) + p.name + "\r" + PendingMessage();
            ClearErrorPending();
            ReportError(msg, true);
            return false;
          }
          slot.code = std::move(code);
        }
      }
    }
  }
  return true;
}

void ClearExtensionPackages() {
  ExtensionState& st = State();
  st.files.clear();
  st.byName.clear();
  st.slots.clear();
  st.secureMode = false;
  SetExtensionFunctionHooks({});
}

int FindExtensionFunction(std::string_view name) {
  const ExtensionState& st = State();
  auto it = st.byName.find(std::string(name));
  return it == st.byName.end() ? -1 : it->second;
}

int ExtensionArgumentCount(int id) {
  const ExtensionState& st = State();
  if (id < 0 || id >= static_cast<int>(st.slots.size()) || !st.slots[static_cast<size_t>(id)].named) return -100;
  return st.slots[static_cast<size_t>(id)].argumentCount;
}

std::string ExtensionFunctionName(int id) {
  const ExtensionState& st = State();
  if (id < 0 || id >= static_cast<int>(st.slots.size())) return std::string();
  return st.slots[static_cast<size_t>(id)].name;
}

bool CallExtensionFunction(int id, CInstance* self, CInstance* other, RValue& result, const RValue* args, int count) {
  ExtensionState& st = State();
  if (st.secureMode) {
    ClearErrorPending();
    RecordPlainError(kMsgSecureExtensions);
    return false;
  }
  if (id < 0 || id >= static_cast<int>(st.slots.size())) return false;
  FunctionSlot& slot = st.slots[static_cast<size_t>(id)];
  if (slot.code) {
    ArgumentFrame frame(args, count);
    if (!frame.Ok()) {
      ClearErrorPending();
      RecordPlainError(kStackOverflowMessage);
      return false;
    }
    result.SetReal(0.0);
    if (RunForValue(self, other, slot.code.get(), result)) return true;
    if (PendingMessage().size() < 16384)
      SetPendingMessage("In extension function " + slot.name + ":\r" + PendingMessage());
    return false;
  }
  result.SetReal(0.0);
  if (slot.isLibrary && slot.argumentCount >= 0 && count != slot.argumentCount) {
    // Native code must never see a call with another shape than its definition; the game learns of it.
    ReportRuntimeError("Wrong number of arguments to function or script.");
    return true;
  }
  CallExternal(slot.externalId, count, args, result);
  return true;
}

bool InitExtensionPackages() { return RunFileFunctions(true); }
bool FinalizeExtensionPackages() { return RunFileFunctions(false); }

}  // namespace kv
