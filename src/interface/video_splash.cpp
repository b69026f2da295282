#include "interface/video_splash.h"

#include <algorithm>

#include "interface/form_canvas.h"
#include "interface/message_form.h"

namespace kv::ui {

VideoSplashView::VideoSplashView(const SplashOptions& options, std::unique_ptr<plat::IVideoDecoder> video, Rect place,
                                 bool loop)
    : options_(options), video_(std::move(video)), place_(place), loop_(loop) {
  if (video_) hasPending_ = Fetch();
}

bool VideoSplashView::Fetch() {
  double t = 0;
  if (!video_->NextFrame(pending_, t)) return false;
  if (pending_.size() != static_cast<size_t>(video_->Width()) * video_->Height()) return false;
  pendingTime_ = std::max(t, 0.0);
  return true;
}

const CBitmap32& VideoSplashView::Render() {
  const int w = std::max(1, options_.width), h = std::max(1, options_.height);
  if (frame_.width != w || frame_.height != h) frame_ = CBitmap32::Make(w, h, 0xFF000000);
  Canvas c(frame_);
  c.Fill(options_.colour);
  if (current_.width > 0) c.DrawImage(current_, place_.x, place_.y, place_.w, place_.h);
  return frame_;
}

plat::FormPixels VideoSplashView::Paint() {
  const CBitmap32& b = Render();
  return {b.width, b.height, b.pixels.data()};
}

bool VideoSplashView::Handle(const plat::FormEvent& e) {
  using Kind = plat::FormEvent::Kind;
  if (e.kind == Kind::Close) return false;  // the close button always ends a splash
  if (e.kind == Kind::KeyDown && e.key == kVkEscape && options_.stopKey) return false;
  if (e.kind == Kind::MouseDown && options_.stopMouse) return false;
  return true;
}

bool VideoSplashView::Tick(int64_t elapsedMillis) {
  if (!video_) return false;
  if (!started_) {
    started_ = true;
    if (play_) play_();
  }
  const double now = static_cast<double>(elapsedMillis) / 1000.0;
  while (true) {
    while (hasPending_ && pendingTime_ + offset_ <= now) {
      current_.exists = true;
      current_.width = video_->Width();
      current_.height = video_->Height();
      current_.pixels.swap(pending_);
      previousTime_ = lastTime_;
      lastTime_ = pendingTime_;
      ++framesShown_;
      hasPending_ = Fetch();
    }
    if (hasPending_) return true;
    // The last frame stays for as long as the one before it did.
    const double gap = framesShown_ > 1 ? std::max(lastTime_ - previousTime_, 0.001) : 0.04;
    const double length = std::max(lastTime_ + gap, video_->Duration());
    if (now < length + offset_) return true;
    if (!loop_ || framesShown_ == 0 || !(length > 0) || !video_->Rewind()) return false;
    offset_ += length;
    lastTime_ = previousTime_ = 0;
    ++loops_;
    if (play_) play_();
    hasPending_ = Fetch();
    if (!hasPending_) return false;
  }
}

}  // namespace kv::ui
