#include "kvpack_cli.h"

#include <filesystem>
#include <ostream>

#include "kvpack_dump.h"
#include "kvpack_project.h"

namespace kv::pack {
namespace {

const char kUsage[] =
    "usage: kvpack DIR OUT [--seed N]   pack the project DIR (DIR/game.kvp) into the game file OUT\n"
    "       kvpack --dump GAME         print a summary of a game file\n"
    "       kvpack --help\n";

struct CollectingObserver : LoadObserver {
  std::vector<std::string> messages;
  void Message(std::string_view text) override { messages.emplace_back(text); }
};

int Dump(const std::string& path, std::ostream& out, std::ostream& err) {
  CStream file;
  if (!CStream::LoadFile(path, file)) {
    err << "kvpack: Error: Cannot read the game file.\n";
    return 1;
  }
  if (file.Size() < kGameDataOffset) {
    err << "kvpack: " << kMsgNotValidGame << "\n";
    return 1;
  }
  file.Seek(kGameDataOffset);
  GameData game;
  CollectingObserver obs;
  try {
    if (!LoadGameData(file, game, obs)) {
      for (const std::string& m : obs.messages) err << "kvpack: " << m << "\n";
      return 1;
    }
  } catch (const StreamError& e) {
    err << "kvpack: Failed to load the game data. File seems corrupted. (" << e.what() << ")\n";
    return 1;
  }
  out << "game file: " << path << " (" << file.Size() << " bytes)\n" << DumpGame(game);
  return 0;
}

int Pack(const std::string& dir, const std::string& outPath, std::optional<int32_t> seed, std::ostream& out,
         std::ostream& err) {
  try {
    PackedGame packed = PackProject(dir);
    CStream file = BuildGameFile(packed.game, seed.value_or(packed.scrambleSeed));
    // Write beside the target and rename, so a failed run never leaves half a game file.
    std::string tmp = outPath + ".kvpack-tmp";
    if (!file.SaveFile(tmp)) {
      err << "kvpack: cannot write " << outPath << "\n";
      std::filesystem::remove(tmp);
      return 1;
    }
    std::error_code ec;
    std::filesystem::rename(tmp, outPath, ec);
    if (ec) {
      err << "kvpack: cannot write " << outPath << ": " << ec.message() << "\n";
      std::filesystem::remove(tmp, ec);
      return 1;
    }
    const GameResources& r = packed.game.resources;
    out << "kvpack: wrote " << outPath << " (" << file.Size() << " bytes; " << r.scripts.Count() << " scripts, "
        << r.objects.Count() << " objects, " << r.rooms.Count() << " rooms)\n";
    return 0;
  } catch (const PackError& e) {
    err << "kvpack: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace

int RunKvpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out << kUsage;
    return 0;
  }
  if (args.size() == 2 && args[0] == "--dump") return Dump(args[1], out, err);
  std::vector<std::string> positional;
  std::optional<int32_t> seed;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--seed" && i + 1 < args.size()) {
      seed = TryParseInt(args[++i]);
      if (!seed) {
        err << "kvpack: --seed needs an integer\n" << kUsage;
        return 2;
      }
    } else if (!args[i].empty() && args[i][0] == '-') {
      err << "kvpack: unknown option " << args[i] << "\n" << kUsage;
      return 2;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) {
    err << kUsage;
    return 2;
  }
  return Pack(positional[0], positional[1], seed, out, err);
}

}  // namespace kv::pack
