// OpenGL 3.3 core device. Frames are drawn into an FBO of the render size with the top row at row 0, so
// read-backs need no flip; presentation blits the FBO flipped into the window.
//
// Batching (as-if rule): every Draw is appended to one CPU batch of indexed points, lines or triangles; the batch
// goes out in one GL call when the next draw needs different state (target, viewport, transforms, states,
// texture, vertex kind), before clears, read-backs, copies, uploads, frees, target switches and presentation.
// GL rasterises in submission order, so merged draws blend exactly as separate ones. With batching off each
// draw is flushed at once through the very same path.
//
// Texture pages: non-target textures up to 512×512 live as layers of 2D array textures grouped by their
// (power-of-two) size, so sprites with different textures of one size share one binding and one batch. A layer
// is sampled with the same normalised uvs and the same filter as a private texture of that size, which keeps
// the pixels identical to unpaged drawing (KV_GL_ATLAS=0).
#include "platform/gl/gl_device.h"
#include "platform/gl/gl_api.h"

#include <SDL.h>
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace kv::plat {

GlOptions GlOptions::FromEnvironment() {
  GlOptions o;
  auto flag = [](const char* name, bool def) {
    const char* v = std::getenv(name);
    if (!v || !*v) return def;
    return !(v[0] == '0' || v[0] == 'n' || v[0] == 'N' || v[0] == 'f' || v[0] == 'F');
  };
  o.batch = flag("KV_GL_BATCH", true);
  o.atlas = flag("KV_GL_ATLAS", true);
  o.opaqueSkipsBlend = flag("KV_GL_OPAQUE", true);
  return o;
}

namespace {

int Pow2(int v) {
  int p = 1;
  while (p < v && p < (1 << 30)) p <<= 1;
  return p;
}

constexpr int kMaxPagedSide = 512;
constexpr size_t kBatchVertices = 65536;

struct GpuVertex {  // layout of the streaming buffer
  float x, y, z;
  uint32_t colour;
  float u, v;
  float layer;
  float nx, ny, nz;  // 3D draws only; 2D draws are never lit
};

enum class PrimClass : uint8_t { Points, Lines, Triangles };

// A streaming buffer cut into regions written in turn, each batch at the next free offset of the current region.
// A region is written again only once the fence set when the writes left it has signalled, so a write never
// races the GPU and the storage is allocated once: orphaning the buffer instead made software drivers allocate
// and clear fresh storage every few frames, which cost more than the draws.
//
// Regions start at a sixteenth of their full size and grow fourfold when a batch does not fit: the full 20 MB
// of both rings, which software drivers allocate and clear at once, are made only for games that draw batches
// that big. `onNewBuffer` runs with each new buffer bound (the vertex layout names its buffer).
class StreamRing {
 public:
  static constexpr int kRegions = 3;
  static constexpr size_t kFirstFraction = 16, kGrowth = 4;

  void Create(GLenum target, size_t maxRegionBytes, std::function<void()> onNewBuffer = {}) {
    target_ = target;
    maxRegionBytes_ = maxRegionBytes;
    onNewBuffer_ = std::move(onNewBuffer);
    Allocate(std::max<size_t>(1, maxRegionBytes / kFirstFraction));
  }

  void Release() {
    for (GLsync& f : fences_)
      if (f) glDeleteSync(f), f = nullptr;
    if (buffer_) glDeleteBuffers(1, &buffer_);
    buffer_ = 0;
  }

  // Copies `bytes` (at most one full-size region) in; returns the buffer offset it went to. Offsets start at
  // multiples of `align`.
  size_t Write(const void* data, size_t bytes, size_t align) {
    if (bytes > regionBytes_) {
      // Every region's draws are done with before the storage is replaced by a larger one.
      for (GLsync& f : fences_)
        if (f) glClientWaitSync(f, GL_SYNC_FLUSH_COMMANDS_BIT, ~GLuint64{0}), glDeleteSync(f), f = nullptr;
      glDeleteBuffers(1, &buffer_);
      size_t grown = regionBytes_;
      while (grown < bytes && grown < maxRegionBytes_) grown = std::min(maxRegionBytes_, grown * kGrowth);
      Allocate(std::max(grown, bytes));
    }
    size_t at = (offset_ + align - 1) / align * align;
    if (at + bytes > regionBytes_) {
      fences_[region_] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
      region_ = (region_ + 1) % kRegions;
      if (GLsync& f = fences_[region_]) {
        glClientWaitSync(f, GL_SYNC_FLUSH_COMMANDS_BIT, ~GLuint64{0});
        glDeleteSync(f);
        f = nullptr;
      }
      at = 0;
    }
    size_t start = region_ * regionBytes_ + at;
    glBindBuffer(target_, buffer_);
    void* p = glMapBufferRange(target_, static_cast<GLintptr>(start), static_cast<GLsizeiptr>(bytes),
                               GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (p) std::memcpy(p, data, bytes);
    glUnmapBuffer(target_);
    offset_ = at + bytes;
    return start;
  }

  GLuint Buffer() const { return buffer_; }

 private:
  void Allocate(size_t regionBytes) {
    regionBytes_ = regionBytes;
    glGenBuffers(1, &buffer_);
    glBindBuffer(target_, buffer_);
    glBufferData(target_, static_cast<GLsizeiptr>(regionBytes * kRegions), nullptr, GL_STREAM_DRAW);
    region_ = 0;
    offset_ = 0;
    if (onNewBuffer_) onNewBuffer_();
  }

  GLenum target_ = GL_ARRAY_BUFFER;
  GLuint buffer_ = 0;
  size_t regionBytes_ = 0, maxRegionBytes_ = 0, offset_ = 0;
  std::function<void()> onNewBuffer_;
  int region_ = 0;
  GLsync fences_[kRegions] = {};
};

enum VariantBits : unsigned {
  kVarTextured = 1, kVarArray = 2, kVarModulate = 4, kVarAlphaTest = 8, kVarFog = 16, kVarFlat = 32,
  kVarLighting = 64
};
constexpr int kVarLightCountShift = 8;  // lit programs: the number of active lights in the bits from here

struct Program {
  GLuint id = 0;
  GLint wv = -1, proj = -1, pixel = -1, tex = -1, fogColour = -1, fogRange = -1;
  GLint world = -1, lightColour = -1, lightVec = -1, lightAtt = -1;
  uint64_t transformVersion = ~0ull, lightVersion = ~0ull;
  IntRect viewport{-1, -1, -1, -1};
};

struct Texture {
  int w = 0, h = 0;         // granted (power-of-two) size
  bool renderTarget = false;
  GLuint tex = 0;           // private GL_TEXTURE_2D, or the array texture of its page
  GLuint fbo = 0;           // render targets
  int page = -1, layer = -1;  // paged textures
  bool opaque = false;        // every texel of the granted size has alpha 255 (uploaded textures only)
};

bool AllOpaque(const uint32_t* px, size_t n) {
  uint32_t all = 0xFF000000u;
  for (size_t i = 0; i < n; ++i) all &= px[i];
  return (all & 0xFF000000u) == 0xFF000000u;
}

struct Page {
  int w, h, layers;
  GLuint tex = 0;
  std::vector<int> freeLayers;
};

struct BatchKey {
  TextureHandle target = kBackBuffer;
  IntRect viewport;
  uint64_t transformVersion = 0;
  RenderStates states;
  GLuint texture = 0;       // GL name sampled, 0 none
  bool array = false;
  bool textured = false;
  PrimClass prim = PrimClass::Triangles;
  uint64_t lightVersion = 0;  // lit draws only
  bool operator==(const BatchKey&) const = default;
};

const char* kVertexShader = R"(
layout(location = 0) in vec3 a_pos;
layout(location = 1) in vec4 a_col;
layout(location = 2) in vec2 a_uv;
layout(location = 3) in float a_layer;
layout(location = 4) in vec3 a_normal;
uniform mat4 u_wv;
#ifdef LIGHTING
// Fixed-function diffuse lighting in world space: the vertex colour is the material, no ambient, no specular.
// LIGHT_COUNT (1, 2, 4 or 8) is fixed per program so the loop unrolls. One formula serves both kinds: a directional
// light is a unit vector towards it (w 0) with unlimited range and no attenuation.
uniform mat4 u_world;
#if LIGHT_COUNT > 0
uniform vec4 u_lightColour[LIGHT_COUNT];  // rgb
uniform vec4 u_lightVec[LIGHT_COUNT];     // point: position, w 1; directional: towards the light, w 0
uniform vec4 u_lightAtt[LIGHT_COUNT];     // range, constant, linear, quadratic
#endif
#endif
uniform mat4 u_proj;
uniform vec2 u_pixel;
COLOUR_QUALIFIER out vec4 v_col;
#ifdef TEXTURED
out vec2 v_uv;
#endif
#ifdef ARRAY
flat out float v_layer;
#endif
#ifdef FOG
out float v_viewz;
#endif
void main() {
  vec4 e = u_wv * vec4(a_pos, 1.0);
  vec4 p = u_proj * e;
  p.y = -p.y;                 // top row of the frame at FBO row 0
  p.xy += u_pixel * p.w;      // pixel centres on integer coordinates
#ifndef CLIP_CONTROL
  p.z = 2.0 * p.z - p.w;      // depth range 0 … 1
#endif
  gl_Position = p;
  gl_PointSize = 1.0;
  v_col = a_col;
#ifdef LIGHTING
  vec3 wp = (u_world * vec4(a_pos, 1.0)).xyz;
  vec3 n = mat3(u_world) * a_normal;
  float nlen = length(n);
  if (nlen > 0.0) n /= nlen;
  vec3 sum = vec3(0.0);
#if LIGHT_COUNT > 0
  for (int i = 0; i < LIGHT_COUNT; ++i) {
    vec3 d = u_lightVec[i].xyz - wp * u_lightVec[i].w;
    float dist = length(d);
    vec3 l = dist > 0.0 ? d / dist : vec3(0.0);
    vec4 a = u_lightAtt[i];
    float den = a.y + a.z * dist + a.w * dist * dist;
    float att = (den > 0.0 ? 1.0 / den : 1.0) * (dist > a.x ? 0.0 : 1.0);
    sum += u_lightColour[i].rgb * max(dot(n, l), 0.0) * att;
  }
#endif
  v_col = vec4(a_col.rgb * min(sum, vec3(1.0)), a_col.a);
#endif
#ifdef TEXTURED
  v_uv = a_uv;
#endif
#ifdef ARRAY
  v_layer = a_layer;
#endif
#ifdef FOG
  v_viewz = e.z;
#endif
}
)";

const char* kFragmentShader = R"(
COLOUR_QUALIFIER in vec4 v_col;
#ifdef TEXTURED
in vec2 v_uv;
#endif
#ifdef ARRAY
flat in float v_layer;
#endif
#ifdef FOG
in float v_viewz;
#endif
#ifdef ARRAY
uniform sampler2DArray u_tex;
#else
uniform sampler2D u_tex;
#endif
uniform vec4 u_fogColour;
uniform vec2 u_fogRange;
out vec4 o_col;
void main() {
  vec4 c = v_col;
#ifdef TEXTURED
#ifdef ARRAY
  vec4 t = texture(u_tex, vec3(v_uv, v_layer));
#else
  vec4 t = texture(u_tex, v_uv);
#endif
#ifdef MODULATE
  c = t * c;
#else
  c = t;
#endif
#endif
#ifdef ALPHA_TEST
  if (c.a <= 0.0) discard;
#endif
#ifdef FOG
  float f = clamp((u_fogRange.y - v_viewz) / (u_fogRange.y - u_fogRange.x), 0.0, 1.0);
  c.rgb = mix(u_fogColour.rgb, c.rgb, f);
#endif
  o_col = c;
}
)";

GLenum BlendFactorGl(uint8_t f) {
  switch (f) {
    case kBlendZero: return GL_ZERO;
    case kBlendOne: return GL_ONE;
    case kBlendSrcColour: return GL_SRC_COLOR;
    case kBlendInvSrcColour: return GL_ONE_MINUS_SRC_COLOR;
    case kBlendSrcAlpha: return GL_SRC_ALPHA;
    case kBlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case kBlendDestAlpha: return GL_DST_ALPHA;
    case kBlendInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case kBlendDestColour: return GL_DST_COLOR;
    case kBlendInvDestColour: return GL_ONE_MINUS_DST_COLOR;
    case kBlendSrcAlphaSat: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
  }
}

// Software GL drivers allocate and free the transformed vertices of every draw call on the heap. With the C
// library's default trimming the heap gives those pages back after each frame and faults them in again during
// the next, which cost more than the drawing itself; a higher trim threshold keeps them for steady frames.
void KeepFreedHeap() {
  static const bool kept = [] { return mallopt(M_TRIM_THRESHOLD, 64 << 20) == 1; }();
  (void)kept;
}

void ColourToFloats(uint32_t argb, float out[4]) {
  out[0] = ((argb >> 16) & 255) / 255.0f;
  out[1] = ((argb >> 8) & 255) / 255.0f;
  out[2] = (argb & 255) / 255.0f;
  out[3] = ((argb >> 24) & 255) / 255.0f;
}

class GlDevice final : public IGlDevice {
 public:
  GlDevice(SDL_Window* window, GlOptions options) : window_(window), options_(options) {}
  ~GlDevice() override { Release(); }

  GlCounters Counters() const override { return counters_; }
  void ResetCounters() override { counters_ = {}; }

  bool Create(int w, int h, bool depth, std::string& error) override {
    Release();
    if (!window_) {
      error = "context: no window";
      return false;
    }
    KeepFreedHeap();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
      error = std::string("context: ") + SDL_GetError();
      return false;
    }
    SDL_GL_MakeCurrent(window_, context_);
    std::string missing;
    if (!gl::LoadApi(missing)) {
      error = "context: no GL function " + missing;
      SDL_GL_DeleteContext(context_);  // nothing was made in it yet
      context_ = nullptr;
      return false;
    }
    SDL_GL_SetSwapInterval(0);
    vsync_ = false;
    clipControl_ = gl::ContextVersion() >= 45 || SDL_GL_ExtensionSupported("GL_ARB_clip_control");
    if (clipControl_) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture_);
    glGetIntegerv(GL_MAX_ARRAY_TEXTURE_LAYERS, &maxLayers_);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);  // flat colour from the first vertex of each primitive
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);

    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    // Regions hold two full batches; region starts stay multiples of the vertex size for the base vertex.
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glEnableVertexAttribArray(2);
    glEnableVertexAttribArray(3);
    glEnableVertexAttribArray(4);
    // The layout names the vertex buffer bound when it is given: it is given again for each new vertex buffer.
    vertexRing_.Create(GL_ARRAY_BUFFER, 2 * kBatchVertices * sizeof(GpuVertex), [] {
      glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(0));
      glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(GpuVertex), reinterpret_cast<void*>(12));
      glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(16));
      glVertexAttribPointer(3, 1, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(24));
      glVertexAttribPointer(4, 3, GL_FLOAT, GL_FALSE, sizeof(GpuVertex), reinterpret_cast<void*>(28));
    });
    indexRing_.Create(GL_ELEMENT_ARRAY_BUFFER, 2 * 3 * kBatchVertices * sizeof(uint32_t));

    glGenSamplers(4, samplers_);
    for (int i = 0; i < 4; ++i) {
      GLint filter = (i & 1) ? GL_LINEAR : GL_NEAREST;
      GLint wrap = (i & 2) ? GL_REPEAT : GL_CLAMP_TO_EDGE;
      glSamplerParameteri(samplers_[i], GL_TEXTURE_MIN_FILTER, filter);
      glSamplerParameteri(samplers_[i], GL_TEXTURE_MAG_FILTER, filter);
      glSamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_S, wrap);
      glSamplerParameteri(samplers_[i], GL_TEXTURE_WRAP_T, wrap);
    }
    glEnable(GL_BLEND);
    glEnable(GL_SCISSOR_TEST);

    depth_ = depth;
    renderW_ = std::max(1, w);
    renderH_ = std::max(1, h);
    if (!BuildFrame()) {
      error = "surfaces: incomplete frame buffer";
      Release();
      return false;
    }
    viewport_ = {0, 0, renderW_, renderH_};
    target_ = kBackBuffer;
    applied_ = {};
    appliedValid_ = false;
    return true;
  }

  bool Reset(bool depth) override {
    if (!context_) return false;
    Current();
    Flush();
    depth_ = depth;
    return BuildFrame();
  }

  void Release() override {
    if (!context_) return;
    SDL_GL_MakeCurrent(window_, context_);
    for (auto& [h, t] : textures_) {
      if (t.fbo) glDeleteFramebuffers(1, &t.fbo);
      if (t.page < 0 && t.tex) glDeleteTextures(1, &t.tex);
    }
    textures_.clear();
    for (auto& p : pages_) glDeleteTextures(1, &p.tex);
    pages_.clear();
    for (auto& [bits, p] : programs_) glDeleteProgram(p.id);
    programs_.clear();
    if (frameFbo_) glDeleteFramebuffers(1, &frameFbo_);
    if (frameColour_) glDeleteRenderbuffers(1, &frameColour_);
    if (frameDepth_) glDeleteRenderbuffers(1, &frameDepth_);
    FreeScratch(copy_);
    FreeScratch(self_);
    frameFbo_ = frameColour_ = frameDepth_ = 0;
    glDeleteSamplers(4, samplers_);
    vertexRing_.Release();
    indexRing_.Release();
    glDeleteVertexArrays(1, &vao_);
    SDL_GL_DeleteContext(context_);
    context_ = nullptr;
    batchVerts_.clear();
    batchIndices_.clear();
  }

  bool Exists() const override { return context_ != nullptr; }

  void SetRenderSize(int w, int h) override {
    w = std::max(1, w);
    h = std::max(1, h);
    if (!context_ || (w == renderW_ && h == renderH_)) return;
    Flush();
    Current();
    renderW_ = w;
    renderH_ = h;
    BuildFrame();
  }

  int MaxTextureSize() const override { return maxTexture_ > 0 ? maxTexture_ : 2048; }

  TextureHandle CreateTexture(int w, int h, bool rt, int& gw, int& gh) override {
    if (!context_ || w <= 0 || h <= 0 || w > MaxTextureSize() || h > MaxTextureSize()) return kNoTexture;
    Current();
    Texture t;
    t.w = Pow2(w);
    t.h = Pow2(h);
    t.renderTarget = rt;
    if (!rt && options_.atlas && t.w <= kMaxPagedSide && t.h <= kMaxPagedSide) {
      if (!AllocateLayer(t)) return kNoTexture;
    } else {
      glGenTextures(1, &t.tex);
      glBindTexture(GL_TEXTURE_2D, t.tex);
      std::vector<uint32_t> zero(static_cast<size_t>(t.w) * t.h, 0);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t.w, t.h, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, zero.data());
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
      if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &t.tex);
        return kNoTexture;
      }
      if (rt) {
        glGenFramebuffers(1, &t.fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, t.fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.tex, 0);
        bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        BindTargetFbo();
        if (!ok) {
          glDeleteFramebuffers(1, &t.fbo);
          glDeleteTextures(1, &t.tex);
          return kNoTexture;
        }
      }
    }
    gw = t.w;
    gh = t.h;
    TextureHandle handle = nextHandle_++;
    textures_[handle] = t;
    return handle;
  }

  bool Upload(TextureHandle handle, int w, int h, const uint32_t* px) override {
    auto it = textures_.find(handle);
    if (it == textures_.end() || w <= 0 || h <= 0 || w > it->second.w || h > it->second.h) return false;
    Flush();
    Current();
    Texture& t = it->second;
    // Texels outside the upload keep what they held: zeros from creation, or an earlier full opaque upload.
    bool whole = w == t.w && h == t.h;
    t.opaque = !t.renderTarget && (whole || t.opaque) && AllOpaque(px, static_cast<size_t>(w) * h);
    if (t.page >= 0) {
      glBindTexture(GL_TEXTURE_2D_ARRAY, t.tex);
      glTexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, 0, 0, t.layer, w, h, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, px);
    } else {
      glBindTexture(GL_TEXTURE_2D, t.tex);
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, px);
    }
    return glGetError() == GL_NO_ERROR;
  }

  void FreeTexture(TextureHandle handle) override {
    auto it = textures_.find(handle);
    if (it == textures_.end()) return;
    Flush();
    Current();
    Texture& t = it->second;
    if (target_ == handle) {
      target_ = kBackBuffer;
      BindTargetFbo();
    }
    if (bound_ == handle) bound_ = kNoTexture;
    if (t.fbo) glDeleteFramebuffers(1, &t.fbo);
    if (t.page >= 0) {
      std::vector<uint32_t> zero(static_cast<size_t>(t.w) * t.h, 0);
      glBindTexture(GL_TEXTURE_2D_ARRAY, t.tex);
      glTexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, 0, 0, t.layer, t.w, t.h, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                      zero.data());
      pages_[t.page].freeLayers.push_back(t.layer);
    } else {
      glDeleteTextures(1, &t.tex);
    }
    textures_.erase(it);
  }

  bool SetTarget(TextureHandle handle) override {
    if (!context_) return false;
    if (handle != kBackBuffer) {
      auto it = textures_.find(handle);
      if (it == textures_.end() || !it->second.renderTarget) return false;
    }
    if (handle == target_) return true;
    Flush();
    Current();
    target_ = handle;
    BindTargetFbo();
    return true;
  }

  void SetViewport(const IntRect& r) override {
    viewport_ = {r.x, r.y, std::max(1, r.w), std::max(1, r.h)};
  }

  void SetTransform(TransformKind which, const Matrix4& m) override {
    Matrix4& slot = transforms_[static_cast<int>(which)];
    if (slot == m) return;
    Flush();  // the pending batch was built under the old transform and is drawn with it
    slot = m;
    ++transformVersion_;
    worldView_ = Multiply(transforms_[0], transforms_[1]);
  }

  void SetStates(const RenderStates& s) override { states_ = s; }
  void BindTexture(TextureHandle tex) override { bound_ = textures_.count(tex) ? tex : kNoTexture; }

  void Draw(PrimKind kind, bool textured, const Vertex* v, int n, bool /*atlasOk*/) override {
    Append(kind, textured, n, false, false, [&](int i, float layer) {
      return GpuVertex{v[i].x, v[i].y, v[i].z, v[i].colour, v[i].u, v[i].v, layer, 0.0f, 0.0f, 0.0f};
    });
  }

  void Draw3D(PrimKind kind, bool textured, const Vertex3D* v, int n) override {
    uint32_t alpha = 0xFF000000u;
    for (int i = 0; i < n; ++i) alpha &= v[i].colour;
    Append(kind, textured, n, true, alpha == 0xFF000000u, [&](int i, float layer) {
      return GpuVertex{v[i].x, v[i].y, v[i].z, v[i].colour, v[i].u, v[i].v, layer, v[i].nx, v[i].ny, v[i].nz};
    });
  }

  void SetLight(int index, const Light& light) override {
    if (index < 0) return;
    auto it = lights_.find(index);
    if (it != lights_.end() && it->second == light) return;
    bool active = enabled_.count(index) != 0;
    if (active) Flush();  // the pending batch is drawn under the lights it was built with
    lights_[index] = light;
    if (active) ++lightVersion_;
  }

  void EnableLight(int index, bool on) override {
    if (index < 0 || (enabled_.count(index) != 0) == on) return;
    Flush();
    if (on) {
      enabled_.insert(index);
      Light white;  // a light enabled before it is defined: white, shining along +z
      white.r = white.g = white.b = 1.0f;
      white.dz = 1.0f;
      lights_.try_emplace(index, white);
    } else {
      enabled_.erase(index);
    }
    ++lightVersion_;
  }

 private:
  template <typename MakeVertex>
  // `lit`: a 3D draw (lighting may apply); `opaqueVertices`: every vertex colour has alpha 255.
  void Append(PrimKind kind, bool textured, int n, bool lit, bool opaqueVertices, MakeVertex make) {
    if (!context_) return;
    int prims = PrimitiveCount(kind, n);
    if (prims <= 0) return;
    ++counters_.draws;
    BatchKey key;
    key.target = target_;
    key.viewport = viewport_;
    key.transformVersion = transformVersion_;
    key.states = states_;
    const Texture* tex = nullptr;
    if (textured && bound_ != kNoTexture) {
      tex = &textures_[bound_];
      key.texture = tex->tex;
      key.array = tex->page >= 0;
      key.textured = true;
    }
    // Fields that do not change pixels of this draw are normalised so they do not split batches.
    if (!key.textured) {
      key.states.linearFilter = true;
      key.states.wrap = false;
      key.states.modulate = true;
    }
    // Source-alpha blending of a fragment with alpha 1 writes the source unchanged, so opaque 3D draws (walls,
    // floors, models) skip the blend and its read of the target. 2D draws keep it: toggling there would split
    // batches of sprites mixing opaque and transparent textures.
    if (lit && options_.opaqueSkipsBlend && key.states.alphaBlend && key.states.srcBlend == kBlendSrcAlpha &&
        key.states.destBlend == kBlendInvSrcAlpha && opaqueVertices && (!key.textured || tex->opaque))
      key.states.alphaBlend = false;
    if (!key.states.alphaBlend) key.states.srcBlend = key.states.destBlend = 0;
    if (!key.states.fog) key.states.fogColour = 0, key.states.fogStart = key.states.fogEnd = 0;
    key.prim = kind == PrimKind::PointList ? PrimClass::Points
               : (kind == PrimKind::LineList || kind == PrimKind::LineStrip) ? PrimClass::Lines
                                                                             : PrimClass::Triangles;
    if (key.prim != PrimClass::Triangles) key.states.cullCcw = false;
    if (key.prim == PrimClass::Points) key.states.gouraud = true;  // one vertex: shading cannot matter
    if (!lit) key.states.lighting = false;
    if (key.states.lighting) key.lightVersion = lightVersion_;
    bool selfSample = key.textured && bound_ == target_;
    if (!(key == batchKey_) || batchVerts_.size() + n > kBatchVertices) Flush();
    batchKey_ = key;

    uint32_t base = static_cast<uint32_t>(batchVerts_.size());
    float layer = tex && tex->page >= 0 ? static_cast<float>(tex->layer) : 0.0f;
    int used = VerticesUsed(kind, prims);
    for (int i = 0; i < used; ++i) batchVerts_.push_back(make(i, layer));
    auto& ix = batchIndices_;
    switch (kind) {
      case PrimKind::PointList:
      case PrimKind::LineList:
      case PrimKind::TriangleList:
        for (int i = 0; i < used; ++i) ix.push_back(base + i);
        break;
      case PrimKind::LineStrip:
        for (int i = 0; i < prims; ++i) ix.push_back(base + i), ix.push_back(base + i + 1);
        break;
      case PrimKind::TriangleStrip:
        // GL's strip order with the first vertex kept first (it provides the flat colour).
        for (int i = 0; i < prims; ++i) {
          if (i % 2 == 0) ix.insert(ix.end(), {base + i, base + i + 1, base + i + 2});
          else ix.insert(ix.end(), {base + i, base + i + 2, base + i + 1});
        }
        break;
      case PrimKind::TriangleFan:
        // (0, i+1, i+2) rotated to (i+1, i+2, 0): same winding, flat colour from vertex i+1.
        for (int i = 0; i < prims; ++i) ix.insert(ix.end(), {base + i + 1, base + i + 2, base});
        break;
    }
    if (!options_.batch || selfSample) Flush();
  }

 public:
  void Clear(uint32_t argb, bool colour, bool depth) override {
    if (!context_) return;
    Current();
    Flush();
    BindTargetFbo();
    glScissor(viewport_.x, viewport_.y, viewport_.w, viewport_.h);
    GLbitfield bits = 0;
    if (colour) {
      float c[4];
      ColourToFloats(argb, c);
      glClearColor(c[0], c[1], c[2], c[3]);
      bits |= GL_COLOR_BUFFER_BIT;
    }
    if (depth && target_ == kBackBuffer && depth_) {
      glDepthMask(GL_TRUE);
      glClearDepth(1.0);
      bits |= GL_DEPTH_BUFFER_BIT;
      appliedValid_ = false;
    }
    if (bits) glClear(bits);
  }

  bool Present(const IntRect& src, const IntRect& dst, int cw, int ch, uint32_t windowColour,
               bool vsync) override {
    if (!context_) return false;
    Current();
    Flush();
    if (vsync != vsync_) {
      SDL_GL_SetSwapInterval(vsync ? 1 : 0);
      vsync_ = vsync;
    }
    int dw = cw, dh = ch;
    SDL_GL_GetDrawableSize(window_, &dw, &dh);
    double sx = cw > 0 ? static_cast<double>(dw) / cw : 1.0, sy = ch > 0 ? static_cast<double>(dh) / ch : 1.0;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, frameFbo_);
    glDisable(GL_SCISSOR_TEST);
    int x0 = static_cast<int>(dst.x * sx), x1 = static_cast<int>((dst.x + dst.w) * sx);
    int y0 = dh - static_cast<int>(dst.y * sy), y1 = dh - static_cast<int>((dst.y + dst.h) * sy);
    bool covered = src.w > 0 && src.h > 0 && x0 <= 0 && y1 <= 0 && x1 >= dw && y0 >= dh;
    if (!covered) {  // the window colour shows around the frame only
      float c[4];
      ColourToFloats(windowColour | 0xFF000000u, c);
      glClearColor(c[0], c[1], c[2], 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    bool integral = src.w > 0 && src.h > 0 && (x1 - x0) % src.w == 0 && (y0 - y1) % src.h == 0;
    if (src.w > 0 && src.h > 0 && x1 > x0 && y0 > y1)
      glBlitFramebuffer(src.x, src.y, src.x + src.w, src.y + src.h, x0, y0, x1, y1, GL_COLOR_BUFFER_BIT,
                        integral ? GL_NEAREST : GL_LINEAR);
    glEnable(GL_SCISSOR_TEST);
    SDL_GL_SwapWindow(window_);
    BindTargetFbo();
    return true;
  }

  bool Read(TextureHandle from, const IntRect& r, std::vector<uint32_t>& out) override {
    if (!context_ || r.w <= 0 || r.h <= 0 || r.x < 0 || r.y < 0) return false;
    GLuint fbo = frameFbo_;
    int limitW = renderW_, limitH = renderH_;
    if (from != kBackBuffer) {
      auto it = textures_.find(from);
      if (it == textures_.end() || !it->second.fbo) return false;
      fbo = it->second.fbo;
      limitW = it->second.w;
      limitH = it->second.h;
    }
    if (r.x + r.w > limitW || r.y + r.h > limitH) return false;
    Flush();
    Current();
    out.assign(static_cast<size_t>(r.w) * r.h, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glReadPixels(r.x, r.y, r.w, r.h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, out.data());
    BindTargetFbo();
    return glGetError() == GL_NO_ERROR;
  }

  bool Copy(TextureHandle source, const IntRect& r, TextureHandle dest, int x, int y) override {
    auto s = textures_.find(source), d = textures_.find(dest);
    if (!context_ || s == textures_.end() || d == textures_.end() || !s->second.fbo || !d->second.fbo) return false;
    if (r.w <= 0 || r.h <= 0) return true;
    Flush();
    Current();
    glDisable(GL_SCISSOR_TEST);
    GLuint readFbo = s->second.fbo;
    int rx = r.x, ry = r.y;
    if (source == dest) {  // overlapping copies go through a temporary
      Ensure(copy_, r.w, r.h, false);
      glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo);
      glBindFramebuffer(GL_DRAW_FRAMEBUFFER, copy_.fbo);
      glBlitFramebuffer(r.x, r.y, r.x + r.w, r.y + r.h, 0, 0, r.w, r.h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
      readFbo = copy_.fbo;
      rx = ry = 0;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, d->second.fbo);
    glBlitFramebuffer(rx, ry, rx + r.w, ry + r.h, x, y, x + r.w, y + r.h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glEnable(GL_SCISSOR_TEST);
    BindTargetFbo();
    return true;
  }

 private:
  bool BuildFrame() {
    if (frameFbo_) glDeleteFramebuffers(1, &frameFbo_);
    if (frameColour_) glDeleteRenderbuffers(1, &frameColour_);
    if (frameDepth_) glDeleteRenderbuffers(1, &frameDepth_);
    frameFbo_ = frameColour_ = frameDepth_ = 0;
    glGenFramebuffers(1, &frameFbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, frameFbo_);
    glGenRenderbuffers(1, &frameColour_);
    glBindRenderbuffer(GL_RENDERBUFFER, frameColour_);
    // No alpha channel: blends reading the destination alpha see 1, as on an X8R8G8B8 back buffer.
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, renderW_, renderH_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, frameColour_);
    if (depth_) {
      glGenRenderbuffers(1, &frameDepth_);
      glBindRenderbuffer(GL_RENDERBUFFER, frameDepth_);
      glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, renderW_, renderH_);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, frameDepth_);
    }
    bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | (depth_ ? GL_DEPTH_BUFFER_BIT : 0));
    glEnable(GL_SCISSOR_TEST);
    appliedValid_ = false;
    BindTargetFbo();
    return ok;
  }

  // Other SDL windows (dialogs) may have made their own context current on this thread.
  void Current() {
    if (context_ && SDL_GL_GetCurrentContext() != context_) SDL_GL_MakeCurrent(window_, context_);
  }

  void BindTargetFbo() {
    GLuint fbo = frameFbo_;
    if (target_ != kBackBuffer) {
      auto it = textures_.find(target_);
      if (it != textures_.end()) fbo = it->second.fbo;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  }

  struct Scratch {
    GLuint tex = 0, fbo = 0;
    int w = 0, h = 0;
  };
  // A scratch render target at least (or, with `exact`, exactly) w × h.
  void Ensure(Scratch& sc, int w, int h, bool exact) {
    if (sc.tex && (exact ? (sc.w == w && sc.h == h) : (sc.w >= w && sc.h >= h))) return;
    FreeScratch(sc);
    sc.w = exact ? w : std::max(w, sc.w);
    sc.h = exact ? h : std::max(h, sc.h);
    glGenTextures(1, &sc.tex);
    glBindTexture(GL_TEXTURE_2D, sc.tex);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, sc.w, sc.h, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glGenFramebuffers(1, &sc.fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, sc.fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, sc.tex, 0);
    BindTargetFbo();
  }
  void FreeScratch(Scratch& sc) {
    if (sc.fbo) glDeleteFramebuffers(1, &sc.fbo);
    if (sc.tex) glDeleteTextures(1, &sc.tex);
    sc.fbo = sc.tex = 0;
  }

  bool AllocateLayer(Texture& t) {
    int pageIndex = -1;
    for (size_t i = 0; i < pages_.size(); ++i)
      if (pages_[i].w == t.w && pages_[i].h == t.h && !pages_[i].freeLayers.empty()) {
        pageIndex = static_cast<int>(i);
        break;
      }
    if (pageIndex < 0) {
      Page p;
      p.w = t.w;
      p.h = t.h;
      p.layers = std::clamp((2048 * 2048) / (t.w * t.h), 1, std::min(256, std::max(1, maxLayers_)));
      glGenTextures(1, &p.tex);
      glBindTexture(GL_TEXTURE_2D_ARRAY, p.tex);
      std::vector<uint32_t> zero(static_cast<size_t>(p.w) * p.h * p.layers, 0);
      glTexImage3D(GL_TEXTURE_2D_ARRAY, 0, GL_RGBA8, p.w, p.h, p.layers, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                   zero.data());
      glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAX_LEVEL, 0);
      if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &p.tex);
        return false;
      }
      for (int l = p.layers - 1; l >= 0; --l) p.freeLayers.push_back(l);
      pages_.push_back(std::move(p));
      pageIndex = static_cast<int>(pages_.size()) - 1;
    }
    Page& page = pages_[pageIndex];
    t.page = pageIndex;
    t.layer = page.freeLayers.back();
    page.freeLayers.pop_back();
    t.tex = page.tex;
    return true;
  }

  Program& ProgramFor(unsigned bits) {
    auto it = programs_.find(bits);
    if (it != programs_.end()) return it->second;
    std::string defs = "#version 330 core\n";
    if (bits & kVarTextured) defs += "#define TEXTURED\n";
    if (bits & kVarArray) defs += "#define ARRAY\n";
    if (bits & kVarModulate) defs += "#define MODULATE\n";
    if (bits & kVarAlphaTest) defs += "#define ALPHA_TEST\n";
    if (bits & kVarFog) defs += "#define FOG\n";
    if (bits & kVarLighting)
      defs += "#define LIGHTING\n#define LIGHT_COUNT " + std::to_string(bits >> kVarLightCountShift) + "\n";
    if (clipControl_) defs += "#define CLIP_CONTROL\n";
    defs += (bits & kVarFlat) ? "#define COLOUR_QUALIFIER flat\n" : "#define COLOUR_QUALIFIER\n";
    auto compile = [&](GLenum type, const char* body) {
      GLuint s = glCreateShader(type);
      const char* parts[2] = {defs.c_str(), body};
      glShaderSource(s, 2, parts, nullptr);
      glCompileShader(s);
      GLint ok = 0;
      glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
      if (!ok) {
        char log[1024];
        glGetShaderInfoLog(s, sizeof log, nullptr, log);
        SDL_Log("shader: %s", log);
      }
      return s;
    };
    Program p;
    p.id = glCreateProgram();
    GLuint vs = compile(GL_VERTEX_SHADER, kVertexShader), fs = compile(GL_FRAGMENT_SHADER, kFragmentShader);
    glAttachShader(p.id, vs);
    glAttachShader(p.id, fs);
    glLinkProgram(p.id);
    glDeleteShader(vs);
    glDeleteShader(fs);
    p.wv = glGetUniformLocation(p.id, "u_wv");
    p.proj = glGetUniformLocation(p.id, "u_proj");
    p.pixel = glGetUniformLocation(p.id, "u_pixel");
    p.tex = glGetUniformLocation(p.id, "u_tex");
    p.fogColour = glGetUniformLocation(p.id, "u_fogColour");
    p.fogRange = glGetUniformLocation(p.id, "u_fogRange");
    p.world = glGetUniformLocation(p.id, "u_world");
    p.lightColour = glGetUniformLocation(p.id, "u_lightColour");
    p.lightVec = glGetUniformLocation(p.id, "u_lightVec");
    p.lightAtt = glGetUniformLocation(p.id, "u_lightAtt");
    glUseProgram(p.id);
    glUniform1i(p.tex, 0);
    currentProgram_ = p.id;
    return programs_.emplace(bits, p).first->second;
  }

  void ApplyKey(const BatchKey& k) {
    const RenderStates& s = k.states;
    unsigned bits = 0;
    if (k.textured) bits |= kVarTextured | (k.array ? unsigned(kVarArray) : 0u) | (s.modulate ? unsigned(kVarModulate) : 0u);
    if (s.alphaTest) bits |= kVarAlphaTest;
    if (s.fog) bits |= kVarFog;
    if (!s.gouraud) bits |= kVarFlat;
    if (s.lighting) bits |= kVarLighting | static_cast<unsigned>(LightSlots(ActiveLightCount())) << kVarLightCountShift;
    Program& p = ProgramFor(bits);
    if (currentProgram_ != p.id) {
      glUseProgram(p.id);
      currentProgram_ = p.id;
    }
    if (p.transformVersion != k.transformVersion) {
      glUniformMatrix4fv(p.wv, 1, GL_FALSE, &worldView_.m[0][0]);
      glUniformMatrix4fv(p.proj, 1, GL_FALSE, &transforms_[2].m[0][0]);
      if (p.world >= 0) glUniformMatrix4fv(p.world, 1, GL_FALSE, &transforms_[0].m[0][0]);
      p.transformVersion = k.transformVersion;
    }
    if (!(p.viewport == k.viewport)) {
      glUniform2f(p.pixel, 1.0f / k.viewport.w, 1.0f / k.viewport.h);
      p.viewport = k.viewport;
    }
    if (s.lighting && p.lightVersion != k.lightVersion) {
      UploadLights(p);
      p.lightVersion = k.lightVersion;
    }
    if (s.fog) {
      float c[4];
      ColourToFloats(s.fogColour, c);
      glUniform4fv(p.fogColour, 1, c);
      glUniform2f(p.fogRange, s.fogStart, s.fogEnd);
    }
    const BatchKey& a = applied_;
    bool all = !appliedValid_;
    if (all || !(a.viewport == k.viewport)) {
      glViewport(k.viewport.x, k.viewport.y, k.viewport.w, k.viewport.h);
      glScissor(k.viewport.x, k.viewport.y, k.viewport.w, k.viewport.h);
    }
    if (all || a.states.alphaBlend != s.alphaBlend) s.alphaBlend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    if (s.alphaBlend && (all || a.states.srcBlend != s.srcBlend || a.states.destBlend != s.destBlend))
      glBlendFunc(BlendFactorGl(s.srcBlend), BlendFactorGl(s.destBlend));
    if (all || a.states.depthTest != s.depthTest) {
      if (s.depthTest) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
      } else {
        glDisable(GL_DEPTH_TEST);
      }
    }
    if (all || a.states.cullCcw != s.cullCcw) {
      // Screen-CCW faces are clockwise in GL window coordinates (the frame is stored top row first).
      if (s.cullCcw) {
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
        glCullFace(GL_BACK);
      } else {
        glDisable(GL_CULL_FACE);
      }
    }
    if (k.textured) {
      glActiveTexture(GL_TEXTURE0);
      GLuint sampled = k.texture;
      if (k.target != kBackBuffer && !k.array && textures_.count(k.target) && textures_[k.target].tex == k.texture) {
        // A surface drawn into itself samples a copy of its contents before the draw.
        const Texture& t = textures_[k.target];
        Ensure(self_, t.w, t.h, true);
        glDisable(GL_SCISSOR_TEST);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, t.fbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, self_.fbo);
        glBlitFramebuffer(0, 0, t.w, t.h, 0, 0, t.w, t.h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glEnable(GL_SCISSOR_TEST);
        BindTargetFbo();
        sampled = self_.tex;
      }
      glBindTexture(k.array ? GL_TEXTURE_2D_ARRAY : GL_TEXTURE_2D, sampled);
      glBindSampler(0, samplers_[(s.linearFilter ? 1 : 0) | (s.wrap ? 2 : 0)]);
    }
    applied_ = k;
    appliedValid_ = true;
  }

  int ActiveLightCount() const { return static_cast<int>(std::min<size_t>(enabled_.size(), kMaxActiveLights)); }
  // Programs exist for 0, 1, 2, 4 and 8 lights (each compiled once, on first use); the slots above the active
  // lights hold black lights, which add exactly nothing.
  static int LightSlots(int active) { return active <= 2 ? active : active <= 4 ? 4 : kMaxActiveLights; }

  // The enabled lights with the lowest indices, at most kMaxActiveLights of them.
  void UploadLights(const Program& p) {
    float colour[kMaxActiveLights][4] = {}, vec[kMaxActiveLights][4] = {}, att[kMaxActiveLights][4] = {};
    int count = 0;
    for (int index : enabled_) {
      if (count == kMaxActiveLights) break;
      const Light& l = lights_[index];
      float* c = colour[count];
      c[0] = l.r, c[1] = l.g, c[2] = l.b;
      float* v = vec[count];
      float* a = att[count];
      if (l.type == Light::Point) {
        v[0] = l.x, v[1] = l.y, v[2] = l.z, v[3] = 1.0f;
        a[0] = l.range, a[1] = l.attenuation0, a[2] = l.attenuation1, a[3] = l.attenuation2;
      } else {
        double len = std::sqrt(double(l.dx) * l.dx + double(l.dy) * l.dy + double(l.dz) * l.dz);
        if (len > 0) v[0] = float(-l.dx / len), v[1] = float(-l.dy / len), v[2] = float(-l.dz / len);
        a[0] = std::numeric_limits<float>::max(), a[1] = 1.0f;
      }
      ++count;
    }
    const int slots = LightSlots(count);
    if (slots == 0) return;
    glUniform4fv(p.lightColour, slots, &colour[0][0]);
    glUniform4fv(p.lightVec, slots, &vec[0][0]);
    glUniform4fv(p.lightAtt, slots, &att[0][0]);
  }

  void Flush() {
    if (batchIndices_.empty()) {
      batchVerts_.clear();
      return;
    }
    Current();
    ++counters_.flushes;
    ApplyKey(batchKey_);
    size_t vstart = vertexRing_.Write(batchVerts_.data(), batchVerts_.size() * sizeof(GpuVertex), sizeof(GpuVertex));
    size_t istart = indexRing_.Write(batchIndices_.data(), batchIndices_.size() * sizeof(uint32_t), sizeof(uint32_t));
    GLenum mode = batchKey_.prim == PrimClass::Points  ? GL_POINTS
                  : batchKey_.prim == PrimClass::Lines ? GL_LINES
                                                       : GL_TRIANGLES;
    glDrawElementsBaseVertex(mode, static_cast<GLsizei>(batchIndices_.size()), GL_UNSIGNED_INT,
                             reinterpret_cast<void*>(istart), static_cast<GLint>(vstart / sizeof(GpuVertex)));
    ++counters_.glDraws;
    batchVerts_.clear();
    batchIndices_.clear();
  }

  SDL_Window* window_;
  GlOptions options_;
  SDL_GLContext context_ = nullptr;
  bool clipControl_ = false, vsync_ = false, depth_ = false;
  GLint maxTexture_ = 0, maxLayers_ = 256;
  GLuint vao_ = 0, samplers_[4] = {};
  StreamRing vertexRing_, indexRing_;
  GLuint frameFbo_ = 0, frameColour_ = 0, frameDepth_ = 0;
  Scratch copy_, self_;
  int renderW_ = 640, renderH_ = 480;
  std::unordered_map<TextureHandle, Texture> textures_;
  std::vector<Page> pages_;
  TextureHandle nextHandle_ = 1;
  std::map<unsigned, Program> programs_;
  GLuint currentProgram_ = 0;
  TextureHandle target_ = kBackBuffer, bound_ = kNoTexture;
  IntRect viewport_;
  RenderStates states_;
  Matrix4 transforms_[3] = {Matrix4::Identity(), Matrix4::Identity(), Matrix4::Identity()};
  Matrix4 worldView_ = Matrix4::Identity();
  uint64_t transformVersion_ = 1, lightVersion_ = 1;
  std::map<int, Light> lights_;
  std::set<int> enabled_;
  BatchKey batchKey_, applied_;
  bool appliedValid_ = false;
  std::vector<GpuVertex> batchVerts_;
  std::vector<uint32_t> batchIndices_;
  GlCounters counters_;
};

}  // namespace

std::unique_ptr<IGlDevice> CreateGlDevice(void* sdlWindow, GlOptions options) {
  return std::make_unique<GlDevice>(static_cast<SDL_Window*>(sdlWindow), options);
}

}  // namespace kv::plat
