#pragma once
// Shows the loading window the runner lays out: picture, progress bar and phase label.
#include <cstdint>
#include <string>
#include <string_view>

namespace kv::plat {

struct ImageView {  // 0xAARRGGBB pixels, top row first; null when absent
  int width = 0, height = 0;
  const uint32_t* pixels = nullptr;
};

struct BarRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const BarRect&) const = default;
};

// Everything a backend needs to draw the window; kept up to date by the runner.
struct LoadingWindowState {
  int left = 0, top = 0;         // window position on the screen
  int width = 0, height = 0;     // client size
  ImageView picture, emptyBar, fullBar;
  bool hasPicture = false;       // false: the built-in picture of the designed size
  bool transparent = false;      // colour key = the picture's bottom-left pixel
  uint32_t transparentColour = 0;
  int alpha = 255;
  bool barsVisible = true, stretchFullBar = true, labelVisible = false;
  BarRect emptyBarRect, fullBarRect, labelRect;
  std::string label;             // CP-1252
  int percent = 0;
};

class ILoadingDisplay {
 public:
  virtual ~ILoadingDisplay() = default;
  virtual void Show(const LoadingWindowState& state) = 0;
  // The state after a progress change; the display repaints.
  virtual void Update(const LoadingWindowState& state) = 0;
  virtual void Hide() = 0;
};

}  // namespace kv::plat
