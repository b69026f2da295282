// Shared by the end-to-end run tests: a kvpack project in a temporary directory, packed and played headless
// through kvrun.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace kvtest {

namespace fs = std::filesystem;


struct Result {
  int exitCode = -1;
  std::string out;
};

inline Result RunCommand(const std::string& command) {
  Result r;
  std::FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int status = pclose(p);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class RunGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kv_run_game_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                       "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "project");
  }
  void TearDown() override { fs::remove_all(dir); }

  void Write(const std::string& name, const std::string& text) {
    fs::create_directories((dir / "project" / name).parent_path());
    std::ofstream(dir / "project" / name, std::ios::binary) << text;
  }
  std::string Pack() {
    const std::string game = (dir / "game.kvgame").string();
    Result r = RunCommand(std::string(KV_BIN_DIR) + "/kvpack " + (dir / "project").string() + " " + game);
    EXPECT_EQ(r.exitCode, 0);
    return game;
  }
  Result Play(const std::string& game, const std::string& options) {
    return RunCommand(std::string(KV_BIN_DIR) + "/kvrun " + game + " --headless --fast --seed 1 " + options);
  }

  fs::path dir;
};

}  // namespace kvtest


