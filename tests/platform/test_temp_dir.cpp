#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/posix/temp_dir.h"

namespace fs = std::filesystem;
using kv::plat::RemoveStaleTempDirectories;
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

// Forks a child that creates a temporary directory in `base` (with a nested tree and a link out of it), reports its
// path, then ends by `signal`. Returns the path and the child's wait status.
std::pair<std::string, int> DirectoryOfAChildEndedBy(int signal, const fs::path& base, const fs::path& outside) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t child = fork();
  if (child < 0) return {};
  if (child == 0) {
    close(fds[0]);
    TempDirectory temp;
    if (!temp.Create({base.string()})) _exit(3);
    fs::create_directories(fs::path(temp.Path()) / "x" / "y");
    WriteFile(fs::path(temp.Path()) / "x" / "y" / "f.txt", "data");
    fs::create_directory_symlink(outside, fs::path(temp.Path()) / "x" / "link");
    const std::string path = temp.Path() + "\n";
    if (write(fds[1], path.data(), path.size()) != static_cast<ssize_t>(path.size())) _exit(4);
    raise(signal);
    _exit(5);  // not reached: the signal ends the process
  }
  close(fds[1]);
  std::string path;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') path += c;
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return {path, status};
}

TEST(TempDir, TerminationSignalsStillRemoveTheDirectory) {
  Scratch scratch;
  fs::create_directories(scratch.dir / "outside");
  WriteFile(scratch.dir / "outside" / "keep.txt", "keep");
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF,
                     SIGXCPU, SIGXFSZ}) {
    SCOPED_TRACE(strsignal(signal));
    const auto [path, status] = DirectoryOfAChildEndedBy(signal, scratch.dir / "base", scratch.dir / "outside");
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), signal);  // the process still ends the way the signal says
    ASSERT_FALSE(path.empty());
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
  }
  EXPECT_TRUE(fs::exists(scratch.dir / "outside" / "keep.txt"));
}

// A runner killed outright (SIGKILL) cannot clean up: the next runner using the same base removes the directory,
// and only directories whose owner is known to be gone.
TEST(TempDir, StaleDirectoriesOfDeadRunnersAreRemovedAtStart) {
  Scratch scratch;
  const fs::path base = scratch.dir / "base";
  fs::create_directories(scratch.dir / "outside");
  WriteFile(scratch.dir / "outside" / "keep.txt", "keep");
  TempDirectory live;  // the directory of a runner that still runs (this process)
  ASSERT_TRUE(live.Create({base.string()}));
  const auto [killed, status] = DirectoryOfAChildEndedBy(SIGKILL, base, scratch.dir / "outside");
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  ASSERT_TRUE(fs::exists(killed));  // nothing could run on SIGKILL

  // A live owner, a mark that cannot be read, and no mark at all keep their directories; so does a link named
  // like a temporary directory.
  fs::create_directories(base / "kv_ttt_nomark");
  fs::create_directories(base / "kv_ttt_garble");
  WriteFile(base / "kv_ttt_garble" / TempDirectory::kOwnerMark, "12x");
  std::string deadMark;
  {
    std::ifstream in(fs::path(killed) / TempDirectory::kOwnerMark);
    std::getline(in, deadMark);
  }
  ASSERT_FALSE(deadMark.empty());
  fs::create_directories(scratch.dir / "elsewhere");
  WriteFile(scratch.dir / "elsewhere" / TempDirectory::kOwnerMark, deadMark + "\n");
  fs::create_directory_symlink(scratch.dir / "elsewhere", base / "kv_ttt_link");
  // The same dead process id seen from another pid namespace (a container sharing the directory) is left alone.
  fs::create_directories(base / "kv_ttt_othens");
  WriteFile(base / "kv_ttt_othens" / TempDirectory::kOwnerMark,
            deadMark.substr(0, deadMark.rfind(' ')) + " pid:[1]\n");

  EXPECT_TRUE(fs::exists(killed));
  EXPECT_EQ(RemoveStaleTempDirectories(base.string()), 1);
  EXPECT_FALSE(fs::exists(killed));
  for (const char* kept : {"kv_ttt_nomark", "kv_ttt_garble", "kv_ttt_othens"}) EXPECT_TRUE(fs::exists(base / kept));
  EXPECT_TRUE(fs::exists(live.Path()));
  EXPECT_TRUE(fs::exists(fs::symlink_status(base / "kv_ttt_link")));
  EXPECT_TRUE(fs::exists(scratch.dir / "elsewhere" / TempDirectory::kOwnerMark));
  EXPECT_TRUE(fs::exists(scratch.dir / "outside" / "keep.txt"));

  // Creating a directory sweeps the base on its own.
  const auto [again, status2] = DirectoryOfAChildEndedBy(SIGKILL, base, scratch.dir / "outside");
  ASSERT_TRUE(fs::exists(again));
  TempDirectory next;
  ASSERT_TRUE(next.Create({base.string()}));
  EXPECT_FALSE(fs::exists(again));
  EXPECT_TRUE(fs::exists(live.Path()));
}
