#pragma once
// Playing a project folder directly: kvrun packs DIR/game.kvp into a game file in the user's cache directory and
// plays that, so nothing is written into the project.
#include <string>

namespace kv::pack {

struct FolderGame {
  bool ok = false;
  std::string gamePath;  // the packed game file (named after the folder, so the caption is the folder's name)
  std::string error;     // when !ok: one line saying what went wrong
};

// The folder that holds packed projects: $XDG_CACHE_HOME/korvane/projects, else ~/.cache/korvane/projects, else
// the system's temporary directory.
std::string ProjectCacheDirectory();

// Packs the project folder `dir` into cacheRoot (a subfolder per project path). A folder without game.kvp, a
// manifest error or an unwritable cache gives the message in `error`.
FolderGame PackFolderForPlay(const std::string& dir, const std::string& cacheRoot);

}  // namespace kv::pack
