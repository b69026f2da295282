#pragma once
// Wiring: the runner connects the language to the subsystems that give it variables and functions, and a run's
// window, dialogs and services to the world and the function families.

namespace kv {

namespace ui {
class OpenForms;
}

class RunnerForm;
class RunnerDisplay;
class RunnerDebugger;
struct GameSettings;
struct RunHooks;

// Registers every built-in variable and function once (later calls do nothing). Everything that compiles or
// runs game code calls it first: the runner while preparing a game, the tests and the benchmarks.
void WireLanguage();
// Only the function families (tests of single families that need no variables).
void RegisterAllBuiltinFunctions();

// The game window and its device: room changes and drawing, transitions, the mouse and joysticks of event
// dispatch, the close button, the error panel. UnwireDisplay disconnects them before the display goes.
void WireDisplay(RunnerForm& form, RunnerDisplay& display, const GameSettings& settings);
void UnwireDisplay(RunnerForm& form);
// Messages of the sound and 3D subsystems go to the runner's message box while the sound system runs.
void WireSubsystemMessages(RunnerForm& form);
void UnwireSubsystemMessages();
// One run of the main loop: its hooks (pumping, drawing, presenting, function keys, per-step services), and the
// runner services the function families use meanwhile (dialogs, menus, files, game information, input waits);
// the debugger, when there is one, joins the loop; the forms open beside the game are pumped before every step.
void WireRun(RunnerForm& form, RunnerDisplay* display, RunnerDebugger* debugger, ui::OpenForms* forms,
             RunHooks& loop);
void UnwireRun();

}  // namespace kv
