// The one place that connects the subsystems: every built-in variable and every built-in function family is
// registered here, in a fixed order (ids follow it), and every hook through which a subsystem reaches the window,
// the dialogs or another subsystem is set and cleared here. The list is explicit because the engine is a static
// library: a self-registering static object in a module nothing references would be dropped by the linker.
#include "runner/runner_wiring.h"

#include <filesystem>

#include "actions/action_library.h"
#include "functions/function_system.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_display.h"
#include "graphics/graphics_transition.h"
#include "graphics/graphics_window.h"
#include "graphics/room_draw.h"
#include "input/io_main.h"
#include "interface/open_forms.h"
#include "interface/popup_menu.h"
#include "particles/particle_draw.h"
#include "particles/particle_effects.h"
#include "runner/runner_debugger.h"
#include "runner/runner_display.h"
#include "runner/runner_form.h"
#include "sound/sound_directx.h"
#include "world/event_dispatch.h"
#include "world/run_main.h"
#include "world/world_rooms.h"
#include "world/world_state.h"
#include "code/code_function.h"
#include "code/variable_builtin.h"
#include "debugger/debug_messages.h"
#include "extensions/function_external.h"
#include "resources/function_resource.h"
#include "sound/function_sound.h"
#include "functions/function_3d.h"
#include "functions/function_date.h"
#include "functions/function_display.h"
#include "functions/function_file.h"
#include "functions/function_graphics.h"
#include "functions/function_math.h"
#include "functions/function_path_draw.h"
#include "functions/function_sprite.h"
#include "functions/function_string.h"
#include "functions/function_surface.h"
#include "functions/function_transition.h"
#include "functions/function_window.h"
#include "functions/function_window_io.h"
#include "functions/function_dialogs.h"
#include "functions/game_window_form.h"
#include "motion/function_motion.h"
#include "multiplayer/function_mplay.h"
#include "particles/function_particles.h"
#include "structures/function_data_structures.h"
#include "world/builtin_globals.h"
#include "world/function_game.h"
#include "world/function_path.h"
#include "world/instance_variables.h"

namespace kv {

void RegisterAllBuiltinFunctions() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterMathFunctions();
  RegisterStringFunctions();
  RegisterDateFunctions();
  RegisterDataStructureFunctions();
  RegisterGraphicsFunctions();
  RegisterSpriteFunctions();
  RegisterSurfaceFunctions();
  RegisterDisplayFunctions();
  RegisterWindowFunctions();
  RegisterWindowIoFunctions();
  RegisterGameFunctions();
  RegisterActionLibraryFunctions();
  RegisterResourceFunctions();
  RegisterDebugMessageFunctions();
  RegisterTransitionFunctions();
  RegisterPathDrawFunctions();
  RegisterFileFunctions();
  RegisterMotionFunctions();
  RegisterPathFunctions();
  RegisterParticleFunctions();
  RegisterSoundFunctions();
  RegisterDialogFunctions();
  Register3DFunctions();
  RegisterMultiplayerFunctions();
  RegisterExternalFunctions();
}

void WireLanguage() {
  static bool done = false;
  if (done) return;
  done = true;
  // The instance's own variables first (the world registers them with its setters), then the global ones, then
  // the argument slots the language owns; the functions after them.
  RegisterInstanceVariables();
  RegisterGameVariables();
  RegisterBuiltinGlobals();
  RegisterArgumentVariables();
  RegisterAllBuiltinFunctions();
}

// ---- a run's window, dialogs and services ---------------------------------------------------------------------

void WireDisplay(RunnerForm& form, RunnerDisplay& display, const GameSettings& settings) {
  RunnerDisplay* d = &display;
  // The close button either sets Escape down (handled like the key) or queues the close-button event.
  input::Hooks().closeAsEscape = settings.closeAsEscape;
  // Errors that no dialog can show are shown inside the game window.
  form.Platform().Dialogs().errorPanel = [d](std::string_view message, bool allowIgnore) {
    return d->ShowErrorPanel(message, allowIgnore);
  };
  // Forms keep the game window painted while they are open.
  form.Platform().Dialogs().repaintGame = [] { gfx::PresentAgain(); };
  // In full screen, modal forms are drawn inside the game window: a window of their own would be hidden.
  form.Platform().Dialogs().formInGameWindow = [d](const plat::FormWindowLook& look, plat::IFormController& f) {
    return !d->Headless() && RunModalFormOverGame(f, look.cursor);
  };

  RoomHooks room;
  room.clearInput = [] { input::ClearInput(); };
  room.clearEffects = [] { particles::ClearEffects(); };
  room.setupRoomRegion = [](CLiveRoom& r) { gfx::SetupRoomRegion(r); };
  // Every game start (restarts too) shows the window and sets its cursor from the display-cursor setting: the
  // default arrow, or none when the settings or window_set_cursor(cr_none) turned the cursor off.
  room.showWindow = [d] {
    gfx::SetCursor(gfx::Win().displayCursor ? 0 : -1);
    if (!d->Headless()) gfx::SetVisible(true);
  };
  // Leaving a room captures its last image for the transition; entering draws the first frame of the new room
  // (into the transition's second image when one is captured), plays the transition and resets its kind.
  room.prepareTransition = [] { gfx::PrepareTransition(gfx::TransitionKind()); };
  room.drawAfterEnter = [] {
    if (!Game().automaticDraw) {
      gfx::CancelTransition();
      return;
    }
    gfx::FitTransitionToRenderSize();
    gfx::DrawCurrentRoom();
    gfx::PerformTransition();
    gfx::BeginScene();
    gfx::SetTransitionKind(0);
  };
  SetRoomHooks(room);

  gfx::RoomDrawHooks draw;
  // The custom cursor: cursor_sprite at the mouse position in room coordinates, its frame advancing every step.
  draw.cursor = [](int& sprite, int& frame, double& x, double& y) {
    sprite = Game().cursorSprite;
    frame = static_cast<int>(Game().cursorFrame % 1000000007);
    x = gfx::MouseRoomX();
    y = gfx::MouseRoomY();
  };
  // Particle systems drawn automatically take their place among instances and tiles by depth.
  draw.particleDepthBelow = particles::AutoDrawDepthBelow;
  draw.drawParticlesAt = particles::DrawAutoSystemsAt;
  gfx::SetRoomDrawHooks(draw);

  gfx::TransitionHooks transitions;
  transitions.waitVBlank = [d] { d->PaceTransitionFrame(); };
  transitions.frameDrawn = [d](int frame, int frames) { d->TransitionFrameDrawn(frame, frames); };
  gfx::SetTransitionHooks(transitions);

  DispatchHooks().mouseRoomPosition = [](double& x, double& y) {
    x = gfx::MouseRoomX();
    y = gfx::MouseRoomY();
  };
  // Joystick events read the stick as the joystick functions do: x and y in 0 … 65535 and the button mask.
  DispatchHooks().readJoystick = [d](int joystick) -> std::optional<JoystickState> {
    const std::optional<plat::JoyState> s = d->ReadJoystick(joystick - 1);
    if (!s) return std::nullopt;
    return JoystickState{s->axes[0], s->axes[1], s->buttons};
  };
}

void UnwireDisplay(RunnerForm& form) {
  form.Platform().Dialogs().errorPanel = nullptr;
  form.Platform().Dialogs().repaintGame = nullptr;
  form.Platform().Dialogs().formInGameWindow = nullptr;
  gfx::SetTransitionHooks({});
  SetRoomHooks({});  // they draw through the display
  gfx::SetRoomDrawHooks({});
  DispatchHooks().mouseRoomPosition = nullptr;
  DispatchHooks().readJoystick = nullptr;
  input::Hooks().closeAsEscape = false;
}

void WireSubsystemMessages(RunnerForm& form) {
  snd::SetSoundMessageHook([&form](const std::string& text) { form.Message(text); });
  Set3DMessageHook([&form](const std::string& text) { form.Message(text); });
}

void UnwireSubsystemMessages() {
  snd::SetSoundMessageHook(nullptr);
  Set3DMessageHook(nullptr);
}

void WireRun(RunnerForm& form, RunnerDisplay* display, RunnerDebugger* debugger, ui::OpenForms* forms,
             RunHooks& loop) {
  plat::IPlatform& platform = form.Platform();
  RunnerForm* f = &form;
  RunnerDisplay* d = display;

  WindowFunctionHooks window;
  plat::IDialogs& dialogs = form.GameDialogs();
  window.popupMenu = [&dialogs](int x, int y, const std::string& items) {
    // The runner's own menu box where a window can show it; otherwise the dialogs answer.
    ui::PopupMenuView menu(items, x, y);
    if (dialogs.RunForm(menu.WindowLook(), menu)) return menu.Chosen();
    return dialogs.PopupMenu(x, y, plat::MenuItems(items));
  };
  SetWindowFunctionHooks(window);
  SetDialogsForFunctions(&dialogs);
  // Splash delays shown without a window take their time on the run's clock, unless --fast skips every wait.
  SetClockForDialogFunctions(form.Options().fast && !form.Options().virtualClock ? nullptr : &platform.Clock());
  SetGameInformationForFunctions(&form.MutableGame().resources.gameInfo);
  SetFormHostForFunctions(forms, d && !d->Headless());
  SetRunnerPaths(platform.System().TempDir(), form.GameFile());  // temp_directory, program_directory
  SetSystemForFunctions(&platform.System());
  SetIncludedFilesForFunctions(&form.MutableGame().resources.includedFiles);
  {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::absolute(form.GameFile(), ec);
    SetProgramParameters(ec ? form.GameFile() : program.string(), form.Options().gameArguments);
  }

  ActionWindowHooks actions;
  actions.message = [f](const std::string& text) { f->Message(text, LogLevel::Info); };  // the game's own
  actions.question = [f, &dialogs](const std::string& text) {
    return dialogs.MessageBox(f->Caption(), text, plat::MessageButtons::YesNo, plat::MessageResult::No) ==
           plat::MessageResult::Yes;
  };
  SetActionWindowHooks(actions);

  IoFunctionHooks io;
  if (d) {
    io.pump = [d] { d->PumpWindow(); };
    io.waitForInput = [d] { return d->WaitForInput(); };
    if (d->ReadsPhysicalKeys()) {
      io.keyDirect = [d](int vk) { return d->KeyHeldNow(vk); };
      io.numLock = [d] { return d->NumLockOn(); };
    }
    io.readJoystick = [d](int index) { return d->ReadJoystick(index); };
  }
  SetIoFunctionHooks(io);

  if (d) {
    loop.pumpMessages = [d] {
      d->PumpBeforeStep(Game().stepCount + 1);
      if (input::TakeCloseRequest()) PerformEventForAll(kEventOther, kOtherCloseButton);
    };
    loop.drawRoom = [] { gfx::DrawCurrentRoom(); };
    loop.present = [] {
      gfx::EndSceneAndPresent();
      gfx::BeginScene();
    };
    loop.skipStep = [d] { return d->FrozenWithoutFocus(); };
  }
  // Splashes and the game information open beside the game play on between steps; without a window they count
  // their time in steps of the current room's speed.
  if (forms) {
    loop.pumpMessages = [pump = loop.pumpMessages, forms] {
      if (pump) pump();
      const CLiveRoom* room = CurrentRoom();
      forms->Pump(1000.0 / (room && room->props.speed > 0 ? room->props.speed : 30));
    };
  }
  loop.functionKey = [d, f](int key) {
    if (key == 112) return ShowGameInformation();  // F1
    if (!d) return;
    if (key == 115) gfx::ToggleFullScreen();        // F4
    else if (key == 120 && f->Options().screenshotDir.empty()) SaveScreenshotForKey();  // F9
    else if (key == 120) d->SaveKeyScreenshot(std::filesystem::path(f->GameFile()).stem().string());
  };
  // Multiplayer sessions are of this game only; the network is serviced every step and closed with the game, so
  // the other players see the session end at once.
  mplay::SetGameGuidForMultiplayer(form.Game().guid);
  loop.serviceNetwork = [] { mplay::ServiceMultiplayer(); };
  // Screenshots of the step; text written by the game reaches its file by the end of every step at the latest;
  // sound advances by a step.
  loop.afterStep = [f, d] {
    if (d) d->TakeShots(Game().stepCount);
    FlushOpenFiles();
    f->AdvanceSound();
  };
  // The debugger pauses, steps and watches the game through the loop's hooks.
  if (debugger) debugger->InstallHooks(loop);
}

void UnwireRun() {
  mplay::ShutdownMultiplayer();
  SetIncludedFilesForFunctions(nullptr);
  SetSystemForFunctions(nullptr);
  SetActionWindowHooks({});
  SetWindowFunctionHooks({});
  SetIoFunctionHooks({});
  SetDialogsForFunctions(nullptr);
  SetClockForDialogFunctions(nullptr);
  SetGameInformationForFunctions(nullptr);
  SetFormHostForFunctions(nullptr, false);
}

}  // namespace kv
