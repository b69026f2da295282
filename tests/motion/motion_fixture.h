// A world with a wall object, a mover and helpers that evaluate game code with a chosen instance as self.
#pragma once

#include <string>

#include "../world/world_fixture.h"
#include "code/code_code.h"
#include "code/code_constant.h"
#include "code/code_exec.h"
#include "world/room_live.h"

namespace kv::test {

class MotionWorld : public WorldTest {
 protected:
  // Object, path and time line names resolve as constants in the code the tests run.
  void SetUp() override {
    WorldTest::SetUp();
    SetResourceNameResolver([this](std::string_view name, int& index) {
      const std::string n(name);
      for (int i : {res.objects.Find(n), res.paths.Find(n), res.timelines.Find(n)}) {
        if (i >= 0) {
          index = i;
          return true;
        }
      }
      return false;
    });
  }
  void TearDown() override {
    SetResourceNameResolver(nullptr);
    WorldTest::TearDown();
  }
  // The value of an expression with inst as self and other.
  double V(CInstance* inst, const std::string& expr) {
    CCode code(expr, true);
    EXPECT_TRUE(code.Compile()) << expr;
    RValue result;
    EXPECT_TRUE(RunCode(inst, inst, &code, result)) << expr;
    return result.IsReal() ? result.Real() : -999999;
  }
  // Runs a program with inst as self and other.
  void Do(CInstance* inst, const std::string& text) {
    CCode code(text, false);
    ASSERT_TRUE(code.Compile()) << text;
    RValue result;
    ASSERT_TRUE(RunCode(inst, inst, &code, result)) << text;
  }
  // Enters a new room of the given size holding the placed instances.
  CLiveRoom* Enter(std::vector<RRoomInstance> placed, int width = 640, int height = 480) {
    const int r = AddRoom("room" + std::to_string(res.rooms.Count()), std::move(placed));
    res.rooms.Get(r)->width = width;
    res.rooms.Get(r)->height = height;
    EXPECT_TRUE(Prepare());
    StartRooms(res);
    EnterRoom(r, true);
    return CurrentRoom();
  }
  CInstance* ById(int id) { return CurrentRoom()->FindInstance(id); }
};

}  // namespace kv::test
