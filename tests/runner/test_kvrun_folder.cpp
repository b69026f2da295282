// kvrun on a kvpack project folder, the lines that say why a game file could not be read, and screenshot names
// refused before the game starts.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "code/code_function.h"
#include "platform/file_read.h"
#include "runner/runner_wiring.h"

namespace {

namespace fs = std::filesystem;

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};

class KvrunFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) / ("kvrun_folder_" + std::string(
        ::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir / "my_game");
  }
  void TearDown() override { fs::remove_all(dir); }

  void Write(const std::string& rel, const std::string& text) {
    fs::create_directories((dir / rel).parent_path());
    std::ofstream(dir / rel, std::ios::binary) << text;
  }
  // kvrun with the cache directory inside the scratch folder.
  RunResult Kvrun(const std::string& args) {
    const std::string command = "cd '" + dir.string() + "' && XDG_CACHE_HOME='" + (dir / "cache").string() + "' " +
                                std::string(KV_BIN_DIR) + "/kvrun " + args + " --headless --fast >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    auto slurp = [&](const char* name) {
      std::stringstream ss;
      ss << std::ifstream(dir / name).rdbuf();
      return ss.str();
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp("out.txt"), slurp("err.txt")};
  }

  fs::path dir;
};

TEST_F(KvrunFolder, PlaysAProjectFolderAndExplainsOtherFolders) {
  Write("my_game/game.kvp", "[object obj_a]\nevent create = a.kvs\n[room rm]\ninstance obj_a 0 0\n");
  Write("my_game/a.kvs", "show_debug_message(room_caption + '|' + string(instance_count));\ngame_end();\n");
  RunResult r = Kvrun("my_game");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "|1\n");
  // Packed into the cache, named after the folder; nothing is written into the project.
  bool cached = false;
  for (const auto& e : fs::recursive_directory_iterator(dir / "cache" / "korvane" / "projects"))
    cached = cached || e.path().filename() == "my_game.kvgame";
  EXPECT_TRUE(cached);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "my_game"), fs::directory_iterator()), 2);

  // A manifest mistake is kvpack's message.
  Write("my_game/game.kvp", "[object obj_a]\nevent create = missing.kvs\n[room rm]\n");
  r = Kvrun("my_game");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("game.kvp:2: cannot read missing.kvs"), std::string::npos) << r.err;

  fs::create_directories(dir / "empty");
  r = Kvrun("empty");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("empty is a folder without game.kvp"), std::string::npos) << r.err;
}

TEST_F(KvrunFolder, LoadErrorsNameThePathAndTheReason) {
  RunResult r = Kvrun("none.exe");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Error: Cannot read the game file.\nnone.exe: No such file\n"), std::string::npos) << r.err;

  // The reasons as the system gives them (permissions cannot be taken away from root, so that one is synthetic).
  EXPECT_EQ(kv::plat::FileReadReason(kv::plat::ReadWholeFile(dir.string())), "Is a directory");
  EXPECT_EQ(kv::plat::FileReadReason(kv::plat::ReadWholeFile((dir / "none").string())), "No such file");
  EXPECT_EQ(kv::plat::FileReadReason(kv::plat::ReadWholeFile((dir / "none" / "x").string())), "No such file");
  kv::plat::FileReadResult denied;
  denied.systemError = EACCES;
  EXPECT_EQ(kv::plat::FileReadReason(denied), "Permission denied");
  if (geteuid() != 0) {
    Write("locked.exe", "x");
    fs::permissions(dir / "locked.exe", fs::perms::none);
    EXPECT_EQ(kv::plat::FileReadReason(kv::plat::ReadWholeFile((dir / "locked.exe").string())), "Permission denied");
  }
}

// A screenshot that could not be written is refused before the game runs (the create event never shows).
TEST_F(KvrunFolder, ScreenshotsThatCannotBeWrittenStopBeforeTheGame) {
  Write("my_game/game.kvp", "[object obj_a]\nevent create = a.kvs\n[room rm]\ninstance obj_a 0 0\n");
  Write("my_game/a.kvs", "show_debug_message('started');\n");
  RunResult r = Kvrun("my_game --steps 2 --screenshot 1:shot.bmp");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("must end in .png"), std::string::npos) << r.err;
  r = Kvrun("my_game --steps 2 --screenshot 1:no/such/dir/shot.png");
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("cannot write the screenshot no/such/dir: No such file or directory"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "");
  r = Kvrun("my_game --steps 2 --screenshot 1:shot.png");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "started\n");
  EXPECT_TRUE(fs::exists(dir / "shot.png"));
}

// The list the reference is generated from is the function table itself: kvrun's list is the table as the runner
// registers it (tests of this process may have appended functions of their own after it).
TEST_F(KvrunFolder, ListFunctionsIsTheRegistry) {
  const std::string command = std::string(KV_BIN_DIR) + "/kvrun --list-functions >'" + (dir / "list.txt").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::stringstream ss;
  ss << std::ifstream(dir / "list.txt").rdbuf();
  const std::string listed = ss.str();
  const auto lines = static_cast<int>(std::count(listed.begin(), listed.end(), '\n'));
  kv::WireLanguage();
  ASSERT_LE(lines, kv::BuiltinFunctionCount());
  std::string expected;
  for (int id = 0; id < lines; ++id) {
    const kv::RBuiltinFunction* f = kv::GetBuiltinFunction(id);
    expected += f->name + " " + (f->argCount < 0 ? std::string("0-16") : std::to_string(f->argCount)) + "\n";
  }
  EXPECT_EQ(listed, expected);
  EXPECT_GT(lines, 500);
  EXPECT_NE(listed.find("\ninstance_create 3\n"), std::string::npos);
  EXPECT_NE(listed.find("\nchoose 0-16\n"), std::string::npos);
}

}  // namespace
