// Included files: exported at start where their mode says, freed, removed at the end, and the game functions
// that export and discard them, secure mode included.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../functions/call_builtin.h"
#include "code/code_code.h"
#include "functions/function_file.h"
#include "runner/included_export.h"
#include "world/builtin_globals.h"
#include "world/run_main.h"
#include "runner/runner_wiring.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::S;

class IncludedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    WireLanguage();
    old_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("kv_included_" + std::to_string(getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "work");
    fs::create_directories(dir_ / "temp");
    fs::current_path(dir_ / "work");
    places_.tempDir = (dir_ / "temp").string();
    places_.report = [this](const std::string& m) { reported_.push_back(m); };
    Game().secureMode = false;
  }
  void TearDown() override {
    SetIncludedFilesForFunctions(nullptr);
    Game().secureMode = false;
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  static CDataFile File(const std::string& name, int mode, const std::string& bytes = "data") {
    CDataFile f;
    f.name = name;
    f.hasData = true;
    f.stored = true;
    f.data.assign(bytes.begin(), bytes.end());
    f.exportMode = mode;
    return f;
  }
  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path old_, dir_;
  IncludedFilePlaces places_;
  std::vector<std::string> reported_;
};

TEST_F(IncludedFiles, ExportedWhereTheModeSaysAndRemovedAtTheEnd) {
  std::vector<CDataFile> files = {File("none.txt", 0), File("temp.txt", 1), File("work.txt", 2),
                                  File("folder.txt", 3), File("keep.txt", 2)};
  files[3].exportFolder = (dir_ / "out" / "deep").string();
  files[4].removeAtEnd = false;
  ExportAllIncludedFiles(files, places_);
  EXPECT_FALSE(fs::exists("none.txt"));
  EXPECT_EQ(Slurp(dir_ / "temp" / "temp.txt"), "data");
  EXPECT_EQ(Slurp("work.txt"), "data");
  EXPECT_EQ(Slurp(dir_ / "out" / "deep" / "folder.txt"), "data") << "missing folders are created";
  EXPECT_TRUE(files[0].hasData) << "mode 0 frees nothing";
  EXPECT_FALSE(files[1].hasData || files[2].hasData || files[3].hasData) << "freed after export";
  RemoveAllIncludedFiles(files, places_);
  EXPECT_FALSE(fs::exists(dir_ / "temp" / "temp.txt") || fs::exists("work.txt") ||
               fs::exists(dir_ / "out" / "deep" / "folder.txt"));
  EXPECT_TRUE(fs::exists("keep.txt"));
}

TEST_F(IncludedFiles, ExistingFilesAndStoredFlags) {
  std::ofstream("old.txt") << "old";
  std::vector<CDataFile> files = {File("old.txt", 2), File("empty.txt", 2)};
  files[1].stored = false;
  files[1].data.clear();
  ExportAllIncludedFiles(files, places_);
  EXPECT_EQ(Slurp("old.txt"), "old") << "overwrite is off";
  EXPECT_FALSE(files[0].hasData) << "freed all the same";
  EXPECT_TRUE(fs::exists("empty.txt"));
  EXPECT_EQ(fs::file_size("empty.txt"), 0u);
  files[0] = File("old.txt", 2, "new");
  files[0].overwrite = true;
  EXPECT_TRUE(ExportIncludedFile(files[0], places_));
  EXPECT_EQ(Slurp("old.txt"), "new");
}

TEST_F(IncludedFiles, GameFunctionsAndSecureMode) {
  test::BuiltinCaller c;
  std::vector<CDataFile> files = {File("a.txt", 2), File("sub/b.txt", 2), File("c.txt", 3)};
  files[0].freeAfterExport = false;
  files[2].exportFolder = "folder";
  SetIncludedFilesForFunctions(&files);
  c.Call("export_include_file", {S("a.txt")});
  EXPECT_EQ(Slurp("a.txt"), "data");
  c.Call("export_include_file_location", {S("a.txt"), S("copy.txt")});
  EXPECT_EQ(Slurp("copy.txt"), "data");
  c.Call("export_include_file", {S("A.TXT")});
  EXPECT_TRUE(c.TookError("Trying to export non-existing file.")) << "names compare exactly";
  c.Call("discard_include_file", {S("a.txt")});
  EXPECT_FALSE(files[0].hasData);
  c.Call("discard_include_file", {S("zzz")});
  EXPECT_TRUE(c.TookError("Trying to discard non-existing file."));
  c.Call("export_include_file_location", {S("zzz"), S("x")});
  EXPECT_TRUE(c.TookError("Trying to export non-existing file."));

  Game().secureMode = true;
  c.Call("export_include_file", {S("sub/b.txt")});
  EXPECT_TRUE(c.TookError("In secure mode you cannot export a data file to sub/b.txt"));
  c.Call("export_include_file", {S("c.txt")});
  EXPECT_TRUE(c.TookError("In secure mode you cannot export a data file to an indicated directory."));
  c.Call("export_include_file_location", {S("c.txt"), S("there.txt")});
  EXPECT_TRUE(c.TookError("In secure mode you cannot export a file to a location."));
  EXPECT_FALSE(fs::exists("sub") || fs::exists("folder") || fs::exists("there.txt"));
}

}  // namespace
}  // namespace kv
