// Score, lives and health actions: setting and asking them, drawing them, the window caption and the high-score
// table.
#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "actions/action_common.h"
#include "code/code_docs.h"
#include "graphics/sprite_class.h"
#include "world/builtin_globals.h"
#include "world/object_class.h"
#include "world/run_main.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv::actlib {

namespace {

RValue R(double v) { return RValue(v); }
double Answer(bool b) { return b ? 1.0 : 0.0; }

// Colours of the standard colour choices (red in the low byte).
constexpr int32_t kPalette[] = {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000080, 0x008000, 0x008080, 0x800000,
                                0x800080, 0x808000, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00};
// Back colour choice: 0 none, 1 … 16 the palette; anything else black.
int32_t BackColour(int choice) { return choice >= 1 && choice <= 16 ? kPalette[choice - 1] : 0; }
struct BarColours {
  int32_t low, middle, high;
};
// Bar colour choice: 0 red-yellow-green, 1 black-gray-white, 2 … 17 one palette colour; anything else black.
BarColours BarColour(int choice) {
  if (choice == 0) return {0x0000FF, 0x00FFFF, 0x00FF00};
  if (choice == 1) return {0x000000, 0x808080, 0xFFFFFF};
  const int32_t c = choice >= 2 && choice <= 17 ? kPalette[choice - 2] : 0;
  return {c, c, c};
}
int32_t Blend(int32_t a, int32_t b, double t) {
  int32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    out |= static_cast<int32_t>(std::floor(ca + (cb - ca) * t)) << shift;
  }
  return out;
}

void SetScore(RValue&, CInstance*, CInstance*, int, RValue* a) {
  Game().score = ArgumentRelative() ? Game().score + Round(a[0]) : Round(a[0]);
}
void IfScore(RValue& r, CInstance*, CInstance*, int, RValue* a) { r = Answer(Compare(Game().score, Num(a[0]), a[1])); }
void DrawValue(CInstance* self, RValue* a, double value) {
  Call("draw_text", self, nullptr,
       {R(PosX(self, a[0])), R(PosY(self, a[1])), RValue(Text(a[2]) + Text(R(value)))});
}
void DrawScore(RValue&, CInstance* self, CInstance*, int, RValue* a) { DrawValue(self, a, Game().score); }

void SetLife(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const int32_t old = Game().lives;
  Game().lives = ArgumentRelative() ? old + Round(a[0]) : Round(a[0]);
  if (old > 0 && Game().lives <= 0) PerformEventForAll(kEventOther, kOtherNoMoreLives);
}
void IfLife(RValue& r, CInstance*, CInstance*, int, RValue* a) { r = Answer(Compare(Game().lives, Num(a[0]), a[1])); }
void DrawLife(RValue&, CInstance* self, CInstance*, int, RValue* a) { DrawValue(self, a, Game().lives); }
void DrawLifeImages(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  const int sprite = Round(a[2]);
  const CSprite* s = WorldSprite(sprite);
  if (!s) return;
  const double x = PosX(self, a[0]), y = PosY(self, a[1]);
  for (int32_t i = 0; i < Game().lives; ++i)
    Call("draw_sprite_ext", self, nullptr,
         {R(sprite), R(0), R(x + i * s->width), R(y), R(1), R(1), R(0), R(0xFFFFFF), R(1)});
}

void SetHealth(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const double old = Game().health;
  Game().health = Rel(old, a[0]);
  if (old > 0 && Game().health <= 0) PerformEventForAll(kEventOther, kOtherNoMoreHealth);
}
void IfHealth(RValue& r, CInstance*, CInstance*, int, RValue* a) {
  r = Answer(Compare(Game().health, Num(a[0]), a[1]));
}
void DrawHealth(RValue&, CInstance* self, CInstance*, int, RValue* a) {
  const double dx = ArgumentRelative() ? self->x : 0, dy = ArgumentRelative() ? self->y : 0;
  const int back = Round(a[4]);
  const BarColours bar = BarColour(Round(a[5]));
  // The bar blends through the middle colour at 50, so its one colour is worked out here.
  const double amount = std::clamp(Game().health, 0.0, 100.0);
  const int32_t colour = amount <= 50 ? Blend(bar.low, bar.middle, amount / 50)
                                      : Blend(bar.middle, bar.high, (amount - 50) / 50);
  Call("draw_healthbar", self, nullptr,
       {R(Num(a[0]) + dx), R(Num(a[1]) + dy), R(Num(a[2]) + dx), R(Num(a[3]) + dy), R(Game().health),
        R(BackColour(back)), R(colour), R(colour), R(0), R(back != 0), R(1)});
}
void SetCaption(RValue&, CInstance*, CInstance*, int, RValue* a) {
  CaptionSettings& c = Caption();
  c.showScore = Round(a[0]) == 1;
  c.scoreText = Text(a[1]);
  c.showLives = Round(a[2]) == 1;
  c.livesText = Text(a[3]);
  c.showHealth = Round(a[4]) == 1;
  c.healthText = Text(a[5]);
  c.scoreExplicit = true;
}

// "name,size,colour,bold,italic,underline,strike-out": the font of the high-score table.
void HighscoreShow(RValue&, CInstance*, CInstance*, int, RValue* a) {
  std::vector<std::string> fields;
  std::stringstream in(Text(a[4]));
  for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
  fields.resize(std::max<size_t>(fields.size(), 7));
  const int style = (fields[3] == "1" ? 1 : 0) + (fields[4] == "1" ? 2 : 0);
  const double size = std::atof(fields[1].c_str());
  Call("highscore_set_font", {RValue(fields[0]), R(size), R(style)});
  Call("highscore_show_ext", {R(Game().score), R(Round(a[0])), R(Round(a[1]) == 1), R(Round(a[2])),
                              R(Round(a[3])), RValue(fields[0]), R(size)});
  Call("io_clear");
}
void HighscoreClear(RValue&, CInstance*, CInstance*, int, RValue*) { Call("highscore_clear"); }
void Nothing(RValue&, CInstance*, CInstance*, int, RValue*) {}

}  // namespace

void RegisterScoreActions() {
  Reg("action_set_score", 1, SetScore);
  Reg("action_if_score", 2, IfScore);
  Reg("action_draw_score", 3, DrawScore);
  Reg("action_set_life", 1, SetLife);
  Reg("action_if_life", 2, IfLife);
  Reg("action_draw_life", 3, DrawLife);
  Reg("action_draw_life_images", 3, DrawLifeImages);
  Reg("action_set_health", 1, SetHealth);
  Reg("action_if_health", 2, IfHealth);
  Reg("action_draw_health", 6, DrawHealth);
  Reg("action_set_caption", 6, SetCaption);
  Reg("action_highscore_show", 5, HighscoreShow);
  Reg("action_highscore_clear", 0, HighscoreClear);
  Reg("action_highscore", 0, Nothing);
  DescribeFunctions("Score actions", {
      {"action_set_score", "score", "Sets the score."},
      {"action_if_score", "value, op", "Compares the score with value (op: 0 equal, 1 smaller, 2 larger)."},
      {"action_draw_score", "x, y, caption", "Draws caption followed by the score at (x, y)."},
      {"action_set_life", "lives", "Sets the number of lives."},
      {"action_if_life", "value, op", "Compares the number of lives with value (op: 0 equal, 1 smaller, 2 larger)."},
      {"action_draw_life", "x, y, caption", "Draws caption followed by the number of lives at (x, y)."},
      {"action_draw_life_images", "x, y, spr", "Draws the sprite once for every life, side by side from (x, y)."},
      {"action_set_health", "health", "Sets the health."},
      {"action_if_health", "value, op", "Compares the health with value (op: 0 equal, 1 smaller, 2 larger)."},
      {"action_draw_health", "x1, y1, x2, y2, backcol, barcol",
       "Draws the health as a bar in the rectangle, with colours chosen from the action's lists."},
      {"action_set_caption", "showscore, scorecaption, showlives, livescaption, showhealth, healthcaption",
       "Sets what the window caption shows of the score, lives and health, and their captions."},
      {"action_highscore_show", "back, border, newcol, othercol, font",
       "Shows the high-score table with the given looks, adding the score when it is high enough."},
      {"action_highscore_clear", "", "Empties the high-score table."},
      {"action_highscore", "", "Kept so old games load; does nothing."},
  });
}

}  // namespace kv::actlib
