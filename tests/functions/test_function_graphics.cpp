// Drawing and tile functions called the way code calls them: argument conversions, error messages, the tile
// rules of the current room, and the sprite, background and text forms on the recording device.
#include <cmath>

#include "functions/call_builtin.h"
#include "functions/function_graphics.h"
#include "graphics/background_main.h"
#include "graphics/bitmap_ops.h"
#include "graphics/font_main.h"
#include "graphics/gfx_fixture.h"
#include "graphics/graphics_text.h"
#include "world/instance_class.h"

namespace kv::test {
namespace {

// A sprite 4 with 3 frames of 16 × 8, origin (4, 2); frame textures are made on the device by the fixture.
std::vector<int> g_frameTextures;
double g_imageIndex = 0;
int Frames(int s) { return s == 4 ? 3 : (s == 5 ? 0 : -1); }
bool Geometry(int s, int& w, int& h, int& xo, int& yo) {
  if (s != 4 && s != 5) return false;
  w = 16, h = 8, xo = 4, yo = 2;
  return true;
}
int FrameTexture(int, int frame) { return g_frameTextures[frame]; }
double ImageIndexOf(CInstance*) { return g_imageIndex; }
void RoomOf(int& w, int& h) { w = 100, h = 50; }
std::vector<RTile> g_tiles;
int g_lastTileId = 10000000;
std::vector<RTile>* TilesOf() { return &g_tiles; }
int NextTileId() { return ++g_lastTileId; }

class GraphicsFunctionTest : public RecordingGfxTest {
 protected:
  BuiltinCaller call;
  int background = -1;
  gfx::SpriteAccess savedSprites;  // the sprite module's, restored afterwards
  void SetUp() override {
    RecordingGfxTest::SetUp();
    RegisterGraphicsFunctions();
    gfx::ClearBackgrounds();
    gfx::ClearFonts();
    gfx::ResetTextState();
    CurrentTiles().clear();
    CBackground b;
    b.width = 32, b.height = 16;
    b.image = gfx::Solid(32, 16, 0x00FF00);
    background = gfx::AddBackgroundRecord(std::move(b));
    g_frameTextures.clear();
    for (int i = 0; i < 3; ++i) g_frameTextures.push_back(PatternTexture(16, 8));
    savedSprites = gfx::Sprites();
    gfx::SetSpriteAccess({Frames, Geometry, FrameTexture, nullptr});
    GraphicsWorldHooks hooks;
    hooks.imageIndex = ImageIndexOf;
    hooks.roomSize = RoomOf;
    hooks.tiles = TilesOf;
    hooks.newTileId = NextTileId;
    SetGraphicsWorldHooks(hooks);
    g_tiles.clear();
    gpu.ClearLog();
  }
  void TearDown() override {
    SetGraphicsWorldHooks({});
    gfx::SetSpriteAccess(savedSprites);
    CurrentTiles().clear();
    gfx::ClearBackgrounds();
    gfx::ClearFonts();
    gfx::ResetDefaultFont();
    RecordingGfxTest::TearDown();
  }
  plat::TextureHandle HandleOf(int texture) { return gfx::GetTexture(texture)->handle; }
  double Add(double x, double y, double depth, int w = 16, int h = 16) {
    return call.Real("tile_add", {background, 0, 0, w, h, x, y, depth});
  }
};

TEST_F(GraphicsFunctionTest, Colours) {
  struct Case {
    const char* fn;
    std::vector<double> args;
    double want;
  } cases[] = {
      {"make_color_rgb", {300, 0, 0}, 300},
      {"make_color", {1, 2, 3}, 1 + 2 * 256 + 3 * 65536},
      {"make_color_hsv", {0, 0, 255}, 16777215},
      {"color_get_value", {16777215}, 255},
      {"color_get_red", {0x123456}, 0x56},
      {"color_get_blue", {0x123456}, 0x12},
      {"merge_color", {0, 254, 0.5}, 127},
  };
  for (const auto& c : cases) {
    RValue args[3] = {c.args[0], c.args.size() > 1 ? c.args[1] : 0, c.args.size() > 2 ? c.args[2] : 0};
    RValue r = c.args.size() == 1 ? call.Call(c.fn, {args[0]}) : call.Call(c.fn, {args[0], args[1], args[2]});
    EXPECT_EQ(r.Real(), c.want) << c.fn;
  }
  call.Call("draw_set_color", {255.4});
  EXPECT_EQ(call.Real("draw_get_color"), 255);
  call.Call("draw_set_alpha", {0.25});
  EXPECT_EQ(call.Real("draw_get_alpha"), 0.25);
}

TEST_F(GraphicsFunctionTest, TileAddAndFields) {
  EXPECT_EQ(call.Real("tile_add", {99, 0, 0, 16, 16, 0, 0, 0}), -1);
  EXPECT_TRUE(call.TookError("Background does not exist."));
  double id = Add(10, 20, 5);
  EXPECT_EQ(id, g_lastTileId);  // from the game's one counter
  EXPECT_EQ(call.Real("tile_exists", {id}), 1);
  EXPECT_EQ(call.Real("tile_get_x", {id}), 10);
  EXPECT_EQ(call.Real("tile_get_blend", {id}), 16777215);
  EXPECT_EQ(call.Real("tile_get_alpha", {id}), 1);
  EXPECT_EQ(call.Real("tile_get_visible", {id}), 1);
  EXPECT_EQ(call.Real("tile_get_background", {id}), background);
  call.Call("tile_set_scale", {id, 2, 3});
  call.Call("tile_set_region", {id, 1, 2, 3, 4});
  EXPECT_EQ(call.Real("tile_get_yscale", {id}), 3);
  EXPECT_EQ(call.Real("tile_get_height", {id}), 4);
  call.Call("tile_set_background", {id, 77});
  EXPECT_TRUE(call.TookError("Background does not exist."));
  EXPECT_EQ(call.Real("tile_get_background", {id}), background);
  EXPECT_TRUE(call.NoErrors());
  // A missing id: the message, and the default result (−1 for the background).
  EXPECT_EQ(call.Real("tile_get_x", {12345}), 0);
  EXPECT_TRUE(call.TookError("Tile does not exist."));
  EXPECT_EQ(call.Real("tile_get_background", {12345}), -1);
  EXPECT_TRUE(call.TookError("Tile does not exist."));
  call.Call("tile_delete", {12345});
  EXPECT_TRUE(call.TookError("Tile does not exist."));
  EXPECT_EQ(call.Real("tile_exists", {12345}), 0);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(GraphicsFunctionTest, TileFindAndDeleteAt) {
  double scaled = Add(0, 0, 10);
  call.Call("tile_set_scale", {scaled, 2, 2});
  double zero = Add(100, 0, 0);
  double front = Add(200, 0, -5);
  struct Find {
    double x, y;
    bool fg;
    double want;
  } finds[] = {
      {15, 15, false, scaled}, {16, 5, false, -1},  // the scale is ignored
      {100, 0, false, zero},   {100, 0, true, -1},  // depth 0 is background for tile_find
      {210, 5, true, front},   {210, 5, false, -1}, {116, 5, false, -1},
  };
  for (const auto& f : finds) EXPECT_EQ(call.Real("tile_find", {f.x, f.y, f.fg}), f.want) << f.x;
  // tile_delete_at is inclusive at the far edge and takes depth 0 as both.
  call.Call("tile_delete_at", {116, 16, true});
  EXPECT_EQ(call.Real("tile_exists", {zero}), 0);
  call.Call("tile_delete_at", {216, 0, false});
  EXPECT_EQ(call.Real("tile_exists", {front}), 1);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(GraphicsFunctionTest, TileLayers) {
  double a = Add(0, 0, 1000), b = Add(0, 0, 1000.5), c = Add(50, 0, 1000), d = Add(0, 0, 7);
  call.Call("tile_layer_hide", {1000});
  EXPECT_EQ(call.Real("tile_get_visible", {a}), 0);
  EXPECT_EQ(call.Real("tile_get_visible", {b}), 1);
  call.Call("tile_layer_show", {1000});
  EXPECT_EQ(call.Real("tile_get_visible", {c}), 1);
  call.Call("tile_layer_shift", {1000, 5, -3});
  EXPECT_EQ(call.Real("tile_get_x", {c}), 55);
  EXPECT_EQ(call.Real("tile_get_y", {a}), -3);
  EXPECT_EQ(call.Real("tile_layer_find", {1000, 60, 0}), c);
  EXPECT_EQ(call.Real("tile_layer_find", {1000.5, 60, 0}), -1);
  call.Call("tile_layer_depth", {7, 1000});
  EXPECT_EQ(call.Real("tile_get_depth", {d}), 1000);
  // a (now at 5, −3) and d contain (10, 0); c at x 55 does not, nor b at another depth.
  call.Call("tile_layer_delete_at", {1000, 10, 0});
  EXPECT_EQ(call.Real("tile_exists", {a}), 0);
  EXPECT_EQ(call.Real("tile_exists", {d}), 0);
  EXPECT_EQ(call.Real("tile_exists", {b}), 1);
  double e = Add(0, 0, 3), f = Add(0, 0, 1000);
  // Deleting keeps the order of the rest.
  call.Call("tile_delete", {e});
  std::vector<double> ids;
  for (const RTile& t : CurrentTiles()) ids.push_back(t.id);
  EXPECT_EQ(ids, (std::vector<double>{b, c, f}));
  call.Call("tile_layer_delete", {1000});
  EXPECT_EQ(CurrentTiles().size(), 1u);
  EXPECT_TRUE(call.NoErrors());
}

TEST_F(GraphicsFunctionTest, SpriteForms) {
  CInstance self;
  auto callAs = [&](const char* fn, std::initializer_list<RValue> args) {
    RValue argv[kMaxCallArgs];
    int n = 0;
    for (const RValue& v : args) argv[n++] = v;
    RValue r;
    GetBuiltinFunction(FindBuiltinFunction(fn))->handler(r, &self, &self, n, argv);
  };
  // A subimage below 0 is the caller's frame (floored); others wrap around the frame count.
  struct Case {
    double subimg, imageIndex;
    int frame;
  } cases[] = {{-1, 2.7, 2}, {4, 0, 1}, {-1, 5.2, 2}, {-4, 1.5, 1}, {3, 2, 0}};
  for (const auto& c : cases) {
    gpu.ClearLog();
    g_imageIndex = c.imageIndex;
    callAs("draw_sprite", {4, c.subimg, 10, 10});
    auto d = Draws();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].texture, HandleOf(g_frameTextures[c.frame])) << c.subimg;
    EXPECT_FLOAT_EQ(d[0].vertices[0].x, 10 - 4 - 0.5f);  // origin applied
  }
  call.Call("draw_sprite", {9, 0, 0, 0});
  EXPECT_TRUE(call.TookError("Trying to draw non-existing sprite."));
  gpu.ClearLog();
  call.Call("draw_sprite", {5, 0, 0, 0});  // no frames: nothing, no error
  EXPECT_TRUE(Draws().empty());
  EXPECT_TRUE(call.NoErrors());
  // Stretched: nothing for a size that is not positive.
  call.Call("draw_sprite_stretched", {4, 0, 0, 0, 0, 10});
  EXPECT_TRUE(Draws().empty());
  call.Call("draw_sprite_stretched", {4, 0, 0, 0, 32, 4});
  ASSERT_EQ(Draws().size(), 1u);
  EXPECT_FLOAT_EQ(Draws()[0].vertices[2].x, 31.5f);
  EXPECT_FLOAT_EQ(Draws()[0].vertices[2].y, 3.5f);
  // Tiled covers the room (100 × 50) from the origin-shifted position: 16-wide columns from −4 + 16k … .
  gpu.ClearLog();
  call.Call("draw_sprite_tiled", {4, 0, 40, 2});
  // Columns from 40 mod 16 − 16 = −8 every 16 below 100; rows from 2 − 8 = −6 every 8 below 50.
  int columns = 0, rows = 0;
  for (const auto& q : Draws()) {
    columns += q.vertices[0].y == Draws()[0].vertices[0].y;
    rows += q.vertices[0].x == Draws()[0].vertices[0].x;
  }
  EXPECT_EQ(columns, 7);  // −8, 8, …, 88
  EXPECT_EQ(rows, 7);     // 2 mod 8 = 2 → −6, 2, …, 42
}

TEST_F(GraphicsFunctionTest, BackgroundAndSurfaceForms) {
  call.Call("draw_background", {42, 0, 0});
  EXPECT_TRUE(call.TookError("Trying to draw non-existing background."));
  call.Call("draw_surface", {3, 0, 0});
  EXPECT_TRUE(call.TookError("Trying to use non-existing surface."));
  gpu.ClearLog();
  call.Call("draw_background_ext", {background, 5, 5, 2, 1, 0, 255, 0.5});
  auto d = Draws();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_FLOAT_EQ(d[0].vertices[2].x, 5 - 0.5f + 64);
  EXPECT_EQ(d[0].vertices[0].colour, 0x80FF0000u);
  gpu.ClearLog();
  call.Call("draw_background_tiled", {background, 0, 0});  // 32 × 16 over 100 × 50: 4 × 4
  EXPECT_EQ(Draws().size(), 16u);
}

TEST_F(GraphicsFunctionTest, TextArguments) {
  EXPECT_EQ(call.Real("string_width", {S("")}), 1);
  EXPECT_EQ(call.Real("string_height", {S("")}), 1);
  gpu.ClearLog();
  call.Call("draw_text", {0, 0, 3});
  EXPECT_EQ(Draws().size(), 1u);  // "3"
  gpu.ClearLog();
  call.Call("draw_text", {0, 0, 3.14159});
  EXPECT_EQ(Draws().size(), 4u);  // "3.14"
  EXPECT_EQ(call.Real("string_width", {3.14159}), call.Real("string_width", {S("3.14")}));
  call.Call("draw_set_halign", {1});
  EXPECT_EQ(gfx::Halign(), 1);
  call.Call("draw_set_font", {12});
  EXPECT_EQ(gfx::CurrentFont(), gfx::kDefaultFontIndex);
}

}  // namespace
}  // namespace kv::test
