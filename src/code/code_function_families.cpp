// The explicit list of built-in function families (see code_function.h for why it is explicit).
#include "actions/action_library.h"
#include "code/code_function.h"
#include "debugger/debug_messages.h"
#include "resources/function_resource.h"
#include "sound/function_sound.h"
#include "functions/function_date.h"
#include "functions/function_display.h"
#include "functions/function_graphics.h"
#include "functions/function_math.h"
#include "functions/function_path_draw.h"
#include "functions/function_sprite.h"
#include "functions/function_string.h"
#include "functions/function_surface.h"
#include "functions/function_transition.h"
#include "functions/function_window.h"
#include "functions/function_window_io.h"
#include "structures/function_data_structures.h"
#include "world/function_game.h"

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
  RegisterSoundFunctions();
}

}  // namespace kv
