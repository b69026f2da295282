#pragma once
// CDataFile: a file the game carries in its game data, with where and how it is exported when the game starts.
// This module holds the stored record; exporting is done by the included-file operations.
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

class CStream;

struct CDataFile {
  static constexpr int32_t kRecordVersion = 620;

  std::string name;          // file name written under; also its key for look-ups
  std::string sourcePath;    // where the file was taken from when the game was made (kept, not used)
  bool hasData = false;      // the data is available to write
  int size = 0;              // size when the game was made (kept, not used)
  bool stored = false;       // the data was stored in the game data
  std::vector<uint8_t> data;
  int exportMode = 2;        // 0 none, 1 temporary directory, 2 working directory, 3 export folder
  std::string exportFolder;  // for export mode 3
  bool overwrite = false;
  bool freeAfterExport = true;
  bool removeAtEnd = true;

  // False for a wrong record version; truncation throws StreamError. The data block is present only when both
  // hasData and stored are set.
  bool Read(CStream& s);
  void Write(CStream& s) const;

  bool operator==(const CDataFile&) const = default;
};

}  // namespace kv
