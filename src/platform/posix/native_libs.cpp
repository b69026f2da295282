#include "platform/native_libs.h"

#include <dlfcn.h>
#include <ffi.h>

#include <array>
#include <utility>

#include "platform/library_open.h"

namespace kv::plat {
namespace {

// libffi is opened with the first external call that needs it, not at start (headers only).
struct FfiApi {
  decltype(&::ffi_prep_cif) prepCif = nullptr;
  decltype(&::ffi_call) call = nullptr;
  ffi_type* typeDouble = nullptr;
  ffi_type* typePointer = nullptr;
  bool loaded = false;
};

const FfiApi& Ffi() {
  static const FfiApi api = [] {
    FfiApi a;
    if (void* lib = OpenLibraryOnDemand("libffi.so.8")) {
      a.prepCif = reinterpret_cast<decltype(a.prepCif)>(dlsym(lib, "ffi_prep_cif"));
      a.call = reinterpret_cast<decltype(a.call)>(dlsym(lib, "ffi_call"));
      a.typeDouble = static_cast<ffi_type*>(dlsym(lib, "ffi_type_double"));
      a.typePointer = static_cast<ffi_type*>(dlsym(lib, "ffi_type_pointer"));
    }
    a.loaded = a.prepCif && a.call && a.typeDouble && a.typePointer;
    return a;
  }();
  return api;
}

class FfiCall final : public INativeCall {
 public:
  FfiCall(void* entry, std::span<const NativeKind> args, NativeKind result)
      : entry_(entry), count_(static_cast<unsigned>(args.size())) {
    const FfiApi& ffi = Ffi();
    if (!ffi.loaded) return;
    for (unsigned i = 0; i < count_; ++i) types_[i] = args[i] == NativeKind::Real ? ffi.typeDouble : ffi.typePointer;
    ok_ = ffi.prepCif(&cif_, FFI_DEFAULT_ABI, count_, result == NativeKind::Real ? ffi.typeDouble : ffi.typePointer,
                      types_.data()) == FFI_OK;
  }
  bool Ok() const { return ok_; }

  void Invoke(const NativeValue* args, NativeValue& result) override {
    std::array<void*, kMaxNativeArgs> values;
    for (unsigned i = 0; i < count_; ++i) values[i] = const_cast<NativeValue*>(&args[i]);
    // A pointer result fills a whole ffi_arg; NativeValue is exactly that wide on the 64-bit targets we build for.
    static_assert(sizeof(NativeValue) >= sizeof(ffi_arg));
    Ffi().call(&cif_, FFI_FN(entry_), &result, values.data());
  }

 private:
  void* entry_;
  unsigned count_;
  ffi_cif cif_{};
  std::array<ffi_type*, kMaxNativeArgs> types_{};
  bool ok_ = false;
};

// Signatures of doubles only, the common case, are called through a function pointer of that exact type: the
// compiler passes the arguments as the platform's calling convention says (as libffi would), without libffi's
// per-call interpretation of the signature.
template <class R, size_t... I>
R CallWithReals(void* entry, const NativeValue* args, std::index_sequence<I...>) {
  using Fn = R (*)(decltype(static_cast<void>(I), 0.0)...);
  return reinterpret_cast<Fn>(entry)(args[I].real...);
}

template <size_t N, bool PointerResult>
class RealsCall final : public INativeCall {
 public:
  explicit RealsCall(void* entry) : entry_(entry) {}
  void Invoke(const NativeValue* args, NativeValue& result) override {
    if constexpr (PointerResult) {
      result.text = CallWithReals<const char*>(entry_, args, std::make_index_sequence<N>());
    } else {
      result.real = CallWithReals<double>(entry_, args, std::make_index_sequence<N>());
    }
  }

 private:
  void* entry_;
};

template <size_t... N>
std::unique_ptr<INativeCall> MakeRealsCall(void* entry, size_t count, bool pointerResult, std::index_sequence<N...>) {
  std::unique_ptr<INativeCall> call;
  ((count == N ? (call = pointerResult ? std::unique_ptr<INativeCall>(new RealsCall<N, true>(entry))
                                       : std::unique_ptr<INativeCall>(new RealsCall<N, false>(entry)),
                  0)
               : 0),
   ...);
  return call;
}

class DlNativeLibs final : public INativeLibs {
 public:
  void* Load(const std::string& path, std::string& error) override {
    // RTLD_LOCAL: a game's libraries cannot replace the runner's own symbols or each other's.
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
      const char* why = dlerror();
      error = why ? why : "cannot load";
    }
    return h;
  }
  void* Symbol(void* library, const std::string& name) override {
    if (!library) return nullptr;
    return dlsym(library, name.c_str());
  }
  void Release(void* library) override {
    if (library) dlclose(library);
  }
  std::unique_ptr<INativeCall> Prepare(void* entry, std::span<const NativeKind> args, NativeKind result) override {
    if (!entry || args.size() > static_cast<size_t>(kMaxNativeArgs)) return nullptr;
    bool allReal = true;
    for (NativeKind k : args) allReal = allReal && k == NativeKind::Real;
    if (allReal)
      return MakeRealsCall(entry, args.size(), result == NativeKind::Pointer,
                           std::make_index_sequence<kMaxNativeArgs + 1>());
    auto call = std::make_unique<FfiCall>(entry, args, result);
    if (!call->Ok()) return nullptr;
    return call;
  }
};

DlNativeLibs g_real;
INativeLibs* g_current = &g_real;

}  // namespace

INativeLibs& NativeLibs() { return *g_current; }
void SetNativeLibs(INativeLibs* libs) { g_current = libs ? libs : &g_real; }

}  // namespace kv::plat
