#include "world/room_class.h"

#include <cmath>
#include <limits>

#include "runner/support_stream.h"

namespace kv {
namespace {

// Nearest int, halves to even, saturating at the int range (NaN gives 0).
int32_t StoredInt(double v) {
  if (std::isnan(v)) return 0;
  const double r = std::nearbyint(v);
  if (r <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (r >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(r);
}

constexpr size_t kInstanceRecordMin = 5 * 4;  // four ints and a string length
constexpr size_t kTileRecordBytes = 9 * 4;

}  // namespace

bool CRoom::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  *this = CRoom();
  caption = s.ReadString();
  width = s.ReadInt();
  height = s.ReadInt();
  speed = s.ReadInt();
  persistent = s.ReadBool();
  colour = s.ReadInt();
  showColour = s.ReadBool();
  creationCode = s.ReadString();

  const int32_t layerCount = s.ReadInt();
  if (layerCount < 0 || layerCount > kLayerCount) return false;
  for (int32_t i = 0; i < layerCount; ++i) {
    CBack& b = backgrounds[i];
    b.visible = s.ReadBool();
    b.foreground = s.ReadBool();
    b.background = s.ReadInt();
    b.x = s.ReadInt();
    b.y = s.ReadInt();
    b.hTiled = s.ReadBool();
    b.vTiled = s.ReadBool();
    b.hSpeed = s.ReadInt();
    b.vSpeed = s.ReadInt();
    b.stretch = s.ReadBool();
  }

  viewsEnabled = s.ReadBool();
  const int32_t viewCount = s.ReadInt();
  if (viewCount < 0 || viewCount > kLayerCount) return false;
  for (int32_t i = 0; i < viewCount; ++i) {
    CView& v = views[i];
    v.visible = s.ReadBool();
    v.xView = s.ReadInt();
    v.yView = s.ReadInt();
    v.wView = s.ReadInt();
    v.hView = s.ReadInt();
    v.xPort = s.ReadInt();
    v.yPort = s.ReadInt();
    v.wPort = s.ReadInt();
    v.hPort = s.ReadInt();
    v.hBorder = s.ReadInt();
    v.vBorder = s.ReadInt();
    v.hSpeed = s.ReadInt();
    v.vSpeed = s.ReadInt();
    v.object = s.ReadInt();
  }

  const int32_t instanceCount = s.ReadInt();
  s.CheckCount(instanceCount, kInstanceRecordMin);
  instances.resize(static_cast<size_t>(instanceCount));
  for (RRoomInstance& inst : instances) {
    inst.x = s.ReadInt();
    inst.y = s.ReadInt();
    inst.objectIndex = s.ReadInt();
    inst.id = s.ReadInt();
    inst.creationCode = s.ReadString();
  }

  const int32_t tileCount = s.ReadInt();
  s.CheckCount(tileCount, kTileRecordBytes);
  tiles.resize(static_cast<size_t>(tileCount));
  for (RTile& t : tiles) {
    t.x = s.ReadInt();
    t.y = s.ReadInt();
    t.background = s.ReadInt();
    t.left = s.ReadInt();
    t.top = s.ReadInt();
    t.width = s.ReadInt();
    t.height = s.ReadInt();
    t.depth = s.ReadInt();
    t.id = s.ReadInt();
  }
  return true;
}

void CRoom::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteString(caption);
  s.WriteInt(width);
  s.WriteInt(height);
  s.WriteInt(speed);
  s.WriteBool(persistent);
  s.WriteInt(colour);
  s.WriteBool(showColour);
  s.WriteString(creationCode);

  s.WriteInt(kLayerCount);
  for (const CBack& b : backgrounds) {
    s.WriteBool(b.visible);
    s.WriteBool(b.foreground);
    s.WriteInt(b.background);
    s.WriteInt(StoredInt(b.x));
    s.WriteInt(StoredInt(b.y));
    s.WriteBool(b.hTiled);
    s.WriteBool(b.vTiled);
    s.WriteInt(StoredInt(b.hSpeed));
    s.WriteInt(StoredInt(b.vSpeed));
    s.WriteBool(b.stretch);
  }

  s.WriteBool(viewsEnabled);
  s.WriteInt(kLayerCount);
  for (const CView& v : views) {
    s.WriteBool(v.visible);
    s.WriteInt(v.xView);
    s.WriteInt(v.yView);
    s.WriteInt(v.wView);
    s.WriteInt(v.hView);
    s.WriteInt(v.xPort);
    s.WriteInt(v.yPort);
    s.WriteInt(v.wPort);
    s.WriteInt(v.hPort);
    s.WriteInt(v.hBorder);
    s.WriteInt(v.vBorder);
    s.WriteInt(v.hSpeed);
    s.WriteInt(v.vSpeed);
    s.WriteInt(v.object);
  }

  s.WriteInt(static_cast<int32_t>(instances.size()));
  for (const RRoomInstance& inst : instances) {
    s.WriteInt(inst.x);
    s.WriteInt(inst.y);
    s.WriteInt(inst.objectIndex);
    s.WriteInt(inst.id);
    s.WriteString(inst.creationCode);
  }

  s.WriteInt(static_cast<int32_t>(tiles.size()));
  for (const RTile& t : tiles) {
    s.WriteInt(StoredInt(t.x));
    s.WriteInt(StoredInt(t.y));
    s.WriteInt(t.background);
    s.WriteInt(t.left);
    s.WriteInt(t.top);
    s.WriteInt(t.width);
    s.WriteInt(t.height);
    s.WriteInt(StoredInt(t.depth));
    s.WriteInt(t.id);
  }
}

}  // namespace kv
