#include "functions/function_file.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <memory>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "functions/file_names.h"
#include "functions/function_args.h"
#include "functions/function_misc.h"
#include "functions/function_system.h"
#include "functions/function_ini.h"
#include "functions/function_registry.h"
#include "graphics/bitmap_ops.h"
#include "platform/file_system.h"
#include "platform/path_resolver.h"
#include "platform/text_codec.h"
#include "runner/included_export.h"
#include "world/builtin_globals.h"
#include "world/run_main.h"

namespace kv {
namespace {

using namespace fnargs;
using plat::HostFile;

constexpr int kSlots = 32;
constexpr const char* kMsgMaxFiles = "Cannot open another file (maximum exceeded).";

// ---- tables ----------------------------------------------------------------------------------------------------

struct BinarySlot {
  std::unique_ptr<HostFile> file;
  int mode = 0;            // 0 read, 1 write, other read and write
  bool writing = false;    // the last transfer was a write
  // A read-write stream must be repositioned when it turns from reading to writing or back; seeking to where
  // it is does that.
  bool Turn(bool toWrite) {
    if (writing == toWrite) return true;
    writing = toWrite;
    const int64_t pos = file->Position();
    return pos >= 0 && file->Seek(pos);
  }
};

enum class TextState { Free, Read, Write };
struct TextSlot {
  std::unique_ptr<HostFile> file;
  TextState state = TextState::Free;
  bool unflushed = false;
};

struct FileTables {
  std::array<BinarySlot, kSlots + 1> binary;  // 1..32
  std::array<TextSlot, kSlots + 1> text;      // 0 legacy, 1..32
  std::vector<std::string> found;             // names of the running search
  size_t nextFound = 0;
  bool searching = false;
  std::vector<CDataFile>* included = nullptr;
};

FileTables& T() {
  static FileTables t;
  return t;
}

void Error(const std::string& message) { ReportRuntimeError(message); }

// ---- text reading on an open file -----------------------------------------------------------------------------

bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }

std::string RestOfLine(HostFile& f) {
  std::string s;
  for (int c = f.Peek(); c >= 0 && !IsLineEnd(c); c = f.Peek()) s.push_back(static_cast<char>(f.Get()));
  return s;
}

void SkipLine(HostFile& f) {
  int c;
  while ((c = f.Get()) >= 0) {
    if (c == '\n') return;
    if (c == '\r') {
      if (f.Peek() == '\n') f.Get();
      return;
    }
  }
}

// Skips blanks and line ends, then reads one number token. At the end of the file the result is 0 without an
// error; a token that is not a number is an error.
bool ReadRealToken(HostFile& f, double& out) {
  out = 0;
  int c;
  while ((c = f.Peek()) == ' ' || c == '\t' || IsLineEnd(c)) f.Get();
  if (c < 0) return true;
  std::string token;
  while ((c = f.Peek()) >= 0 && c != ' ' && c != '\t' && !IsLineEnd(c)) token.push_back(static_cast<char>(f.Get()));
  if (ParseTextFileNumber(token, out)) return true;
  out = 0;
  return false;
}

// ---- slots ---------------------------------------------------------------------------------------------------

int FreeTextSlot() {
  for (int i = 1; i <= kSlots; ++i)
    if (T().text[i].state == TextState::Free) return i;
  return -1;
}

TextSlot* TextSlotFor(int slot, TextState state) {
  if (slot < 0 || slot > kSlots) return nullptr;
  TextSlot& s = T().text[static_cast<size_t>(slot)];
  return s.state == state && s.file ? &s : nullptr;
}

void CloseTextSlot(TextSlot& s, bool reportFailure) {
  const bool ok = !s.file || s.file->Close();
  s.file.reset();
  s.state = TextState::Free;
  s.unflushed = false;
  if (!ok && reportFailure) Error("Error closing file.");
}

// Opens a text file in slot `slot` (already free). Read opens of a missing file fail quietly.
enum class OpenResult { Ok, Missing, Failed };
OpenResult OpenText(int slot, const std::string& name, HostFile::Mode mode) {
  FlushOpenFiles();
  const auto host = HostPathOf(name);
  if (mode == HostFile::Mode::Read && (!host || !plat::FileExists(*host))) return OpenResult::Missing;
  if (!host) return OpenResult::Failed;
  auto f = HostFile::Open(*host, mode);
  if (!f) return OpenResult::Failed;
  TextSlot& s = T().text[static_cast<size_t>(slot)];
  s.file = std::move(f);
  s.state = mode == HostFile::Mode::Read ? TextState::Read : TextState::Write;
  s.unflushed = false;
  return OpenResult::Ok;
}

// The messages of the text-reading and writing functions differ between the numbered slots and the legacy file.
struct TextMessages {
  const char* notForReading;
  const char* eofNotForReading;
  const char* readReal;
};
constexpr TextMessages kNumbered{"File is not opened for reading.", "File is not opened for reading.",
                                 "Error reading real."};
constexpr TextMessages kLegacy{"File not opened for reading.", "File is not opened for reading.",
                               "Error reading read."};

void TextReadString(RValue& r, int slot, const TextMessages& m) {
  TextSlot* s = TextSlotFor(slot, TextState::Read);
  if (!s) return Error(m.notForReading);
  r = RValue(RestOfLine(*s->file));
}

void TextReadReal(RValue& r, int slot, const TextMessages& m) {
  TextSlot* s = TextSlotFor(slot, TextState::Read);
  if (!s) return Error(m.notForReading);
  double x = 0;
  if (!ReadRealToken(*s->file, x)) Error(m.readReal);
  r = RValue(x);
}

void TextReadln(int slot, const TextMessages& m) {
  TextSlot* s = TextSlotFor(slot, TextState::Read);
  if (!s) return Error(m.notForReading);
  SkipLine(*s->file);
}

void TextEof(RValue& r, int slot, const TextMessages& m) {
  TextSlot* s = TextSlotFor(slot, TextState::Read);
  if (!s) return Error(m.eofNotForReading);
  r = RValue(s->file->AtEnd() ? 1.0 : 0.0);
}

void TextWrite(int slot, std::string_view text) {
  TextSlot* s = TextSlotFor(slot, TextState::Write);
  if (!s) return Error("File not opened for writing.");
  s->file->Write(text);
  s->unflushed = true;
}

// ---- text files (slots 1..32) -----------------------------------------------------------------------------------

void TextOpen(RValue& r, const RValue* a, HostFile::Mode mode) {
  r = RValue(-1.0);
  const std::string name = Str(a, 0);
  if (mode == HostFile::Mode::Write && SecureModeRefuses(name))
    return Error("In secure mode you cannot write file " + name);
  if (mode == HostFile::Mode::Append && SecureModeRefuses(name))
    return Error("In secure mode you cannot append to file " + name);
  const int slot = FreeTextSlot();
  if (slot < 0) return Error(kMsgMaxFiles);
  switch (OpenText(slot, name, mode)) {
    case OpenResult::Ok: r = RValue(static_cast<double>(slot)); return;
    case OpenResult::Missing: return;
    case OpenResult::Failed:
      return Error(mode == HostFile::Mode::Read    ? "Error opening file for reading."
                   : mode == HostFile::Mode::Write ? "Error opening file for writing."
                                                   : "Error opening file for appending.");
  }
}

void FnTextClose(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int slot = I(a, 0);
  if (slot < 1 || slot > kSlots) return Error("Trying to close unexisting text file.");
  TextSlot& s = T().text[static_cast<size_t>(slot)];
  if (s.state != TextState::Free) CloseTextSlot(s, true);
}

// ---- legacy single file (slot 0) --------------------------------------------------------------------------------

void LegacyOpen(const RValue* a, HostFile::Mode mode) {
  CloseTextSlot(T().text[0], false);
  const std::string name = Str(a, 0);
  if (mode == HostFile::Mode::Write && SecureModeRefuses(name))
    return Error("In secure mode you cannot write file " + name);
  if (mode == HostFile::Mode::Append && SecureModeRefuses(name))
    return Error("In secure mode you cannot append to file " + name);
  if (OpenText(0, name, mode) == OpenResult::Failed)
    Error(mode == HostFile::Mode::Read    ? "Error opening file for reading."
          : mode == HostFile::Mode::Write ? "Error opening file for writing."
                                          : "Error opening file for appending.");
}

// ---- binary files -----------------------------------------------------------------------------------------------

BinarySlot* BinarySlotFor(int slot) {
  if (slot < 1 || slot > kSlots) return nullptr;
  BinarySlot& s = T().binary[static_cast<size_t>(slot)];
  return s.file ? &s : nullptr;
}

void FnBinOpen(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = RValue(-1.0);
  const std::string name = Str(a, 0);
  const int mode = I(a, 1);
  int slot = -1;
  for (int i = 1; i <= kSlots && slot < 0; ++i)
    if (!T().binary[i].file) slot = i;
  if (slot < 0) return Error(kMsgMaxFiles);
  FlushOpenFiles();
  const auto host = HostPathOf(name);
  const bool exists = host && plat::FileExists(*host);
  // Opening for reading creates a missing file too, so creating is checked like writing.
  if ((mode != 0 || !exists) && SecureModeRefuses(name)) return Error("In secure mode you cannot write file " + name);
  if (!host) return Error("Error opening binary file.");
  if (!exists) {
    auto created = HostFile::Open(*host, HostFile::Mode::Write);
    if (!created || !created->Close()) return Error("Error opening binary file.");
  }
  auto f = HostFile::Open(*host, mode == 0 ? HostFile::Mode::Read : HostFile::Mode::ReadWrite);
  if (!f) return Error("Error opening binary file.");
  T().binary[static_cast<size_t>(slot)] = {std::move(f), mode, false};
  r = RValue(static_cast<double>(slot));
}

void FnBinRewrite(RValue&, CInstance*, CInstance*, int, RValue* a) {
  BinarySlot* s = BinarySlotFor(I(a, 0));
  if (!s) return Error("Trying to rewrite unopened file.");
  if (s->mode == 0 || !s->file->Truncate()) Error("Error rewriting file.");
}

void FnBinClose(RValue&, CInstance*, CInstance*, int, RValue* a) {
  BinarySlot* s = BinarySlotFor(I(a, 0));
  if (!s) return Error("Trying to close unopened file.");
  const bool ok = s->file->Close();
  s->file.reset();
  if (!ok) Error("Error closing file.");
}

void FnBinSize(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  BinarySlot* s = BinarySlotFor(I(a, 0));
  if (!s) return Error("File is not opened.");
  const int64_t size = s->file->Size();
  if (size < 0) return Error("Error retrieving file size.");
  r = RValue(static_cast<double>(size));
}

void FnBinPosition(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  BinarySlot* s = BinarySlotFor(I(a, 0));
  if (!s) return Error("File is not opened.");
  const int64_t pos = s->file->Position();
  if (pos < 0) return Error("Error retrieving file position.");
  r = RValue(static_cast<double>(pos));
}

void FnBinSeek(RValue&, CInstance*, CInstance*, int, RValue* a) {
  BinarySlot* s = BinarySlotFor(I(a, 0));
  if (!s) return Error("File is not opened.");
  const int64_t pos = RoundToInt(a[1].Real());
  if (pos < 0 || !s->file->Seek(pos)) Error("Error seeking.");
}

void FnBinReadByte(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  BinarySlot* s = BinarySlotFor(I(a, 0));
  if (!s) return Error("File is not opened.");
  const int c = s->mode == 1 || !s->Turn(false) ? -1 : s->file->Get();
  if (c < 0) return Error("Error reading byte.");
  r = RValue(static_cast<double>(c));
}

void FnBinWriteByte(RValue&, CInstance*, CInstance*, int, RValue* a) {
  BinarySlot* s = BinarySlotFor(I(a, 0));
  if (!s) return Error("File is not opened.");
  const uint8_t byte = static_cast<uint8_t>(I(a, 1) & 0xFF);
  if (s->mode == 0 || !s->Turn(true) || !s->file->Write(&byte, 1)) Error("Error writing byte.");
}

// ---- files and directories --------------------------------------------------------------------------------------

void FnFileExists(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  FlushOpenFiles();
  const auto host = HostPathOf(Str(a, 0));
  r = RValue(host && plat::FileExists(*host) ? 1.0 : 0.0);
}

void FnFileDelete(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const std::string name = Str(a, 0);
  if (SecureModeRefuses(name)) return Error("In Secure mode you cannot delete file " + name);
  FlushOpenFiles();
  if (const auto host = HostPathOf(name)) plat::DeleteFile(*host);
}

void FnFileRename(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const std::string from = Str(a, 0), to = Str(a, 1);
  if (SecureModeRefuses(from) || SecureModeRefuses(to))
    return Error("In Secure mode you cannot rename file " + from + " into " + to);
  FlushOpenFiles();
  const auto hostFrom = HostPathOf(from), hostTo = HostPathOf(to);
  if (hostFrom && hostTo) plat::RenameFile(*hostFrom, *hostTo);
}

void FnFileCopy(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const std::string from = Str(a, 0), to = Str(a, 1);
  if (SecureModeRefuses(from) || SecureModeRefuses(to))
    return Error("In Secure mode you cannot copy file " + from + " to " + to);
  FlushOpenFiles();
  const auto hostFrom = HostPathOf(from), hostTo = HostPathOf(to);
  if (hostFrom && hostTo) plat::CopyFile(*hostFrom, *hostTo);
}

void FnDirectoryExists(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  const auto host = HostPathOf(Str(a, 0));
  r = RValue(host && plat::DirectoryExists(*host) ? 1.0 : 0.0);
}

void FnDirectoryCreate(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const std::string name = Str(a, 0);
  if (SecureModeRefuses(name)) return Error("In Secure mode you cannot create directory " + name);
  if (const auto host = HostPathOf(name)) plat::CreateDirectories(*host);
}

// ---- file search ------------------------------------------------------------------------------------------------

constexpr int kHidden = 2, kDirectory = 16;

void EndSearch() {
  T().found.clear();
  T().nextFound = 0;
  T().searching = false;
}

std::string NextFound() {
  FileTables& t = T();
  if (!t.searching || t.nextFound >= t.found.size()) return std::string();
  return t.found[t.nextFound++];
}

void FnFindFirst(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  EndSearch();
  FlushOpenFiles();
  const std::string mask = Str(a, 0);
  const int attr = I(a, 1);
  const std::string folder = FileNamePath(mask);
  const std::string pattern = FileNameName(mask);
  r = RValue("");
  if (pattern.empty()) return;
  const auto hostFolder = folder.empty() ? std::optional<std::string>(".") : HostPathOf(folder);
  if (!hostFolder) return;
  const auto entries = plat::ListDirectory(*hostFolder);
  if (!entries) return;
  const std::string hostPattern = plat::Cp1252ToUtf8(pattern);
  std::vector<std::string> names;
  for (const plat::DirEntry& e : *entries) {
    // Ordinary files are always found; hidden entries and folders only when the attributes ask for them.
    if ((e.attributes & kDirectory) && !(attr & kDirectory)) continue;
    if ((e.attributes & kHidden) && !(attr & kHidden)) continue;
    if (!plat::MaskMatches(hostPattern, e.name)) continue;
    names.push_back(plat::Utf8ToCp1252(e.name));
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& x, const std::string& y) { return strcasecmp(x.c_str(), y.c_str()) < 0; });
  FileTables& t = T();
  t.found = std::move(names);
  t.searching = true;
  r = RValue(NextFound());
}

void FnFileAttributes(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = RValue(-1.0);
  const auto host = HostPathOf(Str(a, 0));
  if (!host) return;
  const auto attributes = plat::PathAttributes(*host);
  if (!attributes) return;
  r = RValue((*attributes & I(a, 1)) != 0 ? 1.0 : 0.0);
}

// ---- included files ----------------------------------------------------------------------------------------------

CDataFile* IncludedByName(const std::string& name) {
  std::vector<CDataFile>* files = T().included;
  if (!files) return nullptr;
  const int i = FindIncludedFile(*files, name);
  return i < 0 ? nullptr : &(*files)[static_cast<size_t>(i)];
}

IncludedFilePlaces CurrentPlaces() {
  IncludedFilePlaces places;
  places.tempDir = TempDirectoryPath();
  places.secureMode = Game().secureMode;
  places.report = [](const std::string& message) { Error(message); };
  return places;
}

void FnExportIncludeFile(RValue&, CInstance*, CInstance*, int, RValue* a) {
  CDataFile* f = IncludedByName(Str(a, 0));
  if (!f) return Error("Trying to export non-existing file.");
  FlushOpenFiles();
  ExportIncludedFile(*f, CurrentPlaces());
}

void FnExportIncludeFileLocation(RValue&, CInstance*, CInstance*, int, RValue* a) {
  CDataFile* f = IncludedByName(Str(a, 0));
  if (!f) return Error("Trying to export non-existing file.");
  if (Game().secureMode) return Error("In secure mode you cannot export a file to a location.");
  FlushOpenFiles();
  WriteIncludedFileTo(*f, Str(a, 1));
}

void FnDiscardIncludeFile(RValue&, CInstance*, CInstance*, int, RValue* a) {
  CDataFile* f = IncludedByName(Str(a, 0));
  if (!f) return Error("Trying to discard non-existing file.");
  DiscardIncludedFile(*f);
}

}  // namespace

// ---- shared ------------------------------------------------------------------------------------------------------

std::optional<std::string> HostPathOf(const std::string& gameName) { return plat::ResolveGamePath(gameName); }

bool SecureModeRefuses(const std::string& gameName) {
  return Game().secureMode && (HasPathSeparator(gameName) || !gfx::PathInsideWorkingDirectory(gameName));
}

void FlushOpenFiles() {
  for (TextSlot& s : T().text) {
    if (!s.unflushed) continue;
    s.unflushed = false;
    if (s.file) s.file->Flush();
  }
}

void CloseAllFiles() {
  FileTables& t = T();
  for (TextSlot& s : t.text) CloseTextSlot(s, false);
  for (BinarySlot& s : t.binary) s.file.reset();
  EndSearch();
}

void SetIncludedFilesForFunctions(std::vector<CDataFile>* files) { T().included = files; }

void RegisterFileFunctions() {
  // Binary files.
  Reg("file_bin_open", 2, FnBinOpen);
  Reg("file_bin_rewrite", 1, FnBinRewrite);
  Reg("file_bin_close", 1, FnBinClose);
  Reg("file_bin_size", 1, FnBinSize);
  Reg("file_bin_position", 1, FnBinPosition);
  Reg("file_bin_seek", 2, FnBinSeek);
  Reg("file_bin_read_byte", 1, FnBinReadByte);
  Reg("file_bin_write_byte", 2, FnBinWriteByte);

  // Text files.
  Reg("file_text_open_read", 1, KV_FN { KV_UNUSED_ARGS; TextOpen(r, a, HostFile::Mode::Read); });
  Reg("file_text_open_write", 1, KV_FN { KV_UNUSED_ARGS; TextOpen(r, a, HostFile::Mode::Write); });
  Reg("file_text_open_append", 1, KV_FN { KV_UNUSED_ARGS; TextOpen(r, a, HostFile::Mode::Append); });
  Reg("file_text_close", 1, FnTextClose);
  Reg("file_text_read_string", 1, KV_FN { KV_UNUSED_ARGS; TextReadString(r, I(a, 0), kNumbered); });
  Reg("file_text_read_real", 1, KV_FN { KV_UNUSED_ARGS; TextReadReal(r, I(a, 0), kNumbered); });
  Reg("file_text_readln", 1, KV_FN { KV_UNUSED_ARGS; TextReadln(I(a, 0), kNumbered); });
  Reg("file_text_eof", 1, KV_FN { KV_UNUSED_ARGS; TextEof(r, I(a, 0), kNumbered); });
  Reg("file_text_write_string", 2, KV_FN { KV_UNUSED_ARGS; TextWrite(I(a, 0), a[1].IsString() ? Str(a, 1) : ""); });
  Reg("file_text_write_real", 2, KV_FN { KV_UNUSED_ARGS; TextWrite(I(a, 0), FormatTextFileReal(D(a, 1))); });
  Reg("file_text_writeln", 1, KV_FN { KV_UNUSED_ARGS; TextWrite(I(a, 0), "\r\n"); });

  // The legacy single file.
  Reg("file_open_read", 1, KV_FN { KV_UNUSED_ARGS; LegacyOpen(a, HostFile::Mode::Read); });
  Reg("file_open_write", 1, KV_FN { KV_UNUSED_ARGS; LegacyOpen(a, HostFile::Mode::Write); });
  Reg("file_open_append", 1, KV_FN { KV_UNUSED_ARGS; LegacyOpen(a, HostFile::Mode::Append); });
  Reg("file_close", 0, KV_FN {
    KV_UNUSED_ARGS;
    CloseTextSlot(T().text[0], true);
  });
  Reg("file_read_string", 0, KV_FN { KV_UNUSED_ARGS; TextReadString(r, 0, kLegacy); });
  Reg("file_read_real", 0, KV_FN { KV_UNUSED_ARGS; TextReadReal(r, 0, kLegacy); });
  Reg("file_readln", 0, KV_FN { KV_UNUSED_ARGS; TextReadln(0, kLegacy); });
  Reg("file_eof", 0, KV_FN { KV_UNUSED_ARGS; TextEof(r, 0, kLegacy); });
  Reg("file_write_string", 1, KV_FN { KV_UNUSED_ARGS; TextWrite(0, a[0].IsString() ? Str(a, 0) : ""); });
  Reg("file_write_real", 1, KV_FN { KV_UNUSED_ARGS; TextWrite(0, FormatTextFileReal(D(a, 0))); });
  Reg("file_writeln", 0, KV_FN { KV_UNUSED_ARGS; TextWrite(0, "\r\n"); });

  // Files and directories.
  Reg("file_exists", 1, FnFileExists);
  Reg("file_delete", 1, FnFileDelete);
  Reg("file_rename", 2, FnFileRename);
  Reg("file_copy", 2, FnFileCopy);
  Reg("directory_exists", 1, FnDirectoryExists);
  Reg("directory_create", 1, FnDirectoryCreate);
  Reg("file_find_first", 2, FnFindFirst);
  Reg("file_find_next", 0, KV_FN { KV_UNUSED_ARGS; r = RValue(NextFound()); });
  Reg("file_find_close", 0, KV_FN { KV_UNUSED_ARGS; EndSearch(); });
  Reg("file_attributes", 2, FnFileAttributes);

  // File names.
  Reg("filename_name", 1, KV_FN { KV_UNUSED_ARGS; r = RValue(FileNameName(Str(a, 0))); });
  Reg("filename_path", 1, KV_FN { KV_UNUSED_ARGS; r = RValue(FileNamePath(Str(a, 0))); });
  Reg("filename_dir", 1, KV_FN { KV_UNUSED_ARGS; r = RValue(FileNameDir(Str(a, 0))); });
  Reg("filename_drive", 1, KV_FN { KV_UNUSED_ARGS; r = RValue(FileNameDrive(Str(a, 0))); });
  Reg("filename_ext", 1, KV_FN { KV_UNUSED_ARGS; r = RValue(FileNameExt(Str(a, 0))); });
  Reg("filename_change_ext", 2, KV_FN { KV_UNUSED_ARGS; r = RValue(FileNameChangeExt(Str(a, 0), Str(a, 1))); });

  // Included files.
  Reg("export_include_file", 1, FnExportIncludeFile);
  Reg("export_include_file_location", 2, FnExportIncludeFileLocation);
  Reg("discard_include_file", 1, FnDiscardIncludeFile);
  DescribeFunctions("Files", {
      {"file_bin_open", "fname, mode",
       "Opens a binary file (mode 0 read, 1 write, 2 both), creating it when missing; returns the file id."},
      {"file_bin_rewrite", "file", "Empties the binary file and starts writing at its beginning."},
      {"file_bin_close", "file", "Closes the binary file."},
      {"file_bin_size", "file", "The size of the binary file in bytes."},
      {"file_bin_position", "file", "The current byte position in the binary file."},
      {"file_bin_seek", "file, pos", "Moves to byte position pos of the binary file."},
      {"file_bin_read_byte", "file", "Reads the next byte (0 to 255) of the binary file."},
      {"file_bin_write_byte", "file, byte", "Writes one byte to the binary file."},
      {"file_text_open_read", "fname",
       "Opens a text file for reading and returns its file id, -1 when it does not exist."},
      {"file_text_open_write", "fname", "Creates or empties a text file for writing and returns its file id."},
      {"file_text_open_append", "fname", "Opens a text file for writing at its end and returns its file id."},
      {"file_text_close", "file", "Closes the text file."},
      {"file_text_read_string", "file",
       "Reads the rest of the current line of the text file, without its line end (file_text_readln skips it)."},
      {"file_text_read_real", "file", "Reads the next number from the text file."},
      {"file_text_readln", "file", "Skips the rest of the current line of the text file."},
      {"file_text_eof", "file", "Whether the end of the text file has been reached."},
      {"file_text_write_string", "file, str", "Writes str to the text file."},
      {"file_text_write_real", "file, x", "Writes a blank and the number x, with four decimals, to the text file."},
      {"file_text_writeln", "file", "Writes a line end to the text file."},
      {"file_open_read", "fname", "Opens the single text file of the older file functions for reading."},
      {"file_open_write", "fname", "Opens the single text file of the older file functions for writing."},
      {"file_open_append", "fname", "Opens the single text file of the older file functions for writing at its end."},
      {"file_close", "", "Closes the single text file."},
      {"file_read_string", "",
       "Reads the rest of the current line of the single text file, without its line end (file_readln skips it)."},
      {"file_read_real", "", "Reads the next number from the single text file."},
      {"file_readln", "", "Skips the rest of the current line of the single text file."},
      {"file_eof", "", "Whether the end of the single text file has been reached."},
      {"file_write_string", "str", "Writes str to the single text file."},
      {"file_write_real", "x", "Writes a blank and the number x, with four decimals, to the single text file."},
      {"file_writeln", "", "Writes a line end to the single text file."},
      {"file_exists", "fname", "Whether the file exists."},
      {"file_delete", "fname", "Deletes the file."},
      {"file_rename", "oldname, newname", "Renames the file."},
      {"file_copy", "fname, newname", "Copies the file, replacing newname when it exists."},
      {"directory_exists", "dname", "Whether the folder exists."},
      {"directory_create", "dname", "Creates the folder, with any missing parent folders."},
      {"file_find_first", "mask, attr",
       "Starts a search for files matching mask with the attributes attr; the first name found, \"\" for none."},
      {"file_find_next", "", "The next name of the running file search, \"\" when there are no more."},
      {"file_find_close", "", "Ends the running file search."},
      {"file_attributes", "fname, attr",
       "Whether the file has any of the attributes attr (-1 when it does not exist)."},
      {"filename_name", "fname", "The file name without its folder."},
      {"filename_path", "fname", "The folder of the file name, with a final separator."},
      {"filename_dir", "fname", "The folder of the file name, without a final separator."},
      {"filename_drive", "fname", "The drive part of the file name."},
      {"filename_ext", "fname", "The extension of the file name, with its dot."},
      {"filename_change_ext", "fname, newext", "The file name with its extension replaced by newext."},
      {"export_include_file", "fname", "Writes the included file fname to its export location."},
      {"export_include_file_location", "fname, location", "Writes the included file fname to the file location."},
      {"discard_include_file", "fname", "Frees the memory held by the included file fname."},
  });

  RegisterIniFunctions();
  RegisterRegistryFunctions();
  RegisterSystemFunctions();
  RegisterMiscFunctions();
}

}  // namespace kv
