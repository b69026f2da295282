// End to end: a script-language program that uses each family, compiled and run by kvbench.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>


namespace kv {
namespace {

TEST(FamiliesProgram, PrintsTheExpectedLine) {
  std::string kvbench = std::string(KV_BIN_DIR) + "/kvbench";
  if (!std::filesystem::exists(kvbench)) GTEST_SKIP() << "kvbench not built";
  std::string program = std::string(KV_SOURCE_DIR) + "/tests/functions/data/families.kvs";
  std::string command = "\"" + kvbench + "\" \"" + program + "\" 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  std::array<char, 256> buf;
  while (size_t n = fread(buf.data(), 1, buf.size(), pipe)) out.append(buf.data(), n);
  pclose(pipe);
  if (out.find("Unknown function or script") != std::string::npos)
    GTEST_SKIP() << "kvbench was built without these families: " << out;
  // stdout holds the result line, then stderr the run time.
  EXPECT_EQ(out.substr(0, out.find('\n') + 1), "2.50|-3|    3.14|12.50|ELL|2|a+b+c|2|31|53|2001-02-28|5|five|a|13x|10\n");
}

}  // namespace
}  // namespace kv
