#pragma once
// Extension packages as stored in the game data: packages of files (external libraries, script files, other
// files) with the functions and constants they add to the script language, and the files' contents.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class CStream;

namespace detail {
constexpr std::array<int, 17> AllRealArgumentTypes() {
  std::array<int, 17> t{};
  for (int& v : t) v = 2;
  return t;
}
}  // namespace detail

struct CExtensionFunction {
  static constexpr int32_t kRecordVersion = 700;
  static constexpr int kArgumentTypeSlots = 17;
  static constexpr int kString = 1, kReal = 2;  // argument and result types

  std::string name;          // used in game code (trimmed)
  std::string externalName;  // in the library, or the section of a script file; the name when empty (trimmed)
  int callConvention = 11;   // 12 cdecl, anything else stdcall
  int id = 0;                // the function id seen by game code is 500000 + id
  int argumentCount = 0;     // -1 any number
  std::array<int, kArgumentTypeSlots> argumentTypes = detail::AllRealArgumentTypes();  // all real when the count is above 4
  int resultType = kReal;    // kString or kReal (any other stored value reads as kReal)
  std::string code;          // script-file function: the code of its section (never stored in the record)

  bool Read(CStream& s);
  void Write(CStream& s) const;
  bool operator==(const CExtensionFunction&) const = default;
};

struct CExtensionConstant {
  static constexpr int32_t kRecordVersion = 700;
  std::string name;
  std::string value;  // source text, evaluated when the constants are defined

  bool Read(CStream& s);
  void Write(CStream& s) const;
  bool operator==(const CExtensionConstant&) const = default;
};

struct CExtensionFile {
  static constexpr int32_t kRecordVersion = 700;
  static constexpr int kLibrary = 1, kScriptFile = 2, kNoData = 3, kOtherFile = 4;  // kinds

  std::string fileName;  // within the package folder
  int kind = kOtherFile;
  std::string initFunction;   // called at game start; may be empty
  std::string finalFunction;  // called at game end; may be empty
  std::vector<CExtensionFunction> functions;
  std::vector<CExtensionConstant> constants;
  std::vector<uint8_t> data;  // the file's content (none for kind kNoData)

  // The record without the content (that follows all file records of the package).
  bool Read(CStream& s);
  void Write(CStream& s) const;
  bool operator==(const CExtensionFile&) const = default;
};

struct CExtensionPackage {
  static constexpr int32_t kRecordVersion = 700;
  static constexpr int32_t kMaxFunctionId = 99999;  // ids size the run-time tables: larger ones are refused

  std::string name;
  std::string tempFolderName;  // folder of the temporary directory the files are written to
  std::vector<CExtensionFile> files;
  int32_t dataSeed = 0;        // substitution seed of the file-content block

  // False for a wrong version in the package or in any of its file, function or constant records, and for a
  // package that could write outside its folder or size tables absurdly: a folder or file name with a separator
  // ("/", "\\"), a zero byte, or that is "." or "..", or a function id outside 0 … kMaxFunctionId (the reason goes
  // to `refusal`). Truncation,
  // impossible counts and bad content blocks throw StreamError. After reading, names and external names are
  // trimmed, an empty external name becomes the name, functions with more than 4 arguments take all arguments as
  // reals, and the functions of script files get the code of their sections.
  bool Read(CStream& s);
  void Write(CStream& s) const;
  bool operator==(const CExtensionPackage&) const = default;

  // Why the last Read refused the package (empty after a successful read or a wrong version).
  static const std::string& LastRefusal();
};

// True when the name can be used as one folder or file name inside the package's temporary folder.
bool IsSafeExtensionFileName(std::string_view name);

// Cuts script-file text into its "#define" sections and gives each function of the file whose external name equals
// a section name that section's code (a later section of the same name wins).
void AssignScriptFileCode(CExtensionFile& file, std::string_view text);

}  // namespace kv
