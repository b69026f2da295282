// Video splashes: a short clip written here as an uncompressed AVI decodes frame by frame; the splash shows the
// frames at their times and ends after the last one, or starts again when it loops; headless, the splash lasts
// the clip's length on the virtual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "interface/video_splash.h"
#include "platform/video_decode.h"
#include "../world/test_run_fixture.h"

namespace {

void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}
std::string Chunk(const char* id, const std::string& data) {
  std::string s(id, 4);
  Put32(s, static_cast<uint32_t>(data.size()));
  s += data;
  if (data.size() % 2) s += '\0';
  return s;
}
std::string List(const char* kind, const std::string& data) { return Chunk("LIST", std::string(kind, 4) + data); }

// Frames of one colour each (frame i has red 30·i), 24-bit bottom-up rows, `fps` frames a second; with `sound`
// a 440 Hz tone (16-bit stereo, 22050 Hz) as long as the video.
std::string MakeAvi(int width, int height, int frames, int fps, bool sound = false) {
  const int row = (width * 3 + 3) / 4 * 4, size = row * height;
  const int rate = 22050, perFrame = rate / fps;
  std::string avih;
  Put32(avih, 1000000 / fps), Put32(avih, size * fps), Put32(avih, 0), Put32(avih, 0x10);
  Put32(avih, frames), Put32(avih, 0), Put32(avih, sound ? 2 : 1), Put32(avih, size), Put32(avih, width);
  Put32(avih, height);
  for (int i = 0; i < 4; ++i) Put32(avih, 0);
  std::string strh = "vidsDIB ";
  Put32(strh, 0), Put16(strh, 0), Put16(strh, 0), Put32(strh, 0), Put32(strh, 1), Put32(strh, fps), Put32(strh, 0);
  Put32(strh, frames), Put32(strh, size), Put32(strh, 0xFFFFFFFF), Put32(strh, 0);
  Put16(strh, 0), Put16(strh, 0), Put16(strh, static_cast<uint16_t>(width)), Put16(strh, static_cast<uint16_t>(height));
  std::string strf;
  Put32(strf, 40), Put32(strf, width), Put32(strf, height), Put16(strf, 1), Put16(strf, 24), Put32(strf, 0);
  Put32(strf, size), Put32(strf, 0), Put32(strf, 0), Put32(strf, 0), Put32(strf, 0);
  std::string streams = List("strl", Chunk("strh", strh) + Chunk("strf", strf));
  if (sound) {
    std::string ah = std::string("auds") + std::string(4, '\0');
    Put32(ah, 0), Put16(ah, 0), Put16(ah, 0), Put32(ah, 0), Put32(ah, 4), Put32(ah, rate * 4), Put32(ah, 0);
    Put32(ah, perFrame * frames), Put32(ah, perFrame * 4), Put32(ah, 0xFFFFFFFF), Put32(ah, 4);
    for (int i = 0; i < 4; ++i) Put16(ah, 0);
    std::string af;
    Put16(af, 1), Put16(af, 2), Put32(af, rate), Put32(af, rate * 4), Put16(af, 4), Put16(af, 16), Put16(af, 0);
    streams += List("strl", Chunk("strh", ah) + Chunk("strf", af));
  }
  std::string movi, index;
  for (int f = 0; f < frames; ++f) {
    std::string pixels(static_cast<size_t>(size), '\0');
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * row + x * 3 + 2] = static_cast<char>(30 * f);
    index += "00db";
    Put32(index, 0x10), Put32(index, static_cast<uint32_t>(4 + movi.size())), Put32(index, size);
    movi += Chunk("00db", pixels);
    if (sound) {
      std::string pcm;
      for (int i = 0; i < perFrame; ++i) {
        const int16_t v = static_cast<int16_t>(8000 * std::sin(2 * 3.14159265 * 440 * (f * perFrame + i) / rate));
        Put16(pcm, static_cast<uint16_t>(v)), Put16(pcm, static_cast<uint16_t>(v));
      }
      index += "01wb";
      Put32(index, 0x10), Put32(index, static_cast<uint32_t>(4 + movi.size())), Put32(index, static_cast<uint32_t>(pcm.size()));
      movi += Chunk("01wb", pcm);
    }
  }
  const std::string body = List("hdrl", Chunk("avih", avih) + streams) + List("movi", movi) + Chunk("idx1", index);
  return Chunk("RIFF", "AVI " + body);
}

class VideoSplash : public kvtest::RunGameTest {
 protected:
  void SetUp() override {
    if (!kv::plat::VideoDecodingAvailable()) GTEST_SKIP() << "this build decodes no video";
    RunGameTest::SetUp();
    clip = (dir / "project" / "clip.avi").string();
    std::ofstream(clip, std::ios::binary) << MakeAvi(32, 16, 8, 10);
  }
  std::string clip;
};

TEST_F(VideoSplash, FramesPlayAtTheirTimesThenEndOrLoop) {
  auto video = kv::plat::OpenVideo(clip);
  ASSERT_TRUE(video);
  EXPECT_EQ(video->Width(), 32);
  EXPECT_EQ(video->Height(), 16);
  EXPECT_NEAR(video->Duration(), 0.8, 0.01);
  kv::ui::SplashOptions o;
  o.width = 64;
  o.height = 64;
  kv::ui::VideoSplashView once(o, std::move(video), kv::ui::PlaceSplashImage(64, 64, 32, 16, -1), false);
  EXPECT_TRUE(once.Tick(0));
  EXPECT_EQ(once.FramesShown(), 1);
  EXPECT_TRUE(once.Tick(350));
  EXPECT_EQ(once.FramesShown(), 4);
  // Frame 3 (red 90) fills the area's middle, scaled to 64 × 32.
  const kv::CBitmap32& shown = once.Render();
  EXPECT_EQ(shown.Pixel(32, 32) & 0xFFFFFF, 90u << 16);
  EXPECT_EQ(shown.Pixel(32, 5) & 0xFFFFFF, 0u) << "the splash colour above the video";
  EXPECT_TRUE(once.Tick(799));
  EXPECT_EQ(once.FramesShown(), 8);
  EXPECT_FALSE(once.Tick(800)) << "over after the last frame's time";

  kv::ui::VideoSplashView looping(o, kv::plat::OpenVideo(clip), kv::ui::Rect{0, 0, 32, 16}, true);
  EXPECT_TRUE(looping.Tick(0));
  EXPECT_TRUE(looping.Tick(2050));
  EXPECT_EQ(looping.Loops(), 2);
  EXPECT_EQ(looping.FramesShown(), 21);
  EXPECT_FALSE(looping.Handle({kv::plat::FormEvent::Kind::Close})) << "the close button ends it";

  EXPECT_EQ(kv::plat::OpenVideo((dir / "project" / "game.kvp").string()), nullptr);
  EXPECT_TRUE(kv::plat::DecodeVideoSound(clip).empty()) << "a silent clip has no sound";
}

TEST_F(VideoSplash, SoundOfTheVideoDecodesForTheMixer) {
  const std::string loud = (dir / "project" / "loud.avi").string();
  std::ofstream(loud, std::ios::binary) << MakeAvi(32, 16, 8, 10, true);
  auto video = kv::plat::OpenVideo(loud);
  ASSERT_TRUE(video) << "the picture still decodes beside the sound";
  const std::vector<uint8_t> wav = kv::plat::DecodeVideoSound(loud);
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  const size_t frames = (wav.size() - 44) / 8;
  EXPECT_NEAR(static_cast<double>(frames) / 44100.0, 0.8, 0.02);
  double energy = 0;
  for (size_t i = 0; i < frames * 2; ++i) {
    float v;
    std::memcpy(&v, wav.data() + 44 + i * 4, 4);
    energy += v * v;
  }
  EXPECT_NEAR(std::sqrt(energy / (frames * 2)), 8000.0 / 32768 / std::sqrt(2.0), 0.02) << "the tone's level";
}

TEST_F(VideoSplash, HeadlessVideoTakesItsLengthOnTheVirtualClock) {
  Write("game.kvp", "[object obj_v]\nevent create = create.kvs\n[room rm_only]\ninstance obj_v 0 0\n");
  const std::string longName(130, 'v');
  Write("create.kvs",
        "t = current_time; splash_show_video('" + clip + "', false);"
        "show_debug_message('played ' + string(current_time - t >= 800));"
        "splash_show_video('" + longName + ".avi', false); show_debug_message('after long name');"
        "show_video('" + clip + "', false, true); show_debug_message('loop stopped'); game_end();");
  Write("answers.txt", "error ignore\n");
  std::ofstream(dir / "input.txt") << "@3 keydown 27\n";
  kvtest::Result r = Play(Pack(), "--steps 3 --virtual-clock --answers " +
                                      (dir / "project" / "answers.txt").string() + " --input " +
                                      (dir / "input.txt").string());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "played 1\nafter long name\nloop stopped\n");
}

}  // namespace
