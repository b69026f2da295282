// The one place that connects the subsystems to the language: every built-in variable and every built-in
// function family is registered here, in a fixed order (ids follow it). The list is explicit because the engine
// is a static library: a self-registering static object in a module nothing references would be dropped by the
// linker.
#include "runner/runner_wiring.h"

#include "actions/action_library.h"
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
#include "motion/function_motion.h"
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

}  // namespace kv
