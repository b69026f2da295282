// The rendering device the graphics modules draw through: textures, render targets, render states,
// transforms, immediate draws from memory, read-back and presentation into the window.
// Backends: OpenGL 3.3 core (platform/gl) and a recorder of the call stream (platform/recording).
// Nothing here batches: one Draw per shape; a backend may merge draws as long as pixels stay identical.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kv::plat {

// 4×4 matrix in row-vector layout (a point p maps to p × M), m[row][col].
struct Matrix4 {
  std::array<std::array<float, 4>, 4> m{};
  static Matrix4 Identity() {
    Matrix4 r;
    for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
    return r;
  }
  bool operator==(const Matrix4&) const = default;
};
Matrix4 Multiply(const Matrix4& a, const Matrix4& b);  // a acts first, then b

enum class PrimKind : uint8_t { PointList = 1, LineList, LineStrip, TriangleList, TriangleStrip, TriangleFan };
int PrimitiveCount(PrimKind kind, int vertexCount);  // primitives a draw of that many vertices makes
int VerticesUsed(PrimKind kind, int primitives);     // vertices those primitives consume

// One vertex for every 2D draw. Untextured draws ignore u, v. Colour is 0xAARRGGBB.
struct Vertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
  bool operator==(const Vertex&) const = default;
};

// One vertex of 3D drawing: position, normal (used by lighting), colour 0xAARRGGBB and texture coordinates.
struct Vertex3D {
  float x, y, z;
  float nx, ny, nz;
  uint32_t colour;
  float u, v;
  bool operator==(const Vertex3D&) const = default;
};

// A light as the fixed-function model knows it: diffuse colour only (0 … 1 per channel), a direction for
// directional lights, a position, range and attenuation for point lights.
struct Light {
  enum Type : uint8_t { Directional = 1, Point = 2 } type = Directional;
  float r = 0, g = 0, b = 0;
  float dx = 0, dy = 0, dz = 0;
  float x = 0, y = 0, z = 0;
  float range = 0, attenuation0 = 0, attenuation1 = 0, attenuation2 = 0;
  bool operator==(const Light&) const = default;
};
constexpr int kMaxActiveLights = 8;  // lights enabled at once that take part in lighting (lowest indices)

enum class TransformKind : uint8_t { World, View, Projection };

// Blend factor numbers 1 … 11 as the game's blend constants number them (zero … src alpha saturate).
enum BlendFactor : uint8_t {
  kBlendZero = 1, kBlendOne, kBlendSrcColour, kBlendInvSrcColour, kBlendSrcAlpha, kBlendInvSrcAlpha,
  kBlendDestAlpha, kBlendInvDestAlpha, kBlendDestColour, kBlendInvDestColour, kBlendSrcAlphaSat
};

// Every device state a pixel depends on besides vertices, transforms and the bound texture.
struct RenderStates {
  bool alphaBlend = true;
  uint8_t srcBlend = kBlendSrcAlpha, destBlend = kBlendInvSrcAlpha;
  bool linearFilter = true;    // texture magnification/minification
  bool modulate = true;        // texture stage: texel × vertex colour (true) or texel alone (false)
  bool wrap = false;           // texture addressing: wrap (true) or clamp (false)
  bool depthTest = false;      // depth test and depth writes
  bool alphaTest = false;      // discard fragments with alpha 0
  bool gouraud = true;         // false: flat, colour of the first vertex of each primitive
  bool cullCcw = false;        // cull faces counter-clockwise on screen
  bool lighting = false;
  bool fog = false;
  uint32_t fogColour = 0xFF000000;
  float fogStart = 0.0f, fogEnd = 1.0f;
  bool operator==(const RenderStates&) const = default;
};

struct IntRect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const IntRect&) const = default;
};

using TextureHandle = int;                  // > 0; 0 means none
constexpr TextureHandle kNoTexture = 0;
constexpr TextureHandle kBackBuffer = 0;    // as a render target: the frame of the render size

class IGpuDevice {
 public:
  virtual ~IGpuDevice() = default;

  // The frame buffer of the render size (with a depth buffer in depth mode). False with `error` set when the
  // device or its drawing surfaces cannot be made.
  virtual bool Create(int renderWidth, int renderHeight, bool depth, std::string& error) = 0;
  virtual bool Reset(bool depth) = 0;       // rebuild the frame buffer; render targets stay valid here
  virtual void Release() = 0;
  virtual bool Exists() const = 0;
  virtual void SetRenderSize(int width, int height) = 0;
  virtual int MaxTextureSize() const = 0;

  // Textures: RGBA8, each side granted as the next power of two. Returns kNoTexture on failure.
  virtual TextureHandle CreateTexture(int width, int height, bool renderTarget, int& grantedWidth,
                                      int& grantedHeight) = 0;
  // Uploads width × height pixels (0xAARRGGBB, top row first) to the texture's top-left corner.
  virtual bool Upload(TextureHandle tex, int width, int height, const uint32_t* pixels) = 0;
  virtual void FreeTexture(TextureHandle tex) = 0;

  virtual bool SetTarget(TextureHandle target) = 0;  // kBackBuffer or a render-target texture
  virtual void SetViewport(const IntRect& r) = 0;
  virtual void SetTransform(TransformKind which, const Matrix4& m) = 0;
  virtual void SetStates(const RenderStates& s) = 0;
  virtual void BindTexture(TextureHandle tex) = 0;   // kNoTexture: draws use the vertex colour alone
  // `atlasOk`: the draw's uvs stay inside the image and clamp addressing is on, so a backend may sample the
  // texture from a shared atlas page.
  virtual void Draw(PrimKind kind, bool textured, const Vertex* v, int count, bool atlasOk = false) = 0;
  virtual void Clear(uint32_t argb, bool colour, bool depth) = 0;  // the current viewport of the current target
  // 3D draws carry normals for lighting; a backend without lighting may draw them as plain vertices.
  virtual void Draw3D(PrimKind kind, bool textured, const Vertex3D* v, int count);
  // Lights by index (any index ≥ 0); lighting uses the enabled ones with the lowest indices, at most
  // kMaxActiveLights. A light enabled before it was defined is a white directional light along +z.
  virtual void SetLight(int index, const Light& light) { (void)index, (void)light; }
  virtual void EnableLight(int index, bool on) { (void)index, (void)on; }

  // Shows the frame: the source rectangle of the frame scaled into `dest` of a client area of the given size;
  // the rest of the client area gets the window colour.
  virtual bool Present(const IntRect& source, const IntRect& dest, int clientWidth, int clientHeight,
                       uint32_t windowColour, bool vsync) = 0;
  // Pixels of the current frame (kBackBuffer) or a render-target texture, 0xAARRGGBB, top row first.
  virtual bool Read(TextureHandle from, const IntRect& r, std::vector<uint32_t>& out) = 0;
  virtual bool Copy(TextureHandle source, const IntRect& r, TextureHandle dest, int x, int y) = 0;
};

}  // namespace kv::plat
