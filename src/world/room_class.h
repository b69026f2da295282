#pragma once
// CRoom: a room resource as stored in the game data — size, speed, caption, colour, the eight background layers and
// views, the instances placed in it, its tiles and its creation code. The live room state (instance lists,
// look-up lists) is built from this record by the world code.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

class CStream;

// One background layer of a room.
struct CBack {
  bool visible = false;
  bool foreground = false;
  int background = -1;  // background resource index
  double x = 0, y = 0;
  bool hTiled = true, vTiled = true;
  double hSpeed = 0, vSpeed = 0;
  bool stretch = false;  // stored; the scales follow from it once the backgrounds are known (ApplyStretch)
  double xScale = 1, yScale = 1;
  int blend = 0xFFFFFF;
  double alpha = 1;
  bool operator==(const CBack&) const = default;
};

struct CView {
  bool visible = false;
  int xView = 0, yView = 0, wView = 640, hView = 480;  // the region of the room shown
  int xPort = 0, yPort = 0, wPort = 640, hPort = 480;  // where it is shown in the window
  double angle = 0;
  int hBorder = 32, vBorder = 32;
  int hSpeed = -1, vSpeed = -1;  // -1 unlimited
  int object = -1;               // object index, or an instance id above 99999
  bool operator==(const CView&) const = default;
};

// An instance placed in the room by the editor; the world code creates the instance from it.
struct RRoomInstance {
  int x = 0, y = 0;
  int objectIndex = 0;
  int id = 0;
  std::string creationCode;
  bool operator==(const RRoomInstance&) const = default;
};

// A tile, copied by value.
struct RTile {
  double x = 0, y = 0;
  int background = -1;
  int left = 0, top = 0, width = 0, height = 0;  // the part of the background
  double depth = 0;
  int id = 0;
  double xScale = 1, yScale = 1;
  int blend = 0xFFFFFF;
  double alpha = 1;
  bool visible = true;
  bool operator==(const RTile&) const = default;
};

struct CRoom {
  static constexpr int32_t kRecordVersion = 541;
  static constexpr int kLayerCount = 8;

  std::string caption;
  int speed = 30;
  int width = 640, height = 480;
  bool persistent = false;
  int colour = 0xC0C0C0;
  bool showColour = true;
  std::array<CBack, kLayerCount> backgrounds{};
  bool viewsEnabled = false;
  std::array<CView, kLayerCount> views{};
  std::string creationCode;
  std::vector<RRoomInstance> instances;
  std::vector<RTile> tiles;

  // A stretched layer whose background exists with a positive width (height) is scaled to the room's width
  // (height). backgroundSize(index, w, h) returns false when the background does not exist.
  template <class SizeOf>
  void ApplyStretch(SizeOf backgroundSize) {
    for (CBack& back : backgrounds) {
      int w = 0, h = 0;
      if (!back.stretch || !backgroundSize(back.background, w, h)) continue;
      if (w > 0) back.xScale = static_cast<double>(width) / w;
      if (h > 0) back.yScale = static_cast<double>(height) / h;
    }
  }

  // False for a wrong record version or a layer or view count outside 0 ... 8; truncation and impossible counts
  // throw StreamError. Layer positions and speeds and tile positions and depths are stored as ints.
  bool Read(CStream& s);
  // Writes all eight layers and views; reals stored as ints are rounded to the nearest (halves to even).
  void Write(CStream& s) const;

  bool operator==(const CRoom&) const = default;
};

}  // namespace kv
