#include "kvpack_extensions.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/text_codec.h"

namespace kv::pack {
namespace {

std::string ToGame(std::string_view utf8) { return plat::Utf8ToCp1252(utf8); }

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

int KindFromName(const std::string& name) {
  const std::string n = Lower(name);
  if (EndsWith(n, ".dll") || EndsWith(n, ".so")) return CExtensionFile::kLibrary;
  if (EndsWith(n, ".kvs") || EndsWith(n, ".txt")) return CExtensionFile::kScriptFile;
  return CExtensionFile::kOtherFile;
}

int KindFromWord(const Manifest& m, const ManifestEntry& e) {
  if (e.value == "library") return CExtensionFile::kLibrary;
  if (e.value == "script") return CExtensionFile::kScriptFile;
  if (e.value == "none") return CExtensionFile::kNoData;
  if (e.value == "other") return CExtensionFile::kOtherFile;
  m.Fail(e.line, "kind is library, script, other or none");
}

// The line number of the last "#define NAME" line of a script file (its code is the lines after it), 0 when none.
// Lines end at carriage returns, as the runner counts them.
int DefineLine(const std::string& text, const std::string& name) {
  int line = 1, found = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\r', start);
    if (end == std::string::npos) end = text.size();
    std::string_view l = std::string_view(text).substr(start, end - start);
    if (!l.empty() && l.front() == '\n') l.remove_prefix(1);
    if (l.rfind("#define", 0) == 0) {
      l.remove_prefix(7);
      while (!l.empty() && static_cast<unsigned char>(l.front()) <= ' ') l.remove_prefix(1);
      while (!l.empty() && static_cast<unsigned char>(l.back()) <= ' ') l.remove_suffix(1);
      if (l == name) found = line;
    }
    start = end + 1;
    ++line;
  }
  return found;
}

// "function NAME = real string -> string external=EXT stdcall id=N"; "any" for any number of arguments.
CExtensionFunction ParseFunction(const Manifest& m, const ManifestEntry& e, int& nextId) {
  CExtensionFunction f;
  f.name = ToGame(Trim(std::string_view(e.key).substr(std::string_view("function").size())));
  if (f.name.empty()) m.Fail(e.line, "a function needs 'function NAME = ARGUMENT TYPES -> RESULT TYPE'");
  f.callConvention = 12;  // cdecl
  f.argumentCount = 0;
  bool result = false, any = false, hasId = false;
  for (const std::string& w : SplitWords(e.value)) {
    if (w == "->") {
      result = true;
    } else if (w == "real" || w == "string") {
      const int type = w == "string" ? CExtensionFunction::kString : CExtensionFunction::kReal;
      if (result) {
        f.resultType = type;
      } else {
        if (any || f.argumentCount >= 16) m.Fail(e.line, "at most 16 arguments, or 'any'");
        f.argumentTypes[static_cast<size_t>(f.argumentCount++)] = type;
      }
    } else if (w == "any" && !result) {
      if (f.argumentCount) m.Fail(e.line, "'any' stands alone");
      any = true;
      f.argumentCount = -1;
    } else if (w == "stdcall") {
      f.callConvention = 11;
    } else if (w.rfind("external=", 0) == 0) {
      f.externalName = ToGame(w.substr(9));
    } else if (w.rfind("id=", 0) == 0) {
      f.id = ParseInt(m, e, w.substr(3));
      hasId = true;
    } else {
      m.Fail(e.line, "unknown word '" + w + "' in a function");
    }
  }
  if (!hasId) f.id = nextId;
  nextId = std::max(nextId, f.id + 1);
  return f;
}

}  // namespace

CExtensionPackage PackExtension(const Manifest& m, const ManifestSection& sec, const std::string& dir,
                                int& nextFunctionId, std::vector<CodeSource>& code) {
  if (sec.name.empty()) m.Fail(sec.line, "[extension] needs a name");
  CExtensionPackage p;
  p.name = ToGame(sec.name);
  p.tempFolderName = p.name;
  p.dataSeed = 1234;
  std::vector<std::string> sources;  // per file: the project file its content comes from ("" none)
  std::vector<int> lines;
  auto current = [&](const ManifestEntry& e) -> CExtensionFile& {
    if (p.files.empty()) m.Fail(e.line, "'" + e.key + "' belongs to a file: start one with 'file = NAME'");
    return p.files.back();
  };
  for (const ManifestEntry& e : sec.entries) {
    if (e.key == "folder") {
      p.tempFolderName = ToGame(e.value);
    } else if (e.key == "file") {
      if (e.value.empty()) m.Fail(e.line, "a file needs a name");
      CExtensionFile f;
      f.fileName = ToGame(e.value);
      f.kind = KindFromName(e.value);
      p.files.push_back(std::move(f));
      sources.push_back(e.value);
      lines.push_back(e.line);
    } else if (e.key == "kind") {
      current(e).kind = KindFromWord(m, e);
    } else if (e.key == "source") {
      current(e);
      sources.back() = e.value;
    } else if (e.key == "init") {
      current(e).initFunction = ToGame(e.value);
    } else if (e.key == "final") {
      current(e).finalFunction = ToGame(e.value);
    } else if (e.key.rfind("function", 0) == 0 && e.key.size() > 8 && (e.key[8] == ' ' || e.key[8] == '\t')) {
      current(e).functions.push_back(ParseFunction(m, e, nextFunctionId));
    } else if (e.key.rfind("constant", 0) == 0 && e.key.size() > 8 && (e.key[8] == ' ' || e.key[8] == '\t')) {
      if (!e.hasValue) m.Fail(e.line, "a constant needs 'constant NAME = value'");
      current(e).constants.push_back({ToGame(Trim(std::string_view(e.key).substr(8))), ToGame(e.rawValue)});
    } else {
      m.Fail(e.line, "unknown entry '" + e.key + "' in [extension]");
    }
  }
  for (size_t i = 0; i < p.files.size(); ++i) {
    CExtensionFile& f = p.files[i];
    if (f.kind == CExtensionFile::kNoData) continue;
    // A library may be stored without content: the runner then looks for a native replacement of it.
    std::ifstream in(dir + "/" + sources[i], std::ios::binary);
    if (!in) {
      if (f.kind == CExtensionFile::kLibrary) continue;
      m.Fail(lines[i], "cannot read " + sources[i]);
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Script files are cut into lines at carriage returns; a byte order mark would hide a "#define" on line 1.
    if (f.kind == CExtensionFile::kScriptFile) bytes = StoredCodeText(bytes);
    f.data.assign(bytes.begin(), bytes.end());
  }
  // The trimming and defaults the runner applies when it reads the package.
  for (CExtensionFile& f : p.files)
    for (CExtensionFunction& fn : f.functions)
      if (fn.externalName.empty()) fn.externalName = fn.name;
  // Script-file functions get their code as the runner cuts it from the file (by the name after "#define").
  for (size_t i = 0; i < p.files.size(); ++i) {
    CExtensionFile& f = p.files[i];
    if (f.kind != CExtensionFile::kScriptFile || f.data.empty()) continue;
    const std::string text(f.data.begin(), f.data.end());
    AssignScriptFileCode(f, text);
    for (const CExtensionFunction& fn : f.functions)
      if (!fn.code.empty()) code.push_back({sources[i], fn.code, false, 0, DefineLine(text, fn.externalName)});
  }
  return p;
}

}  // namespace kv::pack
