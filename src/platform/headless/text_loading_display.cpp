#include "platform/headless/text_loading_display.h"

#include <iomanip>

#include "platform/text_codec.h"

namespace kv::plat {

void TextLoadingDisplay::Show(const LoadingWindowState& state) {
  visible_ = true;
  if (enabled_)
    out_ << "loading window " << state.width << "x" << state.height << (state.barsVisible ? "" : " (no bar)") << '\n';
  Update(state);
}

void TextLoadingDisplay::Update(const LoadingWindowState& state) {
  if (!enabled_ || !visible_) return;
  out_ << "loading " << std::setw(3) << state.percent << "% " << Cp1252ToUtf8(state.label) << '\n';
  out_.flush();
}

void TextLoadingDisplay::Hide() {
  if (enabled_ && visible_) out_ << "loading window closed\n";
  visible_ = false;
}

}  // namespace kv::plat
