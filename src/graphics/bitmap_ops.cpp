#include "graphics/bitmap_ops.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "graphics/graphics_d3d.h"
#include "graphics/graphics_support.h"
#include "graphics/graphics_surface.h"
#include "platform/file_read.h"
#include "platform/file_write.h"

namespace kv::gfx {

namespace {
uint32_t& At(CBitmap32& b, int x, int y) { return b.pixels[static_cast<size_t>(y) * b.width + x]; }
bool Empty(const CBitmap32& b) {
  return !b.exists || b.width <= 0 || b.height <= 0 || b.pixels.size() < static_cast<size_t>(b.width) * b.height;
}
// Pixel counts are capped so that a hostile file cannot ask for more memory than any real image needs.
constexpr int64_t kMaxPixels = int64_t{1} << 28;
}  // namespace

void FillTransparentColours(CBitmap32& b) {
  if (Empty(b)) return;
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) {
      uint32_t& p = At(b, x, y);
      if (p >> 24) continue;
      const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
      for (int i = 0; i < 4; ++i) {
        if (nx[i] < 0 || ny[i] < 0 || nx[i] >= b.width || ny[i] >= b.height) continue;
        uint32_t q = At(b, nx[i], ny[i]);
        if (q >> 24) {
          p = q & 0x00FFFFFFu;
          break;
        }
      }
    }
}

void MakeTransparent(CBitmap32& b) {
  if (Empty(b)) return;
  uint32_t key = At(b, 0, b.height - 1) & 0x00FFFFFFu;
  for (auto& p : b.pixels)
    if ((p & 0x00FFFFFFu) == key) p &= 0x00FFFFFFu;
  FillTransparentColours(b);
}

void SmoothEdges(CBitmap32& b) {
  if (Empty(b)) return;
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) {
      if (At(b, x, y) >> 24) continue;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          int qx = x + dx, qy = y + dy;
          if (qx < 0 || qy < 0 || qx >= b.width || qy >= b.height) continue;
          uint32_t& q = At(b, qx, qy);
          uint32_t a = q >> 24;
          if (a >= 32) q = (q & 0x00FFFFFFu) | ((a - 32) << 24);
        }
    }
}

void SetAlphaFrom(CBitmap32& b, const CBitmap32& other) {
  if (Empty(b) || Empty(other)) return;
  int w = std::min(b.width, other.width), h = std::min(b.height, other.height);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t o = other.pixels[static_cast<size_t>(y) * other.width + x];
      uint32_t grey = (((o >> 16) & 255) + ((o >> 8) & 255) + (o & 255)) / 3;
      uint32_t& p = At(b, x, y);
      p = (p & 0x00FFFFFFu) | (std::min(p >> 24, grey) << 24);
    }
}

void Resize(CBitmap32& b, int width, int height) {
  if (Empty(b) || (width == b.width && height == b.height) || width <= 0 || height <= 0) return;
  if (static_cast<int64_t>(width) * height > kMaxPixels) return;
  std::vector<uint32_t> out(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    int sy = static_cast<int>(static_cast<int64_t>(y) * b.height / height);
    for (int x = 0; x < width; ++x) {
      int sx = static_cast<int>(static_cast<int64_t>(x) * b.width / width);
      out[static_cast<size_t>(y) * width + x] = At(b, sx, sy);
    }
  }
  b.pixels = std::move(out);
  b.width = width;
  b.height = height;
}

BitmapBox BoundingBox(const CBitmap32& b) {
  if (Empty(b)) return {};
  BitmapBox r{b.width - 1, b.height - 1, 0, 0};
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x)
      if (b.pixels[static_cast<size_t>(y) * b.width + x] >> 24) {
        r.left = std::min(r.left, x);
        r.top = std::min(r.top, y);
        r.right = std::max(r.right, x);
        r.bottom = std::max(r.bottom, y);
      }
  return r;
}

CBitmap32 Part(const CBitmap32& b, int x, int y, int width, int height) {
  CBitmap32 r;
  if (Empty(b) || x < 0 || y < 0 || width <= 0 || height <= 0 || static_cast<int64_t>(x) + width > b.width ||
      static_cast<int64_t>(y) + height > b.height)
    return r;
  r = CBitmap32::Make(width, height);
  for (int row = 0; row < height; ++row)
    std::copy_n(b.pixels.begin() + static_cast<size_t>(y + row) * b.width + x, width,
                r.pixels.begin() + static_cast<size_t>(row) * width);
  return r;
}

CBitmap32 Solid(int width, int height, int colour) {
  width = std::max(1, width);
  height = std::max(1, height);
  if (static_cast<int64_t>(width) * height > kMaxPixels) width = height = 1;
  return CBitmap32::Make(width, height, DeviceColour(colour, 1.0));
}

void PrepareImage(CBitmap32& b, bool keepAlpha, bool smooth, bool transparent) {
  if (!keepAlpha)
    for (auto& p : b.pixels) p |= 0xFF000000u;
  if (transparent) {
    MakeTransparent(b);
    if (smooth) SmoothEdges(b);
  }
}

// ---- PNG ----

namespace {
struct PngReader {
  const uint8_t* data;
  size_t size, pos;
};
void PngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
  if (n > r->size - r->pos) png_error(png, "truncated");
  std::memcpy(out, r->data + r->pos, n);
  r->pos += n;
}
void PngWrite(png_structp png, png_bytep in, png_size_t n) {
  auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  v->insert(v->end(), in, in + n);
}
void PngFlush(png_structp) {}
// Bad files are reported by the result alone, not on stderr.
void PngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarn(png_structp, png_const_charp) {}
}  // namespace

// The setjmp frames below keep no C++ objects of their own: everything they fill lives in the caller.
static bool DecodePngInto(const uint8_t* data, size_t size, CBitmap32* b, std::vector<png_bytep>* rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngWarn);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  PngReader reader{data, size, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &reader, PngRead);
  png_read_info(png, info);
  png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (w == 0 || h == 0 || static_cast<int64_t>(w) * h > kMaxPixels) png_error(png, "size");
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png);  // bytes B, G, R, A = 0xAARRGGBB little-endian
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  *b = CBitmap32::Make(static_cast<int>(w), static_cast<int>(h));
  rows->resize(h);
  for (png_uint_32 y = 0; y < h; ++y)
    (*rows)[y] = reinterpret_cast<png_bytep>(b->pixels.data() + static_cast<size_t>(y) * w);
  png_read_image(png, rows->data());
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

std::optional<CBitmap32> DecodePng(const uint8_t* data, size_t size) {
  if (size < 8 || png_sig_cmp(data, 0, 8)) return std::nullopt;
  CBitmap32 b;
  std::vector<png_bytep> rows;
  if (!DecodePngInto(data, size, &b, &rows)) return std::nullopt;
  return b;
}

static bool EncodePngInto(const CBitmap32* b, std::vector<uint8_t>* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, PngWrite, PngFlush);
  png_set_IHDR(png, info, b->width, b->height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int y = 0; y < b->height; ++y)
    png_write_row(png, reinterpret_cast<png_const_bytep>(b->pixels.data() + static_cast<size_t>(y) * b->width));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

std::vector<uint8_t> EncodePng(const CBitmap32& b) {
  std::vector<uint8_t> out;
  if (Empty(b) || !EncodePngInto(&b, &out)) return {};
  return out;
}

bool SavePng(const CBitmap32& b, const std::string& path, bool insideWorkingDirectory) {
  std::vector<uint8_t> bytes = EncodePng(b);
  return !bytes.empty() && plat::WriteFileAtomically(path, bytes.data(), bytes.size(), insideWorkingDirectory);
}

// ---- JPEG ----

namespace {
struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};
void JpegFail(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void JpegSilence(j_common_ptr, int) {}
}  // namespace

static bool DecodeJpegInto(const uint8_t* data, size_t size, CBitmap32* b, std::vector<uint8_t>* row) {
  jpeg_decompress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegFail;
  err.mgr.emit_message = JpegSilence;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  int w = static_cast<int>(cinfo.output_width), h = static_cast<int>(cinfo.output_height);
  if (w <= 0 || h <= 0 || static_cast<int64_t>(w) * h > kMaxPixels || cinfo.output_components != 3) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  *b = CBitmap32::Make(w, h);
  row->resize(static_cast<size_t>(w) * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW r = row->data();
    int y = static_cast<int>(cinfo.output_scanline);
    jpeg_read_scanlines(&cinfo, &r, 1);
    const uint8_t* px = row->data();
    for (int x = 0; x < w; ++x)
      b->pixels[static_cast<size_t>(y) * w + x] =
          0xFF000000u | (uint32_t{px[x * 3]} << 16) | (uint32_t{px[x * 3 + 1]} << 8) | px[x * 3 + 2];
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

std::optional<CBitmap32> DecodeJpeg(const uint8_t* data, size_t size) {
  if (size < 4) return std::nullopt;
  CBitmap32 b;
  std::vector<uint8_t> row;
  if (!DecodeJpegInto(data, size, &b, &row)) return std::nullopt;
  return b;
}

std::optional<CBitmap32> DecodeImage(const std::vector<uint8_t>& bytes, const std::string& fileName) {
  std::string ext;
  size_t dot = fileName.find_last_of('.');
  if (dot != std::string::npos) ext = fileName.substr(dot + 1);
  for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "png") return DecodePng(bytes.data(), bytes.size());
  if (ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "jfif") return DecodeJpeg(bytes.data(), bytes.size());
  if (ext == "bmp" || ext == "dib") return CBitmap32::DecodeBmp(bytes.data(), bytes.size());
  return std::nullopt;
}

std::optional<CBitmap32> LoadImageFile(const std::string& path) {
  plat::FileReadResult file = plat::ReadWholeFile(path);
  if (!file.Ok()) return std::nullopt;
  return DecodeImage(file.bytes, path);
}

const char* const kMsgSecureWrite = "In secure mode you cannot write file ";

bool SaveImageFile(const CBitmap32& b, const std::string& path, bool insideWorkingDirectory) {
  std::string lower = path;
  for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".png") == 0)
    return SavePng(b, path, insideWorkingDirectory);
  std::vector<uint8_t> bytes = b.EncodeBmp();
  return !bytes.empty() && plat::WriteFileAtomically(path, bytes.data(), bytes.size(), insideWorkingDirectory);
}

bool PathInsideWorkingDirectory(const std::string& path) {
  return PathTextInsideWorkingDirectory(path) && plat::WriteStaysInWorkingDirectory(path);
}

bool PathTextInsideWorkingDirectory(const std::string& path) {
  if (path.empty() || path[0] == '/' || path[0] == '\\') return false;
  if (path.size() >= 2 && path[1] == ':') return false;  // drive letters
  int depth = 0;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("/\\", start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (--depth < 0) return false;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    start = end + 1;
  }
  return true;
}

static bool SaveBlock(const std::optional<PixelBlock>& block, const std::string& file, bool secureMode) {
  if (!block) return false;
  CBitmap32 b = CBitmap32::Make(block->width, block->height);
  b.pixels = block->pixels;
  for (auto& p : b.pixels) p |= 0xFF000000u;  // the frame has no alpha channel
  SaveImageFile(b, file, secureMode);  // a failed write is ignored, as for every screenshot
  return true;
}

bool SaveScreenPart(const std::string& file, int x, int y, int w, int h, bool secureMode, std::string& error) {
  if (file.empty()) {
    error = "Trying to save screen to empty image file name.";
    return false;
  }
  if (secureMode && !PathInsideWorkingDirectory(file)) {
    error = kMsgSecureWrite + file;
    return false;
  }
  return SaveBlock(ReadBack(x, y, w, h), file, secureMode);
}

bool SaveSurfacePart(int surface, const std::string& file, int x, int y, int w, int h, bool secureMode,
                     std::string& error) {
  if (!SurfaceExists(surface)) {
    error = "Trying to use non-existing surface.";
    return false;
  }
  if (file.empty()) {
    error = "Trying to save surface to empty image file name.";
    return false;
  }
  if (secureMode && !PathInsideWorkingDirectory(file)) {
    error = kMsgSecureWrite + file;
    return false;
  }
  auto block = SurfaceReadBack(surface, x, y, w, h);
  if (!block) return false;
  CBitmap32 b = CBitmap32::Make(block->width, block->height);
  b.pixels = block->pixels;
  SaveImageFile(b, file, secureMode);
  return true;
}

}  // namespace kv::gfx
