#pragma once
// A video splash: the decoded frames drawn into the splash area at their times, from the first frame again when
// it loops (a video without length never loops), ending when it is over or stopped.
#include <functional>
#include <memory>

#include "graphics/bitmap32.h"
#include "interface/splash_form.h"
#include "platform/video_decode.h"

namespace kv::ui {

class VideoSplashView final : public plat::IFormController {
 public:
  // `place`: where the video's frames go in the area.
  VideoSplashView(const SplashOptions& options, std::unique_ptr<plat::IVideoDecoder> video, Rect place, bool loop);

  const CBitmap32& Render();
  // Called when the video starts playing and each time a looping video starts again (its sound goes with it).
  void OnPlay(std::function<void()> play) { play_ = std::move(play); }
  int FramesShown() const { return framesShown_; }
  int Loops() const { return loops_; }

  plat::FormPixels Paint() override;
  bool Handle(const plat::FormEvent& event) override;
  bool Tick(int64_t elapsedMillis) override;

 private:
  bool Fetch();  // the next frame into pending_; false at the end

  SplashOptions options_;
  std::unique_ptr<plat::IVideoDecoder> video_;
  Rect place_;
  bool loop_;
  CBitmap32 current_;
  std::vector<uint32_t> pending_;
  double pendingTime_ = 0, lastTime_ = 0, previousTime_ = 0, offset_ = 0;
  bool hasPending_ = false;
  int framesShown_ = 0, loops_ = 0;
  CBitmap32 frame_;
  std::function<void()> play_;
  bool started_ = false;
};

}  // namespace kv::ui
