// Room drawing: the depth merge of instances, tiles and particle systems (including draw events that change
// the room while it is drawn), view following, and regions per view — on the recording device.
#include <string>
#include <vector>

#include "graphics/background_main.h"
#include "graphics/bitmap_ops.h"
#include "graphics/gfx_fixture.h"
#include "graphics/room_draw.h"
#include "world/instance_class.h"
#include "world/room_live.h"

namespace kv::test {
namespace {

std::vector<std::string> g_log;
CLiveRoom* g_room = nullptr;
int g_background = -1;

void LogInstance(CInstance* inst) { g_log.push_back("i" + std::to_string(inst->id)); }

// Instance 1 destroys instance 3, creates instance 9 (in front of everything), deletes tile 101 and adds a tile.
void MutatingDraw(CInstance* inst) {
  LogInstance(inst);
  if (inst->id != 1) return;
  g_room->FindInstance(3)->deleted = true;
  g_room->AddInstance(9, 0, 0, 0)->depth = 100;
  auto& tiles = g_room->props.tiles;
  std::erase_if(tiles, [](const RTile& t) { return t.id == 101; });
  RTile extra;
  extra.id = 102, extra.background = g_background, extra.width = extra.height = 4, extra.depth = 1;
  for (int k = 0; k < 50; ++k) tiles.push_back(extra);  // grows (and moves) the list
}

double g_particles[2] = {5, -1e9};
double ParticleBelow(double below) {
  for (double p : g_particles)
    if (p < below) return p;
  return -1e9;
}
void Particles(double depth) { g_log.push_back("p" + std::to_string(int(depth))); }

class RoomDrawTest : public RecordingGfxTest {
 protected:
  std::unique_ptr<CLiveRoom> room;
  void SetUp() override {
    RecordingGfxTest::SetUp();
    gfx::ClearBackgrounds();
    CBackground b;
    b.width = b.height = 16;
    b.image = gfx::Solid(16, 16, 0x0000FF);
    g_background = gfx::AddBackgroundRecord(std::move(b));
    CRoom r;
    r.width = 480, r.height = 360;
    room = CLiveRoom::FromResource(r);
    g_room = room.get();
    g_log.clear();
  }
  void TearDown() override {
    gfx::SetRoomDrawHooks({});
    room.reset();
    g_room = nullptr;
    gfx::ClearBackgrounds();
    RecordingGfxTest::TearDown();
  }
  CInstance* Add(int id, double depth) {
    CInstance* inst = room->AddInstance(id, 0, 0, 0);
    inst->depth = depth;
    return inst;
  }
  void AddTile(int id, double depth, double x = 0, double y = 0) {
    RTile t;
    t.id = id, t.background = g_background, t.width = t.height = 16, t.depth = depth, t.x = x, t.y = y;
    room->props.tiles.push_back(t);
  }
  int TileDraws() const {
    int n = 0;
    for (const auto& d : Draws()) n += d.textured;
    return n;
  }
};

TEST_F(RoomDrawTest, DrawEventsThatChangeTheRoomDrawEachInstanceOnce) {
  gfx::SetRoomDrawHooks({nullptr, nullptr, MutatingDraw, nullptr});
  Add(1, 10);
  Add(2, 5);
  Add(3, 0);
  AddTile(100, 7);
  AddTile(101, -1);
  gfx::DrawRoom(*room);
  // 3 was destroyed before it was reached, 9 was created during the frame, tile 101 was removed, the new tiles
  // come next frame.
  EXPECT_EQ(g_log, (std::vector<std::string>{"i1", "i2"}));
  EXPECT_EQ(TileDraws(), 1);
  // Next frame: the new state, each once.
  g_log.clear();
  gpu.ClearLog();
  gfx::SetRoomDrawHooks({nullptr, nullptr, LogInstance, nullptr});
  gfx::DrawRoom(*room);
  EXPECT_EQ(g_log, (std::vector<std::string>{"i9", "i1", "i2"}));
  EXPECT_EQ(TileDraws(), 51);
}

TEST_F(RoomDrawTest, EqualDepthsAndParticles) {
  gfx::SetRoomDrawHooks({ParticleBelow, Particles, LogInstance, nullptr});
  Add(1, 5);
  AddTile(100, 5);
  Add(2, 3);
  gfx::DrawRoom(*room);
  // Particles first among equal depths, then the instance, then the tile.
  EXPECT_EQ(g_log, (std::vector<std::string>{"p5", "i1", "i2"}));
  EXPECT_EQ(TileDraws(), 1);
}

TEST_F(RoomDrawTest, HiddenAndDeletedAreSkipped) {
  gfx::SetRoomDrawHooks({nullptr, nullptr, LogInstance, nullptr});
  Add(1, 0)->visible = false;
  Add(2, 0)->deleted = true;
  Add(3, 0);
  AddTile(100, 0);
  room->props.tiles[0].visible = false;
  AddTile(101, 0, 1000, 1000);  // outside the room: not drawn
  gfx::DrawRoom(*room);
  EXPECT_EQ(g_log, (std::vector<std::string>{"i3"}));
  EXPECT_EQ(TileDraws(), 0);
}

TEST_F(RoomDrawTest, ViewFollowing) {
  struct Case {
    int roomW, viewX, viewW, border, speed, instX, want;
  } cases[] = {
      {1000, 0, 320, 200, -1, 500, 340},    // border ≥ half the width: centred
      {1000, 0, 320, 200, 4, 500, 4},       // at most 4 pixels a step
      {480, 0, 640, 32, -1, 100, -160},     // wider than the room: ends at a negative position
      {1000, 100, 320, 32, -1, 200, 100},   // inside the borders: stays
      {1000, 100, 320, 32, -1, 110, 78},    // left border
      {1000, 100, 320, 32, -1, 400, 112},   // right border
      {1000, 0, 320, 32, -1, 990, 680},     // limited to the room
  };
  for (const auto& c : cases) {
    room->props.width = c.roomW;
    room->props.viewsEnabled = true;
    CView& v = room->props.views[0];
    v = CView{};
    v.visible = true, v.xView = c.viewX, v.wView = c.viewW, v.hBorder = c.border, v.hSpeed = c.speed;
    room->ClearInstances();
    CInstance* inst = room->AddInstance(100001, 0, c.instX, 0);
    v.object = inst->id;
    gfx::UpdateViews(*room);
    EXPECT_EQ(v.xView, c.want) << c.instX << " in " << c.viewW;
  }
}

TEST_F(RoomDrawTest, TwoViewsDrawTwiceWithTheirRegions) {
  gfx::SetRoomDrawHooks({nullptr, nullptr, LogInstance, nullptr});
  room->props.viewsEnabled = true;
  for (int i = 0; i < 2; ++i) {
    CView& v = room->props.views[i];
    v.visible = true;
    v.xView = i * 200, v.wView = 160, v.hView = 120;
    v.xPort = i * 160, v.wPort = 160, v.hPort = 120;
  }
  Add(1, 0);
  AddTile(100, 0, 10, 10);   // only in view 0
  AddTile(101, 0, 250, 10);  // only in view 1
  gpu.ClearLog();
  gfx::DrawRoom(*room);
  EXPECT_EQ(g_log, (std::vector<std::string>{"i1", "i1"}));
  EXPECT_EQ(TileDraws(), 2);
  std::vector<plat::IntRect> ports;
  for (const auto& c : gpu.calls)
    if (c.op == plat::GpuOp::SetViewport) ports.push_back(c.rect);
  ASSERT_GE(ports.size(), 3u);
  EXPECT_EQ(ports[1], (plat::IntRect{0, 0, 160, 120}));
  EXPECT_EQ(ports[2], (plat::IntRect{160, 0, 160, 120}));
  EXPECT_EQ(gfx::ViewCurrent(), 0);
}

TEST_F(RoomDrawTest, RegionSizeFollowsPortsOrRoom) {
  struct Case {
    bool views;
    int roomW, roomH;
    int port1Right, port1Bottom;  // second visible port's far corner (0: only the first port)
    int wantW, wantH;
  } cases[] = {
      {false, 480, 360, 0, 0, 480, 360},
      {false, 5000, 300, 0, 0, 1024, 300},  // limited to the desktop
      {true, 480, 360, 0, 0, 320, 240},     // the first port
      {true, 480, 360, 700, 100, 700, 240}, // the union of the ports
  };
  for (const auto& c : cases) {
    room->props.width = c.roomW, room->props.height = c.roomH;
    room->props.viewsEnabled = c.views;
    room->props.views[0] = CView{};
    room->props.views[0].visible = true, room->props.views[0].wPort = 320, room->props.views[0].hPort = 240;
    room->props.views[1] = CView{};
    if (c.port1Right) {
      room->props.views[1].visible = true;
      room->props.views[1].xPort = c.port1Right - 100, room->props.views[1].wPort = 100;
      room->props.views[1].yPort = c.port1Bottom - 50, room->props.views[1].hPort = 50;
    }
    gfx::SetupRoomRegion(*room);
    EXPECT_EQ(gfx::D3D().renderWidth, c.wantW) << c.roomW;
    EXPECT_EQ(gfx::D3D().renderHeight, c.wantH) << c.roomH;
  }
}

// ---- pixels ----

TEST(RoomDrawGolden, TwoViewsAndTileDepths) {
  ASSERT_TRUE(GlGfx::Available());
  ASSERT_NE(GlGfx::Start({}, 200, 100), nullptr);
  gfx::ClearBackgrounds();
  // A 32 × 32 tile sheet of four coloured 16 × 16 cells with dark borders, and a checked backdrop.
  CBitmap32 sheet = CBitmap32::Make(32, 32);
  const uint32_t cells[4] = {0xFFE04040u, 0xFF40C040u, 0xFF4060E0u, 0xFFE0C040u};
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      sheet.pixels[y * 32 + x] = (x % 16 == 0 || y % 16 == 0) ? 0xFF202020u : cells[(y / 16) * 2 + x / 16];
  CBackground tiles;
  tiles.width = tiles.height = 32;
  tiles.image = sheet;
  int tileSheet = gfx::AddBackgroundRecord(tiles);
  CBitmap32 check = CBitmap32::Make(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) check.pixels[y * 8 + x] = ((x / 4 + y / 4) % 2) ? 0xFF506070u : 0xFF405060u;
  CBackground backdrop;
  backdrop.width = backdrop.height = 8;
  backdrop.image = check;
  int back = gfx::AddBackgroundRecord(backdrop);

  CRoom r;
  r.width = 300, r.height = 200;
  r.colour = 0x102030;
  r.backgrounds[0].visible = true;
  r.backgrounds[0].background = back;
  r.viewsEnabled = true;
  // View 0: the room's left part at 1:1; view 1: a wider part scaled into a smaller port.
  r.views[0].visible = true;
  r.views[0].xView = 0, r.views[0].yView = 0, r.views[0].wView = 96, r.views[0].hView = 96;
  r.views[0].xPort = 2, r.views[0].yPort = 2, r.views[0].wPort = 96, r.views[0].hPort = 96;
  r.views[1].visible = true;
  r.views[1].xView = 40, r.views[1].yView = 20, r.views[1].wView = 180, r.views[1].hView = 120;
  r.views[1].xPort = 102, r.views[1].yPort = 20, r.views[1].wPort = 96, r.views[1].hPort = 64;
  auto room = CLiveRoom::FromResource(r);
  // Overlapping tiles at several depths: the deepest drawn first.
  int id = 1;
  const struct {
    double x, y, depth;
    int cell;
    double scale;
  } placed[] = {{10, 10, 100, 0, 2}, {30, 20, 50, 1, 1.5}, {40, 40, 0, 2, 1}, {20, 50, -20, 3, 2}, {150, 60, 10, 1, 3}};
  for (const auto& p : placed) {
    RTile t;
    t.id = id++, t.background = tileSheet, t.x = p.x, t.y = p.y, t.depth = p.depth;
    t.left = (p.cell % 2) * 16, t.top = (p.cell / 2) * 16, t.width = t.height = 16;
    t.xScale = t.yScale = p.scale;
    t.alpha = p.depth < 0 ? 0.6 : 1.0;
    room->props.tiles.push_back(t);
  }
  gfx::Win().colour = 0x000000;
  gfx::DrawRoom(*room);
  ExpectGolden("room_two_views", Frame());
  room.reset();
  gfx::ClearBackgrounds();
  GlGfx::Stop();
}

}  // namespace
}  // namespace kv::test
