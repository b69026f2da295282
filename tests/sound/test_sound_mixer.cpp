// The mixer and the sample table: level conversions, volume, pan, fades, loops, background music, the effect
// chain and each effect's audible behaviour, 3D gains. Everything is rendered without a device.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "sound/sound_mixer.h"
#include "sound_test_util.h"

namespace {

using namespace kv;
using namespace kv::soundtest;

constexpr int kRate = snd::kMixRate;

// A stereo sine sample at full rate; returns its sample index.
int SineSample(double hz, double seconds, double amplitude, int kind = snd::kKindNormal) {
  return snd::SampleFromMemory(Wav16(Sine(hz, seconds, kRate, amplitude), 1, kRate), kind);
}

// One stereo impulse of 0.5 followed by silence.
int ImpulseSample(double seconds) {
  std::vector<float> v(static_cast<size_t>(seconds * kRate), 0.0f);
  v[0] = 0.5f;
  return snd::SampleFromMemory(Wav16(v, 1, kRate), snd::kKindNormal);
}

TEST(SoundLevels, ConversionsFollowTheHundredthsOfADecibelRules) {
  EXPECT_EQ(snd::VolumeHundredths(0.5), -4800);
  EXPECT_EQ(snd::VolumeHundredths(1), 0);
  EXPECT_EQ(snd::VolumeHundredths(0), -9600);
  EXPECT_EQ(snd::VolumeHundredths(7), 0);      // clamped
  EXPECT_EQ(snd::VolumeHundredths(-3), -9600);
  EXPECT_EQ(snd::PanHundredths(-0.25), -2500);
  EXPECT_EQ(snd::PanHundredths(2), 10000);
  EXPECT_EQ(snd::GlobalVolumeHundredths(1), 1000);
  EXPECT_EQ(snd::GlobalVolumeHundredths(0), -10000);
  EXPECT_EQ(snd::GlobalVolumeHundredths(5), 1000);
  EXPECT_EQ(snd::GlobalVolumeHundredths(std::nan("")), -10000);
  double l, r;
  snd::PanGains(2000, l, r);
  EXPECT_NEAR(Db(l), -20.0, 1e-9);  // 2000 hundredths = 20 dB... of the 10^(h/2000) scale
  EXPECT_DOUBLE_EQ(r, 1.0);
}

// Measured levels of the mix match the formulas: volume, pan and the global volume.
TEST(SoundMixer, VolumePanAndGlobalVolumeMatchTheirFormulas) {
  FreshSystem();
  const int s = SineSample(1000, 0.5, 0.25);
  ASSERT_GE(s, 0);
  snd::Play(s, false);
  const double full = Rms(Mix(4410), 0);
  EXPECT_NEAR(full, 0.25 / std::sqrt(2.0), 0.002);

  snd::SetVolume(s, 0, 0.75);  // −2400 hundredths
  EXPECT_EQ(snd::SampleVolume(s), -2400);
  EXPECT_NEAR(Db(Rms(Mix(4410), 0) / full), 20 * (-2400 / 2000.0), 0.05);

  snd::SetVolume(s, 0, 1);
  snd::SetPan(s, 0.1);  // right stays, left −1000 hundredths
  const std::vector<float> panned = Mix(4410);
  EXPECT_NEAR(Db(Rms(panned, 1) / full), 0.0, 0.05);
  EXPECT_NEAR(Db(Rms(panned, 0) / full), 20 * (-1000 / 2000.0), 0.05);

  snd::SetPan(s, 0);
  snd::SetGlobalVolume(0.5);  // −4500 hundredths
  EXPECT_EQ(snd::GlobalVolume(), -4500);
  EXPECT_NEAR(Db(Rms(Mix(4410), 0) / full), 20 * (-4500 / 2000.0), 0.05);
}

// A fade reaches its level after its time on the mixer clock, moving monotonically; a sound that ends stops
// playing; a looped one goes on; stopping silences it at once.
TEST(SoundMixer, FadesLoopsAndPlayingState) {
  FreshSystem();
  const int s = SineSample(500, 0.3, 0.5);
  snd::Play(s, true);
  snd::SetVolume(s, 1000, 0.5);  // to −4800 over one second
  double last = 1e9;
  for (int block = 0; block < 10; ++block) {
    const double level = Rms(Mix(kRate / 10), 0);
    EXPECT_LT(level, last);
    last = level;
  }
  const double reached = Rms(Mix(kRate / 10), 0);
  EXPECT_NEAR(Db(reached / (0.5 / std::sqrt(2.0))), 20 * (-4800 / 2000.0), 0.2);
  EXPECT_TRUE(snd::IsPlaying(s));  // still looping after 1.1 s of a 0.3 s sound
  snd::Stop(s);
  EXPECT_FALSE(snd::IsPlaying(s));
  EXPECT_EQ(Rms(Mix(1000), 0), 0.0);

  snd::SetVolume(s, 0, 1);
  snd::Play(s, false);
  Mix(static_cast<int>(0.25 * kRate));
  EXPECT_TRUE(snd::IsPlaying(s));
  Mix(static_cast<int>(0.06 * kRate));
  EXPECT_FALSE(snd::IsPlaying(s));
}

// A new background music stops the one playing; normal sounds mix on.
TEST(SoundMixer, BackgroundMusicReplacesTheOneBefore) {
  FreshSystem();
  const int first = SineSample(300, 1, 0.2, snd::kKindBackground);
  const int second = SineSample(600, 1, 0.2, snd::kKindBackground);
  const int effect = SineSample(900, 1, 0.2);
  snd::Play(first, true);
  snd::Play(effect, false);
  snd::Play(second, true);
  EXPECT_FALSE(snd::IsPlaying(first));
  EXPECT_TRUE(snd::IsPlaying(second));
  EXPECT_TRUE(snd::IsPlaying(effect));
}

TEST(SoundEffects, ChainOrderAndParameterTable) {
  using K = snd::EffectKind;
  EXPECT_EQ(snd::EffectChainKinds(snd::kEffectEcho | snd::kEffectReverb), (std::vector<K>{K::Echo, K::Reverb}));
  EXPECT_EQ(snd::EffectChainKinds(127),
            (std::vector<K>{K::Chorus, K::Echo, K::Flanger, K::Gargle, K::Equalizer, K::Reverb, K::Compressor,
                            K::Equalizer}));
  FreshSystem();
  const int s = SineSample(440, 0.1, 0.1);
  snd::SetEffects(s, snd::kEffectChorus | snd::kEffectFlanger | snd::kEffectCompressor);
  EXPECT_EQ(snd::SampleEffectParams(s, K::Chorus), (std::vector<double>{50, 10, 25, 1.1, 1, 16, 3}));
  EXPECT_EQ(snd::SampleEffectParams(s, K::Flanger), (std::vector<double>{50, 100, -50, 0.25, 1, 2, 2}));
  EXPECT_EQ(snd::SampleEffectParams(s, K::Compressor), (std::vector<double>{0, 10, 200, -20, 3, 4}));
  // Out-of-range values are clamped, whole-number parameters rounded half to even.
  snd::SetEffectParams(s, K::Chorus, {150, -5, -200, 20, 0.5, 30, 2.5});
  EXPECT_EQ(snd::SampleEffectParams(s, K::Chorus), (std::vector<double>{100, 0, -99, 10, 0, 20, 2}));
  // A setter for an effect not in the chain changes nothing; a new chain starts from the defaults.
  snd::SetEffectParams(s, K::Echo, {10, 10, 10, 10, 1});
  EXPECT_TRUE(snd::SampleEffectParams(s, K::Echo).empty());
  snd::SetEffects(s, snd::kEffectEcho);
  EXPECT_EQ(snd::SampleEffectParams(s, K::Echo), (std::vector<double>{50, 50, 500, 500, 0}));
  snd::SetEffects(s, 0);
  EXPECT_TRUE(snd::SampleEffects(s).empty());
}

// Echo: the repeat lands exactly at the delay, at the wet level, and pan delay crosses it to the other side.
TEST(SoundEffects, EchoRepeatLandsAtTheDelay) {
  FreshSystem();
  const int s = ImpulseSample(0.5);
  snd::SetEffects(s, snd::kEffectEcho);
  snd::SetEffectParams(s, snd::EffectKind::Echo, {50, 0, 100, 200, 0});
  snd::Play(s, false);
  const std::vector<float> out = Mix(kRate / 2);
  EXPECT_NEAR(out[0], 0.25f, 1e-4);  // dry half
  EXPECT_NEAR(out[2 * 4410], 0.25f, 1e-4);      // left repeat after 100 ms
  EXPECT_NEAR(out[2 * 8820 + 1], 0.25f, 1e-4);  // right repeat after 200 ms
  EXPECT_NEAR(out[2 * 4410 + 1], 0.0f, 1e-6);
}

// Gargle modulates the level at its rate; the equaliser raises its band; the compressor lowers peaks above the
// threshold and leaves quiet signals alone.
TEST(SoundEffects, GargleEqualizerAndCompressorShapeTheSignal) {
  FreshSystem();
  const int g = SineSample(2000, 1, 0.3);
  snd::SetEffects(g, snd::kEffectGargle);
  snd::SetEffectParams(g, snd::EffectKind::Gargle, {10, 1});  // 10 Hz square: 50 ms on, 50 ms off
  snd::Play(g, false);
  const std::vector<float> gargled = Mix(kRate / 10);
  EXPECT_GT(Rms(gargled, 0, 100, 2100), 0.15);
  EXPECT_LT(Rms(gargled, 0, 2300, 4300), 1e-6);
  snd::Stop(g);

  const int e = SineSample(1000, 1, 0.1);
  snd::Play(e, false);
  const double flat = Rms(Mix(kRate / 10), 0, 1000);
  snd::Stop(e);
  snd::SetEffects(e, snd::kEffectEqualizer);
  snd::SetEffectParams(e, snd::EffectKind::Equalizer, {1000, 6, 12});
  snd::Play(e, false);
  EXPECT_NEAR(Db(Rms(Mix(kRate / 10), 0, 1000) / flat), 12.0, 0.5);
  snd::Stop(e);
  snd::SetEffectParams(e, snd::EffectKind::Equalizer, {8000, 1, 12});  // far band: nearly flat
  snd::Play(e, false);
  EXPECT_NEAR(Db(Rms(Mix(kRate / 10), 0, 1000) / flat), 0.0, 0.5);
  snd::Stop(e);

  const int loud = SineSample(200, 1, 0.9);
  const int quiet = SineSample(200, 1, 0.01);
  for (int s : {loud, quiet}) {
    snd::SetEffects(s, snd::kEffectCompressor);
    snd::SetEffectParams(s, snd::EffectKind::Compressor, {0, 1, 100, -20, 4, 0});
  }
  snd::Play(loud, false);
  std::vector<float> out = Mix(kRate / 2);
  const double loudIn = 0.9 / std::sqrt(2.0);
  // −0.9 dB peak level is 19 dB above the threshold: 4:1 leaves about 4.8 dB of it.
  EXPECT_LT(Db(Rms(out, 0, kRate / 4) / loudIn), -12.0);
  snd::Stop(loud);
  snd::Play(quiet, false);
  out = Mix(kRate / 2);
  EXPECT_NEAR(Db(Rms(out, 0, kRate / 4) / (0.01 / std::sqrt(2.0))), 0.0, 0.2);
}

// 3D: distance attenuation between the min and max distance, the cone's outside volume, direction to pan;
// other kinds ignore 3D settings.
TEST(Sound3D, DistanceConeAndDirection) {
  snd::Sound3D s;
  s.z = 0.5;
  EXPECT_DOUBLE_EQ(snd::DistanceGain(s), 1.0);
  s.z = 4;
  s.minDistance = 2;
  EXPECT_DOUBLE_EQ(snd::DistanceGain(s), 0.5);
  s.maxDistance = 3;
  EXPECT_DOUBLE_EQ(snd::DistanceGain(s), 2.0 / 3.0);

  snd::Sound3D c;
  c.z = 10;
  c.coneZ = 1;  // facing away from the listener
  c.insideAngle = 90;
  c.outsideAngle = 180;
  c.outsideVolume = -2000;
  EXPECT_NEAR(snd::ConeGain(c), 0.1, 1e-12);
  c.coneZ = -1;  // facing the listener
  EXPECT_NEAR(snd::ConeGain(c), 1.0, 1e-12);

  FreshSystem();
  const int s3 = SineSample(700, 1, 0.2, snd::kKind3D);
  snd::Set3DDistance(s3, 1, 100);
  snd::Set3DPosition(s3, 4, 0, 0);  // 4 units to the right
  snd::Play(s3, false);
  const std::vector<float> out = Mix(kRate / 10);
  const double dry = 0.2 / std::sqrt(2.0);
  EXPECT_NEAR(Rms(out, 1) / dry, 0.25, 0.01);
  EXPECT_NEAR(Rms(out, 0) / dry, 0.125, 0.01);
  snd::Set3DCone(s3, 1, 0, 0, 30, 60, 0.8);
  EXPECT_EQ(snd::Sample3D(s3).outsideVolume, -2000);

  const int flat = SineSample(700, 1, 0.2);
  snd::Set3DPosition(flat, 100, 0, 0);
  EXPECT_EQ(snd::Sample3D(flat).x, 0.0);
}

// Samples: bytes nothing decodes are refused (the caller falls back to the media player); freed entries are
// reused; functions on freed or unknown samples do nothing.
TEST(SoundSamples, RefusedDataAndFreedEntries) {
  FreshSystem();
  const std::vector<uint8_t> junk = {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'};
  EXPECT_EQ(snd::SampleFromMemory(junk, snd::kKindNormal), -1);
  const int a = SineSample(440, 0.1, 0.1);
  const int b = SineSample(440, 0.1, 0.1);
  snd::FreeSample(a);
  EXPECT_FALSE(snd::SampleUsed(a));
  EXPECT_EQ(SineSample(440, 0.1, 0.1), a);
  snd::FreeSample(b);
  snd::Play(b, true);
  snd::SetVolume(b, 100, 0.3);
  snd::Set3DPosition(-5, 1, 1, 1);
  EXPECT_FALSE(snd::IsPlaying(b));
  EXPECT_EQ(snd::SampleFromFile("/nonexistent/file.wav", snd::kKindNormal), -1);
}

}  // namespace

namespace {

// Chorus and flanger without sweep or feedback are a plain (fractional) delay; reverb leaves a decaying tail.
TEST(SoundEffects, ModulatedDelaysAndReverbTail) {
  FreshSystem();
  const int f = ImpulseSample(0.2);
  snd::SetEffects(f, snd::kEffectFlanger);
  snd::SetEffectParams(f, snd::EffectKind::Flanger, {100, 0, 0, 1, 1, 2, 2});  // 2 ms = 88.2 frames
  snd::Play(f, false);
  std::vector<float> out = Mix(200);
  EXPECT_NEAR(out[0], 0.0f, 1e-6);
  EXPECT_NEAR(out[2 * 88], 0.4f, 1e-4);
  EXPECT_NEAR(out[2 * 89 + 1], 0.1f, 1e-4);
  snd::Stop(f);

  const int c = ImpulseSample(0.2);
  snd::SetEffects(c, snd::kEffectChorus);
  snd::SetEffectParams(c, snd::EffectKind::Chorus, {50, 0, 0, 1, 0, 10, 2});  // 10 ms = 441 frames
  snd::Play(c, false);
  out = Mix(500);
  EXPECT_NEAR(out[0], 0.25f, 1e-6);
  EXPECT_NEAR(out[2 * 441], 0.25f, 1e-4);
  snd::Stop(c);

  const int r = ImpulseSample(0.05);
  snd::SetEffects(r, snd::kEffectReverb);
  snd::SetEffectParams(r, snd::EffectKind::Reverb, {0, 0, 500, 0.5});
  snd::Play(r, false);
  out = Mix(kRate);
  const double early = Rms(out, 0, 2000, 6000), late = Rms(out, 0, 30000, 34000);
  EXPECT_GT(early, 1e-4);
  EXPECT_LT(late, early / 10);  // 500 ms to fall by 60 dB
  EXPECT_FALSE(snd::IsPlaying(r));  // the tail rings on after the sound itself has ended
}

}  // namespace

namespace {

// The media player takes file names below 127 characters; a longer one shows its message and plays nothing.
TEST(SoundSamples, MediaFileNamesTooLongForThePlayer) {
  FreshSystem();
  std::vector<std::string> messages;
  snd::SetSoundMessageHook([&](const std::string& m) { messages.push_back(m); });
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / std::string(120, 'd');
  std::filesystem::create_directories(dir);
  const std::filesystem::path file = dir / "tone.wav";
  const std::vector<uint8_t> bytes = Wav16(Sine(440, 0.1, kRate, 0.2), 1, kRate);
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const int s = snd::SampleFromFile(file.string(), snd::kKindMultimedia);
  snd::Play(s, false);
  EXPECT_FALSE(snd::IsPlaying(s));
  EXPECT_EQ(messages, std::vector<std::string>{"Music file name too long for player."});
  snd::SetSoundMessageHook(nullptr);
  std::filesystem::remove_all(dir);
}

}  // namespace
