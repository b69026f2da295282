#include "debugger/debug_messages.h"

#include <cstdio>

#include "code/code_docs.h"
#include "code/code_function.h"
#include "functions/function_math.h"

namespace kv {

namespace {

constexpr size_t kKeptMessages = 1000;

std::function<void(const std::string&)>& Listener() {
  static std::function<void(const std::string&)> listener;
  return listener;
}

std::vector<std::string>& Messages() {
  static std::vector<std::string> messages;
  return messages;
}

void FnShowDebugMessage(RValue&, CInstance*, CInstance*, int, RValue* a) {
  const std::string text = a[0].IsReal() ? RealToText(a[0].Real()) : a[0].ToStdString();
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  auto& m = Messages();
  if (m.size() >= kKeptMessages) m.erase(m.begin());
  m.push_back(text);
  if (Listener()) Listener()(text);
}

}  // namespace

const std::vector<std::string>& DebugMessages() { return Messages(); }

void SetDebugMessageListener(std::function<void(const std::string&)> listener) {
  Listener() = std::move(listener);
}

void RegisterDebugMessageFunctions() {
  RegisterFunction("show_debug_message", FnShowDebugMessage, 1);
  DescribeFunctions("Debugging", {
      {"show_debug_message", "str", "Writes str to the runner's output and the debugger's message list."},
  });
}

}  // namespace kv
