// Where splashes and the game information go: beside the game (it keeps stepping, the form closes after its time
// counted in steps), modal (the game waits), inside the game window (the game waits and the form's pixels are
// the window's frame).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "graphics/bitmap_ops.h"
#include "interface/open_forms.h"

#include "../world/test_run_fixture.h"

namespace {

using kv::plat::FormEvent;
using kv::plat::FormPixels;

// A controller that records when it goes.
struct CountingForm final : kv::plat::IFormController {
  explicit CountingForm(std::vector<std::string>& log) : log(log) {}
  ~CountingForm() override { log.push_back("controller gone"); }
  FormPixels Paint() override { return {}; }
  bool Handle(const FormEvent&) override { return true; }
  std::vector<std::string>& log;
};

// A window that stays open for a number of pumps.
struct CountingWindow final : kv::plat::IFormWindow {
  CountingWindow(std::vector<std::string>& log, int pumps) : log(log), pumps(pumps) {}
  ~CountingWindow() override { log.push_back("window gone"); }
  bool Pump() override { return --pumps > 0; }
  std::vector<std::string>& log;
  int pumps;
};

kv::ui::OpenForm Timed(std::vector<std::string>& log, double millis, const std::string& name) {
  kv::ui::OpenForm f;
  f.controller = std::make_unique<CountingForm>(log);
  f.millisLeft = millis;
  f.closed = [&log, name] { log.push_back(name + " closed"); };
  return f;
}

TEST(OpenForms, TimeCountsInStepsWindowsCloseThemselvesAndAllCloseWithTheGame) {
  std::vector<std::string> log;
  kv::ui::OpenForms forms;
  forms.Add(Timed(log, 100, "timed"));  // four steps of 25 ms
  forms.Add(Timed(log, 0, "at once"));
  forms.Pump(25);  // the step it opened in does not count
  EXPECT_EQ(forms.Count(), 1);
  ASSERT_EQ(log, (std::vector<std::string>{"at once closed", "controller gone"}));
  log.clear();
  for (int i = 0; i < 3; ++i) forms.Pump(25);
  EXPECT_EQ(forms.Count(), 1) << "75 of 100 ms passed";
  forms.Pump(25);
  EXPECT_EQ(forms.Count(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"timed closed", "controller gone"}));

  // A window closes its form when it says so; the window goes before the form it shows.
  log.clear();
  kv::ui::OpenForm shown;
  shown.controller = std::make_unique<CountingForm>(log);
  shown.window = std::make_unique<CountingWindow>(log, 2);
  shown.millisLeft = 0;  // no meaning with a window
  forms.Add(std::move(shown));
  forms.Pump(1000);
  EXPECT_EQ(forms.Count(), 1);
  forms.Pump(1000);
  EXPECT_EQ(forms.Count(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"window gone", "controller gone"}));

  // The end of the game closes whatever is open, each told once.
  log.clear();
  forms.Add(Timed(log, 5000, "long"));
  forms.CloseAll();
  forms.CloseAll();
  EXPECT_EQ(log, (std::vector<std::string>{"long closed", "controller gone"}));
}

class SplashModes : public kvtest::RunGameTest {
 protected:
  void SetUp() override {
    RunGameTest::SetUp();
    picture = (dir / "project" / "pic.png").string();
    const std::vector<uint8_t> png = kv::gfx::EncodePng(kv::CBitmap32::Make(200, 100, 0xFF336699));
    std::ofstream(picture, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
  }
  // A room of 640 × 480 at 30 steps a second; the object prints every step and ends the game at `lastStep`.
  void Game(const std::string& create, int lastStep, const std::string& extra = "") {
    Write("game.kvp", "[object obj]\nevent create = create.kvs\nevent step = step.kvs\n"
                      "[room rm_only]\nwidth = 640\nheight = 480\nspeed = 30\ncolour = 0x00FF00\nshow_colour = on\n"
                      "instance obj 0 0\n" + extra);
    Write("create.kvs", "n = 0; " + create);
    Write("step.kvs", "n += 1; show_debug_message('step ' + string(n)); if (n == " + std::to_string(lastStep) +
                          ") game_end();");
  }
  // Output and transcript in the order they happened.
  kvtest::Result PlayBoth(const std::string& options) {
    return kvtest::RunCommand("(" + std::string(KV_BIN_DIR) + "/kvrun " + Pack() +
                              " --headless --fast --seed 1 " + options + " 2>&1)");
  }
  std::string picture;
};

// Beside the game: the create event goes on at once, the game steps while the splash is open, and without a
// window the splash's second lasts 30 steps of the room's speed.
TEST_F(SplashModes, SplashBesideTheGameKeepsItSteppingUntilItsTimeIsUp) {
  Game("splash_set_main(false); splash_set_interrupt(false); splash_show_image('" + picture +
           "', 1000); show_debug_message('went on');",
       32);
  const kvtest::Result r = PlayBoth("");
  EXPECT_EQ(r.exitCode, 0);
  const std::string closed = "for 1000 ms closed\n";
  const size_t opened = r.out.find("(the game goes on)\nwent on\nstep 1\n");
  EXPECT_NE(opened, std::string::npos) << r.out;
  const size_t at = r.out.find(closed);
  ASSERT_NE(at, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("step 30\nSplash: image"), std::string::npos) << "open during steps 1 to 30: " << r.out;
  EXPECT_NE(r.out.find(closed + "step 31\nstep 32\n"), std::string::npos) << r.out;

  // A new splash replaces the one open (the program has one splash window); one without time closes before the
  // next step.
  Game("splash_set_main(false); splash_set_interrupt(false); splash_show_image('" + picture +
           "', 1000); splash_show_image('" + picture + "', 0);",
       2);
  const kvtest::Result once = PlayBoth("");
  EXPECT_NE(once.out.find("for 1000 ms (the game goes on)\nSplash: image \"" + picture + "\" at 0,0 size 640x320 for "
                          "1000 ms closed\nSplash: image"),
            std::string::npos)
      << once.out;
  EXPECT_NE(once.out.find("640x320 (the game goes on)\nSplash: image \"" + picture + "\" at 0,0 size 640x320 closed\n"
                          "step 1\nstep 2\n"),
            std::string::npos)
      << once.out;
}

// Modal (the default for a window of its own): the game waits the splash's time on the clock before it steps;
// the game information with "pause the game" off does not stop it and takes no scripted answer.
TEST_F(SplashModes, ModalSplashWaitsAndGameInformationWithoutPauseDoesNot) {
  Game("splash_set_main(false); t = current_time; splash_show_image('" + picture +
           "', 1000); show_debug_message('waited ' + string(current_time - t >= 1000));"
           "show_info(); show_debug_message('info open');"
           "show_debug_message(string(show_question('still asked?')));",
       2, "[game_info]\ncaption = Help\npause_game = off\n");
  Write("answers.txt", "question yes\n");
  const kvtest::Result r =
      PlayBoth("--virtual-clock --answers " + (dir / "project" / "answers.txt").string());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("waited 1\n"), std::string::npos) << r.out;
  EXPECT_LT(r.out.find("waited 1\n"), r.out.find("step 1\n")) << r.out;
  EXPECT_NE(r.out.find("Game information: Help (the game goes on)\ninfo open\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1\nGame information: Help closed\nstep 1\n"), std::string::npos)
      << "the question got the scripted answer: " << r.out;
}

// Inside the game window the game waits until the splash is closed, and the splash is the window's frame: the
// splash colour around the image, the image scaled to the width and centred. The game information shown there
// waits for Escape too.
TEST_F(SplashModes, InsideTheGameWindowTheGameWaitsAndTheSplashIsDrawn) {
  Game("splash_set_main(true); splash_set_color(c_red); splash_show_image('" + picture +
           "', 0); show_debug_message('splash closed'); show_info(); show_debug_message('info closed');",
       2, "[game_info]\ncaption = Help\nshow_in_game_window = on\n");
  const std::string shot = (dir / "splash.png").string(), info = (dir / "info.png").string();
  std::ofstream(dir / "input.txt") << "@1 shot " << shot << "\n@1 keydown 27\n@1 keyup 27\n@1 shot " << info
                                   << "\n@1 keydown 27\n@1 keyup 27\n";
  const kvtest::Result r = PlayBoth("--input " + (dir / "input.txt").string());
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("in the game window\nsplash closed\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Game information: Help in the game window\ninfo closed\nstep 1\nstep 2\n"),
            std::string::npos)
      << r.out;
  const auto frame = kv::gfx::LoadImageFile(shot);
  ASSERT_TRUE(frame.has_value()) << r.out;
  ASSERT_EQ(frame->width, 640);
  ASSERT_EQ(frame->height, 480);
  // 200 × 100 fits 640 × 320, at y 80.
  EXPECT_EQ(frame->Pixel(5, 40) & 0xFFFFFF, 0xFF0000u) << "splash colour above the image";
  EXPECT_EQ(frame->Pixel(320, 240) & 0xFFFFFF, 0x336699u) << "the image";
  EXPECT_EQ(frame->Pixel(320, 81) & 0xFFFFFF, 0x336699u);
  EXPECT_EQ(frame->Pixel(320, 78) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(frame->Pixel(630, 470) & 0xFFFFFF, 0xFF0000u) << "below it";
  const auto text = kv::gfx::LoadImageFile(info);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->Pixel(320, 240) & 0xFFFFFF, 0xFFFFFFu) << "the information's white background, not the room";
}

}  // namespace

namespace {

bool HaveXvfbAndXdotool() {
  return std::system("command -v xvfb-run >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1") == 0;
}

// On a real (virtual X) screen: the splash beside the game is a window of its own that appears, closes itself
// after its time while the game still steps, and the game plays its steps meanwhile; so does the game
// information without pause, which stays open; inside the game window the game waits the splash's time.
TEST_F(SplashModes, RealWindowsBesideAndInsideTheGame) {
  if (!HaveXvfbAndXdotool()) GTEST_SKIP() << "xvfb-run or xdotool is not installed";
  // (A new splash replaces the one open beside the game, so the one in the game window comes first.)
  Game("t = current_time; splash_show_image('" + picture + "', 300);"
       "show_debug_message('waited ' + string(current_time - t >= 300));"
       "splash_set_main(false); splash_set_interrupt(false); splash_set_caption('KvSplashBeside');"
       "splash_show_image('" + picture + "', 600); show_debug_message('went on'); show_info();",
       90, "[game_info]\ncaption = KvInfoBeside\npause_game = off\n");
  const std::string game = Pack();
  // The splash window is looked for by its caption until it shows, then until it is gone.
  std::ofstream(dir / "check.sh")
      << "env -u SDL_VIDEODRIVER " << KV_BIN_DIR << "/kvrun " << game << " 2>/dev/null & pid=$!\n"
      << "seen=0; for i in $(seq 400); do xdotool search --name KvSplashBeside >/dev/null 2>&1 && { seen=1; break; };"
         " sleep 0.05; done\necho seen $seen\n"
      << "gone=0; for i in $(seq 400); do xdotool search --name KvSplashBeside >/dev/null 2>&1 || { gone=1; break; };"
         " sleep 0.05; done\necho gone $gone\n"
      << "xdotool search --name KvInfoBeside >/dev/null 2>&1 && echo information open\n"
      << "wait $pid\necho exit $?\n";
  const kvtest::Result r = kvtest::RunCommand("xvfb-run -a -n " + std::to_string(100 + getpid() % 5000) +
                                              " -s '-screen 0 1280x1024x24' sh " + (dir / "check.sh").string());
  EXPECT_NE(r.out.find("went on\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("waited 1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("seen 1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("gone 1\n"), std::string::npos) << r.out;
  // The splash closed long before the game's 90 steps (3 s) were over.
  EXPECT_LT(r.out.find("gone 1\n"), r.out.find("step 90\n")) << r.out;
  EXPECT_NE(r.out.find("exit 0\n"), std::string::npos) << r.out;
  // The game information without pause stays open beside the game while it steps.
  EXPECT_NE(r.out.find("information open\n"), std::string::npos) << r.out;
  EXPECT_LT(r.out.find("information open\n"), r.out.find("step 90\n")) << r.out;
}

}  // namespace
