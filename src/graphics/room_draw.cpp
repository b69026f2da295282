#include "graphics/room_draw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/background_main.h"
#include "graphics/font_main.h"
#include "graphics/graphics_d3d.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"
#include "world/builtin_globals.h"
#include "world/event_cache.h"
#include "world/instance_class.h"
#include "world/room_live.h"
#include "world/world_rooms.h"
#include "world/world_state.h"

namespace kv::gfx {

namespace {

constexpr double kNoParticles = -1e9;
constexpr int kWhite = 0xFFFFFF;

struct RoomDrawState {
  RoomDrawHooks hooks;
  int viewCurrent = 0;
};
RoomDrawState& S() {
  static RoomDrawState s;
  return s;
}

struct Region {
  double left, top, right, bottom;
};

// The instance a view follows: by id (above 99999) or the first live instance of the object's family.
CInstance* Followed(const CLiveRoom& room, int object) {
  if (object > 99999) return room.FindInstance(object);
  if (object < 0 || !WorldObject(object)) return nullptr;
  for (int i = 0; i < room.FamilyCount(object); ++i)
    if (CInstance* inst = room.FamilyAt(object, i); inst && !inst->deleted) return inst;
  return nullptr;
}

// One axis of view following.
int Follow(int pos, int size, int border, int speed, int instPos, int roomSize) {
  long long n;
  if (2LL * border < size) {
    if (instPos - border < pos) n = static_cast<long long>(instPos) - border;
    else if (static_cast<long long>(pos) + size < static_cast<long long>(instPos) + border)
      n = static_cast<long long>(instPos) + border - size;
    else n = pos;
  } else {
    n = instPos - size / 2;
  }
  n = std::max(n, 0LL);
  n = std::min(n, static_cast<long long>(roomSize) - size);
  if (speed >= 0) n = std::clamp(n, static_cast<long long>(pos) - speed, static_cast<long long>(pos) + speed);
  return static_cast<int>(std::clamp(n, -2147483647LL, 2147483647LL));
}

void DrawLayers(const CLiveRoom& room, bool foreground, const Region& r) {
  for (const CBack& b : room.props.backgrounds) {
    if (!b.visible || b.foreground != foreground || !BackgroundExists(b.background)) continue;
    DrawBackgroundTiled(b.background, b.x, b.y, b.xScale, b.yScale, b.blend, b.alpha, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, b.hTiled, b.vTiled);
  }
}

void DrawTile(const RTile& t, const Region& r) {
  const double right = t.x + t.width * t.xScale, bottom = t.y + t.height * t.yScale;
  if (!(r.right >= t.x && r.bottom >= t.y && r.left <= right && r.top <= bottom)) return;
  if (!BackgroundExists(t.background)) return;
  SetDepth(std::min(t.depth, 11000.0));
  DrawTexturePart(BackgroundTexture(t.background), t.blend, t.alpha, 0.0, t.xScale, t.yScale, t.x, t.y, t.left, t.top,
                  t.width, t.height);
}

// The tile with that id now, using the index it had when the walk began as a hint.
const RTile* TileNow(const CLiveRoom& room, int id, size_t hint) {
  const auto& tiles = room.props.tiles;
  if (hint < tiles.size() && tiles[hint].id == id) return &tiles[hint];
  for (const RTile& t : tiles)
    if (t.id == id) return &t;
  return nullptr;
}

// The depth merge of one region. Draw events may create, destroy or change instances, tiles and particle systems
// while it runs, so it walks snapshots taken at its start and re-checks each entry when it is reached: nothing is
// skipped because a list shifted, nothing is drawn twice, and what was destroyed is not drawn.
void DrawMerged(CLiveRoom& room, const Region& r) {
  std::vector<CInstance*> instances;
  instances.reserve(room.ActiveCount());
  for (int i = 0; i < room.ActiveCount(); ++i) instances.push_back(room.ActiveAt(i));
  struct TileRef {
    int id;
    size_t index;
  };
  std::vector<TileRef> tiles;
  tiles.reserve(room.props.tiles.size());
  for (size_t i = 0; i < room.props.tiles.size(); ++i) tiles.push_back({room.props.tiles[i].id, i});

  auto& h = S().hooks;
  auto particleBelow = [&](double below) { return h.particleDepthBelow ? h.particleDepthBelow(below) : kNoParticles; };
  double p = particleBelow(INFINITY);
  size_t i = 0, t = 0;
  while (t < tiles.size() || i < instances.size() || p > -1e8) {
    CInstance* inst = i < instances.size() ? instances[i] : nullptr;
    if (inst && (inst->deleted || inst->deactivated || !inst->visible)) {
      ++i;
      continue;
    }
    const RTile* tile = t < tiles.size() ? TileNow(room, tiles[t].id, tiles[t].index) : nullptr;
    if (t < tiles.size() && (!tile || !tile->visible)) {
      ++t;
      continue;
    }
    if ((!inst || p >= inst->depth) && (!tile || p >= tile->depth) && p > -1e8) {
      SetDepth(std::min(p, 11000.0));
      if (h.drawParticlesAt) h.drawParticlesAt(p);
      p = particleBelow(p);
      continue;
    }
    if (!inst || (tile && tile->depth > inst->depth)) {
      DrawTile(*tile, r);
      ++t;
    } else {
      SetDepth(std::min(inst->depth, 11000.0));
      if (h.drawInstance) h.drawInstance(inst);
      else DrawInstanceDefault(inst);
      ++i;
    }
  }
}

void DrawRegion(CLiveRoom& room, const Region& r) {
  auto& d = D3D();
  if (d.depthMode && DeviceExists()) d.gpu->Clear(0, false, true);
  if (room.props.showColour) ClearTarget(room.props.colour, 1.0);
  SetDepth(12000);
  DrawLayers(room, false, r);
  DrawMerged(room, r);
  SetDepth(-12000);
  DrawLayers(room, true, r);
  SetDepth(-13000);
  if (S().hooks.cursor) {
    int sprite = -1, frame = 0;
    double x = 0, y = 0;
    S().hooks.cursor(sprite, frame, x, y);
    int frames = SpriteFrameCount(sprite);
    int w, hh, xo, yo;
    if (frames > 0 && Sprites().geometry(sprite, w, hh, xo, yo)) {
      int f = ((frame % frames) + frames) % frames;
      DrawTextureExt(Sprites().frameTexture(sprite, f), kWhite, 1.0, 0.0, 1.0, 1.0, x, y, xo, yo);
    }
  }
}

}  // namespace

void SetRoomDrawHooks(const RoomDrawHooks& hooks) { S().hooks = hooks; }
int ViewCurrent() { return S().viewCurrent; }

void UpdateViews(CLiveRoom& room) {
  ViewMapping* map = ViewMappings();
  if (!room.props.viewsEnabled) {
    for (int v = 0; v < CRoom::kLayerCount; ++v) map[v] = ViewMapping{};
    return;
  }
  for (CView& v : room.props.views) {
    if (!v.visible) continue;
    CInstance* inst = Followed(room, v.object);
    if (!inst) continue;
    int xi = RoundPixel(inst->x), yi = RoundPixel(inst->y);
    v.xView = Follow(v.xView, v.wView, v.hBorder, v.hSpeed, xi, room.props.width);
    v.yView = Follow(v.yView, v.hView, v.vBorder, v.vSpeed, yi, room.props.height);
  }
  for (int i = 0; i < CRoom::kLayerCount; ++i) {
    const CView& v = room.props.views[i];
    map[i] = ViewMapping{};
    if (!v.visible) continue;
    map[i] = {true, double(v.xView), double(v.yView), double(v.wView), double(v.hView), double(v.xPort),
              double(v.yPort), double(v.wPort), double(v.hPort), v.angle};
  }
}

void DrawRoom(CLiveRoom& room) {
  UpdateViews(room);
  room.SortByDepth();
  room.SortTilesByDepth();
  auto& d = D3D();
  if (room.props.viewsEnabled) {
    SetViewport(0, 0, d.renderWidth, d.renderHeight);
    ClearTarget(Win().colour, 1.0);
    for (int i = 0; i < CRoom::kLayerCount; ++i) {
      const CView v = room.props.views[i];
      if (!v.visible) continue;
      S().viewCurrent = i;
      SetViewport(v.xPort, v.yPort, v.wPort, v.hPort);
      SetProjection2D(v.xView, v.yView, v.wView, v.hView, v.angle);
      Region r{double(v.xView), double(v.yView), double(v.xView) + v.wView, double(v.yView) + v.hView};
      if (std::fabs(v.angle) >= 0.01)
        r = {double(v.xView - v.hView / 2), double(v.yView - v.wView / 2),
             double(v.xView) + v.wView + v.hView / 2, double(v.yView) + v.hView + v.wView / 2};
      DrawRegion(room, r);
    }
    SetViewport(0, 0, Win().regionWidth, Win().regionHeight);
    SetProjection2D(0, 0, Win().regionWidth, Win().regionHeight, 0);
  } else {
    S().viewCurrent = 0;
    SetViewport(0, 0, room.props.width, room.props.height);
    SetProjection2D(0, 0, room.props.width, room.props.height, 0);
    DrawRegion(room, {0, 0, double(room.props.width), double(room.props.height)});
  }
  S().viewCurrent = 0;
  SetCaption(ComposeWindowCaption());  // room_caption with the score, lives and health shown
}

void DrawCurrentRoom() {
  if (CLiveRoom* room = CurrentRoom()) DrawRoom(*room);
}

void SetupRoomRegion(const CLiveRoom& room) {
  int w = room.props.width, h = room.props.height;
  if (room.props.viewsEnabled) {
    w = h = 8;
    for (const CView& v : room.props.views) {
      if (!v.visible) continue;
      w = std::max(w, v.xPort + v.wPort);
      h = std::max(h, v.yPort + v.hPort);
    }
  }
  w = std::min(w, Win().desktopWidth);
  h = std::min(h, Win().desktopHeight);
  if (w == Win().regionWidth && h == Win().regionHeight) return;
  SetRegionSize(w, h, true);
  DefaultWindow();  // centred at the default size (the scaled region, or the region when the scale is not positive)
  SetRenderSize(w, h);
}

void DrawInstanceDefault(CInstance* inst) {
  if (LookupEvent(inst->objectIndex, kEventDraw, 0)) {
    PerformEventFor(inst, inst, kEventDraw, 0);
    return;
  }
  const int frames = SpriteFrameCount(inst->spriteIndex);
  int w, h, xo, yo;
  if (frames <= 0 || !Sprites().geometry(inst->spriteIndex, w, h, xo, yo)) return;
  double img = std::isfinite(inst->imageIndex) ? std::floor(inst->imageIndex) : 0.0;
  long long f = static_cast<long long>(std::clamp(img, -9e18, 9e18)) % frames;
  if (f < 0) f += frames;
  const int tex = Sprites().frameTexture(inst->spriteIndex, static_cast<int>(f));
  if (inst->imageXScale == 1 && inst->imageYScale == 1 && inst->imageAngle == 0 && inst->imageBlend == kWhite &&
      inst->imageAlpha == 1)
    DrawTexture(tex, inst->x - xo, inst->y - yo);
  else
    DrawTextureExt(tex, inst->imageBlend, inst->imageAlpha, inst->imageAngle * M_PI / 180.0, inst->imageXScale,
                   inst->imageYScale, inst->x, inst->y, xo, yo);
}

}  // namespace kv::gfx
