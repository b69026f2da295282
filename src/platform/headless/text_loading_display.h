#pragma once
// Loading progress as text lines ("loading  23% Loading backgrounds"), written only when enabled (--verbose).
#include <ostream>

#include "platform/loading_display.h"

namespace kv::plat {

class TextLoadingDisplay final : public ILoadingDisplay {
 public:
  TextLoadingDisplay(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}
  void Show(const LoadingWindowState& state) override;
  void Update(const LoadingWindowState& state) override;
  void Hide() override;

 private:
  std::ostream& out_;
  bool enabled_;
  bool visible_ = false;
};

}  // namespace kv::plat
