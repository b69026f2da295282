#pragma once
// The runner's own forms on SDL: a window with a software renderer showing the form's pixels, and a modal loop
// that feeds it keys, characters, mouse and close events until it closes; or the same window beside the game,
// fed and drawn once per step.
#include <functional>
#include <memory>

#include "platform/dialogs.h"

namespace kv::plat {

// False when the window cannot be made.
// `repaintGame` (may be empty) shows the game window's frame again when that window is uncovered meanwhile.
bool RunSdlForm(const FormWindowLook& look, IFormController& form, const std::function<void()>& repaintGame);
// Null when the window cannot be made or nobody would see it (offscreen driver).
std::unique_ptr<IFormWindow> OpenSdlForm(const FormWindowLook& look, IFormController& form);
void SdlScreenSize(int& width, int& height);
// Whether a form can be seen at all: a real video driver, not an offscreen or dummy one.
bool SdlCanShowForms();

}  // namespace kv::plat
