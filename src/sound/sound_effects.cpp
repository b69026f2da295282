#include "sound/sound_effects.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kv::snd {
namespace {

constexpr double kRate = 44100.0;
constexpr double kPi = std::numbers::pi;

double MsToSamples(double ms) { return ms * kRate / 1000.0; }
double DbToGain(double db) { return std::pow(10.0, db / 20.0); }

// A power-of-two ring buffer per channel with fractional reads.
class DelayLine {
 public:
  explicit DelayLine(int minLength) {
    size_t n = 1;
    while (n < static_cast<size_t>(minLength) + 2) n <<= 1;
    buf_.assign(n, 0.0f);
    mask_ = n - 1;
  }
  void Write(float v) {
    buf_[pos_] = v;
    pos_ = (pos_ + 1) & mask_;
  }
  // The sample written `delay` samples before the next write (delay ≥ 1).
  float Read(double delay) const {
    const double d = std::clamp(delay, 1.0, static_cast<double>(mask_ - 1));
    const size_t whole = static_cast<size_t>(d);
    const float frac = static_cast<float>(d - static_cast<double>(whole));
    const float a = buf_[(pos_ - whole) & mask_];
    const float b = buf_[(pos_ - whole - 1) & mask_];
    return a + (b - a) * frac;
  }
  void Clear() { std::fill(buf_.begin(), buf_.end(), 0.0f); }

 private:
  std::vector<float> buf_;
  size_t mask_ = 0;
  size_t pos_ = 0;
};

// Chorus and flanger: a delay swept by a low-frequency oscillator, with feedback; the right channel's oscillator
// runs at the phase offset (−180°, −90°, 0°, 90°, 180° for 0 … 4).
class ModulatedDelay final : public Effect {
 public:
  explicit ModulatedDelay(EffectKind kind) : Effect(kind), left_(1024), right_(1024) { Configure(); }
  void Process(float* s, int frames) override {
    // The oscillator (at most 10 Hz) is evaluated every kLfoStride frames and the delay interpolated between.
    for (int i = 0; i < frames; i += kLfoStride) {
      const int n = std::min(kLfoStride, frames - i);
      double phaseEnd = phase_ + step_ * n;
      for (int c = 0; c < 2; ++c) {
        DelayLine& line = c == 0 ? left_ : right_;
        const double offset = c == 0 ? 0.0 : phaseOffset_;
        const double from = Delay(phase_ + offset), to = Delay(phaseEnd + offset);
        for (int k = 0; k < n; ++k) {
          const double delay = from + (to - from) * k / n;
          float& v = s[2 * (i + k) + c];
          const float x = v;
          const float y = line.Read(delay);
          line.Write(x + feedback_ * y);
          v = (1.0f - wet_) * x + wet_ * y;
        }
      }
      phase_ = phaseEnd - std::floor(phaseEnd);
    }
  }
  void Reset() override {
    left_.Clear();
    right_.Clear();
    phase_ = 0;
  }

 private:
  static constexpr int kLfoStride = 32;
  double Delay(double p) const {
    p -= std::floor(p);
    const double lfo = sine_ ? std::sin(2 * kPi * p) : 1.0 - 4.0 * std::abs(p - 0.5);  // −1 … 1
    return std::max(1.0, delaySamples_ * (1.0 - depth_ * (0.5 - 0.5 * lfo)));
  }
  void Configure() override {
    wet_ = static_cast<float>(params_[0] / 100.0);
    depth_ = params_[1] / 100.0;
    feedback_ = static_cast<float>(params_[2] / 100.0);
    step_ = params_[3] / kRate;
    sine_ = params_[4] >= 1;
    delaySamples_ = MsToSamples(params_[5]);
    phaseOffset_ = (params_[6] - 2.0) / 4.0;
  }
  DelayLine left_, right_;
  float wet_ = 0, feedback_ = 0;
  double depth_ = 0, step_ = 0, delaySamples_ = 0, phaseOffset_ = 0, phase_ = 0;
  bool sine_ = true;
};

// Echo: a feedback delay per channel; with pan delay each repeat crosses to the other side.
class Echo final : public Effect {
 public:
  Echo() : Effect(EffectKind::Echo), left_(static_cast<int>(MsToSamples(2000)) + 2), right_(left_) { Configure(); }
  void Process(float* s, int frames) override {
    for (int i = 0; i < frames; ++i) {
      const float xl = s[2 * i], xr = s[2 * i + 1];
      const float yl = left_.Read(leftDelay_), yr = right_.Read(rightDelay_);
      left_.Write(xl + feedback_ * (swap_ ? yr : yl));
      right_.Write(xr + feedback_ * (swap_ ? yl : yr));
      s[2 * i] = (1.0f - wet_) * xl + wet_ * yl;
      s[2 * i + 1] = (1.0f - wet_) * xr + wet_ * yr;
    }
  }
  void Reset() override {
    left_.Clear();
    right_.Clear();
  }

 private:
  void Configure() override {
    wet_ = static_cast<float>(params_[0] / 100.0);
    feedback_ = static_cast<float>(params_[1] / 100.0);
    leftDelay_ = std::round(MsToSamples(params_[2]));
    rightDelay_ = std::round(MsToSamples(params_[3]));
    swap_ = params_[4] >= 1;
  }
  DelayLine left_, right_;
  float wet_ = 0, feedback_ = 0;
  double leftDelay_ = 1, rightDelay_ = 1;
  bool swap_ = false;
};

// Gargle: amplitude modulation at the rate, by a triangle (0 → 1 → 0) or a square wave (on for the first half).
class Gargle final : public Effect {
 public:
  Gargle() : Effect(EffectKind::Gargle) { Configure(); }
  void Process(float* s, int frames) override {
    for (int i = 0; i < frames; ++i) {
      const double m = square_ ? (phase_ < 0.5 ? 1.0 : 0.0) : 1.0 - std::abs(2.0 * phase_ - 1.0);
      s[2 * i] = static_cast<float>(s[2 * i] * m);
      s[2 * i + 1] = static_cast<float>(s[2 * i + 1] * m);
      phase_ += step_;
      if (phase_ >= 1.0) phase_ -= 1.0;
    }
  }
  void Reset() override { phase_ = 0; }

 private:
  void Configure() override {
    step_ = params_[0] / kRate;
    square_ = params_[1] >= 1;
  }
  double step_ = 0, phase_ = 0;
  bool square_ = false;
};

// Parametric equaliser: one peaking biquad (bandwidth in semitones) per channel.
class Equalizer final : public Effect {
 public:
  Equalizer() : Effect(EffectKind::Equalizer) { Configure(); }
  void Process(float* s, int frames) override {
    if (bypass_) return;
    for (int i = 0; i < frames; ++i)
      for (int c = 0; c < 2; ++c) {
        State& st = state_[c];
        const double x = s[2 * i + c];
        const double y = b0_ * x + b1_ * st.x1 + b2_ * st.x2 - a1_ * st.y1 - a2_ * st.y2;
        st.x2 = st.x1;
        st.x1 = x;
        st.y2 = st.y1;
        st.y1 = y;
        s[2 * i + c] = static_cast<float>(y);
      }
  }
  void Reset() override { state_ = {}; }

 private:
  struct State {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  };
  void Configure() override {
    const double a = std::pow(10.0, params_[2] / 40.0);
    const double w0 = 2 * kPi * params_[0] / kRate;
    const double octaves = params_[1] / 12.0;
    const double alpha = std::sin(w0) * std::sinh(std::log(2.0) / 2 * octaves * w0 / std::sin(w0));
    const double a0 = 1 + alpha / a;
    b0_ = (1 + alpha * a) / a0;
    b1_ = -2 * std::cos(w0) / a0;
    b2_ = (1 - alpha * a) / a0;
    a1_ = b1_;
    a2_ = (1 - alpha / a) / a0;
    bypass_ = params_[2] == 0;
  }
  std::array<State, 2> state_{};
  double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  bool bypass_ = true;
};

// Reverb: parallel damped comb filters into series all-passes per channel (the right channel slightly longer);
// the reverb time sets the comb feedback for a 60 dB decay, the high-frequency ratio the damping.
class Reverb final : public Effect {
 public:
  explicit Reverb(EffectKind kind = EffectKind::Reverb) : Effect(kind) {
    for (int c = 0; c < 2; ++c) {
      for (int k = 0; k < kCombs; ++k) combs_[c][k].buf.assign(static_cast<size_t>(kCombLen[k] + c * kSpread), 0.0f);
      for (int k = 0; k < kAllpasses; ++k)
        allpasses_[c][k].buf.assign(static_cast<size_t>(kAllpassLen[k] + c * kSpread), 0.0f);
    }
    if (kind == EffectKind::EnvReverb) params_ = {0, -10, 1490, 0.83};
    Configure();
  }
  void Process(float* s, int frames) override {
    // Filter by filter over the whole block (each filter's state runs on its own), one channel at a time.
    in_.resize(static_cast<size_t>(frames));
    out_.resize(static_cast<size_t>(frames));
    for (int c = 0; c < 2; ++c) {
      for (int i = 0; i < frames; ++i) in_[i] = s[2 * i + c] * inGain_ * 0.03f;
      std::fill(out_.begin(), out_.end(), 0.0f);
      for (Comb& cb : combs_[c]) {
        float* buf = cb.buf.data();
        const size_t size = cb.buf.size();
        size_t pos = cb.pos;
        float filter = cb.filter;
        for (int i = 0; i < frames; ++i) {
          const float y = buf[pos];
          filter = y * (1 - damp_) + filter * damp_;
          buf[pos] = in_[i] + filter * cb.feedback;
          if (++pos >= size) pos = 0;
          out_[i] += y;
        }
        cb.pos = pos;
        cb.filter = filter;
      }
      for (Allpass& ap : allpasses_[c]) {
        float* buf = ap.buf.data();
        const size_t size = ap.buf.size();
        size_t pos = ap.pos;
        for (int i = 0; i < frames; ++i) {
          const float b = buf[pos];
          buf[pos] = out_[i] + b * 0.5f;
          if (++pos >= size) pos = 0;
          out_[i] = b - out_[i];
        }
        ap.pos = pos;
      }
      for (int i = 0; i < frames; ++i) s[2 * i + c] += wet_ * out_[i];
    }
  }
  void Reset() override {
    for (auto& ch : combs_)
      for (Comb& cb : ch) {
        std::fill(cb.buf.begin(), cb.buf.end(), 0.0f);
        cb.filter = 0;
      }
    for (auto& ch : allpasses_)
      for (Allpass& ap : ch) std::fill(ap.buf.begin(), ap.buf.end(), 0.0f);
  }

 private:
  static constexpr int kCombs = 4, kAllpasses = 2, kSpread = 23;
  static constexpr int kCombLen[kCombs] = {1116, 1188, 1277, 1356};
  static constexpr int kAllpassLen[kAllpasses] = {556, 441};
  struct Comb {
    std::vector<float> buf;
    size_t pos = 0;
    float filter = 0, feedback = 0;
  };
  struct Allpass {
    std::vector<float> buf;
    size_t pos = 0;
  };
  void Configure() override {
    inGain_ = static_cast<float>(DbToGain(params_[0]));
    wet_ = static_cast<float>(DbToGain(params_[1]));
    const double seconds = params_[2] / 1000.0;
    for (auto& ch : combs_)
      for (Comb& cb : ch)
        cb.feedback = static_cast<float>(std::pow(10.0, -3.0 * (static_cast<double>(cb.buf.size()) / kRate) / seconds));
    damp_ = static_cast<float>(std::clamp(1.0 - params_[3], 0.0, 0.95));
  }
  std::array<std::array<Comb, kCombs>, 2> combs_;
  std::array<std::array<Allpass, kAllpasses>, 2> allpasses_;
  std::vector<float> in_, out_;  // one channel of the block
  float inGain_ = 1, wet_ = 1, damp_ = 0;
};

// Compressor: a peak envelope with attack and release; above the threshold the level is divided by the ratio (in
// dB); the signal is delayed by the predelay so the gain acts slightly ahead of it; then the output gain.
class Compressor final : public Effect {
 public:
  Compressor() : Effect(EffectKind::Compressor), left_(static_cast<int>(MsToSamples(4)) + 2), right_(left_) {
    Configure();
  }
  void Process(float* s, int frames) override {
    for (int i = 0; i < frames; ++i) {
      const float xl = s[2 * i], xr = s[2 * i + 1];
      const double level = std::max(std::abs(xl), std::abs(xr));
      const double coef = level > env_ ? attack_ : release_;
      env_ = coef * env_ + (1 - coef) * level;
      // Below the threshold the gain is the output gain alone; above it the level over the threshold is divided
      // by the ratio in decibels: (env / threshold)^(1/ratio − 1).
      const double gain = env_ > thresholdGain_ ? makeupGain_ * std::pow(env_ / thresholdGain_, slope_) : makeupGain_;
      left_.Write(xl);
      right_.Write(xr);
      const float dl = predelay_ >= 1 ? left_.Read(predelay_) : xl;
      const float dr = predelay_ >= 1 ? right_.Read(predelay_) : xr;
      s[2 * i] = static_cast<float>(dl * gain);
      s[2 * i + 1] = static_cast<float>(dr * gain);
    }
  }
  void Reset() override {
    left_.Clear();
    right_.Clear();
    env_ = 0;
  }

 private:
  void Configure() override {
    makeupGain_ = DbToGain(params_[0]);
    attack_ = std::exp(-1.0 / MsToSamples(params_[1]));
    release_ = std::exp(-1.0 / MsToSamples(params_[2]));
    thresholdGain_ = DbToGain(params_[3]);
    slope_ = 1.0 / params_[4] - 1.0;
    predelay_ = std::round(MsToSamples(params_[5]));
  }
  DelayLine left_, right_;
  double makeupGain_ = 1, attack_ = 0, release_ = 0, thresholdGain_ = 1, slope_ = 0, predelay_ = 0, env_ = 0;
};

// Distortion: a fixed soft waveshaper followed by −18 dB, the classic default setting.
class Distortion final : public Effect {
 public:
  Distortion() : Effect(EffectKind::Distortion) { Configure(); }
  void Process(float* s, int frames) override {
    for (int i = 0; i < 2 * frames; ++i) s[i] = static_cast<float>(std::tanh(8.0 * s[i]) * 0.126);
  }
  void Reset() override {}

 private:
  void Configure() override {}
};

const std::vector<EffectParam> kChorusParams = {{"wetdry", 0, 100, 50, false},   {"depth", 0, 100, 10, false},
                                                {"feedback", -99, 99, 25, false}, {"frequency", 0, 10, 1.1, false},
                                                {"wave", 0, 1, 1, true},          {"delay", 0, 20, 16, false},
                                                {"phase", 0, 4, 3, true}};
const std::vector<EffectParam> kFlangerParams = {{"wetdry", 0, 100, 50, false},   {"depth", 0, 100, 100, false},
                                                 {"feedback", -99, 99, -50, false}, {"frequency", 0, 10, 0.25, false},
                                                 {"wave", 0, 1, 1, true},           {"delay", 0, 4, 2, false},
                                                 {"phase", 0, 4, 2, true}};
const std::vector<EffectParam> kEchoParams = {{"wetdry", 0, 100, 50, false},
                                              {"feedback", 0, 100, 50, false},
                                              {"leftdelay", 1, 2000, 500, false},
                                              {"rightdelay", 1, 2000, 500, false},
                                              {"pandelay", 0, 1, 0, true}};
const std::vector<EffectParam> kGargleParams = {{"rate", 1, 1000, 20, true}, {"wave", 0, 1, 0, true}};
const std::vector<EffectParam> kEqualizerParams = {
    {"center", 80, 16000, 8000, false}, {"bandwidth", 1, 36, 12, false}, {"gain", -15, 15, 0, false}};
const std::vector<EffectParam> kReverbParams = {{"gain", -96, 0, 0, false},
                                                {"mix", -96, 0, 0, false},
                                                {"time", 0.001, 3000, 1000, false},
                                                {"ratio", 0.001, 0.999, 0.001, false}};
const std::vector<EffectParam> kCompressorParams = {{"gain", -60, 60, 0, false},       {"attack", 0.01, 500, 10, false},
                                                    {"release", 50, 3000, 200, false}, {"threshold", -60, 0, -20, false},
                                                    {"ratio", 1, 100, 3, false},       {"delay", 0, 4, 4, false}};
const std::vector<EffectParam> kNoParams = {};

}  // namespace

const std::vector<EffectParam>& EffectParams(EffectKind kind) {
  switch (kind) {
    case EffectKind::Chorus: return kChorusParams;
    case EffectKind::Echo: return kEchoParams;
    case EffectKind::Flanger: return kFlangerParams;
    case EffectKind::Gargle: return kGargleParams;
    case EffectKind::Equalizer: return kEqualizerParams;
    case EffectKind::Reverb:
    case EffectKind::EnvReverb: return kReverbParams;
    case EffectKind::Compressor: return kCompressorParams;
    case EffectKind::Distortion: return kNoParams;
  }
  return kNoParams;
}

std::string_view EffectName(EffectKind kind) {
  static constexpr std::string_view names[] = {"chorus", "echo",       "flanger",    "gargle",        "equalizer",
                                               "reverb", "compressor", "distortion", "environmental reverb"};
  return names[static_cast<int>(kind)];
}

std::vector<EffectKind> EffectChainKinds(int bits) {
  std::vector<EffectKind> kinds;
  auto add = [&](int bit, EffectKind kind) {
    if (bits & bit) kinds.push_back(kind);
  };
  add(kEffectChorus, EffectKind::Chorus);
  add(kEffectEcho, EffectKind::Echo);
  add(kEffectFlanger, EffectKind::Flanger);
  add(kEffectGargle, EffectKind::Gargle);
  add(kEffectEqualizer, EffectKind::Equalizer);
  add(kEffectReverb, EffectKind::Reverb);
  add(kEffectCompressor, EffectKind::Compressor);
  add(kEffectEqualizer, EffectKind::Equalizer);
  add(kEffectDistortion, EffectKind::Distortion);
  add(kEffectEnvReverb, EffectKind::EnvReverb);
  return kinds;
}

Effect::Effect(EffectKind kind) : kind_(kind) {
  for (const EffectParam& p : EffectParams(kind)) params_.push_back(p.def);
}

void Effect::SetParams(const std::vector<double>& values) {
  const auto& table = EffectParams(kind_);
  for (size_t i = 0; i < values.size() && i < table.size(); ++i) {
    double v = std::isnan(values[i]) ? table[i].def : values[i];
    if (table[i].integer) v = std::nearbyint(std::clamp(v, -1e9, 1e9));
    params_[i] = std::clamp(v, table[i].min, table[i].max);
  }
  Configure();
}

std::unique_ptr<Effect> MakeEffect(EffectKind kind) {
  switch (kind) {
    case EffectKind::Chorus:
    case EffectKind::Flanger: return std::make_unique<ModulatedDelay>(kind);
    case EffectKind::Echo: return std::make_unique<Echo>();
    case EffectKind::Gargle: return std::make_unique<Gargle>();
    case EffectKind::Equalizer: return std::make_unique<Equalizer>();
    case EffectKind::Reverb:
    case EffectKind::EnvReverb: return std::make_unique<Reverb>(kind);
    case EffectKind::Compressor: return std::make_unique<Compressor>();
    case EffectKind::Distortion: return std::make_unique<Distortion>();
  }
  return nullptr;
}

void EffectChain::Build(int bits) {
  effects_.clear();
  for (EffectKind kind : EffectChainKinds(bits)) effects_.push_back(MakeEffect(kind));
}

Effect* EffectChain::Find(EffectKind kind) {
  for (auto& e : effects_)
    if (e->Kind() == kind) return e.get();
  return nullptr;
}

void EffectChain::Process(float* stereo, int frames) {
  for (auto& e : effects_) e->Process(stereo, frames);
}

void EffectChain::Reset() {
  for (auto& e : effects_) e->Reset();
}

}  // namespace kv::snd
