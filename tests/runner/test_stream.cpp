// CStream primitives, compressed blocks, embedded bitmaps, hex text and the substitution routines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "graphics/bitmap32.h"
#include "runner/support_stream.h"

namespace kv {
namespace {

CStream FromBytes(std::initializer_list<uint8_t> b) { return CStream(std::vector<uint8_t>(b)); }

CStream IntStream(int32_t v) {
  CStream s;
  s.WriteInt(v);
  s.Seek(0);
  return s;
}

TEST(StreamPrimitives, RoundTrip) {
  CStream s;
  const std::string withNul("a\0b\xff", 4);
  s.WriteInt(-123456789);
  s.WriteInt(std::numeric_limits<int32_t>::min());
  s.WriteReal(-0.1);
  s.WriteReal(std::numeric_limits<double>::infinity());
  s.WriteBool(true);
  s.WriteBool(false);
  s.WriteString(withNul);
  s.WriteString("");
  EXPECT_EQ(s.Size(), 4u + 4 + 8 + 8 + 4 + 4 + 8 + 4);
  s.Seek(0);
  EXPECT_EQ(s.ReadInt(), -123456789);
  EXPECT_EQ(s.ReadInt(), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(s.ReadReal(), -0.1);
  EXPECT_TRUE(std::isinf(s.ReadReal()));
  EXPECT_TRUE(s.ReadBool());
  EXPECT_FALSE(s.ReadBool());
  EXPECT_EQ(s.ReadString(), withNul);
  EXPECT_EQ(s.ReadString(), "");
  EXPECT_EQ(s.Remaining(), 0u);
}

TEST(StreamPrimitives, EncodingsAreLittleEndianAndFixed) {
  CStream s;
  s.WriteBool(true);
  s.WriteInt(0x01020304);
  s.WriteString("ab");
  EXPECT_EQ(s.Buffer(), (std::vector<uint8_t>{1, 0, 0, 0, 4, 3, 2, 1, 2, 0, 0, 0, 'a', 'b'}));
}

TEST(StreamPrimitives, BoolIsTrueOnlyAboveZero) {
  struct Case { int32_t stored; bool value; };
  for (Case c : {Case{0, false}, Case{1, true}, Case{2, true}, Case{255, true}, Case{-1, false},
                 Case{std::numeric_limits<int32_t>::min(), false}}) {
    CStream s = IntStream(c.stored);
    EXPECT_EQ(s.ReadBool(), c.value) << c.stored;
  }
}

TEST(StreamPrimitives, NegativeStringLengthReadsEmpty) {
  CStream s = IntStream(-5);
  EXPECT_EQ(s.ReadString(), "");
  EXPECT_EQ(s.Position(), 4u);
}

// Every read that would run past the end throws and leaves no partial result; lengths are checked before any
// allocation, so a huge length in a tiny stream cannot exhaust memory.
TEST(StreamPrimitives, ReadsPastTheEndThrow) {
  using Reader = void (*)(CStream&);
  struct Case { const char* name; std::vector<uint8_t> bytes; Reader read; };
  const std::vector<Case> cases = {
      {"int short", {1, 2, 3}, [](CStream& s) { s.ReadInt(); }},
      {"real short", {1, 2, 3, 4, 5, 6, 7}, [](CStream& s) { s.ReadReal(); }},
      {"bool empty", {}, [](CStream& s) { s.ReadBool(); }},
      {"string body short", {5, 0, 0, 0, 'a', 'b'}, [](CStream& s) { s.ReadString(); }},
      {"string huge", {0xff, 0xff, 0xff, 0x7f}, [](CStream& s) { s.ReadString(); }},
      {"block huge", {0xff, 0xff, 0xff, 0x7f, 1}, [](CStream& s) { s.ReadStream(); }},
      {"block negative", {0xff, 0xff, 0xff, 0xff}, [](CStream& s) { s.ReadStream(); }},
      {"compressed huge", {0xff, 0xff, 0xff, 0x7f}, [](CStream& s) { s.ReadCompressed(); }},
      {"compressed garbage", {3, 0, 0, 0, 1, 2, 3}, [](CStream& s) { s.ReadCompressed(); }},
      {"compressed empty", {0, 0, 0, 0}, [](CStream& s) { s.ReadCompressed(); }},
      {"bitmap flag only", {1, 0, 0, 0}, [](CStream& s) { s.ReadBitmap(); }},
      {"bytes", {1, 2}, [](CStream& s) { uint8_t b[3]; s.ReadBytes(b, 3); }},
      {"skip", {1, 2}, [](CStream& s) { s.Skip(3); }},
  };
  for (const Case& c : cases) {
    CStream s(c.bytes);
    EXPECT_THROW(c.read(s), StreamError) << c.name;
  }
  CStream s(std::vector<uint8_t>(4));
  EXPECT_THROW(s.Seek(5), StreamError);
}

TEST(StreamPrimitives, CheckCountBoundsRecordCounts) {
  CStream s(std::vector<uint8_t>(40));
  EXPECT_NO_THROW(s.CheckCount(10, 4));
  EXPECT_NO_THROW(s.CheckCount(0, 4));
  EXPECT_THROW(s.CheckCount(11, 4), StreamError);
  EXPECT_THROW(s.CheckCount(-1, 4), StreamError);
  EXPECT_THROW(s.CheckCount(std::numeric_limits<int64_t>::max(), 8), StreamError);
  s.Skip(36);
  EXPECT_THROW(s.CheckCount(2, 4), StreamError);
}

TEST(StreamPrimitives, WritesAtThePositionOverwriteThenGrow) {
  CStream s;
  s.WriteInt(1);
  s.WriteInt(2);
  s.Seek(4);
  s.WriteReal(0.5);
  EXPECT_EQ(s.Size(), 12u);
  s.Seek(0);
  EXPECT_EQ(s.ReadInt(), 1);
  EXPECT_EQ(s.ReadReal(), 0.5);
}

TEST(StreamBlocks, ByteAndCompressedBlocksRoundTrip) {
  std::vector<uint8_t> payload(100000);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>((i * 7919) >> 5);
  CStream s;
  s.WriteInt(static_cast<int32_t>(payload.size()));
  s.WriteBytes(payload.data(), payload.size());
  s.WriteCompressed(payload.data(), payload.size());
  s.WriteCompressed(nullptr, 0);
  s.WriteInt(77);
  s.Seek(0);
  CStream raw = s.ReadStream();
  EXPECT_EQ(raw.Buffer(), payload);
  EXPECT_EQ(raw.Position(), 0u);
  CStream inflated = s.ReadCompressed();
  EXPECT_EQ(inflated.Buffer(), payload);
  EXPECT_EQ(inflated.Position(), 0u);
  EXPECT_EQ(s.ReadCompressed().Size(), 0u);
  EXPECT_EQ(s.ReadInt(), 77);
}

TEST(StreamBlocks, TruncatedOrCorruptZlibThrows) {
  std::vector<uint8_t> payload(5000, 'x');
  std::vector<uint8_t> z = DeflateBytes(payload.data(), payload.size());
  for (size_t cut : {size_t{2}, z.size() / 2, z.size() - 1}) {
    CStream s;
    s.WriteInt(static_cast<int32_t>(cut));
    s.WriteBytes(z.data(), cut);
    s.Seek(0);
    EXPECT_THROW(s.ReadCompressed(), StreamError) << cut;
  }
  std::vector<uint8_t> bad = z;
  bad[bad.size() - 1] ^= 0x55;  // Adler-32 trailer
  EXPECT_THROW(InflateBytes(bad.data(), bad.size()), StreamError);
}

// A block may inflate to its limit but not one byte past it, however small it is compressed (a decompression
// bomb).
TEST(StreamBlocks, InflatingPastTheLimitThrows) {
  struct Case {
    size_t size, limit;
    bool fits;
  };
  const Case cases[] = {{1000, 1000, true},     {1001, 1000, false},       {0, 0, true},
                        {1, 0, false},          {600000, 600000, true},    {600001, 600000, false},
                        {3 << 20, 1 << 20, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " in " + std::to_string(c.limit));
    const std::vector<uint8_t> payload(c.size, 0);
    CStream s;
    s.WriteCompressed(payload.data(), payload.size());
    s.Seek(0);
    if (c.fits) {
      EXPECT_EQ(s.ReadCompressed(c.limit).Size(), c.size);
    } else {
      EXPECT_THROW(s.ReadCompressed(c.limit), StreamError);
    }
  }
  static_assert(kMaxInflatedBlockBytes == size_t{256} << 20);
}

// Many blocks, each under the per-block limit, may not add up past the budget of the scope they are read in.
TEST(StreamBlocks, InflatedBlocksShareTheBudgetOfTheirScope) {
  const std::vector<uint8_t> payload(1000, 7);
  const std::vector<uint8_t> z = DeflateBytes(payload.data(), payload.size());
  {
    ScopedInflateBudget budget(2500);
    EXPECT_EQ(InflateBytes(z.data(), z.size()).size(), 1000u);
    {
      ScopedInflateBudget inner(999);  // the innermost scope counts
      EXPECT_THROW(InflateBytes(z.data(), z.size()), StreamError);
    }
    EXPECT_EQ(InflateBytes(z.data(), z.size()).size(), 1000u);
    EXPECT_EQ(budget.Remaining(), 500u);
    EXPECT_THROW(InflateBytes(z.data(), z.size()), StreamError);
  }
  for (int i = 0; i < 5; ++i) EXPECT_EQ(InflateBytes(z.data(), z.size()).size(), 1000u);  // no scope, no budget
}

CBitmap32 TestImage(int w, int h) {
  CBitmap32 b = CBitmap32::Make(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.pixels[static_cast<size_t>(y) * w + x] = static_cast<uint32_t>(x * 0x01020304u + y * 0x10305070u);
  return b;
}

TEST(StreamBitmaps, EmbeddedBitmapRoundTripsEveryPixel) {
  CBitmap32 img = TestImage(7, 3);
  CStream s;
  s.WriteBitmap(&img);
  s.WriteBitmap(nullptr);
  s.WriteInt(9);
  s.Seek(0);
  std::optional<CBitmap32> back = s.ReadBitmap();
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, img);
  EXPECT_FALSE(s.ReadBitmap());
  EXPECT_EQ(s.ReadInt(), 9);
}

TEST(StreamBitmaps, UndecodableBitmapIsConsumedAndAbsent) {
  const char junk[] = "not a bitmap at all";
  CStream s;
  s.WriteBool(true);
  s.WriteCompressed(reinterpret_cast<const uint8_t*>(junk), sizeof junk);
  s.WriteInt(42);
  s.Seek(0);
  EXPECT_FALSE(s.ReadBitmap());
  EXPECT_EQ(s.ReadInt(), 42);
}

// Hand-built BMP files of the formats an editor exports: 24-bit bottom-up, 8-bit palette, 32-bit top-down.
std::vector<uint8_t> BmpFile(int w, int h, int bpp, const std::vector<uint8_t>& palette,
                             const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> f(54 + palette.size() + rows.size());
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&f[at], &v, 4); };
  f[0] = 'B', f[1] = 'M';
  put32(10, static_cast<uint32_t>(54 + palette.size()));
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  f[26] = 1;
  f[28] = static_cast<uint8_t>(bpp);
  std::copy(palette.begin(), palette.end(), f.begin() + 54);
  std::copy(rows.begin(), rows.end(), f.begin() + 54 + static_cast<ptrdiff_t>(palette.size()));
  put32(2, static_cast<uint32_t>(f.size()));
  return f;
}

TEST(Bitmap32, DecodesCommonBmpLayouts) {
  // 2x2, 24-bit, bottom-up, rows padded to 8 bytes. Bottom row: blue, green; top row: red, white.
  auto f24 = BmpFile(2, 2, 24, {}, {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0});
  auto b24 = CBitmap32::DecodeBmp(f24.data(), f24.size());
  ASSERT_TRUE(b24);
  EXPECT_EQ(b24->pixels, (std::vector<uint32_t>{0xFFFF0000, 0xFFFFFFFF, 0xFF0000FF, 0xFF00FF00}));

  // 3x1, 8-bit, two palette entries used by count 0 (full 256-entry palette).
  std::vector<uint8_t> pal(256 * 4, 0);
  pal[4] = 0x10, pal[5] = 0x20, pal[6] = 0x30;
  auto f8 = BmpFile(3, 1, 8, pal, {1, 0, 1, 0});
  auto b8 = CBitmap32::DecodeBmp(f8.data(), f8.size());
  ASSERT_TRUE(b8);
  EXPECT_EQ(b8->pixels, (std::vector<uint32_t>{0xFF302010, 0xFF000000, 0xFF302010}));

  // 1x2, 32-bit plain, top-down (negative height): the unused fourth byte does not become alpha.
  auto f32 = BmpFile(1, -2, 32, {}, {1, 2, 3, 0, 4, 5, 6, 0});
  auto b32 = CBitmap32::DecodeBmp(f32.data(), f32.size());
  ASSERT_TRUE(b32);
  EXPECT_EQ(b32->pixels, (std::vector<uint32_t>{0xFF030201, 0xFF060504}));
}

TEST(Bitmap32, RejectsMalformedBmp) {
  auto good = BmpFile(4, 4, 24, {}, std::vector<uint8_t>(48, 7));
  ASSERT_TRUE(CBitmap32::DecodeBmp(good.data(), good.size()));
  struct Case { const char* name; size_t at; uint32_t value; };
  for (Case c : {Case{"magic", 0, 0x4D41}, Case{"header size", 14, 1000}, Case{"zero width", 18, 0},
                 Case{"huge width", 18, 0x7FFFFFFF}, Case{"bpp", 28, 0x0003}, Case{"rle", 30, 1}}) {
    auto f = good;
    std::memcpy(&f[c.at], &c.value, c.at == 28 ? 2 : 4);
    EXPECT_FALSE(CBitmap32::DecodeBmp(f.data(), f.size())) << c.name;
  }
  for (size_t cut : {size_t{0}, size_t{20}, size_t{54}, good.size() - 1})
    EXPECT_FALSE(CBitmap32::DecodeBmp(good.data(), cut)) << cut;
}

TEST(Bitmap32, RecordRoundTripAndVersionRule) {
  CBitmap32 img = TestImage(5, 4);
  CStream s;
  img.Write(s);
  CBitmap32().Write(s);
  s.WriteInt(539);  // wrong version: nothing more is read
  s.WriteInt(1234);
  s.Seek(0);
  EXPECT_EQ(CBitmap32::FromStream(s), img);
  EXPECT_FALSE(CBitmap32::FromStream(s).exists);
  EXPECT_FALSE(CBitmap32::FromStream(s).exists);
  EXPECT_EQ(s.ReadInt(), 1234);
}

TEST(Bitmap32, RecordWithTooFewPixelsThrows) {
  std::vector<uint8_t> px(4 * 4 * 4 - 1);
  CStream s;
  s.WriteInt(540);
  s.WriteBool(true);
  s.WriteInt(4);
  s.WriteInt(4);
  s.WriteCompressed(px.data(), px.size());
  s.Seek(0);
  EXPECT_THROW(CBitmap32::FromStream(s), StreamError);

  CStream neg;
  neg.WriteInt(540);
  neg.WriteBool(true);
  neg.WriteInt(-1);
  neg.WriteInt(4);
  neg.Seek(0);
  EXPECT_THROW(CBitmap32::FromStream(neg), StreamError);
}

TEST(StreamHex, ToHexAndFromHex) {
  CStream s = FromBytes({0x61, 0x62, 0x63, 0x00, 0xAB});
  EXPECT_EQ(s.ToHex(), "61626300AB");
  CStream t;
  t.WriteInt(5);
  t.FromHex("616263F");
  EXPECT_EQ(t.Buffer(), (std::vector<uint8_t>{0x61, 0x62, 0x63}));
  EXPECT_EQ(t.Position(), 0u);
  t.FromHex("abcd");
  EXPECT_EQ(t.Buffer(), (std::vector<uint8_t>{0xAB, 0xCD}));
  EXPECT_THROW(t.FromHex("61zz"), StreamError);
  EXPECT_EQ(t.Size(), 0u);
}

// ---- substitution ---------------------------------------------------------------------------------------------

bool IsPermutationFixingZero(const SubstitutionTables& t) {
  bool seen[256] = {};
  for (int i = 0; i < 256; ++i) {
    if (seen[t.forward[i]]) return false;
    seen[t.forward[i]] = true;
    if (t.inverse[t.forward[i]] != i) return false;
  }
  return t.forward[0] == 0 && t.inverse[0] == 0;
}

TEST(Substitution, TablesAreDeterministicPermutations) {
  for (int32_t seed : {0, 1, 249, 250, 12345, 2000000000, -1, -249, -64000, -1000000,
                       std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
    SubstitutionTables a = MakeSubstitutionTables(seed), b = MakeSubstitutionTables(seed);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << seed;
    EXPECT_TRUE(IsPermutationFixingZero(a)) << seed;
  }
  SubstitutionTables x = MakeSubstitutionTables(1), y = MakeSubstitutionTables(2);
  EXPECT_NE(std::memcmp(x.forward, y.forward, 256), 0);
}

// Reference table for seed 1 built from the rule: a = 7, b = 0, j = (7i mod 254) + 1.
TEST(Substitution, TableMatchesTheRuleForASmallSeed) {
  uint8_t forward[256];
  for (int i = 0; i < 256; ++i) forward[i] = static_cast<uint8_t>(i);
  for (int i = 1; i <= 10000; ++i) std::swap(forward[(i * 7) % 254 + 1], forward[(i * 7) % 254 + 2]);
  SubstitutionTables t = MakeSubstitutionTables(1);
  EXPECT_EQ(std::memcmp(t.forward, forward, 256), 0);
}

TEST(Substitution, ScrambleAndSubstituteInvertTheirReaders) {
  std::vector<uint8_t> original(1000);
  for (size_t i = 0; i < original.size(); ++i) original[i] = static_cast<uint8_t>(i * 31 + 7);
  struct Case { int32_t seed; size_t start; int64_t count; };
  for (Case c : {Case{4242, 0, 0}, Case{777, 13, -1}, Case{99, 100, 300}, Case{-5000000, 1, 0},
                 Case{5, 990, 50}, Case{5, 2000, 0}}) {
    CStream s(original);
    Scramble(s, c.seed, c.start, c.count);
    size_t end = c.count <= 0 ? original.size() : std::min(original.size(), c.start + size_t(c.count));
    if (c.start < end) {
      EXPECT_NE(s.Buffer(), original) << c.seed;
    }
    for (size_t i = 0; i < original.size(); ++i) {
      if (i < c.start || i >= end) {
        ASSERT_EQ(s.Buffer()[i], original[i]) << "outside range changed at " << i;
      }
    }
    Unscramble(s, c.seed, c.start, c.count);
    EXPECT_EQ(s.Buffer(), original) << c.seed;

    CStream t(original);
    Unsubstitute(t, c.seed, c.start, c.count);
    Substitute(t, c.seed, c.start, c.count);
    EXPECT_EQ(t.Buffer(), original) << c.seed;
  }
}

TEST(Substitution, UnscrambleDependsOnAbsolutePosition) {
  CStream a(std::vector<uint8_t>(8, 0x41)), b(std::vector<uint8_t>(9, 0x41));
  Unscramble(a, 7, 0, 0);
  Unscramble(b, 7, 1, 0);
  EXPECT_NE(std::vector<uint8_t>(a.Buffer().begin(), a.Buffer().end()),
            std::vector<uint8_t>(b.Buffer().begin() + 1, b.Buffer().end()));
  // Byte at offset p is (inverse[v] - p) mod 256.
  SubstitutionTables t = MakeSubstitutionTables(7);
  for (size_t p = 0; p < 8; ++p) EXPECT_EQ(a.Buffer()[p], static_cast<uint8_t>(t.inverse[0x41] - p));
}

TEST(StreamFiles, SaveAndLoad) {
  std::string path = ::testing::TempDir() + "/kv_stream_test.bin";
  CStream s;
  s.WriteString("hello");
  ASSERT_TRUE(s.SaveFile(path));
  CStream back;
  ASSERT_TRUE(CStream::LoadFile(path, back));
  EXPECT_EQ(back.Buffer(), s.Buffer());
  EXPECT_EQ(back.Position(), 0u);
  EXPECT_FALSE(CStream::LoadFile(path + ".missing", back));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kv
