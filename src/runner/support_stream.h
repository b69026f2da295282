#pragma once
// CStream: the binary container every stored format is built from (game data, resource records, saved games).
// A growable little-endian byte buffer with one read/write position. Every read is bounds-checked and throws
// StreamError; a length or count taken from the data never allocates more than the remaining bytes justify.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/bitmap32.h"

namespace kv {

// Truncated data, a bad zlib stream or an impossible size: the loader reports the file as corrupted.
struct StreamError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The most one compressed block may inflate to. Real blocks stay far below it; a small block that inflates past it
// is a decompression bomb.
inline constexpr size_t kMaxInflatedBlockBytes = size_t{256} << 20;

class CStream {
 public:
  CStream() = default;
  explicit CStream(std::vector<uint8_t> bytes) : buf_(std::move(bytes)) {}

  // The whole regular file, position 0; false when it is missing, not a regular file, unreadable or over 256 MB.
  static bool LoadFile(const std::string& path, CStream& out);
  bool SaveFile(const std::string& path) const;                 // plain write of the whole buffer

  size_t Size() const { return buf_.size(); }
  size_t Position() const { return pos_; }
  void Seek(size_t pos);  // may point at the end, not beyond it
  size_t Remaining() const { return buf_.size() - pos_; }
  const uint8_t* Data() const { return buf_.data(); }
  std::vector<uint8_t>& Buffer() { return buf_; }
  const std::vector<uint8_t>& Buffer() const { return buf_; }

  int32_t ReadInt();
  double ReadReal();
  bool ReadBool();  // a stored int greater than 0
  std::string ReadString();  // int length + bytes; a negative length reads as ""
  void ReadBytes(void* dst, size_t n);
  void Skip(size_t n);
  CStream ReadStream();      // int size + raw bytes, as a new stream at position 0
  // int size + one zlib stream, inflated into a new stream at position 0. A block that inflates to more than
  // maxBytes throws StreamError (a decompression bomb reads as a corrupted file).
  CStream ReadCompressed(size_t maxBytes = kMaxInflatedBlockBytes);
  // bool present (+ compressed BMP file). Undecodable bytes give nullopt; the block is consumed either way.
  std::optional<CBitmap32> ReadBitmap();

  // Throws unless 0 <= count and count records of at least minBytesEach bytes fit in the remaining bytes.
  void CheckCount(int64_t count, size_t minBytesEach) const;

  void WriteInt(int32_t v);
  void WriteReal(double v);
  void WriteBool(bool v);  // 0 or 1
  void WriteString(std::string_view s);
  void WriteBytes(const void* src, size_t n);
  void WriteCompressed(const uint8_t* data, size_t n);  // int size + zlib stream
  void WriteCompressed(const CStream& s);               // the whole buffer of s
  void WriteBitmap(const CBitmap32* bmp);               // bool present (+ compressed BMP file)

  std::string ToHex() const;          // two upper-case hex digits per byte
  void FromHex(std::string_view hex);  // clears, parses pairs (odd trailing digit ignored), position 0;
                                       // a pair that is not hex throws StreamError

 private:
  const uint8_t* Take(size_t n);  // bounds-checked pointer to the next n bytes, advances
  uint8_t* Put(size_t n);         // room for n bytes at the position (grows), advances

  std::vector<uint8_t> buf_;
  size_t pos_ = 0;
};

// Inflates one complete zlib stream. Throws StreamError on bad or truncated data, and when the output would be
// larger than maxOut bytes.
std::vector<uint8_t> InflateBytes(const uint8_t* data, size_t n, size_t maxOut = kMaxInflatedBlockBytes);
// Limits what all compressed blocks inflated while it lives may add up to (blocks nested in the game data each stay
// under the per-block limit, yet many of them could still exhaust memory). Going past it throws StreamError.
// Scopes nest; the innermost one counts.
class ScopedInflateBudget {
 public:
  explicit ScopedInflateBudget(size_t totalBytes);
  ~ScopedInflateBudget();
  ScopedInflateBudget(const ScopedInflateBudget&) = delete;
  ScopedInflateBudget& operator=(const ScopedInflateBudget&) = delete;
  size_t Remaining() const { return remaining_; }

 private:
  friend std::vector<uint8_t> InflateBytes(const uint8_t* data, size_t n, size_t maxOut);
  size_t remaining_;
  ScopedInflateBudget* outer_;
};

// Benchmark hook: when set, called with every compressed block before it is inflated (null to remove).
using InflateTap = void (*)(const uint8_t* data, size_t n, void* user);
void SetInflateTap(InflateTap tap, void* user);
std::vector<uint8_t> DeflateBytes(const uint8_t* data, size_t n);

// In-place byte substitution of the stored game data. count <= 0 means to the end of the stream.
// Unscramble: v -> (inverse[v] - p) mod 256, p the absolute byte offset. Substitute: v -> inverse[v].
void Unscramble(CStream& s, int32_t seed, size_t start, int64_t count);
void Substitute(CStream& s, int32_t seed, size_t start, int64_t count);
// Writer-side inverses (kvpack, tests).
void Scramble(CStream& s, int32_t seed, size_t start, int64_t count);
void Unsubstitute(CStream& s, int32_t seed, size_t start, int64_t count);

// The two 256-entry tables built from a seed; exposed for tests.
struct SubstitutionTables {
  uint8_t forward[256];
  uint8_t inverse[256];
};
SubstitutionTables MakeSubstitutionTables(int32_t seed);

}  // namespace kv
