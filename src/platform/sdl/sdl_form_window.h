#pragma once
// The runner's own forms on SDL: a window with a software renderer showing the form's pixels, and a modal loop
// that feeds it keys, characters, mouse and close events until it closes.
#include "platform/dialogs.h"

namespace kv::plat {

// False when the window cannot be made.
bool RunSdlForm(const FormWindowSpec& spec, IFormController& form);
void SdlScreenSize(int& width, int& height);

}  // namespace kv::plat
