// The main-block sections: the shared resource frame, section versions, the rooms trailer, the room order and a
// whole main block written and read back.
#include <gtest/gtest.h>

#include <memory>

#include "runner/record_fixtures.h"

namespace kv {
namespace {

using samples::Bytes;

// Reads every section in order, stopping at the first failure; returns the index of the failing section or -1.
int ReadAllSections(CStream& s, GameResources& res) {
  const auto& sections = MainBlockSections();
  for (size_t i = 0; i < sections.size(); ++i) {
    if (!sections[i].read(s, res)) return static_cast<int>(i);
  }
  return -1;
}

// The main block sections of the resources.
std::vector<uint8_t> MainBlock(const GameResources& res) {
  CStream s;
  WriteMainBlockSections(s, res);
  return s.Buffer();
}

TEST(GameSections, OrderProgressAndTexts) {
  const auto& sections = MainBlockSections();
  ASSERT_EQ(sections.size(), 14u);
  const int progress[] = {0, 5, 10, 23, 30, 32, 34, 36, 38, 40, 43, 45, 47, 49};
  for (size_t i = 0; i < sections.size(); ++i) EXPECT_EQ(sections[i].progress, progress[i]) << i;
  EXPECT_STREQ(sections[0].text, "Loading extension packages");
  EXPECT_STREQ(sections[0].failureMessage, "Error in loading extension packages.");
  EXPECT_STREQ(sections[7].text, "Loading time lines");
  EXPECT_STREQ(sections[11].text, "Loading help");
  EXPECT_EQ(sections[11].failureMessage, nullptr);
  EXPECT_STREQ(sections[13].text, "Loading room order");
}

TEST(GameSections, WholeMainBlockRoundTrip) {
  const GameResources original = samples::SampleResources();
  const std::vector<uint8_t> bytes = MainBlock(original);
  CStream s(bytes);
  GameResources res;
  ASSERT_EQ(ReadAllSections(s, res), -1);
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(MainBlock(res), bytes);

  ASSERT_EQ(res.sounds.Count(), 2);
  EXPECT_TRUE(*res.sounds.Get(0) == *original.sounds.Get(0));
  EXPECT_FALSE(res.sounds.Exists(1));
  EXPECT_EQ(res.sounds.Name(1), "<undefined>");
  EXPECT_EQ(res.objects.Find("obj_player"), 1);
  EXPECT_TRUE(*res.objects.Get(1) == *original.objects.Get(1));
  EXPECT_TRUE(*res.rooms.Get(0) == *original.rooms.Get(0));
  EXPECT_EQ(res.scripts.Get(0)->Text(), original.scripts.Get(0)->Text());
  EXPECT_EQ(res.lastInstanceId, 100123);
  EXPECT_EQ(res.lastTileId, 10000456);
  EXPECT_TRUE(res.extensions == original.extensions);
  EXPECT_TRUE(res.includedFiles == original.includedFiles);
  EXPECT_TRUE(res.gameInfo == original.gameInfo);
  EXPECT_EQ(res.libraryInitCode, original.libraryInitCode);
  EXPECT_EQ(res.roomOrder, original.roomOrder);
}

TEST(GameSections, EveryTruncationOfTheMainBlockThrows) {
  const std::vector<uint8_t> bytes = MainBlock(samples::SampleResources());
  for (size_t n = 0; n < bytes.size(); n += 1 + n / 64) {
    CStream s(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
    GameResources res;
    EXPECT_THROW(ReadAllSections(s, res), StreamError) << "cut at " << n << " of " << bytes.size();
  }
}

// Every section checks its own version: changing it makes that section, and no earlier one, fail.
TEST(GameSections, WrongSectionVersionFailsThatSection) {
  const GameResources original = samples::SampleResources();
  const std::vector<uint8_t> bytes = MainBlock(original);
  // Find each section's start by reading the sections one by one.
  std::vector<size_t> starts;
  {
    CStream s(bytes);
    GameResources res;
    for (const SectionSpec& section : MainBlockSections()) {
      starts.push_back(s.Position());
      ASSERT_TRUE(section.read(s, res));
    }
  }
  for (size_t i = 0; i < starts.size(); ++i) {
    std::vector<uint8_t> bad = bytes;
    bad[starts[i]] ^= 0x01;
    CStream s(bad);
    GameResources res;
    EXPECT_EQ(ReadAllSections(s, res), static_cast<int>(i)) << MainBlockSections()[i].text;
  }
}

TEST(GameSections, MissingEntryTakesFourBytesAndLeavesAnEmptySlot) {
  Bytes b;
  b.I(400).I(3).B(false).B(true).S("snd");
  samples::SampleSound().Write(b.s);
  b.B(false);
  CStream s = b.Stream();
  GameResources res;
  ASSERT_TRUE(ReadSoundsSection(s, res));
  EXPECT_EQ(s.Remaining(), 0u);
  ASSERT_EQ(res.sounds.Count(), 3);
  EXPECT_FALSE(res.sounds.Exists(0));
  EXPECT_TRUE(res.sounds.Exists(1));
  EXPECT_FALSE(res.sounds.Exists(2));
  EXPECT_EQ(res.sounds.Find("snd"), 1);
  EXPECT_EQ(res.sounds.Find(""), -1);  // empty slots are never found
}

TEST(GameSections, ReadingAgainReplacesTheTable) {
  GameResources res;
  res.paths.Add("old", std::make_unique<CPath>());
  CStream s = Bytes().I(420).I(0).Stream();
  ASSERT_TRUE(ReadPathsSection(s, res));
  EXPECT_EQ(res.paths.Count(), 0);
  // A failing section leaves no half-read table behind either.
  res.paths.Add("old", std::make_unique<CPath>());
  CStream bad = Bytes().I(400).I(0).Stream();
  EXPECT_FALSE(ReadPathsSection(bad, res));
  EXPECT_EQ(res.paths.Count(), 0);
}

TEST(GameSections, HostileSectionCountsThrow) {
  for (int32_t count : {-1, 0x7FFFFFFF}) {
    GameResources res;
    CStream sprites = Bytes().I(400).I(count).B(false).Stream();
    EXPECT_THROW(ReadSpritesSection(sprites, res), StreamError);
    CStream init = Bytes().I(500).I(count).S("x").Stream();
    EXPECT_THROW(ReadLibraryInitSection(init, res), StreamError);
    CStream files = Bytes().I(620).I(count).Stream();
    EXPECT_THROW(ReadIncludedFilesSection(files, res), StreamError);
    CStream ext = Bytes().I(700).I(count).Stream();
    EXPECT_THROW(ReadExtensionsSection(ext, res), StreamError);
  }
  GameResources res;
  CStream order = Bytes().I(700).I(0x7FFFFFFF).I(0).Stream();
  EXPECT_THROW(ReadRoomOrderSection(order, res), StreamError);
}

TEST(GameSections, RoomOrderNeedsAtLeastOneRoomAndOnlyExistingRooms) {
  GameResources res;
  for (int i = 0; i < 4; ++i) res.rooms.Add("r" + std::to_string(i), i == 2 ? nullptr : std::make_unique<CRoom>());
  for (int32_t count : {0, -3}) {
    CStream s = Bytes().I(700).I(count).Stream();
    EXPECT_FALSE(ReadRoomOrderSection(s, res)) << count;
  }
  CStream s = Bytes().I(700).I(2).I(3).I(1).Stream();
  ASSERT_TRUE(ReadRoomOrderSection(s, res));
  EXPECT_EQ(res.roomOrder, (std::vector<int>{3, 1}));
  // An entry naming no room (past the end, negative, an empty slot) fails the section.
  for (int32_t missing : {4, -1, 2, 60000000}) {
    CStream bad = Bytes().I(700).I(2).I(0).I(missing).Stream();
    EXPECT_FALSE(ReadRoomOrderSection(bad, res)) << missing;
  }
}

TEST(GameSections, StretchedLayersScaleToTheRoom) {
  GameResources res;
  auto bg = std::make_unique<CBackground>();
  bg->width = 64;
  bg->height = 0;  // no positive height: the y scale stays
  res.backgrounds.Add("bg", std::move(bg));
  CRoom room;
  room.width = 640;
  room.height = 480;
  room.backgrounds[0].stretch = true;
  room.backgrounds[0].background = 0;
  room.backgrounds[1].stretch = true;
  room.backgrounds[1].background = 7;  // no such background
  room.backgrounds[2].background = 0;  // not stretched
  Bytes b;
  b.I(420).I(1).B(true).S("r");
  room.Write(b.s);
  b.I(100050).I(10000050);
  CStream s = b.Stream();
  ASSERT_TRUE(ReadRoomsSection(s, res));
  const CRoom* r = res.rooms.Get(0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->backgrounds[0].xScale, 10);
  EXPECT_EQ(r->backgrounds[0].yScale, 1);
  EXPECT_EQ(r->backgrounds[1].xScale, 1);
  EXPECT_EQ(r->backgrounds[2].xScale, 1);
  EXPECT_EQ(res.lastInstanceId, 100050);
  EXPECT_EQ(res.lastTileId, 10000050);
}

TEST(GameResourceTable, IndicesNamesAndDeletion) {
  ResourceTable<CPath> t;
  EXPECT_EQ(t.Add("a", std::make_unique<CPath>()), 0);
  EXPECT_EQ(t.Add("", nullptr), 1);
  EXPECT_EQ(t.Add("b", std::make_unique<CPath>()), 2);
  EXPECT_EQ(t.Add("a", std::make_unique<CPath>()), 3);
  EXPECT_EQ(t.Find("a"), 0);  // first match
  EXPECT_EQ(t.Find("A"), -1);  // case-sensitive
  for (int i : {-1, 1, 4}) {
    EXPECT_FALSE(t.Exists(i));
    EXPECT_EQ(t.Get(i), nullptr);
    EXPECT_EQ(t.Name(i), "<undefined>");
  }
  EXPECT_TRUE(t.Delete(0));
  EXPECT_FALSE(t.Delete(0));
  EXPECT_EQ(t.Find("a"), 3);
  EXPECT_EQ(t.Name(2), "b");
  EXPECT_EQ(t.Count(), 4);
}

// Damaged data may fail a section or throw StreamError, but nothing else: no other exception, no crash, no
// allocation the data cannot justify (std::bad_alloc would surface here).
TEST(GameSections, DamagedMainBlocksFailCleanly) {
  const std::vector<uint8_t> bytes = MainBlock(samples::SampleResources());
  uint32_t rng = 12345;
  auto next = [&rng] { return rng = rng * 1664525u + 1013904223u; };
  for (int round = 0; round < 4000; ++round) {
    std::vector<uint8_t> damaged = bytes;
    const int flips = 1 + static_cast<int>(next() % 4);
    for (int i = 0; i < flips; ++i) {
      const size_t at = next() % damaged.size();
      // Mostly small changes, sometimes a byte that turns a count or size into a huge or negative one.
      damaged[at] = (next() % 3 == 0) ? static_cast<uint8_t>(0x80 | (next() & 0x7F)) : static_cast<uint8_t>(next());
    }
    CStream s(std::move(damaged));
    GameResources res;
    try {
      ReadAllSections(s, res);
    } catch (const StreamError&) {
    } catch (const std::exception& e) {
      ADD_FAILURE() << "round " << round << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace kv
