#include "graphics/graphics_3d.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "graphics/graphics_d3d.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_support.h"
#include "graphics/graphics_texture.h"

namespace kv::gfx {

namespace {

struct Builder {
  int kind = 0;
  int texture = -1;
  int count = 0;
  std::array<plat::Vertex3D, kMaxVertices3D> vertices{};
};

Builder& B() {
  static Builder b;
  return b;
}

struct Stack {
  std::vector<plat::Matrix4> slots = std::vector<plat::Matrix4>(kTransformStackTop + 1);
  int top = -1;
};

Stack& S() {
  static Stack s;
  return s;
}

plat::Matrix4& World() {
  static plat::Matrix4 world = plat::Matrix4::Identity();
  return world;
}

bool Finite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

void Append(double x, double y, double z, double nx, double ny, double nz, double u, double v, uint32_t colour) {
  Builder& b = B();
  if (b.count >= kMaxVertices3D) return;  // the 1002nd and later vertices are ignored
  b.vertices[static_cast<size_t>(b.count++)] = {
      static_cast<float>(x),  static_cast<float>(y),  static_cast<float>(z), static_cast<float>(nx),
      static_cast<float>(ny), static_cast<float>(nz), colour,                static_cast<float>(u),
      static_cast<float>(v)};
}

// The draw colour and alpha of the shape being built, converted once per shape.
uint32_t& ShapeColour() {
  static uint32_t colour = 0;
  return colour;
}

// A shape vertex.
void V(double x, double y, double z, double nx, double ny, double nz, double u, double v) {
  Append(x, y, z, nx, ny, nz, u, v, ShapeColour());
}

// Shapes take the current draw colour, draw with texture repeat on and give the flag back afterwards.
class ShapeScope {
 public:
  ShapeScope() : saved_(D3D().textureRepeat) {
    SetTextureRepeat(true);
    ShapeColour() = DeviceColour(DrawColour(), DrawAlpha());
  }
  ~ShapeScope() { SetTextureRepeat(saved_); }
  ShapeScope(const ShapeScope&) = delete;
  ShapeScope& operator=(const ShapeScope&) = delete;

 private:
  bool saved_;
};

struct RoundTable {
  int steps;
  std::vector<double> c, s;
  explicit RoundTable(int requested) : steps(std::clamp(requested, 3, 128)) {
    for (int i = 0; i <= steps; ++i) {
      c.push_back(std::cos(2.0 * M_PI * i / steps));
      s.push_back(std::sin(2.0 * M_PI * i / steps));
    }
  }
};

void SetView(const double eye[3], const double at[3], const double up[3]) {
  D3D().gpu->SetTransform(plat::TransformKind::View, MatrixLookAtLH(eye, at, up));
}

// The look-at matrix is singular when the eye is on the target or the up vector is parallel to the view.
bool ViewIsSound(const double from[3], const double to[3], const double up[3]) {
  if (!Finite({from[0], from[1], from[2], to[0], to[1], to[2], up[0], up[1], up[2]})) return false;
  double z[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
  double x[3] = {up[1] * z[2] - up[2] * z[1], up[2] * z[0] - up[0] * z[2], up[0] * z[1] - up[1] * z[0]};
  return z[0] * z[0] + z[1] * z[1] + z[2] * z[2] > 0.0 && x[0] * x[0] + x[1] * x[1] + x[2] * x[2] > 0.0;
}

}  // namespace

// ---- primitive builder ----

void BeginPrimitive3D(int kind, int texture) {
  B().kind = kind;
  B().texture = texture;
  B().count = 0;
}

void Vertex3D(double x, double y, double z, double nx, double ny, double nz, double u, double v) {
  Append(x, y, z, nx, ny, nz, u, v, DeviceColour(DrawColour(), DrawAlpha()));
}

void Vertex3D(double x, double y, double z, double nx, double ny, double nz, double u, double v, int colour,
              double alpha) {
  Append(x, y, z, nx, ny, nz, u, v, DeviceColour(colour, alpha));
}

int PrimitiveVertexCount3D() { return B().count; }

void EndPrimitive3D() {
  Builder& b = B();
  if (b.kind < 1 || b.kind > 6 || !DeviceExists()) return;
  auto kind = static_cast<plat::PrimKind>(b.kind);
  if (plat::PrimitiveCount(kind, b.count) < 1) return;
  auto& d = D3D();
  BindTexture(b.texture);
  // 2D quads may have switched the device to clamping; 3D draws follow the repeat flag.
  if (d.states.wrap != d.textureRepeat) {
    d.states.wrap = d.textureRepeat;
    d.gpu->SetStates(d.states);
  }
  d.gpu->Draw3D(kind, d.boundTexture != plat::kNoTexture, b.vertices.data(), b.count);
  BindTexture(-1);
}

// ---- shapes ----

void DrawBlock(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr,
               double vr) {
  ShapeScope shape;
  auto face = [&](auto&& body) {
    BeginPrimitive3D(6, texture);
    body();
    EndPrimitive3D();
  };
  face([&] {
    V(x1, y1, z1, 0, 0, -1, 0, 0), V(x1, y2, z1, 0, 0, -1, 0, vr);
    V(x2, y2, z1, 0, 0, -1, hr, vr), V(x2, y1, z1, 0, 0, -1, hr, 0);
  });
  face([&] {
    V(x1, y1, z2, 0, 0, 1, 0, 0), V(x2, y1, z2, 0, 0, 1, hr, 0);
    V(x2, y2, z2, 0, 0, 1, hr, vr), V(x1, y2, z2, 0, 0, 1, 0, vr);
  });
  face([&] {
    V(x1, y2, z1, 0, 1, 0, 0, 0), V(x1, y2, z2, 0, 1, 0, 0, vr);
    V(x2, y2, z2, 0, 1, 0, hr, vr), V(x2, y2, z1, 0, 1, 0, hr, 0);
  });
  face([&] {
    V(x2, y2, z1, 1, 0, 0, 0, 0), V(x2, y2, z2, 1, 0, 0, 0, vr);
    V(x2, y1, z2, 1, 0, 0, hr, vr), V(x2, y1, z1, 1, 0, 0, hr, 0);
  });
  face([&] {
    V(x2, y1, z1, 0, -1, 0, 0, 0), V(x2, y1, z2, 0, -1, 0, 0, vr);
    V(x1, y1, z2, 0, -1, 0, hr, vr), V(x1, y1, z1, 0, -1, 0, hr, 0);
  });
  face([&] {
    V(x1, y1, z1, -1, 0, 0, 0, 0), V(x1, y1, z2, -1, 0, 0, 0, vr);
    V(x1, y2, z2, -1, 0, 0, hr, vr), V(x1, y2, z1, -1, 0, 0, hr, 0);
  });
}

namespace {

// The bottom cap at z1, rim walked backwards so it faces down.
void BottomCap(const RoundTable& t, double cx, double cy, double rx, double ry, double z1, int texture) {
  BeginPrimitive3D(6, texture);
  V(cx, cy, z1, 0, 0, -1, 0, 0);
  for (int i = t.steps; i >= 0; --i) V(cx + rx * t.c[i], cy + ry * t.s[i], z1, 0, 0, -1, 0, 0);
  EndPrimitive3D();
}

}  // namespace

void DrawCylinder(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr,
                  double vr, bool closed, int steps) {
  ShapeScope shape;
  RoundTable t(steps);
  double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, rx = (x2 - x1) / 2, ry = (y2 - y1) / 2;
  if (closed) {
    BeginPrimitive3D(6, texture);
    V(cx, cy, z2, 0, 0, 1, 0, vr);
    for (int i = 0; i <= t.steps; ++i) V(cx + rx * t.c[i], cy + ry * t.s[i], z2, 0, 0, 1, 0, vr);
    EndPrimitive3D();
  }
  BeginPrimitive3D(5, texture);
  for (int i = 0; i <= t.steps; ++i) {
    double px = cx + rx * t.c[i], py = cy + ry * t.s[i], u = hr * i / t.steps;
    V(px, py, z2, t.c[i], t.s[i], 0, u, vr);
    V(px, py, z1, t.c[i], t.s[i], 0, u, 0);
  }
  EndPrimitive3D();
  if (closed) BottomCap(t, cx, cy, rx, ry, z1, texture);
}

void DrawCone(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr, double vr,
              bool closed, int steps) {
  ShapeScope shape;
  RoundTable t(steps);
  double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, rx = (x2 - x1) / 2, ry = (y2 - y1) / 2;
  BeginPrimitive3D(5, texture);
  for (int i = 0; i <= t.steps; ++i) {
    double u = hr * i / t.steps;
    V(cx, cy, z2, 0, 0, 1, u, vr);
    V(cx + rx * t.c[i], cy + ry * t.s[i], z1, t.c[i], t.s[i], 0, u, 0);
  }
  EndPrimitive3D();
  if (closed) BottomCap(t, cx, cy, rx, ry, z1, texture);
}

void DrawEllipsoid(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr,
                   double vr, int steps) {
  ShapeScope shape;
  RoundTable t(steps);
  double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, cz = (z1 + z2) / 2;
  double rx = (x2 - x1) / 2, ry = (y2 - y1) / 2, rz = (z2 - z1) / 2;
  int rings = (t.steps + 1) / 2;
  auto vertex = [&](int i, int k) {
    double theta = k * M_PI / rings, st = std::sin(theta), ct = std::cos(theta);
    V(cx + rx * st * t.c[i], cy + ry * st * t.s[i], cz + rz * ct, st * t.c[i], st * t.s[i], ct, hr * i / t.steps,
      vr * k / rings);
  };
  for (int r = 0; r < rings; ++r) {
    BeginPrimitive3D(5, texture);
    for (int i = 0; i <= t.steps; ++i) vertex(i, r), vertex(i, r + 1);
    EndPrimitive3D();
  }
}

void DrawWall(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr, double vr) {
  double len = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
  if (len == 0.0 || !std::isfinite(len)) return;
  ShapeScope shape;
  double nx = (y2 - y1) / len, ny = -(x2 - x1) / len;
  BeginPrimitive3D(6, texture);
  V(x1, y1, z1, nx, ny, 0, 0, 0), V(x2, y2, z1, nx, ny, 0, hr, 0);
  V(x2, y2, z2, nx, ny, 0, hr, vr), V(x1, y1, z2, nx, ny, 0, 0, vr);
  EndPrimitive3D();
}

void DrawFloor(double x1, double y1, double z1, double x2, double y2, double z2, int texture, double hr,
               double vr) {
  ShapeScope shape;
  BeginPrimitive3D(6, texture);
  V(x1, y1, z1, 0, 0, 1, 0, 0), V(x1, y2, z1, 0, 0, 1, 0, vr);
  V(x2, y2, z2, 0, 0, 1, hr, vr), V(x2, y1, z2, 0, 0, 1, hr, 0);
  EndPrimitive3D();
}

// ---- projections ----

void SetProjectionLookAt(const double from[3], const double to[3], const double up[3]) {
  if (!DeviceExists() || !ViewIsSound(from, to, up)) return;
  SetView(from, to, up);
}

void SetProjectionExt(const double from[3], const double to[3], const double up[3], double angle, double aspect,
                      double znear, double zfar) {
  if (!DeviceExists() || !ViewIsSound(from, to, up)) return;
  // A zero aspect, a near plane at or behind the eye or an empty depth range give a singular projection.
  if (!Finite({angle, aspect, znear, zfar}) || aspect == 0.0 || znear <= 0.0 || znear == zfar) return;
  double tanHalf = std::tan(angle * M_PI / 180.0 / 2.0);
  if (tanHalf == 0.0 || !std::isfinite(tanHalf)) return;
  SetView(from, to, up);
  D3D().gpu->SetTransform(plat::TransformKind::Projection,
                          MatrixPerspectiveFovLH(angle * M_PI / 180.0, aspect, znear, zfar));
}

void SetProjectionOrtho(double x, double y, double w, double h, double angle) {
  if (!DeviceExists() || !Finite({x, y, w, h, angle}) || w == 0.0 || h == 0.0) return;
  double a = -angle * M_PI / 180.0, cx = x + w / 2, cy = y + h / 2;
  double eye[3] = {cx, cy, -16000.0}, at[3] = {cx, cy, 0.0}, up[3] = {std::sin(a), std::cos(a), 0.0};
  SetView(eye, at, up);
  D3D().gpu->SetTransform(plat::TransformKind::Projection, MatrixOrthoLH(w, -h, 1.0, 32000.0));
}

void SetProjectionPerspective(double x, double y, double w, double h, double angle) {
  if (!DeviceExists() || !Finite({x, y, w, h, angle}) || w == 0.0 || h == 0.0) return;
  double a = -angle * M_PI / 180.0, cx = x + w / 2, cy = y + h / 2;
  double eye[3] = {cx, cy, -w}, at[3] = {cx, cy, 0.0}, up[3] = {std::sin(a), std::cos(a), 0.0};
  SetView(eye, at, up);
  D3D().gpu->SetTransform(plat::TransformKind::Projection, MatrixPerspectiveLH(1.0, h / w, 1.0, 32000.0));
}

// ---- world transform ----

plat::Matrix4 WorldTransform() { return World(); }

void SetWorldTransform(const plat::Matrix4& m) {
  World() = m;
  if (DeviceExists()) D3D().gpu->SetTransform(plat::TransformKind::World, m);
}

void AddWorldTransform(const plat::Matrix4& m) { SetWorldTransform(plat::Multiply(World(), m)); }

plat::Matrix4 MatrixTranslation(double x, double y, double z) {
  plat::Matrix4 m = plat::Matrix4::Identity();
  m.m[3][0] = static_cast<float>(x), m.m[3][1] = static_cast<float>(y), m.m[3][2] = static_cast<float>(z);
  return m;
}

plat::Matrix4 MatrixScaling(double x, double y, double z) {
  plat::Matrix4 m = plat::Matrix4::Identity();
  m.m[0][0] = static_cast<float>(x), m.m[1][1] = static_cast<float>(y), m.m[2][2] = static_cast<float>(z);
  return m;
}

plat::Matrix4 MatrixRotationX(double angle) {
  double a = -angle * M_PI / 180.0;
  float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  plat::Matrix4 m = plat::Matrix4::Identity();
  m.m[1][1] = c, m.m[1][2] = s, m.m[2][1] = -s, m.m[2][2] = c;
  return m;
}

plat::Matrix4 MatrixRotationY(double angle) {
  double a = -angle * M_PI / 180.0;
  float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  plat::Matrix4 m = plat::Matrix4::Identity();
  m.m[0][0] = c, m.m[0][2] = -s, m.m[2][0] = s, m.m[2][2] = c;
  return m;
}

plat::Matrix4 MatrixRotationZ(double angle) {
  double a = -angle * M_PI / 180.0;
  float c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  plat::Matrix4 m = plat::Matrix4::Identity();
  m.m[0][0] = c, m.m[0][1] = s, m.m[1][0] = -s, m.m[1][1] = c;
  return m;
}

plat::Matrix4 MatrixRotationAxis(double x, double y, double z, double angle) {
  double len = std::sqrt(x * x + y * y + z * z);
  if (len > 0) x /= len, y /= len, z /= len;
  double a = -angle * M_PI / 180.0, c = std::cos(a), s = std::sin(a), t = 1.0 - c;
  double r[3][3] = {{t * x * x + c, t * x * y + s * z, t * x * z - s * y},
                    {t * x * y - s * z, t * y * y + c, t * y * z + s * x},
                    {t * x * z + s * y, t * y * z - s * x, t * z * z + c}};
  plat::Matrix4 m = plat::Matrix4::Identity();
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m.m[i][j] = static_cast<float>(r[i][j]);
  return m;
}

plat::Matrix4 MatrixPerspectiveFovLH(double fovy, double aspect, double zn, double zf) {
  double ys = 1.0 / std::tan(fovy / 2.0), xs = ys / aspect;
  plat::Matrix4 m;
  m.m[0][0] = static_cast<float>(xs);
  m.m[1][1] = static_cast<float>(ys);
  m.m[2][2] = static_cast<float>(zf / (zf - zn));
  m.m[2][3] = 1.0f;
  m.m[3][2] = static_cast<float>(-zn * zf / (zf - zn));
  return m;
}

// ---- transform stack ----

void TransformStackClear() { S().top = -1; }
bool TransformStackEmpty() { return S().top < 0; }

bool TransformStackPush() {
  Stack& s = S();
  if (s.top >= kTransformStackTop) return false;
  s.slots[static_cast<size_t>(++s.top)] = World();
  return true;
}

bool TransformStackPop() {
  Stack& s = S();
  if (s.top < 0) return false;
  SetWorldTransform(s.slots[static_cast<size_t>(s.top--)]);
  return true;
}

bool TransformStackTop() {
  Stack& s = S();
  if (s.top < 0) return false;
  SetWorldTransform(s.slots[static_cast<size_t>(s.top)]);
  return true;
}

bool TransformStackDiscard() {
  Stack& s = S();
  if (s.top < 0) return false;
  --s.top;
  return true;
}

// ---- lights ----

namespace {

void FillColour(plat::Light& l, int colour) {
  l.r = static_cast<float>((colour & 255) / 255.0);
  l.g = static_cast<float>(((colour >> 8) & 255) / 255.0);
  l.b = static_cast<float>(((colour >> 16) & 255) / 255.0);
}

}  // namespace

void DefineDirectionalLight(int index, double dx, double dy, double dz, int colour) {
  if (!DeviceExists() || index < 0) return;
  plat::Light l;
  l.type = plat::Light::Directional;
  FillColour(l, colour);
  l.dx = static_cast<float>(dx), l.dy = static_cast<float>(dy), l.dz = static_cast<float>(dz);
  D3D().gpu->SetLight(index, l);
}

void DefinePointLight(int index, double x, double y, double z, double range, int colour) {
  if (!DeviceExists() || index < 0) return;
  plat::Light l;
  l.type = plat::Light::Point;
  FillColour(l, colour);
  l.x = static_cast<float>(x), l.y = static_cast<float>(y), l.z = static_cast<float>(z);
  l.range = static_cast<float>(range);
  l.attenuation0 = 1.0f;
  l.attenuation1 = range > 0 ? static_cast<float>(4.0 / range) : 0.0f;
  D3D().gpu->SetLight(index, l);
}

void EnableLight(int index, bool on) {
  if (DeviceExists() && index >= 0) D3D().gpu->EnableLight(index, on);
}

void Reset3D() {
  B() = Builder{};
  S().top = -1;
  World() = plat::Matrix4::Identity();
}

}  // namespace kv::gfx
