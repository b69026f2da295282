#include "functions/file_names.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace kv {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// 1-based index of the last character in `set`, 0 when none (the shape of every rule below).
size_t LastOf(std::string_view name, const char* set) {
  for (size_t i = name.size(); i > 0; --i)
    if (std::strchr(set, name[i - 1]) && name[i - 1] != '\0') return i;
  return 0;
}

}  // namespace

bool HasPathSeparator(std::string_view name) { return name.find_first_of("\\/") != std::string_view::npos; }

std::string FileNameName(std::string_view name) { return std::string(name.substr(LastOf(name, "\\/:"))); }

std::string FileNamePath(std::string_view name) { return std::string(name.substr(0, LastOf(name, "\\/:"))); }

std::string FileNameDir(std::string_view name) {
  size_t i = LastOf(name, "\\/:");
  // Drop the folder separator itself, except for a root ("\", "C:\"), whose separator follows a drive or nothing.
  if (i > 1 && (name[i - 1] == '\\' || name[i - 1] == '/') && !IsSeparator(name[i - 2])) --i;
  return std::string(name.substr(0, i));
}

std::string FileNameDrive(std::string_view name) {
  if (name.size() >= 2 && name[1] == ':') return std::string(name.substr(0, 2));
  auto sep = [](char c) { return c == '\\' || c == '/'; };
  if (name.size() >= 2 && sep(name[0]) && sep(name[1])) {
    // "\\server\share": up to the separator after the share name.
    size_t separators = 0;
    size_t i = 2;
    for (; i < name.size(); ++i) {
      if (sep(name[i]) && ++separators == 2) break;
    }
    return std::string(name.substr(0, i));
  }
  return std::string();
}

std::string FileNameExt(std::string_view name) {
  const size_t i = LastOf(name, ".\\/:");
  if (i > 0 && name[i - 1] == '.') return std::string(name.substr(i - 1));
  return std::string();
}

std::string FileNameChangeExt(std::string_view name, std::string_view ext) {
  size_t i = LastOf(name, ".\\/:");
  if (i == 0 || name[i - 1] != '.') i = name.size() + 1;
  return std::string(name.substr(0, i - 1)) + std::string(ext);
}

std::string FormatTextFileReal(double x) {
  if (x == 0) x = 0;  // no "-0.0000"
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 4);
  if (ec != std::errc()) return " 0.0000";
  return " " + std::string(buf, end);
}

std::string FormatGeneralReal(double x) {
  if (x == 0) return "0";
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x > 0 ? "INF" : "-INF";
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 15);
  if (ec != std::errc()) return "0";
  // to_chars writes "1e+20" / "1e-05"; the stored form is "1E20" / "1E-5".
  std::string s(buf, end);
  const size_t e = s.find('e');
  if (e == std::string::npos) return s;
  std::string mantissa = s.substr(0, e);
  std::string exponent = s.substr(e + 1);
  bool negative = false;
  size_t k = 0;
  if (k < exponent.size() && (exponent[k] == '+' || exponent[k] == '-')) negative = exponent[k++] == '-';
  while (k + 1 < exponent.size() && exponent[k] == '0') ++k;
  return mantissa + "E" + (negative ? "-" : "") + exponent.substr(k);
}

double ParseIniNumber(std::string_view text) {
  double integerPart = 0, fraction = 0, scale = 1, exponent = 0;
  double sign = 1, exponentSign = 1;
  bool separatorSeen = false, exponentSeen = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      const int d = c - '0';
      if (exponentSeen) {
        exponent = exponent * 10 + d;
      } else if (separatorSeen) {
        scale /= 10;
        fraction += d * scale;
      } else {
        integerPart = integerPart * 10 + d;
      }
    } else if (c == '.' || c == ',') {
      if (separatorSeen || exponentSeen) break;
      separatorSeen = true;
    } else if (c == 'E' || c == 'e') {
      if (exponentSeen) break;
      exponentSeen = true;
    } else if (c == '-') {
      if (exponentSeen)
        exponentSign = -exponentSign;
      else
        sign = -sign;
    } else {
      break;
    }
  }
  return sign * (integerPart + fraction) * std::pow(10.0, exponentSign * exponent);
}

bool ParseTextFileNumber(std::string_view token, double& out) {
  std::string t(token);
  if (t.find('.') == std::string::npos)
    for (char& c : t)
      if (c == ',') c = '.';
  const char* begin = t.data();
  const char* end = t.data() + t.size();
  if (begin != end && *begin == '+') ++begin;
  if (begin == end) return false;
  auto [ptr, ec] = std::from_chars(begin, end, out, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) return ptr == end;  // from_chars leaves out at its old value
  return ec == std::errc() && ptr == end;
}

}  // namespace kv
