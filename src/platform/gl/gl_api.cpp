#define KV_GL_API_LOADER
#include "platform/gl/gl_api.h"

#include <SDL.h>

namespace kv::plat::gl {

Api api;

bool LoadApi(std::string& missing) {
  // Each device looks them up again: with the GL libraries of this system the pointers do not depend on the
  // context, but a device made through another video driver (X11 or the offscreen EGL one) asks its own.
#define KV_GL_LOOKUP(name)                                                                   \
  api.name = reinterpret_cast<decltype(api.name)>(SDL_GL_GetProcAddress(#name));             \
  if (!api.name && missing.empty()) missing = #name;
  KV_GL_FUNCTIONS(KV_GL_LOOKUP)
#undef KV_GL_LOOKUP
  return missing.empty();
}

int ContextVersion() {
  GLint major = 0, minor = 0;
  api.glGetIntegerv(GL_MAJOR_VERSION, &major);
  api.glGetIntegerv(GL_MINOR_VERSION, &minor);
  return major * 10 + minor;
}

}  // namespace kv::plat::gl
