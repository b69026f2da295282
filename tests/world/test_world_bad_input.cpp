// Damaged input reaching the world: room instances of objects the game does not have, saved games with numbers
// that are not finite, and saved-game names that are not regular files.
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "runner/support_stream.h"
#include "world/game_save.h"
#include "world/room_live.h"
#include "world/run_main.h"
#include "world_fixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

using BadWorldInput = WorldTest;

// The look-up lists are sized by the object count: an instance of an object index far beyond it (or negative)
// joins the room, takes part in the step phases, and is listed under no object.
TEST_F(BadWorldInput, InstancesOfObjectsTheGameDoesNotHaveAreInNoList) {
  const int a = AddObject("a");
  const int child = AddObject("child", a);
  On(child, kEventCreate, 0, "wlog('create', id)");
  const int r = AddRoom("r", {{0, 0, INT_MAX, 100001, "wlog('code', id)"},
                              {1, 1, child, 100002, ""},
                              {2, 2, INT_MAX - 1, 100003, ""},
                              {3, 3, 60000000, 100004, ""},
                              {4, 4, -7, 100005, ""}});
  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(r, true);
  CLiveRoom& room = *CurrentRoom();
  EXPECT_EQ(Log(), (std::vector<std::string>{"code 100001", "create 100002"}));
  EXPECT_EQ(room.ActiveCount(), 5);
  EXPECT_EQ(room.ExactCount(child), 1);
  EXPECT_EQ(room.FamilyCount(a), 1);
  for (int object : {INT_MAX, INT_MAX - 1, 60000000, -7}) {
    SCOPED_TRACE(object);
    EXPECT_EQ(room.ExactCount(object), 0);
    EXPECT_EQ(room.FamilyCount(object), 0);
    EXPECT_EQ(room.LiveExactCount(object), 0);
    EXPECT_EQ(room.Grid(object), nullptr);
  }
  // Deactivating and removing them keeps every list in shape.
  room.ActiveAt(0)->deactivated = true;
  room.UpdateDeactivation();
  EXPECT_EQ(room.ActiveCount(), 4);
  CLiveRoom::MarkDeleted(room.FindInstance(100004));
  room.RemoveDeleted();
  EXPECT_EQ(room.ActiveCount(), 3);
  EXPECT_EQ(room.LiveCount(), 3);
  EXPECT_EQ(room.ExactCount(child), 1);
}

class BadSaves : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    dir = fs::path(::testing::TempDir()) /
          ("bad_saves_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const int o = AddObject("o");
    const int r = AddRoom("r", {{0, 0, o, 100001, ""}});
    ASSERT_TRUE(Prepare());
    StartRooms(res);
    EnterRoom(r, true);
  }
  void TearDown() override {
    fs::remove_all(dir);
    Game() = GameState();
    WorldTest::TearDown();
  }
  fs::path dir;
};

// Every real of an instance (and the game's health) must be finite; a file holding a NaN or an infinity is refused
// with the load failure message and the running game stays as it was.
TEST_F(BadSaves, NumbersThatAreNotFiniteAreRefused) {
  CInstance* inst = CurrentRoom()->ActiveAt(0);
  // Distinct marker values, so each can be found in the saved bytes.
  inst->x = 1234.5625;
  inst->imageXScale = 3.0625;
  inst->gravityDirection = 271.125;
  inst->pathSpeed = 7.8125;
  inst->timelineSpeed = 0.4375;
  Game().health = 55.5625;
  CStream saved;
  WriteSavedGame(saved, 7);
  const std::vector<uint8_t> good = saved.Buffer();

  const double nan = std::nan(""), inf = HUGE_VAL;
  struct Case {
    double marker, replacement;
  };
  const Case cases[] = {{1234.5625, nan},  {1234.5625, inf}, {1234.5625, -inf}, {3.0625, nan},
                        {271.125, inf},    {7.8125, -inf},   {0.4375, nan},     {55.5625, inf}};
  const std::string file = (dir / "slot.sav").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.marker) + " -> " + std::to_string(c.replacement));
    std::vector<uint8_t> bytes = good;
    uint8_t pattern[8];
    std::memcpy(pattern, &c.marker, 8);
    auto at = std::search(bytes.begin(), bytes.end(), pattern, pattern + 8);
    ASSERT_NE(at, bytes.end());
    std::memcpy(&*at, &c.replacement, 8);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    inst->x = 10;
    std::string error;
    EXPECT_FALSE(LoadGame(file, 7, error));
    EXPECT_EQ(error, "Failed to load game from file " + file);
    ASSERT_EQ(CurrentRoom()->ActiveAt(0), inst);  // nothing was replaced
    EXPECT_EQ(inst->x, 10);
    EXPECT_EQ(Game().health, 55.5625);
  }
  // The same file with the numbers intact loads.
  CStream intact(good);
  std::string error;
  EXPECT_TRUE(ApplySavedGame(intact, 7, error)) << error;
  EXPECT_EQ(CurrentRoom()->ActiveAt(0)->x, 1234.5625);
}

// A saved-game name that is a directory, a device or a FIFO gives the load failure message; none is read, none
// blocks. A missing file stays silent.
TEST_F(BadSaves, NamesThatAreNotRegularFilesAreRefused) {
  fs::create_directory(dir / "folder.sav");
  ASSERT_EQ(mkfifo((dir / "fifo.sav").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero.sav");
  for (const std::string& file :
       {(dir / "folder.sav").string(), (dir / "fifo.sav").string(), (dir / "zero.sav").string(),
        std::string("/dev/zero")}) {
    SCOPED_TRACE(file);
    std::string error;
    EXPECT_FALSE(LoadGame(file, 7, error));
    EXPECT_EQ(error, "Failed to load game from file " + file);
  }
  std::string error;
  EXPECT_TRUE(LoadGame((dir / "missing.sav").string(), 7, error));
  EXPECT_EQ(error, "");
}

}  // namespace
}  // namespace kv::test
