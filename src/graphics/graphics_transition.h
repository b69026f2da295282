// Room transitions: the last image of the old room and the first of the new one are captured in surfaces, then
// a number of frames combine them — 21 built-in kinds (wipes, slides, pushes, interlaced strips, rotation,
// blends) and kinds the game defines with a script or an extension function.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kv::gfx {

constexpr int kBuiltinTransitions = 21;
constexpr int kMaxTransitionKind = 999999;

// What a transition needs from the rest of the runner. Unset: the world's current room is drawn (its pending room
// change hidden meanwhile) and frames are not paced.
struct TransitionHooks {
  std::function<void()> drawRoom;    // one frame of the current room, with the pending room change hidden
  std::function<void()> waitVBlank;  // paces the frames at the display's refresh rate
  // Frame s of 0 … steps is drawn and about to be presented (screenshots of a transition are taken here).
  std::function<void(int s, int steps)> frameDrawn;
};
void SetTransitionHooks(const TransitionHooks& hooks);

// transition_kind (the game state's transition kind, saved with the game) and transition_steps.
int TransitionKind();
void SetTransitionKind(int kind);
int TransitionSteps();
void SetTransitionSteps(int steps);  // values below 1 are stored as 1

// transition_define: the name is looked up among scripts and extension functions; true when found (the kind is
// then defined when 0 < kind < 1000000).
bool DefineTransition(int kind, std::string_view name);
bool TransitionExists(int kind);  // built in (1 … 21) or defined
void ClearTransitions();          // forgets every definition and any capture in progress

// The two halves the main loop calls around a room change.
// Prepare captures the old image and makes the new image the drawing target. Perform shows the frames and
// presents; when the kind is gone by then (the game changed it, a restart reset it) or the surfaces were lost
// to a device reset, the new room is shown without animation. Either way the target is the screen afterwards.
void PrepareTransition(int kind);
void PerformTransition();
bool TransitionPending();  // captured surfaces wait for PerformTransition
// The new room's render size may differ from the old one: the new image is made again at the current size
// (before the new room is drawn into it).
void FitTransitionToRenderSize();
// Drops a capture that will not be played (the new room is not drawn automatically): the target returns to the
// screen and the surfaces are freed.
void CancelTransition();

// One frame of kind (custom definitions first) with old image a and new image b (surface ids) of w × h at
// fraction f of the way.
void DrawTransitionFrame(int kind, int a, int b, int w, int h, double f);

}  // namespace kv::gfx
