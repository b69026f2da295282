#include "kvpack_dump.h"

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
  Table(o, "sounds", res.sounds, none);
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
