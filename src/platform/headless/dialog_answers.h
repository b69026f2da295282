#pragma once
// Scripted answers for dialogs in headless runs (`--answers FILE`): one answer per line, `<kind> <answer>`, used in
// order. Blank lines and lines starting with '#' are ignored. The answer is a bare word or a double-quoted string
// with \" and \\ escapes. Kinds: message N, question yes|no, string "text", integer N, menu N, open "path",
// save "path" (an empty path cancels), colour N, directory "path", error ignore|abort, score "name", and any <answer>, which
// answers whatever dialog comes next.
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::plat {

struct DialogAnswer {
  std::string kind;
  std::string value;
  int line = 0;
};

struct AnswersParseResult {
  std::vector<DialogAnswer> answers;
  std::string error;  // "line N: ..." when the text is malformed; answers is then empty
};

AnswersParseResult ParseDialogAnswers(std::string_view text);

class AnswerQueue {
 public:
  AnswerQueue() = default;
  explicit AnswerQueue(std::vector<DialogAnswer> answers) : answers_(answers.begin(), answers.end()) {}
  // The next answer when it is meant for a dialog of this kind (or for any); otherwise nothing is consumed and the
  // dialog counts as unexpected.
  std::optional<std::string> Take(std::string_view kind);
  size_t Remaining() const { return answers_.size(); }
  int UnexpectedCount() const { return unexpected_; }

 private:
  std::deque<DialogAnswer> answers_;
  int unexpected_ = 0;
};

}  // namespace kv::plat
