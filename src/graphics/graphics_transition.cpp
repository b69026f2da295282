#include "graphics/graphics_transition.h"

#include <cmath>
#include <vector>

#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_instance.h"
#include "code/code_script.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_support.h"
#include "graphics/graphics_surface.h"
#include "graphics/graphics_texture.h"
#include "graphics/room_draw.h"
#include "world/run_main.h"
#include "world/world_state.h"

namespace kv::gfx {

namespace {

constexpr int kWhite = 16777215;

struct CustomTransition {
  int function = -1;  // script (100000 …) or extension function (500000 …) id; −1 undefined
  std::string name;
};

// A surface this module made, known by its id and the serial it was created with. A device reset frees every
// surface, and the game may create new ones under the same ids (even with the same texture slots and device
// names) before the transition ends: only a surface that is still ours is used or freed.
struct OwnedSurface {
  int id = -1;
  uint64_t serial = 0;

  static OwnedSurface Create(int w, int h) {
    OwnedSurface s;
    s.id = CreateSurface(w, h);
    s.serial = SurfaceSerial(s.id);
    return s;
  }
  bool Intact() const { return id >= 0 && serial != 0 && SurfaceSerial(id) == serial; }
  void Free() {
    if (Intact()) FreeSurface(id);
    *this = OwnedSurface{};
  }
};

struct TransitionState {
  TransitionHooks hooks;
  int steps = 80;
  std::vector<CustomTransition> custom;  // grows in blocks of 1000
  OwnedSurface oldImage, newImage;
};
TransitionState& T() {
  static TransitionState t;
  return t;
}

const CustomTransition* Custom(int kind) {
  if (kind <= 0 || kind >= static_cast<int>(T().custom.size())) return nullptr;
  const CustomTransition& c = T().custom[kind];
  return c.function >= 0 ? &c : nullptr;
}

// The captured images stand for the screen, which has no alpha: translucent drawing leaves alpha below 1 in a
// surface, and such an image drawn as a transition frame would let the frames before it show through. Sets the
// current target's alpha to 1 keeping its colours: a black quad blended with (inverse destination alpha, one).
void MakeTargetOpaque(int w, int h) {
  if (!DeviceExists()) return;
  auto& d = D3D();
  const int src = d.srcBlend, dst = d.destBlend;
  SetViewport(0, 0, w, h);
  SetProjection2D(0, 0, w, h, 0);
  SetBlendFactors(plat::kBlendInvDestAlpha, plat::kBlendOne);
  const float z = static_cast<float>(d.depth), W = static_cast<float>(w), H = static_cast<float>(h);
  const uint32_t black = 0xFF000000u;
  const plat::Vertex quad[4] = {{0, 0, z, black, 0, 0}, {W, 0, z, black, 0, 0}, {W, H, z, black, 0, 0},
                                {0, H, z, black, 0, 0}};
  DeviceBindTexture(plat::kNoTexture);
  d.gpu->Draw(plat::PrimKind::TriangleFan, false, quad, 4);
  SetBlendFactors(src, dst);
}

bool Builtin(int kind) { return kind >= 1 && kind <= kBuiltinTransitions; }

int Tex(int surface) { return SurfaceTexture(surface); }

// B's own rectangle drawn at the same place.
void PartOfB(int b, double left, double top, double width, double height) {
  DrawTexturePart(Tex(b), kWhite, 1.0, 0.0, 1.0, 1.0, left, top, left, top, width, height);
}

// Wipes from an edge (0 left, 1 right, 2 top, 3 bottom) at fraction f.
void Wipe(int edge, int b, int w, int h, double f) {
  int rw = RoundToInt(w * f), rh = RoundToInt(h * f);
  switch (edge) {
    case 0: PartOfB(b, 0, 0, rw, h); break;
    case 1: PartOfB(b, w - rw, 0, rw, h); break;
    case 2: PartOfB(b, 0, 0, w, rh); break;
    default: PartOfB(b, 0, h - rh, w, rh); break;
  }
}

void Interlaced(int edge, int a, int b, int w, int h, double f) {
  const int n = T().steps;
  const int k = RoundToInt(f * n), g = n / 2;
  if (k == n) {
    DrawTexture(Tex(b), 0, 0);
    return;
  }
  DrawTexture(Tex(a), 0, 0);
  if (g < k) Wipe(edge, b, w, h, static_cast<double>(k - g) / g);
  const bool fromStart = edge == 0 || edge == 2;
  for (int i = 0; i <= g; ++i) {
    if (fromStart ? !(k >= i) : !(i >= g - k)) continue;
    if (edge <= 1) PartOfB(b, RoundToInt(2.0 * i * w / n), 0, RoundToInt(static_cast<double>(w) / n), h);
    else PartOfB(b, 0, RoundToInt(2.0 * i * h / n), w, RoundToInt(static_cast<double>(h) / n));
  }
}

void Spin(int a, int b, int w, int h, double f, double sign) {
  DrawTexture(Tex(a), 0, 0);
  double angle = sign * std::sqrt(f) * 360.0 * M_PI / 180.0;
  DrawTextureExt(Tex(b), kWhite, 1.0, angle, f, f, w / 2.0, h / 2.0, w / 2.0, h / 2.0);
}

void BuiltinFrame(int kind, int a, int b, int w, int h, double f) {
  const int rw = RoundToInt(w * f), rh = RoundToInt(h * f);
  const int A = Tex(a), B = Tex(b);
  switch (kind) {
    case 1: case 2: case 3: case 4:
      DrawTexture(A, 0, 0);
      Wipe(kind - 1, b, w, h, f);
      break;
    case 5: {
      DrawTexture(A, 0, 0);
      int left = RoundToInt((w - w * f) / 2), top = RoundToInt((h - h * f) / 2);
      PartOfB(b, left, top, rw, rh);
      break;
    }
    case 6: DrawTexture(A, 0, 0); DrawTexture(B, rw - w, 0); break;
    case 7: DrawTexture(A, 0, 0); DrawTexture(B, w - rw, 0); break;
    case 8: DrawTexture(A, 0, 0); DrawTexture(B, 0, rh - h); break;
    case 9: DrawTexture(A, 0, 0); DrawTexture(B, 0, h - rh); break;
    case 10: case 11: case 12: case 13: Interlaced(kind - 10, a, b, w, h, f); break;
    case 14: DrawTexture(A, rw, 0); DrawTexture(B, rw - w, 0); break;
    case 15: DrawTexture(A, -rw, 0); DrawTexture(B, w - rw, 0); break;
    case 16: DrawTexture(A, 0, rh); DrawTexture(B, 0, rh - h); break;
    case 17: DrawTexture(A, 0, -rh); DrawTexture(B, 0, h - rh); break;
    case 18: Spin(a, b, w, h, f, 1.0); break;
    case 19: Spin(a, b, w, h, f, -1.0); break;
    case 20:
      DrawTexture(A, 0, 0);
      DrawTextureExt(B, kWhite, f, 0.0, 1.0, 1.0, 0, 0, 0, 0);
      break;
    case 21:
      ClearTarget(0, 1.0);
      if (f > 0.5) DrawTextureExt(B, kWhite, 2 * f - 1, 0.0, 1.0, 1.0, 0, 0, 0, 0);
      else DrawTextureExt(A, kWhite, 1 - 2 * f, 0.0, 1.0, 1.0, 0, 0, 0, 0);
      break;
    default: break;
  }
}

// Runs the game's function for one frame on a temporary instance at (0, 0).
void CustomFrame(const CustomTransition& c, int a, int b, int w, int h, double f) {
  CInstance temp;
  RValue args[kMaxCallArgs];
  args[0] = a, args[1] = b, args[2] = w, args[3] = h, args[4] = f;
  RValue result;
  bool ok = false;
  ClearErrorPending();
  if (c.function >= kExtensionIdBase) {
    const auto& ext = GetExtensionFunctionHooks();
    ok = ext.call && ext.call(c.function - kExtensionIdBase, &temp, &temp, 5, args, result);
  } else {
    ok = CallScript(c.function - kScriptIdBase, &temp, &temp, result, args, 5);
  }
  if (!ok) {
    std::string message = "ERROR in transition function " + c.name + "\r" + PendingMessage();
    ClearErrorPending();
    ReportError(message, false);
  }
}

}  // namespace

void SetTransitionHooks(const TransitionHooks& hooks) { T().hooks = hooks; }
int TransitionKind() { return Game().transitionKind; }
void SetTransitionKind(int kind) { Game().transitionKind = kind; }
int TransitionSteps() { return T().steps; }
void SetTransitionSteps(int steps) { T().steps = steps < 1 ? 1 : steps; }

bool DefineTransition(int kind, std::string_view name) {
  int id = -1;
  if (!FindFunction(name, id) || id < kScriptIdBase) return false;
  if (kind > 0 && kind <= kMaxTransitionKind) {
    auto& table = T().custom;
    if (kind >= static_cast<int>(table.size())) table.resize((kind / 1000 + 1) * 1000);
    table[kind] = {id, std::string(name)};
  }
  return true;
}

bool TransitionExists(int kind) { return Builtin(kind) || Custom(kind) != nullptr; }

void ClearTransitions() {
  T().custom.clear();
  T().oldImage.Free();
  T().newImage.Free();
  SetTransitionKind(0);
  T().steps = 80;
}

bool TransitionPending() { return T().oldImage.id >= 0 && T().newImage.id >= 0; }

void PrepareTransition(int kind) {
  auto& t = T();
  SetTransitionKind(kind);
  // A capture that was never played (two room changes in a row) is replaced.
  CancelTransition();
  if (!TransitionExists(kind)) return;
  const int w = D3D().renderWidth, h = D3D().renderHeight;
  t.oldImage = OwnedSurface::Create(w, h);
  if (t.oldImage.id < 0) {
    SetTransitionKind(-1);
    return;
  }
  SetTarget(t.oldImage.id);
  if (t.hooks.drawRoom) {
    t.hooks.drawRoom();
  } else {
    // Draw events of the old room must run, so the pending change (which would skip them) is hidden meanwhile.
    const int pending = PendingRoomChange();
    SetPendingRoomChange(kNoRoomChange);
    DrawCurrentRoom();
    SetPendingRoomChange(pending);
  }
  if (CurrentTargetSurface() == t.oldImage.id) MakeTargetOpaque(w, h);
  t.newImage = OwnedSurface::Create(w, h);
  if (t.newImage.id < 0) {
    SetTransitionKind(-1);
    ResetTarget();
    t.oldImage.Free();
    return;
  }
  SetTarget(t.newImage.id);
}

void FitTransitionToRenderSize() {
  auto& t = T();
  if (!TransitionPending()) return;
  const int w = D3D().renderWidth, h = D3D().renderHeight;
  if (t.newImage.Intact() && SurfaceWidth(t.newImage.id) == w && SurfaceHeight(t.newImage.id) == h) return;
  if (CurrentTargetSurface() == t.newImage.id && t.newImage.Intact()) ResetTarget();
  t.newImage.Free();
  t.newImage = OwnedSurface::Create(w, h);
  if (t.newImage.id < 0) {
    SetTransitionKind(-1);
    CancelTransition();
    return;
  }
  SetTarget(t.newImage.id);
}

void CancelTransition() {
  auto& t = T();
  const int target = CurrentTargetSurface();
  if (target >= 0 && ((target == t.oldImage.id && t.oldImage.Intact()) ||
                      (target == t.newImage.id && t.newImage.Intact())))
    ResetTarget();
  t.oldImage.Free();
  t.newImage.Free();
}

void PerformTransition() {
  auto& t = T();
  if (!TransitionPending()) {
    EndSceneAndPresent();
    return;
  }
  const int kind = TransitionKind();
  const bool intact = t.oldImage.Intact() && t.newImage.Intact();
  if (t.newImage.Intact() && SetTarget(t.newImage.id))
    MakeTargetOpaque(SurfaceWidth(t.newImage.id), SurfaceHeight(t.newImage.id));
  if (CurrentTargetSurface() >= 0) ResetTarget();  // the frames go to the screen
  if (!intact || !TransitionExists(kind)) {
    // No animation: the new room's first frame (drawn into the new image, when that survived) is shown as is.
    if (t.newImage.Intact()) {
      BeginScene();
      DrawTexture(Tex(t.newImage.id), 0, 0);
    }
    t.oldImage.Free();
    t.newImage.Free();
    EndSceneAndPresent();
    return;
  }
  const int w = D3D().renderWidth, h = D3D().renderHeight;
  const int steps = t.steps;
  for (int s = 0; s <= steps; ++s) {
    BeginScene();
    DrawTransitionFrame(kind, t.oldImage.id, t.newImage.id, w, h, static_cast<double>(s) / steps);
    if (t.hooks.frameDrawn) t.hooks.frameDrawn(s, steps);
    if (t.hooks.waitVBlank) t.hooks.waitVBlank();
    EndSceneAndPresent();
    if (Aborting()) break;
    // A custom transition may free or reset surfaces; what is gone ends the animation.
    if (!t.oldImage.Intact() || !t.newImage.Intact()) break;
  }
  t.oldImage.Free();
  t.newImage.Free();
}

void DrawTransitionFrame(int kind, int a, int b, int w, int h, double f) {
  if (const CustomTransition* c = Custom(kind)) {
    CustomFrame(*c, a, b, w, h, f);
    return;
  }
  if (Builtin(kind)) {
    BuiltinFrame(kind, a, b, w, h, f);
    return;
  }
  ReportError("Transition Function does not exist.", false);
}

}  // namespace kv::gfx
