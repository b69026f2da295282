#include "interface/form_images.h"

#include "graphics/bitmap_ops.h"

namespace kv::ui {

namespace {

CBitmap32 Decode(const unsigned char* data, size_t size, int width, int height) {
  auto image = gfx::DecodePng(data, size);
  return image ? *image : CBitmap32::Make(width, height, 0xFF404040);
}

}  // namespace

const CBitmap32& DefaultMessageBackground() {
  static const CBitmap32 image = Decode(k_message_background, k_message_background_size, 348, 129);
  return image;
}

const CBitmap32& DefaultButtonImage(int state) {
  static const CBitmap32 images[3] = {Decode(k_button_normal, k_button_normal_size, 80, 25),
                                      Decode(k_button_over, k_button_over_size, 80, 25),
                                      Decode(k_button_pressed, k_button_pressed_size, 80, 25)};
  return images[state < 0 ? 0 : state > 2 ? 2 : state];
}

}  // namespace kv::ui
