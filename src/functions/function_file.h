#pragma once
// Files for game code: binary files (slots 1..32), text files (slots 1..32 plus the legacy single file in slot 0),
// file and directory management, file searches, file names and the included-file functions. Also registers the
// ini, registry, program/system and code-execution families, so the function table needs one line for all.
#include <optional>
#include <string>
#include <vector>

namespace kv {

struct CDataFile;

void RegisterFileFunctions();

// The host path for a file name written by game code ("\" or "/" separators, any letter case, drive names
// mapped to the configured root); nullopt when the name has no host counterpart.
std::optional<std::string> HostPathOf(const std::string& gameName);
// Secure mode refuses names with a folder in them and anything the working-directory check refuses.
bool SecureModeRefuses(const std::string& gameName);

// Text writes are flushed lazily: before anything that could look at the file (an open, a file operation, a
// program start), when the file is closed, and by the runner after every step.
void FlushOpenFiles();
// Closes every slot and ends the search (end of the run, tests).
void CloseAllFiles();

// The included files that export_include_file and discard_include_file work on (null: none).
void SetIncludedFilesForFunctions(std::vector<CDataFile>* files);

}  // namespace kv
