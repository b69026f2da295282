#include "kvpack_cli.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>

#include "kvpack_check.h"
#include "kvpack_dump.h"
#include "kvpack_project.h"
#include "runner/build_info.h"

namespace kv::pack {
namespace {

const char kUsage[] =
    "usage: kvpack DIR OUT [--seed N]   pack the project DIR (DIR/game.kvp) into the game file OUT\n"
    "       kvpack --check DIR         compile the code of the project DIR and report errors as FILE:LINE:COLUMN\n"
    "       kvpack --dump GAME         print a summary of a game file\n"
    "       kvpack --main-block GAME OUT   write the main block of GAME inflated and unscrambled (debugging)\n"
    "       kvpack --bench-load GAME [RUNS]  time loading GAME against plain zlib inflate of its blocks\n"
    "       kvpack --version\n"
    "       kvpack --help\n";

struct CollectingObserver : LoadObserver {
  std::vector<std::string> messages;
  void Message(std::string_view text) override { messages.emplace_back(text); }
};

// Loads a game file; on failure prints the loader's message and returns false.
bool LoadGameFile(const std::string& path, CStream& file, GameData& game, std::ostream& err) {
  if (!CStream::LoadFile(path, file)) {
    err << "kvpack: Error: Cannot read the game file.\n";
    return false;
  }
  if (file.Size() < kGameDataOffset) {
    err << "kvpack: " << kMsgNotValidGame << "\n";
    return false;
  }
  file.Seek(kGameDataOffset);
  CollectingObserver obs;
  try {
    if (!LoadGameData(file, game, obs)) {
      for (const std::string& m : obs.messages) err << "kvpack: " << m << "\n";
      return false;
    }
  } catch (const StreamError& e) {
    err << "kvpack: Failed to load the game data. File seems corrupted. (" << e.what() << ")\n";
    return false;
  }
  return true;
}

int Dump(const std::string& path, std::ostream& out, std::ostream& err) {
  CStream file;
  GameData game;
  if (!LoadGameFile(path, file, game, err)) return 1;
  out << "game file: " << path << " (" << file.Size() << " bytes)\n" << DumpGame(game);
  return 0;
}

// Prints each compile problem as "FILE:LINE:COLUMN: message" (prefixed by `lead`); returns how many there were.
size_t ReportCode(PackedGame& packed, const std::string& lead, std::ostream& err) {
  const std::vector<CodeProblem> problems = CheckCode(packed);
  for (const CodeProblem& p : problems) err << lead << p.Text() << "\n";
  return problems.size();
}

int Check(const std::string& dir, std::ostream& out, std::ostream& err) {
  try {
    PackedGame packed = PackProject(dir);
    const size_t n = ReportCode(packed, "", err);
    if (n > 0) {
      err << "kvpack: " << n << (n == 1 ? " error" : " errors") << " in the code of " << dir << "\n";
      return 1;
    }
    const size_t pieces = packed.code.size();
    out << "kvpack: " << dir << ": no errors (" << pieces << (pieces == 1 ? " piece" : " pieces") << " of code)\n";
    return 0;
  } catch (const PackError& e) {
    err << "kvpack: " << e.what() << "\n";
    return 1;
  }
}

int Pack(const std::string& dir, const std::string& outPath, std::optional<int32_t> seed, std::ostream& out,
         std::ostream& err) {
  try {
    PackedGame packed = PackProject(dir);
    // Code that does not compile is reported but still packed: a function may come from an extension the packer
    // does not know, and the runner reports a real failure when it loads the game.
    ReportCode(packed, "kvpack: warning: ", err);
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

// The main block exactly as the section readers see it: inflated, unscrambled, from its first byte.
int ExtractMainBlock(const std::string& path, const std::string& outPath, std::ostream& err) {
  CStream file;
  GameData game;
  if (!LoadGameFile(path, file, game, err)) return 1;
  file.Seek(kGameDataOffset + 12);  // magic, version, debug flag
  GameSettings settings;
  settings.Read(file);
  file.ReadString();
  file.ReadCompressed();
  CStream main = file.ReadCompressed();
  CStream probe(main.Buffer());
  int32_t k = probe.ReadInt(), m = probe.ReadInt();
  probe.Skip(4 * static_cast<size_t>(k));
  int32_t seed = probe.ReadInt();
  probe.Skip(4 * static_cast<size_t>(m));
  Unscramble(main, seed, probe.Position() + 1, 0);
  if (!main.SaveFile(outPath)) {
    err << "kvpack: cannot write " << outPath << "\n";
    return 1;
  }
  return 0;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Times LoadGameData on the file in memory against inflating the very same compressed blocks with plain zlib
// into buffers of the known size: the work no loader can avoid. Best of RUNS for both.
int BenchLoad(const std::string& path, int runs, std::ostream& out, std::ostream& err) {
  using Clock = std::chrono::steady_clock;
  auto t0 = Clock::now();
  CStream file;
  GameData game;
  if (!LoadGameFile(path, file, game, err)) return 1;
  double readAndFirstLoad = Seconds(Clock::now() - t0);

  std::vector<std::vector<uint8_t>> blocks;
  SetInflateTap([](const uint8_t* d, size_t n, void* user) {
    static_cast<std::vector<std::vector<uint8_t>>*>(user)->emplace_back(d, d + n);
  }, &blocks);
  {
    GameData probe;
    LoadObserver quiet;
    file.Seek(kGameDataOffset);
    LoadGameData(file, probe, quiet);
  }
  SetInflateTap(nullptr, nullptr);
  std::vector<size_t> sizes;
  size_t packed = 0, inflated = 0;
  for (const auto& b : blocks) {
    sizes.push_back(InflateBytes(b.data(), b.size()).size());
    packed += b.size();
    inflated += sizes.back();
  }

  double bestLoad = 1e30, bestZlib = 1e30;
  for (int r = 0; r < runs; ++r) {
    auto g = std::make_unique<GameData>();
    LoadObserver quiet;
    file.Seek(kGameDataOffset);
    auto a = Clock::now();
    bool ok = LoadGameData(file, *g, quiet);
    bestLoad = std::min(bestLoad, Seconds(Clock::now() - a));
    if (!ok) return 1;

    std::vector<std::unique_ptr<uint8_t[]>> outputs(blocks.size());
    auto b = Clock::now();
    for (size_t i = 0; i < blocks.size(); ++i) {
      outputs[i].reset(new uint8_t[std::max<size_t>(sizes[i], 1)]);
      uLongf len = static_cast<uLongf>(sizes[i]);
      if (uncompress(outputs[i].get(), &len, blocks[i].data(), static_cast<uLong>(blocks[i].size())) != Z_OK) {
        err << "kvpack: zlib baseline failed\n";
        return 1;
      }
    }
    bestZlib = std::min(bestZlib, Seconds(Clock::now() - b));
  }
  out << "game file: " << path << " (" << file.Size() / 1e6 << " MB), read + first load " << readAndFirstLoad
      << " s\n"
      << "compressed blocks: " << blocks.size() << ", " << packed / 1e6 << " MB -> " << inflated / 1e6 << " MB\n"
      << "LoadGameData best of " << runs << ": " << bestLoad * 1e3 << " ms\n"
      << "zlib inflate best of " << runs << ": " << bestZlib * 1e3 << " ms\n"
      << "ratio: " << bestLoad / bestZlib << "\n";
  return 0;
}

}  // namespace

int RunKvpack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out << kUsage;
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    out << "kvpack " << RunnerVersion() << "\n";
    return 0;
  }
  if (args.size() == 1 && (args[0] == "--dump" || args[0] == "--check" || args[0] == "--main-block" ||
                           args[0] == "--bench-load")) {
    err << "kvpack: " << args[0] << " needs " << (args[0] == "--check" ? "a project folder" : "a game file") << "\n"
        << kUsage;
    return 2;
  }
  if (args.size() == 2 && args[0] == "--check") return Check(args[1], out, err);
  if (args.size() == 2 && args[0] == "--dump") return Dump(args[1], out, err);
  if (args.size() == 3 && args[0] == "--main-block") return ExtractMainBlock(args[1], args[2], err);
  if ((args.size() == 2 || args.size() == 3) && args[0] == "--bench-load") {
    std::optional<int32_t> runs = args.size() == 3 ? TryParseInt(args[2]) : 5;
    if (!runs || *runs < 1) {
      err << kUsage;
      return 2;
    }
    return BenchLoad(args[1], *runs, out, err);
  }
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
