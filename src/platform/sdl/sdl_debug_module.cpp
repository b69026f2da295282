// Opens the debug window's module and makes windows through it.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "platform/dialogs.h"
#include "platform/sdl/sdl_debug_module.h"
#include "platform/text_codec.h"

namespace kv::plat {

namespace {

// The directory of the running executable ("" when the system does not tell).
std::string ExecutableDirectory() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  const std::string file(path, static_cast<size_t>(n));
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

struct LoadedModule {
  DebugWindowEntry create = nullptr;
  std::string failure;  // why the module could not be used
};

LoadedModule LoadModule() {
  LoadedModule m;
  // Beside the executable in a build tree; PREFIX/libexec/korvane-runner when installed.
  const std::string dir = ExecutableDirectory();
  std::string path = dir + "/" + kDebugWindowModule;
  if (access(path.c_str(), F_OK) != 0) path = dir + "/../libexec/korvane-runner/" + kDebugWindowModule;
  // Never closed: the windows it makes run its code until the process ends.
  void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    const char* why = dlerror();
    m.failure = why ? why : path + " cannot be opened";
    return m;
  }
  m.create = reinterpret_cast<DebugWindowEntry>(dlsym(lib, kDebugWindowEntry));
  if (!m.create) m.failure = path + " is not the debug window module of this build";
  return m;
}

const DebugWindowHost& Host() {
  static const DebugWindowHost host{
      SetSdlEventRoute,
      [](std::string_view bytes) { return Cp1252ToUtf8(bytes); },
      [](std::string_view utf8, char replacement) { return Utf8ToCp1252(utf8, replacement); },
      [](std::string_view caption) { return WithoutAmpersands(caption); },
  };
  return host;
}

}  // namespace

std::unique_ptr<IDebugWindow> CreateSdlDebugWindow(std::string& failure) {
  static const LoadedModule module = LoadModule();
  if (!module.create) {
    failure = module.failure;
    return nullptr;
  }
  return std::unique_ptr<IDebugWindow>(module.create(&Host(), &failure));
}

}  // namespace kv::plat
