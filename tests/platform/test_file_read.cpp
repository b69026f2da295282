// Reading whole files for the loaders: only regular files, never more than the cap, never a hang on a device or a
// FIFO; and the loaders built on it (game files, saved games, images) refuse what it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "graphics/bitmap_ops.h"
#include "platform/file_read.h"
#include "runner/support_stream.h"

namespace fs = std::filesystem;
using kv::plat::FileReadStatus;
using kv::plat::ReadWholeFile;

namespace {

struct Scratch {
  fs::path dir;
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "kvtest_XXXXXX").string();
    dir = mkdtemp(pattern.data());
  }
  ~Scratch() { fs::remove_all(dir); }
};

}  // namespace

TEST(FileRead, OnlyRegularFilesWithinTheCapAreRead) {
  Scratch scratch;
  std::ofstream(scratch.dir / "ten.bin", std::ios::binary) << "0123456789";
  std::ofstream(scratch.dir / "empty.bin", std::ios::binary);
  fs::create_symlink(scratch.dir / "ten.bin", scratch.dir / "link.bin");
  fs::create_directory(scratch.dir / "sub");
  ASSERT_EQ(mkfifo((scratch.dir / "fifo").c_str(), 0600), 0);  // no writer: opening must not wait for one

  struct Case {
    std::string path;
    uint64_t cap;
    FileReadStatus status;
    size_t size;
  };
  const std::vector<Case> cases = {
      {(scratch.dir / "ten.bin").string(), 100, FileReadStatus::Ok, 10},
      {(scratch.dir / "ten.bin").string(), 10, FileReadStatus::Ok, 10},
      {(scratch.dir / "ten.bin").string(), 9, FileReadStatus::TooLarge, 0},
      {(scratch.dir / "empty.bin").string(), 100, FileReadStatus::Ok, 0},
      {(scratch.dir / "link.bin").string(), 100, FileReadStatus::Ok, 10},
      {(scratch.dir / "missing.bin").string(), 100, FileReadStatus::Missing, 0},
      {(scratch.dir / "ten.bin" / "below").string(), 100, FileReadStatus::Missing, 0},
      {"", 100, FileReadStatus::Missing, 0},
      {(scratch.dir / "sub").string(), 100, FileReadStatus::NotRegular, 0},
      {(scratch.dir / "fifo").string(), 100, FileReadStatus::NotRegular, 0},
      {"/dev/zero", 100, FileReadStatus::NotRegular, 0},
      {"/dev/null", 100, FileReadStatus::NotRegular, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " cap " + std::to_string(c.cap));
    const kv::plat::FileReadResult r = ReadWholeFile(c.path, c.cap);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.bytes.size(), c.size);
  }
  EXPECT_EQ(std::string(kv::plat::FileReadProblem(FileReadStatus::NotRegular)), "is not a regular file");
}

TEST(FileRead, SkippedBytesAreNeitherReadNorHeld) {
  Scratch scratch;
  std::ofstream(scratch.dir / "ten.bin", std::ios::binary) << "0123456789";
  const std::string ten = (scratch.dir / "ten.bin").string();
  const kv::plat::FileReadResult tail = ReadWholeFile(ten, 100, 4);
  ASSERT_TRUE(tail.Ok());
  EXPECT_EQ(tail.skipped, 4u);
  EXPECT_EQ(std::string(tail.bytes.begin(), tail.bytes.end()), "456789");
  // A file shorter than the skip: nothing is left, and the caller learns how much there was.
  const kv::plat::FileReadResult beyond = ReadWholeFile(ten, 100, 25);
  ASSERT_TRUE(beyond.Ok());
  EXPECT_EQ(beyond.skipped, 10u);
  EXPECT_TRUE(beyond.bytes.empty());
  // The cap counts the whole file, skipped bytes included.
  EXPECT_EQ(ReadWholeFile(ten, 9, 4).status, FileReadStatus::TooLarge);
  EXPECT_TRUE(ReadWholeFile(ten, 10, 4).Ok());
}

TEST(FileRead, FilesThatReportNoSizeAreReadToTheirEnd) {
  // Files of /proc report size 0 but have contents; the cap still holds.
  const kv::plat::FileReadResult stat = ReadWholeFile("/proc/self/stat");
  ASSERT_TRUE(stat.Ok());
  EXPECT_GT(stat.bytes.size(), 10u);
  EXPECT_EQ(ReadWholeFile("/proc/self/stat", 4).status, FileReadStatus::TooLarge);
}

TEST(FileRead, LoadersRefuseWhatIsNotARegularFile) {
  Scratch scratch;
  fs::create_directory(scratch.dir / "dir.png");
  for (const std::string& path : {(scratch.dir / "dir.png").string(), std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    kv::CStream stream;
    EXPECT_FALSE(kv::CStream::LoadFile(path, stream));
    EXPECT_EQ(kv::gfx::LoadImageFile(path), std::nullopt);
  }
}
