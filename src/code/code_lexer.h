// Compile phase one: cuts source text into tokens (keywords, identifiers, numbers, strings, symbols), each with
// the 1-based position of its first character.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kv {

// Token kinds; the numbers double as operator codes in the tree.
enum TokenKind : int {
  kTokEnd = -2, kTokBad = -1, kTokIdent = 0, kTokNumber = 1, kTokString = 2,
  kTokConstant = 5, kTokFunction = 6, kTokVariable = 7,
  kTokBegin = 11, kTokEndBlock = 12, kTokIf = 13, kTokThen = 14, kTokElse = 15, kTokWhile = 16, kTokDo = 17,
  kTokFor = 18, kTokUntil = 19, kTokRepeat = 20, kTokExit = 21, kTokBreak = 22, kTokContinue = 23,
  kTokWith = 24, kTokReturn = 25, kTokSwitch = 26, kTokCase = 27, kTokDefault = 28, kTokVar = 29,
  kTokGlobalVar = 30,
  kTokAssign = 101, kTokAddAssign = 102, kTokSubAssign = 103, kTokMulAssign = 104, kTokDivAssign = 105,
  kTokOpenParen = 106, kTokCloseParen = 107, kTokSemicolon = 108, kTokComma = 109, kTokOpenBracket = 110,
  kTokCloseBracket = 111, kTokDot = 112, kTokColon = 113, kTokOrAssign = 114, kTokAndAssign = 115,
  kTokXorAssign = 116,
  kOpAnd = 201, kOpOr = 202, kOpNot = 203, kOpLess = 204, kOpLessEq = 205, kOpEqual = 206, kOpNotEqual = 207,
  kOpGreaterEq = 208, kOpGreater = 209, kOpPlus = 210, kOpMinus = 211, kOpTimes = 212, kOpDivide = 213,
  kOpDiv = 214, kOpMod = 215, kOpXor = 216, kOpBitOr = 217, kOpBitAnd = 218, kOpBitXor = 219, kOpBitNot = 220,
  kOpShl = 221, kOpShr = 222,
};

struct LexToken {
  int kind = kTokEnd;
  std::string text;  // identifier/number characters, string content without quotes
  int position = 0;  // 1-based
};

// Appends tokens to out, ending with kTokEnd. On an unexpected symbol records "Unexpected symbol." (with the
// error routine, against `text` as a program or an expression) and returns false.
bool Tokenize(std::string_view text, bool isProgram, std::vector<LexToken>& out);

}  // namespace kv
