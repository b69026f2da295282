#pragma once
// The per-sound effect chain: chorus, echo, flanger, gargle, parametric equaliser, reverb, compressor,
// distortion and environmental reverb, each a small stereo processor working in place at the mixer rate.
#include <array>
#include <memory>
#include <string_view>
#include <vector>

namespace kv::snd {

enum class EffectKind { Chorus, Echo, Flanger, Gargle, Equalizer, Reverb, Compressor, Distortion, EnvReverb };

// Effect bits of sound_effect_set.
inline constexpr int kEffectChorus = 1, kEffectEcho = 2, kEffectFlanger = 4, kEffectGargle = 8, kEffectReverb = 16,
                     kEffectCompressor = 32, kEffectEqualizer = 64, kEffectDistortion = 128,
                     kEffectEnvReverb = 256;

// One parameter of an effect: its accepted range (values are clamped into it), its default and whether it is a
// whole number (rounded half to even).
struct EffectParam {
  std::string_view name;
  double min, max, def;
  bool integer;
};
// The parameters of a kind in the order of its script function's arguments.
const std::vector<EffectParam>& EffectParams(EffectKind kind);
std::string_view EffectName(EffectKind kind);

// The chain a bit set builds, in processing order: chorus, echo, flanger, gargle, equaliser, reverb, compressor,
// a second equaliser, distortion, environmental reverb.
std::vector<EffectKind> EffectChainKinds(int bits);

class Effect {
 public:
  virtual ~Effect() = default;
  EffectKind Kind() const { return kind_; }
  // Clamps and stores every parameter (values in argument order; missing ones keep their value).
  void SetParams(const std::vector<double>& values);
  const std::vector<double>& Params() const { return params_; }
  virtual void Process(float* stereo, int frames) = 0;
  // Forgets delay lines and envelopes.
  virtual void Reset() = 0;

 protected:
  explicit Effect(EffectKind kind);
  virtual void Configure() = 0;  // derives the processing constants from params_
  EffectKind kind_;
  std::vector<double> params_;
};

std::unique_ptr<Effect> MakeEffect(EffectKind kind);

class EffectChain {
 public:
  // Replaces the chain with fresh effects (default parameters) for the bits; 0 empties it.
  void Build(int bits);
  bool Empty() const { return effects_.empty(); }
  // The first effect of the kind, nullptr when the chain has none.
  Effect* Find(EffectKind kind);
  void Process(float* stereo, int frames);
  void Reset();
  const std::vector<std::unique_ptr<Effect>>& Effects() const { return effects_; }

 private:
  std::vector<std::unique_ptr<Effect>> effects_;
};

}  // namespace kv::snd
