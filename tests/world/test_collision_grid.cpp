// The broad phase must never change an answer: grid queries against brute force, and whole worlds (collision
// phase, place_meeting, instance_number) played with the index on and off after random create / move / destroy
// sequences, compared event by event.
#include <cmath>
#include <limits>
#include <random>

#include "code/code_exec.h"
#include "world/collision_grid.h"
#include "world/collision_query.h"
#include "world/event_dispatch.h"
#include "world/instance_class.h"
#include "world_fixture.h"

namespace kv::test {
namespace {

TEST(PixelRounding, HalvesToEvenAndSaturates) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Row {
    double v;
    int32_t want;
  };
  const Row rows[] = {{0.5, 0},          {1.5, 2},           {2.5, 2},          {-0.5, 0},
                      {-1.5, -2},        {-2.5, -2},         {0.49999999999999994, 0},
                      {2147483646.5, 2147483646},            {2147483647.0, 2147483647},
                      {3e9, 2147483647}, {-2147483648.3, -2147483647 - 1}, {-3e9, -2147483647 - 1},
                      {nan, 0},          {inf, 2147483647},  {-inf, -2147483647 - 1}};
  for (const Row& r : rows) EXPECT_EQ(RoundPixel(r.v), r.want) << r.v;
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> any(-5e6, 5e6);
  for (int i = 0; i < 100000; ++i) {
    const double v = i % 2 ? any(rng) : std::floor(any(rng)) + 0.5;
    ASSERT_EQ(RoundPixel(v), static_cast<int32_t>(std::nearbyint(v))) << v;
  }
}

TEST(CollisionGridQuery, EqualsBruteForceForRandomBoxes) {
  struct Case {
    int roomW, roomH, spread, maxSize;
  };
  // Small and huge rooms (bigger cells), boxes far outside the room, boxes over many cells.
  const Case cases[] = {{640, 480, 800, 40}, {2048, 2048, 2100, 8}, {100000, 300, 120000, 5000}, {1, 1, 300, 300}};
  std::mt19937 rng(7);
  for (const Case& c : cases) {
    std::uniform_int_distribution<int> pos(-c.spread / 4, c.spread), size(0, c.maxSize);
    std::vector<CInstance> store(300);
    std::vector<CInstance*> list;
    for (CInstance& inst : store) {
      if (rng() % 10 == 0) {
        inst.bboxLeft = inst.bboxTop = inst.bboxRight = inst.bboxBottom = kNoBoundingBox;  // no shape
      } else {
        inst.bboxLeft = pos(rng);
        inst.bboxTop = pos(rng);
        inst.bboxRight = inst.bboxLeft + size(rng);
        inst.bboxBottom = inst.bboxTop + size(rng);
      }
      list.push_back(&inst);
    }
    ObjectGrid grid;
    grid.Build(list.data(), static_cast<int>(list.size()), c.roomW, c.roomH);
    for (int q = 0; q < 400; ++q) {
      GridBox box{pos(rng), pos(rng), 0, 0};
      if (q % 17 == 0) box = {kNoBoundingBox, kNoBoundingBox, kNoBoundingBox, kNoBoundingBox};
      box.right = std::max(box.right, box.left + size(rng));
      box.bottom = std::max(box.bottom, box.top + size(rng));
      std::vector<int32_t> want;
      for (int i = 0; i < static_cast<int>(list.size()); ++i)
        if (BoxesOverlap(box, BoxOf(*list[i]))) want.push_back(i);
      std::vector<int32_t> got;
      grid.Query(box, got);
      ASSERT_EQ(got, want) << "room " << c.roomW << "x" << c.roomH << " query " << q;
      int asked = 0;
      const bool any = grid.Any(box, [&](int32_t) {
        ++asked;
        return false;
      });
      EXPECT_FALSE(any);
      EXPECT_EQ(asked, static_cast<int>(want.size())) << "each overlapping entry asked exactly once";
    }
  }
}

// A world of four objects (a parent with a child, a solid one, a shapeless one) whose collision events log the
// couple and, depending on the ids, move, destroy or create instances in the middle of the phase.
class CollisionWorld : public WorldTest {
 protected:
  void Build() {
    const int small = AddSprite(8, 8);
    const int wide = AddSprite(40, 12, 1, 20, 6);
    ball = AddObject("ball");
    child = AddObject("child", ball);
    wall = AddObject("wall");
    ghost = AddObject("ghost");
    Obj(ball).sprite = small;
    Obj(child).sprite = wide;
    Obj(wall).sprite = wide;
    Obj(wall).solid = true;
    On(ball, kEventCollision, ball,
       "wlog('bb', id, other.id, x, y); if ((id + other.id) mod 9 == 0) x += 30;"
       "if ((id * 3 + other.id) mod 23 == 0) instance_destroy();");
    On(ball, kEventCollision, wall, "wlog('bw', id, other.id, x, y); if (id mod 5 == 0) hspeed = -hspeed;");
    On(child, kEventCollision, ball,
       "wlog('cb', id, other.id); if ((id + other.id) mod 13 == 0) instance_create(x + 5, y, ball);");
    On(wall, kEventCollision, child, "wlog('wc', id, other.id, x, y)");
    On(ghost, kEventCollision, ghost, "wlog('gg', id, other.id)");
    auto room = std::make_unique<CRoom>();
    room->width = 400;
    room->height = 300;
    roomIndex = res.rooms.Add("arena", std::move(room));
    ASSERT_TRUE(Prepare());
    BuildDispatchLists();
    StartRooms(res);
    EnterRoom(roomIndex, true);
  }

  // Plays a seeded sequence: creations, random moves and speeds, destroys, the collision phase and removal, with
  // place_meeting and instance_number compared both ways after every change. Returns the event log.
  std::vector<std::string> Play(unsigned seed, bool indexed) {
    SetCollisionIndexEnabled(indexed);
    Log().clear();
    std::mt19937 rng(seed);
    auto coord = [&](int range) { return static_cast<double>(static_cast<int>(rng() % (range + 60)) - 30); };
    const int objects[] = {ball, ball, ball, child, wall, ghost};
    for (int i = 0; i < 220; ++i) {
      CInstance* inst = CreateInstance(objects[rng() % 6], coord(400), coord(300));
      inst->SetHSpeed(static_cast<int>(rng() % 7) - 3);
      if (rng() % 4 == 0) inst->SetXScale(1.5);
    }
    CLiveRoom* room = CurrentRoom();
    for (int step = 0; step < 12; ++step) {
      for (int k = 0; k < 40; ++k) {
        CInstance* inst = room->ActiveAt(static_cast<int>(rng() % room->ActiveCount()));
        switch (rng() % 4) {
          case 0: inst->SetPosition(coord(400), coord(300)); break;
          case 1: DestroyInstance(inst); break;
          case 2: CreateInstance(objects[rng() % 6], coord(400), coord(300)); break;
          default: inst->SetPosition(inst->x + inst->hSpeed, inst->y + 2); break;
        }
      }
      for (int i = 0; i < room->ActiveCount(); ++i) {
        CInstance* inst = room->ActiveAt(i);
        inst->xPrevious = inst->x;
        inst->yPrevious = inst->y;
        inst->SetPosition(inst->x + inst->hSpeed, inst->y + inst->vSpeed);
      }
      ComparePlaceQueries(rng);
      DispatchCollisions();
      ComparePlaceQueries(rng);
      room->RemoveDeleted();
    }
    for (int i = 0; i < room->ActiveCount(); ++i) {
      const CInstance* inst = room->ActiveAt(i);
      Log().push_back("end " + std::to_string(inst->id) + " " + std::to_string(inst->x) + " " +
                      std::to_string(inst->y));
    }
    SetCollisionIndexEnabled(true);
    return Log();
  }

  void ComparePlaceQueries(std::mt19937& rng) {
    CLiveRoom& room = *CurrentRoom();
    const int selections[] = {-3, ball, child, wall, ghost, room.ActiveAt(0)->id, 123456};
    for (int q = 0; q < 60; ++q) {
      const CInstance& self = *room.ActiveAt(static_cast<int>(rng() % room.ActiveCount()));
      const CInstance::TrialShape shape = self.ShapeAt(self.x + static_cast<int>(rng() % 21) - 10, self.y);
      const int sel = selections[rng() % 7];
      ASSERT_EQ(MeetsSelection(room, self, shape, sel), MeetsSelectionByScan(room, self, shape, sel))
          << "self " << self.id << " selection " << sel;
    }
    for (int sel : selections) ASSERT_EQ(CountSelection(room, sel), CountSelectionByScan(room, sel)) << sel;
  }

  int ball = -1, child = -1, wall = -1, ghost = -1, roomIndex = -1;
};

TEST_F(CollisionWorld, IndexedPlayEqualsPlainPlay) {
  Build();
  auto restart = [&] {  // the same fresh room, ids counted from the start again
    FreeRooms();
    InitRoomIds(res);
    StartRooms(res);
    EnterRoom(roomIndex, true);
  };
  for (unsigned seed : {1u, 2u, 3u}) {
    restart();
    const std::vector<std::string> plain = Play(seed, false);
    restart();
    const std::vector<std::string> indexed = Play(seed, true);
    ASSERT_GT(plain.size(), 300u) << "the worlds must actually collide";
    for (size_t i = 0; i < std::min(plain.size(), indexed.size()); ++i)
      ASSERT_EQ(indexed[i], plain[i]) << "seed " << seed << " line " << i;
    ASSERT_EQ(indexed.size(), plain.size()) << "seed " << seed;
  }
}

TEST_F(CollisionWorld, CountsFollowCreateDestroyChangeAndParents) {
  Build();
  CLiveRoom& room = *CurrentRoom();
  CInstance* a = CreateInstance(ball, 10, 10);
  CInstance* b = CreateInstance(child, 50, 10);
  CreateInstance(wall, 90, 10);
  struct Expect {
    int selection, count;
  };
  auto check = [&](std::initializer_list<Expect> rows, const char* when) {
    for (const Expect& e : rows) {
      EXPECT_EQ(CountSelection(room, e.selection), e.count) << when << ", selection " << e.selection;
      EXPECT_EQ(CountSelectionByScan(room, e.selection), e.count) << when << ", selection " << e.selection;
    }
  };
  check({{-3, 3}, {ball, 2}, {child, 1}, {wall, 1}, {ghost, 0}, {b->id, 1}}, "created");
  DestroyInstance(b);
  check({{-3, 2}, {ball, 1}, {child, 0}, {b->id, 0}}, "child destroyed, still listed");
  room.RemoveDeleted();
  check({{-3, 2}, {ball, 1}, {child, 0}}, "removed");
  CInstance* changed = ChangeInstance(a, child, false);
  ASSERT_NE(changed, nullptr);
  check({{-3, 2}, {ball, 1}, {child, 1}, {changed->id, 1}}, "ball changed into child");
  changed->deactivated = true;
  room.UpdateDeactivation();
  check({{-3, 1}, {ball, 0}, {child, 0}}, "deactivated");
  // A new parent: the family lists follow the old tree until they are rebuilt, and the counts with them.
  Obj(wall).parent = ball;
  BuildDispatchLists();
  check({{ball, 0}, {wall, 1}}, "parent changed");
  room.RebuildLookups();
  check({{ball, 1}, {wall, 1}}, "lists rebuilt");
}

// place_meeting and instance_number through game code: self and other (-1, -2), ids, and the trial position
// leaving self where it was with the box a move there and back would leave.
TEST_F(CollisionWorld, PlaceMeetingAndInstanceNumberForSelfOtherAndIds) {
  Build();
  CInstance* me = CreateInstance(ball, 100, 100);
  CInstance* near = CreateInstance(ball, 104, 100);
  CInstance* far = CreateInstance(wall, 300, 200);
  auto run = [&](const std::string& code, CInstance* self, CInstance* other) {
    Log().clear();
    CCode c(code, false);
    EXPECT_TRUE(c.Compile()) << code;
    RValue r;
    RunProgram(self, other, &c, r);
    return Log().empty() ? std::string("<nothing>") : Log().back();
  };
  struct Row {
    std::string code;
    CInstance* other;
    std::string want;
  };
  const std::string nearId = std::to_string(near->id), farId = std::to_string(far->id);
  const Row rows[] = {
      {"wlog(place_meeting(x, y, -1), place_meeting(x, y, -2))", near, "0 1"},  // never itself; other touches
      {"wlog(place_meeting(x, y, -2))", far, "0"},
      {"wlog(place_meeting(x + 196, y + 100, -2), x, y)", far, "1 100 100"},     // tested there, left here
      {"wlog(place_meeting(x, y, " + nearId + "), place_meeting(x, y, " + farId + "))", near, "1 0"},
      {"wlog(place_meeting(x - 20, y, all), place_meeting(x, y, all))", near, "0 1"},
      {"wlog(instance_number(-1), instance_number(-2), instance_number(" + farId + "), instance_number(all))", far,
       "1 1 1 3"},
  };
  for (const Row& r : rows) EXPECT_EQ(run(r.code, me, r.other), r.want) << r.code;
  DestroyInstance(near);
  EXPECT_EQ(run("wlog(place_meeting(x, y, -2), instance_number(-2), instance_number(" + std::to_string(ball) +
                    "), instance_number(all))",
                me, near),
            "0 0 1 2");

  // A box left stale by a sprite change: testing at the own position uses it as it is; testing elsewhere brings
  // it up to date afterwards, as moving there and back does.
  res.sprites.Get(Obj(ball).sprite)->bboxRight = 15;
  EXPECT_EQ(me->bboxRight, 107);
  run("place_meeting(x, y, all)", me, me);
  EXPECT_EQ(me->bboxRight, 107);
  run("place_meeting(x + 1, y, all)", me, me);
  EXPECT_EQ(me->bboxRight, 115);
  EXPECT_EQ(me->x, 100);
}

}  // namespace
}  // namespace kv::test
