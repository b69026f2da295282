// System libraries the runner opens on first use instead of linking (the video codecs, the registry store's
// database, the sound decoders): runs that never need them do not pay for loading and binding them.
#pragma once

#include <dlfcn.h>

namespace kv::plat {

// RTLD_DEEPBIND makes the library look its symbols up in itself and its own dependencies before the whole
// process: binding a large library then meets a few objects per symbol instead of the process's sixty (about a
// fifth of the instructions). The sanitizer runtimes must see every allocation and refuse it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr int kLibraryOpenBind = 0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
inline constexpr int kLibraryOpenBind = 0;
#else
inline constexpr int kLibraryOpenBind = RTLD_DEEPBIND;
#endif
#else
inline constexpr int kLibraryOpenBind = RTLD_DEEPBIND;
#endif

// The library's handle (never closed), or null when it cannot be opened.
inline void* OpenLibraryOnDemand(const char* file) { return dlopen(file, RTLD_NOW | RTLD_LOCAL | kLibraryOpenBind); }

}  // namespace kv::plat
