// kvpack image sections: sprites from strips and frame files, backgrounds, their options, and the game-data round
// trip through the runner's loader (frames, origin, box and masks as the runner sees them).
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "graphics/bitmap_ops.h"
#include "kvpack_project.h"
#include "runner/game_data.h"

namespace kv::pack {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kClear = 0x00000000u;

struct ImageProject {
  fs::path dir;
  explicit ImageProject(const std::string& name) : dir(fs::path(::testing::TempDir()) / ("kvpack_img_" + name)) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~ImageProject() { fs::remove_all(dir); }
  void Png(const std::string& rel, const CBitmap32& b) const { ASSERT_TRUE(gfx::SavePng(b, (dir / rel).string())); }
  void Text(const std::string& rel, const std::string& text) const { std::ofstream(dir / rel, std::ios::binary) << text; }
  GameData Pack(const std::string& manifest) const {
    PackedGame packed = PackManifest(manifest, dir.string());
    CStream file = BuildGameFile(packed.game, packed.scrambleSeed);
    file.Seek(kGameDataOffset);
    GameData back;
    LoadObserver quiet;
    EXPECT_TRUE(LoadGameData(file, back, quiet));
    return back;
  }
};

// A 12 × 4 strip of three 4 × 4 frames: a red pixel at (0, 0) of frame 0, a green 2 × 2 block at (1..2, 1..2) of
// frame 1, a blue column at x = 3 of frame 2; everything else fully transparent.
CBitmap32 Strip() {
  CBitmap32 b = CBitmap32::Make(12, 4, kClear);
  auto at = [&](int x, int y) -> uint32_t& { return b.pixels[static_cast<size_t>(y) * 12 + x]; };
  at(0, 0) = kRed;
  for (int y = 1; y <= 2; ++y)
    for (int x = 5; x <= 6; ++x) at(x, y) = kGreen;
  for (int y = 0; y < 4; ++y) at(11, y) = kBlue;
  return b;
}

TEST(KvpackImages, StripRoundTripKeepsFramesOriginBoxAndMasks) {
  ImageProject p("strip");
  p.Png("strip.png", Strip());
  GameData g = p.Pack(
      "[sprite spr_walk]\nfile = strip.png\nframes = 3\nxorigin = 2\nyorigin = -1\npreload = no\n"
      "[object obj]\nsprite = spr_walk\nmask = spr_walk\n[room r]\n");
  const CSprite* s = g.resources.sprites.Get(0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(g.resources.sprites.Name(0), "spr_walk");
  EXPECT_EQ(g.resources.objects.Get(0)->sprite, 0);
  EXPECT_EQ(g.resources.objects.Get(0)->mask, 0);
  ASSERT_EQ(s->FrameCount(), 3);
  EXPECT_EQ(s->width, 4);
  EXPECT_EQ(s->height, 4);
  EXPECT_EQ(s->xOrigin, 2);
  EXPECT_EQ(s->yOrigin, -1);
  EXPECT_FALSE(s->preload);
  EXPECT_TRUE(s->transparent);  // the file's alpha makes the frames transparent
  EXPECT_FALSE(s->smooth);
  EXPECT_EQ(s->frames[0].Pixel(0, 0), kRed);
  EXPECT_EQ(s->frames[1].Pixel(1, 1), kGreen);
  EXPECT_EQ(s->frames[2].Pixel(3, 3), kBlue);
  EXPECT_EQ(s->frames[2].Pixel(0, 0) >> 24, 0u);
  // The automatic box is the union of the frames' visible pixels.
  EXPECT_EQ(s->bboxKind, CSprite::kBoxAutomatic);
  EXPECT_EQ((std::array<int, 4>{s->bboxLeft, s->bboxTop, s->bboxRight, s->bboxBottom}), (std::array<int, 4>{0, 0, 3, 3}));
  // Masks are rebuilt by the loader from the stored frames.
  ASSERT_TRUE(s->HasMasks());
  EXPECT_TRUE(s->masks[0].At(0, 0));
  EXPECT_FALSE(s->masks[0].At(1, 0));
  EXPECT_TRUE(s->masks[1].At(2, 2));
  EXPECT_FALSE(s->masks[1].At(3, 2));
}

TEST(KvpackImages, BoxKindsAndPrecision) {
  ImageProject p("box");
  p.Png("strip.png", Strip());
  struct Case {
    const char* entries;
    int kind, left, top, right, bottom;
    bool masks;
  } cases[] = {
      {"frames = 3\n", 0, 0, 0, 3, 3, true},
      {"frames = 2\n", 0, 0, 0, 5, 3, true},  // 6-pixel frames: red pixel, green block halves, blue column
      {"frames = 3\nbbox = full\n", 1, 0, 0, 3, 3, true},
      {"frames = 3\nbbox = manual 1 1 2 3\n", 2, 1, 1, 2, 3, true},
      {"frames = 3\nprecise = off\n", 0, 0, 0, 3, 3, false},
      {"\n", 0, 0, 0, 11, 3, true},  // one frame: the whole strip
  };
  for (const Case& c : cases) {
    GameData g = p.Pack(std::string("[sprite s]\nfile = strip.png\n") + c.entries + "[room r]\n");
    const CSprite& s = *g.resources.sprites.Get(0);
    EXPECT_EQ(s.bboxKind, c.kind) << c.entries;
    EXPECT_EQ((std::array<int, 4>{s.bboxLeft, s.bboxTop, s.bboxRight, s.bboxBottom}),
              (std::array<int, 4>{c.left, c.top, c.right, c.bottom}))
        << c.entries;
    EXPECT_EQ(s.HasMasks(), c.masks) << c.entries;
    EXPECT_EQ(s.precise, c.masks) << c.entries;
  }
}

TEST(KvpackImages, FrameFilesAndColourKeys) {
  ImageProject p("frames");
  // Opaque images keyed by their bottom-left colour (white here).
  CBitmap32 a = CBitmap32::Make(3, 2, 0xFFFFFFFFu), b = CBitmap32::Make(3, 2, 0xFFFFFFFFu);
  a.pixels[0] = kRed;
  b.pixels[2] = kBlue;
  p.Png("a.png", a);
  p.Png("b.png", b);
  p.Png("big.png", CBitmap32::Make(4, 2, kRed));
  GameData g = p.Pack("[sprite s]\nframe = a.png\nframe = b.png\nalpha = no\n[room r]\n");
  const CSprite& s = *g.resources.sprites.Get(0);
  ASSERT_EQ(s.FrameCount(), 2);
  EXPECT_TRUE(s.transparent);
  EXPECT_EQ(s.frames[0].Pixel(0, 0), kRed);
  EXPECT_EQ(s.frames[0].Pixel(1, 0) >> 24, 0u);  // the key colour became transparent
  EXPECT_EQ(s.frames[1].Pixel(2, 0), kBlue);
  EXPECT_EQ((std::array<int, 4>{s.bboxLeft, s.bboxTop, s.bboxRight, s.bboxBottom}), (std::array<int, 4>{0, 0, 2, 0}));

  // Without transparency nothing is keyed and the box is the whole frame.
  GameData opaque = p.Pack("[sprite s]\nframe = a.png\nalpha = no\ntransparent = no\n[room r]\n");
  const CSprite& o = *opaque.resources.sprites.Get(0);
  EXPECT_EQ(o.frames[0].Pixel(1, 0), 0xFFFFFFFFu);
  EXPECT_FALSE(o.HasMasks());
  EXPECT_EQ((std::array<int, 4>{o.bboxLeft, o.bboxTop, o.bboxRight, o.bboxBottom}), (std::array<int, 4>{0, 0, 2, 1}));
}

TEST(KvpackImages, BackgroundsKeepTheImage) {
  ImageProject p("back");
  CBitmap32 img = CBitmap32::Make(5, 3, 0x80102030u);
  img.pixels[14] = kGreen;
  p.Png("sky.png", img);
  GameData g = p.Pack("[background bk_sky]\nfile = sky.png\npreload = false\n"
                      "[background bk_flat]\nfile = sky.png\nalpha = no\n[room r]\n");
  ASSERT_EQ(g.resources.backgrounds.Count(), 2);
  const CBackground& sky = *g.resources.backgrounds.Get(0);
  EXPECT_EQ(g.resources.backgrounds.Name(0), "bk_sky");
  EXPECT_EQ(sky.width, 5);
  EXPECT_EQ(sky.height, 3);
  EXPECT_FALSE(sky.preload);
  EXPECT_TRUE(sky.transparent);
  ASSERT_TRUE(sky.image);
  EXPECT_EQ(sky.image->Pixel(0, 0), 0x80102030u);
  EXPECT_EQ(sky.image->Pixel(4, 2), kGreen);
  // Without alpha the image is opaque: half-transparent pixels are drawn onto black.
  const CBackground& flat = *g.resources.backgrounds.Get(1);
  EXPECT_FALSE(flat.transparent);
  EXPECT_EQ(flat.image->Pixel(0, 0), 0xFF081018u);
}

TEST(KvpackImages, ErrorsNameTheLine) {
  ImageProject p("errors");
  p.Png("strip.png", Strip());
  p.Png("small.png", CBitmap32::Make(2, 2, kRed));
  p.Text("notes.txt", "not an image");
  struct Case { const char* manifest; const char* expected; } cases[] = {
      {"[sprite s]\nxorigin = 1\n", "game.kvp:1: [sprite s] needs 'file = STRIP.png' or 'frame = FILE.png' lines"},
      {"[sprite s]\nfile = strip.png\nframe = small.png\n", "game.kvp:3: use either 'file'"},
      {"[sprite s]\nfile = strip.png\nframes = 0\n", "game.kvp:3: 'frames' must be 1 or more"},
      {"[sprite s]\nfile = strip.png\nframes = 13\n", "game.kvp:3: 13 frames do not fit a strip 12 pixels wide"},
      {"[sprite s]\nframe = small.png\nframes = 2\n", "game.kvp:3: 'frames' cuts a strip"},
      {"[sprite s]\nframe = strip.png\nframe = small.png\n", "game.kvp:3: small.png is 2x2; every frame must be 12x4"},
      {"[sprite s]\nfile = strip.png\nsmooth = yes\n", "game.kvp:3: 'transparent' and 'smooth' describe images without alpha"},
      {"[sprite s]\nfile = strip.png\nbbox = manual 3 0 1 0\n", "game.kvp:3: a manual box needs LEFT <= RIGHT"},
      {"[sprite s]\nfile = strip.png\nbbox = tight\n", "game.kvp:3: expected 'bbox = automatic'"},
      {"[sprite s]\nfile = notes.txt\n", "game.kvp:2: notes.txt is not an image kvpack can read"},
      {"[sprite s]\nfile = missing.png\n", "game.kvp:2: cannot read missing.png"},
      {"[sprite s]\nfile = strip.png\nspeed = 3\n", "game.kvp:3: unknown entry 'speed' in [sprite]"},
      {"[sprite s]\nfile = strip.png\n[sprite s]\nfile = strip.png\n", "game.kvp:3: duplicate sprite name 's'"},
      {"[background b]\npreload = yes\n", "game.kvp:1: [background b] needs 'file = IMAGE.png'"},
      {"[background b]\nfile = strip.png\ntransparent = yes\n", "game.kvp:3: 'transparent' and 'smooth'"},
  };
  for (const Case& c : cases) {
    try {
      PackManifest(std::string(c.manifest) + "[room r]\n", p.dir.string());
      ADD_FAILURE() << "accepted: " << c.manifest;
    } catch (const PackError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace kv::pack
