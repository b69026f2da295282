#include "runner/game_prepare.h"

#include "actions/function_action.h"
#include "code/code_code.h"
#include "code/code_constant.h"
#include "code/code_error.h"
#include "code/code_script.h"
#include "code/code_variable.h"
#include "runner/game_data.h"
#include "world/world_rooms.h"
#include "world/world_state.h"
#include "runner/runner_wiring.h"

namespace kv {

namespace {

// Resource names resolve as constants in this order of kinds; the first match wins.
bool ResolveResourceName(const GameResources& res, std::string_view name, int& index) {
  const std::string n(name);
  for (int i : {res.objects.Find(n), res.sprites.Find(n), res.sounds.Find(n), res.backgrounds.Find(n),
                res.paths.Find(n), res.fonts.Find(n), res.timelines.Find(n), res.scripts.Find(n),
                res.rooms.Find(n)}) {
    if (i >= 0) {
      index = i;
      return true;
    }
  }
  return false;
}

}  // namespace

void AttachGame(GameData& game) {
  static const bool languageReady = (WireLanguage(), true);
  (void)languageReady;
  SetWorldResources(&game.resources);
  InitRoomIds(game.resources);
  const GameResources* res = &game.resources;
  SetResourceNameResolver([res](std::string_view name, int& index) { return ResolveResourceName(*res, name, index); });
  ErrorSettings errors;
  errors.displayErrors = game.settings.displayErrors;
  errors.writeErrors = game.settings.writeErrors;
  errors.abortOnError = game.settings.abortOnError;
  SetErrorSettings(errors);
  // Reads of variables that were never set give 0 instead of failing when the game asks for it.
  SetUninitializedZero(game.settings.uninitializedZero);
  InstallActionErrorContext();
}

void DetachGame(const GameData& game) {
  if (WorldResources() != &game.resources) return;
  SetResourceNameResolver(nullptr);
  SetUninitializedZero(false);
  SetWorldResources(nullptr);
}

bool DefineGameConstants(const GameData& game, const std::function<void(const std::string&)>& messageBox) {
  for (const auto& [name, value] : game.settings.constants) {
    if (!DefineConstant(name, value, messageBox)) return false;
  }
  return true;
}

bool CompileGameScripts(const GameData& game) {
  ClearScripts();
  const auto& scripts = game.resources.scripts;
  for (int i = 0; i < scripts.Count(); ++i) {
    if (const CScript* s = scripts.Get(i)) SetScript(i, scripts.Name(i), s->Text());
  }
  return CompileScripts();
}

bool CompileTimeLineActions(GameData& game) { return PrepareTimeLineActions(game.resources); }
bool CompileObjectActions(GameData& game) { return PrepareObjectActions(game.resources); }

}  // namespace kv
