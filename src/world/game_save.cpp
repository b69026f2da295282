#include "world/game_save.h"

#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "code/code_variable.h"
#include "runner/game_data.h"
#include "runner/support_stream.h"
#include "world/instance_class.h"
#include "world/room_live.h"
#include "world/run_main.h"
#include "world/world_rooms.h"
#include "world/world_state.h"
#include "platform/file_write.h"

namespace kv {

namespace {

// ---- writing ----
void WriteInstance(CStream& s, const CInstance& i) {
  s.WriteInt(i.id);
  s.WriteInt(i.spriteIndex);
  for (double v : {i.imageIndex, i.imageSpeed, i.imageXScale, i.imageYScale, i.imageAngle, i.imageAlpha})
    s.WriteReal(v);
  s.WriteInt(i.imageBlend);
  s.WriteInt(i.maskIndex);
  s.WriteReal(i.depth);
  s.WriteBool(i.precise);
  for (double v : {i.x, i.y, i.xStart, i.yStart, i.xPrevious, i.yPrevious, i.direction, i.speed, i.friction,
                   i.gravityDirection, i.gravity, i.hSpeed, i.vSpeed})
    s.WriteReal(v);
  for (int32_t v : {i.bboxLeft, i.bboxRight, i.bboxTop, i.bboxBottom}) s.WriteInt(v);
  s.WriteBool(i.visible);
  s.WriteBool(i.solid);
  s.WriteBool(i.persistent);
  s.WriteInt(i.objectIndex);
  for (int32_t a : i.alarm) s.WriteInt(a);
  s.WriteBool(i.deleted);
  s.WriteBool(i.deactivated);
  s.WriteInt(i.pathIndex);
  for (double v : {i.pathPosition, i.pathPositionPrevious, i.pathSpeed, i.pathScale, i.pathOrientation})
    s.WriteReal(v);
  s.WriteInt(i.pathEndAction);
  s.WriteReal(i.pathRefX);
  s.WriteReal(i.pathRefY);
  s.WriteInt(i.timelineIndex);
  s.WriteReal(i.timelinePosition);
  s.WriteReal(i.timelineSpeed);
  s.WriteString(i.creationCode);
  i.locals.WriteTo(s);
}

void WriteRoomState(CStream& s, const CLiveRoom& room) {
  const CRoom& p = room.props;
  s.WriteInt(kSavedGameVersion);
  s.WriteString(p.caption);
  s.WriteInt(p.width);
  s.WriteInt(p.height);
  s.WriteInt(p.speed);
  s.WriteBool(p.persistent);
  s.WriteInt(p.colour);
  s.WriteBool(p.showColour);
  s.WriteString(p.creationCode);
  s.WriteInt(CRoom::kLayerCount);
  for (const CBack& b : p.backgrounds) {
    s.WriteBool(b.visible);
    s.WriteBool(b.foreground);
    s.WriteInt(b.background);
    s.WriteReal(b.x);
    s.WriteReal(b.y);
    s.WriteBool(b.hTiled);
    s.WriteBool(b.vTiled);
    s.WriteReal(b.xScale);
    s.WriteReal(b.yScale);
    s.WriteReal(b.hSpeed);
    s.WriteReal(b.vSpeed);
    s.WriteInt(b.blend);
    s.WriteReal(b.alpha);
  }
  s.WriteBool(p.viewsEnabled);
  s.WriteInt(CRoom::kLayerCount);
  for (const CView& v : p.views) {
    s.WriteBool(v.visible);
    for (int f : {v.xView, v.yView, v.wView, v.hView, v.xPort, v.yPort, v.wPort, v.hPort}) s.WriteInt(f);
    s.WriteReal(v.angle);
    for (int f : {v.hBorder, v.vBorder, v.hSpeed, v.vSpeed, v.object}) s.WriteInt(f);
  }
  s.WriteInt(room.ActiveCount());
  for (int i = 0; i < room.ActiveCount(); ++i) WriteInstance(s, *room.ActiveAt(i));
  s.WriteInt(room.DeactivatedCount());
  for (int i = 0; i < room.DeactivatedCount(); ++i) WriteInstance(s, *room.DeactivatedAt(i));
  s.WriteInt(room.TileCount());
  for (const RTile& t : p.tiles) {
    s.WriteReal(t.x);
    s.WriteReal(t.y);
    for (int f : {t.background, t.left, t.top, t.width, t.height}) s.WriteInt(f);
    s.WriteReal(t.depth);
    s.WriteInt(t.id);
    s.WriteReal(t.xScale);
    s.WriteReal(t.yScale);
    s.WriteInt(t.blend);
    s.WriteReal(t.alpha);
    s.WriteBool(t.visible);
  }
}

// ---- reading (into new objects only) ----
struct Refused {
  std::string message;
};

// Every real field of a saved instance, room layer, view and tile must be a finite number: a NaN or an infinity
// in a position, speed or scale would fault every step of the loaded game.
double ReadFinite(CStream& s) {
  const double v = s.ReadReal();
  if (!std::isfinite(v)) throw Refused{"Failed to load game: a number is not finite."};
  return v;
}

constexpr size_t kInstanceRecordMin = 4 * 2 + 8 * 6 + 4 * 2 + 8 + 4 + 8 * 13 + 4 * 4 + 4 * 3 + 4 + 4 * 12 + 4 * 2 +
                                      4 + 8 * 5 + 4 + 8 * 2 + 4 + 8 * 2 + 4 + 8;

std::unique_ptr<CInstance> ReadInstance(CStream& s) {
  auto inst = std::make_unique<CInstance>(0, 0, 0.0, 0.0);
  CInstance& i = *inst;
  i.id = s.ReadInt();
  i.spriteIndex = s.ReadInt();
  for (double* v : {&i.imageIndex, &i.imageSpeed, &i.imageXScale, &i.imageYScale, &i.imageAngle, &i.imageAlpha})
    *v = ReadFinite(s);
  i.imageBlend = s.ReadInt();
  i.maskIndex = s.ReadInt();
  i.depth = ReadFinite(s);
  i.precise = s.ReadBool();
  for (double* v : {&i.x, &i.y, &i.xStart, &i.yStart, &i.xPrevious, &i.yPrevious, &i.direction, &i.speed,
                    &i.friction, &i.gravityDirection, &i.gravity, &i.hSpeed, &i.vSpeed})
    *v = ReadFinite(s);
  for (int32_t* v : {&i.bboxLeft, &i.bboxRight, &i.bboxTop, &i.bboxBottom}) *v = s.ReadInt();
  i.visible = s.ReadBool();
  i.solid = s.ReadBool();
  i.persistent = s.ReadBool();
  i.objectIndex = s.ReadInt();
  for (int32_t& a : i.alarm) a = s.ReadInt();
  i.deleted = s.ReadBool();
  i.deactivated = s.ReadBool();
  i.pathIndex = s.ReadInt();
  for (double* v : {&i.pathPosition, &i.pathPositionPrevious, &i.pathSpeed, &i.pathScale, &i.pathOrientation})
    *v = ReadFinite(s);
  i.pathEndAction = s.ReadInt();
  i.pathRefX = ReadFinite(s);
  i.pathRefY = ReadFinite(s);
  i.timelineIndex = s.ReadInt();
  i.timelinePosition = ReadFinite(s);
  i.timelineSpeed = ReadFinite(s);
  i.creationCode = s.ReadString();
  if (!i.locals.ReadFrom(s)) throw Refused{"Failed to load game: bad instance variables."};
  return inst;
}

std::unique_ptr<CLiveRoom> ReadRoomState(CStream& s, int objectCount) {
  if (s.ReadInt() != kSavedGameVersion) throw Refused{"Failed to load game: bad room record."};
  auto room = std::make_unique<CLiveRoom>();
  CRoom& p = room->props;
  p.caption = s.ReadString();
  p.width = s.ReadInt();
  p.height = s.ReadInt();
  p.speed = s.ReadInt();
  p.persistent = s.ReadBool();
  p.colour = s.ReadInt();
  p.showColour = s.ReadBool();
  p.creationCode = s.ReadString();
  const int32_t layers = s.ReadInt();
  if (layers < 0 || layers > CRoom::kLayerCount) throw Refused{"Failed to load game: bad room record."};
  for (int k = 0; k < layers; ++k) {
    CBack& b = p.backgrounds[k];
    b.visible = s.ReadBool();
    b.foreground = s.ReadBool();
    b.background = s.ReadInt();
    b.x = ReadFinite(s);
    b.y = ReadFinite(s);
    b.hTiled = s.ReadBool();
    b.vTiled = s.ReadBool();
    b.xScale = ReadFinite(s);
    b.yScale = ReadFinite(s);
    b.hSpeed = ReadFinite(s);
    b.vSpeed = ReadFinite(s);
    b.blend = s.ReadInt();
    b.alpha = ReadFinite(s);
  }
  p.viewsEnabled = s.ReadBool();
  const int32_t views = s.ReadInt();
  if (views < 0 || views > CRoom::kLayerCount) throw Refused{"Failed to load game: bad room record."};
  for (int k = 0; k < views; ++k) {
    CView& v = p.views[k];
    v.visible = s.ReadBool();
    for (int* f : {&v.xView, &v.yView, &v.wView, &v.hView, &v.xPort, &v.yPort, &v.wPort, &v.hPort}) *f = s.ReadInt();
    v.angle = ReadFinite(s);
    for (int* f : {&v.hBorder, &v.vBorder, &v.hSpeed, &v.vSpeed, &v.object}) *f = s.ReadInt();
  }
  // Instances of objects the game does not have would index past every per-object table: refuse the file.
  auto readList = [&](bool deactivated) {
    const int32_t n = s.ReadInt();
    s.CheckCount(n, kInstanceRecordMin);
    for (int32_t k = 0; k < n; ++k) {
      std::unique_ptr<CInstance> inst = ReadInstance(s);
      if (inst->objectIndex < 0 || inst->objectIndex >= objectCount)
        throw Refused{"Failed to load game: instance of a non-existing object."};
      inst->deactivated = deactivated;
      room->Adopt(std::move(inst));
    }
  };
  readList(false);
  readList(true);
  room->UpdateDeactivation();
  const int32_t tiles = s.ReadInt();
  s.CheckCount(tiles, 8 * 2 + 4 * 5 + 8 + 4 + 8 * 2 + 4 + 8 + 4);
  p.tiles.resize(static_cast<size_t>(tiles));
  for (RTile& t : p.tiles) {
    t.x = ReadFinite(s);
    t.y = ReadFinite(s);
    for (int* f : {&t.background, &t.left, &t.top, &t.width, &t.height}) *f = s.ReadInt();
    t.depth = ReadFinite(s);
    t.id = s.ReadInt();
    t.xScale = ReadFinite(s);
    t.yScale = ReadFinite(s);
    t.blend = s.ReadInt();
    t.alpha = ReadFinite(s);
    t.visible = s.ReadBool();
  }
  room->RebuildLookups();
  return room;
}

}  // namespace

void WriteSavedGame(CStream& out, int32_t gameId) {
  const GameState& g = Game();
  out.WriteInt(kSavedGameVersion);
  out.WriteInt(gameId);
  out.WriteInt(CurrentRoomIndex());
  out.WriteInt(g.transitionKind);
  out.WriteInt(g.score);
  out.WriteInt(g.lives);
  out.WriteReal(g.health);
  out.WriteInt(g.cursorSprite);
  out.WriteInt(static_cast<int32_t>(g.cursorFrame));
  out.WriteBool(g.automaticDraw);
  WriteGlobalVariables(out);
  const int n = LiveRoomSlots();
  out.WriteInt(n);
  for (int r = 0; r < n; ++r) {
    const CLiveRoom* room = LiveRoom(r);
    out.WriteBool(room != nullptr);
    if (room) WriteRoomState(out, *room);
  }
  out.WriteInt(LastInstanceId());
  out.WriteInt(LastTileId());
}

bool ApplySavedGame(CStream& s, int32_t gameId, std::string& error) {
  const GameResources* res = WorldResources();
  const int roomCount = res ? res->rooms.Count() : 0;
  const int objectCount = res ? res->objects.Count() : 0;
  try {
    if (s.ReadInt() != kSavedGameVersion) throw Refused{"Cannot load game saved with other version."};
    if (s.ReadInt() != gameId) throw Refused{"This is a save file for a different game!"};
    GameState g = Game();
    const int32_t current = s.ReadInt();
    g.transitionKind = s.ReadInt();
    g.score = s.ReadInt();
    g.lives = s.ReadInt();
    g.health = ReadFinite(s);
    g.cursorSprite = s.ReadInt();
    g.cursorFrame = s.ReadInt();
    g.automaticDraw = s.ReadBool();
    // The globals are parsed here for validation; they are read again from the same bytes when applied.
    const size_t globalsAt = s.Position();
    const bool globalsKnown = s.ReadInt() == kGlobalsVersion;
    if (globalsKnown) {
      CVariableList probe;
      if (!probe.ReadFrom(s)) throw Refused{"Failed to load game: bad global variables."};
      const int32_t flags = s.ReadInt();
      s.CheckCount(flags, 4);
      s.Skip(static_cast<size_t>(flags) * 4);
    }
    const int32_t n = s.ReadInt();
    if (n != roomCount) throw Refused{"Failed to load game: the rooms do not match this game."};
    std::vector<std::unique_ptr<CLiveRoom>> live(static_cast<size_t>(n));
    for (int32_t r = 0; r < n; ++r)
      if (s.ReadBool()) live[r] = ReadRoomState(s, objectCount);
    const int32_t lastInstance = s.ReadInt();
    const int32_t lastTile = s.ReadInt();
    if (current < 0 || current >= n || !live[current])
      throw Refused{"Failed to load game: the saved game has no current room."};

    // Everything parsed: replace the running game.
    const size_t end = s.Position();
    if (globalsKnown) {
      s.Seek(globalsAt);
      ReadGlobalVariables(s);
      s.Seek(end);
    }
    Game() = g;
    ReplaceRooms(std::move(live), current, lastInstance, lastTile);
    return true;
  } catch (const Refused& r) {
    error = r.message;
  } catch (const StreamError&) {
    error = "Failed to load game: the file is damaged.";
  }
  return false;
}

bool SaveGame(const std::string& file, int32_t gameId, bool secureMode, std::string& error) {
  if (secureMode && file.find_first_of("\\/") != std::string::npos) {
    error = "In secure mode you cannot save game to file " + file;
    return false;
  }
  // The name has no directory part; it still may not be a link leading out of the working directory.
  if (secureMode && !plat::WriteStaysInWorkingDirectory(file)) {
    error = "In secure mode you cannot save game to file " + file;
    return false;
  }
  CStream s;
  WriteSavedGame(s, gameId);
  // A fresh temporary beside the target, renamed over it: the previous save survives any failure.
  if (plat::WriteFileAtomically(file, s.Data(), s.Size(), secureMode)) return true;
  error = "Failed to save game to file " + file;
  return false;
}

bool LoadGame(const std::string& file, int32_t gameId, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return true;
  CStream s;
  if (!CStream::LoadFile(file, s)) {
    error = "Failed to load game from file " + file;
    return false;
  }
  if (!ApplySavedGame(s, gameId, error)) {
    // Version and game mismatches keep their own message; a damaged file reports the failed read.
    if (error.rfind("Failed to load game:", 0) == 0) error = "Failed to load game from file " + file;
    return false;
  }
  return true;
}

}  // namespace kv
