#include "kvpack_play.h"

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "kvpack_project.h"

namespace kv::pack {

namespace fs = std::filesystem;

std::string ProjectCacheDirectory() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/korvane/projects";
  const char* home = std::getenv("HOME");
  if (home && *home == '/') return std::string(home) + "/.cache/korvane/projects";
  std::error_code ec;
  return (fs::temp_directory_path(ec) / "korvane-projects").string();
}

FolderGame PackFolderForPlay(const std::string& dir, const std::string& cacheRoot) {
  FolderGame result;
  std::error_code ec;
  const fs::path folder = fs::weakly_canonical(fs::absolute(dir, ec), ec);
  if (!fs::exists(folder / kManifestName, ec)) {
    result.error = dir + " is a folder without " + kManifestName +
                   ": kvrun plays a game file or a kvpack project folder (a folder with " + kManifestName + ")";
    return result;
  }
  std::string name = folder.filename().string();
  if (name.empty()) name = "game";
  // One subfolder per project path, so two projects of the same name never share a game file.
  const std::string key = std::to_string(std::hash<std::string>{}(folder.string()));
  const fs::path target = fs::path(cacheRoot) / key;
  fs::create_directories(target, ec);
  if (ec) {
    result.error = "cannot create the cache folder " + target.string() + ": " + ec.message();
    return result;
  }
  try {
    PackedGame packed = PackProject(folder.string());
    CStream file = BuildGameFile(packed.game, packed.scrambleSeed);
    result.gamePath = (target / (name + ".kvgame")).string();
    if (!file.SaveFile(result.gamePath)) {
      result.error = "cannot write " + result.gamePath;
      return result;
    }
  } catch (const PackError& e) {
    result.error = e.what();
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace kv::pack
