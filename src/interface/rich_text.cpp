#include "interface/rich_text.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "graphics/bitmap_ops.h"
#include "platform/text_codec.h"

namespace kv::ui {

namespace {

enum class Destination { Text, Skip, FontTable, ColourTable, Picture };
enum class PictureKind { None, Png, Jpeg };

struct ParagraphFormat {
  RichAlign align = RichAlign::Left;
  int leftIndent = 0, rightIndent = 0, firstIndent = 0, spaceBefore = 0, spaceAfter = 0;
  std::vector<int> tabStops;
};

struct GroupState {
  Destination dest = Destination::Text;
  RichCharFormat chars;
  ParagraphFormat para;
  int unicodeSkip = 1;  // \ucN: fallback characters that follow each \uN
  bool starred = false;  // \* seen: the group is skipped unless its first word is a destination we know
  bool firstWord = true;
};

// Destinations whose contents are never shown.
bool IsSkippedDestination(std::string_view word) {
  static constexpr std::string_view kSkipped[] = {
      "stylesheet", "info",      "header",     "headerl",       "headerr",   "headerf",    "footer",
      "footerl",    "footerr",   "footerf",    "object",        "listtable", "listoverridetable",
      "generator",  "themedata", "datastore",  "xmlnstbl",      "nonshppict", "latentstyles",
      "rsidtbl",    "footnote",  "annotation", "colorschememapping", "fldinst", "pntext",  "pntxta",
      "pntxtb",     "filetbl",   "revtbl",     "mmathPr",       "wgrffmtfilter", "xe",      "tc"};
  return std::find(std::begin(kSkipped), std::end(kSkipped), word) != std::end(kSkipped);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int TwipsToPixels(long twips) { return static_cast<int>(twips >= 0 ? (twips + 7) / 15 : -((-twips + 7) / 15)); }

// The CP-1252 byte of a Unicode character ('?' when there is none).
char Cp1252Of(long code) {
  if (code < 0) code += 65536;
  if (code < 0 || code > 0xFFFF) return '?';
  if (code < 0x80) return static_cast<char>(code);
  std::string utf8;
  if (code < 0x800) {
    utf8 += static_cast<char>(0xC0 | (code >> 6));
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    utf8 += static_cast<char>(0xE0 | ((code >> 12) & 0x0F));
    utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (code & 0x3F));
  }
  const std::string byte = plat::Utf8ToCp1252(utf8);
  return byte.size() == 1 ? byte[0] : '?';
}

class Reader {
 public:
  Reader(std::string_view in, const RichCharFormat& base) : in_(in), base_(base) {
    GroupState top;
    top.chars = base;
    stack_.push_back(top);
  }

  RichDocument Read() {
    while (pos_ < in_.size() && !ended_) Step();
    while (stack_.size() > 1) EndGroup();  // unbalanced input: close what is open
    if (!current_.runs.empty()) EndParagraph();
    return std::move(doc_);
  }

 private:
  std::string_view in_;
  size_t pos_ = 0;
  RichCharFormat base_;
  std::vector<GroupState> stack_;
  bool ended_ = false;
  int overflow_ = 0;  // groups opened beyond the depth limit, skipped whole
  int pendingSkip_ = 0;
  RichDocument doc_;
  RichParagraph current_;
  std::map<long, std::string> fonts_;
  long fontEntry_ = 0;
  std::string fontName_;
  std::vector<int> colours_;
  int red_ = 0, green_ = 0, blue_ = 0;
  bool colourSet_ = false;
  // The picture being read.
  PictureKind picKind_ = PictureKind::None;
  std::vector<uint8_t> picData_;
  int picNibble_ = -1;
  long picW_ = 0, picH_ = 0, picGoalW_ = 0, picGoalH_ = 0, picScaleX_ = 100, picScaleY_ = 100;

  GroupState& G() { return stack_.back(); }

  void Step() {
    const char c = in_[pos_];
    if (overflow_ > 0) {
      // Inside groups beyond the limit only braces count (and escaped braces are not braces).
      if (c == '\\') pos_ += 2;
      else {
        if (c == '{') ++overflow_;
        if (c == '}') --overflow_;
        ++pos_;
      }
      return;
    }
    if (c == '{') {
      ++pos_;
      if (static_cast<int>(stack_.size()) >= kMaxRichTextDepth) {
        overflow_ = 1;
        return;
      }
      GroupState next = G();
      next.starred = false;
      next.firstWord = true;
      stack_.push_back(next);
      return;
    }
    if (c == '}') {
      ++pos_;
      if (stack_.size() > 1) EndGroup();
      return;
    }
    if (c == '\r' || c == '\n') {
      ++pos_;
      return;
    }
    if (c != '\\') {
      ++pos_;
      Character(c);
      return;
    }
    ControlSequence();
  }

  void EndGroup() {
    // The document's own group ends: its last paragraph keeps the formats in effect inside it.
    if (stack_.size() == 2) {
      if (!current_.runs.empty()) EndParagraph();
      ended_ = true;  // what follows the document is not part of it
    }
    const GroupState closing = G();
    stack_.pop_back();
    pendingSkip_ = 0;
    if (closing.dest == Destination::Picture && G().dest != Destination::Picture) FinishPicture(closing);
    if (closing.dest == Destination::FontTable && G().dest != Destination::FontTable) StoreFontName();
  }

  void Character(char c) {
    switch (G().dest) {
      case Destination::Skip:
        return;
      case Destination::FontTable:
        if (c == ';') StoreFontName();
        else fontName_ += c;
        return;
      case Destination::ColourTable:
        if (c == ';') {
          colours_.push_back(colourSet_ ? (red_ & 255) | (green_ & 255) << 8 | (blue_ & 255) << 16 : -1);
          red_ = green_ = blue_ = 0;
          colourSet_ = false;
        }
        return;
      case Destination::Picture: {
        const int d = HexDigit(c);
        if (d < 0) return;
        if (picNibble_ < 0) {
          picNibble_ = d;
        } else {
          picData_.push_back(static_cast<uint8_t>(picNibble_ * 16 + d));
          picNibble_ = -1;
        }
        return;
      }
      case Destination::Text:
        Emit(c);
        return;
    }
  }

  void Emit(char c) {
    if (G().dest != Destination::Text) return;
    if (pendingSkip_ > 0) {
      --pendingSkip_;
      return;
    }
    const RichCharFormat& f = G().chars;
    if (current_.runs.empty() || current_.runs.back().picture || !(current_.runs.back().format == f))
      current_.runs.push_back(RichRun{f, {}, nullptr, 0, 0});
    current_.runs.back().text += c;
  }

  void StoreFontName() {
    std::string name = fontName_;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    while (!name.empty() && name.front() == ' ') name.erase(name.begin());
    if (!name.empty()) fonts_[fontEntry_] = name;
    fontName_.clear();
  }

  void EndParagraph() {
    const ParagraphFormat& p = G().para;
    current_.align = p.align;
    current_.leftIndent = p.leftIndent;
    current_.rightIndent = p.rightIndent;
    current_.firstIndent = p.firstIndent;
    current_.spaceBefore = p.spaceBefore;
    current_.spaceAfter = p.spaceAfter;
    current_.tabStops = p.tabStops;
    doc_.paragraphs.push_back(std::move(current_));
    current_ = RichParagraph();
  }

  void FinishPicture(const GroupState& /*group*/) {
    std::optional<CBitmap32> image;
    if (picKind_ == PictureKind::Png) image = gfx::DecodePng(picData_.data(), picData_.size());
    if (picKind_ == PictureKind::Jpeg) image = gfx::DecodeJpeg(picData_.data(), picData_.size());
    picData_.clear();
    picNibble_ = -1;
    const PictureKind kind = picKind_;
    picKind_ = PictureKind::None;
    if (kind == PictureKind::None || !image || image->width <= 0 || image->height <= 0) return;  // not shown
    long w = picGoalW_ > 0 ? TwipsToPixels(picGoalW_) : image->width;
    long h = picGoalH_ > 0 ? TwipsToPixels(picGoalH_) : image->height;
    w = w * std::clamp(picScaleX_, 1L, 1000L) / 100;
    h = h * std::clamp(picScaleY_, 1L, 1000L) / 100;
    RichRun run;
    run.format = G().chars;
    run.picture = std::make_shared<const CBitmap32>(std::move(*image));
    run.pictureWidth = static_cast<int>(std::clamp(w, 1L, 8192L));
    run.pictureHeight = static_cast<int>(std::clamp(h, 1L, 8192L));
    if (G().dest == Destination::Text) current_.runs.push_back(std::move(run));
  }

  void ControlSequence() {
    ++pos_;  // the backslash
    if (pos_ >= in_.size()) return;
    const char n = in_[pos_];
    if (n == '\\' || n == '{' || n == '}') {
      ++pos_;
      Character(n);
      return;
    }
    if (n == '*') {
      ++pos_;
      G().starred = true;
      return;
    }
    if (n == '\'') {
      ++pos_;
      const int hi = pos_ < in_.size() ? HexDigit(in_[pos_]) : -1;
      const int lo = pos_ + 1 < in_.size() ? HexDigit(in_[pos_ + 1]) : -1;
      if (hi >= 0 && lo >= 0) {
        pos_ += 2;
        Character(static_cast<char>(hi * 16 + lo));
      } else {
        pos_ += hi >= 0 ? 1 : 0;  // a cut-short escape gives no character
      }
      return;
    }
    if (!std::isalpha(static_cast<unsigned char>(n))) {
      ++pos_;
      if (n == '~') Emit('\xA0');
      else if (n == '_') Emit('-');
      else if (n == '\r' || n == '\n') ParagraphMark();
      return;  // \-, \|, \: carry nothing we show
    }
    const size_t start = pos_;
    while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])) && pos_ - start < 32) ++pos_;
    const std::string_view word = in_.substr(start, pos_ - start);
    while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_]))) ++pos_;  // overlong words
    bool hasParam = false, negative = false;
    long param = 0;
    if (pos_ < in_.size() && in_[pos_] == '-') negative = true, ++pos_;
    while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_]))) {
      if (param < 100000000) param = param * 10 + (in_[pos_] - '0');
      hasParam = true;
      ++pos_;
    }
    if (negative) param = -param;
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;  // the delimiting space belongs to the word
    Word(word, hasParam, param);
  }

  void ParagraphMark() {
    if (G().dest == Destination::Text) EndParagraph();
  }

  void Word(std::string_view w, bool hasParam, long p) {
    GroupState& g = G();
    const bool first = g.firstWord;
    g.firstWord = false;
    if (w == "bin") {
      const size_t n = hasParam && p > 0 ? std::min<size_t>(static_cast<size_t>(p), in_.size() - pos_) : 0;
      if (g.dest == Destination::Picture) picData_.insert(picData_.end(), in_.begin() + pos_, in_.begin() + pos_ + n);
      pos_ += n;  // binary data is never text
      return;
    }
    if (g.starred && first) {
      if (w == "shppict") return;  // holds the picture itself
      g.dest = Destination::Skip;
      return;
    }
    if (g.dest == Destination::Skip) return;
    if (w == "fonttbl") return void(g.dest = Destination::FontTable);
    if (w == "colortbl") {
      colours_.clear();
      return void(g.dest = Destination::ColourTable);
    }
    if (w == "pict") {
      g.dest = Destination::Picture;
      picKind_ = PictureKind::None;
      picData_.clear();
      picNibble_ = -1;
      picW_ = picH_ = picGoalW_ = picGoalH_ = 0;
      picScaleX_ = picScaleY_ = 100;
      return;
    }
    if (IsSkippedDestination(w)) return void(g.dest = Destination::Skip);

    if (g.dest == Destination::FontTable) {
      if (w == "f" && hasParam) {
        StoreFontName();
        fontEntry_ = p;
      }
      return;
    }
    if (g.dest == Destination::ColourTable) {
      const int v = static_cast<int>(std::clamp(p, 0L, 255L));
      if (w == "red") red_ = v, colourSet_ = true;
      else if (w == "green") green_ = v, colourSet_ = true;
      else if (w == "blue") blue_ = v, colourSet_ = true;
      return;
    }
    if (g.dest == Destination::Picture) {
      if (w == "pngblip") picKind_ = PictureKind::Png;
      else if (w == "jpegblip") picKind_ = PictureKind::Jpeg;
      else if (w == "picw") picW_ = p;
      else if (w == "pich") picH_ = p;
      else if (w == "picwgoal") picGoalW_ = p;
      else if (w == "pichgoal") picGoalH_ = p;
      else if (w == "picscalex") picScaleX_ = p;
      else if (w == "picscaley") picScaleY_ = p;
      return;
    }

    RichCharFormat& f = g.chars;
    ParagraphFormat& para = g.para;
    const bool on = !hasParam || p != 0;
    // Character formatting.
    if (w == "plain") f = base_;
    else if (w == "b") f.bold = on;
    else if (w == "i") f.italic = on;
    else if (w == "ul") f.underline = on;
    else if (w == "ulnone") f.underline = false;
    else if (w == "strike") f.strike = on;
    else if (w == "f" && hasParam) {
      const auto it = fonts_.find(p);
      if (it != fonts_.end()) f.font = it->second;
    } else if (w == "fs" && hasParam && p > 0) f.halfPoints = static_cast<int>(std::min(p, 1000L));
    else if (w == "cf" && hasParam) f.colour = p >= 0 && p < static_cast<long>(colours_.size()) ? colours_[p] : -1;
    // Paragraph formatting.
    else if (w == "pard") para = ParagraphFormat();
    else if (w == "ql") para.align = RichAlign::Left;
    else if (w == "qc") para.align = RichAlign::Centre;
    else if (w == "qr") para.align = RichAlign::Right;
    else if (w == "qj") para.align = RichAlign::Justify;
    else if (w == "li") para.leftIndent = TwipsToPixels(std::clamp(p, -100000L, 100000L));
    else if (w == "ri") para.rightIndent = TwipsToPixels(std::clamp(p, -100000L, 100000L));
    else if (w == "fi") para.firstIndent = TwipsToPixels(std::clamp(p, -100000L, 100000L));
    else if (w == "sb") para.spaceBefore = TwipsToPixels(std::clamp(p, 0L, 100000L));
    else if (w == "sa") para.spaceAfter = TwipsToPixels(std::clamp(p, 0L, 100000L));
    else if (w == "tx" && hasParam && para.tabStops.size() < 64)
      para.tabStops.push_back(TwipsToPixels(std::clamp(p, 0L, 100000L)));
    // Text.
    else if (w == "par" || w == "page" || w == "sect") ParagraphMark();
    else if (w == "line") Emit('\n');
    else if (w == "tab") Emit('\t');
    else if (w == "emdash") Emit('\x97');
    else if (w == "endash") Emit('\x96');
    else if (w == "bullet") Emit('\x95');
    else if (w == "lquote") Emit('\x91');
    else if (w == "rquote") Emit('\x92');
    else if (w == "ldblquote") Emit('\x93');
    else if (w == "rdblquote") Emit('\x94');
    else if (w == "uc" && hasParam) g.unicodeSkip = static_cast<int>(std::clamp(p, 0L, 16L));
    else if (w == "u" && hasParam) {
      Emit(Cp1252Of(p));
      pendingSkip_ = g.unicodeSkip;
    }
  }
};

RichDocument PlainDocument(std::string_view text, const RichCharFormat& base) {
  RichDocument doc;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    RichParagraph p;
    if (end > start) p.runs.push_back(RichRun{base, std::string(text.substr(start, end - start)), nullptr, 0, 0});
    doc.paragraphs.push_back(std::move(p));
    if (end >= text.size()) break;
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    if (start >= text.size()) break;
  }
  return doc;
}

}  // namespace

RichDocument ParseRichText(std::string_view text, const RichCharFormat& base) {
  if (text.substr(0, 5) != "{\\rtf") return PlainDocument(text, base);
  return Reader(text, base).Read();
}

std::string RichTextToPlain(std::string_view text) {
  if (text.substr(0, 5) != "{\\rtf") return std::string(text);
  const RichDocument doc = ParseRichText(text);
  std::string out;
  for (size_t i = 0; i < doc.paragraphs.size(); ++i) {
    if (i) out += "\r\n";
    for (const RichRun& run : doc.paragraphs[i].runs) out += run.text;
  }
  while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) out.resize(out.size() - 2);
  return out;
}

}  // namespace kv::ui
