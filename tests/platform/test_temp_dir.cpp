#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/posix/temp_dir.h"

namespace fs = std::filesystem;
using kv::plat::RemoveTreeNoFollow;
using kv::plat::TempBaseCandidates;
using kv::plat::TempDirectory;

namespace {

// A scratch directory for one test, removed afterwards.
struct Scratch {
  fs::path dir;
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "kvtest_XXXXXX").string();
    dir = mkdtemp(pattern.data());
  }
  ~Scratch() { fs::remove_all(dir); }
};

void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

}  // namespace

TEST(TempDir, BaseCandidatesFollowTheEnvironmentOrder) {
  struct Case {
    std::map<std::string, std::string> env;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {{}, {"/tmp", "/cwd"}},
      {{{"TMPDIR", "/a"}, {"temp", "/b"}, {"tmp", "/c"}}, {"/a", "/tmp", "/cwd"}},
      {{{"temp", "/b"}, {"tmp", "/c"}}, {"/b", "/tmp", "/cwd"}},
      {{{"tmp", "/c"}}, {"/c", "/tmp", "/cwd"}},               // "temp" unset, "tmp" set → under tmp
      {{{"TMPDIR", ""}, {"temp", ""}, {"tmp", "/c"}}, {"/c", "/tmp", "/cwd"}},  // empty counts as unset
      {{{"TMPDIR", "/tmp"}}, {"/tmp", "/cwd"}},                 // no duplicate
  };
  for (const Case& c : cases) {
    auto env = [&](const char* name) -> std::optional<std::string> {
      auto it = c.env.find(name);
      return it == c.env.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
    EXPECT_EQ(TempBaseCandidates(env, "/cwd"), c.expected);
  }
}

TEST(TempDir, CreatedPrivateWithPrefixAndMissingParents) {
  Scratch scratch;
  const fs::path base = scratch.dir / "deeper" / "still";
  TempDirectory temp;
  ASSERT_TRUE(temp.Create({base.string()}));
  const fs::path path = temp.Path();
  EXPECT_EQ(path.parent_path(), base);
  EXPECT_EQ(path.filename().string().rfind("kv_ttt_", 0), 0u);
  EXPECT_EQ(path.filename().string().size(), 13u);
  struct stat st{};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // Two runs never share a directory.
  TempDirectory other;
  ASSERT_TRUE(other.Create({base.string()}));
  EXPECT_NE(other.Path(), temp.Path());
}

TEST(TempDir, UnusableBaseFallsThroughToTheNext) {
  Scratch scratch;
  WriteFile(scratch.dir / "file", "x");  // a file cannot hold the directory
  TempDirectory temp;
  ASSERT_TRUE(temp.Create({(scratch.dir / "file").string(), (scratch.dir / "ok").string()}));
  EXPECT_EQ(fs::path(temp.Path()).parent_path(), scratch.dir / "ok");

  TempDirectory none;
  EXPECT_FALSE(none.Create({(scratch.dir / "file").string()}));
  EXPECT_EQ(none.Path(), "");
  EXPECT_EQ(none.FileName(".wav"), "");
  none.Remove();  // nothing to remove, and nothing else is touched
  EXPECT_TRUE(fs::exists(scratch.dir / "file"));
}

TEST(TempDir, RemovalDeletesTheTreeButNeverFollowsLinks) {
  Scratch scratch;
  const fs::path outside = scratch.dir / "outside";
  fs::create_directories(outside / "sub");
  WriteFile(outside / "keep.txt", "keep");
  WriteFile(outside / "sub" / "keep2.txt", "keep");
  WriteFile(scratch.dir / "single.txt", "keep");

  std::string path;
  {
    TempDirectory temp;
    ASSERT_TRUE(temp.Create({(scratch.dir / "base").string()}));
    path = temp.Path();
    fs::create_directories(fs::path(path) / "a" / "b" / "c");
    WriteFile(fs::path(path) / "a" / "b" / "c" / "deep.bin", "data");
    WriteFile(fs::path(path) / "top.txt", "data");
    fs::create_directory_symlink(outside, fs::path(path) / "link_dir");
    fs::create_directory_symlink(outside, fs::path(path) / "a" / "nested_link");
    fs::create_symlink(scratch.dir / "single.txt", fs::path(path) / "link_file");
    fs::create_symlink(scratch.dir / "missing", fs::path(path) / "dangling");
  }  // the destructor removes the tree at the end of the run

  EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
  EXPECT_TRUE(fs::exists(outside / "keep.txt"));
  EXPECT_TRUE(fs::exists(outside / "sub" / "keep2.txt"));
  EXPECT_TRUE(fs::exists(scratch.dir / "single.txt"));
}

TEST(TempDir, RemoveTreeRefusesEmptyAndRelativePathsAndUnlinksATopLevelLink) {
  Scratch scratch;
  EXPECT_FALSE(RemoveTreeNoFollow(""));
  EXPECT_FALSE(RemoveTreeNoFollow("relative/dir"));

  fs::create_directories(scratch.dir / "target");
  WriteFile(scratch.dir / "target" / "keep.txt", "keep");
  fs::create_directory_symlink(scratch.dir / "target", scratch.dir / "link");
  EXPECT_TRUE(RemoveTreeNoFollow((scratch.dir / "link").string()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(scratch.dir / "link")));
  EXPECT_TRUE(fs::exists(scratch.dir / "target" / "keep.txt"));
  EXPECT_TRUE(RemoveTreeNoFollow((scratch.dir / "nothing_here").string()));
}

TEST(TempDir, FileNamesAreFreshNamesInsideTheDirectory) {
  Scratch scratch;
  TempDirectory temp;
  ASSERT_TRUE(temp.Create({scratch.dir.string()}));
  for (int i = 0; i < 50; ++i) {
    const std::string name = temp.FileName(".wav");
    ASSERT_EQ(name.rfind(temp.Path() + "/a", 0), 0u) << name;
    ASSERT_EQ(name.substr(name.size() - 4), ".wav");
    const std::string digits = name.substr(temp.Path().size() + 2, name.size() - temp.Path().size() - 6);
    ASSERT_FALSE(digits.empty());
    ASSERT_LE(std::stoi(digits), 99999);
    ASSERT_FALSE(fs::exists(name));
    WriteFile(name, "");  // taken names are not handed out again
  }
}

TEST(TempDir, ATerminationSignalStillRemovesTheDirectory) {
  Scratch scratch;
  fs::create_directories(scratch.dir / "outside");
  WriteFile(scratch.dir / "outside" / "keep.txt", "keep");
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    TempDirectory temp;
    if (!temp.Create({(scratch.dir / "base").string()})) _exit(3);
    fs::create_directories(fs::path(temp.Path()) / "x" / "y");
    WriteFile(fs::path(temp.Path()) / "x" / "y" / "f.txt", "data");
    fs::create_directory_symlink(scratch.dir / "outside", fs::path(temp.Path()) / "x" / "link");
    const std::string path = temp.Path() + "\n";
    if (write(fds[1], path.data(), path.size()) != static_cast<ssize_t>(path.size())) _exit(4);
    raise(SIGTERM);
    _exit(5);  // not reached: the signal ends the process
  }
  close(fds[1]);
  std::string path;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') path += c;
  close(fds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  ASSERT_FALSE(path.empty());
  EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
  EXPECT_TRUE(fs::exists(scratch.dir / "outside" / "keep.txt"));
}
