// The real debug window drawn headless: SDL's offscreen video with Mesa's software GL.
#include <gtest/gtest.h>

#include "platform/debug_window.h"
#include "platform/sdl/sdl_window.h"

namespace {

using namespace kv::plat;

TEST(DebugWindow, DrawsFramesOnTheSoftwareGlDevice) {
  UseHeadlessVideo();
  std::string failure;
  std::unique_ptr<IDebugWindow> window = CreateSdlDebugWindow(failure);
  ASSERT_NE(window, nullptr) << failure;
  EXPECT_TRUE(window->AsksQuestions());

  DebugView view;
  view.caption = "Debug Window";
  view.actions = {{"Run", "&Run", "Ctrl+Alt+R", false, true},
                  {"Run", "&Pause", "Ctrl+Alt+P", true, true},
                  {"Watch", "&Add", "Ctrl+A", true, true},
                  {"Tools", "Show &Messages", "", true, false}};
  view.watches = {{"obj_ship.x", "16"}, {"x +", "COMPILE ERROR"}};
  view.selectedRow = 2;
  view.status = {"30 fps", "1 inst", "mouse id: 100001"};
  view.infos = {{"Global Variables", "mouse_x:            0\n________________________________\n", true},
                {"Messages", "hidden\n\n", false}};
  for (int frame = 0; frame < 3; ++frame) {
    view.question = {frame == 1, "Provide an expression.", "Please type in the expression", "obj_ship.y"};
    const std::vector<DebugEvent> events = window->Frame(view);
    EXPECT_TRUE(events.empty()) << frame;  // nobody clicked
    EXPECT_EQ(window->LastError(), "") << frame;
  }
}

}  // namespace
