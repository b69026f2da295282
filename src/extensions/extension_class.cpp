#include "extensions/extension_class.h"

#include <iostream>

#include "runner/support_stream.h"

namespace kv {
namespace {

// Removes leading and trailing blanks and control characters.
std::string Trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

constexpr size_t kFunctionRecordBytes = 4 + 4 + 4 + 4 + 4 + 4 + 17 * 4 + 4;
constexpr size_t kConstantRecordMin = 3 * 4;
constexpr size_t kFileRecordMin = 7 * 4;
// The file-content block: the seed, then one byte left as it is, then substituted bytes.
constexpr size_t kContentSubstituteStart = 5;

std::string g_lastRefusal;

// The load then fails with the usual message box; stderr says which name or id was the reason.
bool Refuse(std::string why) {
  g_lastRefusal = std::move(why);
  std::cerr << "kvrun: " << g_lastRefusal << "\n";
  return false;
}

}  // namespace

bool IsSafeExtensionFileName(std::string_view name) {
  if (name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

const std::string& CExtensionPackage::LastRefusal() { return g_lastRefusal; }

bool CExtensionFunction::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  name = s.ReadString();
  externalName = s.ReadString();
  callConvention = s.ReadInt();
  id = s.ReadInt();
  argumentCount = s.ReadInt();
  for (int& t : argumentTypes) t = s.ReadInt();
  resultType = s.ReadInt() == kString ? kString : kReal;
  code.clear();
  return true;
}

void CExtensionFunction::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteString(name);
  s.WriteString(externalName);
  s.WriteInt(callConvention);
  s.WriteInt(id);
  s.WriteInt(argumentCount);
  for (int t : argumentTypes) s.WriteInt(t);
  s.WriteInt(resultType);
}

bool CExtensionConstant::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  name = s.ReadString();
  value = s.ReadString();
  return true;
}

void CExtensionConstant::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteString(name);
  s.WriteString(value);
}

bool CExtensionFile::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  fileName = s.ReadString();
  kind = s.ReadInt();
  initFunction = s.ReadString();
  finalFunction = s.ReadString();
  const int32_t functionCount = s.ReadInt();
  s.CheckCount(functionCount, kFunctionRecordBytes);
  functions.resize(static_cast<size_t>(functionCount));
  for (CExtensionFunction& f : functions) {
    if (!f.Read(s)) return false;
  }
  const int32_t constantCount = s.ReadInt();
  s.CheckCount(constantCount, kConstantRecordMin);
  constants.resize(static_cast<size_t>(constantCount));
  for (CExtensionConstant& c : constants) {
    if (!c.Read(s)) return false;
  }
  data.clear();
  return true;
}

void CExtensionFile::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteString(fileName);
  s.WriteInt(kind);
  s.WriteString(initFunction);
  s.WriteString(finalFunction);
  s.WriteInt(static_cast<int32_t>(functions.size()));
  for (const CExtensionFunction& f : functions) f.Write(s);
  s.WriteInt(static_cast<int32_t>(constants.size()));
  for (const CExtensionConstant& c : constants) c.Write(s);
}

void AssignScriptFileCode(CExtensionFile& file, std::string_view text) {
  // Lines end at carriage returns; line feeds are dropped.
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\r') {
      lines.emplace_back();
    } else if (c != '\n') {
      lines.back() += c;
    }
  }
  const std::string_view kDefine = "#define";
  bool inSection = false;
  std::string sectionName, code;
  bool firstLine = true;
  auto finish = [&] {
    if (!inSection) return;
    for (CExtensionFunction& f : file.functions) {
      if (f.externalName == sectionName) f.code = code;
    }
  };
  for (const std::string& line : lines) {
    if (std::string_view(line).substr(0, kDefine.size()) == kDefine) {
      finish();
      inSection = true;
      sectionName = Trimmed(std::string_view(line).substr(kDefine.size()));
      code.clear();
      firstLine = true;
    } else if (inSection) {
      if (!firstLine) code += "\r\n";
      code += line;
      firstLine = false;
    }
  }
  finish();
}

bool CExtensionPackage::Read(CStream& s) {
  g_lastRefusal.clear();
  if (s.ReadInt() != kRecordVersion) return false;
  name = s.ReadString();
  tempFolderName = s.ReadString();
  if (!IsSafeExtensionFileName(tempFolderName))
    return Refuse("extension package \"" + name + "\": folder name \"" + tempFolderName +
                  "\" refused (a name with a folder separator, or \".\" or \"..\")");
  const int32_t fileCount = s.ReadInt();
  s.CheckCount(fileCount, kFileRecordMin);
  files.resize(static_cast<size_t>(fileCount));
  for (CExtensionFile& f : files) {
    if (!f.Read(s)) return false;
    if (f.kind != CExtensionFile::kNoData && !IsSafeExtensionFileName(f.fileName))
      return Refuse("extension package \"" + name + "\": file name \"" + f.fileName +
                    "\" refused (a name with a folder separator, or \".\" or \"..\")");
    for (const CExtensionFunction& fn : f.functions) {
      if (fn.id < 0 || fn.id > kMaxFunctionId)
        return Refuse("extension package \"" + name + "\": function \"" + fn.name + "\" has the id " +
                      std::to_string(fn.id) + " (ids go from 0 to " + std::to_string(kMaxFunctionId) + ")");
    }
  }

  CStream content = s.ReadStream();
  dataSeed = content.ReadInt();
  if (content.Size() > kContentSubstituteStart) {
    Substitute(content, dataSeed, kContentSubstituteStart, 0);
  }
  for (CExtensionFile& f : files) {
    if (f.kind == CExtensionFile::kNoData) continue;
    f.data = std::move(content.ReadCompressed().Buffer());
  }

  for (CExtensionFile& f : files) {
    for (CExtensionFunction& fn : f.functions) {
      fn.name = Trimmed(fn.name);
      fn.externalName = Trimmed(fn.externalName);
      if (fn.externalName.empty()) fn.externalName = fn.name;
      if (fn.argumentCount > 4) fn.argumentTypes = detail::AllRealArgumentTypes();
    }
    if (f.kind == CExtensionFile::kScriptFile) {
      AssignScriptFileCode(f, std::string_view(reinterpret_cast<const char*>(f.data.data()), f.data.size()));
    }
  }
  return true;
}

void CExtensionPackage::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteString(name);
  s.WriteString(tempFolderName);
  s.WriteInt(static_cast<int32_t>(files.size()));
  for (const CExtensionFile& f : files) f.Write(s);

  CStream content;
  content.WriteInt(dataSeed);
  for (const CExtensionFile& f : files) {
    if (f.kind == CExtensionFile::kNoData) continue;
    content.WriteCompressed(f.data.data(), f.data.size());
  }
  if (content.Size() > kContentSubstituteStart) {
    Unsubstitute(content, dataSeed, kContentSubstituteStart, 0);
  }
  s.WriteInt(static_cast<int32_t>(content.Size()));
  s.WriteBytes(content.Data(), content.Size());
}

}  // namespace kv
