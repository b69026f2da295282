#include "graphics/graphics_display.h"

namespace kv::gfx {

static plat::IDisplay* g_display = nullptr;

void AttachDisplay(plat::IDisplay* display) { g_display = display; }

static plat::DisplayMode Mode() { return g_display ? g_display->Desktop() : plat::DisplayMode{}; }

int DisplayWidth() { return Mode().width; }
int DisplayHeight() { return Mode().height; }
int DisplayColourDepth() { return Mode().bitsPerPixel; }
int DisplayFrequency() { return Mode().frequency; }

bool ChangeDisplay(int width, int height, int frequency, int depth) {
  return g_display && g_display->SetMode(width, height, frequency, depth, false);
}
bool TestDisplay(int width, int height, int frequency, int depth) {
  return g_display && g_display->SetMode(width, height, frequency, depth, true);
}
void RestoreDisplay() {
  if (g_display) g_display->Restore();
}

int DisplayMouseX() {
  int x = 0, y = 0;
  if (g_display) g_display->GlobalMouse(x, y);
  return x;
}
int DisplayMouseY() {
  int x = 0, y = 0;
  if (g_display) g_display->GlobalMouse(x, y);
  return y;
}
void SetDisplayMouse(int x, int y) {
  if (g_display) g_display->SetGlobalMouse(x, y);
}
void WaitVerticalBlank() {
  if (g_display) g_display->WaitVBlank();
}

int DepthFromCode(int code) { return code == 1 ? 16 : code == 2 ? 32 : 0; }

void ResolutionFromCode(int code, int& width, int& height) {
  static const int sizes[6][2] = {{320, 240}, {640, 480}, {800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200}};
  width = height = 0;
  if (code >= 1 && code <= 6) {
    width = sizes[code - 1][0];
    height = sizes[code - 1][1];
  }
}

int FrequencyFromCode(int code) {
  static const int rates[5] = {60, 70, 85, 100, 120};
  return code >= 1 && code <= 5 ? rates[code - 1] : 0;
}

}  // namespace kv::gfx
