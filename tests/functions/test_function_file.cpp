// Text, binary and legacy files, file management, searches and secure mode, called the way game code calls them,
// in a scratch working directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "call_builtin.h"
#include "code/code_code.h"
#include "functions/function_file.h"
#include "platform/path_resolver.h"
#include "world/run_main.h"
#include "runner/runner_wiring.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::BuiltinCaller;
using test::S;

// A fresh working directory for each test; the previous one comes back afterwards.
class FileFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    WireLanguage();
    old_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("kv_files_" + std::to_string(getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
    Game().secureMode = false;
    CloseAllFiles();
  }
  void TearDown() override {
    CloseAllFiles();
    Game().secureMode = false;
    plat::SetPathConfig({});
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Spit(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

  BuiltinCaller c;
  fs::path old_, dir_;
};

TEST_F(FileFunctions, TextFilesRoundTripStringsAndReals) {
  double f = c.Real("file_text_open_write", {S("save.txt")});
  ASSERT_EQ(f, 1);
  c.Call("file_text_write_string", {f, S("hello world")});
  c.Call("file_text_writeln", {f});
  c.Call("file_text_write_real", {f, 2.5});
  c.Call("file_text_write_real", {f, -1.0 / 3});
  c.Call("file_text_writeln", {f});
  c.Call("file_text_close", {f});
  EXPECT_EQ(Slurp("save.txt"), "hello world\r\n 2.5000 -0.3333\r\n");

  f = c.Real("file_text_open_read", {S("SAVE.TXT")});  // any letter case finds the file
  ASSERT_EQ(f, 1);
  EXPECT_EQ(c.Str("file_text_read_string", {f}), "hello world");
  EXPECT_EQ(c.Str("file_text_read_string", {f}), "") << "the line end is not consumed";
  c.Call("file_text_readln", {f});
  EXPECT_EQ(c.Real("file_text_read_real", {f}), 2.5);
  EXPECT_NEAR(c.Real("file_text_read_real", {f}), -0.3333, 1e-12);
  EXPECT_EQ(c.Real("file_text_eof", {f}), 0);
  c.Call("file_text_readln", {f});
  EXPECT_EQ(c.Real("file_text_eof", {f}), 1);
  EXPECT_EQ(c.Str("file_text_read_string", {f}), "") << "reading at the end gives nothing, not garbage";
  EXPECT_EQ(c.Real("file_text_read_real", {f}), 0);
  EXPECT_TRUE(c.NoErrors());
}

TEST_F(FileFunctions, LineEndsOfEitherKindReadAlikeAndEofFollowsTheLastLine) {
  for (const std::string& text : {std::string("a\r\nbb\r\nccc"), std::string("a\nbb\nccc\n"), std::string("a\rbb\rccc\r\n")}) {
    Spit("lines.txt", text);
    const double f = c.Real("file_text_open_read", {S("lines.txt")});
    std::string seen;
    while (c.Real("file_text_eof", {f}) == 0) {
      seen += c.Str("file_text_read_string", {f}) + "|";
      c.Call("file_text_readln", {f});
    }
    EXPECT_EQ(seen, "a|bb|ccc|") << text;
    c.Call("file_text_close", {f});
  }
  EXPECT_TRUE(c.NoErrors());
}

TEST_F(FileFunctions, TextFileSlotsAndTheirMessages) {
  EXPECT_EQ(c.Real("file_text_open_read", {S("missing.txt")}), -1);
  EXPECT_TRUE(c.NoErrors()) << "a missing file is not an error";
  for (int i = 1; i <= 32; ++i) ASSERT_EQ(c.Real("file_text_open_write", {S("f" + std::to_string(i))}), i);
  EXPECT_EQ(c.Real("file_text_open_write", {S("f33")}), -1);
  EXPECT_TRUE(c.TookError("Cannot open another file (maximum exceeded)."));
  EXPECT_EQ(c.Real("file_bin_open", {S("b1"), 1.0}), 1) << "binary files have their own table";
  c.Call("file_text_close", {5.0});
  EXPECT_EQ(c.Real("file_text_open_append", {S("again")}), 5) << "the lowest free slot";

  c.Call("file_text_read_string", {1.0});
  EXPECT_TRUE(c.TookError("File is not opened for reading."));
  c.Call("file_text_write_string", {40.0, S("x")});
  EXPECT_TRUE(c.TookError("File not opened for writing."));
  c.Call("file_text_close", {0.0});
  EXPECT_TRUE(c.TookError("Trying to close unexisting text file."));
  c.Call("file_text_close", {33.0});
  EXPECT_TRUE(c.TookError("Trying to close unexisting text file."));

  Spit("bad.txt", "abc");
  CloseAllFiles();
  const double f = c.Real("file_text_open_read", {S("bad.txt")});
  EXPECT_EQ(c.Real("file_text_read_real", {f}), 0);
  EXPECT_TRUE(c.TookError("Error reading real."));
}

TEST_F(FileFunctions, AppendKeepsWhatWasThere) {
  Spit("log.txt", "one\r\n");
  double f = c.Real("file_text_open_append", {S("log.txt")});
  c.Call("file_text_write_string", {f, S("two")});
  // Another slot sees what was written before the first one is closed.
  const double g = c.Real("file_text_open_read", {S("log.txt")});
  c.Call("file_text_readln", {g});
  EXPECT_EQ(c.Str("file_text_read_string", {g}), "two");
  c.Call("file_text_close", {f});
  c.Call("file_text_close", {g});
  EXPECT_EQ(Slurp("log.txt"), "one\r\ntwo");
}

TEST_F(FileFunctions, LegacySingleFile) {
  c.Call("file_open_write", {S("old.txt")});
  c.Call("file_write_string", {S("name")});
  c.Call("file_writeln");
  c.Call("file_write_real", {42.0});
  c.Call("file_close");
  EXPECT_EQ(Slurp("old.txt"), "name\r\n 42.0000");
  c.Call("file_open_read", {S("old.txt")});
  EXPECT_EQ(c.Str("file_read_string"), "name");
  c.Call("file_readln");
  EXPECT_EQ(c.Real("file_read_real"), 42);
  EXPECT_EQ(c.Real("file_eof"), 1);
  EXPECT_TRUE(c.NoErrors());
  c.Call("file_write_string", {S("x")});
  EXPECT_TRUE(c.TookError("File not opened for writing."));
  c.Call("file_open_read", {S("nothing.txt")});
  EXPECT_TRUE(c.NoErrors());
  c.Call("file_read_string");
  EXPECT_TRUE(c.TookError("File not opened for reading."));
  c.Call("file_eof");
  EXPECT_TRUE(c.TookError("File is not opened for reading."));
  Spit("junk.txt", "zz");
  c.Call("file_open_read", {S("junk.txt")});
  c.Call("file_read_real");
  EXPECT_TRUE(c.TookError("Error reading read."));
}

TEST_F(FileFunctions, BinaryFilesKeepEveryByte) {
  double f = c.Real("file_bin_open", {S("data.bin"), 1.0});
  ASSERT_EQ(f, 1);
  for (int b = 0; b < 256; ++b) c.Call("file_bin_write_byte", {f, static_cast<double>(b)});
  c.Call("file_bin_write_byte", {f, 300.0});  // the low 8 bits
  EXPECT_EQ(c.Real("file_bin_size", {f}), 257);
  EXPECT_EQ(c.Real("file_bin_position", {f}), 257);
  c.Call("file_bin_close", {f});

  f = c.Real("file_bin_open", {S("data.bin"), 0.0});
  for (int b = 0; b < 256; ++b) ASSERT_EQ(c.Real("file_bin_read_byte", {f}), b);
  EXPECT_EQ(c.Real("file_bin_read_byte", {f}), 44);
  EXPECT_EQ(c.Real("file_bin_read_byte", {f}), 0);
  EXPECT_TRUE(c.TookError("Error reading byte.")) << "past the end";
  c.Call("file_bin_seek", {f, 10.0});
  EXPECT_EQ(c.Real("file_bin_read_byte", {f}), 10);
  c.Call("file_bin_close", {f});

  f = c.Real("file_bin_open", {S("data.bin"), 2.0});
  c.Call("file_bin_seek", {f, 1.0});
  c.Call("file_bin_write_byte", {f, 99.0});
  c.Call("file_bin_seek", {f, 0.0});
  EXPECT_EQ(c.Real("file_bin_read_byte", {f}), 0);
  c.Call("file_bin_write_byte", {f, 98.0});  // straight from reading to writing, at position 1
  EXPECT_EQ(c.Real("file_bin_read_byte", {f}), 2) << "and back to reading";
  c.Call("file_bin_seek", {f, 1.0});
  EXPECT_EQ(c.Real("file_bin_read_byte", {f}), 98);
  EXPECT_EQ(c.Real("file_bin_size", {f}), 257);
  c.Call("file_bin_rewrite", {f});
  EXPECT_EQ(c.Real("file_bin_size", {f}), 0);
  c.Call("file_bin_close", {f});
  EXPECT_TRUE(c.NoErrors());

  EXPECT_EQ(c.Real("file_bin_open", {S("created.bin"), 0.0}), 1) << "mode 0 creates a missing file";
  EXPECT_TRUE(fs::exists("created.bin"));
  c.Call("file_bin_size", {0.0});
  EXPECT_TRUE(c.TookError("File is not opened."));
  c.Call("file_bin_read_byte", {2.0});
  EXPECT_TRUE(c.TookError("File is not opened."));
  c.Call("file_bin_close", {33.0});
  EXPECT_TRUE(c.TookError("Trying to close unopened file."));
  c.Call("file_bin_rewrite", {7.0});
  EXPECT_TRUE(c.TookError("Trying to rewrite unopened file."));
}

TEST_F(FileFunctions, WindowsPathsFindFilesInAnyLetterCase) {
  fs::create_directories("Saves/Slot1");
  Spit("Saves/Slot1/Game.DAT", "x");
  EXPECT_EQ(c.Real("file_exists", {S("saves\\slot1\\game.dat")}), 1);
  EXPECT_EQ(c.Real("directory_exists", {S("SAVES\\SLOT1")}), 1);
  EXPECT_EQ(c.Real("file_exists", {S("saves\\slot1")}), 0) << "a folder is not a file";
  EXPECT_EQ(c.Real("file_exists", {S("C:\\saves\\slot1\\game.dat")}), 0) << "no drive root configured";
  plat::SetPathConfig({dir_.string()});
  EXPECT_EQ(c.Real("file_exists", {S("C:\\saves\\slot1\\game.dat")}), 1);
  c.Call("directory_create", {S("saves\\slot2\\deep")});
  EXPECT_TRUE(fs::is_directory("Saves/slot2/deep")) << "existing folders keep their case, new ones get the given one";
  c.Call("file_copy", {S("saves\\slot1\\game.dat"), S("saves\\slot2\\copy.dat")});
  c.Call("file_rename", {S("saves\\slot2\\copy.dat"), S("saves\\slot2\\moved.dat")});
  c.Call("file_delete", {S("SAVES\\SLOT1\\GAME.DAT")});
  EXPECT_EQ(Slurp("Saves/slot2/moved.dat"), "x");
  EXPECT_FALSE(fs::exists("Saves/Slot1/Game.DAT"));
  // Every byte value of a name survives the trip to the host and back.
  std::string name = "caf\xE9_\x80.txt";
  Spit(fs::u8path(u8"caf\u00e9_\u20ac.txt"), "y");
  EXPECT_EQ(c.Real("file_exists", {S(name)}), 1);
  EXPECT_EQ(c.Str("file_find_first", {S("caf*"), 0.0}), name);
  EXPECT_TRUE(c.NoErrors());
}

TEST_F(FileFunctions, FileSearchWithAttributes) {
  Spit("b.txt", "");
  Spit("A.TXT", "");
  Spit(".hidden.txt", "");
  Spit("c.dat", "");
  fs::create_directories("dir.txt");
  EXPECT_EQ(c.Str("file_find_first", {S("*.txt"), 0.0}), "A.TXT");
  EXPECT_EQ(c.Str("file_find_next"), "b.txt");
  EXPECT_EQ(c.Str("file_find_next"), "");
  EXPECT_EQ(c.Str("file_find_first", {S("*.TXT"), 2.0 + 16.0}), ".hidden.txt");
  EXPECT_EQ(c.Str("file_find_next"), "A.TXT");
  EXPECT_EQ(c.Str("file_find_next"), "b.txt");
  EXPECT_EQ(c.Str("file_find_next"), "dir.txt");
  c.Call("file_find_close");
  EXPECT_EQ(c.Str("file_find_next"), "");
  EXPECT_EQ(c.Real("file_attributes", {S("dir.txt"), 16.0}), 1);
  EXPECT_EQ(c.Real("file_attributes", {S("c.dat"), 16.0}), 0);
  EXPECT_EQ(c.Real("file_attributes", {S("nope"), 16.0}), -1);
}

TEST_F(FileFunctions, SecureModeRefusesEveryWriteOutsideTheWorkingDirectory) {
  Game().secureMode = true;
  fs::create_directories("sub");
  Spit("sub/keep.txt", "keep");
  Spit("plain.txt", "p");
  const std::string out = "C:\\out.txt";
  struct Case {
    const char* fn;
    std::vector<RValue> args;
    std::string message;
  };
  const Case cases[] = {
      {"file_text_open_write", {S("sub\\new.txt")}, "In secure mode you cannot write file sub\\new.txt"},
      {"file_text_open_append", {S("sub/keep.txt")}, "In secure mode you cannot append to file sub/keep.txt"},
      {"file_open_write", {S(out)}, "In secure mode you cannot write file C:\\out.txt"},
      {"file_open_append", {S(out)}, "In secure mode you cannot append to file C:\\out.txt"},
      {"file_bin_open", {S("sub\\new.bin"), 1.0}, "In secure mode you cannot write file sub\\new.bin"},
      {"file_bin_open", {S("sub\\new.bin"), 0.0}, "In secure mode you cannot write file sub\\new.bin"},
      {"file_delete", {S("sub\\keep.txt")}, "In Secure mode you cannot delete file sub\\keep.txt"},
      {"file_rename", {S("plain.txt"), S("sub\\x.txt")},
       "In Secure mode you cannot rename file plain.txt into sub\\x.txt"},
      {"file_copy", {S("sub\\keep.txt"), S("copy.txt")}, "In Secure mode you cannot copy file sub\\keep.txt to copy.txt"},
      {"directory_create", {S("sub\\made")}, "In Secure mode you cannot create directory sub\\made"},
      {"execute_program", {S("/bin/true"), S(""), 1.0}, "In Secure mode you cannot execute program /bin/true"},
      {"execute_shell", {S("http://example.com"), S("")},
       "In Secure mode you cannot execute program http://example.com"},
      {"registry_write_string_ext", {S("Software\\X"), S("n"), S("v")},
       "In Secure mode you cannot write registry entries in Software\\X"},
  };
  for (const Case& k : cases) {
    RValue args[kMaxCallArgs];
    for (size_t i = 0; i < k.args.size(); ++i) args[i] = k.args[i];
    RValue r;
    GetBuiltinFunction(FindBuiltinFunction(k.fn))->handler(r, nullptr, nullptr, static_cast<int>(k.args.size()), args);
    EXPECT_TRUE(c.TookError(k.message)) << k.fn;
  }
  EXPECT_EQ(Slurp("sub/keep.txt"), "keep");
  EXPECT_FALSE(fs::exists("sub/new.txt") || fs::exists("sub/new.bin") || fs::exists("sub/made") ||
               fs::exists("copy.txt") || fs::exists("sub/x.txt"));
  // Plain names in the working directory still work.
  const double f = c.Real("file_text_open_write", {S("plain.txt")});
  c.Call("file_text_write_string", {f, S("ok")});
  c.Call("file_text_close", {f});
  c.Call("file_delete", {S("plain.txt")});
  EXPECT_FALSE(fs::exists("plain.txt"));
  EXPECT_TRUE(c.NoErrors());
}

TEST_F(FileFunctions, FileNames) {
  struct Case {
    const char* fn;
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"filename_name", "C:\\games\\save.sav", "save.sav"},
      {"filename_name", "data/levels/one.txt", "one.txt"},
      {"filename_name", "C:file", "file"},
      {"filename_path", "C:\\games\\save.sav", "C:\\games\\"},
      {"filename_path", "save.sav", ""},
      {"filename_dir", "C:\\games\\save.sav", "C:\\games"},
      {"filename_dir", "C:\\save.sav", "C:\\"},
      {"filename_dir", "\\save.sav", "\\"},
      {"filename_dir", "a/b/c.txt", "a/b"},
      {"filename_drive", "C:\\games\\save.sav", "C:"},
      {"filename_drive", "\\\\server\\share\\dir\\f.txt", "\\\\server\\share"},
      {"filename_drive", "games\\save.sav", ""},
      {"filename_ext", "C:\\games.v2\\save.sav", ".sav"},
      {"filename_ext", "C:\\games.v2\\save", ""},
      {"filename_ext", "archive.tar.gz", ".gz"},
  };
  for (const Case& k : cases) EXPECT_EQ(c.Str(k.fn, {S(k.in)}), k.out) << k.fn << " " << k.in;
  EXPECT_EQ(c.Str("filename_change_ext", {S("dir.v2\\save.sav"), S(".bak")}), "dir.v2\\save.bak");
  EXPECT_EQ(c.Str("filename_change_ext", {S("dir.v2\\save"), S(".bak")}), "dir.v2\\save.bak");
}

}  // namespace
}  // namespace kv
