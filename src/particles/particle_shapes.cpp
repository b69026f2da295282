#include "particles/particle_shapes.h"

#include <algorithm>
#include <cmath>

#include "graphics/graphics_d3d.h"
#include "graphics/graphics_texture.h"

namespace kv::particles {

namespace {

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

// Smooth value noise in [0, 1] from a fixed integer hash: the same picture on every run and machine.
double Lattice(int x, int y, uint32_t salt) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + salt * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xFFFF) / 65535.0;
}
double Noise(double x, double y, double cell, uint32_t salt) {
  const double fx = x / cell, fy = y / cell;
  const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
  double tx = fx - ix, ty = fy - iy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  const double a = Lattice(ix, iy, salt), b = Lattice(ix + 1, iy, salt);
  const double c = Lattice(ix, iy + 1, salt), d = Lattice(ix + 1, iy + 1, salt);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}
double Turbulence(double x, double y, uint32_t salt) {
  return 0.6 * Noise(x, y, 8, salt) + 0.4 * Noise(x, y, 4, salt + 1);
}

// A line of the given half width from the centre out to `length` along angle a (radians), fading at its end.
double Arm(double dx, double dy, double a, double length, double halfWidth) {
  const double along = dx * std::cos(a) + dy * std::sin(a);
  const double across = -dx * std::sin(a) + dy * std::cos(a);
  if (along < 0 || along > length) return 0;
  return Clamp01(halfWidth + 0.5 - std::fabs(across)) * Clamp01((length - along) / 3 + 0.3);
}

// Coverage (0 … 1) of a shape at the pixel whose centre is (dx, dy) from the image centre.
double Coverage(int shape, double dx, double dy, double px, double py) {
  const double r = std::sqrt(dx * dx + dy * dy);
  const double theta = std::atan2(dy, dx);
  switch (shape) {
    case 0:  // pixel: a small dot
      return Clamp01(2.2 - r);
    case 1:  // disk
      return Clamp01(15.5 - r);
    case 2:  // square
      return 1;
    case 3:  // line: a horizontal bar across the image
      return Clamp01(2.0 - std::fabs(dy)) * Clamp01((16 - std::fabs(dx)) / 2);
    case 4: {  // star: five points
      const double reach = 15.0 * (0.38 + 0.62 * std::pow(std::fabs(std::cos(2.5 * (theta + M_PI / 2))), 3));
      return Clamp01(reach - r + 0.5);
    }
    case 5:  // circle: an outline
      return Clamp01(1.6 - std::fabs(r - 14));
    case 6: {  // ring: a soft band
      const double t = (r - 11) / 3.2;
      return std::exp(-t * t) * Clamp01(15.8 - r);
    }
    case 7:  // sphere: a ball lit from the front
      return r < 15.5 ? Clamp01(std::sqrt(std::max(0.0, 1 - (r / 15.5) * (r / 15.5)))) * Clamp01(15.5 - r + 0.5) : 0;
    case 8: {  // flare: a bright glow with two rays
      const double glow = std::pow(Clamp01(1 - r / 16), 2.2);
      const double rays = std::max(Clamp01(1.3 - std::fabs(dy)), Clamp01(1.3 - std::fabs(dx))) * Clamp01(1 - r / 16);
      return Clamp01(glow + 0.7 * rays);
    }
    case 9: {  // spark: thin rays, long on the axes and short on the diagonals
      double v = Clamp01(1.6 - r) * 1.0;
      for (int k = 0; k < 4; ++k) v = std::max(v, Arm(dx, dy, k * M_PI / 2, 15, 0.4));
      for (int k = 0; k < 4; ++k) v = std::max(v, 0.7 * Arm(dx, dy, M_PI / 4 + k * M_PI / 2, 8, 0.3));
      return v;
    }
    case 10: {  // explosion: a ragged blob
      const double edge = 11 + 5 * Turbulence(px + 40, py + 40, 7);
      const double body = Clamp01(edge - r) * (0.55 + 0.45 * Turbulence(px, py, 3));
      return Clamp01(body * Clamp01(1.25 - r / 16));
    }
    case 11: {  // cloud: a soft lumpy blob
      const double edge = 12 + 4 * Turbulence(px + 17, py + 5, 11);
      return Clamp01((edge - r) / 6) * (0.55 + 0.45 * Turbulence(px, py, 13));
    }
    case 12: {  // smoke: a faint, wispy puff
      const double t = r / 10;
      return std::exp(-t * t) * (0.45 + 0.55 * Turbulence(px * 1.3, py * 1.3, 23)) * Clamp01(15.8 - r);
    }
    case 13: {  // snow: a six-armed flake with side branches
      double v = Clamp01(2.2 - r);
      for (int k = 0; k < 6; ++k) {
        const double a = k * M_PI / 3 + M_PI / 2;
        v = std::max(v, Arm(dx, dy, a, 14, 0.6));
        const double bx = dx - 8 * std::cos(a), by = dy - 8 * std::sin(a);
        v = std::max(v, 0.9 * Arm(bx, by, a + M_PI / 4, 4.5, 0.45));
        v = std::max(v, 0.9 * Arm(bx, by, a - M_PI / 4, 4.5, 0.45));
      }
      return v;
    }
    default: return 0;
  }
}

struct CachedTexture {
  int id = -1;
  plat::TextureHandle handle = plat::kNoTexture;
  const plat::IGpuDevice* gpu = nullptr;
};
CachedTexture g_textures[14];

}  // namespace

ShapeImage MakeShapeImage(int shape) {
  ShapeImage img{};
  for (int py = 0; py < kShapeSize; ++py)
    for (int px = 0; px < kShapeSize; ++px) {
      const double dx = px + 0.5 - kShapeSize / 2.0, dy = py + 0.5 - kShapeSize / 2.0;
      img[static_cast<size_t>(py * kShapeSize + px)] =
          static_cast<uint8_t>(std::lround(255 * Clamp01(Coverage(shape, dx, dy, px, py))));
    }
  return img;
}

int ShapeTexture(int shape) {
  if (shape < 0 || shape >= 14 || !gfx::DeviceExists()) return -1;
  CachedTexture& c = g_textures[shape];
  // Textures go away with the device (and their ids are reused): check the slot still holds ours.
  const gfx::RTexture* t = c.id >= 0 ? gfx::GetTexture(c.id) : nullptr;
  if (t && t->handle == c.handle && c.gpu == gfx::D3D().gpu) return c.id;
  const ShapeImage img = MakeShapeImage(shape);
  c.id = gfx::TextureFromAlpha(kShapeSize, kShapeSize, img.data());
  const gfx::RTexture* made = gfx::GetTexture(c.id);
  c.handle = made ? made->handle : plat::kNoTexture;
  c.gpu = gfx::D3D().gpu;
  return c.id;
}

}  // namespace kv::particles
