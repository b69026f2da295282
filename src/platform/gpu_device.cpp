#include "platform/gpu_device.h"

#include <algorithm>

namespace kv::plat {

Matrix4 Multiply(const Matrix4& a, const Matrix4& b) {
  Matrix4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0.0f;
      for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  return r;
}

int PrimitiveCount(PrimKind kind, int n) {
  switch (kind) {
    case PrimKind::PointList: return std::max(0, n);
    case PrimKind::LineList: return std::max(0, n / 2);
    case PrimKind::LineStrip: return std::max(0, n - 1);
    case PrimKind::TriangleList: return std::max(0, n / 3);
    case PrimKind::TriangleStrip:
    case PrimKind::TriangleFan: return std::max(0, n - 2);
  }
  return 0;
}

int VerticesUsed(PrimKind kind, int p) {
  if (p <= 0) return 0;
  switch (kind) {
    case PrimKind::PointList: return p;
    case PrimKind::LineList: return 2 * p;
    case PrimKind::LineStrip: return p + 1;
    case PrimKind::TriangleList: return 3 * p;
    case PrimKind::TriangleStrip:
    case PrimKind::TriangleFan: return p + 2;
  }
  return 0;
}

}  // namespace kv::plat

namespace kv::plat {

void IGpuDevice::Draw3D(PrimKind kind, bool textured, const Vertex3D* v, int count) {
  std::vector<Vertex> plain;
  plain.reserve(static_cast<size_t>(std::max(0, count)));
  for (int i = 0; i < count; ++i) plain.push_back({v[i].x, v[i].y, v[i].z, v[i].colour, v[i].u, v[i].v});
  Draw(kind, textured, plain.data(), count);
}

}  // namespace kv::plat
