#include "graphics/graphics_draw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/graphics_d3d.h"
#include "graphics/graphics_support.h"
#include "graphics/graphics_texture.h"
#include "graphics/support_color.h"

namespace kv::gfx {

namespace {

struct DrawState {
  uint32_t colour = 0xFF000000u;
  double alpha = 1.0;
  int precision = 24;
  double cosTable[65], sinTable[65];
  int primKind = 0, primTexture = -1, primCount = 0;
  plat::Vertex prim[1001];
  DrawState() { BuildTable(); }
  void BuildTable() {
    for (int i = 0; i <= precision; ++i) {
      cosTable[i] = std::cos(2 * M_PI * i / precision);
      sinTable[i] = std::sin(2 * M_PI * i / precision);
    }
  }
};
DrawState& S() {
  static DrawState s;
  return s;
}

plat::Vertex V(double x, double y, uint32_t c) {
  return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(D3D().depth), c, 0.0f, 0.0f};
}

void Emit(plat::PrimKind kind, const plat::Vertex* v, int n) {
  if (!DeviceExists()) return;
  DeviceBindTexture(plat::kNoTexture);
  D3D().gpu->Draw(kind, false, v, n);
}

uint32_t WithAlpha(int colour) { return DeviceColour(colour, S().alpha); }

// Ordered box with the +0.01 rule for whole-numbered right and bottom edges.
void OrderBox(double& x1, double& y1, double& x2, double& y2) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (x2 == std::floor(x2)) x2 += 0.01;
  if (y2 == std::floor(y2)) y2 += 0.01;
}

void RectangleDevice(double x1, double y1, double x2, double y2, const uint32_t c[4], bool outline) {
  OrderBox(x1, y1, x2, y2);
  plat::Vertex v[5] = {V(x1, y1, c[0]), V(x2, y1, c[1]), V(x2, y2, c[2]), V(x1, y2, c[3]), V(x1, y1, c[0])};
  if (outline) Emit(plat::PrimKind::LineStrip, v, 5);
  else Emit(plat::PrimKind::TriangleFan, v, 4);
}

void EllipseDevice(double x1, double y1, double x2, double y2, uint32_t centre, uint32_t rim, bool outline) {
  auto& s = S();
  int p = s.precision;
  double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, rx = std::fabs(x2 - x1) / 2, ry = std::fabs(y2 - y1) / 2;
  plat::Vertex v[66];
  v[0] = V(cx, cy, centre);
  for (int i = 0; i <= p; ++i) v[i + 1] = V(cx + rx * s.cosTable[i], cy + ry * s.sinTable[i], rim);
  if (outline) {
    v[0] = v[p];  // closes the loop: p lines through vertices 0 … p
    Emit(plat::PrimKind::LineStrip, v, p + 1);
  } else {
    Emit(plat::PrimKind::TriangleFan, v, p + 2);
  }
}

void RoundRectDevice(double x1, double y1, double x2, double y2, uint32_t centre, uint32_t rim, bool outline) {
  auto& s = S();
  OrderBox(x1, y1, x2, y2);
  int p = s.precision, q = p / 4;
  double W = x2 - x1, H = y2 - y1;
  double cw = std::min(10.0, W), ch = std::min(10.0, H);
  double bx = W / 2 - cw / 2, by = H / 2 - ch / 2;
  double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  plat::Vertex v[72];
  int n = 0;
  v[n++] = V(cx, cy, centre);
  const double ax[4] = {cx + bx, cx - bx, cx - bx, cx + bx}, ay[4] = {cy + by, cy + by, cy - by, cy - by};
  for (int arc = 0; arc < 4; ++arc)
    for (int i = arc * q; i <= (arc + 1) * q; ++i)
      v[n++] = V(ax[arc] + cw / 2 * s.cosTable[i], ay[arc] + ch / 2 * s.sinTable[i], rim);
  v[n++] = v[1];
  if (outline) {
    v[0] = v[n - 1];
    Emit(plat::PrimKind::LineStrip, v, n);  // p + 5 lines
  } else {
    Emit(plat::PrimKind::TriangleFan, v, n);  // p + 4 triangles
  }
}

void TriangleDevice(double x1, double y1, double x2, double y2, double x3, double y3, uint32_t c1, uint32_t c2,
                    uint32_t c3, bool outline) {
  plat::Vertex v[4] = {V(x1, y1, c1), V(x2, y2, c2), V(x3, y3, c3), V(x1, y1, c1)};
  if (outline) Emit(plat::PrimKind::LineStrip, v, 4);
  else Emit(plat::PrimKind::TriangleList, v, 3);
}

}  // namespace

void SetDrawColour(int colour) { S().colour = DeviceColour(colour, S().alpha); }
void SetDrawAlpha(double alpha) {
  if (std::isnan(alpha)) alpha = 0.0;
  S().alpha = std::clamp(alpha, 0.0, 1.0);
  S().colour = DeviceColourKeep(S().colour, S().alpha);
}
int DrawColour() { return ScriptColour(S().colour); }
double DrawAlpha() { return S().alpha; }
uint32_t DrawDeviceColour() { return S().colour; }

void SetCirclePrecision(int n) {
  int p = std::clamp(n, 4, 64);
  S().precision = p - p % 4;
  S().BuildTable();
}
int CirclePrecision() { return S().precision; }

void ResetDrawState() {
  auto& s = S();
  s.colour = 0xFF000000u;
  s.alpha = 1.0;
  s.primKind = 0;
  s.primTexture = -1;
  s.primCount = 0;
  SetCirclePrecision(24);
}

void Clear(int colour) { ClearAlpha(colour, 1.0); }
void ClearAlpha(int colour, double alpha) { ClearTarget(colour, alpha); }

void Point(double x, double y) {
  plat::Vertex v = V(x, y, S().colour);
  Emit(plat::PrimKind::PointList, &v, 1);
}
void PointColour(double x, double y, int colour) {
  plat::Vertex v = V(x, y, WithAlpha(colour));
  Emit(plat::PrimKind::PointList, &v, 1);
}

void Line(double x1, double y1, double x2, double y2) {
  plat::Vertex v[2] = {V(x1, y1, S().colour), V(x2, y2, S().colour)};
  Emit(plat::PrimKind::LineList, v, 2);
}
void LineColour(double x1, double y1, double x2, double y2, int c1, int c2) {
  plat::Vertex v[2] = {V(x1, y1, WithAlpha(c1)), V(x2, y2, WithAlpha(c2))};
  Emit(plat::PrimKind::LineList, v, 2);
}

static void ThickLine(double x1, double y1, double x2, double y2, double w, uint32_t c1, uint32_t c2) {
  double L = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
  if (L == 0 || !std::isfinite(L)) return;
  double ox = (y2 - y1) * w / 2 / L, oy = (x2 - x1) * w / 2 / L;
  plat::Vertex v[4] = {V(x1 - ox, y1 + oy, c1), V(x2 - ox, y2 + oy, c2), V(x2 + ox, y2 - oy, c2),
                       V(x1 + ox, y1 - oy, c1)};
  Emit(plat::PrimKind::TriangleFan, v, 4);
}
void LineWidth(double x1, double y1, double x2, double y2, double w) {
  ThickLine(x1, y1, x2, y2, w, S().colour, S().colour);
}
void LineWidthColour(double x1, double y1, double x2, double y2, double w, int c1, int c2) {
  ThickLine(x1, y1, x2, y2, w, WithAlpha(c1), WithAlpha(c2));
}

void Rectangle(double x1, double y1, double x2, double y2, bool outline) {
  uint32_t c[4] = {S().colour, S().colour, S().colour, S().colour};
  RectangleDevice(x1, y1, x2, y2, c, outline);
}
void RectangleColour(double x1, double y1, double x2, double y2, int c1, int c2, int c3, int c4, bool outline) {
  uint32_t c[4] = {WithAlpha(c1), WithAlpha(c2), WithAlpha(c3), WithAlpha(c4)};
  RectangleDevice(x1, y1, x2, y2, c, outline);
}

void RoundRectangle(double x1, double y1, double x2, double y2, bool outline) {
  RoundRectDevice(x1, y1, x2, y2, S().colour, S().colour, outline);
}
void RoundRectangleColour(double x1, double y1, double x2, double y2, int c1, int c2, bool outline) {
  RoundRectDevice(x1, y1, x2, y2, WithAlpha(c1), WithAlpha(c2), outline);
}

void Triangle(double x1, double y1, double x2, double y2, double x3, double y3, bool outline) {
  TriangleDevice(x1, y1, x2, y2, x3, y3, S().colour, S().colour, S().colour, outline);
}
void TriangleColour(double x1, double y1, double x2, double y2, double x3, double y3, int c1, int c2, int c3,
                    bool outline) {
  TriangleDevice(x1, y1, x2, y2, x3, y3, WithAlpha(c1), WithAlpha(c2), WithAlpha(c3), outline);
}

void Ellipse(double x1, double y1, double x2, double y2, bool outline) {
  EllipseDevice(x1, y1, x2, y2, S().colour, S().colour, outline);
}
void EllipseColour(double x1, double y1, double x2, double y2, int c1, int c2, bool outline) {
  EllipseDevice(x1, y1, x2, y2, WithAlpha(c1), WithAlpha(c2), outline);
}
void Circle(double x, double y, double r, bool outline) { Ellipse(x - r, y - r, x + r, y + r, outline); }
void CircleColour(double x, double y, double r, int c1, int c2, bool outline) {
  EllipseColour(x - r, y - r, x + r, y + r, c1, c2, outline);
}

void Arrow(double x1, double y1, double x2, double y2, double size) {
  double L = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
  if (L == 0 || !std::isfinite(L)) return;
  size = std::min(size, L);
  Line(x1, y1, x2, y2);
  double dx = (x2 - x1) * size / L, dy = (y2 - y1) * size / L;
  uint32_t c = S().colour;
  TriangleDevice(x2 - dx - dy / 3, y2 - dy + dx / 3, x2, y2, x2 - dx + dy / 3, y2 - dy - dx / 3, c, c, c, false);
}

void Button(double x1, double y1, double x2, double y2, bool up) {
  int light = 16777215, dark = 8421504;
  if (!up) std::swap(light, dark);
  uint32_t l = WithAlpha(light), d = WithAlpha(dark);
  TriangleDevice(x1, y1, x2, y1, x1, y2, l, l, l, false);
  TriangleDevice(x1, y2, x2, y1, x2, y2, d, d, d, false);
  Rectangle(x1 + 2, y1 + 2, x2 - 2, y2 - 2, false);
}

void HealthBar(double x1, double y1, double x2, double y2, double amount, int backColour, int minColour,
               int maxColour, int direction, bool showBack, bool showBorder) {
  if (showBack) {
    RectangleColour(x1, y1, x2, y2, backColour, backColour, backColour, backColour, false);
    if (showBorder) RectangleColour(x1, y1, x2, y2, 0, 0, 0, 0, true);
  }
  if (std::isnan(amount)) amount = 0;
  amount = std::clamp(amount, 0.0, 100.0);
  double fx1 = x1, fy1 = y1, fx2 = x2, fy2 = y2;
  switch (direction) {
    case 1: fx1 = x2 - (x2 - x1) * amount / 100; break;
    case 2: fy2 = y1 + (y2 - y1) * amount / 100; break;
    case 3: fy1 = y2 - (y2 - y1) * amount / 100; break;
    default: fx2 = x1 + (x2 - x1) * amount / 100; break;
  }
  int mid = MergeColour(minColour, maxColour, 0.5);
  int c = amount <= 50 ? MergeColour(minColour, mid, amount / 50) : MergeColour(mid, maxColour, (amount - 50) / 50);
  RectangleColour(fx1, fy1, fx2, fy2, c, c, c, c, false);
  if (showBorder) RectangleColour(fx1, fy1, fx2, fy2, 0, 0, 0, 0, true);
}

// ---- primitive builder ----

void BeginPrimitive(int kind, int texture) {
  S().primKind = kind;
  S().primTexture = texture;
  S().primCount = 0;
}

static void AddVertex(double x, double y, uint32_t colour, double u, double v) {
  auto& s = S();
  if (s.primCount > 1000) return;
  s.prim[s.primCount++] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(D3D().depth), colour,
                           static_cast<float>(u), static_cast<float>(v)};
}

void Vertex(double x, double y) { AddVertex(x, y, S().colour, 0, 0); }
void VertexColour(double x, double y, int colour, double alpha) {
  AddVertex(x, y, DeviceColour(colour, alpha), 0, 0);
}
void VertexTexture(double x, double y, double u, double v) { AddVertex(x, y, S().colour, u, v); }
void VertexTextureColour(double x, double y, double u, double v, int colour, double alpha) {
  AddVertex(x, y, DeviceColour(colour, alpha), u, v);
}

void EndPrimitive() {
  auto& s = S();
  if (s.primKind < 1 || s.primKind > 6 || !DeviceExists()) return;
  BindTexture(s.primTexture);
  D3D().gpu->Draw(static_cast<plat::PrimKind>(s.primKind), true, s.prim, s.primCount);
  BindTexture(-1);
}

int PrimitiveVertexCount() { return S().primCount; }

}  // namespace kv::gfx
