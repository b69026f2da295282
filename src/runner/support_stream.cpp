#include "runner/support_stream.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/file_read.h"

namespace kv {

static_assert(std::endian::native == std::endian::little, "stored formats are little-endian; add byte swaps");

// ---- file I/O -------------------------------------------------------------------------------------------------

bool CStream::LoadFile(const std::string& path, CStream& out) {
  plat::FileReadResult file = plat::ReadWholeFile(path);
  if (!file.Ok()) return false;
  out = CStream(std::move(file.bytes));
  return true;
}

bool CStream::SaveFile(const std::string& path) const {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f) return false;
  if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f.get()) != buf_.size()) return false;
  return std::fflush(f.get()) == 0;
}

// ---- reading --------------------------------------------------------------------------------------------------

void CStream::Seek(size_t pos) {
  if (pos > buf_.size()) throw StreamError("seek past the end of the stream");
  pos_ = pos;
}

const uint8_t* CStream::Take(size_t n) {
  if (n > Remaining()) throw StreamError("read past the end of the stream");
  const uint8_t* p = buf_.data() + pos_;
  pos_ += n;
  return p;
}

int32_t CStream::ReadInt() {
  int32_t v;
  std::memcpy(&v, Take(4), 4);
  return v;
}

double CStream::ReadReal() {
  double v;
  std::memcpy(&v, Take(8), 8);
  return v;
}

bool CStream::ReadBool() { return ReadInt() > 0; }

std::string CStream::ReadString() {
  int32_t n = ReadInt();
  if (n <= 0) return {};
  const uint8_t* p = Take(static_cast<size_t>(n));
  return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
}

void CStream::ReadBytes(void* dst, size_t n) {
  const uint8_t* p = Take(n);
  if (n) std::memcpy(dst, p, n);
}

void CStream::Skip(size_t n) { Take(n); }

void CStream::CheckCount(int64_t count, size_t minBytesEach) const {
  if (count < 0) throw StreamError("negative count");
  if (minBytesEach == 0) return;
  if (static_cast<uint64_t>(count) > Remaining() / minBytesEach) throw StreamError("count exceeds the data left");
}

static size_t ReadBlockSize(CStream& s) {
  int32_t n = s.ReadInt();
  if (n < 0) throw StreamError("negative block size");
  if (static_cast<size_t>(n) > s.Remaining()) throw StreamError("block runs past the end of the stream");
  return static_cast<size_t>(n);
}

CStream CStream::ReadStream() {
  size_t n = ReadBlockSize(*this);
  const uint8_t* p = Take(n);
  return CStream(std::vector<uint8_t>(p, p + n));
}

CStream CStream::ReadCompressed(size_t maxBytes) {
  size_t n = ReadBlockSize(*this);
  const uint8_t* p = Take(n);
  return CStream(InflateBytes(p, n, maxBytes));
}

std::optional<CBitmap32> CStream::ReadBitmap() {
  if (!ReadBool()) return std::nullopt;
  CStream bmp = ReadCompressed();
  return CBitmap32::DecodeBmp(bmp.Data(), bmp.Size());
}

// ---- writing --------------------------------------------------------------------------------------------------

uint8_t* CStream::Put(size_t n) {
  if (pos_ + n > buf_.size()) {
    if (pos_ + n > buf_.capacity()) buf_.reserve(std::max(pos_ + n, buf_.capacity() * 2));
    buf_.resize(pos_ + n);
  }
  uint8_t* p = buf_.data() + pos_;
  pos_ += n;
  return p;
}

void CStream::WriteInt(int32_t v) { std::memcpy(Put(4), &v, 4); }
void CStream::WriteReal(double v) { std::memcpy(Put(8), &v, 8); }
void CStream::WriteBool(bool v) { WriteInt(v ? 1 : 0); }

void CStream::WriteString(std::string_view s) {
  if (s.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) throw StreamError("string too long");
  WriteInt(static_cast<int32_t>(s.size()));
  WriteBytes(s.data(), s.size());
}

void CStream::WriteBytes(const void* src, size_t n) {
  if (n) std::memcpy(Put(n), src, n);
}

void CStream::WriteCompressed(const uint8_t* data, size_t n) {
  std::vector<uint8_t> z = DeflateBytes(data, n);
  if (z.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) throw StreamError("block too large");
  WriteInt(static_cast<int32_t>(z.size()));
  WriteBytes(z.data(), z.size());
}

void CStream::WriteCompressed(const CStream& s) { WriteCompressed(s.Data(), s.Size()); }

void CStream::WriteBitmap(const CBitmap32* bmp) {
  bool present = bmp && bmp->exists && bmp->width > 0 && bmp->height > 0;
  WriteBool(present);
  if (!present) return;
  std::vector<uint8_t> file = bmp->EncodeBmp();
  WriteCompressed(file.data(), file.size());
}

// ---- hex text -------------------------------------------------------------------------------------------------

std::string CStream::ToHex() const {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out(buf_.size() * 2, '0');
  for (size_t i = 0; i < buf_.size(); ++i) {
    out[2 * i] = kDigits[buf_[i] >> 4];
    out[2 * i + 1] = kDigits[buf_[i] & 15];
  }
  return out;
}

static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void CStream::FromHex(std::string_view hex) {
  buf_.clear();
  pos_ = 0;
  buf_.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) {
      buf_.clear();
      throw StreamError("invalid hexadecimal text");
    }
    buf_.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
}

// ---- zlib -----------------------------------------------------------------------------------------------------

namespace {
InflateTap g_inflateTap = nullptr;
void* g_inflateTapUser = nullptr;
ScopedInflateBudget* g_inflateBudget = nullptr;
}  // namespace

ScopedInflateBudget::ScopedInflateBudget(size_t totalBytes) : remaining_(totalBytes), outer_(g_inflateBudget) {
  g_inflateBudget = this;
}

ScopedInflateBudget::~ScopedInflateBudget() { g_inflateBudget = outer_; }

void SetInflateTap(InflateTap tap, void* user) {
  g_inflateTap = tap;
  g_inflateTapUser = user;
}

std::vector<uint8_t> InflateBytes(const uint8_t* data, size_t n, size_t maxOut) {
  if (g_inflateTap) g_inflateTap(data, n, g_inflateTapUser);
  ScopedInflateBudget* budget = g_inflateBudget;
  if (budget) maxOut = std::min(maxOut, budget->remaining_);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw StreamError("zlib initialisation failed");
  std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&z, &inflateEnd);
  // Reserve address space for a typical 4x ratio but grow the initialised size a slice at a time just ahead of
  // the output: untouched reserved pages cost nothing, so a block that turns out smaller (nested compressed data
  // is close to 1x) never pays for zero-filling memory it does not use.
  constexpr size_t kSlice = 256 * 1024;
  constexpr size_t kMaxGuess = size_t{256} << 20;
  // The output buffer never grows past maxOut + 1 bytes: producing that last byte proves the block too large.
  const size_t limit = maxOut == std::numeric_limits<size_t>::max() ? maxOut : maxOut + 1;
  std::vector<uint8_t> out;
  out.reserve(std::min(limit, std::max(kSlice, n <= kMaxGuess / 4 ? n * 4 : n + kMaxGuess)));
  size_t produced = 0;
  z.next_in = const_cast<Bytef*>(data);
  size_t inLeft = n;
  // The first slice is what a 4x ratio makes of this block: the many small blocks of a game file then touch a
  // few pages each instead of a whole slice.
  constexpr size_t kFirstSliceMin = 4096;
  size_t slice = std::clamp(n <= kSlice / 4 ? n * 4 : kSlice, kFirstSliceMin, kSlice);
  for (;;) {
    if (produced > maxOut) throw StreamError("compressed block inflates beyond its size limit");
    if (out.size() - produced < slice) {
      out.resize(std::min(limit, produced + std::clamp(produced / 8, slice, 16 * kSlice)));
      slice = kSlice;
    }
    uInt inChunk = static_cast<uInt>(std::min<size_t>(inLeft, std::numeric_limits<uInt>::max()));
    uInt outChunk = static_cast<uInt>(std::min<size_t>(out.size() - produced, std::numeric_limits<uInt>::max()));
    z.avail_in = inChunk;
    z.next_out = out.data() + produced;
    z.avail_out = outChunk;
    int rc = inflate(&z, Z_NO_FLUSH);
    inLeft -= inChunk - z.avail_in;
    produced += outChunk - z.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR && z.avail_out != 0) throw StreamError("compressed block is truncated");
    if (rc != Z_OK && rc != Z_BUF_ERROR) throw StreamError("compressed block is corrupt");
    if (inLeft == 0 && z.avail_out != 0) throw StreamError("compressed block is truncated");
  }
  if (produced > maxOut) throw StreamError("compressed block inflates beyond its size limit");
  if (budget) budget->remaining_ -= produced;
  out.resize(produced);
  return out;
}

std::vector<uint8_t> DeflateBytes(const uint8_t* data, size_t n) {
  if (n > std::numeric_limits<uLong>::max()) throw StreamError("block too large");
  uLongf bound = compressBound(static_cast<uLong>(n));
  std::vector<uint8_t> out(bound);
  if (compress2(out.data(), &bound, data, static_cast<uLong>(n), Z_DEFAULT_COMPRESSION) != Z_OK)
    throw StreamError("compression failed");
  out.resize(bound);
  return out;
}

// ---- substitution tables --------------------------------------------------------------------------------------

SubstitutionTables MakeSubstitutionTables(int32_t seed) {
  SubstitutionTables t;
  int64_t a = seed % 250 + 6;
  int64_t b = seed / 250;
  if (a < 0) a += 256;
  if (b < 0) b += 256;
  for (int i = 0; i < 256; ++i) t.forward[i] = t.inverse[i] = static_cast<uint8_t>(i);
  for (int64_t i = 1; i <= 10000; ++i) {
    // Floor modulo: with a strongly negative seed b stays negative, and a truncating modulo would give an
    // index outside 1..254. For every other seed both agree.
    int64_t r = (i * a + b) % 254;
    if (r < 0) r += 254;
    int j = static_cast<int>(r) + 1;
    std::swap(t.forward[j], t.forward[j + 1]);
  }
  for (int i = 1; i < 256; ++i) t.inverse[t.forward[i]] = static_cast<uint8_t>(i);
  return t;
}

// Clamps [start, start + count) to the buffer; count <= 0 means to the end.
static std::pair<size_t, size_t> Range(const CStream& s, size_t start, int64_t count) {
  size_t size = s.Size();
  if (start >= size) return {size, size};
  size_t end = (count <= 0 || static_cast<uint64_t>(count) >= size - start) ? size : start + static_cast<size_t>(count);
  return {start, end};
}

void Unscramble(CStream& s, int32_t seed, size_t start, int64_t count) {
  SubstitutionTables t = MakeSubstitutionTables(seed);
  auto [from, to] = Range(s, start, count);
  uint8_t* p = s.Buffer().data();
  for (size_t i = from; i < to; ++i) p[i] = static_cast<uint8_t>(t.inverse[p[i]] - static_cast<uint8_t>(i));
}

void Scramble(CStream& s, int32_t seed, size_t start, int64_t count) {
  SubstitutionTables t = MakeSubstitutionTables(seed);
  auto [from, to] = Range(s, start, count);
  uint8_t* p = s.Buffer().data();
  for (size_t i = from; i < to; ++i) p[i] = t.forward[static_cast<uint8_t>(p[i] + static_cast<uint8_t>(i))];
}

void Substitute(CStream& s, int32_t seed, size_t start, int64_t count) {
  SubstitutionTables t = MakeSubstitutionTables(seed);
  auto [from, to] = Range(s, start, count);
  uint8_t* p = s.Buffer().data();
  for (size_t i = from; i < to; ++i) p[i] = t.inverse[p[i]];
}

void Unsubstitute(CStream& s, int32_t seed, size_t start, int64_t count) {
  SubstitutionTables t = MakeSubstitutionTables(seed);
  auto [from, to] = Range(s, start, count);
  uint8_t* p = s.Buffer().data();
  for (size_t i = from; i < to; ++i) p[i] = t.forward[p[i]];
}

}  // namespace kv
