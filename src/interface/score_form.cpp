#include "interface/score_form.h"

#include "interface/message_form.h"

namespace kv::ui {

ScoreRowRects ScoreRow(int rank) {
  const int y = 48 + 32 * (rank - 1);
  return {{8, y, 33, 25}, {48, y, 209, 25}, {264, y, 73, 25}};
}

ScoreFormView::ScoreFormView(const ScoreTable& table, int newRank, const ScoreDisplay& display,
                             std::optional<CBitmap32> background)
    : table_(table), newRank_(newRank), display_(display), background_(std::move(background)) {}

plat::FormWindowLook ScoreFormView::WindowLook() const {
  plat::FormWindowLook look;
  look.caption = display_.caption;
  look.border = display_.border;
  look.width = kScoreFormWidth;
  look.height = kScoreFormHeight;
  look.onTop = true;
  return look;
}

std::string ScoreFormView::NameShown(int rank) const {
  if (rank == newRank_) return typed_ + "|";
  return rank >= 1 && rank <= kScoreRanks ? table_[rank - 1].name : std::string();
}

const CBitmap32& ScoreFormView::Render() {
  if (image_.width != kScoreFormWidth) image_ = CBitmap32::Make(kScoreFormWidth, kScoreFormHeight, 0xFF000000);
  Canvas c(image_);
  c.Fill(display_.backColour);
  if (background_) c.DrawImage(*background_, 0, 0, kScoreFormWidth, kScoreFormHeight);
  const FormFont& font =
      GetFormFont({display_.fontName, display_.fontSize, (display_.fontStyle & 1) != 0, (display_.fontStyle & 2) != 0});
  for (int rank = 1; rank <= kScoreRanks; ++rank) {
    const ScoreRowRects r = ScoreRow(rank);
    const int colour = rank == newRank_ ? display_.newColour : display_.otherColour;
    const std::string number = std::to_string(rank) + ".";
    const std::string score = std::to_string(table_[rank - 1].score);
    c.DrawText(font, number, r.rank.x + r.rank.w - TextWidth(font, number), r.rank.y, colour);
    c.DrawText(font, NameShown(rank), r.name.x, r.name.y, colour);
    c.DrawText(font, score, r.score.x + r.score.w - TextWidth(font, score), r.score.y, colour);
  }
  c.DrawText(GetFormFont({"MS Sans Serif", 8, false, false}), display_.escape, kScoreEscapeText.x,
             kScoreEscapeText.y, display_.otherColour);
  return image_;
}

plat::FormPixels ScoreFormView::Paint() {
  const CBitmap32& b = Render();
  return {b.width, b.height, b.pixels.data()};
}

bool ScoreFormView::Handle(const plat::FormEvent& e) {
  using Kind = plat::FormEvent::Kind;
  if (e.kind == Kind::Close) return false;
  if (e.kind == Kind::KeyDown) {
    if (e.key == kVkEscape || e.key == kVkReturn) return false;
    if (e.key == kVkBack && newRank_ && !typed_.empty()) typed_.pop_back();
    return true;
  }
  if (e.kind == Kind::Char && newRank_ && e.ch >= 32 && typed_.size() < kMaxScoreName)
    typed_ += static_cast<char>(e.ch);
  return true;
}

}  // namespace kv::ui
