// A whole game through the stored form: objects with a parent and three children, two rooms, code actions. The
// game is written as game-data sections, read back, prepared and played room by room.
#include "runner/support_stream.h"
#include "world_fixture.h"

namespace kv::test {
namespace {

class GameWorld : public WorldTest {};

TEST_F(GameWorld, StoredGameRunsItsCreationAndRoomEvents) {
  GameResources built;
  {
    auto object = [&](const std::string& name, int parent) {
      auto o = std::make_unique<CObject>();
      o->parent = parent;
      return built.objects.Add(name, std::move(o));
    };
    auto on = [&](int o, int type, int subtype, const std::string& code) {
      built.objects.Get(o)->GetOrCreateEvent(type, subtype).actions.push_back(CodeAction(code));
    };
    const int parent = object("parent", -1);
    const int a = object("childA", parent);
    const int b = object("childB", parent);
    const int c = object("childC", parent);
    on(parent, kEventCreate, 0, "wlog('create', object_index, id)");
    on(parent, kEventOther, kOtherRoomStart, "wlog('room start', object_index)");
    on(b, kEventOther, kOtherRoomStart, "wlog('B starts its own way')");
    on(c, kEventCreate, 0, "wlog('C created at', x, y)");
    // A library function action with a relative flag and an apply-to over the parent's family.
    CAction act = FunctionAction("wact", "'all'");
    act.usesApplyTo = true;
    act.applyTo = parent;
    built.objects.Get(a)->GetOrCreateEvent(kEventOther, kOtherGameStart).actions.push_back(act);
    auto room = [&](const std::string& name, std::vector<RRoomInstance> placed, const std::string& code) {
      auto r = std::make_unique<CRoom>();
      r->instances = std::move(placed);
      r->creationCode = code;
      return built.rooms.Add(name, std::move(r));
    };
    room("one", {{10, 20, a, 100001, ""}, {30, 40, b, 100002, "wlog('B placed')"}}, "wlog('room one code')");
    room("two", {{50, 60, c, 100003, ""}}, "wlog('room two code')");
    built.roomOrder = {0, 1};
    built.lastInstanceId = 100003;
  }
  CStream stream;
  WriteMainBlockSections(stream, built);
  stream.Seek(0);
  for (const SectionSpec& section : MainBlockSections()) ASSERT_TRUE(section.read(stream, res)) << section.text;
  EXPECT_EQ(stream.Remaining(), 0u);

  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(res.roomOrder[0], true);
  LeaveRoom(false);
  EnterRoom(res.roomOrder[1], false);
  LeaveRoom(true);
  FreeRooms();
  EXPECT_EQ(Log(), (std::vector<std::string>{
                       "create 1 100001",
                       "B placed",
                       "create 2 100002",
                       "act all self 100001 other 100001",
                       "act all self 100002 other 100001",
                       "room one code",
                       "room start 1",
                       "B starts its own way",
                       "C created at 50 60",
                       "room two code",
                       "room start 3",
                   }));
  EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace kv::test
