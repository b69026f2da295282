#pragma once
// The high-score table as a form: 360 × 400 client pixels, ten rows of rank, name and score labels, the escape
// text, and typing of the new entry's name.
#include <optional>

#include "graphics/bitmap32.h"
#include "interface/form_canvas.h"
#include "interface/high_scores.h"
#include "interface/message_box.h"
#include "platform/dialogs.h"

namespace kv::ui {

inline constexpr int kScoreFormWidth = 360, kScoreFormHeight = 400;

struct ScoreRowRects {
  Rect rank, name, score;
};
// Rank 1 … 10.
ScoreRowRects ScoreRow(int rank);
inline constexpr Rect kScoreEscapeText{112, 376, 0, 0};

class ScoreFormView final : public plat::IFormController {
 public:
  // newRank 1 … 10 is the row the player names, 0 for none. `background`: the picture filling the form, if any.
  ScoreFormView(const ScoreTable& table, int newRank, const ScoreDisplay& display,
                std::optional<CBitmap32> background);

  plat::FormWindowLook WindowLook() const;
  const CBitmap32& Render();
  const std::string& TypedName() const { return typed_; }
  // What the name label shows: the typed text and a typing cursor on the new row.
  std::string NameShown(int rank) const;

  plat::FormPixels Paint() override;
  bool Handle(const plat::FormEvent& event) override;

 private:
  ScoreTable table_;
  int newRank_;
  ScoreDisplay display_;
  std::optional<CBitmap32> background_;
  std::string typed_;
  CBitmap32 image_;
};

}  // namespace kv::ui
