// Files written for a game: atomic replacement, and secure mode's "inside the working directory" as the file
// system resolves it (links, "..", names with backslashes).
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "graphics/bitmap_ops.h"
#include "platform/file_write.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class FileWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("kv_file_write_" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "work" / "sub");
    fs::create_directories(root / "outside");
    old = fs::current_path();
    fs::current_path(root / "work");
  }
  void TearDown() override {
    fs::current_path(old);
    fs::remove_all(root);
  }
  bool Write(const std::string& path, const std::string& text, bool secure) {
    return kv::plat::WriteFileAtomically(path, text.data(), text.size(), secure);
  }
  fs::path root, old;
};

TEST_F(FileWrite, SecureWritesStayInsideTheResolvedWorkingDirectory) {
  fs::create_directory_symlink(root / "outside", "lnkdir");
  fs::create_directories("a\\b");  // one directory whose name holds a backslash
  struct Case {
    const char* path;
    bool allowed;
  };
  const Case cases[] = {
      {"plain.txt", true},         {"sub/inner.txt", true},      {"sub/../up.txt", true},
      {"lnkdir/x.txt", false},     {"lnkdir/../x.txt", false},   {"a\\b/../../x.txt", false},
      {"../x.txt", false},         {"missing/x.txt", false},     {"sub/..", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(kv::plat::WriteStaysInWorkingDirectory(c.path), c.allowed);
    EXPECT_EQ(Write(c.path, "data", true), c.allowed);
  }
  EXPECT_TRUE(fs::is_empty(root / "outside"));
  EXPECT_FALSE(fs::exists(root / "x.txt"));
  // Without secure mode the same links are followed as any program would.
  EXPECT_TRUE(Write("lnkdir/x.txt", "data", false));
  EXPECT_EQ(ReadAll(root / "outside" / "x.txt"), "data");
}

// A link planted under the target's name is replaced by the new file; its target is never written.
TEST_F(FileWrite, ALinkAtTheTargetIsReplacedNotFollowed) {
  std::ofstream(root / "outside" / "victim.txt") << "precious";
  fs::create_symlink(root / "outside" / "victim.txt", "save.sav");
  ASSERT_TRUE(Write("save.sav", "new save", true));
  EXPECT_FALSE(fs::is_symlink("save.sav"));
  EXPECT_EQ(ReadAll("save.sav"), "new save");
  EXPECT_EQ(ReadAll(root / "outside" / "victim.txt"), "precious");
}

// The temporary is a fresh file: a user's file named like an old-style temporary survives, and nothing is left
// behind after the rename.
TEST_F(FileWrite, TemporariesNeverTouchExistingFiles) {
  std::ofstream("save.sav.tmp") << "mine";
  std::ofstream("save.sav") << "old";
  ASSERT_TRUE(Write("save.sav", "new", false));
  EXPECT_EQ(ReadAll("save.sav"), "new");
  EXPECT_EQ(ReadAll("save.sav.tmp"), "mine");
  int files = 0;
  for (const auto& e : fs::directory_iterator(".")) files += e.is_regular_file();
  EXPECT_EQ(files, 2);
  // Into a directory that does not exist: false and nothing written.
  EXPECT_FALSE(Write("nowhere/save.sav", "x", false));
}

// Image saving goes the same way: a screenshot in secure mode through a linked directory is refused.
TEST_F(FileWrite, SecureImageSavesRefuseLinkedDirectories) {
  fs::create_directory_symlink(root / "outside", "shots");
  kv::CBitmap32 b = kv::CBitmap32::Make(2, 2);
  EXPECT_FALSE(kv::gfx::PathInsideWorkingDirectory("shots/a.png"));
  EXPECT_FALSE(kv::gfx::SaveImageFile(b, "shots/a.png", true));
  EXPECT_TRUE(kv::gfx::SaveImageFile(b, "sub/a.png", true));
  EXPECT_TRUE(fs::is_empty(root / "outside"));
}

}  // namespace
