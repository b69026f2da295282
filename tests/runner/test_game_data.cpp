// The game data container: header and version checks, the settings block, the scrambled main block, the
// helper library, and robustness against truncated data.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "runner/game_data.h"

namespace kv {
namespace {

struct RecordingObserver : LoadObserver {
  std::vector<std::string> messages;
  std::vector<std::pair<int, std::string>> progress;
  int windowShown = 0;
  std::string tempDir;
  void ShowLoadingWindow(const GameSettings&, bool) override { ++windowShown; }
  void Progress(int percent, std::string_view text) override { progress.emplace_back(percent, text); }
  void Message(std::string_view text) override { messages.emplace_back(text); }
  std::string TempDirectory() override { return tempDir; }
};

constexpr int32_t kSeed = 123457;

GameData MinimalGame() {
  GameData g;
  g.gameId = 4711;
  for (int i = 0; i < 16; ++i) g.guid[i] = static_cast<uint8_t>(i * 17);
  g.helperLibrary = {'M', 'Z', 0, 1, 2, 3};
  g.resources.rooms.Add("room0", std::make_unique<CRoom>());
  g.resources.roomOrder = {0};
  g.resources.libraryInitCode = {"global.a = 1;", ""};
  return g;
}

CStream GameStream(const GameData& g, int32_t seed = kSeed) {
  CStream s;
  WriteGameData(s, g, seed);
  s.Seek(0);
  return s;
}

// The game data with its main block replaced by `plain` (scrambled from `scrambleFrom` with the seed at
// offset 8 + 4k), so tests can build main blocks the writer would never produce.
CStream GameWithMainBlock(const GameData& g, CStream plain, size_t scrambleFrom, int32_t seed) {
  CStream s;
  s.WriteInt(kGameMagic);
  s.WriteInt(kGameFormatVersion);
  s.WriteBool(g.debugMode);
  g.settings.Write(s);
  s.WriteString(g.helperLibraryName);
  s.WriteCompressed(g.helperLibrary.data(), g.helperLibrary.size());
  Scramble(plain, seed, scrambleFrom, 0);
  s.WriteCompressed(plain);
  s.Seek(0);
  return s;
}

// The unscrambled main block of a game as the writer produces it (k = m = 0).
CStream PlainMainBlock(const GameData& g, int32_t seed) {
  CStream main;
  main.WriteInt(0);
  main.WriteInt(0);
  main.WriteInt(seed);
  main.WriteInt(g.reservedHeader);
  main.WriteInt(g.gameId);
  main.WriteBytes(g.guid.data(), g.guid.size());
  WriteMainBlockSections(main, g.resources);
  return main;
}

TEST(GameDataHeader, EachHeaderFailureHasItsMessage) {
  struct Case { const char* name; size_t offset; int32_t value; std::string_view message; };
  const Case cases[] = {
      {"magic", 0, 1234320, kMsgNotValidGame},
      {"format version", 4, 701, kMsgWrongVersion},
      {"settings version", 12, 701, kMsgResourceData},
  };
  for (const Case& c : cases) {
    CStream s = GameStream(MinimalGame());
    std::memcpy(s.Buffer().data() + c.offset, &c.value, 4);
    GameData out;
    RecordingObserver obs;
    EXPECT_FALSE(LoadGameData(s, out, obs)) << c.name;
    EXPECT_EQ(obs.messages, std::vector<std::string>{std::string(c.message)}) << c.name;
    EXPECT_EQ(obs.windowShown, 0) << c.name;  // shown only after a good settings block
  }
}

TEST(GameDataHeader, LoadsFromTheGameFileOffset) {
  GameData g = MinimalGame();
  g.debugMode = true;
  CStream file = BuildGameFile(g, kSeed);
  ASSERT_GT(file.Size(), kGameDataOffset);
  for (size_t i = 0; i < kGameDataOffset; i += 4096) ASSERT_EQ(file.Data()[i], 0);
  file.Seek(kGameDataOffset);
  GameData out;
  RecordingObserver obs;
  ASSERT_TRUE(LoadGameData(file, out, obs));
  EXPECT_TRUE(out.debugMode);
  EXPECT_EQ(out.gameId, 4711);
  EXPECT_EQ(out.guid, g.guid);
  EXPECT_EQ(out.helperLibrary, g.helperLibrary);
  EXPECT_EQ(out.resources.roomOrder, g.resources.roomOrder);
  EXPECT_EQ(out.resources.libraryInitCode, g.resources.libraryInitCode);
  EXPECT_TRUE(obs.messages.empty());
  EXPECT_EQ(obs.windowShown, 1);
}

TEST(GameDataSections, ProgressRunsThroughEverySectionInOrder) {
  CStream s = GameStream(MinimalGame());
  GameData out;
  RecordingObserver obs;
  ASSERT_TRUE(LoadGameData(s, out, obs));
  ASSERT_EQ(obs.progress.size(), MainBlockSections().size() + 1);
  EXPECT_EQ(obs.progress.front(), (std::pair<int, std::string>{1, "Reading data"}));
  EXPECT_EQ(obs.progress[1], (std::pair<int, std::string>{0, "Loading extension packages"}));
  EXPECT_EQ(obs.progress.back(), (std::pair<int, std::string>{49, "Loading room order"}));
}

TEST(GameDataSections, EmptyRoomOrderFailsAfterEverySectionWasRead) {
  GameData g = MinimalGame();
  g.resources.roomOrder.clear();
  CStream s = GameStream(g);
  GameData out;
  RecordingObserver obs;
  EXPECT_FALSE(LoadGameData(s, out, obs));
  EXPECT_EQ(obs.messages, std::vector<std::string>{std::string(kMsgResourceData)});
  EXPECT_EQ(obs.progress.back().first, 49);
}

TEST(GameDataSections, BadExtensionSectionShowsBothMessagesAndStops) {
  GameData g = MinimalGame();
  CStream plain = PlainMainBlock(g, kSeed);
  int32_t badVersion = 699;
  std::memcpy(plain.Buffer().data() + 36, &badVersion, 4);  // first section follows the 36-byte header
  CStream s = GameWithMainBlock(g, std::move(plain), 13, kSeed);
  GameData out;
  RecordingObserver obs;
  EXPECT_FALSE(LoadGameData(s, out, obs));
  EXPECT_EQ(obs.messages,
            (std::vector<std::string>{std::string(kMsgExtensionPackages), std::string(kMsgResourceData)}));
  EXPECT_EQ(obs.progress.size(), 2u);  // "Reading data" and the extension packages only
}

TEST(GameDataSections, MissingEntriesTakeFourBytesAndLeaveEmptySlots) {
  GameData g = MinimalGame();
  size_t base = PlainMainBlock(g, kSeed).Size();
  for (int i = 0; i < 3; ++i) g.resources.sounds.Add("", nullptr);
  g.resources.scripts.Add("", nullptr);
  auto script = std::make_unique<CScript>();
  script->SetText("return 1;");
  g.resources.scripts.Add("scr_one", std::move(script));
  size_t withScript = PlainMainBlock(g, kSeed).Size();
  g.resources.scripts = {};
  g.resources.scripts.Add("", nullptr);
  EXPECT_EQ(PlainMainBlock(g, kSeed).Size(), base + 4 * 4);
  EXPECT_GT(withScript, base + 4 * 5);

  g.resources.scripts = {};
  g.resources.scripts.Add("", nullptr);
  auto again = std::make_unique<CScript>();
  again->SetText("return 1;");
  g.resources.scripts.Add("scr_one", std::move(again));
  CStream s = GameStream(g);
  GameData out;
  RecordingObserver obs;
  ASSERT_TRUE(LoadGameData(s, out, obs));
  ASSERT_EQ(out.resources.sounds.Count(), 3);
  EXPECT_FALSE(out.resources.sounds.Exists(1));
  EXPECT_EQ(out.resources.sounds.Name(1), "<undefined>");
  ASSERT_EQ(out.resources.scripts.Count(), 2);
  EXPECT_FALSE(out.resources.scripts.Exists(0));
  EXPECT_EQ(out.resources.scripts.Find("scr_one"), 1);
  EXPECT_EQ(out.resources.scripts.Get(1)->Text(), "return 1;");
}

TEST(GameDataMainBlock, UnscramblingStartsAfterTheByteAtThePosition) {
  GameData g = MinimalGame();
  g.reservedHeader = 0x0A0B0C0D;
  CStream s = GameStream(g);
  // Find the main block: the last compressed block of the data.
  GameData probe;
  RecordingObserver obs;
  ASSERT_TRUE(LoadGameData(s, probe, obs));
  CStream walk = GameStream(g);
  walk.Skip(12);
  GameSettings settings;
  ASSERT_TRUE(settings.Read(walk));
  walk.ReadString();
  walk.ReadCompressed();
  CStream stored = walk.ReadCompressed();
  CStream plain = PlainMainBlock(g, kSeed);
  ASSERT_EQ(stored.Size(), plain.Size());
  // With k = m = 0 the bytes 0..12 are plain (12 is the first byte of the ignored int), from 13 on scrambled.
  EXPECT_TRUE(std::equal(plain.Data(), plain.Data() + 13, stored.Data()));
  EXPECT_EQ(stored.Data()[12], 0x0D);
  EXPECT_FALSE(std::equal(plain.Data() + 13, plain.Data() + plain.Size(), stored.Data() + 13));
}

TEST(GameDataMainBlock, PaddingIntsAroundTheSeedAreSkipped) {
  GameData g = MinimalGame();
  g.paddingBeforeSeed = {7, 8, 9};
  g.paddingAfterSeed = {-1};
  CStream s = GameStream(g, -77777);
  GameData out;
  RecordingObserver obs;
  ASSERT_TRUE(LoadGameData(s, out, obs));
  EXPECT_EQ(out.paddingBeforeSeed, g.paddingBeforeSeed);
  EXPECT_EQ(out.paddingAfterSeed, g.paddingAfterSeed);
  EXPECT_EQ(out.gameId, g.gameId);

  // A padding count larger than the block is a corrupt file, not a huge allocation.
  CStream plain;
  plain.WriteInt(0x7FFFFFFF);
  plain.WriteInt(0);
  CStream bad = GameWithMainBlock(g, std::move(plain), 100, 1);
  EXPECT_THROW(LoadGameData(bad, out, obs), StreamError);
}

TEST(GameDataMainBlock, ReadingTwiceWithAnotherSeedGivesTheSameGame) {
  for (int32_t seed : {0, 1, 250, 987654321, -5, -99999999}) {
    CStream s = GameStream(MinimalGame(), seed);
    GameData out;
    RecordingObserver obs;
    ASSERT_TRUE(LoadGameData(s, out, obs)) << seed;
    EXPECT_EQ(out.resources.libraryInitCode, MinimalGame().resources.libraryInitCode) << seed;
  }
}

GameSettings BusySettings() {
  GameSettings st;
  st.fullScreen = st.interpolate = st.noBorder = true;
  st.showCursor = false;
  st.scaling = -1;
  st.allowResize = st.stayOnTop = true;
  st.outsideColor = 0x123456;
  st.setResolution = true;
  st.colorDepth = 2, st.resolution = 4, st.frequency = 5;
  st.noButtons = st.vSync = true;
  st.keyFullScreen = st.keyHelp = st.keyEscape = st.keySaveLoad = st.keyScreenshot = st.closeAsEscape = false;
  st.priority = 2;
  st.freezeOnLoseFocus = true;
  st.backBarImage = CBitmap32::Make(3, 2, 0xFF112233);
  st.frontBarImage = CBitmap32::Make(1, 1, 0x80FFFFFF);
  st.loadingImage = CBitmap32::Make(4, 4, 0x00000000);
  st.loadingTransparent = true;
  st.loadingAlpha = 128;
  st.scaleProgressBar = false;
  st.displayErrors = false;
  st.writeErrors = st.abortOnError = st.uninitializedZero = true;
  st.constants = {{"MAX", "10"}, {"NAME", "\"a\\0b\""}, {"", ""}};
  return st;
}

TEST(GameSettingsBlock, EveryFieldRoundTrips) {
  GameSettings st = BusySettings();
  CStream s;
  st.Write(s);
  s.WriteInt(99);
  s.Seek(0);
  GameSettings back;
  ASSERT_TRUE(back.Read(s));
  EXPECT_EQ(back, st);
  EXPECT_EQ(s.ReadInt(), 99);
}

TEST(GameSettingsBlock, WithoutProgressBarTheLoadingImageFollows) {
  GameSettings with = BusySettings(), without = BusySettings();
  with.backBarImage.reset();
  with.frontBarImage.reset();
  without.showProgressBar = false;
  CStream a, b;
  with.Write(a);
  without.Write(b);
  EXPECT_EQ(a.Size(), b.Size() + 8);  // two absent bitmap flags

  // Reading a block without the bar drops images left from an earlier read.
  GameSettings target = BusySettings();
  b.Seek(0);
  ASSERT_TRUE(target.Read(b));
  EXPECT_FALSE(target.backBarImage);
  EXPECT_FALSE(target.frontBarImage);
  ASSERT_TRUE(target.loadingImage);
  EXPECT_EQ(*target.loadingImage, *without.loadingImage);
  EXPECT_EQ(b.Remaining(), 0u);
}

TEST(GameSettingsBlock, HugeConstantCountIsCorruptData) {
  GameSettings st;
  CStream s;
  st.Write(s);
  int32_t huge = 0x10000000;
  std::memcpy(s.Buffer().data() + s.Size() - 4, &huge, 4);
  s.Seek(0);
  EXPECT_THROW(st.Read(s), StreamError);
}

TEST(GameDataHelperLibrary, WrittenUnderItsPlainNameOnly) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(::testing::TempDir()) / "kv_game_data_lib";
  fs::remove_all(dir);
  fs::create_directories(dir / "inner");
  struct Case { std::string name; bool written; };
  for (const Case& c : {Case{"D3DX8.dll", true}, Case{"../escape.dll", false}, Case{"..", false},
                        Case{"a\\b.dll", false}, Case{"", false}}) {
    GameData g = MinimalGame();
    g.helperLibraryName = c.name;
    CStream s = GameStream(g);
    GameData out;
    RecordingObserver obs;
    obs.tempDir = (dir / "inner").string();
    ASSERT_TRUE(LoadGameData(s, out, obs)) << c.name;
    EXPECT_EQ(out.helperLibraryName, c.name);
    if (c.written) {
      std::ifstream f(dir / "inner" / c.name, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
      EXPECT_EQ(bytes, g.helperLibrary);
    }
  }
  EXPECT_FALSE(fs::exists(dir / "escape.dll"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "inner"), fs::directory_iterator()), 1);
  fs::remove_all(dir);
}

// Cutting the data anywhere must end in StreamError (reported as a corrupted file) and never read outside the
// buffer; run under AddressSanitizer to check the second half.
void ExpectEveryCutThrows(const CStream& whole, size_t from) {
  for (size_t cut = from; cut < whole.Size(); ++cut) {
    CStream s(std::vector<uint8_t>(whole.Data(), whole.Data() + cut));
    GameData out;
    RecordingObserver obs;
    try {
      LoadGameData(s, out, obs);
      ADD_FAILURE() << "no error at cut " << cut;
    } catch (const StreamError&) {
    }
  }
}

TEST(GameDataTruncation, EveryCutOfTheOuterDataThrows) {
  GameData g = MinimalGame();
  g.settings = BusySettings();
  ExpectEveryCutThrows(GameStream(g), 0);
}

TEST(GameDataTruncation, EveryCutOfTheMainBlockThrows) {
  GameData g = MinimalGame();
  CStream plain = PlainMainBlock(g, kSeed);
  for (size_t cut = 0; cut < plain.Size(); ++cut) {
    CStream part(std::vector<uint8_t>(plain.Data(), plain.Data() + cut));
    CStream s = GameWithMainBlock(g, std::move(part), 13, kSeed);
    GameData out;
    RecordingObserver obs;
    EXPECT_THROW(LoadGameData(s, out, obs), StreamError) << "cut " << cut;
  }
}

TEST(GameDataRoundTrip, WritingALoadedGameReproducesTheBytes) {
  GameData g = MinimalGame();
  g.settings = BusySettings();
  g.paddingBeforeSeed = {3};
  CStream first = GameStream(g, 31337);
  GameData out;
  RecordingObserver obs;
  ASSERT_TRUE(LoadGameData(first, out, obs));
  CStream second;
  WriteGameData(second, out, 31337);
  EXPECT_EQ(second.Buffer(), first.Buffer());
}

}  // namespace
}  // namespace kv
