#include "platform/headless/dialog_answers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace kv::plat {
namespace {

enum class ValueRule { Integer, YesNo, IgnoreAbort, Text, Anything };

struct KindRule {
  std::string_view kind;
  ValueRule rule;
};

constexpr std::array<KindRule, 12> kKinds = {{{"message", ValueRule::Integer},
                                              {"question", ValueRule::YesNo},
                                              {"string", ValueRule::Text},
                                              {"integer", ValueRule::Integer},
                                              {"menu", ValueRule::Integer},
                                              {"open", ValueRule::Text},
                                              {"save", ValueRule::Text},
                                              {"colour", ValueRule::Integer},
                                              {"error", ValueRule::IgnoreAbort},
                                              {"score", ValueRule::Text},
                                              {"directory", ValueRule::Text},
                                              {"any", ValueRule::Anything}}};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool IsInteger(const std::string& s) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  std::strtoll(s.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

// Reads the answer part: a quoted string (escapes \" and \\) or the bare rest of the line.
std::optional<std::string> ParseValue(std::string_view rest, std::string& error) {
  rest = Trim(rest);
  if (rest.empty() || rest.front() != '"') return std::string(rest);
  std::string value;
  for (size_t i = 1; i < rest.size(); ++i) {
    const char c = rest[i];
    if (c == '\\' && i + 1 < rest.size() && (rest[i + 1] == '"' || rest[i + 1] == '\\')) {
      value += rest[++i];
    } else if (c == '"') {
      if (!Trim(rest.substr(i + 1)).empty()) {
        error = "text after the closing quote";
        return std::nullopt;
      }
      return value;
    } else {
      value += c;
    }
  }
  error = "missing closing quote";
  return std::nullopt;
}

std::string CheckValue(ValueRule rule, const std::string& value) {
  switch (rule) {
    case ValueRule::Integer:
      return IsInteger(value) ? "" : "expected a whole number";
    case ValueRule::YesNo:
      return value == "yes" || value == "no" ? "" : "expected yes or no";
    case ValueRule::IgnoreAbort:
      return value == "ignore" || value == "abort" ? "" : "expected ignore or abort";
    case ValueRule::Text:
    case ValueRule::Anything:
      return "";
  }
  return "";
}

}  // namespace

AnswersParseResult ParseDialogAnswers(std::string_view text) {
  AnswersParseResult result;
  int lineNumber = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;

    auto fail = [&](const std::string& message) {
      result.answers.clear();
      result.error = "line " + std::to_string(lineNumber) + ": " + message;
      return result;
    };
    const size_t space = line.find_first_of(" \t");
    const std::string_view kind = line.substr(0, space);
    const auto rule = std::find_if(kKinds.begin(), kKinds.end(), [&](const KindRule& k) { return k.kind == kind; });
    if (rule == kKinds.end()) return fail("unknown dialog kind \"" + std::string(kind) + "\"");
    if (space == std::string_view::npos) return fail("missing answer");
    std::string error;
    auto value = ParseValue(line.substr(space), error);
    if (!value) return fail(error);
    const bool quoted = Trim(line.substr(space)).front() == '"';
    if (value->empty() && !quoted) return fail("missing answer");
    if (std::string problem = CheckValue(rule->rule, *value); !problem.empty()) return fail(problem);
    result.answers.push_back({std::string(kind), std::move(*value), lineNumber});
  }
  return result;
}

std::optional<std::string> AnswerQueue::Take(std::string_view kind) {
  if (!answers_.empty() && (answers_.front().kind == kind || answers_.front().kind == "any")) {
    std::string value = std::move(answers_.front().value);
    answers_.pop_front();
    return value;
  }
  ++unexpected_;
  return std::nullopt;
}

}  // namespace kv::plat
