// The sound script functions on a sound table: messages for missing sounds, samples made on first use, the
// media player fallback through a private temporary file, and the table functions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "code/code_function.h"
#include "functions/call_builtin.h"
#include "runner/game_sections.h"
#include "sound/sound_main.h"
#include "sound_test_util.h"
#include "world/world_state.h"
#include "runner/runner_wiring.h"

namespace {

using namespace kv;
using namespace kv::soundtest;
using kv::test::S;
namespace fs = std::filesystem;

class SoundFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterAllBuiltinFunctions();
    FreshSystem();
    tempDir = fs::temp_directory_path() / ("kv_sound_fn_" + std::to_string(::getpid()));
    fs::remove_all(tempDir);
    fs::create_directories(tempDir);
    SetSoundTempDirectory(tempDir.string());
    SetWorldResources(&res);
  }
  void TearDown() override {
    SetWorldResources(nullptr);
    res.sounds.Clear();
    SetSoundTempDirectory("");
    fs::remove_all(tempDir);
  }
  int AddStored(int kind, std::vector<uint8_t> bytes, const std::string& ext, bool preload = false) {
    auto s = std::make_unique<CSound>();
    s->kind = kind;
    s->extension = ext;
    s->fileName = "x" + ext;
    s->data = std::move(bytes);
    s->preload = preload;
    return res.sounds.Add("snd" + std::to_string(res.sounds.Count()), std::move(s));
  }

  GameResources res;
  fs::path tempDir;
  test::BuiltinCaller call;
};

TEST_F(SoundFunctions, MissingSoundsReportAndPlayingSoundsPlay) {
  const int tone = AddStored(0, Wav16(Sine(440, 0.2, 44100, 0.2), 1, 44100), ".wav");
  for (const char* fn : {"sound_play", "sound_loop", "sound_stop"}) {
    call.Call(fn, {99.0});
    EXPECT_TRUE(call.TookError("Sound does not exist.")) << fn;
  }
  call.Call("sound_volume", {-1.0, 0.5});
  EXPECT_TRUE(call.TookError("Sound does not exist."));
  call.Call("sound_effect_echo", {99.0, 1.0, 2.0, 3.0, 4.0, 0.0});
  EXPECT_TRUE(call.TookError("Sound does not exist."));
  EXPECT_EQ(call.Real("sound_isplaying", {99.0}), 0.0);
  EXPECT_TRUE(call.NoErrors());

  EXPECT_EQ(res.sounds.Get(tone)->sample, -1);  // made on first use
  call.Call("sound_volume", {static_cast<double>(tone), 0.5});
  const int sample = res.sounds.Get(tone)->sample;
  ASSERT_GE(sample, 0);
  EXPECT_EQ(snd::SampleVolume(sample), -4800);
  call.Call("sound_volume", {static_cast<double>(tone), 1.0});
  call.Call("sound_play", {static_cast<double>(tone)});
  EXPECT_EQ(call.Real("sound_isplaying", {static_cast<double>(tone)}), 1.0);
  EXPECT_GT(Rms(Mix(4410), 0), 0.1);
  call.Call("sound_effect_set", {static_cast<double>(tone), 2.0 + 16.0});
  EXPECT_EQ(snd::SampleEffects(sample), (std::vector<snd::EffectKind>{snd::EffectKind::Echo, snd::EffectKind::Reverb}));
  call.Call("sound_stop_all");
  EXPECT_EQ(call.Real("sound_isplaying", {static_cast<double>(tone)}), 0.0);
  call.Call("sound_global_volume", {1.0});
  EXPECT_EQ(snd::GlobalVolume(), 1000);
  call.Call("sound_background_tempo", {500.0});
  EXPECT_EQ(snd::Tempo(), 100.0);
  EXPECT_TRUE(call.NoErrors());
}

// Data the engine refuses goes to the media player through a new file in the temporary directory (never one
// that exists); undecodable files stay silent without a message; a zero-length file is not looped.
TEST_F(SoundFunctions, RefusedDataFallsBackToTheMediaPlayer) {
  const int junk = AddStored(0, {'j', 'u', 'n', 'k', '!', '!'}, ".xyz");
  call.Call("sound_loop", {static_cast<double>(junk)});
  EXPECT_TRUE(call.NoErrors());
  const CSound& s = *res.sounds.Get(junk);
  EXPECT_EQ(s.kind, 3);
  EXPECT_FALSE(s.data.has_value());
  ASSERT_FALSE(s.temporaryFile.empty());
  EXPECT_EQ(fs::path(s.temporaryFile).parent_path(), tempDir);
  EXPECT_EQ(fs::path(s.temporaryFile).extension(), ".xyz");
  EXPECT_EQ(fs::file_size(s.temporaryFile), 6u);
  EXPECT_EQ(call.Real("sound_isplaying", {static_cast<double>(junk)}), 0.0);

  // A media sound plays through the player at its own level, ignoring volume; a second one takes the player.
  const int media = AddStored(3, Wav16(Sine(440, 0.2, 44100, 0.2), 1, 44100), ".wav");
  const int other = AddStored(3, Wav16(Sine(880, 0.2, 44100, 0.2), 1, 44100), ".wav");
  call.Call("sound_volume", {static_cast<double>(media), 0.0});
  call.Call("sound_loop", {static_cast<double>(media)});
  EXPECT_NE(res.sounds.Get(media)->temporaryFile, res.sounds.Get(other)->temporaryFile);
  EXPECT_NEAR(Rms(Mix(4410), 0), 0.2 / std::sqrt(2.0), 0.01);
  Mix(44100);
  EXPECT_EQ(call.Real("sound_isplaying", {static_cast<double>(media)}), 1.0);  // looping
  call.Call("sound_play", {static_cast<double>(other)});
  EXPECT_EQ(call.Real("sound_isplaying", {static_cast<double>(media)}), 0.0);
  EXPECT_EQ(call.Real("sound_isplaying", {static_cast<double>(other)}), 1.0);
  call.Call("sound_stop", {static_cast<double>(media)});  // not the player's file: nothing
  EXPECT_EQ(call.Real("sound_isplaying", {static_cast<double>(other)}), 1.0);

  const int empty = AddStored(3, Wav16({}, 1, 44100), ".wav");
  call.Call("sound_loop", {static_cast<double>(empty)});
  Mix(100);
  EXPECT_EQ(call.Real("sound_isplaying", {static_cast<double>(empty)}), 0.0);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(SoundFunctions, TableFunctionsAddReplaceAndDelete) {
  const fs::path file = tempDir / "added.wav";
  {
    const std::vector<uint8_t> bytes = Wav16(Sine(300, 0.1, 44100, 0.2), 1, 44100);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  const double added = call.Real("sound_add", {S(file.string()), 0.0, 1.0});
  ASSERT_EQ(added, 0.0);
  EXPECT_EQ(call.Str("sound_get_name", {added}), "__newsound0");
  EXPECT_GE(res.sounds.Get(0)->sample, 0);  // preload: made at once
  EXPECT_EQ(res.sounds.Get(0)->extension, ".wav");
  EXPECT_EQ(call.Real("sound_add", {S((tempDir / "missing.wav").string()), 0.0, 0.0}), -1.0);
  EXPECT_EQ(call.Real("sound_replace", {added, S(file.string()), 1.0, 0.0}), 1.0);
  EXPECT_EQ(call.Real("sound_get_kind", {added}), 1.0);
  EXPECT_EQ(res.sounds.Get(0)->sample, -1);
  call.Call("sound_replace", {7.0, S(file.string()), 1.0, 0.0});
  EXPECT_TRUE(call.TookError("Trying to replace non-existing sound."));
  call.Call("sound_delete", {added});
  EXPECT_EQ(call.Real("sound_exists", {added}), 0.0);
  call.Call("sound_delete", {added});
  EXPECT_TRUE(call.TookError("Trying to delete non-existing sound."));
  EXPECT_EQ(call.Str("sound_name", {added}), "<undefined>");
}

}  // namespace
