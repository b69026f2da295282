#include "functions/function_dialogs.h"

#include <cmath>
#include <filesystem>
#include <vector>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "functions/function_args.h"
#include "functions/function_registry.h"
#include "functions/function_window_io.h"
#include "functions/game_window_form.h"
#include "graphics/background_class.h"
#include "graphics/background_main.h"
#include "graphics/bitmap_ops.h"
#include "graphics/graphics_window.h"
#include "graphics/sprite_class.h"
#include "graphics/sprite_main.h"
#include "graphics/font_main.h"
#include "graphics/graphics_text.h"
#include "input/io_main.h"
#include "interface/colour_chooser.h"
#include "interface/game_info.h"
#include "interface/high_scores.h"
#include "interface/message_box.h"
#include "interface/message_form.h"
#include "interface/open_forms.h"
#include "interface/rich_text.h"
#include "interface/score_form.h"
#include "interface/splash_form.h"
#include "interface/video_splash.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_read.h"
#include "platform/path_resolver.h"
#include "platform/posix/process.h"
#include "platform/video_decode.h"
#include "sound/sound_directx.h"
#include "world/run_main.h"

namespace kv {

namespace {

using namespace fnargs;

plat::IDialogs*& DialogsPtr() {
  static plat::IDialogs* dialogs = nullptr;
  return dialogs;
}

plat::IClock*& ClockPtr() {
  static plat::IClock* clock = nullptr;
  return clock;
}

CGameInfo*& InfoPtr() {
  static CGameInfo* info = nullptr;
  return info;
}

ui::OpenForms*& FormsPtr() {
  static ui::OpenForms* forms = nullptr;
  return forms;
}

bool& LiveGameWindow() {
  static bool live = false;
  return live;
}

std::string Text(const RValue* a, int i) {
  return a[i].IsString() ? a[i].ToStdString() : gfx::TextOfNumber(a[i].Real());
}

// The box's pictures: the chosen background resource and button sprite, or the program's own.
ui::MessageFormImages MessageImages() {
  ui::MessageFormImages images = ui::DefaultMessageImages();
  const ui::MessageSettings& s = ui::Settings();
  if (const CBackground* b = gfx::GetBackground(s.background); b && b->image && b->image->width > 0) {
    images.background = *b->image;
    if (b->transparent) gfx::MakeTransparent(images.background);
  }
  if (const CSprite* sprite = gfx::GetSprite(s.buttonSprite); sprite && sprite->FrameCount() > 0) {
    images.buttons[0] = sprite->frames[0];
    images.buttons[1] = sprite->FrameCount() > 1 ? sprite->frames[1] : images.buttons[0];
    images.buttons[2] = sprite->FrameCount() > 2 ? sprite->frames[2] : images.buttons[1];
  }
  return images;
}

void ScreenSize(int& width, int& height) {
  width = height = 0;
  if (DialogsPtr()) DialogsPtr()->ScreenSize(width, height);
  if (width <= 0 || height <= 0) width = gfx::Win().desktopWidth, height = gfx::Win().desktopHeight;
}

// The game window's client rectangle on the desktop (the whole screen in full screen).
plat::IntRect GameClientRect() {
  const auto& w = gfx::Win();
  if (w.fullScreen) return {0, 0, w.desktopWidth, w.desktopHeight};
  if (w.window && !w.updating) return w.window->ClientRect();
  return {w.clientLeft, w.clientTop, w.clientWidth, w.clientHeight};
}

// The message box with the current settings, drawn by the form kit when a window can show it, else answered as
// the dialogs answer; keys and clicks that closed it must not act in the game.
plat::MessageFormResult ShowForm(plat::MessageFormRequest request) {
  const ui::MessageSettings& s = ui::Settings();
  request.caption = s.showCaption ? s.caption : std::string();
  request.text = ui::ConvertMessageText(request.text);
  plat::MessageFormResult result;
  result.button = request.defaultButton;
  result.inputText = request.inputText;
  if (DialogsPtr()) {
    int sw = 0, sh = 0;
    ScreenSize(sw, sh);
    ui::MessageFormView view(request, s, MessageImages(), sw, sh);
    if (DialogsPtr()->RunForm(view.WindowLook(), view)) result = view.Result();
    else result = DialogsPtr()->MessageForm(request);
  }
  input::ClearInput();
  return result;
}

std::string ShowInputBox(const std::string& text, const std::string& def, const char* answerKind) {
  plat::MessageFormRequest request;
  request.text = text;
  request.buttons = {"", "OK", ""};
  request.input = true;
  request.inputText = def;
  request.answerKind = answerKind;
  request.defaultButton = 2;
  return ShowForm(request).inputText;
}

// ---- the message box ----

void RegisterMessageFunctions() {
  Reg("show_message", 1, KV_FN {
    KV_UNUSED_ARGS;
    plat::MessageFormRequest request;
    request.text = Text(a, 0);
    request.buttons = {"", "OK", ""};
    request.defaultButton = 2;
    ShowForm(request);
  });
  Reg("show_question", 1, KV_FN {
    KV_UNUSED_ARGS;
    plat::MessageFormRequest request;
    request.text = Text(a, 0);
    request.buttons = {"Yes", "", "No"};
    request.answerKind = "question";
    r = ShowForm(request).button == 1 ? 1.0 : 0.0;
  });
  Reg("show_message_ext", 4, KV_FN {
    KV_UNUSED_ARGS;
    plat::MessageFormRequest request;
    request.text = Text(a, 0);
    request.buttons = {Str(a, 1), Str(a, 2), Str(a, 3)};
    r = double(ShowForm(request).button);
  });
  Reg("get_string", 2, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(std::string_view(ShowInputBox(Text(a, 0), Text(a, 1), "string")));
  });
  Reg("get_integer", 2, KV_FN {
    KV_UNUSED_ARGS;
    const int64_t def = RoundToInt(D(a, 1));
    const std::string typed = ShowInputBox(Text(a, 0), std::to_string(def), "integer");
    int value = 0;
    r = ParseDialogInteger(typed, value) ? double(value) : double(def);
  });
  Reg("show_error", 2, KV_FN {
    KV_UNUSED_ARGS;
    ReportRuntimeError(Text(a, 0), B(a, 1));
  });

  Reg("message_background", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (!gfx::BackgroundExists(I(a, 0))) return ReportRuntimeError("Trying to set a non-existing message background");
    ui::Settings().background = I(a, 0);
  });
  Reg("message_button", 1, KV_FN {
    KV_UNUSED_ARGS;
    if (!gfx::SpriteExists(I(a, 0))) return ReportRuntimeError("Trying to set a non-existing message button");
    ui::Settings().buttonSprite = I(a, 0);
  });
  Reg("message_text_font", 4, KV_FN {
    KV_UNUSED_ARGS;
    ui::ChangeFont(ui::Settings().textFont, Str(a, 0), I(a, 1), I(a, 2), I(a, 3));
  });
  Reg("message_button_font", 4, KV_FN {
    KV_UNUSED_ARGS;
    ui::ChangeFont(ui::Settings().buttonFont, Str(a, 0), I(a, 1), I(a, 2), I(a, 3));
  });
  Reg("message_input_font", 4, KV_FN {
    KV_UNUSED_ARGS;
    ui::ChangeFont(ui::Settings().inputFont, Str(a, 0), I(a, 1), I(a, 2), I(a, 3));
  });
  Reg("message_mouse_color", 1, KV_FN { KV_UNUSED_ARGS; ui::Settings().mouseColour = I(a, 0); });
  Reg("message_input_color", 1, KV_FN { KV_UNUSED_ARGS; ui::Settings().inputColour = I(a, 0); });
  Reg("message_alpha", 1, KV_FN { KV_UNUSED_ARGS; ui::Settings().alpha = ui::AlphaByte(D(a, 0)); });
  Reg("message_position", 2, KV_FN {
    KV_UNUSED_ARGS;
    ui::Settings().x = I(a, 0);
    ui::Settings().y = I(a, 1);
  });
  Reg("message_size", 2, KV_FN {
    KV_UNUSED_ARGS;
    ui::Settings().width = I(a, 0);
    ui::Settings().height = I(a, 1);
  });
  Reg("message_caption", 2, KV_FN {
    KV_UNUSED_ARGS;
    ui::Settings().showCaption = B(a, 0);
    ui::Settings().caption = Text(a, 1);
  });

  DescribeFunctions("Messages and dialogs", {
      {"show_message", "str", "Shows a message box with the text and an OK button, and waits until it is closed."},
      {"show_question", "str", "Asks a yes-or-no question and returns 1 when the player answers Yes."},
      {"show_message_ext", "str, but1, but2, but3",
       "Shows a message box with up to three buttons and returns the number of the one chosen, or 0."},
      {"get_string", "str, def", "Asks the player to type a text, starting from def, and returns it."},
      {"get_integer", "str, def",
       "Asks the player to type a whole number and returns it, or def when the answer is not a number."},
      {"show_error", "str, abort", "Reports an error message, ending the game when abort is true."},
      {"message_background", "back", "Sets the background image of message boxes."},
      {"message_button", "spr", "Sets the sprite whose images draw the buttons of message boxes."},
      {"message_text_font", "name, size, color, style", "Sets the font of the text in message boxes."},
      {"message_button_font", "name, size, color, style", "Sets the font of the button captions in message boxes."},
      {"message_input_font", "name, size, color, style", "Sets the font of the input line in message boxes."},
      {"message_mouse_color", "col", "Sets the colour of a button caption while the mouse is over it."},
      {"message_input_color", "col", "Sets the background colour of the input line in message boxes."},
      {"message_alpha", "alpha", "Sets the opacity of message boxes, from 0 to 1."},
      {"message_position", "x, y", "Sets the screen position of message boxes; -1 centres them."},
      {"message_size", "w, h", "Sets the size of message boxes; 0 or less sizes them to their contents."},
      {"message_caption", "show, str", "Sets whether message boxes have a caption bar and the caption shown on it."},
  });
}

// ---- system choosers ----

// The file and directory choosers may change the current directory; the game's stays as it was.
class KeepCurrentDirectory {
 public:
  KeepCurrentDirectory() { saved_ = std::filesystem::current_path(error_); }
  ~KeepCurrentDirectory() {
    if (error_) return;
    std::error_code ec;
    std::filesystem::current_path(saved_, ec);
  }

 private:
  std::error_code error_;
  std::filesystem::path saved_;
};

std::string ChooseFile(plat::FileDialogKind kind, const std::string& filter, const std::string& name) {
  if (!DialogsPtr()) return {};
  KeepCurrentDirectory keep;
  plat::FileDialogRequest request;
  request.kind = kind;
  request.filter = filter;
  request.fileName = name;
  const plat::FileDialogResult chosen = DialogsPtr()->FileDialog(request);
  input::ClearInput();
  return chosen.status == plat::FileDialogResult::Status::Chosen ? chosen.path : std::string();
}

std::string ChooseDirectory(const std::string& title, const std::string& start) {
  if (!DialogsPtr()) return {};
  KeepCurrentDirectory keep;
  const plat::FileDialogResult chosen = DialogsPtr()->DirectoryDialog(title, start);
  input::ClearInput();
  return chosen.status == plat::FileDialogResult::Status::Chosen ? chosen.path : std::string();
}

void RegisterChooserFunctions() {
  Reg("get_color", 1, KV_FN {
    KV_UNUSED_ARGS;
    std::optional<int> chosen;
    if (DialogsPtr()) {
      // The desktop's colour dialog (zenity) where there is one, else the runner's own chooser, else the answers.
      // A full-screen game shows its own chooser in the game window: the desktop's would hide behind it.
      ui::ColourChooserView chooser(I(a, 0));
      if ((gfx::Win().fullScreen || !plat::ZenityChoosers()) &&
          DialogsPtr()->RunForm(chooser.WindowLook(), chooser))
        chosen = chooser.Chosen() ? std::optional<int>(chooser.Colour()) : std::nullopt;
      else
        chosen = DialogsPtr()->ColourDialog(I(a, 0));
    }
    input::ClearInput();
    r = chosen ? double(*chosen) : -1.0;
  });
  Reg("get_open_filename", 2, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(std::string_view(ChooseFile(plat::FileDialogKind::Open, Str(a, 0), Str(a, 1))));
  });
  Reg("get_save_filename", 2, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(std::string_view(ChooseFile(plat::FileDialogKind::Save, Str(a, 0), Str(a, 1))));
  });
  Reg("get_directory", 1, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(std::string_view(ChooseDirectory("", Str(a, 0))));
  });
  Reg("get_directory_alt", 2, KV_FN {
    KV_UNUSED_ARGS;
    r = RValue(std::string_view(ChooseDirectory(Str(a, 0), Str(a, 1))));
  });

  DescribeFunctions("Messages and dialogs", {
      {"get_color", "defcol",
       "Lets the player choose a colour, starting at defcol, and returns it, or -1 when cancelled."},
      {"get_open_filename", "filter, fname",
       "Lets the player choose a file to open and returns its name, or an empty string."},
      {"get_save_filename", "filter, fname",
       "Lets the player choose a file name to save to and returns it, or an empty string."},
      {"get_directory", "dname",
       "Lets the player choose a directory, starting at dname, and returns it, or an empty string."},
      {"get_directory_alt", "capt, root",
       "Lets the player choose a directory in a tree under root and returns it, or an empty string."},
  });
}

// ---- splash screens and the game information ----

ui::SplashSettings& Splash() { return ui::Splash(); }

std::optional<std::string> GameFile(const std::string& name) {
  if (name.empty()) return std::nullopt;
  const auto host = plat::ResolveGamePath(name);
  std::error_code ec;
  if (!host || !std::filesystem::is_regular_file(*host, ec)) return std::nullopt;
  return *host;
}

// Where a splash appears: over the game window's client area (main), over the whole screen, or in a window of its
// own with the splash size.
struct SplashPlace {
  plat::FormWindowLook look;
  int width = 0, height = 0;  // of the area
};

SplashPlace PrepareSplash() {
  const ui::SplashSettings& s = Splash();
  SplashPlace p;
  p.look.caption = s.caption;
  p.look.border = s.border;
  p.look.onTop = s.top;
  p.look.cursor = s.cursor;
  if (s.main) {
    // The game's drawing area; its window's client area is where a stand-in window goes when nothing can be
    // drawn into the game window.
    const plat::IntRect r = GameClientRect();
    p.look.border = false;
    p.look.x = r.x;
    p.look.y = r.y;
    p.width = r.w;
    p.height = r.h;
    GameWindowFormArea(p.width, p.height);
  } else if (s.fullscreen) {
    p.look.fullscreen = true;
    p.look.border = false;
    ScreenSize(p.width, p.height);
  } else {
    p.width = s.width;
    p.height = s.height;
  }
  p.width = std::max(1, p.width);
  p.height = std::max(1, p.height);
  p.look.width = p.width;
  p.look.height = p.height;
  return p;
}

// Without a window the splash still takes its time: its delay on the run's clock, or (delay 0) until the key or
// click that may stop it arrives, or until nothing more can arrive.
void WaitWithoutWindow(int delay) {
  const ui::SplashSettings& s = Splash();
  if (delay > 0) {
    if (ClockPtr()) ClockPtr()->Sleep(static_cast<int64_t>(delay) * 1000);
    return;
  }
  input::ClearInput();
  while (true) {
    if (s.stopKey && input::KeyPressed(27)) return;
    if (s.stopMouse && (input::ButtonPressed(1) || input::ButtonPressed(2) || input::ButtonPressed(3))) return;
    if (input::ClosePending()) return;  // a close request always ends a splash
    if (!WaitForInputOnce()) return;
  }
}

// The program has one splash window and one game-information window: a new splash replaces the one open beside
// the game, and the game information is not opened twice.
constexpr const char* kSplashForm = "splash";
constexpr const char* kInformationForm = "information";

// Where a splash or the game information goes: inside the game window (the game waits), a window of its own
// shown modally, or a window of its own beside the game, which goes on.
enum class FormMode { InGameWindow, Modal, Beside };

FormMode SplashMode() {
  const ui::SplashSettings& s = Splash();
  return s.main ? FormMode::InGameWindow : s.interrupt ? FormMode::Modal : FormMode::Beside;
}

// Shows a form in its mode. `lengthMillis`: how long it lasts by itself (0: until it is closed); `waitLength`:
// how long a modal one waits without a window (−1: not at all). Returns once the game may go on.
void PresentForm(std::unique_ptr<plat::IFormController> form, FormMode mode, const plat::FormWindowLook& look,
                 const std::string& description, int64_t lengthMillis, int waitLength, int colour,
                 const std::string& kind) {
  int areaWidth = 0, areaHeight = 0;
  if (mode == FormMode::InGameWindow && GameWindowFormArea(areaWidth, areaHeight)) {
    if (!LiveGameWindow() && DialogsPtr()) DialogsPtr()->Transcript(description + " in the game window");
    if (RunFormInGameWindow(*form, {ClockPtr(), LiveGameWindow(), lengthMillis, colour})) return;
  }
  if (mode == FormMode::InGameWindow) mode = FormMode::Modal;  // no game window to draw into
  if (mode == FormMode::Beside && FormsPtr()) {
    ui::OpenForm open;
    open.kind = kind;
    if (DialogsPtr()) open.window = DialogsPtr()->OpenForm(look, *form);
    if (!open.window) {
      // Nobody can see it: it stays open for its own time, counted in the game's steps.
      if (DialogsPtr()) DialogsPtr()->Transcript(description + " (the game goes on)");
      open.millisLeft = static_cast<double>(lengthMillis);
      open.closed = [description] {
        if (DialogsPtr()) DialogsPtr()->Transcript(description + " closed");
      };
    }
    open.controller = std::move(form);
    FormsPtr()->Add(std::move(open));
    return;
  }
  if (!DialogsPtr() || !DialogsPtr()->RunForm(look, *form)) {
    if (DialogsPtr()) DialogsPtr()->Transcript(description);
    if (waitLength >= 0) WaitWithoutWindow(waitLength);
  }
}

void RunSplash(std::unique_ptr<plat::IFormController> view, const plat::FormWindowLook& look,
               const std::string& description, int delay) {
  if (FormsPtr()) FormsPtr()->Close(kSplashForm);
  PresentForm(std::move(view), SplashMode(), look, "Splash: " + description, std::max(delay, 0), delay,
              Splash().colour, kSplashForm);
  input::ClearInput();
}

// A video splash with its sound, which plays through the mixer from the start again with each loop (decoded when
// the video first shows) and stops with the splash.
class VideoWithSound final : public plat::IFormController {
 public:
  VideoWithSound(std::unique_ptr<ui::VideoSplashView> view, std::string file)
      : view_(std::move(view)), file_(std::move(file)) {
    view_->OnPlay([this] {
      if (sound_ < 0) sound_ = snd::SampleFromMemory(plat::DecodeVideoSound(file_), 0);
      if (sound_ >= 0) snd::Play(sound_, false);
    });
  }
  ~VideoWithSound() override {
    if (sound_ < 0) return;
    snd::Stop(sound_);
    snd::FreeSample(sound_);
  }
  VideoWithSound(const VideoWithSound&) = delete;
  VideoWithSound& operator=(const VideoWithSound&) = delete;

  plat::FormPixels Paint() override { return view_->Paint(); }
  bool Handle(const plat::FormEvent& event) override { return view_->Handle(event); }
  bool Tick(int64_t elapsedMillis) override { return view_->Tick(elapsedMillis); }

 private:
  std::unique_ptr<ui::VideoSplashView> view_;
  std::string file_;
  int sound_ = -1;
};

ui::SplashOptions OptionsFor(const SplashPlace& p, int delay) {
  ui::SplashOptions o;
  o.width = p.width;
  o.height = p.height;
  o.colour = Splash().colour;
  o.delay = delay;
  o.stopKey = Splash().stopKey;
  o.stopMouse = Splash().stopMouse;
  return o;
}

constexpr const char* kVideoMissing = "Video file not found (or name too long).";
constexpr const char* kImageMissing = "Image file not found.";
constexpr const char* kTextMissing = "Text file not found.";
constexpr size_t kMaxVideoName = 127;

void ShowImage(const std::string& name, int delay) {
  const auto host = GameFile(name);
  std::optional<CBitmap32> image;
  if (host) image = gfx::LoadImageFile(*host);
  if (!image || image->width <= 0 || image->height <= 0) return ReportRuntimeError(kImageMissing);
  SplashPlace p = PrepareSplash();
  const ui::SplashSettings& s = Splash();
  ui::Rect place = ui::PlaceSplashImage(p.width, p.height, image->width, image->height, s.scale);
  if (s.adapt && !s.main && !s.fullscreen) {
    // The window takes the image's size.
    p.width = p.look.width = std::max(1, place.w);
    p.height = p.look.height = std::max(1, place.h);
    place.x = place.y = 0;
  }
  auto view = std::make_unique<ui::SplashView>(OptionsFor(p, delay), std::move(*image), place);
  RunSplash(std::move(view), p.look,
            "image \"" + name + "\" at " + std::to_string(place.x) + "," + std::to_string(place.y) + " size " +
                std::to_string(place.w) + "x" + std::to_string(place.h) +
                (delay > 0 ? " for " + std::to_string(delay) + " ms" : std::string()),
            delay);
}

void ShowText(const std::string& name, int delay) {
  const auto host = GameFile(name);
  if (!host) return ReportRuntimeError(kTextMissing);
  plat::FileReadResult file = plat::ReadWholeFile(*host);
  if (!file.Ok()) return ReportRuntimeError(kTextMissing);
  const std::string text(file.bytes.begin(), file.bytes.end());
  const SplashPlace p = PrepareSplash();
  auto view = std::make_unique<ui::SplashView>(OptionsFor(p, delay), ui::ParseRichText(text));
  RunSplash(std::move(view), p.look,
            "text \"" + name + "\"" + (delay > 0 ? " for " + std::to_string(delay) + " ms" : std::string()), delay);
}

// The video's frames play in the splash area; without a window the splash lasts the video's length on the clock
// (a looping one until it is stopped). A video this build cannot decode ends at once, as if it had played.
void ShowVideo(const std::string& name, bool loop) {
  const auto host = name.size() < kMaxVideoName ? GameFile(name) : std::nullopt;
  if (!host) return ReportRuntimeError(kVideoMissing);
  std::unique_ptr<plat::IVideoDecoder> video = plat::OpenVideo(*host);
  if (!video) {
    if (DialogsPtr()) DialogsPtr()->Transcript("Splash: video \"" + name + "\" (cannot be played)");
    input::ClearInput();
    return;
  }
  SplashPlace p = PrepareSplash();
  const ui::SplashSettings& s = Splash();
  ui::Rect place = ui::PlaceSplashImage(p.width, p.height, video->Width(), video->Height(), s.scale);
  if (s.adapt && !s.main && !s.fullscreen) {
    p.width = p.look.width = std::max(1, place.w);
    p.height = p.look.height = std::max(1, place.h);
    place.x = place.y = 0;
  }
  const int length = static_cast<int>(std::clamp(video->Duration() * 1000.0, 0.0, 86400000.0));
  if (FormsPtr()) FormsPtr()->Close(kSplashForm);
  auto view = std::make_unique<VideoWithSound>(
      std::make_unique<ui::VideoSplashView>(OptionsFor(p, 0), std::move(video), place, loop), *host);
  // Without a window a modal video waits its length on the clock (a looping one until it is stopped).
  const int waitLength = loop ? 0 : length > 0 ? length : -1;
  PresentForm(std::move(view), SplashMode(), p.look,
              "Splash: video \"" + name + "\" at " + std::to_string(place.x) + "," + std::to_string(place.y) +
                  " size " + std::to_string(place.w) + "x" + std::to_string(place.h) +
                  (loop ? " looping" : " for " + std::to_string(length) + " ms"),
              loop ? 0 : length, waitLength, Splash().colour, kSplashForm);
  input::ClearInput();
}

void RegisterSplashFunctions() {
  Reg("splash_set_main", 1, KV_FN { KV_UNUSED_ARGS; Splash().main = B(a, 0); });
  Reg("splash_set_fullscreen", 1, KV_FN { KV_UNUSED_ARGS; Splash().fullscreen = B(a, 0); });
  Reg("splash_set_border", 1, KV_FN { KV_UNUSED_ARGS; Splash().border = B(a, 0); });
  Reg("splash_set_caption", 1, KV_FN { KV_UNUSED_ARGS; Splash().caption = Text(a, 0); });
  Reg("splash_set_size", 2, KV_FN {
    KV_UNUSED_ARGS;
    Splash().width = I(a, 0);
    Splash().height = I(a, 1);
  });
  Reg("splash_set_adapt", 1, KV_FN { KV_UNUSED_ARGS; Splash().adapt = B(a, 0); });
  Reg("splash_set_top", 1, KV_FN { KV_UNUSED_ARGS; Splash().top = B(a, 0); });
  Reg("splash_set_color", 1, KV_FN { KV_UNUSED_ARGS; Splash().colour = I(a, 0); });
  Reg("splash_set_scale", 1, KV_FN { KV_UNUSED_ARGS; Splash().scale = D(a, 0); });
  Reg("splash_set_cursor", 1, KV_FN { KV_UNUSED_ARGS; Splash().cursor = B(a, 0); });
  Reg("splash_set_interrupt", 1, KV_FN { KV_UNUSED_ARGS; Splash().interrupt = B(a, 0); });
  Reg("splash_set_stop_key", 1, KV_FN { KV_UNUSED_ARGS; Splash().stopKey = B(a, 0); });
  Reg("splash_set_stop_mouse", 1, KV_FN { KV_UNUSED_ARGS; Splash().stopMouse = B(a, 0); });

  Reg("splash_show_video", 2, KV_FN { KV_UNUSED_ARGS; ShowVideo(Str(a, 0), B(a, 1)); });
  Reg("splash_show_image", 2, KV_FN { KV_UNUSED_ARGS; ShowImage(Str(a, 0), I(a, 1)); });
  Reg("splash_show_text", 2, KV_FN { KV_UNUSED_ARGS; ShowText(Str(a, 0), I(a, 1)); });
  Reg("show_video", 3, KV_FN {
    KV_UNUSED_ARGS;
    Splash().fullscreen = B(a, 1);
    Splash().main = !B(a, 1);
    ShowVideo(Str(a, 0), B(a, 2));
  });
  Reg("show_image", 3, KV_FN {
    KV_UNUSED_ARGS;
    Splash().fullscreen = B(a, 1);
    Splash().main = !B(a, 1);
    ShowImage(Str(a, 0), I(a, 2));
  });
  Reg("show_text", 4, KV_FN {
    KV_UNUSED_ARGS;
    Splash().fullscreen = B(a, 1);
    Splash().main = !B(a, 1);
    Splash().colour = I(a, 2);
    ShowText(Str(a, 0), I(a, 3));
  });

  Reg("show_info", 0, KV_FN { KV_UNUSED_ARGS; ShowGameInformation(); });
  Reg("action_show_info", 0, KV_FN { KV_UNUSED_ARGS; ShowGameInformation(); });
  Reg("load_info", 1, KV_FN {
    KV_UNUSED_ARGS;
    const auto host = plat::ResolveGamePath(Str(a, 0));
    if (!host) return void(r = 0.0);
    plat::FileReadResult file = plat::ReadWholeFile(*host);
    if (!file.Ok()) return void(r = 0.0);
    if (InfoPtr()) InfoPtr()->text.assign(file.bytes.begin(), file.bytes.end());
    r = 1.0;
  });

  DescribeFunctions("Splash screens and game information", {
      {"splash_set_main", "main",
       "Sets whether splash screens show inside the game window rather than in a window of their own."},
      {"splash_set_fullscreen", "full", "Sets whether a splash screen's own window covers the whole screen."},
      {"splash_set_border", "border", "Sets whether a splash screen's own window has a border."},
      {"splash_set_caption", "cap", "Sets the caption of a splash screen's own window."},
      {"splash_set_size", "w, h", "Sets the size of a splash screen's own window."},
      {"splash_set_adapt", "adapt",
       "Sets whether a splash screen's own window takes the size of the image or video shown."},
      {"splash_set_top", "top", "Sets whether a splash screen's own window stays above other windows."},
      {"splash_set_color", "col", "Sets the background colour of splash screens."},
      {"splash_set_scale", "scale",
       "Sets how images and videos are scaled in splash screens; 0 or less fits them to the window."},
      {"splash_set_cursor", "vis", "Sets whether the mouse cursor shows over splash screens."},
      {"splash_set_interrupt", "interrupt",
       "Sets whether the game waits while a splash screen in its own window is open."},
      {"splash_set_stop_key", "stop", "Sets whether the Escape key closes splash screens."},
      {"splash_set_stop_mouse", "stop", "Sets whether a mouse click closes splash screens."},
      {"splash_show_video", "fname, loop", "Shows a video file as a splash screen, looping it when loop is true."},
      {"splash_show_image", "fname, delay", "Shows an image file as a splash screen for delay milliseconds."},
      {"splash_show_text", "fname, delay", "Shows a text or rich-text file as a splash screen for delay milliseconds."},
      {"show_video", "fname, full, loop", "Shows a video file, in full screen or in the game window."},
      {"show_image", "fname, full, delay",
       "Shows an image file for delay milliseconds, in full screen or in the game window."},
      {"show_text", "fname, full, backcol, delay",
       "Shows a text file on a background colour for delay milliseconds, in full screen or in the game window."},
      {"show_info", "", "Shows the game information."},
      {"load_info", "fname", "Replaces the game information by a rich-text file and returns whether it was loaded."},
  });
}

// ---- high scores ----

ui::ScoreTable LoadTable() { return ui::LoadScores(RegistryStore(), Game().gameId); }
void SaveTable(const ui::ScoreTable& table) { ui::SaveScores(RegistryStore(), Game().gameId, table); }

void AddScore(const std::string& name, int32_t score) {
  ui::ScoreTable table = LoadTable();
  if (ui::InsertScore(table, name, score)) SaveTable(table);
}

void ShowHighscore(int32_t score) {
  ui::ScoreTable table = LoadTable();
  const int rank = ui::InsertScore(table, "", score);
  plat::ScoreFormRequest request;
  request.caption = ui::Display().caption;
  request.escapeText = ui::Display().escape;
  request.newRank = rank;
  for (const ui::ScoreEntry& e : table) request.rows.emplace_back(e.name, e.score);
  std::string name;
  if (DialogsPtr()) {
    std::optional<CBitmap32> picture;
    if (const CBackground* b = gfx::GetBackground(ui::Display().background); b && b->image && b->image->width > 0)
      picture = *b->image;
    ui::ScoreFormView view(table, rank, ui::Display(), std::move(picture));
    if (DialogsPtr()->RunForm(view.WindowLook(), view)) name = view.TypedName();
    else name = DialogsPtr()->ScoreForm(request);
  }
  if (rank) {
    table[rank - 1].name = name.substr(0, ui::kMaxScoreName);
    SaveTable(table);
  }
  input::ClearInput();
}

int32_t ScoreOf(double x) { return RoundToInt(x); }

void SetFontStyle(int style) {
  if (style >= 0 && style <= 3) ui::Display().fontStyle = style;
}

void RegisterHighscoreFunctions() {
  Reg("highscore_show", 1, KV_FN { KV_UNUSED_ARGS; ShowHighscore(ScoreOf(D(a, 0))); });
  Reg("highscore_set_background", 1, KV_FN { KV_UNUSED_ARGS; ui::Display().background = I(a, 0); });
  Reg("highscore_set_border", 1, KV_FN { KV_UNUSED_ARGS; ui::Display().border = B(a, 0); });
  Reg("highscore_set_colors", 3, KV_FN {
    KV_UNUSED_ARGS;
    ui::Display().backColour = I(a, 0);
    ui::Display().newColour = I(a, 1);
    ui::Display().otherColour = I(a, 2);
  });
  Reg("highscore_set_font", 3, KV_FN {
    KV_UNUSED_ARGS;
    ui::Display().fontName = Text(a, 0);
    ui::Display().fontSize = I(a, 1);
    SetFontStyle(I(a, 2));
  });
  Reg("highscore_set_strings", 3, KV_FN {
    KV_UNUSED_ARGS;
    ui::Display().caption = Text(a, 0);
    ui::Display().nobody = Text(a, 1);
    ui::Display().escape = Text(a, 2);
  });
  Reg("highscore_show_ext", 7, KV_FN {
    KV_UNUSED_ARGS;
    ui::ScoreDisplay& d = ui::Display();
    d.background = I(a, 1);
    d.border = B(a, 2);
    d.newColour = I(a, 3);
    d.otherColour = I(a, 4);
    d.fontName = Text(a, 5);
    d.fontSize = I(a, 6);
    ShowHighscore(ScoreOf(D(a, 0)));
  });
  Reg("highscore_add", 2, KV_FN { KV_UNUSED_ARGS; AddScore(Text(a, 0), ScoreOf(D(a, 1))); });
  Reg("highscore_add_current", 0, KV_FN {
    KV_UNUSED_ARGS;
    const int32_t score = Game().score;
    if (score < LoadTable()[ui::kScoreRanks - 1].score) return;
    const std::string name =
        ShowInputBox("You reached a place in the highscore table.\rPlease provide your name.", "player", "score");
    AddScore(name, score);
  });
  // The table's font from an action's font description "name,size,colour,bold,italic,underline,strike-out".
  Reg("action_highscore_show", 5, KV_FN {
    KV_UNUSED_ARGS;
    ui::ScoreDisplay& d = ui::Display();
    d.background = I(a, 0);
    d.border = I(a, 1) == 1;
    d.newColour = I(a, 2);
    d.otherColour = I(a, 3);
    std::vector<std::string> fields;
    const std::string font = Str(a, 4);
    size_t start = 0;
    while (true) {
      const size_t comma = font.find(',', start);
      fields.push_back(font.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (!fields.empty() && !fields[0].empty()) d.fontName = fields[0];
    if (fields.size() > 1) {
      int size = 0;
      if (ParseDialogInteger(fields[1], size)) d.fontSize = size;
    }
    const bool bold = fields.size() > 3 && fields[3] == "1";
    const bool italic = fields.size() > 4 && fields[4] == "1";
    d.fontStyle = (bold ? 1 : 0) + (italic ? 2 : 0);
    ShowHighscore(Game().score);
  });
  Reg("action_highscore_clear", 0, KV_FN {
    KV_UNUSED_ARGS;
    ui::ScoreTable table;
    for (ui::ScoreEntry& e : table) e = {ui::Display().nobody, 0};
    SaveTable(table);
  });
  Reg("highscore_clear", 0, KV_FN {
    KV_UNUSED_ARGS;
    ui::ScoreTable table;
    for (ui::ScoreEntry& e : table) e = {ui::Display().nobody, 0};
    SaveTable(table);
  });
  Reg("highscore_value", 1, KV_FN {
    KV_UNUSED_ARGS;
    const int place = I(a, 0);
    r = place >= 1 && place <= ui::kScoreRanks ? double(LoadTable()[place - 1].score) : 0.0;
  });
  Reg("highscore_name", 1, KV_FN {
    KV_UNUSED_ARGS;
    const int place = I(a, 0);
    const std::string name =
        place >= 1 && place <= ui::kScoreRanks ? LoadTable()[place - 1].name : ui::Display().nobody;
    r = RValue(std::string_view(name));
  });
  Reg("draw_highscore", 4, KV_FN {
    KV_UNUSED_ARGS;
    const ui::ScoreTable table = LoadTable();
    const int x1 = RoundToInt(D(a, 0)), y1 = RoundToInt(D(a, 1));
    const int h = RoundToInt((D(a, 3) - D(a, 1)) / 10.0);
    const int right = x1 + RoundToInt(D(a, 2) - D(a, 0));
    const int halign = gfx::Halign(), valign = gfx::Valign();
    gfx::SetHalign(gfx::kAlignLeft);
    gfx::SetValign(gfx::kAlignLeft);
    for (int i = 0; i < ui::kScoreRanks; ++i) {
      const int y = y1 + i * h;
      gfx::DrawText(table[i].name, -1, -1, x1, y);
      const std::string score = std::to_string(table[i].score);
      gfx::DrawText(score, -1, -1, right - gfx::TextWidth(score, -1, -1), y);
    }
    gfx::SetHalign(halign);
    gfx::SetValign(valign);
  });

  DescribeFunctions("High scores", {
      {"highscore_show", "numb",
       "Shows the high-score table, letting the player type a name when numb earns a place in it."},
      {"highscore_set_background", "back", "Sets the background image of the high-score table (-1 for none)."},
      {"highscore_set_border", "show", "Sets whether the high-score window has a border."},
      {"highscore_set_colors", "back, new, other",
       "Sets the high-score table's background colour and the colours of the new entry and the others."},
      {"highscore_set_font", "name, size, style",
       "Sets the font of the high-score table; style 0 normal, 1 bold, 2 italic, 3 both."},
      {"highscore_set_strings", "caption, nobody, escape",
       "Sets the table's caption, the name of empty places and the closing hint."},
      {"highscore_show_ext", "numb, back, border, col1, col2, name, size",
       "Sets the table's look and shows it for a new score numb."},
      {"highscore_add", "str, numb", "Adds a name and score to the high-score table without showing it."},
      {"highscore_add_current", "", "Asks for a name and adds the current score when it earns a place in the table."},
      {"highscore_clear", "", "Empties the high-score table."},
      {"highscore_value", "place", "Returns the score at a place (1 to 10) of the table."},
      {"highscore_name", "place", "Returns the name at a place (1 to 10) of the table."},
      {"draw_highscore", "x1, y1, x2, y2",
       "Draws the high-score table in the given rectangle with the current font and colour."},
  });
}

}  // namespace

bool ParseDialogInteger(const std::string& text, int& out) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i >= text.size()) return false;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) return false;
  }
  if (negative) value = -value;
  if (value > 2147483647LL || value < -2147483648LL) return false;
  out = static_cast<int>(value);
  return true;
}

void ShowGameInformation() {
  const CGameInfo* info = InfoPtr();
  if (info && DialogsPtr()) {
    int sw = 0, sh = 0;
    ScreenSize(sw, sh);
    ui::Rect r = ui::PlaceInfoWindow(info->left, info->top, info->width, info->height, sw, sh);
    plat::FormWindowLook look;
    look.caption = info->caption;
    look.border = info->showBorder;
    look.onTop = info->stayOnTop;
    const FormMode mode = info->showInGameWindow ? FormMode::InGameWindow
                          : info->pauseGame      ? FormMode::Modal
                                                 : FormMode::Beside;
    // Shown again while it is open beside the game: it stays as it is.
    if (mode == FormMode::Beside && FormsPtr() && FormsPtr()->IsOpen(kInformationForm)) return input::ClearInput();
    if (mode == FormMode::InGameWindow) {
      const plat::IntRect g = GameClientRect();
      r = {g.x, g.y, g.w, g.h};
      GameWindowFormArea(r.w, r.h);
      look.border = false;
    }
    look.x = r.x;
    look.y = r.y;
    look.width = r.w;
    look.height = r.h;
    ui::SplashOptions o;
    o.width = std::max(1, r.w);
    o.height = std::max(1, r.h);
    o.colour = info->backgroundColour;
    o.stopKey = true;  // Escape closes it
    o.stopMouse = false;
    o.margin = 4;
    auto view = std::make_unique<ui::SplashView>(o, ui::ParseRichText(info->text));
    if (mode == FormMode::Modal) {
      if (!DialogsPtr()->RunForm(look, *view)) {
        const std::string text = ui::RichTextToPlain(info->text);
        DialogsPtr()->MessageBox(info->caption, text, plat::MessageButtons::Ok, plat::MessageResult::Ok);
      }
    } else {
      PresentForm(std::move(view), mode, look, "Game information: " + info->caption, 0, -1,
                  info->backgroundColour, kInformationForm);
    }
  }
  input::ClearInput();
}

void SetClockForDialogFunctions(plat::IClock* clock) { ClockPtr() = clock; }

void SetDialogsForFunctions(plat::IDialogs* dialogs) { DialogsPtr() = dialogs; }
void SetGameInformationForFunctions(CGameInfo* info) { InfoPtr() = info; }
void SetFormHostForFunctions(ui::OpenForms* forms, bool liveGameWindow) {
  FormsPtr() = forms;
  LiveGameWindow() = liveGameWindow;
}

void RegisterDialogFunctions() {
  RegisterMessageFunctions();
  RegisterChooserFunctions();
  RegisterSplashFunctions();
  RegisterHighscoreFunctions();
}

}  // namespace kv
