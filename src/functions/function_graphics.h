// Drawing and tile functions of the script language: screen control, colours, shapes, the primitive builder,
// text, sprites, backgrounds and surfaces, and the tiles of the current room.
#pragma once

#include <vector>

#include "world/room_class.h"

namespace kv {

class CInstance;

// What these functions need from the world. Unset hooks use the world's current room (its tiles, its size, the
// game's tile id counter) and the calling instance's image_index; without a room, a local tile list and a
// 640 × 480 room; view_current and the room drawing of the room drawing module. Tests may replace any of them.
struct GraphicsWorldHooks {
  std::vector<RTile>* (*tiles)() = nullptr;     // the current room's tile list (stable order)
  int (*newTileId)() = nullptr;                 // next id from the game's one tile counter
  void (*roomSize)(int& width, int& height) = nullptr;
  double (*imageIndex)(CInstance* self) = nullptr;  // image_index of the calling instance
  int (*viewCurrent)() = nullptr;
  void (*setAutomaticDraw)(bool on) = nullptr;
  void (*drawRoom)() = nullptr;                 // room drawing of one frame (screen_redraw)
};
void SetGraphicsWorldHooks(const GraphicsWorldHooks& hooks);

// The tile list the functions work on (the room's, or the local one without a room) and id look-up with the
// position of the last tile found remembered.
std::vector<RTile>& CurrentTiles();
RTile* FindTile(int id);  // null when no tile of the room has the id

void RegisterGraphicsFunctions();

}  // namespace kv
