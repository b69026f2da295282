// The registry functions on the SQLite store: values, letter case, roots, creation rules, two processes sharing a
// store, and secure mode read from it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "call_builtin.h"
#include "code/code_code.h"
#include "functions/function_registry.h"
#include "platform/registry.h"
#include "world/run_main.h"
#include "runner/runner_wiring.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using plat::RegistryRoot;
using plat::RegistryValue;
using test::BuiltinCaller;
using test::S;

class RegistryFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    WireLanguage();
    SetRegistryStore(plat::OpenSqliteRegistry(":memory:"));
    Game().gameId = 777;
    Game().secureMode = false;
    c.Call("registry_set_root", {0.0});
  }
  void TearDown() override {
    SetRegistryStore(nullptr);
    Game().gameId = 0;
  }
  BuiltinCaller c;
};

TEST_F(RegistryFunctions, StringsAndRealsRoundTripUnderAnyLetterCase) {
  c.Call("registry_write_string", {S("Player"), S("Ann \xE9\x80")});
  c.Call("registry_write_real", {S("Best"), 12.75});
  EXPECT_EQ(c.Str("registry_read_string", {S("PLAYER")}), "Ann \xE9\x80");
  EXPECT_EQ(c.Real("registry_read_real", {S("best")}), 12.75);
  EXPECT_EQ(c.Str("registry_read_string", {S("best")}), "") << "a real is not a string";
  EXPECT_EQ(c.Real("registry_read_real", {S("player")}), 0) << "a string is not a real";
  EXPECT_EQ(c.Str("registry_read_string", {S("nothing")}), "");
  EXPECT_EQ(c.Real("registry_exists", {S("Best")}), 1);
  EXPECT_EQ(c.Real("registry_exists", {S("nothing")}), 0);
  // The game's own key, whatever root the _ext functions use.
  c.Call("registry_set_root", {1.0});
  EXPECT_EQ(c.Real("registry_read_real", {S("best")}), 12.75);
  EXPECT_EQ(c.Real("registry_read_real_ext", {S("\\Software\\Korvane\\777"), S("best")}), 0);
  c.Call("registry_set_root", {5.0});  // any other value: the current user
  EXPECT_EQ(c.Real("registry_read_real_ext", {S("software\\KORVANE\\777\\"), S("BEST")}), 12.75);
  EXPECT_TRUE(c.NoErrors());
}

TEST_F(RegistryFunctions, ExtFunctionsAndKeyCreation) {
  plat::IRegistry& store = RegistryStore();
  EXPECT_FALSE(store.KeyExists(RegistryRoot::CurrentUser, "Software\\Korvane\\777", false));
  EXPECT_EQ(c.Real("registry_exists", {S("x")}), 0);
  EXPECT_TRUE(store.KeyExists(RegistryRoot::CurrentUser, "Software\\Korvane\\777", false))
      << "registry_exists creates the game's key";
  c.Call("registry_set_root", {2.0});
  c.Call("registry_write_string_ext", {S("Software\\Other"), S("name"), S("v")});
  c.Call("registry_write_real_ext", {S("Software\\Other"), S("n"), 3.0});
  EXPECT_EQ(c.Str("registry_read_string_ext", {S("software\\other"), S("NAME")}), "v");
  EXPECT_EQ(c.Real("registry_read_real_ext", {S("software\\other"), S("n")}), 3);
  EXPECT_TRUE(store.Read(RegistryRoot::ClassesRoot, "Software\\Other", "name").has_value());
  EXPECT_FALSE(store.Read(RegistryRoot::CurrentUser, "Software\\Other", "name").has_value());
  EXPECT_EQ(c.Real("registry_exists_ext", {S("Software\\New"), S("v")}), 0);
  EXPECT_TRUE(store.KeyExists(RegistryRoot::ClassesRoot, "Software\\New", false));
  Game().secureMode = true;
  EXPECT_EQ(c.Real("registry_exists_ext", {S("Software\\Newer"), S("v")}), 0);
  EXPECT_FALSE(store.KeyExists(RegistryRoot::ClassesRoot, "Software\\Newer", false))
      << "secure mode creates no keys";
  EXPECT_TRUE(c.NoErrors());
}

class RegistryFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kv_registry_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    path_ = (dir_ / "deep" / "registry.sqlite").string();
  }
  void TearDown() override {
    SetRegistryStore(nullptr);
    unsetenv("KV_SECURE_MODE");
    fs::remove_all(dir_);
  }
  fs::path dir_;
  std::string path_;
};

TEST_F(RegistryFile, ReadsNeverCreateTheStore) {
  auto store = plat::OpenSqliteRegistry(path_);
  EXPECT_FALSE(store->Read(RegistryRoot::CurrentUser, "a", "b").has_value());
  EXPECT_FALSE(store->KeyExists(RegistryRoot::CurrentUser, "a", false));
  EXPECT_FALSE(fs::exists(dir_));
  EXPECT_TRUE(store->Write(RegistryRoot::CurrentUser, "a", "b", RegistryValue::Number(1)));
  EXPECT_TRUE(fs::exists(path_));
}

TEST_F(RegistryFile, TwoProcessesWriteTheSameStore) {
  ASSERT_TRUE(plat::OpenSqliteRegistry(path_)->Write(RegistryRoot::CurrentUser, "k", "init", RegistryValue::Number(0)));
  constexpr int kWrites = 100;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto store = plat::OpenSqliteRegistry(path_);
    bool ok = true;
    for (int i = 0; i < kWrites; ++i)
      ok &= store->Write(RegistryRoot::CurrentUser, "k", "child" + std::to_string(i), RegistryValue::Real(i));
    _exit(ok ? 0 : 1);
  }
  auto store = plat::OpenSqliteRegistry(path_);
  bool ok = true;
  for (int i = 0; i < kWrites; ++i)
    ok &= store->Write(RegistryRoot::CurrentUser, "K", "parent" + std::to_string(i), RegistryValue::Real(i));
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(ok);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  auto reader = plat::OpenSqliteRegistry(path_);
  for (int i = 0; i < kWrites; ++i) {
    EXPECT_EQ(reader->Read(RegistryRoot::CurrentUser, "k", "child" + std::to_string(i))->AsReal(), i);
    EXPECT_EQ(reader->Read(RegistryRoot::CurrentUser, "k", "PARENT" + std::to_string(i))->AsReal(), i);
  }
}

TEST_F(RegistryFile, SecureModeComesFromThePreferencesUnlessTheEnvironmentSays) {
  unsetenv("KV_SECURE_MODE");
  SetRegistryStore(plat::OpenSqliteRegistry(path_));
  EXPECT_FALSE(ReadSecureModeSetting()) << "no key: off";
  const std::string key = "\\Software\\Korvane\\Version 7\\Preferences";
  plat::IRegistry& store = RegistryStore();
  store.Write(RegistryRoot::CurrentUser, key, "Warning", RegistryValue::Number(1));
  EXPECT_TRUE(ReadSecureModeSetting());
  store.Write(RegistryRoot::CurrentUser, key, "KorvaneRunning", RegistryValue::Number(0));
  EXPECT_FALSE(ReadSecureModeSetting()) << "both must be set when KorvaneRunning exists";
  store.Write(RegistryRoot::CurrentUser, key, "KorvaneRunning", RegistryValue::Number(1));
  EXPECT_TRUE(ReadSecureModeSetting());
  setenv("KV_SECURE_MODE", "0", 1);
  EXPECT_FALSE(ReadSecureModeSetting());
  store.Write(RegistryRoot::CurrentUser, key, "Warning", RegistryValue::Number(0));
  setenv("KV_SECURE_MODE", "1", 1);
  EXPECT_TRUE(ReadSecureModeSetting());
}

}  // namespace
}  // namespace kv
