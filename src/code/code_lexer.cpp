#include "code/code_lexer.h"

#include <cstring>

#include "code/code_error.h"

namespace kv {

namespace {
bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsHex(unsigned char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

struct Word {
  const char* text;
  int kind;
};
constexpr Word kKeywords[] = {
    {"begin", kTokBegin}, {"end", kTokEndBlock}, {"if", kTokIf}, {"then", kTokThen}, {"else", kTokElse},
    {"while", kTokWhile}, {"do", kTokDo}, {"for", kTokFor}, {"until", kTokUntil}, {"repeat", kTokRepeat},
    {"exit", kTokExit}, {"break", kTokBreak}, {"continue", kTokContinue}, {"with", kTokWith},
    {"return", kTokReturn}, {"switch", kTokSwitch}, {"case", kTokCase}, {"default", kTokDefault},
    {"var", kTokVar}, {"globalvar", kTokGlobalVar}, {"and", kOpAnd}, {"or", kOpOr}, {"not", kOpNot},
    {"xor", kOpXor}, {"div", kOpDiv}, {"mod", kOpMod},
};
constexpr Word kTwoCharSymbols[] = {
    {":=", kTokAssign}, {"+=", kTokAddAssign}, {"-=", kTokSubAssign}, {"*=", kTokMulAssign},
    {"/=", kTokDivAssign}, {"|=", kTokOrAssign}, {"&=", kTokAndAssign}, {"^=", kTokXorAssign},
    {"&&", kOpAnd}, {"||", kOpOr}, {"^^", kOpXor}, {"<=", kOpLessEq}, {"==", kOpEqual}, {"!=", kOpNotEqual},
    {"<>", kOpNotEqual}, {">=", kOpGreaterEq}, {"<<", kOpShl}, {">>", kOpShr},
};
constexpr Word kOneCharSymbols[] = {
    {"{", kTokBegin}, {"}", kTokEndBlock}, {"=", kTokAssign}, {"(", kTokOpenParen}, {")", kTokCloseParen},
    {";", kTokSemicolon}, {",", kTokComma}, {"[", kTokOpenBracket}, {"]", kTokCloseBracket}, {".", kTokDot},
    {":", kTokColon}, {"!", kOpNot}, {"<", kOpLess}, {">", kOpGreater}, {"+", kOpPlus}, {"-", kOpMinus},
    {"*", kOpTimes}, {"/", kOpDivide}, {"|", kOpBitOr}, {"&", kOpBitAnd}, {"^", kOpBitXor}, {"~", kOpBitNot},
};
}  // namespace

bool Tokenize(std::string_view source, bool isProgram, std::vector<LexToken>& out) {
  // Three spaces of padding so that looking ahead never leaves the text.
  const size_t len = source.size();
  std::string buf(source);
  buf.append(3, ' ');
  const char* s = buf.data();
  size_t i = 0;  // 0-based index; positions are i + 1
  for (;;) {
    while (i < len && static_cast<unsigned char>(s[i]) <= 32) ++i;
    if (i >= len) {
      out.push_back(LexToken{kTokEnd, std::string(), static_cast<int>(len) + 1});
      return true;
    }
    const size_t start = i;
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '/' && s[i + 1] == '/') {
      while (i < len && s[i] != '\r' && s[i] != '\n') ++i;
      if (i < len) ++i;  // the line break belongs to the comment
      continue;
    }
    if (c == '/' && s[i + 1] == '*') {
      // The search for "*/" starts at the opener's "/", so "/*/" is a complete comment.
      size_t j = start;
      while (j + 1 < len && !(s[j] == '*' && s[j + 1] == '/')) ++j;
      i = (j + 1 < len) ? j + 2 : len;
      continue;
    }
    LexToken tok;
    tok.position = static_cast<int>(start) + 1;
    if (IsLetter(c)) {
      while (i < len && (IsLetter(s[i]) || IsDigit(s[i]))) ++i;
      tok.text.assign(s + start, i - start);
      tok.kind = kTokIdent;
      for (const Word& w : kKeywords)
        if (tok.text == w.text) {
          tok.kind = w.kind;
          break;
        }
    } else if (IsDigit(c) || c == '$' || (c == '.' && IsDigit(s[i + 1]))) {
      if (c == '$') {
        ++i;
        while (i < len && IsHex(s[i])) ++i;
      } else {
        while (i < len && (IsDigit(s[i]) || s[i] == '.')) ++i;
      }
      tok.kind = kTokNumber;
      tok.text.assign(s + start, i - start);
    } else if (c == '\'' || c == '"') {
      ++i;
      size_t j = i;
      while (j < len && static_cast<unsigned char>(s[j]) != c) ++j;
      // An unterminated string ends at the real end of the text (never in the padding).
      tok.text.assign(s + i, j - i);
      i = j < len ? j + 1 : len;
      tok.kind = kTokString;
    } else {
      tok.kind = kTokBad;
      for (const Word& w : kTwoCharSymbols)
        if (i + 1 < len && s[i] == w.text[0] && s[i + 1] == w.text[1]) {
          tok.kind = w.kind;
          tok.text = w.text;
          i += 2;
          break;
        }
      if (tok.kind == kTokBad)
        for (const Word& w : kOneCharSymbols)
          if (s[i] == w.text[0]) {
            tok.kind = w.kind;
            tok.text = w.text;
            i += 1;
            break;
          }
      if (tok.kind == kTokBad) {
        RecordError(source, isProgram, tok.position, "Unexpected symbol.");
        return false;
      }
    }
    out.push_back(std::move(tok));
  }
}

}  // namespace kv
