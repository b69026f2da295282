#include "functions/function_display.h"

#include <filesystem>
#include <string>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "functions/function_args.h"
#include "graphics/bitmap_ops.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_display.h"
#include "graphics/graphics_support.h"
#include "world/run_main.h"

namespace kv {

namespace {

using namespace fnargs;

// A mode change rebuilds the device's buffers for the new desktop.
bool ChangeAndReset(int width, int height, int frequency, int depth) {
  const bool changed = gfx::ChangeDisplay(width, height, frequency, depth);
  if (changed) gfx::ResetDevice();
  return changed;
}

void SaveScreen(const std::string& file, int x, int y, int w, int h) {
  std::string error;
  if (!gfx::SaveScreenPart(file, x, y, w, h, Game().secureMode, error) && !error.empty())
    ReportRuntimeError(error);
}

}  // namespace

void SaveScreenshotForKey() {
  std::error_code ec;
  for (int n = 100;; ++n) {
    const std::string file = "screenshot" + std::to_string(n) + ".bmp";
    if (std::filesystem::exists(file, ec)) continue;
    SaveScreen(file, 0, 0, gfx::D3D().renderWidth, gfx::D3D().renderHeight);
    return;
  }
}

void RegisterDisplayFunctions() {
  Reg("display_get_width", 0, KV_FN { KV_UNUSED_ARGS; r = RValue(double(gfx::DisplayWidth())); });
  Reg("display_get_height", 0, KV_FN { KV_UNUSED_ARGS; r = RValue(double(gfx::DisplayHeight())); });
  Reg("display_get_colordepth", 0, KV_FN { KV_UNUSED_ARGS; r = RValue(double(gfx::DisplayColourDepth())); });
  Reg("display_get_frequency", 0, KV_FN { KV_UNUSED_ARGS; r = RValue(double(gfx::DisplayFrequency())); });
  Reg("display_set_size", 2, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(ChangeAndReset(I(a, 0), I(a, 1), 0, 0) ? 1.0 : 0.0);
  });
  Reg("display_set_colordepth", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(ChangeAndReset(0, 0, 0, I(a, 0)) ? 1.0 : 0.0);
  });
  Reg("display_set_frequency", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(ChangeAndReset(0, 0, I(a, 0), 0) ? 1.0 : 0.0);
  });
  Reg("display_set_all", 4, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(ChangeAndReset(I(a, 0), I(a, 1), I(a, 2), I(a, 3)) ? 1.0 : 0.0);
  });
  Reg("display_test_all", 4, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(gfx::TestDisplay(I(a, 0), I(a, 1), I(a, 2), I(a, 3)) ? 1.0 : 0.0);
  });
  Reg("display_reset", 0, KV_FN {
    KV_UNUSED_ARGS;
    gfx::RestoreDisplay();
    gfx::ResetDevice();
  });
  Reg("display_mouse_get_x", 0, KV_FN { KV_UNUSED_ARGS; r = RValue(double(gfx::DisplayMouseX())); });
  Reg("display_mouse_get_y", 0, KV_FN { KV_UNUSED_ARGS; r = RValue(double(gfx::DisplayMouseY())); });
  Reg("display_mouse_set", 2, KV_FN {
    KV_UNUSED_ARGS;
    gfx::SetDisplayMouse(I(a, 0), I(a, 1));
  });
  Reg("screen_wait_vsync", 0, KV_FN {
    KV_UNUSED_ARGS;
    gfx::WaitVerticalBlank();
  });
  Reg("screen_save", 1, KV_FN {
    KV_UNUSED_ARGS;
    SaveScreen(Str(a, 0), 0, 0, gfx::D3D().renderWidth, gfx::D3D().renderHeight);
  });
  Reg("screen_save_part", 5, KV_FN {
    KV_UNUSED_ARGS;
    SaveScreen(Str(a, 0), I(a, 1), I(a, 2), I(a, 3), I(a, 4));
  });

  DescribeFunctions("Display", {
      {"display_get_width", "", "Returns the width of the screen in pixels."},
      {"display_get_height", "", "Returns the height of the screen in pixels."},
      {"display_get_colordepth", "", "Returns the screen's colour depth in bits per pixel."},
      {"display_get_frequency", "", "Returns the screen's refresh rate in hertz."},
      {"display_set_size", "w, h", "Changes the screen resolution and returns whether it worked."},
      {"display_set_colordepth", "coldepth", "Changes the screen's colour depth and returns whether it worked."},
      {"display_set_frequency", "frequency", "Changes the screen's refresh rate and returns whether it worked."},
      {"display_set_all", "w, h, frequency, coldepth",
       "Changes several screen settings at once (-1 keeps one) and returns whether it worked."},
      {"display_test_all", "w, h, frequency, coldepth",
       "Returns whether the given screen settings are possible, changing nothing."},
      {"display_reset", "", "Restores the screen settings the game started with."},
      {"display_mouse_get_x", "", "Returns the x position of the mouse on the screen."},
      {"display_mouse_get_y", "", "Returns the y position of the mouse on the screen."},
      {"display_mouse_set", "x, y", "Moves the mouse to a position on the screen."},
      {"screen_wait_vsync", "", "Waits for the screen's next vertical refresh."},
      {"screen_save", "fname", "Saves the current game image as an image file."},
      {"screen_save_part", "fname, x, y, w, h", "Saves a rectangle of the current game image as an image file."},
  });
}

}  // namespace kv
