#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/posix/posix_system.h"
#include "platform/posix/process.h"
#include "platform/text_codec.h"

using namespace kv::plat;

TEST(TextCodec, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Cp1252ToUtf8(all);
  EXPECT_EQ(Utf8ToCp1252(utf8), all);
}

TEST(TextCodec, KnownMappingsAndBadInput) {
  const std::vector<std::pair<std::string, std::string>> cp1252ToUtf8 = {
      {"abc", "abc"},
      {"\x80", "\xE2\x82\xAC"},        // euro sign
      {"\x81", "\xC2\x81"},            // undefined byte keeps its value
      {"\x9F", "\xC5\xB8"},            // Y with diaeresis
      {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
  };
  for (const auto& [bytes, utf8] : cp1252ToUtf8) {
    EXPECT_EQ(Cp1252ToUtf8(bytes), utf8);
    EXPECT_EQ(Utf8ToCp1252(utf8), bytes);
  }
  EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD!"), "?!");      // no CP-1252 byte for it
  EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");               // cut-off sequence
  EXPECT_EQ(Utf8ToCp1252("\xC3(x", '_'), "_(x");         // bad continuation byte
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80"), "?");      // outside the basic plane
}

TEST(Clock, VirtualClockMovesOnlyWhenWaiting) {
  auto clock = CreateVirtualClock(1000);
  EXPECT_EQ(clock->Micros(), 1000);
  clock->Sleep(16667);
  EXPECT_EQ(clock->Micros(), 17667);
  clock->Sleep(-5);
  clock->Sleep(0);
  EXPECT_EQ(clock->Micros(), 17667);
}

TEST(Clock, RealClockSleepsAtLeastTheRequestedTime) {
  auto clock = CreateRealClock();
  const int64_t start = clock->Micros();
  clock->Sleep(3000);
  const int64_t elapsed = clock->Micros() - start;
  EXPECT_GE(elapsed, 3000);
  EXPECT_LT(elapsed, 2000000);
}

TEST(System, PriorityLevelsMapToNiceValues) {
  EXPECT_EQ(NiceForPriority(0), std::nullopt);
  EXPECT_EQ(NiceForPriority(1), -5);
  EXPECT_EQ(NiceForPriority(2), -10);
  EXPECT_EQ(NiceForPriority(3), std::nullopt);
  EXPECT_EQ(NiceForPriority(-1), std::nullopt);
}

TEST(Process, FindsProgramsAndCapturesTheirOutput) {
  EXPECT_TRUE(FindOnPath("sh").has_value());
  EXPECT_FALSE(FindOnPath("kv-no-such-program-here").has_value());
  EXPECT_FALSE(FindOnPath("").has_value());

  auto echo = RunAndCapture({"sh", "-c", "printf 'a b\\n'; exit 3"});
  ASSERT_TRUE(echo.has_value());
  EXPECT_EQ(echo->output, "a b\n");
  EXPECT_EQ(echo->exitCode, 3);
  // Arguments reach the program unchanged: no shell splits or expands them.
  auto args = RunAndCapture({"printf", "%s|", "two words", "$HOME", "*"});
  ASSERT_TRUE(args.has_value());
  EXPECT_EQ(args->output, "two words|$HOME|*|");
  EXPECT_FALSE(RunAndCapture({"kv-no-such-program-here"}).has_value());
}

TEST(System, EnvironmentLookupPrefersExactNamesThenIgnoresCase) {
  const char* env[] = {"PATH=/bin", "Temp=/t1", "TEMP=/t2", "EMPTY=", "odd", "HOMEDIR=/h", nullptr};
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"PATH", "/bin"}, {"path", "/bin"}, {"TEMP", "/t2"}, {"Temp", "/t1"}, {"temp", "/t1"},
      {"EMPTY", ""},    {"odd", std::nullopt}, {"HOME", std::nullopt}, {"", std::nullopt}, {"A=B", std::nullopt},
  };
  for (const auto& [name, value] : cases) EXPECT_EQ(FindEnv(env, name), value) << name;
  EXPECT_EQ(FindEnv(nullptr, "PATH"), std::nullopt);
}
