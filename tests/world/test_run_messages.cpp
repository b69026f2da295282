// End to end: the error messages of room changes, instance commands, saved games and room code, triggered by
// games played headless and compared byte for byte in the error log (header, line ends and all).
#include "test_run_fixture.h"

#include <cstdint>

namespace {

using kvtest::Result;
using kvtest::RunCommand;
namespace fs = std::filesystem;

class RunMessages : public kvtest::RunGameTest {
 protected:
  std::string ReadLog() {
    std::ifstream f(dir / "game_errors.log", std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }
  void WriteInts(const std::string& name, std::initializer_list<int32_t> values) {
    std::ofstream f(dir / name, std::ios::binary);
    for (int32_t v : values) f.write(reinterpret_cast<const char*>(&v), 4);  // little-endian hosts only
  }
};

// The header of an error raised by the first action of obj_p's create event.
std::string InCreate(const std::string& message, bool fatal = false) {
  return std::string(fatal ? "FATAL " : "") + "ERROR in\r\naction number 1\r\nof Create Event\r\nfor object obj_p:\r\n\r\n" +
         message;
}

TEST_F(RunMessages, EachErrorGivesItsExactText) {
  struct Case {
    const char* name;
    std::string create;    // create event of obj_p, placed in rm_a and rm_b (order rm_a, rm_b)
    std::string expected;  // the whole log: the message and its two blank lines
    const char* env = "";
    const char* roomLine = "";  // a line of rm_a that brings in code.kvs, which does not compile
  } cases[] = {
      {"next after the last room", "if (room == rm_b) room_goto_next(); else room_goto(rm_b);",
       InCreate("Moving to next room after the last room.", true)},
      {"previous before the first room", "room_goto_previous();",
       InCreate("Moving to previous room before the first room.", true)},
      {"unexisting room", "room_goto(7);", InCreate("Unexisting room number: 7", true)},
      {"room variable", "room = -2;", InCreate("Unexisting room number: -2", true)},
      {"create of a missing object", "instance_create(0, 0, 99); game_end();",
       InCreate("Creating instance for non-existing object: 99")},
      {"change into a missing object", "instance_change(123, true); game_end();",
       InCreate("Asking to change into non-existing object: 123")},
      {"missing sprite", "instance_sprite(42); game_end();", InCreate("Setting instance to non-existing sprite: 42")},
      {"screen to no file", "screen_save(''); game_end();",
       InCreate("Trying to save screen to empty image file name.")},
      {"save into a missing folder", "game_save('no_such_dir/x.sav'); game_end();",
       InCreate("Failed to save game to file no_such_dir/x.sav")},
      {"secure save", "game_save('sub/x.sav'); game_end();",
       InCreate("In secure mode you cannot save game to file sub/x.sav"), "KV_SECURE_MODE=1 "},
      // Loads happen between steps, outside any action: the message has no header.
      {"other version", "game_load('version.sav');", "Cannot load game saved with other version."},
      {"other game", "game_load('foreign.sav');", "This is a save file for a different game!"},
      {"damaged save", "game_load('short.sav');", "Failed to load game from file short.sav"},
      {"room script", "", "COMPILATION ERROR in room script\rError in code at line 1:\r   x = ;\r\rat position ", "",
       "creation = code.kvs\n"},
      {"instance code", "",
       "COMPILATION ERROR in initialization code for instance\rError in code at line 1:\r   x = ;\r\rat position ", "",
       "instance obj_p 5 5 code.kvs\n"},
  };
  WriteInts("version.sav", {541, 7});
  WriteInts("foreign.sav", {540, 8});
  WriteInts("short.sav", {540, 7, 0});
  for (const Case& c : cases) {
    Write("game.kvp",
          "[game]\nid = 7\n[settings]\ndisplay_errors = false\nwrite_errors = true\n"
          "[object obj_p]\nevent create = create.kvs\nevent step = step.kvs\n"
          "[room rm_a]\ninstance obj_p 0 0\n" + std::string(c.roomLine) + "[room rm_b]\ninstance obj_p 0 0\n");
    Write("create.kvs", c.create);
    Write("step.kvs", "game_end();");
    Write("code.kvs", "x = ;");
    const std::string game = Pack();
    fs::remove(dir / "game_errors.log");
    RunCommand("cd " + dir.string() + " && " + c.env + KV_BIN_DIR + "/kvrun " + game + " --headless --fast --steps 3");
    const std::string log = ReadLog();
    if (!*c.roomLine) {
      EXPECT_EQ(log, c.expected + "\r\n\r\n\r\n") << c.name;
    } else {
      EXPECT_EQ(log.rfind(c.expected, 0), 0u) << c.name << ": " << log;  // the compiler's own words follow
    }
  }
}

// Walking off an end of the room order ends the game after the step that asked; room_next and room_previous only
// answer -1 there. A room listed twice goes on from its last listing and back from its first.
TEST_F(RunMessages, RoomOrderEndsAndNeighbours) {
  Write("game.kvp",
        "[object obj_p]\nevent create = create.kvs\nevent step = step.kvs\n"
        "[room rm_a]\ninstance obj_p 0 0\n[room rm_b]\n[room rm_c]\n[room rm_lost]\n"
        "[room_order]\nrm_a rm_b rm_a rm_c\n");
  Write("create.kvs",
        "show_debug_message(string(room_next(rm_a)) + ' ' + string(room_previous(rm_a)) + ' ' +"
        " string(room_next(rm_c)) + ' ' + string(room_previous(rm_c)) + ' ' + string(room_next(rm_b)) + ' ' +"
        " string(room_next(99)) + ' ' + string(room_previous(rm_lost)) + ' ' + string(room_next(rm_lost)));"
        "room_goto_previous();");
  Write("step.kvs", "show_debug_message('never');");
  Result r = Play(Pack(), "--steps 3");
  EXPECT_EQ(r.out, "2 -1 -1 0 0 -1 0 1\n");
}

}  // namespace
