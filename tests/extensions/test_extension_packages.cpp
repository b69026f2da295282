// Extension packages: unpacking into the temporary folder, constants, library and script-file functions, the
// initialization and finalization functions in order, run-time failures, secure mode, and hostile packages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "code/code_test_util.h"
#include "extensions/extension_main.h"
#include "extensions/external_call.h"
#include "runner/support_stream.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> TestLibraryBytes() {
  std::ifstream in(std::string(KV_TESTEXT_DIR) + "/libkvtestext.so", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

CExtensionFunction Fn(const std::string& name, int id, int argc, const std::string& external = "") {
  CExtensionFunction f;
  f.name = name;
  f.externalName = external;
  f.id = id;
  f.argumentCount = argc;
  f.callConvention = 12;
  return f;
}

// A package as the game data stores it, read back as the runner reads it (trimming, code sections).
CExtensionPackage RoundTrip(const CExtensionPackage& p) {
  CStream s;
  p.Write(s);
  s.Seek(0);
  CExtensionPackage back;
  EXPECT_TRUE(back.Read(s));
  return back;
}

CExtensionPackage DemoPackage() {
  CExtensionPackage p;
  p.name = "Demo";
  p.tempFolderName = "demo_folder";
  p.dataSeed = 77;
  CExtensionFile script;
  script.fileName = "demo.kvs";
  script.kind = CExtensionFile::kScriptFile;
  script.initFunction = "demo_init";
  script.finalFunction = "demo_final";
  script.functions = {Fn(" demo_init ", 1, 0), Fn("demo_final", 2, 0), Fn("demo_add", 3, 2),
                      Fn("demo_args", 4, -1), Fn("demo_fail", 5, 0), Fn("demo_empty", 6, 0)};
  script.constants = {{"DEMO_VERSION", "3 * 4"}, {"1bad", "1"}};
  script.data = Bytes(
      "ignored line\r\n#define demo_init\r\nglobal.log += 'init1;';\r\n#define demo_final\r\nglobal.log += 'final1;';"
      "\r\n#define demo_add\r\nreturn argument0 + argument1;\r\n#define demo_args\r\nargument0 = 'changed';"
      "\r\nreturn argument2 + ':' + string(argument3);\r\n#define demo_fail\r\nreturn no_such_var;");
  CExtensionFile lib;
  lib.fileName = "libkvtestext.so";
  lib.kind = CExtensionFile::kLibrary;
  lib.functions = {Fn("lib_add", 10, 2, "kvt_add2"), Fn("lib_counted", 11, 2, "kvt_counted"),
                   Fn("lib_count", 12, 0, "kvt_count"), Fn("lib_missing", 13, 0, "no_such_export")};
  lib.data = TestLibraryBytes();
  CExtensionFile second;
  second.fileName = "second.kvs";
  second.kind = CExtensionFile::kScriptFile;
  second.initFunction = "second_init";
  second.finalFunction = "second_final";
  second.functions = {Fn("second_init", 20, 0), Fn("second_final", 21, 0), Fn("demo_add", 22, 2)};
  second.data = Bytes("#define second_init\r\nglobal.log += 'init2;';\r\n#define second_final\r\nglobal.log += "
                      "'final2;';\r\n#define demo_add\r\nreturn -1;");
  CExtensionFile other;
  other.fileName = "notes.txt";
  other.kind = CExtensionFile::kOtherFile;
  other.data = Bytes("hello");
  p.files = {script, lib, second, other};
  return RoundTrip(p);
}

class ExtensionPackageTest : public LangTest {
 protected:
  void SetUp() override {
    LangTest::SetUp();
    ResetExternalFunctions();
    temp_ = fs::temp_directory_path() / ("kv_extpkg_" + std::to_string(::getpid()));
    fs::remove_all(temp_);
    fs::create_directories(temp_);
  }
  void TearDown() override {
    ClearExtensionPackages();
    ResetExternalFunctions();
    fs::remove_all(temp_);
    LangTest::TearDown();
  }
  bool Prepare(const std::vector<CExtensionPackage>& packages, bool secure = false) {
    ExtensionPreparation how;
    how.tempDirectory = temp_.string();
    how.secureMode = secure;
    how.messageBox = [this](const std::string& m) { messages_.push_back(m); };
    return PrepareExtensionPackages(packages, how);
  }
  fs::path temp_;
  std::vector<std::string> messages_;
};

TEST_F(ExtensionPackageTest, PreparedPackageUnpacksDefinesAndCalls) {
  ASSERT_TRUE(Prepare({DemoPackage()}));
  // Library and other files are in the package folder; script files stay in memory.
  EXPECT_TRUE(fs::exists(temp_ / "demo_folder" / "libkvtestext.so"));
  EXPECT_TRUE(fs::exists(temp_ / "demo_folder" / "notes.txt"));
  EXPECT_FALSE(fs::exists(temp_ / "demo_folder" / "demo.kvs"));
  // Constants: the valid one is defined, the invalid name was shown and preparation went on.
  EXPECT_EQ(Run("return DEMO_VERSION;"), "12");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("1bad"), std::string::npos);
  // Names are trimmed; the first function of a name wins; ids and counts come from the first function of an id.
  EXPECT_EQ(FindExtensionFunction("demo_init"), 1);
  EXPECT_EQ(FindExtensionFunction("demo_add"), 3);
  EXPECT_EQ(FindExtensionFunction("nothing"), -1);
  EXPECT_EQ(ExtensionArgumentCount(4), -1);
  EXPECT_EQ(ExtensionArgumentCount(7), -100);
  EXPECT_EQ(ExtensionArgumentCount(100), -100);
  EXPECT_EQ(ExtensionFunctionName(10), "lib_add");
  // Script-file functions and library functions from game code.
  EXPECT_EQ(Run("return demo_add(2, 3) + lib_add(10, 0.5);"), "15.5");
  EXPECT_EQ(Run("return demo_empty() + lib_missing();"), "0");  // no code / failed definition: 0
  // Code functions get their own argument slots and leave the caller's alone.
  EXPECT_EQ(Run("argument0 = 'mine'; r = demo_args(1, 2, 'x'); return r + argument0;"), "'x:0mine'");
  // The compiler checks fixed counts.
  EXPECT_EQ(Run("return demo_add(1);"), "1:18: Wrong number of arguments to function or script.");
}

TEST_F(ExtensionPackageTest, InitAndFinalRunInOrderAndFailuresSayWhere) {
  ASSERT_TRUE(Prepare({DemoPackage()}));
  Run("global.log = '';");
  EXPECT_TRUE(InitExtensionPackages());
  EXPECT_TRUE(FinalizeExtensionPackages());
  EXPECT_EQ(Run("return global.log;"), "'init1;init2;final1;final2;'");
  // A failing code function fails its caller with the function's name in front.
  CCode code("return demo_fail();", false);
  ASSERT_TRUE(code.Compile());
  RValue r;
  EXPECT_FALSE(RunCode(&self, &self, &code, r));
  EXPECT_EQ(PendingMessage().rfind("In extension function demo_fail:\r", 0), 0u) << PendingMessage();
  // A library function called with another count than its own (actions pass what they hold): reported, and the
  // native function never runs.
  EXPECT_EQ(Run("return lib_count();"), "0");
  ResetErrorState();
  const RValue one[1] = {RValue(1.0)};
  EXPECT_TRUE(CallExtensionFunction(11, &self, &self, r, one, 1));
  EXPECT_EQ(r.Real(), 0);
  EXPECT_NE(LastError().find("Wrong number of arguments"), std::string::npos) << LastError();
  EXPECT_EQ(Run("return lib_count();"), "0");
  EXPECT_EQ(Run("return lib_counted(1, 2) + lib_count();"), "2");
  // A missing init function is fatal and names it.
  CExtensionPackage p = DemoPackage();
  p.files[2].initFunction = "not_here";
  ASSERT_TRUE(Prepare({p}));
  ResetErrorState();
  EXPECT_FALSE(InitExtensionPackages());
  EXPECT_NE(LastError().find("Could not locate initialization function not_here"), std::string::npos);
  p.files[2].finalFunction = "gone";
  ASSERT_TRUE(Prepare({p}));
  ResetErrorState();
  EXPECT_FALSE(FinalizeExtensionPackages());
  EXPECT_NE(LastError().find("Could not locate finalization function gone"), std::string::npos);
}

TEST_F(ExtensionPackageTest, CompileErrorsAndSecureMode) {
  CExtensionPackage bad = DemoPackage();
  bad.files[0].functions[2].code = "return (;";
  ResetErrorState();
  EXPECT_FALSE(Prepare({bad}));
  EXPECT_EQ(LastError().rfind("COMPILATION ERROR in extension package Demo\r", 0), 0u) << LastError();

  // Secure mode: no library is written or loaded, calls fail with the message, init is fatal.
  fs::remove_all(temp_ / "demo_folder");
  ASSERT_TRUE(Prepare({DemoPackage()}, true));
  EXPECT_FALSE(fs::exists(temp_ / "demo_folder" / "libkvtestext.so"));
  EXPECT_EQ(Run("return demo_add(1, 2);"), kMsgSecureExtensions);
  EXPECT_EQ(Run("return lib_add(1, 2);"), kMsgSecureExtensions);
  ResetErrorState();
  EXPECT_FALSE(InitExtensionPackages());
  EXPECT_NE(LastError().find(kMsgSecureExtensions), std::string::npos);
  EXPECT_EQ(Run("return external_call(0, 1, 2);"), "0");  // nothing was defined
}

TEST(ExtensionPackageRecords, HostileNamesAndIdsAreRefusedAtLoad) {
  auto reads = [](const CExtensionPackage& p) {
    CStream s;
    p.Write(s);
    s.Seek(0);
    CExtensionPackage back;
    ::testing::internal::CaptureStderr();
    const bool ok = back.Read(s);
    ::testing::internal::GetCapturedStderr();
    return ok;
  };
  auto package = [](const std::string& folder, const std::string& file, int id) {
    CExtensionPackage p;
    p.name = "P";
    p.tempFolderName = folder;
    CExtensionFile f;
    f.fileName = file;
    f.kind = CExtensionFile::kLibrary;
    f.functions = {Fn("f", id, 0)};
    p.files = {f};
    return p;
  };
  EXPECT_TRUE(reads(package("ok", "lib.dll", 0)));
  EXPECT_TRUE(reads(package("ok..", "..lib.dll", CExtensionPackage::kMaxFunctionId)));
  for (const char* folder : {"..", ".", "a/b", "..\\up", "/abs"})
    EXPECT_FALSE(reads(package(folder, "lib.dll", 0))) << folder;
  EXPECT_FALSE(reads(package(std::string("a\0b", 3), "lib.dll", 0)));
  for (const char* file : {"..", "../evil.so", "sub\\lib.dll", "/etc/x"})
    EXPECT_FALSE(reads(package("ok", file, 0))) << file;
  EXPECT_EQ(CExtensionPackage::LastRefusal().find("extension package \"P\": file name"), 0u);
  for (int id : {-1, CExtensionPackage::kMaxFunctionId + 1, 2147483647, -2147483647 - 1})
    EXPECT_FALSE(reads(package("ok", "lib.dll", id))) << id;
  EXPECT_NE(CExtensionPackage::LastRefusal().find("has the id"), std::string::npos);
}

}  // namespace
}  // namespace kv::test
