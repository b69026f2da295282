// What the six data structures share: the value comparison with its global precision, and the byte image
// behind their text form (little-endian ints, doubles and values, written as upper-case hex digits).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "code/code_value.h"

namespace kv {

// Comparison precision, initially 1e-8; ds_set_precision stores the absolute value. 0 means a relative
// tolerance of 1e-12 (never below 1e-12 absolute).
double DsPrecision();
void SetDsPrecision(double precision);

// -1, 0 or 1. Reals are equal within the precision, else ordered by value; strings bytewise; a real is
// smaller than any string. Used by every search, sort, minimum and maximum of the structures.
int DsCompare(const RValue& a, const RValue& b);
inline bool DsEqual(const RValue& a, const RValue& b) { return DsCompare(a, b) == 0; }
bool DsRealsEqual(double a, double b);

// Kind codes at the start of each text form.
enum DsKindCode : int32_t {
  kDsStackCode = 101,
  kDsQueueCode = 201,
  kDsListCode = 301,
  kDsMapCode = 401,
  kDsPriorityCode = 501,
  kDsGridCode = 601,
};

// Builds the byte image and turns it into hex text.
class DsImageWriter {
 public:
  void WriteInt(int32_t v);
  void WriteReal(double v);
  // int32 kind, float64 real part, int32 length + bytes of the string part (both parts always written).
  void WriteValue(const RValue& v);
  std::string ToHex() const;

 private:
  std::string bytes_;
};

// Reads a byte image from hex text. Every read is bounds-checked; a failed read leaves ok() false and
// returns zeros, so a reader parses into temporaries and commits only when ok() holds at the end.
class DsImageReader {
 public:
  // Characters other than hex digits make the whole text malformed; a final odd character is ignored.
  explicit DsImageReader(std::string_view hex);
  bool ok() const { return ok_; }
  size_t Remaining() const { return bytes_.size() - pos_; }
  int32_t ReadInt();
  double ReadReal();  // a non-finite real is malformed (values never hold Inf/NaN)
  RValue ReadValue();
  // A count of items read from the text: malformed unless 0 <= count and count * minBytesEach fits in
  // what is left, so no text can make us allocate more than its own length justifies.
  bool CheckCount(int64_t count, size_t minBytesEach);
  void Fail() { ok_ = false; }

  static constexpr size_t kMinValueBytes = 16;  // kind + real + empty string

 private:
  bool Take(void* dst, size_t n);
  std::vector<uint8_t> bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// Reads the text's leading kind code: false (structure untouched) when it is not `code` or the text is bad.
bool DsReadHeader(DsImageReader& r, int32_t code);

}  // namespace kv
