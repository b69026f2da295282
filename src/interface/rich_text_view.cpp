#include "interface/rich_text_view.h"

#include <algorithm>

namespace kv::ui {

namespace {

enum class TokenKind { Word, Space, Tab, Break, Picture };

struct Token {
  TokenKind kind = TokenKind::Word;
  const RichRun* run = nullptr;
  std::string text;
  int width = 0, ascent = 0, descent = 0;
};

std::vector<Token> Tokenize(const RichParagraph& p) {
  std::vector<Token> out;
  for (const RichRun& run : p.runs) {
    if (run.picture) {
      out.push_back({TokenKind::Picture, &run, {}, run.pictureWidth, run.pictureHeight, 0});
      continue;
    }
    const FormFont& font = GetFormFont(FontOf(run.format));
    const int ascent = font.baseline, descent = std::max(0, font.height - font.baseline);
    size_t i = 0;
    while (i < run.text.size()) {
      const char c = run.text[i];
      Token t{TokenKind::Word, &run, {}, 0, ascent, descent};
      if (c == '\n') {
        t.kind = TokenKind::Break;
        ++i;
      } else if (c == '\t') {
        t.kind = TokenKind::Tab;
        ++i;
      } else if (c == ' ') {
        t.kind = TokenKind::Space;
        while (i < run.text.size() && run.text[i] == ' ') t.text += run.text[i++];
      } else {
        while (i < run.text.size() && run.text[i] != ' ' && run.text[i] != '\t' && run.text[i] != '\n')
          t.text += run.text[i++];
      }
      t.width = TextWidth(font, t.text);
      out.push_back(std::move(t));
    }
  }
  return out;
}

struct Placed {
  Token token;
  int x = 0;
};

class ParagraphLayout {
 public:
  ParagraphLayout(const RichParagraph& p, int width, RichLayout& out, int& y)
      : p_(p), right_(std::max(width - p.rightIndent, p.leftIndent + 1)), out_(out), y_(y) {}

  void Run() {
    y_ += p_.spaceBefore;
    x_ = p_.leftIndent + p_.firstIndent;
    for (Token& t : Tokenize(p_)) {
      switch (t.kind) {
        case TokenKind::Break:
          Finish(false);
          break;
        case TokenKind::Tab: {
          t.width = NextTabStop(x_) - x_;
          Add(std::move(t));
          break;
        }
        case TokenKind::Space:
          if (line_.empty() && wrapped_) break;  // spaces that ended the previous line
          Add(std::move(t));
          break;
        case TokenKind::Word:
        case TokenKind::Picture:
          if (x_ + t.width > right_ && HasInk()) {
            Finish(true);
            wrapped_ = true;
          }
          Add(std::move(t));
          break;
      }
    }
    Finish(false);
    y_ += p_.spaceAfter;
  }

 private:
  const RichParagraph& p_;
  int right_;
  RichLayout& out_;
  int& y_;
  int x_ = 0;
  bool wrapped_ = false;
  bool firstLine_ = true;
  std::vector<Placed> line_;

  bool HasInk() const {
    return std::any_of(line_.begin(), line_.end(), [](const Placed& t) {
      return t.token.kind == TokenKind::Word || t.token.kind == TokenKind::Picture || t.token.kind == TokenKind::Tab;
    });
  }

  int NextTabStop(int x) const {
    for (int stop : p_.tabStops)
      if (stop > x) return stop;
    return (x / kDefaultTabWidth + 1) * kDefaultTabWidth;
  }

  void Add(Token t) {
    const int w = t.width;
    line_.push_back({std::move(t), x_});
    x_ += w;
  }

  // Places the line; `wrapped`: more of the paragraph follows on the next line (justified text spreads out).
  void Finish(bool wrapped) {
    while (!line_.empty() && line_.back().token.kind == TokenKind::Space) line_.pop_back();
    int ascent = 0, descent = 0;
    for (const Placed& t : line_) {
      ascent = std::max(ascent, t.token.ascent);
      descent = std::max(descent, t.token.descent);
    }
    if (line_.empty()) {
      const FormFont& f = GetFormFont(FontOf(p_.runs.empty() ? RichCharFormat{} : p_.runs.front().format));
      ascent = f.baseline;
      descent = f.height - f.baseline;
    }
    const int left = p_.leftIndent + (firstLine_ ? p_.firstIndent : 0);
    int lineWidth = 0;
    if (!line_.empty()) lineWidth = line_.back().x + line_.back().token.width - left;
    const int room = right_ - left - lineWidth;
    int offset = 0, spaces = 0;
    if (p_.align == RichAlign::Centre) offset = room / 2;
    if (p_.align == RichAlign::Right) offset = room;
    if (p_.align == RichAlign::Justify && wrapped && room > 0)
      for (const Placed& t : line_) spaces += t.token.kind == TokenKind::Space;
    int extra = 0, given = 0;
    for (Placed& t : line_) {
      RichPiece piece;
      piece.x = t.x + std::max(0, offset) + extra;
      if (t.token.kind == TokenKind::Space && spaces > 0) {
        const int add = room * (given + 1) / spaces - room * given / spaces;
        ++given;
        extra += add;
        t.token.width += add;
      }
      piece.y = y_ + ascent - t.token.ascent;
      piece.width = t.token.width;
      piece.height = t.token.ascent + t.token.descent;
      piece.run = t.token.run;
      if (t.token.kind == TokenKind::Word || t.token.kind == TokenKind::Space) piece.text = t.token.text;
      if (t.token.kind == TokenKind::Tab && !t.token.run->format.underline) continue;
      if (t.token.kind == TokenKind::Tab) piece.text = " ";  // an underlined tab draws its line
      RichPiece* last = out_.pieces.empty() ? nullptr : &out_.pieces.back();
      if (last && last->run == piece.run && !piece.run->picture && !piece.text.empty() && last->y == piece.y &&
          last->x + last->width == piece.x && t.token.kind != TokenKind::Tab && !last->text.empty() &&
          last->text != " ") {
        last->text += piece.text;
        last->width += piece.width;
      } else {
        out_.pieces.push_back(std::move(piece));
      }
    }
    y_ += ascent + descent;
    line_.clear();
    firstLine_ = false;
    x_ = p_.leftIndent;
  }
};

}  // namespace

FontLook FontOf(const RichCharFormat& f) { return {f.font, std::max(1, (f.halfPoints + 1) / 2), f.bold, f.italic}; }

RichLayout LayoutRichText(const RichDocument& doc, int width) {
  RichLayout layout;
  int y = 0;
  for (const RichParagraph& p : doc.paragraphs) ParagraphLayout(p, width, layout, y).Run();
  layout.height = y;
  return layout;
}

void DrawRichText(Canvas& canvas, const RichLayout& layout, int dx, int dy, int textColour) {
  for (const RichPiece& piece : layout.pieces) {
    if (piece.y + dy > canvas.Target().height || piece.y + piece.height + dy < 0) continue;
    const RichRun& run = *piece.run;
    if (run.picture) {
      canvas.DrawImage(*run.picture, piece.x + dx, piece.y + dy, piece.width, piece.height);
      continue;
    }
    const int colour = run.format.colour < 0 ? textColour : run.format.colour;
    if (piece.text == " " && run.format.underline) {
      const FormFont& f = GetFormFont(FontOf(run.format));
      canvas.FillRect(piece.x + dx, piece.y + dy + f.baseline + 1, piece.width, std::max(1, f.height / 16), colour);
      continue;
    }
    canvas.DrawText(GetFormFont(FontOf(run.format)), piece.text, piece.x + dx, piece.y + dy, colour,
                    run.format.underline, run.format.strike);
  }
}

}  // namespace kv::ui
