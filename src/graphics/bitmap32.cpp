#include "graphics/bitmap32.h"

#include <bit>
#include <cstring>

#include "runner/support_stream.h"

namespace kv {

CBitmap32 CBitmap32::Make(int width, int height, uint32_t fill) {
  CBitmap32 b;
  b.exists = true;
  b.width = width;
  b.height = height;
  b.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
  return b;
}

// ---- stored record --------------------------------------------------------------------------------------------

CBitmap32 CBitmap32::FromStream(CStream& s) {
  CBitmap32 b;
  if (s.ReadInt() != kRecordVersion) return b;
  if (!s.ReadBool()) return b;
  int32_t w = s.ReadInt(), h = s.ReadInt();
  if (w < 0 || h < 0) throw StreamError("negative bitmap size");
  CStream block = s.ReadCompressed();
  uint64_t need = static_cast<uint64_t>(w) * static_cast<uint64_t>(h) * 4;
  if (block.Size() < need) throw StreamError("bitmap pixel block too short");
  if (need == 0) return b;  // no pixel array: an empty bitmap
  b.exists = true;
  b.width = w;
  b.height = h;
  b.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  std::memcpy(b.pixels.data(), block.Data(), static_cast<size_t>(need));
  return b;
}

void CBitmap32::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  bool has = exists && width > 0 && height > 0;
  s.WriteBool(has);
  if (!has) return;
  s.WriteInt(width);
  s.WriteInt(height);
  s.WriteCompressed(reinterpret_cast<const uint8_t*>(pixels.data()), pixels.size() * 4);
}

// ---- BMP decoding ---------------------------------------------------------------------------------------------

namespace {

constexpr uint32_t kBiRgb = 0, kBiBitfields = 3, kBiAlphaBitfields = 6;
constexpr uint64_t kMaxPixels = uint64_t{1} << 26;  // 256 MB of pixels; larger embedded images are rejected

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// Extracts one channel selected by a bit mask and scales it to 0..255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  explicit Channel(uint32_t m = 0) : mask(m) {
    if (!m) return;
    shift = std::countr_zero(m);
    max = m >> shift;
  }
  uint32_t Get(uint32_t v, uint32_t absent) const {
    if (!mask) return absent;
    uint32_t x = (v & mask) >> shift;
    return max == 255 ? x : static_cast<uint32_t>((static_cast<uint64_t>(x) * 255 + max / 2) / max);
  }
};

}  // namespace

std::optional<CBitmap32> CBitmap32::DecodeBmp(const uint8_t* data, size_t size) {
  if (!data || size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return std::nullopt;
  uint32_t dataOffset = U32(data + 10);
  uint32_t headerSize = U32(data + 14);
  if (headerSize < 12 || headerSize > size - 14) return std::nullopt;
  const uint8_t* h = data + 14;
  int64_t width, height;
  uint32_t bpp, compression = kBiRgb, colorsUsed = 0;
  size_t paletteEntry = 4;
  if (headerSize == 12) {  // core header
    width = U16(h + 4);
    height = static_cast<int16_t>(U16(h + 6));
    bpp = U16(h + 10);
    paletteEntry = 3;
  } else {
    if (headerSize < 40) return std::nullopt;
    width = static_cast<int32_t>(U32(h + 4));
    height = static_cast<int32_t>(U32(h + 8));
    bpp = U16(h + 14);
    compression = U32(h + 16);
    colorsUsed = U32(h + 32);
  }
  bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxPixels)
    return std::nullopt;

  // Masks: inside a 52+ byte header, or right after a 40-byte header for bit-field compression.
  uint32_t masks[4] = {0, 0, 0, 0};
  size_t afterHeader = 14 + headerSize;
  if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
    if (bpp != 16 && bpp != 32) return std::nullopt;
    size_t n = compression == kBiAlphaBitfields ? 4 : 3;
    if (headerSize >= 52) {
      const uint8_t* m = h + 40;
      for (size_t i = 0; i < 3; ++i) masks[i] = U32(m + 4 * i);
      if (headerSize >= 56) masks[3] = U32(m + 12);
    } else {
      if (afterHeader + 4 * n > size) return std::nullopt;
      for (size_t i = 0; i < n; ++i) masks[i] = U32(data + afterHeader + 4 * i);
      afterHeader += 4 * n;
    }
  } else if (compression == kBiRgb) {
    if (bpp == 16) {
      masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (bpp == 24 || bpp == 32) {
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;  // the fourth byte of a plain 32-bit BMP is unused
    } else if (bpp != 1 && bpp != 4 && bpp != 8) {
      return std::nullopt;
    }
  } else {
    return std::nullopt;  // RLE, embedded JPEG/PNG
  }

  uint32_t palette[256] = {};
  if (bpp <= 8) {
    uint32_t maxColors = 1u << bpp;
    uint32_t n = (colorsUsed == 0 || colorsUsed > maxColors) ? maxColors : colorsUsed;
    if (afterHeader + n * paletteEntry > size) return std::nullopt;
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* e = data + afterHeader + i * paletteEntry;
      palette[i] = 0xFF000000u | static_cast<uint32_t>(e[2]) << 16 | static_cast<uint32_t>(e[1]) << 8 | e[0];
    }
    afterHeader += n * paletteEntry;
  }

  uint64_t stride = (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4;
  size_t pixelStart = (dataOffset >= afterHeader && dataOffset < size) ? dataOffset : afterHeader;
  // The last row need only hold its own pixels, not its padding.
  uint64_t lastRow = (static_cast<uint64_t>(width) * bpp + 7) / 8;
  if (pixelStart > size || stride * static_cast<uint64_t>(height - 1) + lastRow > size - pixelStart)
    return std::nullopt;

  Channel r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);
  CBitmap32 out = Make(static_cast<int>(width), static_cast<int>(height));
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* row = data + pixelStart + stride * static_cast<uint64_t>(y);
    uint32_t* dst = out.pixels.data() + static_cast<size_t>(topDown ? y : height - 1 - y) * static_cast<size_t>(width);
    for (int64_t x = 0; x < width; ++x) {
      uint32_t v;
      switch (bpp) {
        case 1: dst[x] = palette[(row[x >> 3] >> (7 - (x & 7))) & 1]; continue;
        case 4: dst[x] = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; continue;
        case 8: dst[x] = palette[row[x]]; continue;
        case 16: v = U16(row + 2 * x); break;
        case 24: v = row[3 * x] | row[3 * x + 1] << 8 | static_cast<uint32_t>(row[3 * x + 2]) << 16; break;
        default: v = U32(row + 4 * x); break;
      }
      dst[x] = a.Get(v, 255) << 24 | r.Get(v, 0) << 16 | g.Get(v, 0) << 8 | b.Get(v, 0);
    }
  }
  return out;
}

// ---- BMP encoding ---------------------------------------------------------------------------------------------

std::vector<uint8_t> CBitmap32::EncodeBmp() const {
  constexpr uint32_t kFileHeader = 14, kInfoHeader = 108;  // version-4 header: carries the alpha mask
  uint32_t w = exists ? static_cast<uint32_t>(width) : 0, hgt = exists ? static_cast<uint32_t>(height) : 0;
  uint64_t pixelBytes = static_cast<uint64_t>(w) * hgt * 4;
  std::vector<uint8_t> out(kFileHeader + kInfoHeader + pixelBytes, 0);
  auto put16 = [&](size_t at, uint16_t v) { out[at] = v & 0xFF, out[at + 1] = v >> 8; };
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  out[0] = 'B', out[1] = 'M';
  put32(2, static_cast<uint32_t>(out.size()));
  put32(10, kFileHeader + kInfoHeader);
  put32(14, kInfoHeader);
  put32(18, w);
  put32(22, hgt);  // bottom-up, the most widely read layout
  put16(26, 1);
  put16(28, 32);
  put32(30, kBiBitfields);
  put32(34, static_cast<uint32_t>(pixelBytes));
  put32(38, 2835), put32(42, 2835);  // 72 dpi
  put32(54, 0x00FF0000), put32(58, 0x0000FF00), put32(62, 0x000000FF), put32(66, 0xFF000000);
  put32(70, 0x73524742);  // 'sRGB'
  uint8_t* p = out.data() + kFileHeader + kInfoHeader;
  for (uint32_t y = 0; y < hgt; ++y)
    std::memcpy(p + static_cast<size_t>(y) * w * 4, pixels.data() + static_cast<size_t>(hgt - 1 - y) * w, w * 4);
  return out;
}

}  // namespace kv
