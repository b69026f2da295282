// Sprite functions of the script language that need no drawing: existence, names and properties, origin, box and
// precision changes, and sprites added, replaced, duplicated, assigned, merged, deleted and saved while the game
// runs.
#pragma once

namespace kv {

void RegisterSpriteFunctions();

// In secure mode sprite_save refuses file names outside the working directory.
void SetSpriteSaveSecureMode(bool on);
// Whether secure mode is on for image saving (background_save follows the same rule).
bool SpriteSaveSecureMode();

}  // namespace kv
