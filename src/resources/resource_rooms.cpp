// room_* functions: room resources changed while the game runs. They change what a room looks like the next time
// it is entered without a live state; a room that is live now (the current room, a visited persistent room) keeps
// its state.
#include <memory>
#include <string>

#include "code/code_error.h"
#include "code/code_docs.h"
#include "functions/function_args.h"
#include "graphics/background_main.h"
#include "resources/resource_families.h"
#include "runner/game_sections.h"
#include "world/room_class.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv {

namespace {

using namespace fnargs;

ResourceTable<CRoom>* Rooms() {
  GameResources* res = WorldResources();
  return res ? &res->rooms : nullptr;
}

CRoom* Room(const RValue* a, int i) {
  ResourceTable<CRoom>* t = Rooms();
  return t ? t->Get(I(a, i)) : nullptr;
}

int AppendRoom(std::unique_ptr<CRoom> room) {
  ResourceTable<CRoom>* t = Rooms();
  const int index = t->Add("", std::move(room));
  t->SetName(index, "__newroom" + std::to_string(index));
  return index;
}

void RoomName(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = RValue(Room(a, 0) ? std::string(Rooms()->Name(I(a, 0))) : std::string());
}

#define ROOM_SETTER(fname, argc, stmt) \
  Reg(fname, argc, KV_FN {             \
    KV_UNUSED_ARGS;                    \
    if (CRoom* room = Room(a, 0)) stmt; \
  })

void SetBackground(RValue&, CInstance*, CInstance*, int, RValue* a) {
  CRoom* room = Room(a, 0);
  const int layer = I(a, 1);
  if (!room || layer < 0 || layer >= CRoom::kLayerCount) return;
  CBack& b = room->backgrounds[layer];
  b.visible = B(a, 2);
  b.foreground = B(a, 3);
  b.background = I(a, 4);
  b.x = D(a, 5);
  b.y = D(a, 6);
  b.hTiled = B(a, 7);
  b.vTiled = B(a, 8);
  b.hSpeed = D(a, 9);
  b.vSpeed = D(a, 10);
  b.alpha = D(a, 11);
}

void SetView(RValue&, CInstance*, CInstance*, int, RValue* a) {
  CRoom* room = Room(a, 0);
  const int index = I(a, 1);
  if (!room || index < 0 || index >= CRoom::kLayerCount) return;
  CView& v = room->views[index];
  v.visible = B(a, 2);
  v.xView = I(a, 3);
  v.yView = I(a, 4);
  v.wView = I(a, 5);
  v.hView = I(a, 6);
  v.xPort = I(a, 7);
  v.yPort = I(a, 8);
  v.wPort = I(a, 9);
  v.hPort = I(a, 10);
  v.hBorder = I(a, 11);
  v.vBorder = I(a, 12);
  v.hSpeed = I(a, 13);
  v.vSpeed = I(a, 14);
  v.object = I(a, 15);
}

// The instance waits in the room resource (its create event runs when the room is entered); it takes the next
// instance id now. An instance of a missing object is refused like one for a missing room.
void InstanceAdd(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = -1.0;
  CRoom* room = Room(a, 0);
  GameResources* res = WorldResources();
  if (!room || !res->objects.Exists(I(a, 3))) return;
  RRoomInstance inst;
  inst.x = I(a, 1);
  inst.y = I(a, 2);
  inst.objectIndex = I(a, 3);
  inst.id = TakeNextInstanceId();
  room->instances.push_back(inst);
  r = static_cast<double>(inst.id);
}

// room_tile_add and room_tile_add_ext: scale 1 and alpha 1 unless given.
void TileAdd(RValue& r, const RValue* a, bool extended) {
  r = -1.0;
  CRoom* room = Room(a, 0);
  if (!room) return;
  if (!gfx::BackgroundExists(I(a, 1))) return ReportRuntimeError("Background does not exist.");
  RTile tile;
  tile.background = I(a, 1);
  tile.left = I(a, 2);
  tile.top = I(a, 3);
  tile.width = I(a, 4);
  tile.height = I(a, 5);
  tile.x = D(a, 6);
  tile.y = D(a, 7);
  tile.depth = D(a, 8);
  if (extended) {
    tile.xScale = D(a, 9);
    tile.yScale = D(a, 10);
    tile.alpha = D(a, 11);
  }
  tile.id = ++LastTileIdRef();
  room->tiles.push_back(tile);
  r = static_cast<double>(tile.id);
}

}  // namespace

void RegisterRoomResourceFunctions() {
  Reg("room_name", 1, RoomName);
  Reg("room_get_name", 1, RoomName);
  Reg("room_exists", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = Room(a, 0) ? 1.0 : 0.0;
  });
  ROOM_SETTER("room_set_width", 2, room->width = I(a, 1));
  ROOM_SETTER("room_set_height", 2, room->height = I(a, 1));
  ROOM_SETTER("room_set_caption", 2, room->caption = Str(a, 1));
  ROOM_SETTER("room_set_persistent", 2, room->persistent = B(a, 1));
  ROOM_SETTER("room_set_code", 2, room->creationCode = Str(a, 1));
  ROOM_SETTER("room_set_background_color", 3, (room->colour = I(a, 1), room->showColour = B(a, 2)));
  ROOM_SETTER("room_set_view_enabled", 2, room->viewsEnabled = B(a, 1));
  Reg("room_set_background", 12, SetBackground);
  Reg("room_set_view", 16, SetView);
  Reg("room_add", 0, KV_FN {
    KV_UNUSED_ARGS;
    if (Rooms()) r = static_cast<double>(AppendRoom(std::make_unique<CRoom>()));
  });
  Reg("room_duplicate", 1, KV_FN {
    KV_UNUSED_ARGS;
    const CRoom* room = Room(a, 0);
    if (!room) {
      ReportRuntimeError("Trying to duplicate non-existing room.");
      r = -1.0;
      return;
    }
    r = static_cast<double>(AppendRoom(std::make_unique<CRoom>(*room)));
  });
  // Both indexes must be in range; the target slot is filled when empty and becomes a copy of the source (a
  // default room when the source slot is empty).
  Reg("room_assign", 2, KV_FN {
    KV_UNUSED_ARGS;
    ResourceTable<CRoom>* t = Rooms();
    const int dest = I(a, 0), source = I(a, 1);
    if (!t || dest < 0 || dest >= t->Count() || source < 0 || source >= t->Count())
      return ReportRuntimeError("Error assigning a room.");
    const CRoom* from = t->Get(source);
    auto copy = from ? std::make_unique<CRoom>(*from) : std::make_unique<CRoom>();
    const bool wasEmpty = !t->Exists(dest);
    t->Set(dest, std::move(copy));
    if (wasEmpty) t->SetName(dest, "__newroom" + std::to_string(dest));
  });
  Reg("room_instance_add", 4, KV_FN {
    KV_UNUSED_ARGS;
    InstanceAdd(r, self, other, argc, a);
  });
  ROOM_SETTER("room_instance_clear", 1, room->instances.clear());
  Reg("room_tile_add", 9, KV_FN {
    KV_UNUSED_ARGS;
    TileAdd(r, a, false);
  });
  Reg("room_tile_add_ext", 12, KV_FN {
    KV_UNUSED_ARGS;
    TileAdd(r, a, true);
  });
  ROOM_SETTER("room_tile_clear", 1, room->tiles.clear());
  DescribeFunctions("Rooms", {
      {"room_name", "ind", "The name of room ind."},
      {"room_get_name", "ind", "The name of room ind."},
      {"room_exists", "ind", "Whether room ind exists."},
      {"room_set_width", "ind, w", "Sets the width of room ind (not the current room)."},
      {"room_set_height", "ind, h", "Sets the height of room ind (not the current room)."},
      {"room_set_caption", "ind, str", "Sets the caption of room ind."},
      {"room_set_persistent", "ind, val", "Sets whether room ind is persistent."},
      {"room_set_code", "ind, str", "Sets the creation code of room ind."},
      {"room_set_background_color", "ind, col, show",
       "Sets the background colour of room ind and whether it is drawn."},
      {"room_set_view_enabled", "ind, val", "Sets whether room ind uses views."},
      {"room_set_background", "ind, bind, vis, fore, back, x, y, htiled, vtiled, hspeed, vspeed, alpha",
       "Sets background layer bind (0 to 7) of room ind."},
      {"room_set_view",
       "ind, vind, vis, xview, yview, wview, hview, xport, yport, wport, hport, hborder, vborder, hspeed, vspeed, obj",
       "Sets view vind (0 to 7) of room ind."},
      {"room_add", "", "Adds a new empty room and returns its index."},
      {"room_duplicate", "ind", "Adds a copy of room ind and returns its index."},
      {"room_assign", "ind, room", "Makes room ind a copy of room room."},
      {"room_instance_add", "ind, x, y, obj", "Adds an instance of obj at (x, y) to room ind and returns its id."},
      {"room_instance_clear", "ind", "Removes every instance from room ind."},
      {"room_tile_add", "ind, back, left, top, width, height, x, y, depth",
       "Adds a tile cut from background back to room ind and returns its id."},
      {"room_tile_add_ext", "ind, back, left, top, width, height, x, y, depth, xscale, yscale, alpha",
       "Adds a scaled, translucent tile to room ind and returns its id."},
      {"room_tile_clear", "ind", "Removes every tile from room ind."},
  });
}

}  // namespace kv
