#include <gtest/gtest.h>

#include "runner/runner_options.h"

using kv::OptionsParseResult;
using kv::ParseRunnerOptions;
using kv::RunnerOptions;
using Status = OptionsParseResult::Status;

TEST(RunnerOptions, ParsesEveryOption) {
  const auto r = ParseRunnerOptions({"--headless", "game.exe", "--steps", "120", "--fast", "--virtual-clock",
                                     "--seed=-7", "--input", "in.txt", "--screenshot", "5:a.png",
                                     "--screenshot=10:dir/b:c.png", "--answers", "ans.txt", "--verbose", "--registry", ":memory:",
                                     "--secure-mode=1", "--", "--steps", "x", "game"});
  ASSERT_EQ(r.status, Status::Run) << r.error;
  const RunnerOptions& o = r.options;
  EXPECT_EQ(o.gamePath, "game.exe");
  EXPECT_TRUE(o.headless && o.fast && o.virtualClock && o.verbose);
  EXPECT_EQ(o.steps, 120);
  EXPECT_EQ(o.seed, -7);
  EXPECT_EQ(o.inputFile, "in.txt");
  EXPECT_EQ(o.answersFile, "ans.txt");
  EXPECT_EQ(o.registry, ":memory:");
  EXPECT_EQ(o.secureMode, true);
  const std::vector<kv::ScreenshotRequest> shots = {{5, "a.png"}, {10, "dir/b:c.png"}};
  EXPECT_EQ(o.screenshots, shots);
  // Everything after "--" belongs to the game, options included.
  const std::vector<std::string> gameArgs = {"--steps", "x", "game"};
  EXPECT_EQ(o.gameArguments, gameArgs);
}

TEST(RunnerOptions, DefaultsWithoutOptions) {
  const auto r = ParseRunnerOptions({});
  ASSERT_EQ(r.status, Status::Run);
  EXPECT_EQ(r.options.gamePath, "");  // → ask for the game file
  EXPECT_FALSE(r.options.headless || r.options.fast || r.options.virtualClock || r.options.verbose);
  EXPECT_FALSE(r.options.steps.has_value());
  EXPECT_FALSE(r.options.seed.has_value());
  EXPECT_TRUE(r.options.gameArguments.empty());
}

TEST(RunnerOptions, HelpWinsWherever) {
  EXPECT_EQ(ParseRunnerOptions({"--help"}).status, Status::Help);
  EXPECT_EQ(ParseRunnerOptions({"game", "--headless", "-h"}).status, Status::Help);
  EXPECT_EQ(ParseRunnerOptions({"game", "--", "--help"}).status, Status::Run);  // the game's own argument
  EXPECT_EQ(ParseRunnerOptions({"--version", "--bogus"}).status, Status::Version);
}

TEST(RunnerOptions, BadUsageIsReported) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"},
      {"game", "other"},            // two games
      {"--steps"},                  // missing value
      {"--steps", "-1"},
      {"--steps", "ten"},
      {"--steps", "12x"},
      {"--steps", ""},
      {"--steps", "+5"},
      {"--seed", "4294967296"},     // beyond 32 bits
      {"--seed", "1.5"},
      {"--screenshot", "12"},       // no file
      {"--screenshot", ":a.png"},
      {"--screenshot", "3:"},
      {"--screenshot", "x:a.png"},
      {"--input"},
      {"--answers", ""},
      {"--headless=1"},             // flags take no value
      {"-x"},
      {"--registry"},
      {"--secure-mode", "yes"},
  };
  for (const auto& args : cases) {
    const auto r = ParseRunnerOptions(args);
    EXPECT_EQ(r.status, Status::Error) << args.front();
    EXPECT_FALSE(r.error.empty());
  }
}

TEST(RunnerOptions, UsageNamesEveryOption) {
  const std::string usage = kv::RunnerUsage();
  for (const char* option : {"--headless", "--steps", "--fast", "--virtual-clock", "--seed", "--input",
                             "--screenshot", "--answers", "--verbose", "--registry", "--secure-mode", "--help",
                             "--version"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}
