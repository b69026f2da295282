#include "runner/error_panel.h"

#include "graphics/graphics_d3d.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_text.h"
#include "platform/dialogs.h"
#include "platform/window.h"

namespace kv {

namespace {

constexpr int kVkReturn = 13, kVkEscape = 27, kVkA = 'A', kVkI = 'I';
constexpr int kPanelColour = 0x201810;  // dark blue-grey (BGR)
constexpr int kTextColour = 0xFFFFFF, kCaptionColour = 0x80C0FF;

class PanelSink final : public plat::InputSink {
 public:
  explicit PanelSink(bool allowIgnore) : allowIgnore_(allowIgnore) {}
  void KeyDown(int vk) override {
    if (answer == ErrorPanelAnswer::None) answer = ErrorPanelKey(vk, allowIgnore_);
  }
  void CloseRequest() override { answer = ErrorPanelAnswer::Abort; }
  void Exposed() override { exposed = true; }
  ErrorPanelAnswer answer = ErrorPanelAnswer::None;
  bool exposed = false;

 private:
  bool allowIgnore_;
};

void DrawPanel(const std::vector<std::string>& lines) {
  auto& d = gfx::D3D();
  const int w = d.renderWidth, h = d.renderHeight;
  gfx::SetViewport(0, 0, w, h);
  gfx::SetProjection2D(0, 0, w, h, 0);
  const int colour = gfx::DrawColour();
  const double alpha = gfx::DrawAlpha();
  const int font = gfx::CurrentFont(), halign = gfx::Halign(), valign = gfx::Valign();
  gfx::SetFont(-1);
  gfx::SetHalign(0);
  gfx::SetValign(0);
  gfx::SetDrawAlpha(0.92);
  gfx::SetDrawColour(kPanelColour);
  gfx::Rectangle(8, 8, w - 9, h - 9, false);
  gfx::SetDrawAlpha(1);
  gfx::SetDrawColour(kCaptionColour);
  gfx::Rectangle(8, 8, w - 9, h - 9, true);
  double y = 16;
  const int width = w - 40;
  for (size_t i = 0; i < lines.size(); ++i) {
    gfx::SetDrawColour(i == 0 || i + 1 == lines.size() ? kCaptionColour : kTextColour);
    gfx::DrawText(lines[i], -1, width, 20, y);
    y += gfx::TextHeight(lines[i].empty() ? " " : lines[i], -1, width);
    if (y > h - 24) break;
  }
  gfx::SetDrawColour(colour);
  gfx::SetDrawAlpha(alpha);
  gfx::SetFont(font);
  gfx::SetHalign(halign);
  gfx::SetValign(valign);
  gfx::EndSceneAndPresent();
  gfx::BeginScene();
}

}  // namespace

std::vector<std::string> ErrorPanelLines(std::string_view message, bool allowIgnore) {
  std::vector<std::string> lines = {plat::kErrorWindowCaption, ""};
  std::string line;
  for (char c : message) {
    if (c == '\r') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\n') {
      line += c;
    }
  }
  lines.push_back(line);
  lines.push_back("");
  lines.push_back(allowIgnore ? "A or Esc: Abort the game    I: Ignore the error and continue"
                              : "A or Esc: Abort the game");
  return lines;
}

ErrorPanelAnswer ErrorPanelKey(int vk, bool allowIgnore) {
  if (vk == kVkA || vk == kVkEscape || vk == kVkReturn) return ErrorPanelAnswer::Abort;
  if (vk == kVkI && allowIgnore) return ErrorPanelAnswer::Ignore;
  return ErrorPanelAnswer::None;
}

bool ShowErrorPanel(plat::IWindow& window, std::string_view message, bool allowIgnore) {
  if (!gfx::DeviceExists()) return true;
  const std::vector<std::string> lines = ErrorPanelLines(message, allowIgnore);
  PanelSink sink(allowIgnore);
  DrawPanel(lines);
  while (sink.answer == ErrorPanelAnswer::None) {
    window.WaitForEvent(50);
    window.Pump(sink);
    if (sink.exposed) {
      sink.exposed = false;
      DrawPanel(lines);
    }
  }
  return sink.answer != ErrorPanelAnswer::Ignore;
}

}  // namespace kv
