#include "functions/function_display.h"

#include <filesystem>
#include <string>

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
}

}  // namespace kv
