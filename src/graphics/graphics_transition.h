// Room transitions: the last image of the old room and the first of the new one are captured in surfaces, then
// a number of frames combine them — 21 built-in kinds (wipes, slides, pushes, interlaced strips, rotation,
// blends) and kinds the game defines with a script or an extension function.
#pragma once

#include <string>
#include <string_view>

namespace kv::gfx {

constexpr int kBuiltinTransitions = 21;
constexpr int kMaxTransitionKind = 999999;

// What a transition needs from the rest of the runner. Unset: the world's current room is drawn (its pending room
// change hidden meanwhile) and frames are not paced.
struct TransitionHooks {
  void (*drawRoom)() = nullptr;    // one frame of the current room, with the pending room change hidden
  void (*waitVBlank)() = nullptr;  // paces the frames at the display's refresh rate
};
void SetTransitionHooks(const TransitionHooks& hooks);

// transition_kind and transition_steps.
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
void PrepareTransition(int kind);
void PerformTransition();
bool TransitionPending();  // captured surfaces wait for PerformTransition

// One frame of kind (custom definitions first) with old image a and new image b (surface ids) of w × h at
// fraction f of the way.
void DrawTransitionFrame(int kind, int a, int b, int w, int h, double f);

}  // namespace kv::gfx
