// Decoding stored sounds: the same sine stored as WAV, Ogg Vorbis and FLAC (at another rate, mono) decodes to
// the same stereo frames at the mixer rate; a tiny MIDI song renders audible sound that ends, at the tempo set.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/audio_decode.h"
#include "sound_test_util.h"

namespace {

using namespace kv;
using namespace kv::soundtest;

// Correlation of two equally long signals (1 = identical shape).
double Correlation(const std::vector<float>& a, const std::vector<float>& b, size_t from, size_t to) {
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = from; i < to; ++i) {
    ab += static_cast<double>(a[i]) * b[i];
    aa += static_cast<double>(a[i]) * a[i];
    bb += static_cast<double>(b[i]) * b[i];
  }
  return ab / std::sqrt(aa * bb);
}

TEST(SoundDecode, WavOggAndFlacGiveTheSameFrames) {
  const std::vector<float> sine = Sine(441, 0.5, 22050, 0.5);
  const auto wav = plat::DecodeAudio(Wav16(sine, 1, 22050).data(), Wav16(sine, 1, 22050).size());
  ASSERT_TRUE(wav);
  EXPECT_EQ(wav->Frames(), 22050);  // resampled to 44.1 kHz
  EXPECT_NEAR(Rms(wav->samples, 0), 0.5 / std::sqrt(2.0), 0.01);
  EXPECT_EQ(wav->samples[2000], wav->samples[2001]);  // mono becomes both channels

  for (auto [format, ext] : {std::pair{SF_FORMAT_OGG | SF_FORMAT_VORBIS, ".ogg"},
                             std::pair{SF_FORMAT_FLAC | SF_FORMAT_PCM_16, ".flac"}}) {
    const std::vector<uint8_t> bytes = Encode(sine, 22050, format, ext);
    ASSERT_FALSE(bytes.empty()) << ext;
    const auto pcm = plat::DecodeAudio(bytes.data(), bytes.size());
    ASSERT_TRUE(pcm) << ext;
    EXPECT_NEAR(static_cast<double>(pcm->Frames()), 22050.0, 2.0) << ext;
    EXPECT_GT(Correlation(pcm->samples, wav->samples, 4000, 40000), 0.99) << ext;
  }
  const uint8_t junk[] = "RIFF but not really a wave file at all";
  EXPECT_FALSE(plat::DecodeAudio(junk, sizeof junk));
  EXPECT_FALSE(plat::DecodeAudio(nullptr, 0));
}

// One middle C for a quarter note at 120 beats a minute (0.5 s).
std::vector<uint8_t> TinyMidi() {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,                    // format 0, 1 track, 96 ticks
          'M', 'T', 'r', 'k', 0, 0, 0, 13,                                      // track of 13 bytes
          0x00, 0x90, 60, 100,                                                  // note on
          0x60, 0x80, 60, 64,                                                   // 96 ticks later, note off
          0x00, 0xFF, 0x2F, 0x00,                                               // end of track
          0x00};
}

std::unique_ptr<plat::IMidiSource> MidiOrSkip() {
  if (!std::filesystem::exists("/usr/share/sounds/sf2/default-GM.sf2") && !std::getenv("KV_SOUNDFONT")) return nullptr;
  return plat::CreateMidiSource(TinyMidi());
}

TEST(SoundDecode, MidiRendersAndEndsAtItsTempo) {
  auto midi = MidiOrSkip();
  if (!midi) GTEST_SKIP() << "no General MIDI soundfont installed";
  std::vector<float> out(44100 * 2, 0.0f);
  midi->Start(false);
  midi->Render(out.data(), 44100 / 4);
  EXPECT_GT(Rms(out, 0, 0, 44100 / 4), 0.001);
  EXPECT_TRUE(midi->Playing());
  for (int i = 0; i < 4; ++i) midi->Render(out.data(), 44100 / 4);
  EXPECT_FALSE(midi->Playing());

  // At half tempo the note lasts a second: still playing after 0.75 s.
  midi->SetTempo(0.5);
  midi->Start(false);
  for (int i = 0; i < 3; ++i) midi->Render(out.data(), 44100 / 4);
  EXPECT_TRUE(midi->Playing());
  midi->Stop();
  EXPECT_FALSE(midi->Playing());
  EXPECT_EQ(plat::CreateMidiSource({1, 2, 3}), nullptr);
}

}  // namespace

namespace {

// MIDI samples make their synthesiser when first played; a fifth song playing at once takes the synthesiser of
// the one started first, which stops.
TEST(SoundDecode, AtMostFourMidiSynthesisersLive) {
  if (!MidiOrSkip()) GTEST_SKIP() << "no General MIDI soundfont installed";
  FreshSystem();
  std::vector<int> songs;
  for (int i = 0; i < 5; ++i) songs.push_back(snd::SampleFromMemory(TinyMidi(), snd::kKindNormal));
  for (int s : songs) {
    ASSERT_GE(s, 0);
    snd::Play(s, true);
  }
  EXPECT_FALSE(snd::IsPlaying(songs[0]));
  for (int i = 1; i < 5; ++i) EXPECT_TRUE(snd::IsPlaying(songs[i])) << i;
  EXPECT_GT(Rms(Mix(4410), 0), 0.001);
  snd::Play(songs[0], false);  // comes back, taking the synthesiser of song 1
  EXPECT_TRUE(snd::IsPlaying(songs[0]));
  EXPECT_FALSE(snd::IsPlaying(songs[1]));
}

}  // namespace
