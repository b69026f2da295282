#include "code/code_value.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>

namespace kv {

void ThrowArithmeticFault() { throw ArithmeticFault(); }

int64_t RoundToInt64Slow(double r) {
  if (r >= -9.2233720368547758e18 && r < 9.2233720368547758e18) return static_cast<int64_t>(std::nearbyint(r));
  ThrowArithmeticFault();
}

StrRep* StrRep::Make(size_t len, size_t cap) {
  if (cap < len) cap = len;
  if (cap > kMaxStringLength) throw std::length_error("string too long");
  void* mem = ::operator new(offsetof(StrRep, data) + cap + 1);
  StrRep* r = static_cast<StrRep*>(mem);
  r->refs = 1;
  r->len = static_cast<uint32_t>(len);
  r->cap = static_cast<uint32_t>(cap);
  return r;
}

void RValue::InitString(const char* p, size_t n) {
  if (n <= kInlineMax) {
    std::memset(bytes_, 0, 15);
    if (n) std::memcpy(bytes_, p, n);
    bytes_[15] = static_cast<uint8_t>(n);
    return;
  }
  StrRep* r = StrRep::Make(n, n);
  std::memcpy(r->data, p, n);
  std::memset(bytes_, 0, 16);
  set_rep(r);
}

char* RValue::ResizeUninitialised(size_t n) {
  RValue tmp;
  if (n <= kInlineMax) {
    std::memset(tmp.bytes_, 0, 16);
    tmp.bytes_[15] = static_cast<uint8_t>(n);
  } else {
    StrRep* r = StrRep::Make(n, n);
    std::memset(tmp.bytes_, 0, 16);
    tmp.set_rep(r);
  }
  *this = std::move(tmp);
  return Tag() == kTagLong ? rep()->data : reinterpret_cast<char*>(bytes_);
}

void RValue::Append(std::string_view s) {
  if (s.empty()) {
    if (IsReal()) SetString({});
    return;
  }
  uint8_t t = Tag();
  if (t == kTagLong) {
    StrRep* r = rep();
    size_t newLen = size_t(r->len) + s.size();
    if (newLen > kMaxStringLength) throw std::length_error("string too long");
    if (r->refs == 1 && newLen <= r->cap) {
      std::memcpy(r->data + r->len, s.data(), s.size());
      r->len = static_cast<uint32_t>(newLen);
      return;
    }
    size_t cap = std::min<size_t>(kMaxStringLength, std::max(newLen, size_t(r->cap) + r->cap / 2 + 16));
    StrRep* n = StrRep::Make(newLen, cap);
    std::memcpy(n->data, r->data, r->len);
    std::memcpy(n->data + r->len, s.data(), s.size());
    r->Release();
    set_rep(n);
    return;
  }
  std::string_view cur = Str();  // inline or empty (real)
  size_t newLen = cur.size() + s.size();
  if (newLen <= kInlineMax) {
    uint8_t buf[16];
    std::memset(buf, 0, 16);
    std::memcpy(buf, cur.data(), cur.size());
    std::memcpy(buf + cur.size(), s.data(), s.size());
    buf[15] = static_cast<uint8_t>(newLen);
    std::memcpy(bytes_, buf, 16);
    return;
  }
  if (newLen > kMaxStringLength) throw std::length_error("string too long");
  StrRep* n = StrRep::Make(newLen, std::max<size_t>(newLen, 32));
  std::memcpy(n->data, cur.data(), cur.size());
  std::memcpy(n->data + cur.size(), s.data(), s.size());
  std::memset(bytes_, 0, 16);
  set_rep(n);
}

bool RValue::operator==(const RValue& o) const {
  if (IsReal() != o.IsReal()) return false;
  if (IsReal()) return RealUnchecked() == o.RealUnchecked();
  return Str() == o.Str();
}

int CompareStrings(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  int c = n ? std::memcmp(a.data(), b.data(), n) : 0;  // memcmp compares as unsigned char
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string RealToDebugString(double r) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", r);
  return buf;
}

}  // namespace kv
