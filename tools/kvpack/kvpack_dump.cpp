#include "kvpack_dump.h"

#include <iomanip>
#include <sstream>

#include "kvpack_project.h"
#include "platform/text_codec.h"

namespace kv::pack {
namespace {

std::string Text(std::string_view cp1252) { return plat::Cp1252ToUtf8(cp1252); }

// Names of a table, "-" for an empty slot.
template <class T, class Describe>
void Table(std::ostream& o, const char* title, const ResourceTable<T>& table, Describe describe) {
  o << title << ": " << table.Count() << "\n";
  for (int i = 0; i < table.Count(); ++i) {
    o << "  " << i << " ";
    if (!table.Exists(i)) {
      o << "-\n";
      continue;
    }
    o << Text(table.Name(i));
    std::string detail = describe(*table.Get(i));
    if (!detail.empty()) o << "  " << detail;
    o << "\n";
  }
}

std::string EventList(const CObject& obj, const GameResources& res) {
  std::string out;
  for (int type = 0; type < CObject::kEventTypeCount; ++type) {
    for (const auto& [subtype, ev] : obj.events[type]) {
      if (!ev.Defined()) continue;
      if (!out.empty()) out += ", ";
      out += type == 4 ? "collision " + Text(res.objects.Name(subtype)) : EventName(type, subtype);
      if (ev.actions.size() > 1) out += " (" + std::to_string(ev.actions.size()) + " actions)";
    }
  }
  return out;
}

// The layers with a background, the visible views and the tiles of a room, in the manifest's own line syntax.
void RoomDetails(std::ostream& o, const CRoom& r, const GameResources& res) {
  auto background = [&](int i) { return res.backgrounds.Exists(i) ? Text(res.backgrounds.Name(i)) : std::to_string(i); };
  if (r.colour != CRoom().colour || !r.showColour)
    o << "    background_color = 0x" << std::hex << std::uppercase << std::setw(6) << std::setfill('0') << r.colour
      << std::dec << std::nouppercase << std::setfill(' ') << ", show_color = " << (r.showColour ? "true" : "false")
      << "\n";
  for (int i = 0; i < CRoom::kLayerCount; ++i) {
    const CBack& b = r.backgrounds[i];
    if (b.background < 0 && !b.visible) continue;
    o << "    background " << i << " " << background(b.background) << (b.visible ? " visible" : " hidden")
      << (b.foreground ? " foreground" : "") << (b.stretch ? " stretch" : "") << " x=" << b.x << " y=" << b.y
      << " htiled=" << (b.hTiled ? "on" : "off") << " vtiled=" << (b.vTiled ? "on" : "off") << " hspeed=" << b.hSpeed
      << " vspeed=" << b.vSpeed << "\n";
  }
  if (r.viewsEnabled) o << "    views = on\n";
  for (int i = 0; i < CRoom::kLayerCount; ++i) {
    const CView& v = r.views[i];
    if (!v.visible) continue;
    o << "    view " << i << " " << v.xView << " " << v.yView << " " << v.wView << " " << v.hView << " " << v.xPort
      << " " << v.yPort << " " << v.wPort << " " << v.hPort << " object="
      << (res.objects.Exists(v.object) ? Text(res.objects.Name(v.object)) : std::to_string(v.object))
      << " hborder=" << v.hBorder << " vborder=" << v.vBorder << " hspeed=" << v.hSpeed << " vspeed=" << v.vSpeed
      << "\n";
  }
  for (const RTile& t : r.tiles)
    o << "    tile " << background(t.background) << " " << t.x << " " << t.y << " " << t.left << " " << t.top << " "
      << t.width << " " << t.height << " " << t.depth << "  id " << t.id << "\n";
}

}  // namespace

std::string DumpGame(const GameData& g) {
  std::ostringstream o;
  const GameResources& res = g.resources;
  o << "game id: " << g.gameId << "\n";
  CStream guid(std::vector<uint8_t>(g.guid.begin(), g.guid.end()));
  o << "guid: " << guid.ToHex() << "\n";
  o << "debug: " << (g.debugMode ? "true" : "false") << "\n";
  o << "helper library: " << Text(g.helperLibraryName) << " (" << g.helperLibrary.size() << " bytes)\n";

  o << "settings:\n";
  for (const SettingField& f : SettingFields()) {
    o << "  " << f.key << " = ";
    if (auto b = std::get_if<bool GameSettings::*>(&f.member)) o << (g.settings.*(*b) ? "true" : "false");
    else o << g.settings.*std::get<int32_t GameSettings::*>(f.member);
    o << "\n";
  }
  auto image = [&](const char* key, const std::optional<CBitmap32>& b) {
    o << "  " << key << " = ";
    if (b) o << b->width << "x" << b->height << "\n";
    else o << "none\n";
  };
  image("back_bar_image", g.settings.backBarImage);
  image("front_bar_image", g.settings.frontBarImage);
  image("loading_image", g.settings.loadingImage);
  o << "constants: " << g.settings.constants.size() << "\n";
  for (const auto& [name, value] : g.settings.constants) o << "  " << Text(name) << " = " << Text(value) << "\n";

  o << "extension packages: " << res.extensions.size() << "\n";
  for (const CExtensionPackage& p : res.extensions)
    o << "  " << Text(p.name) << "  " << p.files.size() << " files\n";
  auto none = [](const auto&) { return std::string(); };
  Table(o, "sounds", res.sounds, [](const CSound& s) {
    std::ostringstream d;
    static const char* const kinds[] = {"normal", "background", "3d", "multimedia"};
    d << (s.kind >= 0 && s.kind <= 3 ? kinds[s.kind] : std::to_string(s.kind).c_str()) << ", "
      << Text(s.fileName) << " (" << (s.data ? s.data->size() : 0) << " bytes), volume " << s.volume << ", pan "
      << s.pan << ", effects " << s.effects << ", preload " << (s.preload ? "true" : "false");
    return d.str();
  });
  Table(o, "sprites", res.sprites, [](const CSprite& s) { return std::to_string(s.FrameCount()) + " frames"; });
  Table(o, "backgrounds", res.backgrounds, [](const CBackground& b) {
    return std::to_string(b.width) + "x" + std::to_string(b.height);
  });
  Table(o, "paths", res.paths, [](const CPath& p) { return std::to_string(p.points.size()) + " points"; });
  Table(o, "scripts", res.scripts, [](const CScript& s) { return std::to_string(s.Text().size()) + " bytes"; });
  Table(o, "fonts", res.fonts, none);
  Table(o, "time lines", res.timelines,
        [](const CTimeLine& t) { return std::to_string(t.moments.size()) + " moments"; });
  Table(o, "objects", res.objects, [&](const CObject& obj) {
    std::string d = "depth " + std::to_string(obj.depth);
    if (obj.parent >= 0) d += ", parent " + Text(res.objects.Name(obj.parent));
    std::string ev = EventList(obj, res);
    if (!ev.empty()) d += "; events: " + ev;
    return d;
  });
  Table(o, "rooms", res.rooms, [](const CRoom& r) {
    return std::to_string(r.width) + "x" + std::to_string(r.height) + ", speed " + std::to_string(r.speed) + ", " +
           std::to_string(r.instances.size()) + " instances, " + std::to_string(r.tiles.size()) + " tiles";
  });
  for (int i = 0; i < res.rooms.Count(); ++i)
    if (res.rooms.Exists(i)) {
      std::ostringstream details;
      RoomDetails(details, *res.rooms.Get(i), res);
      if (!details.str().empty()) o << "  room " << Text(res.rooms.Name(i)) << ":\n" << details.str();
    }
  o << "last instance id: " << res.lastInstanceId << ", last tile id: " << res.lastTileId << "\n";
  o << "included files: " << res.includedFiles.size() << "\n";
  for (const CDataFile& f : res.includedFiles)
    o << "  " << Text(f.name) << "  " << f.data.size() << " bytes, export " << f.exportMode << "\n";
  o << "game information: " << Text(res.gameInfo.caption) << ", " << res.gameInfo.text.size() << " bytes\n";
  o << "library init code: " << res.libraryInitCode.size() << "\n";
  o << "room order:";
  for (int r : res.roomOrder) o << " " << Text(res.rooms.Name(r));
  o << "\n";
  return o.str();
}

}  // namespace kv::pack
