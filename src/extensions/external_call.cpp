#include "extensions/external_call.h"

#include <array>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>

#include "platform/file_system.h"
#include "platform/native_libs.h"
#include "platform/path_resolver.h"

namespace kv {
namespace {

struct ExternalEntry {
  std::string library;  // as given, compared without regard to case
  void* handle = nullptr;  // cleared when the library is freed
  std::string name;
  int callConvention = kExternalCdecl;
  int argumentCount = 0;
  std::array<int, kMaxExternalArgs> argumentTypes{};
  int resultType = kExternalReal;
  bool hasStrings = false;
  std::unique_ptr<plat::INativeCall> call;
};

struct ExternalTable {
  std::vector<ExternalEntry> entries;
  std::set<std::string> reportedMissing;  // lower-case library names already reported on stderr
  ExternalLibraryPlaces places;
  ~ExternalTable() { ReleaseAll(); }
  void ReleaseAll() {
    std::set<void*> released;
    for (ExternalEntry& e : entries) {
      if (e.handle && released.insert(e.handle).second) plat::NativeLibs().Release(e.handle);
      e.handle = nullptr;
    }
  }
};

ExternalTable& Table() {
  static ExternalTable t;
  return t;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool SameLibrary(const std::string& a, const std::string& b) { return a.size() == b.size() && Lower(a) == Lower(b); }

// The replacement names of a Windows library name ("x.dll" -> "x.so", "libx.so"); none for other names.
std::vector<std::string> ReplacementNames(const std::string& file) {
  if (file.size() < 4 || Lower(file.substr(file.size() - 4)) != ".dll") return {};
  const std::string base = file.substr(0, file.size() - 4);
  if (base.empty()) return {};
  return {base + ".so", "lib" + base + ".so"};
}

std::string WorkingDirectory() {
  std::error_code ec;
  std::string cwd = std::filesystem::current_path(ec).string();
  return ec ? std::string(".") : cwd;
}

// `failure`: why the last native file that exists did not load ("" when none).
void ReportMissingLibrary(const std::string& library, const ExternalLibraryPlaces& places, const std::string& cwd,
                          const std::string& failure) {
  ExternalTable& t = Table();
  if (!t.reportedMissing.insert(Lower(library)).second) return;
  const size_t slash = library.find_last_of("/\\");
  const std::string file = slash == std::string::npos ? library : library.substr(slash + 1);
  const std::vector<std::string> repl = ReplacementNames(file);
  std::string where;
  if (library.find_first_of("/\\") != std::string::npos && repl.empty()) {
    where = "beside it";
  } else {
    where = "beside the game file (" + (places.gameDirectory.empty() ? cwd : places.gameDirectory) +
            "), in the working directory (" + cwd + ") or in a directory of KV_LIBRARY_PATH";
  }
  std::cerr << "kvrun: cannot load the library \"" << library << "\"";
  if (!repl.empty()) {
    std::cerr << ": a Windows library cannot run here; put a native replacement \"" << repl[0] << "\" or \""
              << repl[1] << "\" with the same functions " << where << "\n";
  } else {
    std::cerr << "; it was looked for " << where << "\n";
  }
  if (!failure.empty()) std::cerr << "kvrun: (a file was found but did not load: " << failure << ")\n";
}

// Loads the first candidate that loads; nullptr when none does.
void* LoadLibraryFile(const std::string& library) {
  ExternalTable& t = Table();
  const std::string cwd = WorkingDirectory();
  std::string error, failure;
  for (const std::string& path : ExternalLibraryCandidates(library, t.places, cwd)) {
    const bool searched = path.find('/') == std::string::npos;  // left to the system's search
    if (!searched && !plat::FileExists(path)) continue;
    if (void* h = plat::NativeLibs().Load(path, error)) return h;
    // A Windows library is expected not to load; a native file that does not is worth naming.
    if (!searched && ReplacementNames(path).empty()) failure = error;
  }
  ReportMissingLibrary(library, t.places, cwd, failure);
  return nullptr;
}

}  // namespace

void SetExternalLibraryPlaces(ExternalLibraryPlaces places) { Table().places = std::move(places); }

std::vector<std::string> SplitLibraryPath(std::string_view list) {
  std::vector<std::string> dirs;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string_view::npos) end = list.size();
    if (end > start) dirs.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  return dirs;
}

// Beside the game file, the working directory, then KV_LIBRARY_PATH; empty and repeated ones dropped.
static std::vector<std::string> SearchDirectories(const ExternalLibraryPlaces& places, const std::string& workingDirectory) {
  std::vector<std::string> dirs, out;
  dirs.push_back(places.gameDirectory.empty() ? workingDirectory : places.gameDirectory);
  dirs.push_back(workingDirectory);
  for (const std::string& d : places.searchPath) dirs.push_back(d);
  std::set<std::string> seen;
  for (std::string& d : dirs)
    if (!d.empty() && seen.insert(d).second) out.push_back(std::move(d));
  return out;
}

std::vector<std::string> ExternalLibraryCandidates(const std::string& library, const ExternalLibraryPlaces& places,
                                                   const std::string& workingDirectory) {
  std::vector<std::string> out;
  if (library.empty()) return out;
  const bool hasFolder = library.find_first_of("/\\") != std::string::npos || library.find(':') == 1;
  auto addIn = [&](const std::string& dir, const std::string& file) {
    std::vector<std::string> names{file};
    for (std::string& r : ReplacementNames(file)) names.push_back(std::move(r));
    for (const std::string& n : names) out.push_back(dir.empty() ? n : dir + "/" + n);
  };
  if (hasFolder) {
    // Game code writes Windows names ("\" separators, any letter case); an absolute host path (the folders of
    // extension packages) is taken as it is.
    const bool hostPath = library[0] == '/' && library.find('\\') == std::string::npos;
    const std::optional<std::string> host = hostPath ? std::optional<std::string>(library) : plat::ResolveGamePath(library);
    if (!host) return out;
    const std::filesystem::path p(*host);
    std::string dir = p.parent_path().string();
    if (dir.empty()) dir = p.is_absolute() ? "/" : ".";
    const std::string file = p.filename().string();
    addIn(dir, file);
    // A Windows library named with its folder (a game's own folder, an extension package's) finds its
    // replacement in the usual places too; other names are looked for only where they say.
    const std::vector<std::string> repl = ReplacementNames(file);
    if (repl.empty()) return out;
    std::set<std::string> seen{dir};
    for (const std::string& d : SearchDirectories(places, workingDirectory)) {
      if (!seen.insert(d).second) continue;
      for (const std::string& r : repl) out.push_back(d + "/" + r);
    }
    return out;
  }
  for (const std::string& d : SearchDirectories(places, workingDirectory)) addIn(d, library);
  // Last, the system's own library search for the name as given (a library installed on the machine).
  out.push_back(library);
  return out;
}

int DefineExternal(const std::string& library, const std::string& name, int callConvention, bool stringResult,
                   const int* argumentTypes, int argumentCount) {
  if (argumentCount < 0 || argumentCount > kMaxExternalArgs) return -1;
  std::array<plat::NativeKind, kMaxExternalArgs> kinds{};
  for (int i = 0; i < argumentCount; ++i) {
    const bool isString = argumentTypes[i] == kExternalString;
    if (isString && argumentCount > kMaxExternalStringArgsCount) return -1;
    kinds[i] = isString ? plat::NativeKind::Pointer : plat::NativeKind::Real;
  }
  ExternalTable& t = Table();
  void* handle = nullptr;
  for (auto it = t.entries.rbegin(); it != t.entries.rend(); ++it) {
    if (SameLibrary(it->library, library)) {
      handle = it->handle;
      break;
    }
  }
  bool loadedNow = false;
  if (!handle) {
    handle = LoadLibraryFile(library);
    if (!handle) return -1;
    loadedNow = true;
  }
  void* entry = plat::NativeLibs().Symbol(handle, name);
  std::unique_ptr<plat::INativeCall> call;
  if (entry) {
    call = plat::NativeLibs().Prepare(entry, std::span(kinds.data(), static_cast<size_t>(argumentCount)),
                                      stringResult ? plat::NativeKind::Pointer : plat::NativeKind::Real);
  }
  if (!call) {
    // No entry keeps a library loaded only for this definition.
    if (loadedNow) plat::NativeLibs().Release(handle);
    return -1;
  }
  ExternalEntry e;
  e.library = library;
  e.handle = handle;
  e.name = name;
  e.callConvention = callConvention == kExternalStdcall ? kExternalStdcall : kExternalCdecl;
  e.argumentCount = argumentCount;
  for (int i = 0; i < argumentCount; ++i)
    e.argumentTypes[i] = argumentTypes[i] == kExternalString ? kExternalString : kExternalReal;
  for (int i = 0; i < argumentCount; ++i) e.hasStrings = e.hasStrings || e.argumentTypes[i] == kExternalString;
  e.resultType = stringResult ? kExternalString : kExternalReal;
  e.call = std::move(call);
  t.entries.push_back(std::move(e));
  return static_cast<int>(t.entries.size()) - 1;
}

void CallExternal(int id, int argc, const RValue* args, RValue& result) {
  result.SetReal(0.0);
  ExternalTable& t = Table();
  if (id < 0 || id >= static_cast<int>(t.entries.size())) return;
  ExternalEntry& e = t.entries[static_cast<size_t>(id)];
  if (!e.handle || argc != e.argumentCount) return;
  plat::NativeValue native[kMaxExternalArgs];
  plat::NativeValue out{};
  if (!e.hasStrings) {
    for (int i = 0; i < argc; ++i) native[i].real = args[i].Real();
    e.call->Invoke(native, out);
  } else {
    // Zero-terminated copies of the string arguments (strings only come with at most 4 arguments).
    std::array<std::string, kMaxExternalStringArgsCount> texts;
    int used = 0;
    for (int i = 0; i < argc; ++i) {
      if (e.argumentTypes[i] == kExternalString) {
        texts[used] = args[i].Str();
        native[i].text = texts[used].c_str();
        ++used;
      } else {
        native[i].real = args[i].Real();
      }
    }
    e.call->Invoke(native, out);
  }
  if (e.resultType == kExternalString) {
    result.SetString(out.text ? std::string_view(out.text) : std::string_view());
  } else {
    result.SetReal(out.real);
  }
}

int ExternalArgumentCount(int id) {
  ExternalTable& t = Table();
  if (id < 0 || id >= static_cast<int>(t.entries.size())) return -1;
  return t.entries[static_cast<size_t>(id)].argumentCount;
}

void FreeExternalLibrary(const std::string& library) {
  std::set<void*> released;
  for (ExternalEntry& e : Table().entries) {
    if (!SameLibrary(e.library, library)) continue;
    if (e.handle && released.insert(e.handle).second) plat::NativeLibs().Release(e.handle);
    e.handle = nullptr;
  }
}

void ResetExternalFunctions() {
  ExternalTable& t = Table();
  t.ReleaseAll();
  t.entries.clear();
  t.reportedMissing.clear();
}

}  // namespace kv
