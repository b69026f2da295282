// The CD audio functions on a fake drive (track and time arithmetic of each command string), and the media
// command interpreter: replies, refusals, file aliases.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/cd_drive.h"
#include "sound/sound_mci.h"
#include "sound/support_cd.h"
#include "sound_test_util.h"

namespace {

using namespace kv;
using namespace kv::soundtest;

class CdAudio : public ::testing::Test {
 protected:
  void SetUp() override {
    FreshSystem();
    snd::MciReset();
    // Twelve tracks of 3:00, 2:30, 4:00, ... (ms).
    std::vector<int64_t> tracks = {180000, 150000, 240000};
    for (int i = 3; i < 12; ++i) tracks.push_back(120000);
    drive = std::make_unique<plat::FakeCdDrive>(tracks);
    snd::SetCdDrive(drive.get());
  }
  void TearDown() override {
    snd::SetCdDrive(nullptr);
    snd::MciReset();
  }
  void Advance(int ms) { Mix(ms * snd::kMixRate / 1000); }

  std::unique_ptr<plat::FakeCdDrive> drive;
};

TEST_F(CdAudio, DiscFiguresAndPlayRanges) {
  snd::CdInit();
  EXPECT_TRUE(snd::CdPresent());
  EXPECT_EQ(snd::CdNumber(), 12);
  EXPECT_EQ(snd::CdLength(), 180000 + 150000 + 240000 + 9 * 120000);
  EXPECT_EQ(snd::CdTrackLength(2), 150000);
  EXPECT_EQ(snd::CdTrackLength(0), 0);
  EXPECT_EQ(snd::CdTrackLength(13), 0);

  snd::CdPlay(3, 2);  // last before first: nothing
  EXPECT_FALSE(snd::CdPlaying());
  snd::CdPlay(0, 99);  // from track 1 to the end
  EXPECT_TRUE(snd::CdPlaying());
  EXPECT_EQ(snd::MciCommand("status cdaudio position"), "01:00:00:00");
  Advance(1000);
  EXPECT_EQ(snd::CdPosition(), 1000);

  snd::CdPlay(2, 2);  // exactly track 2: "play cdaudio from 2 to 3"
  EXPECT_EQ(snd::CdTrack(), 2);
  snd::CdSetTrackPosition(65000);
  EXPECT_EQ(snd::CdTrack(), 2);
  EXPECT_EQ(snd::CdTrackPosition(), 65000);  // 1 minute 5 seconds into the track
  EXPECT_EQ(snd::CdPosition(), 180000 + 65000);
  EXPECT_EQ(snd::MciCommand("play cdaudio from 2:2:29 to 3"), "");
  Advance(1500);  // passes the end of track 2: the play stops there
  EXPECT_FALSE(snd::CdPlaying());
  EXPECT_TRUE(snd::CdPaused());  // "stopped" counts as paused
  EXPECT_EQ(snd::CdPosition(), 330000);
}

TEST_F(CdAudio, PauseResumeSeekAndTheDoor) {
  snd::CdPlay(1, 12);
  Advance(2000);
  snd::CdPause();
  EXPECT_EQ(snd::MciCommand("status cdaudio mode"), "paused");
  Advance(2000);
  EXPECT_EQ(snd::CdPosition(), 2000);
  snd::CdResume();
  Advance(1000);
  EXPECT_EQ(snd::CdPosition(), 3000);
  snd::CdStop();
  snd::CdSetPosition(200000);  // not playing: a seek
  EXPECT_FALSE(snd::CdPlaying());
  EXPECT_EQ(snd::CdTrack(), 2);
  snd::CdOpenDoor();
  EXPECT_FALSE(snd::CdPresent());
  EXPECT_EQ(snd::CdNumber(), 0);
  snd::CdCloseDoor();
  EXPECT_TRUE(snd::CdPresent());

  snd::SetCdDrive(nullptr);  // no drive present
  snd::CdInit();
  EXPECT_FALSE(snd::CdPresent());
  EXPECT_EQ(snd::CdNumber(), 0);
  EXPECT_EQ(snd::CdTrack(), 0);
  EXPECT_EQ(snd::CdLength(), 0);
  snd::CdPlay(1, 2);
  EXPECT_FALSE(snd::CdPlaying());
}

TEST(MediaCommands, RepliesRefusalsAndFileAliases) {
  FreshSystem();
  snd::MciReset();
  EXPECT_EQ(snd::ReplyNumber("12"), 12);
  EXPECT_EQ(snd::ReplyNumber("track 0:4"), 4);
  EXPECT_EQ(snd::ReplyNumber("none"), 0);
  // Recording, saving and anything unknown reply nothing and touch no file.
  const std::filesystem::path out = std::filesystem::temp_directory_path() / "kv_mci_should_not_exist.wav";
  std::filesystem::remove(out);
  EXPECT_EQ(snd::MciCommand("open new type waveaudio alias rec"), "");
  EXPECT_EQ(snd::MciCommand("record rec"), "");
  EXPECT_EQ(snd::MciCommand("save rec " + out.string()), "");
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(snd::MciCommand("sysinfo all quantity"), "");
  EXPECT_EQ(snd::MciCommand(""), "");

  const std::filesystem::path file = std::filesystem::temp_directory_path() / "kv mci tone.wav";
  {
    const std::vector<uint8_t> bytes = Wav16(Sine(440, 2, snd::kMixRate, 0.3), 1, snd::kMixRate);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  EXPECT_EQ(snd::MciCommand("open \"" + file.string() + "\" type waveaudio alias tune"), "");
  EXPECT_EQ(snd::MciCommand("set tune time format milliseconds"), "");
  EXPECT_EQ(snd::MciCommand("status tune length"), "2000");
  EXPECT_EQ(snd::MciCommand("status tune mode"), "stopped");
  EXPECT_EQ(snd::MciCommand("play tune from 500"), "");
  EXPECT_EQ(snd::MciCommand("status TUNE mode"), "playing");
  EXPECT_GT(Rms(Mix(4410), 0), 0.05);
  EXPECT_EQ(snd::MciCommand("status tune position"), "600");
  EXPECT_EQ(snd::MciCommand("pause tune"), "");
  EXPECT_EQ(snd::MciCommand("status tune mode"), "paused");
  EXPECT_EQ(Rms(Mix(4410), 0), 0.0);
  EXPECT_EQ(snd::MciCommand("seek tune to end"), "");
  EXPECT_EQ(snd::MciCommand("status tune position"), "2000");
  EXPECT_EQ(snd::MciCommand("close tune"), "");
  EXPECT_EQ(snd::MciCommand("status tune mode"), "");
  std::filesystem::remove(file);
}

}  // namespace
