// External library calls against the project's test library (libkvtestext.so): definitions with every argument
// count and type mix, string bytes, freeing, refused definitions and calls, and where library files are found.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "code/code_test_util.h"
#include "extensions/external_call.h"
#include "extensions/function_external.h"
#include "world/run_main.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

const std::string kLib = std::string(KV_TESTEXT_DIR) + "/libkvtestext.so";

class ExternalCallTest : public LangTest {
 protected:
  void SetUp() override {
    LangTest::SetUp();
    ResetExternalFunctions();
    SetExternalLibraryPlaces({});
    Game().secureMode = false;
  }
  void TearDown() override {
    ResetExternalFunctions();
    Game().secureMode = false;
    LangTest::TearDown();
  }
  // A program that defines `def` into id and then evaluates `call`.
  std::string DefineAndCall(const std::string& def, const std::string& call) {
    return Run("fid = " + def + "; return " + call + ";");
  }
  std::string Lib() const { return "'" + kLib + "'"; }
  std::string Last() { return Run("return external_call(external_define(" + Lib() + ", 'kvt_last', 0, 1, 0));"); }
};

TEST_F(ExternalCallTest, RealArgumentsFromNoneToSixteenArriveInOrder) {
  // external_define takes at most 11 arguments through the call syntax (16 slots); the table takes 16.
  for (int n = 0; n <= 11; ++n) {
    std::string def = "external_define(" + Lib() + ", 'kvt_real" + std::to_string(n) + "', dll_cdecl, ty_real, " +
                      std::to_string(n);
    std::string call = "external_call(fid";
    double expect = 0;
    for (int i = 0; i < n; ++i) {
      def += ", ty_real";
      call += ", " + std::to_string(i + 0.5);
      expect += (i + 1) * (i + 0.5);
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", expect);
    EXPECT_EQ(DefineAndCall(def + ")", call + ")"), buf) << n;
  }
  EXPECT_EQ(Last(), "'kvt_real11 r0.5 r1.5 r2.5 r3.5 r4.5 r5.5 r6.5 r7.5 r8.5 r9.5 r10.5'");
  // Twelve to sixteen arguments: defined directly, called with values from game code.
  const int types[16] = {};
  for (int n = 12; n <= 16; ++n) {
    const int id = DefineExternal(kLib, "kvt_real" + std::to_string(n), kExternalCdecl, false, types, n);
    ASSERT_GE(id, 0);
    RValue args[16], result;
    double expect = 0;
    for (int i = 0; i < n; ++i) {
      args[i] = RValue(i * 2.0);
      expect += (i + 1) * (i * 2.0);
    }
    CallExternal(id, n, args, result);
    EXPECT_EQ(result.Real(), expect) << n;
  }
  EXPECT_EQ(Last().substr(0, 20), "'kvt_real16 r0 r2 r4");
}

TEST_F(ExternalCallTest, EveryMixOfStringAndRealUpToFourArguments) {
  for (int n = 1; n <= 4; ++n) {
    for (int mask = 0; mask < (1 << n); ++mask) {
      std::string pattern, def = "external_define(" + Lib() + ", 'kvt_mix_", types, call = "external_call(fid",
                           expectLog;
      double expect = n;
      for (int i = 0; i < n; ++i) {
        const bool s = mask & (1 << i);
        pattern += s ? 's' : 'r';
        types += s ? ", ty_string" : ", ty_real";
        call += s ? ", 'ab" + std::to_string(i) + "'" : ", " + std::to_string(i + 7);
        expectLog += s ? " s'ab" + std::to_string(i) + "'" : " r" + std::to_string(i + 7);
        expect += s ? 3 : i + 7;
      }
      def += pattern + "', dll_stdcall, ty_real, " + std::to_string(n) + types + ")";
      EXPECT_EQ(DefineAndCall(def, call + ")"), std::to_string(static_cast<int>(expect))) << pattern;
      EXPECT_EQ(Last(), "'kvt_mix_" + pattern + expectLog + "'");
    }
  }
  // The fixed-arity forms: types before the result type up to four, reals only from five.
  EXPECT_EQ(DefineAndCall("external_define2(" + Lib() + ", 'kvt_mix_sr', ty_string, ty_real, ty_real)",
                          "external_call2(fid, 'xyz', 4)"),
            "9");
  EXPECT_EQ(DefineAndCall("external_define0(" + Lib() + ", 'kvt_high_bytes', ty_string)",
                          "string_length(external_call0(fid))"),
            "128");
  EXPECT_EQ(DefineAndCall("external_define8(" + Lib() + ", 'kvt_real8', ty_real)",
                          "external_call8(fid, 1, 1, 1, 1, 1, 1, 1, 1)"),
            "36");
  EXPECT_EQ(DefineAndCall("external_define4(" + Lib() + ", 'kvt_mix_rrrs', 0, 0, 0, 1, 0)",
                          "external_call4(fid, 1, 2, 3, 'four')"),
            "14");
}

TEST_F(ExternalCallTest, StringsKeepEveryByteAndResultsAreCopies) {
  // chr(128) … chr(255) go out and come back unchanged.
  EXPECT_EQ(Run("fid = external_define(" + Lib() + ", 'kvt_echo', 0, ty_string, 1, ty_string);"
                "s = ''; for (i = 128; i < 256; i += 1) s += chr(i);"
                "t = external_call(fid, s); if (t != s) return -1; return string_length(t);"),
            "128");
  EXPECT_EQ(Run("fid = external_define(" + Lib() + ", 'kvt_high_bytes', 0, ty_string, 0);"
                "s = external_call(fid); return ord(string_char_at(s, 1)) + ord(string_char_at(s, 128));"),
            "383");
  // The result is a copy: a later call that changes the library's buffer leaves it alone.
  EXPECT_EQ(Run("fid = external_define(" + Lib() + ", 'kvt_echo', 0, ty_string, 1, ty_string);"
                "a = external_call(fid, 'first'); b = external_call(fid, 'second'); return a + b;"),
            "'firstsecond'");
  // A null string result reads as the empty string; a real passed for a string argument is the empty string.
  EXPECT_EQ(Run("return external_call(external_define(" + Lib() + ", 'kvt_null', 0, ty_string, 0));"), "''");
  EXPECT_EQ(Run("return external_call(external_define(" + Lib() + ", 'kvt_strlen', 0, ty_real, 1, ty_string), 5);"),
            "0");
}

TEST_F(ExternalCallTest, FreedLibrariesAndWrongCountsNeverReachNativeCode) {
  const std::string counted = "external_define(" + Lib() + ", 'kvt_counted', 0, ty_real, 2, ty_real, ty_real)";
  const std::string count = "external_call(external_define(" + Lib() + ", 'kvt_count', 0, ty_real, 0))";
  EXPECT_EQ(Run("a = " + counted + "; b = " + counted + "; return external_call(a, 1, 2) + external_call(b, 3, 4);"),
            "3");  // two ids of one library, both work (counts 1 and 2)
  EXPECT_EQ(Run("return " + count + ";"), "2");
  // One argument too many or too few: result 0, no call, no message.
  ClearErrorPending();
  EXPECT_EQ(Run("fid = " + counted + "; return external_call(fid, 1, 2, 3) + external_call(fid, 1) + external_call(fid);"),
            "0");
  EXPECT_EQ(Run("return " + count + ";"), "2");
  EXPECT_FALSE(ErrorOccurred());
  // Undefined ids are silent too.
  EXPECT_EQ(Run("return external_call(9999, 1, 2) + external_call(-1);"), "0");
  // external_free: every id of that library (any letter case) returns 0 until defined again.
  const std::string upper = "'" + kLib.substr(0, kLib.size() - 3) + ".SO'";
  EXPECT_EQ(Run("fid = " + counted + "; external_free(" + upper + "); return external_call(fid, 1, 1);"), "0");
  EXPECT_EQ(Run("fid = " + counted + "; external_free(" + Lib() + "); return external_call(fid, 1, 1);"), "0");
  EXPECT_EQ(Run("return " + count + ";"), "0");  // the library was released and loaded again: its counter started again
  EXPECT_FALSE(ErrorOccurred());
}

TEST_F(ExternalCallTest, RefusedDefinitionsReportTheirMessages) {
  auto lastError = [&](const std::string& program) {
    ResetErrorState();
    Run(program);
    return LastError();
  };
  EXPECT_NE(lastError("external_define(" + Lib() + ", 'kvt_real2', 0, 0, 2, 0)").find(kMsgDefineArgCount),
            std::string::npos);
  EXPECT_NE(lastError("external_define(" + Lib() + ", 'kvt_real2', 0, 0)").find(kMsgDefineArgCount),
            std::string::npos);
  EXPECT_NE(lastError("external_define(" + Lib() + ", 'kvt_real2', 0, 0, 17)").find(kMsgDllTooManyArgs),
            std::string::npos);
  EXPECT_NE(lastError("external_define(" + Lib() + ", 'kvt_real2', 0, 0, -1)").find(kMsgDllTooManyArgs),
            std::string::npos);
  EXPECT_NE(lastError("r = external_define('x.dll', 'f', dll_cdecl, ty_real, 5, ty_real, ty_real, ty_real, "
                      "ty_string, ty_real)")
                .find(kMsgDllStringArgs),
            std::string::npos);
  EXPECT_NE(lastError("r = external_define(" + Lib() + ", 'no_such_export', 0, 0, 0)").find(kMsgDefineFailed),
            std::string::npos);
  EXPECT_EQ(Run("return external_define(" + Lib() + ", 'no_such_export', 0, 0, 0);"), "-1");
  EXPECT_NE(lastError("r = external_define0('missing_kv_library.dll', 'f', 0)").find(kMsgDefineFailed),
            std::string::npos);

  // Secure mode: every function refuses with its message and nothing is defined or called.
  Game().secureMode = true;
  EXPECT_NE(lastError("r = external_define(" + Lib() + ", 'kvt_real0', 0, 0, 0)").find(kMsgSecureDlls),
            std::string::npos);
  EXPECT_EQ(Run("return external_define(" + Lib() + ", 'kvt_real0', 0, 0, 0);"), "0");
  EXPECT_NE(lastError("external_call(0)").find(kMsgSecureDlls), std::string::npos);
  EXPECT_NE(lastError("external_free('a.dll')").find(kMsgSecureDlls), std::string::npos);
  EXPECT_NE(lastError("external_call3(0, 1, 2, 3)").find(kMsgSecureDlls), std::string::npos);
}

// Where "name.dll" finds its native replacement: the named folder; else beside the game file, the working
// directory, KV_LIBRARY_PATH; in each the name itself first, then name.so, then libname.so.
TEST_F(ExternalCallTest, WindowsLibraryNamesFindNativeReplacementsInOrder) {
  ExternalLibraryPlaces places;
  places.gameDirectory = "/games/g";
  places.searchPath = SplitLibraryPath("/opt/a::/opt/b:");
  EXPECT_EQ(places.searchPath, (std::vector<std::string>{"/opt/a", "/opt/b"}));
  EXPECT_EQ(ExternalLibraryCandidates("Kvtestext.DLL", places, "/work"),
            (std::vector<std::string>{"/games/g/Kvtestext.DLL", "/games/g/Kvtestext.so", "/games/g/libKvtestext.so",
                                      "/work/Kvtestext.DLL", "/work/Kvtestext.so", "/work/libKvtestext.so",
                                      "/opt/a/Kvtestext.DLL", "/opt/a/Kvtestext.so", "/opt/a/libKvtestext.so",
                                      "/opt/b/Kvtestext.DLL", "/opt/b/Kvtestext.so", "/opt/b/libKvtestext.so",
                                      "Kvtestext.DLL"}));
  EXPECT_EQ(ExternalLibraryCandidates("plain.so", {}, "/work"),
            (std::vector<std::string>{"/work/plain.so", "plain.so"}));

  // Real files: copies of the test library in three places tell which one was loaded.
  const fs::path root = fs::temp_directory_path() / ("kv_extlookup_" + std::to_string(::getpid()));
  fs::remove_all(root);
  for (const char* d : {"game", "path1", "path2", "sub"}) fs::create_directories(root / d);
  fs::copy_file(kLib, root / "path1" / "libkvtestext.so");
  fs::copy_file(kLib, root / "path2" / "kvtestext.so");
  fs::copy_file(kLib, root / "sub" / "kvtestext.so");
  {
    std::ofstream pe(root / "sub" / "kvtestext.dll");  // a Windows library: it cannot load, the .so beside it does
    pe << "MZ";
  }
  ExternalLibraryPlaces real;
  real.gameDirectory = (root / "game").string();
  real.searchPath = {(root / "path2").string(), (root / "path1").string()};
  SetExternalLibraryPlaces(real);
  const std::string where =
      "return external_call(external_define0('kvtestext.dll', 'kvt_library_path', ty_string));";
  EXPECT_EQ(Run(where), "'" + (root / "path2" / "kvtestext.so").string() + "'");
  ResetExternalFunctions();
  fs::copy_file(kLib, root / "game" / "libkvtestext.so");
  EXPECT_EQ(Run(where), "'" + (root / "game" / "libkvtestext.so").string() + "'");
  // A name with a folder (Windows separators, other letter case) looks only there.
  EXPECT_EQ(Run("return external_call(external_define0('" + (root / "SUB").string() +
                "\\KVTESTEXT.dll', 'kvt_library_path', ty_string));"),
            "'" + (root / "sub" / "kvtestext.so").string() + "'");

  // A missing library: -1, calls return 0, and stderr names it and the places once.
  ResetExternalFunctions();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run("a = external_define0('kv_missing_lib.dll', 'f', 0); b = external_define0('KV_MISSING_LIB.DLL', "
                "'f', 0); return a + b + external_call0(a);"),
            "-2");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("kv_missing_lib.dll"), std::string::npos) << err;
  EXPECT_NE(err.find("\"kv_missing_lib.so\" or \"libkv_missing_lib.so\""), std::string::npos) << err;
  EXPECT_NE(err.find(real.gameDirectory), std::string::npos) << err;
  EXPECT_NE(err.find("KV_LIBRARY_PATH"), std::string::npos) << err;
  size_t lines = 0;
  for (char c : err) lines += c == '\n';
  EXPECT_EQ(lines, 1u) << err;
  fs::remove_all(root);
}

}  // namespace
}  // namespace kv::test
