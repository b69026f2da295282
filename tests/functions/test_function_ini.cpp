// Ini files (the in-memory form, the functions, interrupted writes) and the number rules of text and ini files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "call_builtin.h"
#include "code/code_code.h"
#include "functions/file_names.h"
#include "functions/function_ini.h"
#include "functions/ini_file.h"
#include "platform/file_system.h"
#include "runner/runner_wiring.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::BuiltinCaller;
using test::S;

TEST(IniFile, ReadsCommentsDuplicatesQuotesAndLetterCase) {
  IniFile ini;
  ini.Parse(
      "; options\r\n"
      "[Video]\r\n"
      "  Width = 640 \r\n"
      "width=800\r\n"
      "title=\"  My Game \"\r\n"
      ";height=1\n"
      "note=a ; not a comment\n"
      "[video]\n"
      "depth=32\n"
      "[Sound]\r"
      "volume='7'\r");
  std::string v;
  ASSERT_TRUE(ini.Read("VIDEO", "WIDTH", v));
  EXPECT_EQ(v, "640") << "the first of duplicate keys, trimmed";
  ASSERT_TRUE(ini.Read("video", "title", v));
  EXPECT_EQ(v, "  My Game ");
  EXPECT_FALSE(ini.Read("video", "height", v)) << "commented out";
  ASSERT_TRUE(ini.Read("video", "note", v));
  EXPECT_EQ(v, "a ; not a comment");
  EXPECT_FALSE(ini.Read("video", "depth", v)) << "a repeated section header is not merged";
  ASSERT_TRUE(ini.Read("sound", "volume", v));
  EXPECT_EQ(v, "7");
  EXPECT_FALSE(ini.Read("missing", "width", v));
  EXPECT_TRUE(ini.SectionExists("SOUND"));
  EXPECT_FALSE(ini.KeyExists("sound", "width"));
}

TEST(IniFile, WritesChangeOnlyTheirLine) {
  IniFile ini;
  ini.Parse("; keep me\r\n[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n");
  ini.Write("A", "X", "10");
  ini.Write("a", "z", "3");
  ini.Write("c", "w", "4");
  EXPECT_EQ(ini.Serialize(), "; keep me\r\n[a]\r\nx=10\r\nz=3\r\n\r\n[b]\r\ny=2\r\n[c]\r\nw=4\r\n");
  EXPECT_TRUE(ini.DeleteKey("b", "Y"));
  EXPECT_FALSE(ini.DeleteKey("b", "y"));
  EXPECT_TRUE(ini.DeleteSection("A"));
  EXPECT_EQ(ini.Serialize(), "; keep me\r\n[b]\r\n[c]\r\nw=4\r\n");
}

TEST(FileNumbers, IniNumberRuleAndWrittenForms) {
  EXPECT_EQ(ParseIniNumber("1,5e2"), 150);
  EXPECT_EQ(ParseIniNumber("-2"), -2);
  EXPECT_EQ(ParseIniNumber("3-"), -3);
  EXPECT_EQ(ParseIniNumber("12abc"), 12);
  EXPECT_EQ(ParseIniNumber(""), 0);
  EXPECT_EQ(ParseIniNumber("x1"), 0);
  EXPECT_EQ(ParseIniNumber("2.5.7"), 2.5);
  EXPECT_EQ(ParseIniNumber("1e-2"), 0.01);
  EXPECT_EQ(ParseIniNumber("1e2e3"), 100);
  EXPECT_EQ(FormatGeneralReal(2.5), "2.5");
  EXPECT_EQ(FormatGeneralReal(-3), "-3");
  EXPECT_EQ(FormatGeneralReal(0.1), "0.1");
  EXPECT_EQ(FormatGeneralReal(1e20), "1E20");
  EXPECT_EQ(FormatGeneralReal(1e-5), "1E-5");
  EXPECT_EQ(FormatTextFileReal(2.5), " 2.5000");
  EXPECT_EQ(FormatTextFileReal(-0.0), " 0.0000");
  EXPECT_EQ(FormatTextFileReal(1234567.89), " 1234567.8900");
  double x = 0;
  EXPECT_TRUE(ParseTextFileNumber("-1.25e1", x));
  EXPECT_EQ(x, -12.5);
  EXPECT_TRUE(ParseTextFileNumber("2,5", x));
  EXPECT_EQ(x, 2.5);
  EXPECT_FALSE(ParseTextFileNumber("1x", x));
}

class IniFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    WireLanguage();
    old_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("kv_ini_" + std::to_string(getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    fs::current_path(dir_);
    CloseIniFile();
  }
  void TearDown() override {
    CloseIniFile();
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  BuiltinCaller c;
  fs::path old_, dir_;
};

TEST_F(IniFunctions, ReadWriteAndDelete) {
  std::ofstream("Options.INI", std::ios::binary) << "[video]\r\nfull=1\r\n";
  c.Call("ini_open", {S("options.ini")});
  EXPECT_EQ(c.Real("ini_read_real", {S("Video"), S("Full"), 0.0}), 1);
  EXPECT_EQ(c.Str("ini_read_string", {S("video"), S("name"), S("nobody")}), "nobody");
  EXPECT_EQ(c.Real("ini_read_real", {S("video"), S("missing"), 2.5}), 2.5);
  c.Call("ini_write_real", {S("sound"), S("volume"), 0.75});
  c.Call("ini_write_string", {S("player"), S("name"), S("Ann")});
  EXPECT_EQ(Slurp("Options.INI"), "[video]\r\nfull=1\r\n[sound]\r\nvolume=0.75\r\n[player]\r\nname=Ann\r\n")
      << "written at once, into the file that was found";
  EXPECT_EQ(c.Real("ini_key_exists", {S("SOUND"), S("VOLUME")}), 1);
  EXPECT_EQ(c.Real("ini_section_exists", {S("player")}), 1);
  c.Call("ini_key_delete", {S("sound"), S("volume")});
  c.Call("ini_section_delete", {S("video")});
  EXPECT_EQ(c.Real("ini_key_exists", {S("sound"), S("volume")}), 0);
  EXPECT_EQ(c.Real("ini_section_exists", {S("video")}), 0);
  // A change made behind the ini functions' back is seen by the next read.
  std::ofstream("Options.INI", std::ios::binary) << "[player]\r\nname=Bob and more\r\n";
  EXPECT_EQ(c.Str("ini_read_string", {S("player"), S("name"), S("")}), "Bob and more");
  c.Call("ini_close");
  EXPECT_TRUE(c.NoErrors());

  c.Call("ini_read_string", {S("a"), S("b"), S("")});
  EXPECT_TRUE(c.TookError("Trying to read from undefined INI file"));
  c.Call("ini_write_real", {S("a"), S("b"), 1.0});
  EXPECT_TRUE(c.TookError("Trying to write to undefined INI file"));
  c.Call("ini_section_delete", {S("a")});
  EXPECT_TRUE(c.TookError("Trying to change undefined INI file"));
  c.Call("ini_open", {S("sub\\x.ini")});
  EXPECT_TRUE(c.TookError("INI files must be located in the same directory as the program"));
}

// A write that dies half-way (simulated by a directory where the temporary file should go being unwritable, or
// by the rename target being replaced) never leaves a half-written file behind.
TEST_F(IniFunctions, AnInterruptedWriteLeavesTheOldFileWhole) {
  std::ofstream("keep.ini", std::ios::binary) << "[a]\r\nx=1\r\n";
  // The store path is a directory: the temporary file is written, the rename fails, nothing changes.
  fs::create_directories("blocked.ini");
  EXPECT_FALSE(plat::WriteFileAtomically("blocked.ini", "[a]\r\nx=2\r\n"));
  EXPECT_TRUE(fs::is_directory("blocked.ini"));
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 2) << "no temporary file is left";
  // A crash between writing the temporary file and the rename leaves the old file as it was.
  c.Call("ini_open", {S("keep.ini")});
  c.Call("ini_write_real", {S("a"), S("x"), 2.0});
  EXPECT_EQ(Slurp("keep.ini"), "[a]\r\nx=2\r\n");
  if (geteuid() != 0) {
    fs::permissions(".", fs::perms::owner_read | fs::perms::owner_exec);
    c.Call("ini_write_real", {S("a"), S("x"), 3.0});
    fs::permissions(".", fs::perms::owner_all);
    EXPECT_EQ(Slurp("keep.ini"), "[a]\r\nx=2\r\n");
  }
}

}  // namespace
}  // namespace kv
