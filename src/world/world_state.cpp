#include "world/world_state.h"

#include "code/code_variable.h"
#include "graphics/graphics_3d_model.h"
#include "world/event_cache.h"
#include "world/event_dispatch.h"
#include "world/run_main.h"
#include "world/world_rooms.h"

namespace kv {

void SetWorldResources(GameResources* resources) {
  world_detail::g_resources = resources;
  InvalidateEventCache();
}

void StartWorld(GameResources& res) {
  SetWorldResources(&res);
  BuildDispatchLists();
  ResetGlobalVariables();
  GameState& g = Game();
  g.score = 0;
  g.lives = -1;
  g.cursorSprite = -1;
  g.cursorFrame = 0;
  g.transitionKind = 0;
  // 3D models live until the game ends (a restart ends it first), so a restarted game gets the ids a new one
  // gets. Motion-planning grids, like the data structures, are a global table that restarts do not touch.
  gfx::ClearModels();
  SetPendingRoomChange(kNoRoomChange);
  StartRooms(res);
}

void StopWorld() {
  FreeRooms();
  SetWorldResources(nullptr);
  SetPendingRoomChange(kNoRoomChange);
}

}  // namespace kv
