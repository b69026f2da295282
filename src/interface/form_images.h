#pragma once
// The message box's own pictures (drawn by tools/forms/make_form_images.py): a 348-pixel-wide background and
// three 80 × 25 button images (normal, mouse over, pressed).
#include <cstddef>

#include "graphics/bitmap32.h"

namespace kv::ui {

extern const unsigned char k_message_background[], k_button_normal[], k_button_over[], k_button_pressed[];
extern const size_t k_message_background_size, k_button_normal_size, k_button_over_size, k_button_pressed_size;

const CBitmap32& DefaultMessageBackground();
const CBitmap32& DefaultButtonImage(int state);  // 0 normal, 1 mouse over, 2 pressed

}  // namespace kv::ui
