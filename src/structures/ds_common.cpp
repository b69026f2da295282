#include "structures/ds_common.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kv {

namespace {
double g_precision = 0.00000001;
}

double DsPrecision() { return g_precision; }
void SetDsPrecision(double precision) { g_precision = std::fabs(precision); }

bool DsRealsEqual(double a, double b) {
  double diff = std::fabs(a - b);
  if (g_precision != 0) return diff <= g_precision;
  return diff <= std::max(std::min(std::fabs(a), std::fabs(b)) * 1e-12, 1e-12);
}

int DsCompare(const RValue& a, const RValue& b) {
  bool ar = a.IsReal(), br = b.IsReal();
  if (ar && br) {
    double x = a.RealUnchecked(), y = b.RealUnchecked();
    if (x == y || DsRealsEqual(x, y)) return 0;
    return x < y ? -1 : 1;
  }
  if (ar != br) return ar ? -1 : 1;
  return CompareStrings(a.Str(), b.Str());
}

// ---- image writer ----

void DsImageWriter::WriteInt(int32_t v) {
  uint8_t b[4];
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
  bytes_.append(reinterpret_cast<const char*>(b), 4);
}

void DsImageWriter::WriteReal(double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
  bytes_.append(reinterpret_cast<const char*>(b), 8);
}

void DsImageWriter::WriteValue(const RValue& v) {
  WriteInt(v.Kind());
  WriteReal(v.Real());
  std::string_view s = v.Str();
  WriteInt(static_cast<int32_t>(s.size()));
  bytes_.append(s);
}

std::string DsImageWriter::ToHex() const {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out(bytes_.size() * 2, '0');
  for (size_t i = 0; i < bytes_.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(bytes_[i]);
    out[2 * i] = kDigits[b >> 4];
    out[2 * i + 1] = kDigits[b & 15];
  }
  return out;
}

// ---- image reader ----

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
}  // namespace

DsImageReader::DsImageReader(std::string_view hex) {
  size_t n = hex.size() / 2;
  bytes_.resize(n);
  for (size_t i = 0; i < n; ++i) {
    int hi = HexValue(hex[2 * i]), lo = HexValue(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) {
      ok_ = false;
      bytes_.clear();
      return;
    }
    bytes_[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
}

bool DsImageReader::Take(void* dst, size_t n) {
  if (!ok_ || Remaining() < n) {
    ok_ = false;
    std::memset(dst, 0, n);
    return false;
  }
  std::memcpy(dst, bytes_.data() + pos_, n);
  pos_ += n;
  return true;
}

int32_t DsImageReader::ReadInt() {
  uint8_t b[4];
  if (!Take(b, 4)) return 0;
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(b[i]) << (8 * i);
  return static_cast<int32_t>(u);
}

double DsImageReader::ReadReal() {
  uint8_t b[8];
  if (!Take(b, 8)) return 0;
  uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u |= static_cast<uint64_t>(b[i]) << (8 * i);
  double v;
  std::memcpy(&v, &u, 8);
  if (!std::isfinite(v)) {
    ok_ = false;
    return 0;
  }
  return v;
}

RValue DsImageReader::ReadValue() {
  int32_t kind = ReadInt();
  double real = ReadReal();
  int32_t len = ReadInt();
  if (!ok_) return RValue();
  if (kind != 0 && kind != 1) {
    ok_ = false;
    return RValue();
  }
  size_t n = len > 0 ? static_cast<size_t>(len) : 0;  // a negative length is an empty string
  if (Remaining() < n) {
    ok_ = false;
    return RValue();
  }
  std::string_view s(reinterpret_cast<const char*>(bytes_.data() + pos_), n);
  pos_ += n;
  if (kind == 0) return RValue(real);
  return RValue(s);
}

bool DsImageReader::CheckCount(int64_t count, size_t minBytesEach) {
  if (!ok_ || count < 0 || static_cast<uint64_t>(count) > Remaining() / minBytesEach) ok_ = false;
  return ok_;
}

bool DsReadHeader(DsImageReader& r, int32_t code) { return r.ReadInt() == code && r.ok(); }

}  // namespace kv
