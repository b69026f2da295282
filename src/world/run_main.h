// The main loop: starts the game, runs one step per tick at the current room's speed with the phases in their
// fixed order, counts frames per second, handles the function keys, acts on pending room changes, restarts and
// the end of the game between steps.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kv {

namespace plat {
class IClock;
}

struct GameResources;
struct GameSettings;

// Game state the script language reads as built-in variables.
struct GameState {
  bool running = false;
  bool paused = false;
  int32_t score = 0;
  int32_t lives = -1;
  double health = 100;  // not reset by a restart
  int32_t cursorSprite = -1;
  int64_t cursorFrame = 0;
  int32_t transitionKind = 0;
  bool automaticDraw = true;
  int32_t fps = 0;
  int64_t stepCount = 0;  // steps run since the process started (for --steps)
  int32_t gameId = 0;     // checked by saved games, part of the F5/F6 file name
  bool secureMode = false;
};
GameState& Game();

// What the loop needs from the rest of the runner; every hook is optional.
struct RunHooks {
  std::function<void()> pumpMessages;         // window events, scripted input for the coming step
  std::function<void()> drawRoom;             // phase 15
  std::function<void()> present;              // show the drawn frame
  std::function<void()> afterStep;            // screenshots and other per-step observers
  std::function<bool()> skipStep;             // game information / splash showing, or frozen without focus
  std::function<void(int key)> functionKey;   // F1, F4, F5, F6, F9 (Esc is handled here)
  std::function<void()> serviceNetwork;       // every step, paused or not: network peers time out unserviced
  std::function<void()> debuggerRefresh;      // phase 19, when a debugger watches the game
  // Called over and over while the debugger holds the game paused: handles the windows' events and waits a
  // little. Without it a paused loop pumps messages and sleeps 10 ms on the run's clock.
  std::function<void()> whilePaused;
};

struct RunConfig {
  plat::IClock* clock = nullptr;     // required
  bool waitForTicks = true;          // false with --fast
  std::optional<int64_t> maxSteps;   // --steps
  std::optional<uint32_t> seed;      // --seed
  int32_t gameId = 0;
  bool secureMode = false;
};

// Runs the game on the loaded resources until it ends (or maxSteps ran). Returns false when starting failed.
bool RunGame(GameResources& res, const GameSettings& settings, const RunConfig& config, const RunHooks& hooks);

// Requests carried out between steps.
// Goes to room with the given transition kind; without one the current transition kind stays (room_goto and
// the room variable use whatever transition_kind holds).
void RequestRoom(int room, int transition);
void RequestRoom(int room);
void RequestEnd();
void RequestRestart();
// Loads the saved game after the current step (game_load).
void RequestLoad(const std::string& file);
// Saves at once / loads at once (game_save, F5, F6); failures are reported as non-fatal errors.
void SaveGameNow(const std::string& file);
void LoadGameNow(const std::string& file);
// Milliseconds of the run's clock (current_time); 0 before the loop starts.
int64_t CurrentTimeMillis();
// The file of the F5 and F6 keys: "_save" + game id + ".sav".
std::string FunctionKeySaveFile();

// Run control of the debugger; the loop acts on it between steps.
// Pause: the loop holds after the current step (running stays true). Resume: the loop goes on, acting on a
// pending room change first (a restart asked while paused takes effect before the next step).
// SingleStep: while paused, exactly one step runs (with presenting and the pending code) and the loop holds
// again. Stop: the game ends after the current step.
void PauseGame();
void ResumeGame();
void SingleStepGame();
void StopGame();

// One step with every phase (used by the loop and by tests).
void RunOneStep();
// Two phases of the step, also run alone by tests. Motion: for every active instance in list order (Deleted ones
// included) friction and gravity, the path step (end of path raises its event), then the move by hspeed/vspeed.
// Animation: image_index advances for every active instance; a wrap raises animation end (not for Deleted ones).
void RunMotionPhase();
void RunAnimationPhase();

}  // namespace kv
