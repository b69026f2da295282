// The GL functions the device calls, looked up through SDL once its context is current. A loader library would
// bind thousands of symbols when the process starts, a cost every run would pay, also the headless ones that
// never draw; these few are found only when a device is made.
#pragma once

#define GL_GLEXT_PROTOTYPES  // the declarations give the pointer types; nothing links against them
#include <GL/glcorearb.h>

#include <string>

#define KV_GL_FUNCTIONS(X) \
  X(glActiveTexture) X(glAttachShader) X(glBindBuffer) X(glBindFramebuffer) X(glBindRenderbuffer) X(glBindSampler) \
  X(glBindTexture) X(glBindVertexArray) X(glBlendFunc) X(glBlitFramebuffer) X(glBufferData) \
  X(glCheckFramebufferStatus) X(glClear) X(glClearColor) X(glClearDepth) X(glClientWaitSync) X(glClipControl) \
  X(glCompileShader) X(glCreateProgram) X(glCreateShader) X(glCullFace) X(glDeleteBuffers) X(glDeleteFramebuffers) \
  X(glDeleteProgram) X(glDeleteRenderbuffers) X(glDeleteSamplers) X(glDeleteShader) X(glDeleteSync) \
  X(glDeleteTextures) X(glDeleteVertexArrays) X(glDepthFunc) X(glDepthMask) X(glDisable) \
  X(glDrawElementsBaseVertex) X(glEnable) X(glEnableVertexAttribArray) X(glFenceSync) X(glFramebufferRenderbuffer) \
  X(glFramebufferTexture2D) X(glFrontFace) X(glGenBuffers) X(glGenFramebuffers) X(glGenRenderbuffers) \
  X(glGenSamplers) X(glGenTextures) X(glGenVertexArrays) X(glGetError) X(glGetIntegerv) X(glGetShaderInfoLog) \
  X(glGetShaderiv) X(glGetUniformLocation) X(glLinkProgram) X(glMapBufferRange) X(glPixelStorei) \
  X(glProvokingVertex) X(glReadPixels) X(glRenderbufferStorage) X(glSamplerParameteri) X(glScissor) \
  X(glShaderSource) X(glTexImage2D) X(glTexImage3D) X(glTexParameteri) X(glTexSubImage2D) X(glTexSubImage3D) \
  X(glUniform1i) X(glUniform2f) X(glUniform4fv) X(glUniformMatrix4fv) X(glUnmapBuffer) X(glUseProgram) \
  X(glVertexAttribPointer) X(glViewport)

namespace kv::plat::gl {

struct Api {
#define KV_GL_POINTER(name) decltype(&::name) name = nullptr;
  KV_GL_FUNCTIONS(KV_GL_POINTER)
#undef KV_GL_POINTER
};

extern Api api;

// Looks every function up in the current context; false with the name of a missing one.
bool LoadApi(std::string& missing);
// The context's version as major * 10 + minor (33 for 3.3).
int ContextVersion();

}  // namespace kv::plat::gl

#ifndef KV_GL_API_LOADER
// The device's code calls the functions by their usual names.
#define glActiveTexture ::kv::plat::gl::api.glActiveTexture
#define glAttachShader ::kv::plat::gl::api.glAttachShader
#define glBindBuffer ::kv::plat::gl::api.glBindBuffer
#define glBindFramebuffer ::kv::plat::gl::api.glBindFramebuffer
#define glBindRenderbuffer ::kv::plat::gl::api.glBindRenderbuffer
#define glBindSampler ::kv::plat::gl::api.glBindSampler
#define glBindTexture ::kv::plat::gl::api.glBindTexture
#define glBindVertexArray ::kv::plat::gl::api.glBindVertexArray
#define glBlendFunc ::kv::plat::gl::api.glBlendFunc
#define glBlitFramebuffer ::kv::plat::gl::api.glBlitFramebuffer
#define glBufferData ::kv::plat::gl::api.glBufferData
#define glCheckFramebufferStatus ::kv::plat::gl::api.glCheckFramebufferStatus
#define glClear ::kv::plat::gl::api.glClear
#define glClearColor ::kv::plat::gl::api.glClearColor
#define glClearDepth ::kv::plat::gl::api.glClearDepth
#define glClientWaitSync ::kv::plat::gl::api.glClientWaitSync
#define glClipControl ::kv::plat::gl::api.glClipControl
#define glCompileShader ::kv::plat::gl::api.glCompileShader
#define glCreateProgram ::kv::plat::gl::api.glCreateProgram
#define glCreateShader ::kv::plat::gl::api.glCreateShader
#define glCullFace ::kv::plat::gl::api.glCullFace
#define glDeleteBuffers ::kv::plat::gl::api.glDeleteBuffers
#define glDeleteFramebuffers ::kv::plat::gl::api.glDeleteFramebuffers
#define glDeleteProgram ::kv::plat::gl::api.glDeleteProgram
#define glDeleteRenderbuffers ::kv::plat::gl::api.glDeleteRenderbuffers
#define glDeleteSamplers ::kv::plat::gl::api.glDeleteSamplers
#define glDeleteShader ::kv::plat::gl::api.glDeleteShader
#define glDeleteSync ::kv::plat::gl::api.glDeleteSync
#define glDeleteTextures ::kv::plat::gl::api.glDeleteTextures
#define glDeleteVertexArrays ::kv::plat::gl::api.glDeleteVertexArrays
#define glDepthFunc ::kv::plat::gl::api.glDepthFunc
#define glDepthMask ::kv::plat::gl::api.glDepthMask
#define glDisable ::kv::plat::gl::api.glDisable
#define glDrawElementsBaseVertex ::kv::plat::gl::api.glDrawElementsBaseVertex
#define glEnable ::kv::plat::gl::api.glEnable
#define glEnableVertexAttribArray ::kv::plat::gl::api.glEnableVertexAttribArray
#define glFenceSync ::kv::plat::gl::api.glFenceSync
#define glFramebufferRenderbuffer ::kv::plat::gl::api.glFramebufferRenderbuffer
#define glFramebufferTexture2D ::kv::plat::gl::api.glFramebufferTexture2D
#define glFrontFace ::kv::plat::gl::api.glFrontFace
#define glGenBuffers ::kv::plat::gl::api.glGenBuffers
#define glGenFramebuffers ::kv::plat::gl::api.glGenFramebuffers
#define glGenRenderbuffers ::kv::plat::gl::api.glGenRenderbuffers
#define glGenSamplers ::kv::plat::gl::api.glGenSamplers
#define glGenTextures ::kv::plat::gl::api.glGenTextures
#define glGenVertexArrays ::kv::plat::gl::api.glGenVertexArrays
#define glGetError ::kv::plat::gl::api.glGetError
#define glGetIntegerv ::kv::plat::gl::api.glGetIntegerv
#define glGetShaderInfoLog ::kv::plat::gl::api.glGetShaderInfoLog
#define glGetShaderiv ::kv::plat::gl::api.glGetShaderiv
#define glGetUniformLocation ::kv::plat::gl::api.glGetUniformLocation
#define glLinkProgram ::kv::plat::gl::api.glLinkProgram
#define glMapBufferRange ::kv::plat::gl::api.glMapBufferRange
#define glPixelStorei ::kv::plat::gl::api.glPixelStorei
#define glProvokingVertex ::kv::plat::gl::api.glProvokingVertex
#define glReadPixels ::kv::plat::gl::api.glReadPixels
#define glRenderbufferStorage ::kv::plat::gl::api.glRenderbufferStorage
#define glSamplerParameteri ::kv::plat::gl::api.glSamplerParameteri
#define glScissor ::kv::plat::gl::api.glScissor
#define glShaderSource ::kv::plat::gl::api.glShaderSource
#define glTexImage2D ::kv::plat::gl::api.glTexImage2D
#define glTexImage3D ::kv::plat::gl::api.glTexImage3D
#define glTexParameteri ::kv::plat::gl::api.glTexParameteri
#define glTexSubImage2D ::kv::plat::gl::api.glTexSubImage2D
#define glTexSubImage3D ::kv::plat::gl::api.glTexSubImage3D
#define glUniform1i ::kv::plat::gl::api.glUniform1i
#define glUniform2f ::kv::plat::gl::api.glUniform2f
#define glUniform4fv ::kv::plat::gl::api.glUniform4fv
#define glUniformMatrix4fv ::kv::plat::gl::api.glUniformMatrix4fv
#define glUnmapBuffer ::kv::plat::gl::api.glUnmapBuffer
#define glUseProgram ::kv::plat::gl::api.glUseProgram
#define glVertexAttribPointer ::kv::plat::gl::api.glVertexAttribPointer
#define glViewport ::kv::plat::gl::api.glViewport
#endif
