#include "functions/function_ini.h"

#include <optional>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "functions/file_names.h"
#include "functions/function_args.h"
#include "functions/function_file.h"
#include "functions/ini_file.h"
#include "platform/file_system.h"

namespace kv {
namespace {

using namespace fnargs;

constexpr const char* kMsgRead = "Trying to read from undefined INI file";
constexpr const char* kMsgWrite = "Trying to write to undefined INI file";
constexpr const char* kMsgChange = "Trying to change undefined INI file";

// The open ini file: its host path and its content as last read or written. The content is read again when the
// file changed on disk since (another program, or the game's own file functions).
struct OpenIni {
  std::string name;  // as the game gave it
  std::string path;
  IniFile ini;
  std::optional<plat::FileStamp> stamp;
};
std::optional<OpenIni>& Current() {
  static std::optional<OpenIni> current;
  return current;
}

IniFile* Fresh() {
  auto& c = Current();
  if (!c) return nullptr;
  const auto stamp = plat::StampOf(c->path);
  if (stamp != c->stamp) {
    FlushOpenFiles();
    c->ini.Parse(plat::ReadWholeFile(c->path).value_or(std::string()));
    c->stamp = plat::StampOf(c->path);
  }
  return &c->ini;
}

// Stores the content through a temporary file, so an interrupted write leaves the old file whole.
void Store() {
  auto& c = Current();
  if (!c) return;
  // Ini names never hold a folder; the working-directory check still applies to what the name leads to.
  if (SecureModeRefuses(c->name)) {
    c->stamp.reset();  // the next read takes the file as it is, without the refused change
    c->ini = IniFile{};
    return ReportRuntimeError("In secure mode you cannot write file " + c->name);
  }
  FlushOpenFiles();
  plat::WriteFileAtomically(c->path, c->ini.Serialize());
  c->stamp = plat::StampOf(c->path);
}

void FnIniOpen(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const std::string name = Str(a, 0);
  if (HasPathSeparator(name)) return ReportRuntimeError("INI files must be located in the same directory as the program");
  CloseIniFile();
  const auto host = HostPathOf(name);
  if (!host) return;
  Current() = OpenIni{name, *host, IniFile{}, std::nullopt};
  Fresh();
}

void FnIniReadString(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  IniFile* ini = Fresh();
  if (!ini) return ReportRuntimeError(kMsgRead);
  std::string value;
  if (ini->Read(Str(a, 0), Str(a, 1), value))
    r = RValue(value);
  else
    r = a[2].IsString() ? a[2] : RValue(FormatGeneralReal(D(a, 2)));
}

void FnIniReadReal(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  IniFile* ini = Fresh();
  if (!ini) return ReportRuntimeError(kMsgRead);
  std::string value;
  if (!ini->Read(Str(a, 0), Str(a, 1), value)) value = a[2].IsString() ? Str(a, 2) : FormatGeneralReal(D(a, 2));
  r = RValue(ParseIniNumber(value));
}

void Write(const RValue* a, const std::string& value) {
  IniFile* ini = Fresh();
  if (!ini) return ReportRuntimeError(kMsgWrite);
  ini->Write(Str(a, 0), Str(a, 1), value);
  Store();
}

}  // namespace

void CloseIniFile() { Current().reset(); }

void RegisterIniFunctions() {
  Reg("ini_open", 1, FnIniOpen);
  Reg("ini_close", 0, KV_FN { KV_UNUSED_ARGS; CloseIniFile(); });
  Reg("ini_read_string", 3, FnIniReadString);
  Reg("ini_read_real", 3, FnIniReadReal);
  Reg("ini_write_string", 3, KV_FN { KV_UNUSED_ARGS; Write(a, a[2].IsString() ? Str(a, 2) : FormatGeneralReal(D(a, 2))); });
  Reg("ini_write_real", 3, KV_FN { KV_UNUSED_ARGS; Write(a, FormatGeneralReal(D(a, 2))); });
  Reg("ini_key_exists", 2, KV_FN {
    KV_UNUSED_ARGS;
    IniFile* ini = Fresh();
    if (!ini) return ReportRuntimeError(kMsgRead);
    r = RValue(ini->KeyExists(Str(a, 0), Str(a, 1)) ? 1.0 : 0.0);
  });
  Reg("ini_section_exists", 1, KV_FN {
    KV_UNUSED_ARGS;
    IniFile* ini = Fresh();
    if (!ini) return ReportRuntimeError(kMsgRead);
    r = RValue(ini->SectionExists(Str(a, 0)) ? 1.0 : 0.0);
  });
  Reg("ini_key_delete", 2, KV_FN {
    KV_UNUSED_ARGS;
    IniFile* ini = Fresh();
    if (!ini) return ReportRuntimeError(kMsgChange);
    if (ini->DeleteKey(Str(a, 0), Str(a, 1))) Store();
  });
  Reg("ini_section_delete", 1, KV_FN {
    KV_UNUSED_ARGS;
    IniFile* ini = Fresh();
    if (!ini) return ReportRuntimeError(kMsgChange);
    if (ini->DeleteSection(Str(a, 0))) Store();
  });
  DescribeFunctions("Settings files", {
      {"ini_open", "fname", "Opens the settings file fname in the game's folder."},
      {"ini_close", "", "Closes the settings file."},
      {"ini_read_string", "section, key, default",
       "The text of key in section of the settings file, or default when missing."},
      {"ini_read_real", "section, key, default",
       "The number of key in section of the settings file, or default when missing."},
      {"ini_write_string", "section, key, str", "Writes a text value to key in section of the settings file."},
      {"ini_write_real", "section, key, x", "Writes a number to key in section of the settings file."},
      {"ini_key_exists", "section, key", "Whether key exists in section of the settings file."},
      {"ini_section_exists", "section", "Whether section exists in the settings file."},
      {"ini_key_delete", "section, key", "Deletes key from section of the settings file."},
      {"ini_section_delete", "section", "Deletes section from the settings file."},
  });
}

}  // namespace kv
