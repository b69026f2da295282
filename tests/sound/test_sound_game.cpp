// End to end: a kvpack game with sounds plays headless; the captured mix is not silent, follows the game's
// sound calls, and is bit-identical between two runs.
#include <gtest/gtest.h>

#include "runner/runner_options.h"
#include "sound_test_util.h"
#include "world/test_run_fixture.h"

namespace {

using kvtest::Result;
using RunSoundGame = kvtest::RunGameTest;
namespace fs = std::filesystem;

std::vector<float> ReadCapture(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> samples;
  if (bytes.size() < 44 || std::string(bytes.data(), 4) != "RIFF") return samples;
  samples.resize((bytes.size() - 44) / 4);
  std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 4);
  return samples;
}

TEST_F(RunSoundGame, CaptureFollowsTheGameAndRepeatsExactly) {
  const std::vector<uint8_t> tone =
      kv::soundtest::Wav16(kv::soundtest::Sine(440, 0.5, 44100, 0.3), 1, 44100);
  fs::create_directories(dir / "project" / "sounds");
  std::ofstream(dir / "project" / "sounds" / "tone.wav", std::ios::binary)
      .write(reinterpret_cast<const char*>(tone.data()), static_cast<std::streamsize>(tone.size()));
  Write("game.kvp",
        "[sound snd_tone]\n"
        "file = sounds/tone.wav\n"
        "[sound snd_media]\n"
        "file = sounds/tone.wav\n"
        "kind = multimedia\n"
        "effects = echo\n"
        "preload = false\n"
        "[object obj_player]\n"
        "event create = create.kvs\n"
        "event step = step.kvs\n"
        "[room rm_one]\n"
        "speed = 10\n"
        "instance obj_player 0 0\n");
  Write("create.kvs", "n = 0; sound_play(snd_tone); show_debug_message(sound_exists(99)); "
                      "show_debug_message(sound_isplaying(99)); show_debug_message(sound_get_kind(snd_media));");
  Write("step.kvs",
        "n += 1; show_debug_message(string(n) + ' ' + string(sound_isplaying(snd_tone)) + ' ' + "
        "string(sound_isplaying(snd_media)));"
        "if (n == 6) sound_play(snd_media); if (n == 8) sound_stop(snd_media);");
  const std::string game = Pack();
  Result dump = kvtest::RunCommand(std::string(KV_BIN_DIR) + "/kvpack --dump " + game);
  EXPECT_NE(dump.out.find("snd_tone  normal, tone.wav"), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("snd_media  multimedia, tone.wav"), std::string::npos);
  EXPECT_NE(dump.out.find("effects 2, preload false"), std::string::npos);

  const fs::path a = dir / "a.wav", b = dir / "b.wav";
  Result r = Play(game, "--steps 10 --audio-capture " + a.string());
  EXPECT_EQ(r.exitCode, 0);
  // At 10 steps a second the half-second tone plays through step 5; the media sound from step 6 until the stop
  // in step 8 (the media player ignores the effects).
  EXPECT_EQ(r.out, "0\n0\n3\n1 1 0\n2 1 0\n3 1 0\n4 1 0\n5 1 0\n6 0 0\n7 0 1\n8 0 1\n9 0 0\n10 0 0\n");
  ASSERT_EQ(Play(game, "--steps 10 --audio-capture " + b.string()).exitCode, 0);
  const std::vector<float> first = ReadCapture(a), second = ReadCapture(b);
  ASSERT_EQ(first.size(), 2u * 44100);  // ten steps of a tenth of a second
  EXPECT_EQ(first, second);
  EXPECT_GT(kv::soundtest::Rms(first, 0, 0, 22050), 0.5);       // the tone, +10 dB of global volume
  EXPECT_GT(kv::soundtest::Rms(first, 0, 22050, 30870), 0.1);    // the media sound at its own level
  EXPECT_EQ(kv::soundtest::Rms(first, 0, 30870, 44100), 0.0);    // silence after the stop
}

}  // namespace

namespace {

TEST(SoundOptions, AudioOptionsParse) {
  const auto r = kv::ParseRunnerOptions({"g.exe", "--audio", "null", "--audio-capture=out.wav"});
  ASSERT_EQ(r.status, kv::OptionsParseResult::Status::Run);
  EXPECT_EQ(r.options.audio, "null");
  EXPECT_EQ(r.options.audioCapture, "out.wav");
  EXPECT_EQ(kv::ParseRunnerOptions({"--audio", "loud"}).status, kv::OptionsParseResult::Status::Error);
  EXPECT_EQ(kv::ParseRunnerOptions({"--audio-capture"}).status, kv::OptionsParseResult::Status::Error);
}

// With a window the mix goes to the audio device: SDL's disk driver stands in for one and must not stay silent.
TEST_F(RunSoundGame, DeviceOutputReachesTheAudioDevice) {
  const std::string game = (dir / "demo.kvgame").string();
  ASSERT_EQ(kvtest::RunCommand(std::string(KV_BIN_DIR) + "/kvpack " + KV_SOURCE_DIR + "/demo " + game).exitCode, 0);
  const fs::path raw = dir / "device.raw";
  Result r = kvtest::RunCommand("env SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=disk "
                                "SDL_DISKAUDIOFILE=" + raw.string() + " " + KV_BIN_DIR + "/kvrun " + game +
                                " --steps 40");
  if (r.exitCode != 0) GTEST_SKIP() << "no offscreen window for a device run";
  std::vector<float> samples(fs::exists(raw) ? fs::file_size(raw) / 4 : 0);
  std::ifstream(raw, std::ios::binary).read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 4));
  ASSERT_GT(samples.size(), 4410u);
  EXPECT_GT(kv::soundtest::Rms(samples, 0), 0.001);
}

}  // namespace

namespace {

// The CD functions in a game: no drive by default; a stand-in disc plays on the game's sound clock.
TEST_F(RunSoundGame, CdAudioFollowsTheSoundClock) {
  Write("game.kvp",
        "[object obj_cd]\nevent create = create.kvs\nevent step = step.kvs\n"
        "[room rm]\nspeed = 10\ninstance obj_cd 0 0\n");
  Write("create.kvs", "n = 0; cd_init(); show_debug_message(string(cd_present()) + ' ' + string(cd_number())); "
                      "cd_play(2, 2); show_debug_message(MCI_command('status cdaudio mode'));");
  Write("step.kvs", "n += 1; if (n == 11) { show_debug_message(string(cd_track()) + ' ' + string(cd_position()) + ' ' +"
                    " string(cd_track_position())); game_end(); }");
  const std::string game = Pack();
  Result none = Play(game, "--steps 20");
  EXPECT_EQ(none.out, "0 0\n\n0 0 0\n");
  Result disc = kvtest::RunCommand("env KV_CD_TRACKS=60000,30000,45000 " + std::string(KV_BIN_DIR) + "/kvrun " + game +
                                   " --headless --fast --steps 20");
  EXPECT_EQ(disc.out, "1 3\nplaying\n2 61000 1000\n");
}

}  // namespace
