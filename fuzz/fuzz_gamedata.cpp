// libFuzzer target for the game-data reader.
//
// Two input forms:
//   'M' + bytes  the bytes are a plain main block (inflated, unscrambled); the harness wraps it with a fixed header
//                and settings, scrambles and compresses it, so mutations reach the section readers directly.
//   other        the input is the game data itself (what follows the 702567-byte prefix of a game file).
// Every input must either load, fail with a message, or throw StreamError. A game that loads must write back and
// load again to the same resources counts, and is then prepared and played: its first room entered and a few
// steps run without a display, on a virtual clock (faults in entering rooms or in the step phases show up here).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "code/code_error.h"
#include "platform/headless/virtual_clock.h"
#include "runner/game_data.h"
#include "runner/game_prepare.h"
#include "world/run_main.h"

namespace {

struct SilentObserver : kv::LoadObserver {};  // no temporary directory: nothing is written

kv::CStream WrapMainBlock(const uint8_t* data, size_t size) {
  kv::CStream out;
  kv::GameData header;
  out.WriteInt(kv::kGameMagic);
  out.WriteInt(kv::kGameFormatVersion);
  out.WriteBool(false);
  header.settings.Write(out);
  out.WriteString(header.helperLibraryName);
  out.WriteCompressed(nullptr, 0);
  kv::CStream main(std::vector<uint8_t>(data, data + size));
  // The seed sits at offset 8 + 4k when the block holds at least k and the seed; scramble from the byte after it.
  if (size >= 12) {
    int32_t k, seed;
    std::memcpy(&k, data, 4);
    if (k >= 0 && static_cast<uint64_t>(k) * 4 + 12 <= size) {
      std::memcpy(&seed, data + 8 + 4 * static_cast<size_t>(k), 4);
      int32_t m;
      std::memcpy(&m, data + 4, 4);
      if (m >= 0 && static_cast<uint64_t>(k + static_cast<uint64_t>(m)) * 4 + 12 <= size)
        kv::Scramble(main, seed, 12 + 4 * (static_cast<size_t>(k) + static_cast<size_t>(m)) + 1, 0);
    }
  }
  out.WriteCompressed(main);
  out.Seek(0);
  return out;
}

size_t ResourceCount(const kv::GameResources& r) {
  return r.sounds.Count() + r.sprites.Count() + r.backgrounds.Count() + r.paths.Count() + r.scripts.Count() +
         r.fonts.Count() + r.timelines.Count() + r.objects.Count() + r.rooms.Count() + r.includedFiles.size() +
         r.extensions.size() + r.libraryInitCode.size() + r.roomOrder.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kv::CStream s = (size > 0 && data[0] == 'M') ? WrapMainBlock(data + 1, size - 1)
                                               : kv::CStream(std::vector<uint8_t>(data, data + size));
  kv::GameData game;
  SilentObserver observer;
  bool loaded = false;
  try {
    loaded = kv::LoadGameData(s, game, observer);
  } catch (const kv::StreamError&) {
    return 0;
  }
  if (!loaded) return 0;

  // Round trip: what loaded must write and load again unchanged in shape.
  kv::CStream again;
  kv::WriteGameData(again, game, 12345);
  again.Seek(0);
  kv::GameData second;
  try {
    if (!kv::LoadGameData(again, second, observer)) std::abort();
  } catch (const kv::StreamError&) {
    std::abort();
  }
  if (ResourceCount(second.resources) != ResourceCount(game.resources) || !(second.settings == game.settings))
    std::abort();

  // Play: errors of the game's code are answered "abort" silently (the default hooks would print them).
  kv::ErrorHooks quiet;
  quiet.showErrorWindow = [](const std::string&, bool) { return true; };
  kv::SetErrorHooks(quiet);
  kv::ResetErrorState();
  kv::AttachGame(game);
  const auto ignore = [](const std::string&) {};
  if (kv::DefineGameConstants(game, ignore) && kv::CompileGameScripts(game) && kv::CompileTimeLineActions(game) &&
      kv::CompileObjectActions(game)) {
    kv::plat::VirtualClock clock;
    kv::RunConfig config;
    config.clock = &clock;
    config.waitForTicks = false;
    config.maxSteps = kv::Game().stepCount + 5;
    config.seed = 1;
    kv::RunGame(game.resources, game.settings, config, kv::RunHooks{});
  }
  kv::DetachGame(game);
  return 0;
}
