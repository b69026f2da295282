// Rooms: entry order, persistence across rooms, the no-room state, look-up lists, the id map against a plain search,
// and tiles.
#include <algorithm>
#include <random>
#include <set>

#include "code/code_exec.h"
#include "world_fixture.h"
#include "world/run_main.h"

namespace kv::test {
namespace {

class Rooms : public WorldTest {
 protected:
  // An object whose create, game start/end, room start/end events log "<event> <id>".
  int LoggingObject(const std::string& name, int parent = -1) {
    const int o = AddObject(name, parent);
    On(o, kEventCreate, 0, "wlog('create', id)");
    On(o, kEventOther, kOtherGameStart, "wlog('game start', id)");
    On(o, kEventOther, kOtherGameEnd, "wlog('game end', id)");
    On(o, kEventOther, kOtherRoomStart, "wlog('room start', id)");
    On(o, kEventOther, kOtherRoomEnd, "wlog('room end', id)");
    return o;
  }
  void Run(const std::string& code, CInstance* self) {
    CCode c(code, false);
    ASSERT_TRUE(c.Compile());
    RValue r;
    RunProgram(self, self, &c, r);
  }
};

TEST_F(Rooms, EntryOrder) {
  const int a = LoggingObject("a");
  const int r = AddRoom("first", {{0, 0, a, 100001, "wlog('code', id)"}, {5, 5, a, 100002, ""}},
                        "wlog('room code', id)");
  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(r, true);
  EXPECT_EQ(Log(), (std::vector<std::string>{"code 100001", "create 100001", "create 100002", "game start 100001",
                                             "game start 100002", "room code 0", "room start 100001",
                                             "room start 100002"}));
  Log().clear();
  SetPendingRoomChange(kPendingEnd);
  LeaveRoom(true);  // the end events run although a change is pending, which then comes back
  EXPECT_EQ(PendingRoomChange(), kPendingEnd);
  EXPECT_EQ(Log(), (std::vector<std::string>{"room end 100001", "room end 100002", "game end 100001",
                                             "game end 100002"}));
  EXPECT_EQ(CurrentRoom(), nullptr);
  EXPECT_EQ(LiveRoom(r), nullptr);  // not persistent: freed
}

TEST_F(Rooms, PersistenceAcrossTwoRooms) {
  const int keeper = LoggingObject("keeper");
  Obj(keeper).persistent = true;
  const int plain = LoggingObject("plain");
  const int r0 = AddRoom("r0", {{1, 1, keeper, 100001, ""}, {2, 2, plain, 100002, ""}}, "wlog('r0 code')", true);
  // r1 places its own copy of the keeper with the same id: the arriving keeper replaces it before its code runs.
  const int r1 = AddRoom("r1", {{9, 9, keeper, 100001, "wlog('replaced copy code')"}, {3, 3, plain, 100003, ""}},
                         "wlog('r1 code')");
  res.lastInstanceId = 100003;  // as the rooms section stores it
  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(r0, true);
  CInstance* k = CurrentRoom()->FindInstance(100001);
  ASSERT_NE(k, nullptr);
  k->SetPosition(50, 60);  // carried with every field
  k->locals.SetValue(FindOrAddVariableName("score"), 0, RValue(7.0));

  Log().clear();
  LeaveRoom(false);
  ASSERT_NE(LiveRoom(r0), nullptr);  // persistent room kept
  EnterRoom(r1, false);
  EXPECT_EQ(Log(), (std::vector<std::string>{"room end 100001", "room end 100002", "create 100003", "r1 code",
                                             "room start 100003", "room start 100001"}));  // the arrival is appended
  CInstance* arrived = CurrentRoom()->FindInstance(100001);
  ASSERT_NE(arrived, nullptr);
  EXPECT_EQ(arrived->x, 50);
  RValue v;
  EXPECT_TRUE(arrived->locals.GetValue(FindOrAddVariableName("score"), 0, v));
  EXPECT_EQ(v.Real(), 7.0);
  EXPECT_TRUE(CurrentRoom()->ActiveAt(0)->deleted);  // the room's own copy
  EXPECT_EQ(CurrentRoom()->FindInstanceByScan(100001), arrived);
  EXPECT_EQ(LastInstanceId(), 100004);  // the arrival consumed a fresh id even though it keeps its own
  Log().clear();
  Run("with (100001) wlog('with', x)", arrived);
  EXPECT_EQ(Log(), (std::vector<std::string>{"with 50"}));

  // Back to the persistent room: only room start; the old keeper there was marked and is replaced again.
  Log().clear();
  LeaveRoom(false);
  EXPECT_EQ(LiveRoom(r1), nullptr);
  EnterRoom(r0, false);
  EXPECT_EQ(Log(), (std::vector<std::string>{"room end 100003", "room end 100001", "room start 100002",
                                             "room start 100001"}));
  EXPECT_EQ(CurrentRoom()->FindInstance(100001)->x, 50);
  CurrentRoom()->RemoveDeleted();
  EXPECT_EQ(CurrentRoom()->ActiveCount(), 2);
}

TEST_F(Rooms, NoRoomState) {
  const int a = LoggingObject("a");
  ASSERT_TRUE(Prepare());
  EXPECT_EQ(CurrentRoom(), nullptr);
  EXPECT_EQ(GetCodeWorld(), nullptr);
  EXPECT_EQ(AddRoomInstance(a, 0, 0), nullptr);
  PerformEventForAll(kEventOther, kOtherRoomStart);
  LeaveRoom(true);
  CInstance temp(0, 0, 0, 0);
  Run("with (all) wlog('all'); with (0) wlog('a'); with (100001) wlog('id'); wlog('done')", &temp);
  EXPECT_EQ(Log(), (std::vector<std::string>{"done"}));
  const int r = AddRoom("r", {{0, 0, a, 100001, ""}});
  StartRooms(res);
  EnterRoom(r, true);
  EXPECT_EQ(GetCodeWorld(), CurrentRoom());
  FreeRooms();  // game end or restart
  EXPECT_EQ(GetCodeWorld(), nullptr);
  Log().clear();
  Run("with (all) wlog('all'); wlog('done')", &temp);
  EXPECT_EQ(Log(), (std::vector<std::string>{"done"}));
}

TEST_F(Rooms, CreationCodeErrorsAreReportedAndTheRoomGoesOn) {
  const int a = LoggingObject("a");
  const int r = AddRoom("r", {{0, 0, a, 100001, "wlog("}}, "x = = 1");
  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(r, false);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].rfind("COMPILATION ERROR in initialization code for instance\r", 0), 0u) << errors[0];
  EXPECT_EQ(errors[1].rfind("COMPILATION ERROR in room script\r", 0), 0u) << errors[1];
  EXPECT_EQ(Log(), (std::vector<std::string>{"create 100001", "room start 100001"}));
}

TEST_F(Rooms, LookupListsFollowRebuildsNotDepth) {
  const int base = AddObject("base");
  const int child = AddObject("child", base);
  const int r = AddRoom("r", {});
  StartRooms(res);
  EnterRoom(r, true);
  CLiveRoom& room = *CurrentRoom();
  CInstance* a = AddRoomInstance(child, 0, 0);
  CInstance* b = AddRoomInstance(base, 0, 0);
  a->depth = 0;
  b->depth = 10;
  room.SortByDepth();
  EXPECT_EQ(room.ActiveAt(0), b);
  EXPECT_EQ(room.FamilyAt(base, 0), a);  // not resorted
  EXPECT_EQ(room.FamilyAt(base, 1), b);
  EXPECT_EQ(room.ExactCount(base), 1);
  CInstance* gone = AddRoomInstance(base, 0, 0);
  gone->deleted = true;
  room.RemoveDeleted();  // a removal rebuilds in active order
  EXPECT_EQ(room.FamilyAt(base, 0), b);
  EXPECT_EQ(room.FamilyAt(base, 1), a);
  EXPECT_EQ(room.FamilyCount(base), 2);

  // An object added while the game runs gets its lists on demand, also as a parent.
  const int added = AddObject("added");
  const int addedChild = AddObject("addedChild", added);
  CInstance* c = AddRoomInstance(addedChild, 1, 1);
  EXPECT_EQ(room.ExactAt(addedChild, 0), c);
  EXPECT_EQ(room.FamilyAt(added, 0), c);
  EXPECT_EQ(room.FamilyCount(added + 50), 0);
  EXPECT_EQ(room.FamilyAt(-3, 0), nullptr);

  // Deactivation moves instances between the lists in their order.
  a->deactivated = true;
  room.UpdateDeactivation();
  EXPECT_EQ(room.FindInstance(a->id), nullptr);
  EXPECT_EQ(room.DeactivatedAt(0), a);
  EXPECT_EQ(room.FamilyCount(base), 1);
  a->deactivated = false;
  room.UpdateDeactivation();
  EXPECT_EQ(room.ActiveAt(room.ActiveCount() - 1), a);
  EXPECT_EQ(room.FindInstance(a->id), a);
}

// The id map gives exactly what a plain search of the active list gives, whatever happened before.
TEST_F(Rooms, IdMapEqualsPlainSearch) {
  const int base = AddObject("base");
  const int child = AddObject("child", base);
  const int other = AddObject("other");
  const int r = AddRoom("r", {{0, 0, base, 100001, ""}});
  StartRooms(res);
  EnterRoom(r, true);
  CLiveRoom& room = *CurrentRoom();
  std::mt19937 rng(12345);
  std::set<int> ids{100001};
  const int objects[] = {base, child, other};
  auto pick = [&]() -> CInstance* {
    if (room.ActiveCount() == 0) return nullptr;
    return room.ActiveAt(static_cast<int>(rng() % room.ActiveCount()));
  };
  for (int step = 0; step < 3000; ++step) {
    switch (rng() % 8) {
      case 0:
      case 1: {
        CInstance* inst = AddRoomInstance(objects[rng() % 3], 0, 0);
        inst->depth = static_cast<double>(rng() % 5);
        ids.insert(inst->id);
        break;
      }
      case 2:
        if (CInstance* inst = pick()) DestroyInstance(inst);
        break;
      case 3:  // instance_change keeps the id; the old instance stays listed, marked
        if (CInstance* old = pick(); old && !old->deleted) ChangeInstance(old, objects[rng() % 3], rng() % 2);
        break;
      case 4:
        room.RemoveDeleted();
        break;
      case 5:
        room.SortByDepth();
        break;
      case 6:
        if (CInstance* inst = pick()) inst->deactivated = true;
        if (room.DeactivatedCount() > 0 && rng() % 2) room.DeactivatedAt(0)->deactivated = false;
        room.UpdateDeactivation();
        break;
      case 7:
        if (CInstance* inst = pick()) ids.insert(CopyInstance(inst, true)->id);
        break;
    }
    for (int id : ids) ASSERT_EQ(room.FindInstance(id), room.FindInstanceByScan(id)) << "step " << step;
    // Every family list holds exactly the active instances of the object or a descendant.
    if (step % 50 == 0) {
      for (int o : objects) {
        std::multiset<CInstance*> expect, got;
        for (int i = 0; i < room.ActiveCount(); ++i) {
          CInstance* inst = room.ActiveAt(i);
          if (inst->objectIndex == o || IsDescendant(res.objects, inst->objectIndex, o)) expect.insert(inst);
        }
        for (int i = 0; i < room.FamilyCount(o); ++i) got.insert(room.FamilyAt(o, i));
        ASSERT_EQ(got, expect) << "object " << o << " step " << step;
      }
    }
  }
}

TEST_F(Rooms, InstanceCommands) {
  const int ship = AddObject("ship");
  const int rock = AddObject("rock");
  Obj(rock).sprite = AddSprite(8, 8);
  Obj(rock).depth = 5;
  On(ship, kEventCreate, 0, "wlog('create ship', id); hp = 3");
  On(ship, kEventDestroy, 0, "wlog('destroy ship', id, instance_count)");
  On(rock, kEventCreate, 0, "wlog('create rock', id, hp)");
  // A destroy event that destroys its own instance again (through a test hook) must not recurse.
  On(rock, kEventDestroy, 0, "wlog('destroy rock', id); wdestroy()");
  RegisterFunction("wdestroy", [](RValue&, CInstance* self, CInstance*, int, RValue*) { DestroyInstance(self); }, 0);
  const int r = AddRoom("r", {});
  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(r, true);
  CInstance* s1 = CreateInstance(ship, 1, 2);
  ASSERT_NE(s1, nullptr);
  const int id = s1->id;
  CInstance* changed = ChangeInstance(s1, rock, true);
  ASSERT_NE(changed, nullptr);
  EXPECT_EQ(changed->id, id);  // the id is kept
  EXPECT_EQ(changed->objectIndex, rock);
  EXPECT_EQ(changed->spriteIndex, Obj(rock).sprite);
  EXPECT_EQ(changed->depth, 5);
  EXPECT_EQ(changed->bboxLeft, 1);
  EXPECT_TRUE(s1->deleted);
  EXPECT_EQ(CurrentRoom()->FindInstance(id), changed);
  CInstance* copy = CopyInstance(changed, false);
  EXPECT_NE(copy->id, id);
  DestroyInstance(changed);
  DestroyInstance(changed);  // already Deleted: nothing
  EXPECT_EQ(Log(), (std::vector<std::string>{"create ship 100001", "destroy ship 100001 1", "create rock 100001 3",
                                             "destroy rock 100001"}));
  EXPECT_EQ(CreateInstance(99, 0, 0), nullptr);
  ASSERT_FALSE(errors.empty());
  EXPECT_NE(errors.back().find("Creating instance for non-existing object: 99"), std::string::npos);
  // Destroyed instances are counted until removed.
  CCode count("wlog(instance_count)", false);
  ASSERT_TRUE(count.Compile());
  RValue rv;
  Log().clear();
  RunProgram(copy, copy, &count, rv);
  CurrentRoom()->RemoveDeleted();
  RunProgram(copy, copy, &count, rv);
  EXPECT_EQ(Log(), (std::vector<std::string>{"3", "1"}));
}

// Event loops over the room walk by index with the count taken at the start: instances created meanwhile wait,
// destroyed or deactivated ones are passed over, and a list that shrinks under the loop is bounds-checked.
TEST_F(Rooms, LoopsOverTheRoomSurviveChangesMadeByEvents) {
  const int o = AddObject("o");
  On(o, kEventOther, kOtherUser0, "wlog('user', id); wchange(id)");
  RegisterFunction("wchange", [](RValue&, CInstance* self, CInstance*, int, RValue* a) {
    CLiveRoom& room = *CurrentRoom();
    if (a[0].Real() == 100001 && room.FindInstance(100002)) {
      DestroyInstance(room.FindInstance(100002));
      room.FindInstance(100003)->deactivated = true;
      CreateInstance(self->objectIndex, 0, 0);
    } else if (a[0].Real() == 100004) {
      // Removing and deactivating shrink the active list below the count taken at the start.
      room.RemoveDeleted();
      room.UpdateDeactivation();
    }
  }, 1);
  const int r = AddRoom("r", {{0, 0, o, 100001, ""}, {0, 0, o, 100002, ""}, {0, 0, o, 100003, ""},
                              {0, 0, o, 100004, ""}, {0, 0, o, 100005, ""}});
  res.lastInstanceId = 100005;
  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(r, true);
  PerformEventForAll(kEventOther, kOtherUser0);
  EXPECT_EQ(Log(), (std::vector<std::string>{"user 100001", "user 100004"}));
  Log().clear();
  PerformEventForAll(kEventOther, kOtherUser0);
  EXPECT_EQ(Log(), (std::vector<std::string>{"user 100001", "user 100004", "user 100005", "user 100006"}));
  EXPECT_EQ(CurrentRoom()->DeactivatedCount(), 1);
}

TEST_F(Rooms, MotionAndAnimationPhases) {
  const int o = AddObject("o");
  Obj(o).sprite = AddSprite(4, 4, 4);
  On(o, kEventOther, kOtherAnimationEnd, "wlog('animation end', id, image_index)");
  const int r = AddRoom("r", {{0, 0, o, 100001, ""}, {0, 0, o, 100002, ""}, {0, 0, o, 100003, ""}});
  ASSERT_TRUE(Prepare());
  StartRooms(res);
  EnterRoom(r, true);
  CLiveRoom& room = *CurrentRoom();
  CInstance* slowing = room.ActiveAt(0);
  slowing->SetSpeed(0.3);
  slowing->friction = 0.5;
  CInstance* falling = room.ActiveAt(1);
  falling->gravity = 1;
  CInstance* gone = room.ActiveAt(2);
  gone->SetHSpeed(2);
  gone->deleted = true;  // still moves until removed
  RunMotionPhase();
  EXPECT_EQ(slowing->speed, 0);
  EXPECT_EQ(slowing->x, 0);
  EXPECT_EQ(falling->y, 1);  // gravity acts before the move of the same step
  EXPECT_EQ(gone->x, 2);
  EXPECT_EQ(falling->bboxTop, 1);
  slowing->imageIndex = 3.6;
  slowing->imageSpeed = 0.5;
  falling->imageSpeed = 0;
  gone->imageIndex = 3.5;
  RunAnimationPhase();
  EXPECT_EQ(Log(), (std::vector<std::string>{"animation end 100001 0.099999999999999645"}));
}

TEST_F(Rooms, TileEdges) {
  CLiveRoom room;
  int lastTile = 10000000;
  RTile t;
  t.x = 10;
  t.y = 10;
  t.width = 16;
  t.height = 16;
  t.depth = 0;
  const int i = room.AddTile(t, lastTile);
  EXPECT_EQ(room.GetTile(i)->id, 10000001);
  EXPECT_EQ(room.FindTileById(10000001), i);
  EXPECT_EQ(room.FindTileAt(26, 12, false), -1);  // right edge excluded
  EXPECT_EQ(room.FindTileAt(25.9, 12, false), i);
  EXPECT_EQ(room.FindTileAt(12, 12, true), -1);  // depth 0 is not foreground for finding...
  room.DeleteTilesAt(26, 12, true);               // ...but is for deleting, edge included
  EXPECT_EQ(room.TileCount(), 0);
  t.depth = 5;
  room.AddTile(t, lastTile);
  t.depth = 9;
  room.AddTile(t, lastTile);
  room.SortTilesByDepth();
  EXPECT_EQ(room.GetTile(0)->depth, 9);
  room.ShiftLayer(5, 3, 0);
  EXPECT_EQ(room.GetTile(1)->x, 13);
  EXPECT_EQ(room.FindLayerTileAt(5, 28.5, 12), 1);
  room.SetLayerDepth(5, 9);
  room.DeleteLayer(9);
  EXPECT_EQ(room.TileCount(), 0);
}

}  // namespace
}  // namespace kv::test
