#pragma once
// Native libraries for game code: loading a shared library, finding an exported function and calling it with up
// to 16 arguments that are each a double or a pointer, with a double or pointer result. The POSIX backend uses
// dlopen and libffi; tests may put another backend in its place.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kv::plat {

constexpr int kMaxNativeArgs = 16;

enum class NativeKind : uint8_t { Real, Pointer };

// One argument or result as the native function sees it.
union NativeValue {
  double real;
  const char* text;
};

// A prepared call of one function with one signature; calls are cheap, preparing is not.
class INativeCall {
 public:
  virtual ~INativeCall() = default;
  // args holds as many values as the signature has arguments.
  virtual void Invoke(const NativeValue* args, NativeValue& result) = 0;
};

class INativeLibs {
 public:
  virtual ~INativeLibs() = default;
  // Loads the library file (a path containing "/" is taken as it is, a bare name goes through the system's
  // library search). nullptr on failure, with the reason in `error`.
  virtual void* Load(const std::string& path, std::string& error) = 0;
  // The exported symbol's address, or nullptr.
  virtual void* Symbol(void* library, const std::string& name) = 0;
  // Releases one Load of the library.
  virtual void Release(void* library) = 0;
  // A call of the function at `entry` with these argument kinds (at most kMaxNativeArgs) and result kind, in the
  // platform's default calling convention; nullptr when it cannot be prepared.
  virtual std::unique_ptr<INativeCall> Prepare(void* entry, std::span<const NativeKind> args, NativeKind result) = 0;
};

// The process's backend (dlopen + libffi unless replaced).
INativeLibs& NativeLibs();
// Replaces the backend (tests); nullptr restores the real one.
void SetNativeLibs(INativeLibs* libs);

}  // namespace kv::plat
