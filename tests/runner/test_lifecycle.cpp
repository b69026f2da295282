#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "graphics/graphics_d3d.h"
#include "platform/headless/scripted_dialogs.h"
#include "platform/headless/text_loading_display.h"
#include "platform/headless/virtual_clock.h"
#include "platform/platform.h"
#include "platform/posix/posix_system.h"
#include "runner/game_data.h"
#include "runner/runner_form.h"

namespace fs = std::filesystem;
using namespace kv;

namespace {

struct Scratch {
  fs::path dir;
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "kvtest_XXXXXX").string();
    dir = mkdtemp(pattern.data());
  }
  ~Scratch() { fs::remove_all(dir); }
};

// The real system services, remembering the priority level the runner asked for.
class PriorityRecordingSystem final : public plat::PosixSystem {
 public:
  void SetPriority(int level) override { priority = level; }  // the test process keeps its own priority
  int priority = -1;  // never asked
};

// A headless platform whose dialog transcript and loading progress are captured.
class TestPlatform final : public plat::IPlatform {
 public:
  explicit TestPlatform(std::vector<plat::DialogAnswer> answers = {})
      : dialogs_(dialogText, plat::AnswerQueue(std::move(answers))), loading_(loadingText, true) {
    system_.CreateTempDir();
  }
  bool Headless() const override { return true; }
  plat::IClock& Clock() override { return clock_; }
  plat::IDialogs& Dialogs() override { return dialogs_; }
  plat::ISystem& System() override { return system_; }
  plat::ILoadingDisplay& Loading() override { return loading_; }
  plat::IJoysticks& Joysticks() override { return joysticks; }
  // The window, device and display of the ordinary headless platform.
  std::unique_ptr<plat::IWindow> CreateGameWindow(int w, int h) override { return devices_->CreateGameWindow(w, h); }
  std::unique_ptr<plat::IGpuDevice> CreateGpuDevice(plat::IWindow* window) override {
    return devices_->CreateGpuDevice(window);
  }
  std::unique_ptr<plat::IDisplay> CreateDisplay() override { return devices_->CreateDisplay(); }
  std::unique_ptr<plat::IAudioOut> CreateAudioDevice(std::string& failure) override {
    return devices_->CreateAudioDevice(failure);
  }

  std::ostringstream dialogText, loadingText;
  plat::ScriptedJoysticks joysticks;

 private:
  std::unique_ptr<plat::IPlatform> devices_ = plat::CreateHeadlessPlatform({});
  plat::VirtualClock clock_;
  plat::ScriptedDialogs dialogs_;
  plat::TextLoadingDisplay loading_;
  PriorityRecordingSystem system_;
};

GameData SmallGame() {
  GameData game;
  game.gameId = 4242;
  game.helperLibraryName = "helper.bin";
  game.helperLibrary = {1, 2, 3, 4};
  game.resources.rooms.Add("room0", std::make_unique<CRoom>());
  game.resources.roomOrder = {0};
  return game;
}

std::vector<uint8_t> GameFileBytes(const GameData& game) { return BuildGameFile(game, 12345).Buffer(); }

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct RunResult {
  int exitCode;
  std::string out, dialogs, loading;
};

RunResult RunForm(const RunnerOptions& options, std::vector<plat::DialogAnswer> answers = {},
                  std::string* tempDirSeen = nullptr, int* prioritySeen = nullptr) {
  TestPlatform platform(std::move(answers));
  std::ostringstream out, err;
  RunnerForm form(platform, options, out, err);
  RunResult r{form.Run(), out.str() + err.str(), platform.dialogText.str(), platform.loadingText.str()};
  if (tempDirSeen) *tempDirSeen = platform.System().TempDir();
  if (prioritySeen) *prioritySeen = static_cast<PriorityRecordingSystem&>(platform.System()).priority;
  return r;
}

// A headless run of two steps without waiting, reporting what it loaded.
RunnerOptions TestOptions(const fs::path& game = {}) {
  RunnerOptions options;
  options.gamePath = game.string();
  options.headless = true;
  options.fast = true;
  options.steps = 2;
  options.verbose = true;
  return options;
}

plat::DialogAnswer Answer(std::string kind, std::string value) { return {std::move(kind), std::move(value), 0}; }

// True when every needle appears in the text, each after the previous one.
bool InOrder(const std::string& text, const std::vector<std::string>& needles) {
  size_t at = 0;
  for (const std::string& needle : needles) {
    at = text.find(needle, at);
    if (at == std::string::npos) return false;
    at += needle.size();
  }
  return true;
}

}  // namespace

// ---- loading window -------------------------------------------------------------------------------------------

TEST(LoadingWindow, LayoutFollowsThePictureAndFlags) {
  struct Case {
    const char* name;
    int pictureW, pictureH;  // 0: no picture
    bool showBar, debug;
    int left, top, width, height, barTop, barWidth;
    bool barsVisible, labelVisible;
  };
  const std::vector<Case> cases = {
      {"default", 0, 0, true, false, 346, 338, 332, 92, 60, 284, true, false},
      {"debug shows the label", 0, 0, true, true, 346, 338, 332, 92, 60, 284, true, true},
      {"no bar hides the label too", 0, 0, false, true, 346, 338, 332, 92, 60, 284, false, false},
      {"picture sizes the window", 400, 201, true, false, 312, 283, 400, 201, 169, 352, true, false},
      {"picture larger than the screen", 1100, 800, true, false, -38, -16, 1100, 800, 768, 1052, true, false},
      {"narrow picture: no negative bar", 40, 40, true, false, 492, 364, 40, 40, 8, 0, true, false},
  };
  for (const Case& c : cases) {
    GameSettings settings;
    settings.showProgressBar = c.showBar;
    if (c.pictureW) settings.loadingImage = CBitmap32::Make(c.pictureW, c.pictureH, 0xFF102030);
    LoadingWindow window;
    window.Configure(settings, c.debug, 1024, 768);
    const plat::LoadingWindowState& s = window.State();
    SCOPED_TRACE(c.name);
    EXPECT_EQ(s.left, c.left);
    EXPECT_EQ(s.top, c.top);
    EXPECT_EQ(s.width, c.width);
    EXPECT_EQ(s.height, c.height);
    EXPECT_EQ(s.emptyBarRect, (plat::BarRect{24, c.barTop, c.barWidth, 16}));
    EXPECT_EQ(s.fullBarRect, (plat::BarRect{24, c.barTop, 0, 16}));
    EXPECT_EQ(s.labelRect, (plat::BarRect{32, c.barTop, 273, 17}));
    EXPECT_EQ(s.barsVisible, c.barsVisible);
    EXPECT_EQ(s.labelVisible, c.labelVisible);
    EXPECT_EQ(s.hasPicture, c.pictureW > 0);
    EXPECT_EQ(s.label, "Loading");
    EXPECT_EQ(s.percent, 0);
  }
}

TEST(LoadingWindow, TransparencyAlphaAndBarPictures) {
  GameSettings settings;
  CBitmap32 picture = CBitmap32::Make(10, 5, 0xFF000000);
  picture.pixels[4 * 10 + 0] = 0xFFABCDEF;  // bottom-left pixel gives the transparent colour
  settings.loadingImage = picture;
  settings.loadingTransparent = true;
  settings.loadingAlpha = 128;
  settings.backBarImage = CBitmap32::Make(3, 2, 1);
  settings.frontBarImage = CBitmap32::Make(4, 2, 2);
  settings.scaleProgressBar = false;

  LoadingWindow window;
  window.Configure(settings, false, 800, 600);
  EXPECT_TRUE(window.State().transparent);
  EXPECT_EQ(window.State().transparentColour, 0xFFABCDEFu);
  EXPECT_EQ(window.State().alpha, 128);
  EXPECT_FALSE(window.State().stretchFullBar);
  EXPECT_EQ(window.State().emptyBar.width, 3);
  EXPECT_EQ(window.State().fullBar.width, 4);
  ASSERT_NE(window.State().picture.pixels, nullptr);
  window.ReleaseImages();
  EXPECT_EQ(window.State().picture.pixels, nullptr);
  EXPECT_EQ(window.State().emptyBar.pixels, nullptr);

  // Without the bar the bar pictures are not used; without a picture there is no colour to make transparent.
  settings.showProgressBar = false;
  settings.loadingImage.reset();
  window.Configure(settings, false, 800, 600);
  EXPECT_FALSE(window.State().transparent);
  EXPECT_EQ(window.State().emptyBar.pixels, nullptr);
  EXPECT_EQ(window.State().fullBar.pixels, nullptr);

  // An empty or inconsistent picture keeps the designed window.
  CBitmap32 broken = CBitmap32::Make(50, 50);
  broken.pixels.resize(10);
  settings.loadingImage = broken;
  window.Configure(settings, false, 800, 600);
  EXPECT_FALSE(window.State().hasPicture);
  EXPECT_EQ(window.State().width, LoadingWindow::kDesignWidth);
}

TEST(LoadingWindow, ProgressWidthRoundsHalvesToEven) {
  struct Case {
    int pictureWidth;  // empty bar = pictureWidth - 48
    int percent;
    int fullWidth;
  };
  const std::vector<Case> cases = {
      {332, 0, 0},    {332, 100, 284}, {332, 1, 3},  {332, 23, 65}, {338, 5, 14},  // 14.5 → 14
      {338, 15, 44},  // 43.5 → 44
      {338, 50, 145}, {48, 50, 0},
  };
  for (const Case& c : cases) {
    GameSettings settings;
    settings.loadingImage = CBitmap32::Make(c.pictureWidth, 92);
    LoadingWindow window;
    window.Configure(settings, false, 1024, 768);
    window.ShowProgress(c.percent, "Loading sprites");
    EXPECT_EQ(window.State().fullBarRect.width, c.fullWidth) << c.pictureWidth << " " << c.percent;
    EXPECT_EQ(window.State().label, "Loading sprites");
  }
}

// ---- preparation ----------------------------------------------------------------------------------------------

namespace {
struct RecordingObserver : LoadObserver {
  std::vector<std::string> events;
  void Progress(int percent, std::string_view text) override {
    events.push_back(std::to_string(percent) + " " + std::string(text));
  }
  void Message(std::string_view text) override { events.push_back("message: " + std::string(text)); }
};
}  // namespace

TEST(Prepare, PhasesRunInOrderAndStopAtTheFirstFailure) {
  struct Case {
    int failAt;  // -1: none
    std::vector<std::string> events;
    bool ok;
  };
  const std::vector<Case> cases = {
      {-1, {"10 a", "20 b", "30 c"}, true},
      {0, {}, false},  // a silent phase without progress
      {2, {"10 a", "20 b", "message: b failed"}, false},
      {3, {"10 a", "20 b", "30 c"}, false},  // no message of its own
  };
  for (const Case& c : cases) {
    std::vector<int> ran;
    auto work = [&](int i) { return [&, i] { ran.push_back(i); return i != c.failAt; }; };
    const std::vector<PreparePhase> phases = {
        {-1, "", "", work(0)}, {10, "a", "a failed", work(1)}, {20, "b", "b failed", work(2)}, {30, "c", "", work(3)}};
    RecordingObserver observer;
    EXPECT_EQ(RunPreparePhases(phases, observer), c.ok);
    EXPECT_EQ(observer.events, c.events) << c.failAt;
    EXPECT_EQ(ran.size(), c.failAt < 0 ? 4u : static_cast<size_t>(c.failAt) + 1);
  }
}

TEST(Prepare, DisplaySettingsDecode) {
  struct Case {
    bool set;
    int depth, resolution, frequency;
    DisplayRequest expected;
  };
  const std::vector<Case> cases = {
      {false, 1, 2, 3, {}},
      {true, 0, 0, 0, {}},
      {true, 1, 1, 1, {320, 240, 60, 16}},
      {true, 2, 6, 5, {1600, 1200, 120, 32}},
      {true, 3, 7, 6, {}},  // unknown codes leave things unchanged
      {true, 0, 4, 0, {1024, 768, std::nullopt, std::nullopt}},
  };
  for (const Case& c : cases) {
    GameSettings settings;
    settings.setResolution = c.set;
    settings.colorDepth = c.depth;
    settings.resolution = c.resolution;
    settings.frequency = c.frequency;
    EXPECT_EQ(DecodeDisplaySettings(settings), c.expected) << c.depth << " " << c.resolution << " " << c.frequency;
  }
}

// ---- the run, in process ----------------------------------------------------------------------------------------

TEST(Lifecycle, LoadsAValidGameWithEveryPhaseInOrder) {
  Scratch scratch;
  const fs::path file = scratch.dir / "mygame.exe";
  GameData game = SmallGame();
  game.debugMode = true;
  WriteBytes(file, GameFileBytes(game));

  const RunnerOptions options = TestOptions(file);
  std::string tempDir;
  const RunResult r = RunForm(options, {}, &tempDir);
  EXPECT_EQ(r.exitCode, kExitOk) << r.dialogs;
  EXPECT_EQ(r.dialogs, "");
  EXPECT_EQ(r.out, "game loaded: 1 room, 0 objects, 0 scripts, 0 sprites, 0 sounds, 0 backgrounds, 0 paths, "
                   "0 fonts, 0 time lines, 0 included files, 0 extension packages (debug mode)\n");
  EXPECT_TRUE(InOrder(r.loading, {"  0% Loading\n", "  1% Reading data\n", "  0% Loading extension packages\n",
                                  " 40% Loading rooms\n", " 49% Loading room order\n", " 50% Extracting included files\n",
                                  " 54% Preparing extension pacakges\n", " 56% Preparing constants\n",
                                  " 58% Compiling scripts\n", " 70% Compiling time line actions\n",
                                  " 72% Compiling object actions\n", " 80% Preparing sounds\n",
                                  " 90% Preparing graphics\n", "100% Ready\n", "loading window closed\n"}))
      << r.loading;
  EXPECT_FALSE(fs::exists(tempDir));  // removed with the platform at the end of the run
}

// The settings that act only on the device and the process: vertical-blank waiting, texture interpolation and
// the priority level reach the graphics device state and the system services.
TEST(Lifecycle, DeviceAndPrioritySettingsReachTheirServices) {
  for (bool flipped : {false, true}) {
    Scratch scratch;
    const fs::path file = scratch.dir / "game.exe";
    GameData game = SmallGame();
    game.settings.vSync = flipped;
    game.settings.interpolate = flipped;
    game.settings.priority = flipped ? 2 : 1;
    WriteBytes(file, GameFileBytes(game));
    int priority = -1;
    const RunResult r = RunForm(TestOptions(file), {}, nullptr, &priority);
    ASSERT_EQ(r.exitCode, kExitOk) << r.dialogs;
    EXPECT_EQ(gfx::D3D().synchronization, flipped);
    EXPECT_EQ(gfx::D3D().interpolation, flipped);
    EXPECT_EQ(priority, flipped ? 2 : 1);
  }
}

TEST(Lifecycle, HelperLibraryIsWrittenIntoTheTemporaryDirectory) {
  Scratch scratch;
  const fs::path file = scratch.dir / "g.exe";
  WriteBytes(file, GameFileBytes(SmallGame()));
  TestPlatform platform;
  const RunnerOptions options = TestOptions(file);
  std::ostringstream out, err;
  RunnerForm form(platform, options, out, err);
  ASSERT_EQ(form.Run(), kExitOk);
  const fs::path written = fs::path(platform.System().TempDir()) / "helper.bin";
  ASSERT_TRUE(fs::exists(written));
  EXPECT_EQ(fs::file_size(written), 4u);
}

TEST(Lifecycle, BadGameFilesGiveTheirMessages) {
  Scratch scratch;
  const std::vector<uint8_t> good = GameFileBytes(SmallGame());
  auto withInt = [&](size_t offset, int32_t value) {
    std::vector<uint8_t> bytes = good;
    std::memcpy(bytes.data() + offset, &value, 4);
    return bytes;
  };
  auto cut = [&](size_t size) { return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(size)); };
  auto changed = [](auto change) {
    GameData game = SmallGame();
    change(game);
    return GameFileBytes(game);
  };
  const std::string corrupted(kMsgCorrupted);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"empty", {}, "Error: Not a valid game file."},
      {"one byte short", std::vector<uint8_t>(kGameDataOffset - 1, 0), "Error: Not a valid game file."},
      {"exactly the prefix", std::vector<uint8_t>(kGameDataOffset, 0), corrupted},
      {"bad magic", withInt(kGameDataOffset, 1234320), "Error: Not a valid game file."},
      {"wrong version", withInt(kGameDataOffset + 4, 701), "Error: Wrong version number."},
      {"wrong settings version", withInt(kGameDataOffset + 12, 703), "Error: Error in resource data."},
      {"cut after the magic", cut(kGameDataOffset + 4), corrupted},
      {"cut in the settings", cut(kGameDataOffset + 40), corrupted},
      {"cut in the main block", cut(good.size() - 10), corrupted},
      {"last byte missing", cut(good.size() - 1), corrupted},
      // A room order must name rooms of the game: the first entry is where the game starts.
      {"room order names a missing room", changed([](GameData& g) { g.resources.roomOrder = {3}; }),
       "Error: Error in resource data."},
      {"room order names a missing later room", changed([](GameData& g) { g.resources.roomOrder = {0, 1}; }),
       "Error: Error in resource data."},
      {"room order names a negative room", changed([](GameData& g) { g.resources.roomOrder = {0, -1}; }),
       "Error: Error in resource data."},
      {"room order names an empty slot", changed([](GameData& g) {
         g.resources.rooms.Add({}, nullptr);
         g.resources.roomOrder = {1, 0};
       }),
       "Error: Error in resource data."},
      // A decompression bomb: a few kilobytes that inflate past the helper library's limit.
      {"helper library inflates too far",
       changed([](GameData& g) { g.helperLibrary.assign(kMaxHelperLibraryBytes + 1, 0); }), corrupted},
  };
  for (const Case& c : cases) {
    const fs::path file = scratch.dir / "bad.exe";
    WriteBytes(file, c.bytes);
    const RunResult r = RunForm(TestOptions(file));
    EXPECT_EQ(r.exitCode, kExitLoadFailure) << c.name;
    EXPECT_EQ(r.dialogs, "bad: " + c.message + "\n") << c.name;
    EXPECT_EQ(r.out, "") << c.name;
  }

  // The caption is the file name without extension, shown like any game text.
  const fs::path accented = scratch.dir / "caf\xC3\xA9.game.exe";
  WriteBytes(accented, {1, 2, 3});
  EXPECT_EQ(RunForm(TestOptions(accented)).dialogs, "caf\xC3\xA9.game: Error: Not a valid game file.\n");

  // Only regular files are read: a directory, a device that never ends, a FIFO without a writer.
  ASSERT_EQ(mkfifo((scratch.dir / "fifo.exe").c_str(), 0600), 0);
  for (const fs::path& unreadable :
       {scratch.dir / "missing.exe", scratch.dir, fs::path("/dev/zero"), scratch.dir / "fifo.exe"}) {
    const RunResult r = RunForm(TestOptions(unreadable));
    EXPECT_EQ(r.exitCode, kExitLoadFailure);
    EXPECT_NE(r.dialogs.find(": Error: Cannot read the game file.\n"), std::string::npos) << r.dialogs;
  }
}

// Room instances of objects the game does not have (a damaged room record) neither size per-object tables by
// their index nor stop the game: the steps run.
TEST(Lifecycle, InstancesOfMissingObjectsDoNotStopTheGame) {
  Scratch scratch;
  const fs::path file = scratch.dir / "odd.exe";
  GameData game = SmallGame();
  game.resources.rooms.Get(0)->instances = {
      {0, 0, 2147483647, 100001, ""}, {1, 1, 60000000, 100002, ""}, {2, 2, -1, 100003, ""}};
  WriteBytes(file, GameFileBytes(game));
  RunnerOptions options = TestOptions(file);
  options.steps = 3;
  const RunResult r = RunForm(options);
  EXPECT_EQ(r.exitCode, kExitOk) << r.dialogs;
  EXPECT_EQ(r.dialogs, "");
}

TEST(Lifecycle, WithoutAGameFileTheChooserDecides) {
  Scratch scratch;
  const fs::path file = scratch.dir / "chosen.exe";
  WriteBytes(file, GameFileBytes(SmallGame()));
  const RunnerOptions noGame = TestOptions();

  const RunResult chosen = RunForm(noGame, {Answer("open", file.string())});
  EXPECT_EQ(chosen.exitCode, kExitOk);
  EXPECT_NE(chosen.out.find("game loaded: 1 room"), std::string::npos);

  const RunResult cancelled = RunForm(noGame, {Answer("open", "")});  // ends without any message
  EXPECT_EQ(cancelled.exitCode, kExitOk);
  EXPECT_EQ(cancelled.out, "");
  EXPECT_EQ(cancelled.dialogs.find("Error"), std::string::npos);

  const RunResult nobody = RunForm(noGame);  // no chooser to ask: usage
  EXPECT_EQ(nobody.exitCode, kExitUsage);
  EXPECT_NE(nobody.out.find("usage: kvrun"), std::string::npos);
}

// ---- the kvrun binary ---------------------------------------------------------------------------------------------

namespace {

struct ProcessResult {
  int exitCode = -1;
  std::string out, err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

ProcessResult RunKvrun(const std::vector<std::string>& args, const fs::path& tmpBase, const fs::path& scratch) {
  std::string command = "TMPDIR=" + Quote(tmpBase.string()) + " " + Quote(std::string(KV_BIN_DIR) + "/kvrun");
  for (const std::string& a : args) command += " " + Quote(a);
  command += " >" + Quote((scratch / "out.txt").string()) + " 2>" + Quote((scratch / "err.txt").string()) +
             " </dev/null";
  const int status = std::system(command.c_str());
  auto slurp = [](const fs::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(scratch / "out.txt"), slurp(scratch / "err.txt")};
}

}  // namespace

TEST(KvrunBinary, ExitCodesMessagesAndTheTemporaryDirectory) {
  Scratch scratch;
  const fs::path base = scratch.dir / "tmp" / "nested";  // created by kvrun with its missing parents
  const fs::path game = scratch.dir / "game.exe";
  WriteBytes(game, GameFileBytes(SmallGame()));
  const fs::path shortFile = scratch.dir / "short.exe";
  WriteBytes(shortFile, std::vector<uint8_t>(kGameDataOffset - 1, 7));
  const fs::path answers = scratch.dir / "answers.txt";
  std::ofstream(answers) << "open \"" << game.string() << "\"\n";
  const fs::path badAnswers = scratch.dir / "bad_answers.txt";
  std::ofstream(badAnswers) << "question perhaps\n";

  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string inOut, inErr;
  };
  const std::vector<Case> cases = {
      {{"--headless", game.string(), "--steps", "1"}, 0, "", ""},
      {{game.string(), "--headless", "--verbose", "--steps", "3", "--fast", "--", "x"}, 0, "", "100% Ready"},
      {{"--headless", shortFile.string()}, 1, "", "short: Error: Not a valid game file.\n"},
      {{"--headless", (scratch.dir / "none.exe").string()}, 1, "", "none: Error: Cannot read the game file.\n"},
      {{"--headless", "--steps", "1", "--verbose", "--answers", answers.string()}, 0, "", "game loaded: 1 room"},
      {{"--headless"}, 2, "", "usage: kvrun"},
      {{"--headless", game.string(), "--answers", badAnswers.string()}, 2, "", "line 1: expected yes or no"},
      {{"--headless", game.string(), "--answers", (scratch.dir / "missing.txt").string()}, 2, "", "answers file"},
      {{"--steps", "x", game.string()}, 2, "", "--steps"},
      {{"--help"}, 0, "--screenshot STEP:FILE", ""},
  };
  for (const Case& c : cases) {
    const ProcessResult r = RunKvrun(c.args, base, scratch.dir);
    SCOPED_TRACE(c.args.back());
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE(r.out.find(c.inOut), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.inErr), std::string::npos) << r.err;
    // Whatever happened, no temporary directory is left behind.
    if (fs::exists(base)) {
      EXPECT_TRUE(fs::is_empty(base));
    }
  }
  EXPECT_TRUE(fs::exists(base));  // it was used
}

// `kvrun … | head -1`: the reader goes away, the next write raises SIGPIPE, and the temporary directory goes with
// the process all the same.
TEST(KvrunBinary, ABrokenPipeStillRemovesTheTemporaryDirectory) {
  Scratch scratch;
  const fs::path base = scratch.dir / "tmp";
  GameData game = SmallGame();
  auto talker = std::make_unique<CObject>();
  CAction say;
  say.kind = 7;     // code
  say.exeType = 2;  // code
  say.argumentCount = 1;
  say.argumentTexts[0] = "repeat (50) show_debug_message('a line long enough to fill the pipe quickly');";
  talker->GetOrCreateEvent(kEventStep, 0).actions.push_back(say);
  game.resources.objects.Add("talker", std::move(talker));
  game.resources.rooms.Get(0)->instances = {{0, 0, 0, 100001, ""}};
  const fs::path file = scratch.dir / "talker.exe";
  WriteBytes(file, GameFileBytes(game));

  const std::string command = "TMPDIR=" + Quote(base.string()) + " " + Quote(std::string(KV_BIN_DIR) + "/kvrun") +
                              " " + Quote(file.string()) +
                              " --headless --fast --steps 100000 2>/dev/null </dev/null | head -1 >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  ASSERT_TRUE(fs::exists(base));  // kvrun made its directory there
  EXPECT_TRUE(fs::is_empty(base));
}
