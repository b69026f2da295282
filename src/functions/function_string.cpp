#include "functions/function_string.h"

#include <algorithm>

#include "code/code_docs.h"
#include "code/code_error.h"
#include "code/code_function.h"
#include "code/code_value.h"

namespace kv {

std::string_view StringCopy(std::string_view s, int64_t index, int64_t count) {
  if (index < 1) index = 1;
  int64_t len = static_cast<int64_t>(s.size());
  if (index > len || count < 0) return {};
  count = std::min(count, len - index + 1);
  return s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count));
}

std::string StringDelete(std::string_view s, int64_t index, int64_t count) {
  int64_t len = static_cast<int64_t>(s.size());
  if (index < 1 || index > len || count <= 0) return std::string(s);
  count = std::min(count, len - index + 1);
  std::string out(s.substr(0, static_cast<size_t>(index - 1)));
  out.append(s.substr(static_cast<size_t>(index - 1 + count)));
  return out;
}

std::string StringInsert(std::string_view sub, std::string_view s, int64_t index) {
  int64_t len = static_cast<int64_t>(s.size());
  index = std::clamp<int64_t>(index, 1, len + 1);
  std::string out;
  out.reserve(s.size() + sub.size());
  out.append(s.substr(0, static_cast<size_t>(index - 1)));
  out.append(sub);
  out.append(s.substr(static_cast<size_t>(index - 1)));
  return out;
}

int64_t StringPos(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  size_t p = s.find(sub);
  return p == std::string_view::npos ? 0 : static_cast<int64_t>(p) + 1;
}

int64_t StringCount(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  int64_t n = 0;
  if (sub.size() == 1) return std::count(s.begin(), s.end(), sub[0]);
  for (size_t p = s.find(sub); p != std::string_view::npos; p = s.find(sub, p + sub.size())) ++n;
  return n;
}

bool StringReplace(std::string_view s, std::string_view sub, std::string_view repl, bool all, std::string& out) {
  out.clear();
  if (sub.empty()) {
    out.assign(s);
    return true;
  }
  size_t from = 0;
  for (size_t p = s.find(sub); p != std::string_view::npos; p = s.find(sub, from)) {
    if (out.size() + (p - from) + repl.size() > kMaxStringLength) return false;
    out.append(s.substr(from, p - from)).append(repl);
    from = p + sub.size();
    if (!all) break;
  }
  if (out.size() + (s.size() - from) > kMaxStringLength) return false;
  out.append(s.substr(from));
  return true;
}

bool StringRepeat(std::string_view s, int64_t count, std::string& out) {
  out.clear();
  if (count <= 0 || s.empty()) return true;
  if (static_cast<uint64_t>(count) > kMaxStringLength / s.size()) return false;
  out.reserve(s.size() * static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) out.append(s);
  return true;
}

std::string StringLower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

std::string StringUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

std::string StringFilter(std::string_view s, bool letters, bool digits) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    bool isLetter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    bool isDigit = c >= '0' && c <= '9';
    if ((letters && isLetter) || (digits && isDigit)) out += c;
  }
  return out;
}

// ---------------------------------------------------------------------------------------------------------
// Script functions

namespace {

#define KV_FN(name) \
  void name([[maybe_unused]] RValue& result, CInstance*, CInstance*, [[maybe_unused]] int argc, \
            [[maybe_unused]] RValue* args)

int64_t I(const RValue* args, int i) { return RoundToInt64(args[i].Real()); }

KV_FN(FnChr) {
  char c = static_cast<char>(RoundToInt32Wrap(args[0].Real()) & 0xFF);
  result.SetString(std::string_view(&c, 1));
}
KV_FN(FnOrd) {
  std::string_view s = args[0].Str();
  result = s.empty() ? 0.0 : static_cast<double>(static_cast<unsigned char>(s[0]));
}
KV_FN(FnStringLength) { result = static_cast<double>(args[0].StrLength()); }
KV_FN(FnStringPos) { result = static_cast<double>(StringPos(args[0].Str(), args[1].Str())); }
KV_FN(FnStringCopy) { result.SetString(StringCopy(args[0].Str(), I(args, 1), I(args, 2))); }
KV_FN(FnStringCharAt) { result.SetString(StringCopy(args[0].Str(), I(args, 1), 1)); }
KV_FN(FnStringDelete) { result.SetString(StringDelete(args[0].Str(), I(args, 1), I(args, 2))); }
KV_FN(FnStringInsert) {
  std::string_view sub = args[0].Str(), s = args[1].Str();
  if (sub.size() + s.size() > kMaxStringLength) {
    ReportRuntimeError(kStringTooLongMessage);
    return;
  }
  result.SetString(StringInsert(sub, s, I(args, 2)));
}
KV_FN(FnStringLower) { result.SetString(StringLower(args[0].Str())); }
KV_FN(FnStringUpper) { result.SetString(StringUpper(args[0].Str())); }
KV_FN(FnStringRepeat) {
  std::string out;
  if (!StringRepeat(args[0].Str(), I(args, 1), out)) {
    ReportRuntimeError(kStringTooLongMessage);
    result.SetString({});
    return;
  }
  result.SetString(out);
}
KV_FN(FnStringLetters) { result.SetString(StringFilter(args[0].Str(), true, false)); }
KV_FN(FnStringDigits) { result.SetString(StringFilter(args[0].Str(), false, true)); }
KV_FN(FnStringLettersDigits) { result.SetString(StringFilter(args[0].Str(), true, true)); }
void Replace(RValue& result, RValue* args, bool all) {
  std::string out;
  if (!StringReplace(args[0].Str(), args[1].Str(), args[2].Str(), all, out)) {
    ReportRuntimeError(kStringTooLongMessage);
    result = args[0];
    return;
  }
  result.SetString(out);
}
KV_FN(FnStringReplace) { Replace(result, args, false); }
KV_FN(FnStringReplaceAll) { Replace(result, args, true); }
KV_FN(FnStringCount) { result = static_cast<double>(StringCount(args[0].Str(), args[1].Str())); }

#undef KV_FN

}  // namespace

void RegisterStringFunctions() {
  RegisterFunction("chr", FnChr, 1);
  RegisterFunction("ord", FnOrd, 1);
  RegisterFunction("string_length", FnStringLength, 1);
  RegisterFunction("string_pos", FnStringPos, 2);
  RegisterFunction("string_copy", FnStringCopy, 3);
  RegisterFunction("string_char_at", FnStringCharAt, 2);
  RegisterFunction("string_delete", FnStringDelete, 3);
  RegisterFunction("string_insert", FnStringInsert, 3);
  RegisterFunction("string_lower", FnStringLower, 1);
  RegisterFunction("string_upper", FnStringUpper, 1);
  RegisterFunction("string_repeat", FnStringRepeat, 2);
  RegisterFunction("string_letters", FnStringLetters, 1);
  RegisterFunction("string_digits", FnStringDigits, 1);
  RegisterFunction("string_lettersdigits", FnStringLettersDigits, 1);
  RegisterFunction("string_replace", FnStringReplace, 3);
  RegisterFunction("string_replace_all", FnStringReplaceAll, 3);
  RegisterFunction("string_count", FnStringCount, 2);
  DescribeFunctions("Strings", {
      {"chr", "code", "The one-character string with the given character code."},
      {"ord", "str", "The character code of the first character of str."},
      {"string_length", "str", "The number of characters in str."},
      {"string_pos", "substr, str", "The position of the first substr in str, 0 when it does not occur."},
      {"string_copy", "str, index, count", "The count characters of str starting at position index."},
      {"string_char_at", "str, index", "The character at position index of str."},
      {"string_delete", "str, index, count", "str without the count characters starting at position index."},
      {"string_insert", "substr, str, index", "str with substr inserted at position index."},
      {"string_lower", "str", "str in lower case."},
      {"string_upper", "str", "str in upper case."},
      {"string_repeat", "str, count", "str repeated count times."},
      {"string_letters", "str", "Only the letters of str."},
      {"string_digits", "str", "Only the digits of str."},
      {"string_lettersdigits", "str", "Only the letters and digits of str."},
      {"string_replace", "str, substr, newstr", "str with the first substr replaced by newstr."},
      {"string_replace_all", "str, substr, newstr", "str with every substr replaced by newstr."},
      {"string_count", "substr, str", "How many times substr occurs in str, without overlaps."},
  });
}

}  // namespace kv
