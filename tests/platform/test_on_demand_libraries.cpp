// Libraries the runner opens on first use instead of linking: kvrun's start-up loads none of them, and each
// arrives when it is first needed.
#include <SDL.h>
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/audio_out.h"
#include "platform/registry.h"
#include "platform/sdl/sdl_debug_module.h"
#include "platform/sdl/sdl_window.h"

namespace {

using namespace kv::plat;

// The DT_NEEDED names of a 64-bit ELF file (empty when it cannot be read as one).
std::vector<std::string> NeededLibraries(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::string> needed;
  if (bytes.size() < sizeof(Elf64_Ehdr)) return needed;
  const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(bytes.data());
  if (std::memcmp(eh->e_ident, ELFMAG, SELFMAG) != 0 || eh->e_ident[EI_CLASS] != ELFCLASS64) return needed;
  const auto* sections = reinterpret_cast<const Elf64_Shdr*>(bytes.data() + eh->e_shoff);
  for (int i = 0; i < eh->e_shnum; ++i) {
    if (sections[i].sh_type != SHT_DYNAMIC) continue;
    const char* strings = bytes.data() + sections[sections[i].sh_link].sh_offset;
    const auto* dyn = reinterpret_cast<const Elf64_Dyn*>(bytes.data() + sections[i].sh_offset);
    for (size_t k = 0; k < sections[i].sh_size / sizeof(Elf64_Dyn) && dyn[k].d_tag != DT_NULL; ++k)
      if (dyn[k].d_tag == DT_NEEDED) needed.emplace_back(strings + dyn[k].d_un.d_val);
  }
  return needed;
}

bool Loaded(const char* soname) {
  void* h = dlopen(soname, RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}

TEST(OnDemandLibraries, KvrunLinksNoneOfThem) {
  const std::vector<std::string> needed = NeededLibraries(std::string(KV_BIN_DIR) + "/kvrun");
  ASSERT_FALSE(needed.empty());
  for (const std::string& lib : needed)
    for (const char* lazy : {"libav", "libsw", "libepoxy", "libsqlite", "libenet", "libffi", "libfreetype",
                             "libfontconfig", "libimgui", "libstb", "libsndfile", "libfluidsynth"})
      EXPECT_NE(lib.rfind(lazy, 0), 0u) << lib << " is linked: every start would load it";
}

TEST(OnDemandLibraries, TheDebugWindowModuleLiesBesideKvrun) {
  const std::string module = std::string(KV_BIN_DIR) + "/" + kDebugWindowModule;
  ASSERT_TRUE(std::filesystem::exists(module));
  void* lib = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  EXPECT_NE(dlsym(lib, kDebugWindowEntry), nullptr);
}

TEST(OnDemandLibraries, TheRegistryStoreOpensSqliteOnlyForAStoreThatExistsOrIsWritten) {
  const bool before = Loaded("libsqlite3.so.0");
  const auto path = std::filesystem::temp_directory_path() / ("kv_lazy_registry_" + std::to_string(getpid()));
  std::filesystem::remove_all(path);
  auto store = OpenSqliteRegistry((path / "registry.sqlite").string());
  EXPECT_EQ(store->Read(RegistryRoot::CurrentUser, "Software\\Game", "score"), std::nullopt);
  EXPECT_FALSE(store->KeyExists(RegistryRoot::CurrentUser, "Software\\Game", false));
  if (!before) {
    EXPECT_FALSE(Loaded("libsqlite3.so.0")) << "a missing store needs no library";
  }
  ASSERT_TRUE(store->Write(RegistryRoot::CurrentUser, "Software\\Game", "score", RegistryValue::Number(7)));
  EXPECT_TRUE(Loaded("libsqlite3.so.0"));
  const auto value = store->Read(RegistryRoot::CurrentUser, "software\\GAME", "SCORE");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, RegistryValue::Number(7).data);
  store.reset();
  std::filesystem::remove_all(path);
}

// Waits up to two seconds for the callback count to pass `above`.
bool CountPasses(const std::atomic<int>& count, int above) {
  for (int i = 0; i < 200 && count.load() <= above; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return count.load() > above;
}

TEST(OnDemandLibraries, TheAudioDeviceStaysOpenPausedForTheNextOutput) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::atomic<int> first{0}, second{0};
  std::string failure;
  auto a = CreateSdlAudioOut(failure);
  ASSERT_NE(a, nullptr) << failure;
  a->Start([&](float*, int) { ++first; });
  ASSERT_TRUE(CountPasses(first, 0));
  // Another output shares the device; releasing one that is not playing leaves the playing one alone.
  auto idle = CreateSdlAudioOut(failure);
  ASSERT_NE(idle, nullptr) << failure;
  idle.reset();
  const int playing = first.load();
  EXPECT_TRUE(CountPasses(first, playing));
  // Released, the device stops calling at once and the next output starts it again.
  a.reset();
  const int stopped = first.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(first.load(), stopped);
  auto b = CreateSdlAudioOut(failure);
  ASSERT_NE(b, nullptr) << failure;
  b->Start([&](float*, int) { ++second; });
  EXPECT_TRUE(CountPasses(second, 0));
  b.reset();
}

TEST(OnDemandLibraries, VideoStartHoldsOffBusAutolaunchAndRestoresTheAddress) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) GTEST_SKIP() << "video has started in this process already";
  // In a child process: SDL's video keeps signal handlers of its own, which later tests here must not meet.
  const auto runtime = std::filesystem::temp_directory_path() / ("kv_no_bus_" + std::to_string(getpid()));
  std::filesystem::create_directories(runtime);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    UseHeadlessVideo();
    // A bus address of the user's is never touched.
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nowhere", 1);
    HoldOffBusAutolaunch();
    if (std::string(std::getenv("DBUS_SESSION_BUS_ADDRESS")) != "unix:path=/nowhere") _exit(4);
    // Without any bus, autolaunching is held off until video has started.
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);  // no bus there
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    HoldOffBusAutolaunch();
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) _exit(5);
    const bool started = CreateSdlDisplay() != nullptr;
    _exit(!started ? 2 : std::getenv("DBUS_SESSION_BUS_ADDRESS") ? 3 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  std::filesystem::remove_all(runtime);
}

}  // namespace
