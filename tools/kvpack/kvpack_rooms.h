#pragma once
// The room lines of a [room] section that describe what the room draws: background layers, views and tiles.
#include <functional>
#include <string_view>

#include "kvpack_manifest.h"
#include "world/room_class.h"

namespace kv::pack {

struct RoomRefs {
  // Name or index -> resource index; each fails the entry's line for an unknown name.
  std::function<int(const ManifestEntry&, std::string_view)> background;
  std::function<int(const ManifestEntry&, std::string_view)> object;
  int* lastTileId = nullptr;  // the game's tile id counter; each packed tile takes the next id
  // Called for each packed tile with its line, so the part it shows can be checked once every image is read.
  std::function<void(const ManifestEntry&, const RTile&)> tileAdded;
};

// Applies a "background ...", "view ..." or "tile ..." line (with or without '=' options) to the room. Returns
// false when the entry is none of these; throws PackError naming the line when it is one but malformed.
bool FillRoomLine(const Manifest& m, const ManifestEntry& e, CRoom& room, const RoomRefs& refs);

}  // namespace kv::pack
