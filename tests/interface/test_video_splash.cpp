// Video splashes: a short clip written here as an uncompressed AVI decodes frame by frame; the splash shows the
// frames at their times and ends after the last one, or starts again when it loops; headless, the splash lasts
// the clip's length on the virtual clock.
#include <gtest/gtest.h>

#include <cstdio>
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

// Frames of one colour each (frame i has red 30·i), 24-bit bottom-up rows, `fps` frames a second.
std::string MakeAvi(int width, int height, int frames, int fps) {
  const int row = (width * 3 + 3) / 4 * 4, size = row * height;
  std::string avih;
  Put32(avih, 1000000 / fps), Put32(avih, size * fps), Put32(avih, 0), Put32(avih, 0x10);
  Put32(avih, frames), Put32(avih, 0), Put32(avih, 1), Put32(avih, size), Put32(avih, width), Put32(avih, height);
  for (int i = 0; i < 4; ++i) Put32(avih, 0);
  std::string strh = "vidsDIB ";
  Put32(strh, 0), Put16(strh, 0), Put16(strh, 0), Put32(strh, 0), Put32(strh, 1), Put32(strh, fps), Put32(strh, 0);
  Put32(strh, frames), Put32(strh, size), Put32(strh, 0xFFFFFFFF), Put32(strh, 0);
  Put16(strh, 0), Put16(strh, 0), Put16(strh, static_cast<uint16_t>(width)), Put16(strh, static_cast<uint16_t>(height));
  std::string strf;
  Put32(strf, 40), Put32(strf, width), Put32(strf, height), Put16(strf, 1), Put16(strf, 24), Put32(strf, 0);
  Put32(strf, size), Put32(strf, 0), Put32(strf, 0), Put32(strf, 0), Put32(strf, 0);
  std::string movi, index;
  for (int f = 0; f < frames; ++f) {
    std::string pixels(static_cast<size_t>(size), '\0');
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * row + x * 3 + 2] = static_cast<char>(30 * f);
    index += "00db";
    Put32(index, 0x10), Put32(index, static_cast<uint32_t>(4 + movi.size())), Put32(index, size);
    movi += Chunk("00db", pixels);
  }
  const std::string body = List("hdrl", Chunk("avih", avih) + List("strl", Chunk("strh", strh) + Chunk("strf", strf))) +
                           List("movi", movi) + Chunk("idx1", index);
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
