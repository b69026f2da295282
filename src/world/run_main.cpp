#include "world/run_main.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "actions/function_action.h"
#include "code/code_error.h"
#include "code/code_value.h"
#include "code/code_variable.h"
#include "extensions/extension_main.h"
#include "functions/function_math.h"
#include "input/io_main.h"
#include "particles/particle_system.h"
#include "platform/clock.h"
#include "runner/game_data.h"
#include "world/event_cache.h"
#include "world/event_dispatch.h"
#include "world/game_save.h"
#include "world/instance_class.h"
#include "world/object_class.h"
#include "world/path_follow.h"
#include "world/room_live.h"
#include "world/timeline_run.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv {

namespace {

constexpr int kKeyEscape = 27, kKeyF1 = 112, kKeyF4 = 115, kKeyF5 = 116, kKeyF6 = 117, kKeyF9 = 120;

struct LoopContext {
  GameResources* res = nullptr;
  const GameSettings* settings = nullptr;
  RunConfig config;
  RunHooks hooks;
};
LoopContext g_ctx;
std::string g_loadFile;  // the saved game asked for by game_load
int g_stepRequests = 0;  // single steps the debugger asked for while paused

bool StartGame() {
  GameResources& res = *g_ctx.res;
  StartWorld(res);
  GameRandom::Randomize();  // keeps the forced seed of --seed
  if (!RunLibraryInitCode(res.libraryInitCode)) return false;
  if (!InitExtensionPackages()) return false;
  if (res.roomOrder.empty()) return false;
  EnterRoom(res.roomOrder.front(), true);
  return true;
}

void EndGame() {
  if (CurrentRoom()) LeaveRoom(true);
  FreeRooms();
  FinalizeExtensionPackages();
}

// Acts on the pending room-change code; false when the loop must return at once.
bool ActOnPending() {
  const int pending = PendingRoomChange();
  if (pending == kNoRoomChange) return true;
  SetPendingRoomChange(kNoRoomChange);
  GameState& g = Game();
  switch (pending) {
    case kPendingEnd:
    case kPendingErrorEnd:
      g.running = false;
      return false;
    case kPendingRestart:
      EndGame();
      if (!StartGame()) {
        g.running = false;
        return false;
      }
      return true;
    case kPendingLoad:
      input::ClearInput();
      LoadGameNow(g_loadFile);
      return true;
    default:
      if (pending >= 0) {
        LeaveRoom(false);
        EnterRoom(pending, false);
      }
      return true;
  }
}

void HandleFunctionKeys() {
  const GameSettings& s = *g_ctx.settings;
  const int key = input::LastKey();
  auto take = [&](int k, bool enabled) { return enabled && key == k; };
  if (take(kKeyF5, s.keySaveLoad)) {
    input::SetLastKey(0);
    SaveGameNow(FunctionKeySaveFile());
  } else if (take(kKeyF6, s.keySaveLoad)) {
    input::SetLastKey(0);
    LoadGameNow(FunctionKeySaveFile());
  } else if (take(kKeyF1, s.keyHelp) || take(kKeyF4, s.keyFullScreen) || take(kKeyF9, s.keyScreenshot)) {
    input::SetLastKey(0);
    if (g_ctx.hooks.functionKey) g_ctx.hooks.functionKey(key);
  } else if (take(kKeyEscape, s.keyEscape)) {
    input::SetLastKey(0);
    RequestEnd();
  }
}

// Whether instances of the object receive an animation-end event, resolved once per event-cache generation: the
// animation phase asks for every instance whose animation wrapped, usually every step.
std::vector<int8_t> g_animationEndKnown;  // per object: -1 not yet resolved, else 0 / 1
uint64_t g_animationEndGeneration = 0;

bool HasAnimationEndEvent(int object) {
  if (object < 0 || object >= WorldObjectCount()) return false;  // no such object: nothing to look up
  if (g_animationEndGeneration != EventCacheGeneration()) {
    g_animationEndKnown.clear();
    g_animationEndGeneration = EventCacheGeneration();
  }
  if (static_cast<size_t>(object) >= g_animationEndKnown.size())
    g_animationEndKnown.resize(static_cast<size_t>(object) + 1, -1);
  int8_t& k = g_animationEndKnown[object];
  if (k < 0) k = LookupEvent(object, kEventOther, kOtherAnimationEnd) ? 1 : 0;
  return k != 0;
}

}  // namespace

GameState& Game() {
  static GameState state;
  return state;
}

void RequestRoom(int room, int transition) {
  GameResources* res = WorldResources();
  if (!res || !res->rooms.Exists(room)) {
    ReportRuntimeError("Unexisting room number: " + std::to_string(room), true);
    SetPendingRoomChange(kPendingErrorEnd);
    return;
  }
  SetPendingRoomChange(room);
  Game().transitionKind = transition;
}

void RequestRoom(int room) { RequestRoom(room, Game().transitionKind); }

void RequestLoad(const std::string& file) {
  g_loadFile = file;
  SetPendingRoomChange(kPendingLoad);
}

void SaveGameNow(const std::string& file) {
  std::string error;
  if (!SaveGame(file, Game().gameId, Game().secureMode, error)) ReportError(error, false);
}

void LoadGameNow(const std::string& file) {
  std::string error;
  if (!LoadGame(file, Game().gameId, error)) ReportError(error, false);
}

int64_t CurrentTimeMillis() { return g_ctx.config.clock ? g_ctx.config.clock->Micros() / 1000 : 0; }

std::string FunctionKeySaveFile() { return "_save" + std::to_string(Game().gameId) + ".sav"; }

void RequestEnd() { SetPendingRoomChange(kPendingEnd); }
void RequestRestart() { SetPendingRoomChange(kPendingRestart); }

void RunMotionPhase() {
  CLiveRoom* room = CurrentRoom();
  if (!room) return;
  const int count = room->ActiveCount();
  // The count is taken at the start and re-checked: end-of-path events may create or deactivate instances.
  for (int i = 0; i < count && i < room->ActiveCount(); ++i) {
    CInstance* inst = room->ActiveAt(i);
    if (inst->deactivated) continue;
    inst->ApplyFrictionAndGravity();
    if (inst->pathIndex >= 0 && FollowPath(*inst)) PerformEventFor(inst, inst, kEventOther, kOtherEndOfPath);
    inst->SetPosition(inst->x + inst->hSpeed, inst->y + inst->vSpeed);
  }
}

void RunAnimationPhase() {
  CLiveRoom* room = CurrentRoom();
  if (!room) return;
  const int count = room->ActiveCount();
  // Objects known to have no animation-end event answer from this snapshot without the full question; it is
  // taken again after any event ran, since an event may change events or objects.
  const int8_t* known = nullptr;
  size_t knownSize = 0;
  auto snapshot = [&] {
    if (g_animationEndGeneration == EventCacheGeneration()) {
      known = g_animationEndKnown.data();
      knownSize = g_animationEndKnown.size();
    } else {
      known = nullptr;
      knownSize = 0;
    }
  };
  snapshot();
  for (int i = 0; i < count && i < room->ActiveCount(); ++i) {
    CInstance* inst = room->ActiveAt(i);
    if (inst->deactivated) continue;
    // Instances destroyed while the room was drawn still animate but raise no event.
    if (!inst->Animate() || inst->deleted) continue;
    const int object = inst->objectIndex;
    if (object >= 0 && static_cast<size_t>(object) < knownSize && known[object] == 0) continue;
    if (HasAnimationEndEvent(object)) {
      PerformEventFor(inst, inst, kEventOther, kOtherAnimationEnd);
      snapshot();
    } else if (known != g_animationEndKnown.data() || knownSize != g_animationEndKnown.size()) {
      snapshot();
    }
  }
}

void RunOneStep() {
  const RunHooks& h = g_ctx.hooks;
  if (h.skipStep && h.skipStep()) return;
  HandleFunctionKeys();
  if (!CurrentRoom()) return;

  if (CLiveRoom* room = CurrentRoom()) {
    const int count = room->ActiveCount();
    for (int i = 0; i < count; ++i) {
      CInstance& inst = *room->ActiveAt(i);
      inst.xPrevious = inst.x;
      inst.yPrevious = inst.y;
      inst.pathPositionPrevious = std::clamp(inst.pathPosition, 0.0, 1.0);
    }
  }
  // Phases marked with a pending check skip the rest of the step once a room change is requested.
  DispatchStep(kStepBegin);
  if (RoomChangePending()) return;
  timeline::AdvanceTimeLines();
  if (RoomChangePending()) return;
  DispatchAlarms();
  if (RoomChangePending()) return;
  DispatchKeyboard();
  if (RoomChangePending()) return;
  DispatchJoysticks();
  if (RoomChangePending()) return;
  DispatchMouse();
  if (RoomChangePending()) return;
  DispatchStep(kStepNormal);
  if (RoomChangePending()) return;

  RunMotionPhase();
  DispatchBoundaryEvents();
  if (RoomChangePending()) return;
  DispatchCollisions();
  if (RoomChangePending()) return;
  DispatchStep(kStepEnd);
  if (RoomChangePending()) return;

  particles::UpdateAllSystems();  // phase 13
  CLiveRoom* room = CurrentRoom();
  if (!room) return;
  room->RemoveDeleted();
  if (Game().automaticDraw && h.drawRoom) h.drawRoom();
  room->ScrollBackgrounds();
  RunAnimationPhase();
  Game().cursorFrame += 1;
  if (h.debuggerRefresh) h.debuggerRefresh();
  input::ClearStepInput();
}

void PauseGame() {
  if (Game().running) Game().paused = true;
}

void ResumeGame() {
  Game().paused = false;
  g_stepRequests = 0;
}

void SingleStepGame() {
  if (Game().running && Game().paused) ++g_stepRequests;
}

void StopGame() {
  Game().running = false;
  Game().paused = false;
  g_stepRequests = 0;
}

bool RunGame(GameResources& res, const GameSettings& settings, const RunConfig& config, const RunHooks& hooks) {
  g_ctx = {&res, &settings, config, hooks};
  GameState& g = Game();
  if (config.seed) GameRandom::ForceSeed(*config.seed);
  g.gameId = config.gameId;
  g.secureMode = config.secureMode;
  SetPendingRoomChange(kNoRoomChange);
  g.running = true;
  g.paused = false;
  if (!StartGame()) {
    g.running = false;
    EndGame();
    return false;
  }
  plat::IClock& clock = *config.clock;
  if (!ActOnPending()) {
    EndGame();
    return true;
  }
  // One step and its observers.
  auto runStep = [&] {
    // A fault inside the step abandons the rest of that step only: counting, pacing, presenting, pending room
    // changes and the window's messages still happen, so the game goes on with the next step.
    if (hooks.serviceNetwork) hooks.serviceNetwork();
    try {
      RunOneStep();
    } catch (const ArithmeticFault&) {
    } catch (const std::exception&) {
    }
    g.stepCount += 1;
    if (hooks.afterStep) hooks.afterStep();
  };
  // What follows a step in the loop after the wait; false when the loop must return.
  auto presentAndActOnPending = [&] {
    if (!RoomChangePending() && g.automaticDraw && hooks.present) hooks.present();
    if (!ActOnPending()) return false;
    if (hooks.pumpMessages) hooks.pumpMessages();
    return true;
  };
  auto stepsDone = [&] { return config.maxSteps && g.stepCount >= *config.maxSteps; };

  int64_t u = 0, v = 0;
  int count = 0;
  auto startClock = [&] {
    u = v = clock.Micros();
    count = 0;
    g.fps = 0;
  };
  startClock();
  if (hooks.pumpMessages) hooks.pumpMessages();
  g_stepRequests = 0;
  bool wasPaused = false;
  while (g.running) {
    if (g.paused) {
      // The debugger holds the game: only its single steps run, without waiting for a tick.
      wasPaused = true;
      if (g_stepRequests > 0) {
        --g_stepRequests;
        if (stepsDone()) break;
        if (hooks.pumpMessages) hooks.pumpMessages();
        runStep();
        if (!presentAndActOnPending()) break;
      } else if (hooks.whilePaused) {
        hooks.whilePaused();
      } else {
        if (hooks.pumpMessages) hooks.pumpMessages();
        clock.Sleep(10000);
      }
      continue;
    }
    if (wasPaused) {
      // Resumed: a restart or room change asked while paused happens before the next step; timing starts over.
      wasPaused = false;
      if (!ActOnPending()) break;
      startClock();
      if (hooks.pumpMessages) hooks.pumpMessages();
      continue;
    }
    if (stepsDone()) break;
    runStep();
    int64_t w = clock.Micros();
    if (w < u) u = w;  // the clock went backwards
    CLiveRoom* room = CurrentRoom();
    if (room && room->props.speed < 1) room->props.speed = 1;
    const int64_t d = 1000000 / (room ? room->props.speed : 30);
    int64_t t = std::clamp<int64_t>(d - (w - u), 0, 1000000);
    if (!config.waitForTicks) t = 0;
    clock.Sleep(t);
    u = w + t;
    if (u < v) v = u;
    if (u / 1000000 > v / 1000000) {
      g.fps = count;
      count = 0;
      v = u;
    }
    count += 1;
    if (!presentAndActOnPending()) break;
  }
  EndGame();
  g.running = false;
  g.paused = false;
  return true;
}

}  // namespace kv
