// Room drawing: one frame of a live room — views following their instances, the background colour and layers,
// instances, tiles and particle systems interleaved by depth, foreground layers and the cursor sprite, through
// every visible view into its port (or once for the whole room).
#pragma once

namespace kv {
class CInstance;
class CLiveRoom;
}  // namespace kv

namespace kv::gfx {

// What room drawing needs from other subsystems. Unset hooks: no particle systems, no cursor sprite, and the
// default instance drawing (its draw event when its object chain has one, else its sprite).
struct RoomDrawHooks {
  // Highest depth of the automatically drawn particle systems strictly below `below` (−1e9 when none).
  double (*particleDepthBelow)(double below) = nullptr;
  void (*drawParticlesAt)(double depth) = nullptr;  // every such system within 0.01 of depth
  // Replaces the default instance drawing: the seam through which tests observe the drawing order; the runner
  // leaves it unset.
  void (*drawInstance)(CInstance* inst) = nullptr;
  // The custom cursor: sprite (−1 none) and frame; its position in room coordinates.
  void (*cursor)(int& sprite, int& frame, double& x, double& y) = nullptr;
};
void SetRoomDrawHooks(const RoomDrawHooks& hooks);

int ViewCurrent();  // view_current: the view being drawn, 0 outside drawing and when views are off

// View following and the mouse mapping table (the first step of DrawRoom).
void UpdateViews(CLiveRoom& room);
// One complete frame of the room; the caller presents it.
void DrawRoom(CLiveRoom& room);
void DrawCurrentRoom();  // the world's current room; nothing without one
// Sizes the drawing region and the render size for a room that starts.
void SetupRoomRegion(const CLiveRoom& room);

// The default drawing of an instance: its draw event, or its sprite frame (plain or with its transform).
void DrawInstanceDefault(CInstance* inst);

}  // namespace kv::gfx
