#include "sound/sound_mixer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kv::snd {

namespace {
constexpr int64_t kEffectTailFrames = 3 * kMixRate;  // effects ring on for up to 3 s after the sources end

int SaturatingRound(double v, double lo, double hi) { return static_cast<int>(std::nearbyint(std::clamp(v, lo, hi))); }
double Finite(double v, double fallback) { return std::isfinite(v) ? v : fallback; }
}  // namespace

double GainOfHundredths(double hundredths) { return std::pow(10.0, hundredths / 2000.0); }

int VolumeHundredths(double volume) {
  return SaturatingRound(std::clamp(Finite(volume, 0), 0.0, 1.0) * 9600.0, 0, 9600) - 9600;
}
int PanHundredths(double pan) { return SaturatingRound(std::clamp(Finite(pan, 0), -1.0, 1.0) * 10000.0, -10000, 10000); }
int GlobalVolumeHundredths(double volume) {
  return SaturatingRound(Finite(volume, 0) * 11000.0 - 10000.0, -10000, 1000);
}

void PanGains(int pan, double& left, double& right) {
  left = GainOfHundredths(std::min(0, -pan));
  right = GainOfHundredths(std::min(0, pan));
}

double DistanceGain(const Sound3D& s) {
  const double d = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
  const double minD = std::max(s.minDistance, 1e-9);
  const double maxD = std::max(s.maxDistance, minD);
  const double clamped = std::min(d, maxD);
  return clamped <= minD ? 1.0 : minD / clamped;
}

double ConeGain(const Sound3D& s) {
  const double inside = std::clamp(s.insideAngle, 0, 360), outside = std::clamp(s.outsideAngle, 0, 360);
  if (inside >= 360) return 1.0;
  const double toListener[3] = {-s.x, -s.y, -s.z};
  const double ln = std::sqrt(toListener[0] * toListener[0] + toListener[1] * toListener[1] + toListener[2] * toListener[2]);
  const double cn = std::sqrt(s.coneX * s.coneX + s.coneY * s.coneY + s.coneZ * s.coneZ);
  if (ln == 0 || cn == 0) return 1.0;
  const double cosA =
      std::clamp((toListener[0] * s.coneX + toListener[1] * s.coneY + toListener[2] * s.coneZ) / (ln * cn), -1.0, 1.0);
  const double angle = std::acos(cosA) * 180.0 / std::numbers::pi;  // 0 … 180
  const double halfIn = inside / 2, halfOut = std::max(outside, inside) / 2;
  double hundredths;
  if (angle <= halfIn) hundredths = 0;
  else if (angle >= halfOut) hundredths = s.outsideVolume;
  else hundredths = s.outsideVolume * (angle - halfIn) / (halfOut - halfIn);
  return GainOfHundredths(hundredths);
}

void DirectionGains(const Sound3D& s, double& left, double& right) {
  const double d = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
  const double a = d > 0 ? std::clamp(s.x / d, -1.0, 1.0) : 0.0;  // −1 fully left … 1 fully right
  left = a > 0 ? 1.0 - 0.5 * a : 1.0;
  right = a < 0 ? 1.0 + 0.5 * a : 1.0;
}

void MixerChannel::Play(bool loop, int64_t startFrame) {
  if (midi_) {
    midi_->Start(loop);
    tailLeft_ = kEffectTailFrames;
    return;
  }
  if (!pcm_) return;
  if (static_cast<int>(cursors_.size()) >= kMaxCursors) cursors_.erase(cursors_.begin());
  cursors_.push_back({std::clamp<int64_t>(startFrame, 0, pcm_->Frames()), loop});
  tailLeft_ = kEffectTailFrames;
}

void MixerChannel::Stop() {
  cursors_.clear();
  if (midi_) midi_->Stop();
  tailLeft_ = 0;
  effects_.Reset();
}

bool MixerChannel::Playing() const { return midi_ ? midi_->Playing() : !cursors_.empty(); }

int64_t MixerChannel::Position() const { return cursors_.empty() ? 0 : cursors_.back().pos; }

void MixerChannel::SetVolume(int hundredths, int64_t fadeFrames) {
  target_ = hundredths;
  if (fadeFrames <= 0) {
    volume_ = hundredths;
    fadeLeft_ = 0;
    return;
  }
  fadeLeft_ = fadeFrames;
  fadeStep_ = (hundredths - volume_) / static_cast<double>(fadeFrames);
}

void MixerChannel::SetEffects(int bits) { effects_.Build(bits); }

void MixerChannel::SetTempo(double factor) {
  if (midi_) midi_->SetTempo(factor);
}

void MixerChannel::Render(float* out, float* scratch, int frames) {
  const bool sounding = Playing();
  if (!sounding && (effects_.Empty() || tailLeft_ <= 0)) {
    // Fades go on in silence so a faded sound starts at the level it has reached.
    if (fadeLeft_ > 0) {
      const int64_t n = std::min<int64_t>(fadeLeft_, frames);
      volume_ += fadeStep_ * static_cast<double>(n);
      fadeLeft_ -= n;
      if (fadeLeft_ == 0) volume_ = target_;
    }
    return;
  }
  std::fill(scratch, scratch + 2 * frames, 0.0f);
  if (midi_) {
    midi_->Render(scratch, frames);
  } else if (pcm_) {
    const int64_t length = pcm_->Frames();
    const float* src = pcm_->samples.data();
    for (size_t c = 0; c < cursors_.size();) {
      Cursor& cur = cursors_[c];
      int done = 0;
      while (done < frames && length > 0) {
        if (cur.pos >= length) {
          if (!cur.loop) break;
          cur.pos = 0;
        }
        const int n = static_cast<int>(std::min<int64_t>(frames - done, length - cur.pos));
        const float* from = src + 2 * cur.pos;
        float* to = scratch + 2 * done;
        for (int i = 0; i < 2 * n; ++i) to[i] += from[i];
        done += n;
        cur.pos += n;
      }
      if (length == 0 || (!cur.loop && cur.pos >= length)) cursors_.erase(cursors_.begin() + static_cast<ptrdiff_t>(c));
      else ++c;
    }
  }
  if (sounding) tailLeft_ = kEffectTailFrames;
  else tailLeft_ -= frames;

  if (fixedLevel_) {
    for (int i = 0; i < 2 * frames; ++i) out[i] += scratch[i];
    return;
  }
  effects_.Process(scratch, frames);

  double left, right;
  PanGains(pan_, left, right);
  if (is3D_) {
    double dl, dr;
    DirectionGains(spatial_, dl, dr);
    const double g = DistanceGain(spatial_) * ConeGain(spatial_);
    left *= dl * g;
    right *= dr * g;
  }
  if (fadeLeft_ <= 0) {
    const double g = GainOfHundredths(volume_);
    const float gl = static_cast<float>(g * left), gr = static_cast<float>(g * right);
    for (int i = 0; i < frames; ++i) {
      out[2 * i] += scratch[2 * i] * gl;
      out[2 * i + 1] += scratch[2 * i + 1] * gr;
    }
    return;
  }
  // Fading: linear in decibels, so the gain changes by a constant factor per frame.
  double g = GainOfHundredths(volume_);
  const double ratio = GainOfHundredths(fadeStep_);
  for (int i = 0; i < frames; ++i) {
    if (fadeLeft_ > 0) {
      volume_ += fadeStep_;
      g *= ratio;
      if (--fadeLeft_ == 0) {
        volume_ = target_;
        g = GainOfHundredths(volume_);
      }
    }
    out[2 * i] += static_cast<float>(scratch[2 * i] * g * left);
    out[2 * i + 1] += static_cast<float>(scratch[2 * i + 1] * g * right);
  }
}

void MasterOut(float* stereo, int frames, int globalHundredths) {
  const float g = static_cast<float>(GainOfHundredths(globalHundredths));
  constexpr float kKnee = 0.9f;
  for (int i = 0; i < 2 * frames; ++i) {
    float v = stereo[i] * g;
    const float a = std::abs(v);
    if (a > kKnee) v = std::copysign(kKnee + (1 - kKnee) * std::tanh((a - kKnee) / (1 - kKnee)), v);
    stereo[i] = v;
  }
}

}  // namespace kv::snd
