// kvpack room lines: background layers, views and tiles pack, load back and dump; bad lines name their line.
#include <gtest/gtest.h>

#include <filesystem>

#include "graphics/bitmap_ops.h"
#include "kvpack_dump.h"
#include "kvpack_project.h"

namespace kv::pack {
namespace {

// A directory holding the one image every background of these projects is made from.
std::string ImageDir() {
  static const std::string dir = [] {
    std::filesystem::path d = std::filesystem::path(::testing::TempDir()) / "kvpack_rooms";
    std::filesystem::create_directories(d);
    EXPECT_TRUE(gfx::SavePng(CBitmap32::Make(64, 32, 0xFF808080u), (d / "sheet.png").string()));
    return d.string();
  }();
  return dir;
}

GameData PackAndLoad(const std::string& manifest) {
  PackedGame packed = PackManifest(manifest, ImageDir());
  CStream file = BuildGameFile(packed.game, packed.scrambleSeed);
  file.Seek(kGameDataOffset);
  GameData back;
  LoadObserver quiet;
  EXPECT_TRUE(LoadGameData(file, back, quiet));
  return back;
}

// Backgrounds are declared after the rooms that use them: names resolve in any order.
const char* const kRooms =
    "[object obj_ship]\n"
    "[room rm_a]\n"
    "width = 1280\n"
    "height = 960\n"
    "background_color = 0x102030\n"
    "show_color = off\n"
    "views = on\n"
    "background 0 bg_sky visible x=5 y = -3 hspeed=2 vspeed=-1 htiled=off\n"
    "background 7 bg_stone foreground stretch vtiled=no\n"
    "background 2 bg_sky hidden\n"
    "view 0 0 0 640 480 0 0 640 480 object=obj_ship hborder=200 vborder=150 hspeed=8 vspeed=-1\n"
    "view 3 10 20 30 40 50 60 70 80 hidden object=100001\n"
    "tile bg_stone 0 0 16 0 16 16 100\n"
    "tile bg_stone 32 48 0 16 32 16 -50\n"
    "[room rm_b]\n"
    "tile 1 8 8 0 0 16 16 0\n"
    "[background bg_sky]\nfile = sheet.png\n"
    "[background bg_stone]\nfile = sheet.png\n";

TEST(KvpackRooms, LayersViewsAndTilesLoadBack) {
  GameData g = PackAndLoad(kRooms);
  const GameResources& res = g.resources;
  const CRoom& a = *res.rooms.Get(0);
  EXPECT_EQ(a.colour, 0x102030);
  EXPECT_FALSE(a.showColour);
  EXPECT_TRUE(a.viewsEnabled);

  struct LayerCase { int layer; bool visible, foreground; int background; double x, y, hSpeed, vSpeed; bool hTiled, vTiled, stretch; };
  for (LayerCase c : {LayerCase{0, true, false, 0, 5, -3, 2, -1, false, true, false},
                      LayerCase{7, true, true, 1, 0, 0, 0, 0, true, false, true},
                      LayerCase{2, false, false, 0, 0, 0, 0, 0, true, true, false},
                      LayerCase{1, false, false, -1, 0, 0, 0, 0, true, true, false}}) {
    const CBack& b = a.backgrounds[c.layer];
    EXPECT_EQ(b.visible, c.visible) << c.layer;
    EXPECT_EQ(b.foreground, c.foreground) << c.layer;
    EXPECT_EQ(b.background, c.background) << c.layer;
    EXPECT_EQ(b.x, c.x) << c.layer;
    EXPECT_EQ(b.y, c.y) << c.layer;
    EXPECT_EQ(b.hSpeed, c.hSpeed) << c.layer;
    EXPECT_EQ(b.vSpeed, c.vSpeed) << c.layer;
    EXPECT_EQ(b.hTiled, c.hTiled) << c.layer;
    EXPECT_EQ(b.vTiled, c.vTiled) << c.layer;
    EXPECT_EQ(b.stretch, c.stretch) << c.layer;
  }

  CView follow;
  follow.visible = true;
  follow.object = 0;
  follow.hBorder = 200;
  follow.vBorder = 150;
  follow.hSpeed = 8;
  EXPECT_EQ(a.views[0], follow);
  const CView& hidden = a.views[3];
  EXPECT_FALSE(hidden.visible);
  EXPECT_EQ(hidden.object, 100001);  // an instance id passes through
  EXPECT_EQ((std::vector<int>{hidden.xView, hidden.yView, hidden.wView, hidden.hView, hidden.xPort, hidden.yPort,
                              hidden.wPort, hidden.hPort}),
            (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80}));
  EXPECT_FALSE(a.views[1].visible);

  // Tile ids go on across rooms in file order from the stored counter; the game's counter ends at the last one.
  ASSERT_EQ(a.tiles.size(), 2u);
  const RTile& t = a.tiles[1];
  EXPECT_EQ((std::vector<double>{t.x, t.y, t.depth}), (std::vector<double>{32, 48, -50}));
  EXPECT_EQ((std::vector<int>{t.background, t.left, t.top, t.width, t.height}), (std::vector<int>{1, 0, 16, 32, 16}));
  EXPECT_EQ(a.tiles[0].id, 10000001);
  EXPECT_EQ(t.id, 10000002);
  ASSERT_EQ(res.rooms.Get(1)->tiles.size(), 1u);
  EXPECT_EQ(res.rooms.Get(1)->tiles[0].id, 10000003);
  EXPECT_EQ(res.lastTileId, 10000003);
}

TEST(KvpackRooms, WithoutTilesTheCounterKeepsItsStart) {
  GameData g = PackAndLoad("[room r]\n");
  EXPECT_EQ(g.resources.lastTileId, 10000000);
  EXPECT_FALSE(g.resources.rooms.Get(0)->viewsEnabled);
}

TEST(KvpackRooms, DumpShowsTheRoomLines) {
  std::string text = DumpGame(PackAndLoad(kRooms));
  for (const char* needle :
       {"  room rm_a:", "background_color = 0x102030, show_color = false", "background 0 bg_sky visible x=5 y=-3 htiled=off vtiled=on hspeed=2 vspeed=-1",
        "background 7 bg_stone visible foreground stretch", "views = on",
        "view 0 0 0 640 480 0 0 640 480 object=obj_ship hborder=200 vborder=150 hspeed=8 vspeed=-1",
        "tile bg_stone 32 48 0 16 32 16 -50  id 10000002", "  room rm_b:", "last tile id: 10000003"}) {
    EXPECT_NE(text.find(needle), std::string::npos) << needle << "\n" << text;
  }
  EXPECT_EQ(text.find("view 3"), std::string::npos);  // hidden views are left out
}

TEST(KvpackRooms, BadLinesNameTheLine) {
  struct Case { const char* line; const char* expected; };
  const Case cases[] = {
      {"background 0 bg_none", "game.kvp:4: unknown background 'bg_none'"},
      {"background 8 bg", "game.kvp:4: layer number '8' is not 0 … 7"},
      {"background 0", "game.kvp:4: expected 'background LAYER BACKGROUND [options]'"},
      {"background 0 bg shiny", "game.kvp:4: unknown background layer option 'shiny'"},
      {"background 0 bg speed=3", "game.kvp:4: unknown background layer option 'speed'"},
      {"background 0 bg x=", "game.kvp:4: option 'x=' needs 'key=value'"},
      {"background 0 bg x=1.5", "game.kvp:4: '1.5' is not an integer"},
      {"background 0 bg htiled=maybe", "game.kvp:4: 'maybe' is not true or false"},
      {"view 0 0 0 640 480 0 0 640", "game.kvp:4: expected 'view N XVIEW YVIEW"},
      {"view 0 0 0 640 480 0 0 640 480 object=obj_none", "game.kvp:4: unknown object 'obj_none'"},
      {"view 0 0 0 0 480 0 0 640 480", "game.kvp:4: view and port sizes must be positive"},
      {"view -1 0 0 640 480 0 0 640 480", "game.kvp:4: view number '-1' is not 0 … 7"},
      {"view 0 0 0 640 480 0 0 640 480 zoom=2", "game.kvp:4: unknown view option 'zoom'"},
      {"tile bg_none 0 0 0 0 16 16 0", "game.kvp:4: unknown background 'bg_none'"},
      {"tile bg 0 0 0 0 16 16", "game.kvp:4: expected 'tile BACKGROUND X Y LEFT TOP WIDTH HEIGHT DEPTH'"},
      {"tile bg 0 0 0 0 16 16 0 2 2", "game.kvp:4: a stored tile has no scale, blend or alpha"},
      {"tile bg 0 0 0 0 0 16 0", "game.kvp:4: a tile needs LEFT, TOP >= 0 and a positive WIDTH and HEIGHT"},
      {"tile bg 0 0 48 0 17 16 0", "game.kvp:4: tile part 48,0 17x16 is outside its background (64x32)"},
      {"tile bg 0 0 0 17 16 16 0", "game.kvp:4: tile part 0,17 16x16 is outside its background (64x32)"},
      {"tile 5 0 0 0 0 16 16 0", "game.kvp:4: tile background 5 does not exist"},
      {"tile -1 0 0 0 0 16 16 0", "game.kvp:4: tile background -1 does not exist"},
      {"views = sometimes", "game.kvp:4: 'sometimes' is not true or false"},
      {"tiles = 3", "game.kvp:4: unknown entry 'tiles' in [room]"},
  };
  for (const Case& c : cases) {
    std::string manifest = "[background bg]\nfile = sheet.png\n[room r]\n" + std::string(c.line) + "\n";
    try {
      PackManifest(manifest, ImageDir());
      ADD_FAILURE() << "accepted: " << c.line;
    } catch (const PackError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << c.line << "\n" << e.what();
    }
  }
}

// A "tiles" line is a grid of one part, edge to edge, numbered row by row between the tiles of the lines around it.
TEST(KvpackRooms, TilesLinePlacesAGridRowByRow) {
  GameData g = PackAndLoad(
      "[background bg]\nfile = sheet.png\n[room r]\n"
      "tile bg 0 0 0 0 16 16 1\n"
      "tiles bg 10 -20 16 8 16 8 -5 x3 y2\n"
      "tiles bg 0 0 0 0 64 32 7 x1 y1\n"
      "tile bg 0 0 0 0 16 16 2\n");
  const std::vector<RTile>& tiles = g.resources.rooms.Get(0)->tiles;
  ASSERT_EQ(tiles.size(), 9u);
  const double expected[6][2] = {{10, -20}, {26, -20}, {42, -20}, {10, -12}, {26, -12}, {42, -12}};
  for (int i = 0; i < 6; ++i) {
    const RTile& t = tiles[1 + i];
    EXPECT_EQ(t.x, expected[i][0]) << i;
    EXPECT_EQ(t.y, expected[i][1]) << i;
    EXPECT_EQ((std::vector<int>{t.background, t.left, t.top, t.width, t.height}), (std::vector<int>{0, 16, 8, 16, 8}))
        << i;
    EXPECT_EQ(t.depth, -5) << i;
    EXPECT_EQ(t.id, 10000002 + i) << i;
  }
  EXPECT_EQ((std::vector<double>{tiles[7].x, tiles[7].y, tiles[7].depth}), (std::vector<double>{0, 0, 7}));
  EXPECT_EQ(tiles[7].id, 10000008);
  EXPECT_EQ(tiles[8].id, 10000009);
  EXPECT_EQ(g.resources.lastTileId, 10000009);
}

TEST(KvpackRooms, BadTilesLinesNameTheLine) {
  struct Case { const char* line; const char* expected; };
  const Case cases[] = {
      {"tiles bg 0 0 0 0 16 16 0 x0 y2", "game.kvp:5: tile count 'x0' must be a whole number of 1 or more"},
      {"tiles bg 0 0 0 0 16 16 0 x2 y-1", "game.kvp:5: tile count 'y-1' must be a whole number of 1 or more"},
      {"tiles bg 0 0 0 0 16 16 0 xa y2", "game.kvp:5: tile count 'xa' must be a whole number of 1 or more"},
      {"tiles bg 0 0 0 0 16 16 0 x y2", "game.kvp:5: expected the count 'xN' instead of 'x'"},
      {"tiles bg 0 0 0 0 16 16 0 y2 x2", "game.kvp:5: expected the count 'xN' instead of 'y2'"},
      {"tiles bg 0 0 0 0 16 16 0 x2 2", "game.kvp:5: expected the count 'yN' instead of '2'"},
      {"tiles bg 0 0 0 0 16 16 0 x2", "game.kvp:5: expected 'tiles BACKGROUND X Y LEFT TOP WIDTH HEIGHT DEPTH xN yM'"},
      {"tiles bg 0 0 0 0 16 16 0 x2 y2 x3", "game.kvp:5: expected 'tiles BACKGROUND"},
      {"tiles bg 0 0 0 0 16 16 x2 y2", "game.kvp:5: expected 'tiles BACKGROUND"},
      {"tiles bg 0 0 0 0 16 16 0 x1000 y1000", "game.kvp:5: tiles x1000 y1000 makes 1000000 tiles; at most 100000"},
      {"tiles bg 2147483000 0 0 0 16 16 0 x100 y1", "game.kvp:5: the last tile of the line lies beyond 2147483647"},
      {"tiles bg 0 0 0 0 0 16 0 x2 y2", "game.kvp:5: a tile needs LEFT, TOP >= 0 and a positive WIDTH and HEIGHT"},
      {"tiles bg 0 0 48 0 17 16 0 x2 y2", "game.kvp:5: tile part 48,0 17x16 is outside its background (64x32)"},
      {"tiles bg_none 0 0 0 0 16 16 0 x2 y2", "game.kvp:5: unknown background 'bg_none'"},
  };
  for (const Case& c : cases) {
    std::string manifest = "[background bg]\nfile = sheet.png\n[room r]\nwidth = 640\n" + std::string(c.line) + "\n";
    try {
      PackManifest(manifest, ImageDir());
      ADD_FAILURE() << "accepted: " << c.line;
    } catch (const PackError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << c.line << "\n" << e.what();
    }
  }
}

}  // namespace
}  // namespace kv::pack
