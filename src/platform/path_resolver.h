#pragma once
// Turns the file names game code writes (Windows style: "\" separators, drive letters, any letter case, CP-1252
// bytes) into host paths (UTF-8, "/" separators). Every file function goes through ResolveGamePath.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv::plat {

struct PathConfig {
  // Where "X:\..." names lead: the rest of the name is taken below this directory. Empty: drive names fail.
  std::string driveRoot;
};

// Read once from KV_DRIVE_ROOT; SetPathConfig replaces it (tests).
const PathConfig& CurrentPathConfig();
void SetPathConfig(const PathConfig& config);

// Lists the entry names of a directory (host path, UTF-8); nullopt when it cannot be read.
using DirectoryLister = std::function<std::optional<std::vector<std::string>>(const std::string& dir)>;
// Whether a host path names an existing entry.
using EntryExists = std::function<bool(const std::string& path)>;

// The pure part of the resolver, with the file-system queries passed in:
// 1. CP-1252 -> UTF-8 and "\" -> "/".
// 2. "X:" (a drive letter and a colon) at the start: the rest goes below config.driveRoot; without a drive root,
//    or for network names ("\\server\share"), nullopt.
// 3. Each component that does not exist under its exact name is replaced by the first entry of its directory
//    that matches it without regard to letter case; components with no match stay as written, so files can be
//    created under the name the game gave.
std::optional<std::string> ResolveGamePathWith(const std::string& gamePath, const PathConfig& config,
                                               const EntryExists& exists, const DirectoryLister& list);

// ResolveGamePathWith on the real file system and the current configuration.
std::optional<std::string> ResolveGamePath(const std::string& gamePath);

}  // namespace kv::plat
