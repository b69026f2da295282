#pragma once
// Writing the included files out of the game data and removing them again: at start, at the end of the game, and
// when game code asks (export_include_file, discard_include_file). File names are game names ("\" or "/").
#include <functional>
#include <string>
#include <vector>

#include "runner/included_files.h"

namespace kv {

struct IncludedFilePlaces {
  std::string tempDir;      // the run's temporary directory (mode 1)
  bool secureMode = false;
  // Receives the secure-mode refusals (non-fatal errors).
  std::function<void(const std::string&)> report;
};

// Index of the first file with exactly that name, -1 when none.
int FindIncludedFile(const std::vector<CDataFile>& files, const std::string& name);
// Writes the data to the game path when there is data and (nothing exists there, or overwrite is set). Write
// errors are swallowed; the result says whether the file was written.
bool WriteIncludedFileTo(const CDataFile& file, const std::string& gamePath);
// Writes the file where its export mode says and frees the data when the file asks for that.
bool ExportIncludedFile(CDataFile& file, const IncludedFilePlaces& places);
void DiscardIncludedFile(CDataFile& file);
// Deletes the exported copy when the file asks for that at the end of the game.
bool RemoveExportedIncludedFile(const CDataFile& file, const IncludedFilePlaces& places);

void ExportAllIncludedFiles(std::vector<CDataFile>& files, const IncludedFilePlaces& places);
void RemoveAllIncludedFiles(const std::vector<CDataFile>& files, const IncludedFilePlaces& places);

}  // namespace kv
