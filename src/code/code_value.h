// RValue: the one value type of the script language (a real or a byte string), plus the general value
// rules every part of the runner shares: rounding real -> integer, truth, comparison and arithmetic faults.
//
// Layout (16 bytes): byte 15 is the tag.
//   0..15  inline string of that length, bytes 0..14 hold the characters (so short strings never allocate);
//   0xFE   long string: bytes 0..7 hold a StrRep* (reference counted, not thread safe: one game thread);
//   0xFF   real: bytes 0..7 hold the double.
// A default-constructed value is real 0. A string's Real() is 0 and a real's Str() is "" (built-in variable
// writes read one field whatever the kind, so the unused field must read as zero / empty).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <type_traits>

namespace kv {

// Raised when arithmetic would produce an infinity or NaN, or a real cannot be rounded into 64 bits.
// It abandons what was running (the rest of the step, or the load while constants are defined); it is never
// a reported error. Whoever catches it restores its own state by RAII.
struct ArithmeticFault : std::exception {
  const char* what() const noexcept override { return "arithmetic fault"; }
};

[[noreturn]] void ThrowArithmeticFault();

// Results longer than this are refused with kStringTooLongMessage instead of exhausting memory.
constexpr size_t kMaxStringLength = 0x7FFFFFF0u;
inline constexpr const char* kStringTooLongMessage = "String result is too long.";

// Throws ArithmeticFault unless r is finite; returns r so it can wrap an expression.
[[gnu::always_inline]] inline double CheckFinite(double r) {
  if (!std::isfinite(r)) ThrowArithmeticFault();
  return r;
}

int64_t RoundToInt64Slow(double r);

// Nearest integer, halves to even, as int64; outside the int64 range (or NaN) -> ArithmeticFault.
inline int64_t RoundToInt64(double r) {
  if (r >= -9.2233720368547758e18 && r < 9.2233720368547758e18) {
    int64_t i = static_cast<int64_t>(r);
    if (static_cast<double>(i) == r) return i;  // already integral: the common case (indices, counters)
  }
  return RoundToInt64Slow(r);
}

// Rounded like RoundToInt64, keeping only the low 32 bits (int32 targets such as built-in int variables).
inline int32_t RoundToInt32Wrap(double r) { return static_cast<int32_t>(static_cast<uint32_t>(RoundToInt64(r))); }

// Saturating rounding for device-facing ints (colours, sizes, ids): halves to even, clamped, NaN -> 0. Never faults.
inline int32_t RoundToInt(double r) {
  if (!(r == r)) return 0;
  if (r >= 2147483647.0) return 2147483647;
  if (r <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(std::nearbyint(r));
}

// A real counts as true when it is 0.5 or more (the `if` statement alone needs more than 0.5).
inline bool IsTrue(double r) { return r >= 0.5; }

struct StrRep {
  uint32_t refs;
  uint32_t len;
  uint32_t cap;
  char data[1];  // cap bytes follow (flexible tail)

  static StrRep* Make(size_t len, size_t cap);  // refs = 1, len set, data uninitialised
  void Release() {
    if (--refs == 0) ::operator delete(this);
  }
};

class RValue {
 public:
  static constexpr uint8_t kTagLong = 0xFE;
  static constexpr uint8_t kTagReal = 0xFF;
  static constexpr size_t kInlineMax = 15;

  RValue() noexcept { SetRaw(0.0); }
  RValue(double r) noexcept { SetRaw(r); }  // NOLINT: implicit on purpose, `result = 5.0`
  // Integers (and bools) are reals too: `RValue args[] = {id, w, h}` needs no casts.
  template <class T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
  RValue(T v) noexcept {  // NOLINT: implicit on purpose
    SetRaw(static_cast<double>(v));
  }
  explicit RValue(std::string_view s) { InitString(s.data(), s.size()); }
  explicit RValue(const char* s) { InitString(s, std::strlen(s)); }
  explicit RValue(const std::string& s) { InitString(s.data(), s.size()); }
  static RValue FromReal(double r) { return RValue(r); }
  static RValue FromString(std::string_view s) { return RValue(s); }

  RValue(const RValue& o) noexcept {
    std::memcpy(bytes_, o.bytes_, 16);
    if (Tag() == kTagLong) rep()->refs++;
  }
  RValue(RValue&& o) noexcept {
    std::memcpy(bytes_, o.bytes_, 16);
    o.SetRaw(0.0);
  }
  RValue& operator=(const RValue& o) noexcept {
    if (o.Tag() == kTagLong) o.rep()->refs++;
    if (Tag() == kTagLong) rep()->Release();
    std::memcpy(bytes_, o.bytes_, 16);
    return *this;
  }
  RValue& operator=(RValue&& o) noexcept {
    if (this != &o) {
      if (Tag() == kTagLong) rep()->Release();
      std::memcpy(bytes_, o.bytes_, 16);
      o.SetRaw(0.0);
    }
    return *this;
  }
  RValue& operator=(double r) noexcept {
    SetReal(r);
    return *this;
  }
  ~RValue() {
    if (Tag() == kTagLong) rep()->Release();
  }

  // 0 real, 1 string (the stored `kind`).
  int Kind() const { return Tag() == kTagReal ? 0 : 1; }
  [[gnu::always_inline]] bool IsReal() const { return Tag() == kTagReal; }
  bool IsString() const { return Tag() != kTagReal; }

  // The real field: the number for a real, 0 for a string.
  double Real() const {
    if (Tag() != kTagReal) return 0.0;
    double r;
    std::memcpy(&r, bytes_, 8);
    return r;
  }
  // Only valid when IsReal(); no check (hot paths test the tag first).
  [[gnu::always_inline]] double RealUnchecked() const {
    double r;
    std::memcpy(&r, bytes_, 8);
    return r;
  }
  // The string field: the text for a string, "" for a real. Valid until the value changes.
  std::string_view Str() const {
    uint8_t t = Tag();
    if (t <= kInlineMax) return std::string_view(reinterpret_cast<const char*>(bytes_), t);
    if (t == kTagLong) return std::string_view(rep()->data, rep()->len);
    return std::string_view();
  }
  std::string ToStdString() const { return std::string(Str()); }
  size_t StrLength() const {
    uint8_t t = Tag();
    if (t <= kInlineMax) return t;
    if (t == kTagLong) return rep()->len;
    return 0;
  }

  [[gnu::always_inline]] void SetReal(double r) noexcept {
    if (Tag() == kTagLong) rep()->Release();
    SetRaw(r);
  }
  void SetString(std::string_view s) {
    RValue tmp(s);
    *this = std::move(tmp);
  }
  // Appends in place when this value is a string that nobody else shares (amortised O(1) per byte);
  // a real becomes the string first. Throws std::length_error past kMaxStringLength (callers check first).
  void Append(std::string_view s);
  // Makes an uninitialised string of length n and returns its bytes for the caller to fill.
  char* ResizeUninitialised(size_t n);

  bool operator==(const RValue& o) const;  // same kind and equal (reals exactly, strings bytewise)
  bool operator!=(const RValue& o) const { return !(*this == o); }

  [[gnu::always_inline]] uint8_t Tag() const { return bytes_[15]; }

 private:
  [[gnu::always_inline]] void SetRaw(double r) noexcept {
    std::memcpy(bytes_, &r, 8);
    std::memset(bytes_ + 8, 0, 7);
    bytes_[15] = kTagReal;
  }
  void InitString(const char* p, size_t n);
  StrRep* rep() const {
    StrRep* r;
    std::memcpy(&r, bytes_, sizeof r);
    return r;
  }
  void set_rep(StrRep* r) {
    std::memcpy(bytes_, &r, sizeof r);
    bytes_[15] = kTagLong;
  }

  alignas(8) uint8_t bytes_[16];
};
static_assert(sizeof(RValue) == 16, "RValue must stay 16 bytes");

// Byte-wise unsigned comparison, a proper prefix is smaller: <0, 0, >0.
int CompareStrings(std::string_view a, std::string_view b);

// The formats values take in text: reals as %.17g (used by kvbench and debugging output).
std::string RealToDebugString(double r);

}  // namespace kv
