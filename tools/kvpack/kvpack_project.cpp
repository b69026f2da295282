#include "kvpack_project.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>

#include "kvpack_extensions.h"
#include "kvpack_images.h"
#include "kvpack_rooms.h"
#include "platform/text_codec.h"
#include "world/event_table.h"

namespace kv::pack {

// ---- tables ---------------------------------------------------------------------------------------------------

const std::vector<SettingField>& SettingFields() {
  using S = GameSettings;
  static const std::vector<SettingField> fields = {
      {"full_screen", &S::fullScreen},
      {"interpolate", &S::interpolate},
      {"no_border", &S::noBorder},
      {"show_cursor", &S::showCursor},
      {"scaling", &S::scaling},
      {"allow_resize", &S::allowResize},
      {"stay_on_top", &S::stayOnTop},
      {"outside_color", &S::outsideColor},
      {"set_resolution", &S::setResolution},
      {"color_depth", &S::colorDepth},
      {"resolution", &S::resolution},
      {"frequency", &S::frequency},
      {"no_buttons", &S::noButtons},
      {"vsync", &S::vSync},
      {"key_full_screen", &S::keyFullScreen},
      {"key_help", &S::keyHelp},
      {"key_escape", &S::keyEscape},
      {"key_save_load", &S::keySaveLoad},
      {"key_screenshot", &S::keyScreenshot},
      {"close_as_escape", &S::closeAsEscape},
      {"priority", &S::priority},
      {"freeze_on_lose_focus", &S::freezeOnLoseFocus},
      {"show_progress_bar", &S::showProgressBar},
      {"loading_transparent", &S::loadingTransparent},
      {"loading_alpha", &S::loadingAlpha},
      {"scale_progress_bar", &S::scaleProgressBar},
      {"display_errors", &S::displayErrors},
      {"write_errors", &S::writeErrors},
      {"abort_on_error", &S::abortOnError},
      {"uninitialized_zero", &S::uninitializedZero},
  };
  return fields;
}

namespace {

struct NamedNumber {
  const char* name;
  int value;
};

const NamedNumber kKeys[] = {{"none", 0},    {"any", 1},       {"backspace", 8}, {"tab", 9},     {"enter", 13},
                             {"shift", 16},  {"control", 17},  {"alt", 18},      {"escape", 27}, {"space", 32},
                             {"pageup", 33}, {"pagedown", 34}, {"end", 35},      {"home", 36},   {"left", 37},
                             {"up", 38},     {"right", 39},    {"down", 40},     {"insert", 45}, {"delete", 46}};

template <size_t N>
std::optional<int> Lookup(const NamedNumber (&table)[N], std::string_view name) {
  for (const NamedNumber& n : table)
    if (name == n.name) return n.value;
  return std::nullopt;
}

template <size_t N>
const char* NameOf(const NamedNumber (&table)[N], int value) {
  for (const NamedNumber& n : table)
    if (n.value == value) return n.name;
  return nullptr;
}

std::optional<int> KeyCode(std::string_view word) {
  if (auto k = Lookup(kKeys, word)) return k;
  if (word.size() == 1 && word[0] >= 'A' && word[0] <= 'Z') return word[0];
  if (word.size() == 1 && word[0] >= 'a' && word[0] <= 'z') return word[0] - 'a' + 'A';
  if (word.size() == 1 && word[0] >= '0' && word[0] <= '9') return word[0];
  if (word.size() >= 2 && word.size() <= 3 && (word[0] == 'f' || word[0] == 'F')) {
    auto n = TryParseInt(word.substr(1));
    if (n && *n >= 1 && *n <= 12) return 111 + *n;
  }
  if (auto n = TryParseInt(word); n && *n >= 0) return *n;
  return std::nullopt;
}

std::string ToGame(std::string_view utf8) { return plat::Utf8ToCp1252(utf8); }

// Ids of the code action the packer writes; kept in the data, not used when the game runs.
constexpr int kCodeActionLibrary = 1, kCodeActionId = 1;

CAction CodeAction(std::string code) {
  CAction a;
  a.libraryId = kCodeActionLibrary;
  a.actionId = kCodeActionId;
  a.kind = 7;     // code
  a.exeType = 2;  // runs code
  a.argumentCount = 1;
  a.argumentKinds[0] = 1;
  a.argumentTexts[0] = std::move(code);
  a.applyTo = -1;  // self
  return a;
}

// ---- the packer -----------------------------------------------------------------------------------------------

class Packer {
 public:
  Packer(const Manifest& m, std::string dir) : m_(m), dir_(std::move(dir)) {}

  PackedGame Run() {
    DeclareResources();
    for (const ManifestSection& sec : m_.sections) Fill(sec);
    CheckTiles();
    if (!hasRoomOrder_)
      for (int i = 0; i < res().rooms.Count(); ++i) res().roomOrder.push_back(i);
    // The runner refuses a game without a first room, so refuse to build one.
    if (res().roomOrder.empty()) throw PackError(m_.fileName + ": the game needs at least one room");
    res().lastInstanceId = nextInstanceId_ - 1;
    res().lastTileId = lastTileId_;
    return std::move(out_);
  }

 private:
  GameResources& res() { return out_.game.resources; }
  GameSettings& settings() { return out_.game.settings; }

  std::string ReadFile(const ManifestEntry& e, std::string_view rel) {
    if (rel.empty()) m_.Fail(e.line, "missing file name");
    std::string path = dir_ + "/" + std::string(rel);
    std::ifstream f(path, std::ios::binary);
    if (!f) m_.Fail(e.line, "cannot read " + std::string(rel));
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  std::string ReadCode(const ManifestEntry& e, std::string_view rel) {
    std::string text = StoredCodeText(ReadFile(e, rel));
    out_.code.push_back({std::string(rel), text, false, 0});
    return text;
  }

  // Pass 1: every named resource gets its index in definition order, so entries may refer to later ones.
  void DeclareResources() {
    for (const ManifestSection& sec : m_.sections) {
      auto declare = [&](auto& table, auto record) {
        if (sec.name.empty()) m_.Fail(sec.line, "[" + sec.kind + "] needs a name");
        std::string name = ToGame(sec.name);
        if (table.Find(name) >= 0) m_.Fail(sec.line, "duplicate " + sec.kind + " name '" + sec.name + "'");
        table.Add(std::move(name), std::move(record));
      };
      if (sec.kind == "script") declare(res().scripts, std::make_unique<CScript>());
      else if (sec.kind == "object") declare(res().objects, std::make_unique<CObject>());
      else if (sec.kind == "room") declare(res().rooms, std::make_unique<CRoom>());
      else if (sec.kind == "timeline") declare(res().timelines, std::make_unique<CTimeLine>());
      else if (sec.kind == "sprite") declare(res().sprites, std::make_unique<CSprite>());
      else if (sec.kind == "background") declare(res().backgrounds, std::make_unique<CBackground>());
      else if (sec.kind == "path") declare(res().paths, std::make_unique<CPath>());
      else if (sec.kind == "sound") declare(res().sounds, std::make_unique<CSound>());
      // Later resource kinds (font) are declared here too.
      // A misspelt kind is reported at its own line here, before an earlier section's use of its name would be
      // reported as an unknown resource.
      else if (!IsKindWithoutResource(sec.kind)) m_.Fail(sec.line, "unknown section kind [" + sec.kind + "]");
    }
  }

  // The section kinds that declare no resource of their own.
  static bool IsKindWithoutResource(const std::string& kind) {
    for (const char* k : {"game", "settings", "constants", "room_order", "library_init", "include", "game_info",
                          "extension"})
      if (kind == k) return true;
    return false;
  }

  template <class T>
  int Resolve(const ResourceTable<T>& table, const ManifestEntry& e, std::string_view what, std::string_view ref) {
    if (auto n = TryParseInt(ref)) return *n;  // an index, or -1 for none
    int i = table.Find(ToGame(ref));
    if (i < 0) m_.Fail(e.line, "unknown " + std::string(what) + " '" + std::string(ref) + "'");
    return i;
  }
  // Kinds kvpack cannot pack yet are referred to by index only.
  int IndexOnly(const ManifestEntry& e, std::string_view what, std::string_view ref) {
    if (auto n = TryParseInt(ref)) return *n;
    m_.Fail(e.line, std::string(what) + " '" + std::string(ref) + "': refer to it by index (-1 for none)");
  }

  void Unknown(const ManifestSection& sec, const ManifestEntry& e) {
    m_.Fail(e.line, "unknown entry '" + e.key + "' in [" + sec.kind + "]");
  }

  void Fill(const ManifestSection& sec) {
    if (sec.kind == "game") return FillGame(sec);
    if (sec.kind == "settings") return FillSettings(sec);
    if (sec.kind == "constants") return FillConstants(sec);
    if (sec.kind == "script") return FillScript(sec);
    if (sec.kind == "object") return FillObject(sec);
    if (sec.kind == "room") return FillRoom(sec);
    if (sec.kind == "timeline") return FillTimeLine(sec);
    if (sec.kind == "room_order") return FillRoomOrder(sec);
    if (sec.kind == "library_init") return FillLibraryInit(sec);
    if (sec.kind == "include") return FillInclude(sec);
    if (sec.kind == "game_info") return FillGameInfo(sec);
    if (sec.kind == "sprite") return FillSprite(m_, sec, dir_, *res().sprites.Get(res().sprites.Find(ToGame(sec.name))));
    if (sec.kind == "background")
      return FillBackground(m_, sec, dir_, *res().backgrounds.Get(res().backgrounds.Find(ToGame(sec.name))));
    if (sec.kind == "path") return FillPath(sec);
    if (sec.kind == "sound") return FillSound(sec);
    if (sec.kind == "extension") {
      res().extensions.push_back(PackExtension(m_, sec, dir_, nextExtensionFunctionId_, out_.code));
      return;
    }
    m_.Fail(sec.line, "unknown section kind [" + sec.kind + "]");
  }

  void FillGame(const ManifestSection& sec) {
    GameData& g = out_.game;
    for (const ManifestEntry& e : sec.entries) {
      if (e.key == "id") g.gameId = ParseInt(m_, e, e.value);
      else if (e.key == "debug") g.debugMode = ParseBool(m_, e);
      else if (e.key == "seed") out_.scrambleSeed = ParseInt(m_, e, e.value);
      else if (e.key == "guid") SetGuid(e);
      else if (e.key == "helper_library") g.helperLibraryName = e.value;
      else if (e.key == "helper_library_file") {
        std::string bytes = ReadFile(e, e.value);
        g.helperLibrary.assign(bytes.begin(), bytes.end());
      } else Unknown(sec, e);
    }
  }

  void SetGuid(const ManifestEntry& e) {
    std::string hex;
    for (char c : e.value)
      if (c != '-' && c != '{' && c != '}') hex += c;
    CStream s;
    try {
      s.FromHex(hex);
    } catch (const StreamError&) {
      m_.Fail(e.line, "guid must be 32 hexadecimal digits");
    }
    if (hex.size() != 32) m_.Fail(e.line, "guid must be 32 hexadecimal digits");
    std::copy(s.Data(), s.Data() + 16, out_.game.guid.begin());
  }

  std::optional<CBitmap32> Image(const ManifestEntry& e) {
    if (e.value.empty()) return std::nullopt;
    std::string bytes = ReadFile(e, e.value);
    auto bmp = CBitmap32::DecodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (!bmp) m_.Fail(e.line, e.value + " is not a BMP file kvpack can read");
    return bmp;
  }

  void FillSettings(const ManifestSection& sec) {
    for (const ManifestEntry& e : sec.entries) {
      if (e.key == "back_bar_image") { settings().backBarImage = Image(e); continue; }
      if (e.key == "front_bar_image") { settings().frontBarImage = Image(e); continue; }
      if (e.key == "loading_image") { settings().loadingImage = Image(e); continue; }
      const SettingField* field = nullptr;
      for (const SettingField& f : SettingFields())
        if (e.key == f.key) field = &f;
      if (!field) Unknown(sec, e);
      if (auto b = std::get_if<bool GameSettings::*>(&field->member)) settings().*(*b) = ParseBool(m_, e);
      else settings().*std::get<int32_t GameSettings::*>(field->member) = ParseInt(m_, e, e.value);
    }
  }

  void FillConstants(const ManifestSection& sec) {
    for (const ManifestEntry& e : sec.entries) {
      if (!e.hasValue) m_.Fail(e.line, "a constant needs 'NAME = value'");
      settings().constants.emplace_back(ToGame(e.key), ToGame(e.rawValue));
    }
  }

  void FillScript(const ManifestSection& sec) {
    CScript* script = res().scripts.Get(res().scripts.Find(ToGame(sec.name)));
    bool hasFile = false;
    for (const ManifestEntry& e : sec.entries) {
      if (e.key == "file") {
        script->SetText(ReadCode(e, e.value));
        hasFile = true;
      } else Unknown(sec, e);
    }
    if (!hasFile) m_.Fail(sec.line, "[script " + sec.name + "] needs 'file = NAME.kvs'");
  }

  // "event TYPE [SUBTYPE]" -> (type, subtype).
  std::pair<int, int> ParseEvent(const ManifestEntry& e) {
    std::vector<std::string> w = SplitWords(e.key);
    if (w.size() < 2 || w.size() > 3) m_.Fail(e.line, "expected 'event TYPE [SUBTYPE] = FILE'");
    std::optional<int> type = EventTypeFromProjectName(w[1]);
    if (!type) m_.Fail(e.line, "unknown event type '" + w[1] + "'");
    const EventTypeRow& row = *EventTypeInfo(*type);
    bool needsSub = row.takesSubtype;
    bool stepSub = *type == kEventStep;
    if ((w.size() == 3) != needsSub && !(stepSub && w.size() == 2))
      m_.Fail(e.line, needsSub ? "event '" + w[1] + "' needs a subtype" : "event '" + w[1] + "' takes no subtype");
    if (w.size() == 2) return {*type, 0};
    const std::string& sub = w[2];
    std::optional<int> n;
    switch (*type) {
      case kEventAlarm: n = TryParseInt(sub); break;
      case kEventCollision: n = Resolve(res().objects, e, "object", sub); break;
      case kEventKeyboard: case kEventKeyPress: case kEventKeyRelease: n = KeyCode(sub); break;
      default: n = EventSubtypeFromProjectName(*type, sub); break;
    }
    if (n && row.projectSubtypes > 0 && *n >= row.projectSubtypes) n.reset();
    if (!n || *n < 0) m_.Fail(e.line, "bad subtype '" + sub + "' for event '" + w[1] + "'");
    return {*type, *n};
  }

  // "HEAD [FLAGS] | ARG | ARG ...": HEAD is a function name, or begin, end, else, exit, repeat or code; flags are
  // relative, not, question, other and apply=OBJECT. Arguments are expressions (write strings quoted); the text
  // after "code |" is taken whole as the code.
  CAction ParseAction(const ManifestEntry& e) {
    const size_t bar = e.value.find('|');
    const std::vector<std::string> head = SplitWords(e.value.substr(0, bar));
    const std::string rest = bar == std::string::npos ? std::string() : e.value.substr(bar + 1);
    if (head.empty()) m_.Fail(e.line, "expected 'action TYPE [SUBTYPE] = FUNCTION [FLAGS] | ARGUMENTS'");
    const std::string& name = head[0];
    if (name == "code") {
      std::string code = StoredCodeText(Trim(rest));
      out_.code.push_back({kManifestName, code, false, e.line});
      return CodeAction(std::move(code));
    }
    CAction a;
    a.usesApplyTo = true;
    a.applyTo = -1;
    static const std::pair<const char*, int> kControls[] = {
        {"begin", 1}, {"end", 2}, {"else", 3}, {"exit", 4}, {"repeat", 5}};
    bool control = false;
    for (const auto& [word, kind] : kControls)
      if (name == word) {
        a.kind = kind;
        a.usesApplyTo = false;
        control = true;
      }
    if (!control) {
      a.exeType = 1;
      a.functionName = ToGame(name);
      a.isQuestion = name.rfind("action_if", 0) == 0 || name == "action_cd_present" || name == "action_cd_playing";
    }
    for (size_t i = 1; i < head.size(); ++i) {
      const std::string& f = head[i];
      if (f == "relative") a.mayBeRelative = a.relative = true;
      else if (f == "not") a.isNot = true;
      else if (f == "question") a.isQuestion = true;
      else if (f == "other") a.applyTo = -2;
      else if (f.rfind("apply=", 0) == 0) a.applyTo = Resolve(res().objects, e, "object", f.substr(6));
      else m_.Fail(e.line, "unknown action flag '" + f + "'");
    }
    if (bar != std::string::npos) {
      std::vector<std::string> args;
      size_t at = 0;
      for (;;) {
        const size_t next = rest.find('|', at);
        args.emplace_back(Trim(rest.substr(at, next == std::string::npos ? std::string::npos : next - at)));
        if (next == std::string::npos) break;
        at = next + 1;
      }
      if (args.size() > static_cast<size_t>(CAction::kMaxArgumentCount - 1))
        m_.Fail(e.line, "an action takes at most 6 arguments");
      a.argumentCount = static_cast<int>(args.size());
      for (size_t i = 0; i < args.size(); ++i) {  // kind 0: expressions
        a.argumentTexts[i] = ToGame(args[i]);
        out_.code.push_back({kManifestName, a.argumentTexts[i], true, e.line});
      }
    }
    return a;
  }

  void FillObject(const ManifestSection& sec) {
    CObject* obj = res().objects.Get(res().objects.Find(ToGame(sec.name)));
    for (const ManifestEntry& e : sec.entries) {
      if (e.key == "sprite") obj->sprite = Resolve(res().sprites, e, "sprite", e.value);
      else if (e.key == "mask") obj->mask = Resolve(res().sprites, e, "sprite", e.value);
      else if (e.key == "parent") obj->parent = Resolve(res().objects, e, "object", e.value);
      else if (e.key == "depth") obj->depth = ParseInt(m_, e, e.value);
      else if (e.key == "solid") obj->solid = ParseBool(m_, e);
      else if (e.key == "visible") obj->visible = ParseBool(m_, e);
      else if (e.key == "persistent") obj->persistent = ParseBool(m_, e);
      else if (e.key.rfind("event", 0) == 0 && e.hasValue) {
        auto [type, subtype] = ParseEvent(e);
        obj->GetOrCreateEvent(type, subtype).actions.push_back(CodeAction(ReadCode(e, e.value)));
      } else if (e.key.rfind("action", 0) == 0 && e.hasValue) {
        auto [type, subtype] = ParseEvent(e);
        obj->GetOrCreateEvent(type, subtype).actions.push_back(ParseAction(e));
      } else Unknown(sec, e);
    }
  }

  void FillRoom(const ManifestSection& sec) {
    CRoom* room = res().rooms.Get(res().rooms.Find(ToGame(sec.name)));
    for (const ManifestEntry& e : sec.entries) {
      if (e.key == "width") room->width = ParseInt(m_, e, e.value);
      else if (e.key == "height") room->height = ParseInt(m_, e, e.value);
      else if (e.key == "speed") room->speed = ParseInt(m_, e, e.value);
      else if (e.key == "caption") room->caption = ToGame(e.value);
      else if (e.key == "persistent") room->persistent = ParseBool(m_, e);
      else if (e.key == "colour" || e.key == "color" || e.key == "background_colour" || e.key == "background_color")
        room->colour = ParseInt(m_, e, e.value);
      else if (e.key == "show_colour" || e.key == "show_color") room->showColour = ParseBool(m_, e);
      else if (e.key == "views") room->viewsEnabled = ParseBool(m_, e);
      else if (e.key == "creation") room->creationCode = ReadCode(e, e.value);
      else if (!e.hasValue && e.key.rfind("instance", 0) == 0) AddInstance(*room, e);
      else if (!FillRoomLine(m_, e, *room, roomRefs_)) Unknown(sec, e);
    }
  }

  // A tile showing a part outside its background draws nothing there (or, cut by index, another image's pixels):
  // refuse it once every background's size is known, since backgrounds may be declared after the rooms.
  void CheckTiles() {
    for (const auto& [line, t] : packedTiles_) {
      const CBackground* b = res().backgrounds.Get(t.background);
      if (!b) m_.Fail(line, "tile background " + std::to_string(t.background) + " does not exist");
      if (static_cast<int64_t>(t.left) + t.width > b->width || static_cast<int64_t>(t.top) + t.height > b->height)
        m_.Fail(line, "tile part " + std::to_string(t.left) + "," + std::to_string(t.top) + " " +
                          std::to_string(t.width) + "x" + std::to_string(t.height) + " is outside its background (" +
                          std::to_string(b->width) + "x" + std::to_string(b->height) + ")");
    }
  }

  void AddInstance(CRoom& room, const ManifestEntry& e) {
    std::vector<std::string> w = SplitWords(e.key);
    if (w[0] != "instance" || w.size() < 4 || w.size() > 5) m_.Fail(e.line, "expected 'instance OBJECT X Y [FILE]'");
    RRoomInstance inst;
    inst.objectIndex = Resolve(res().objects, e, "object", w[1]);
    inst.x = ParseInt(m_, e, w[2]);
    inst.y = ParseInt(m_, e, w[3]);
    inst.id = nextInstanceId_++;
    if (w.size() == 5) inst.creationCode = ReadCode(e, w[4]);
    room.instances.push_back(std::move(inst));
  }

  void FillTimeLine(const ManifestSection& sec) {
    CTimeLine* tl = res().timelines.Get(res().timelines.Find(ToGame(sec.name)));
    for (const ManifestEntry& e : sec.entries) {
      std::vector<std::string> w = SplitWords(e.key);
      if (w.size() != 2 || w[0] != "moment" || !e.hasValue) Unknown(sec, e);
      int step = ParseInt(m_, e, w[1]);
      RMoment* moment = nullptr;
      for (RMoment& mo : tl->moments)
        if (mo.step == step) moment = &mo;
      if (!moment) {
        // Moments are kept in ascending step order, as the editor stores them.
        auto at = tl->moments.begin();
        while (at != tl->moments.end() && at->step < step) ++at;
        moment = &*tl->moments.insert(at, RMoment{step, {}});
      }
      moment->event.actions.push_back(CodeAction(ReadCode(e, e.value)));
    }
  }

  double ParseReal(const ManifestEntry& e, const std::string& text) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(v))
      m_.Fail(e.line, "'" + text + "' is not a number");
    return v;
  }

  void FillPath(const ManifestSection& sec) {
    CPath* path = res().paths.Get(res().paths.Find(ToGame(sec.name)));
    for (const ManifestEntry& e : sec.entries) {
      if (e.key == "kind") {
        if (e.value == "straight" || e.value == "0") path->kind = 0;
        else if (e.value == "smooth" || e.value == "1") path->kind = 1;
        else m_.Fail(e.line, "path kind is 'straight' or 'smooth'");
      } else if (e.key == "closed") {
        path->closed = ParseBool(m_, e);
      } else if (e.key == "precision") {
        const int p = ParseInt(m_, e, e.value);
        if (p < 0 || p > 8) m_.Fail(e.line, "path precision is 0 … 8");
        path->precision = p;
      } else if (!e.hasValue && e.key.rfind("point", 0) == 0) {
        std::vector<std::string> w = SplitWords(e.key);
        if (w[0] != "point" || w.size() < 3 || w.size() > 4) m_.Fail(e.line, "expected 'point X Y [SPEED]'");
        RPathPoint pt;
        pt.x = ParseReal(e, w[1]);
        pt.y = ParseReal(e, w[2]);
        if (w.size() == 4) pt.speed = ParseReal(e, w[3]);
        path->points.push_back(pt);
      } else Unknown(sec, e);
    }
  }

  void FillSound(const ManifestSection& sec) {
    CSound* sound = res().sounds.Get(res().sounds.Find(ToGame(sec.name)));
    sound->kind = 0;
    sound->preload = true;
    bool hasFile = false, hasKind = false;
    for (const ManifestEntry& e : sec.entries) {
      if (e.key == "file") {
        std::string bytes = ReadFile(e, e.value);
        const size_t slash = e.value.find_last_of('/');
        sound->fileName = ToGame(slash == std::string::npos ? e.value : e.value.substr(slash + 1));
        const size_t dot = sound->fileName.find_last_of('.');
        sound->extension = dot == std::string::npos ? "" : sound->fileName.substr(dot);
        sound->data = std::vector<uint8_t>(bytes.begin(), bytes.end());
        hasFile = true;
      } else if (e.key == "kind") {
        static const NamedNumber kinds[] = {{"normal", 0}, {"background", 1}, {"3d", 2}, {"multimedia", 3}};
        std::optional<int> k = Lookup(kinds, e.value);
        if (!k) k = TryParseInt(e.value);
        if (!k || *k < 0 || *k > 3) m_.Fail(e.line, "sound kind is normal, background, 3d or multimedia");
        sound->kind = *k;
        hasKind = true;
      } else if (e.key == "volume") {
        sound->volume = ParseReal(e, e.value);
        if (sound->volume < 0 || sound->volume > 1) m_.Fail(e.line, "sound volume is 0 … 1");
      } else if (e.key == "pan") {
        sound->pan = ParseReal(e, e.value);
        if (sound->pan < -1 || sound->pan > 1) m_.Fail(e.line, "sound pan is -1 … 1");
      } else if (e.key == "effects") {
        sound->effects = ParseEffects(e);
      } else if (e.key == "preload") {
        sound->preload = ParseBool(m_, e);
      } else Unknown(sec, e);
    }
    if (!hasFile) m_.Fail(sec.line, "[sound " + sec.name + "] needs 'file = FILE'");
    // A MIDI song is background music unless told otherwise.
    if (!hasKind && (sound->extension == ".mid" || sound->extension == ".midi")) sound->kind = 1;
  }

  // "effects = echo reverb" (names) or a bit set number.
  int ParseEffects(const ManifestEntry& e) {
    if (auto n = TryParseInt(e.value)) {
      if (*n < 0 || *n > 511) m_.Fail(e.line, "sound effects are 0 … 511");
      return *n;
    }
    static const NamedNumber names[] = {{"chorus", 1},     {"echo", 2},        {"flanger", 4},
                                        {"gargle", 8},     {"reverb", 16},     {"compressor", 32},
                                        {"equalizer", 64}, {"distortion", 128}, {"environmental_reverb", 256}};
    int bits = 0;
    for (const std::string& w : SplitWords(e.value)) {
      auto bit = Lookup(names, w);
      if (!bit) m_.Fail(e.line, "unknown sound effect '" + w + "'");
      bits |= *bit;
    }
    return bits;
  }

  void FillRoomOrder(const ManifestSection& sec) {
    hasRoomOrder_ = true;
    for (const ManifestEntry& e : sec.entries) {
      if (e.hasValue) Unknown(sec, e);
      for (const std::string& w : SplitWords(e.key)) res().roomOrder.push_back(Resolve(res().rooms, e, "room", w));
    }
  }

  void FillLibraryInit(const ManifestSection& sec) {
    for (const ManifestEntry& e : sec.entries) {
      if (e.key != "file") Unknown(sec, e);
      res().libraryInitCode.push_back(ReadCode(e, e.value));
    }
  }

  void FillInclude(const ManifestSection& sec) {
    if (sec.name.empty()) m_.Fail(sec.line, "[include] needs a file name");
    CDataFile f;
    f.name = ToGame(sec.name);
    bool hasFile = false;
    for (const ManifestEntry& e : sec.entries) {
      if (e.key == "file") {
        std::string bytes = ReadFile(e, e.value);
        f.sourcePath = ToGame(e.value);
        f.data.assign(bytes.begin(), bytes.end());
        f.size = static_cast<int>(f.data.size());
        f.hasData = f.stored = true;
        hasFile = true;
      } else if (e.key == "export") f.exportMode = ParseInt(m_, e, e.value);
      else if (e.key == "folder") f.exportFolder = ToGame(e.value);
      else if (e.key == "overwrite") f.overwrite = ParseBool(m_, e);
      else if (e.key == "free_after_export") f.freeAfterExport = ParseBool(m_, e);
      else if (e.key == "remove_at_end") f.removeAtEnd = ParseBool(m_, e);
      else Unknown(sec, e);
    }
    if (!hasFile) m_.Fail(sec.line, "[include " + sec.name + "] needs 'file = PATH'");
    res().includedFiles.push_back(std::move(f));
  }

  void FillGameInfo(const ManifestSection& sec) {
    CGameInfo& info = res().gameInfo;
    for (const ManifestEntry& e : sec.entries) {
      if (e.key == "file") info.text = ReadFile(e, e.value);  // rich text is stored as written
      else if (e.key == "caption") info.caption = ToGame(e.value);
      else if (e.key == "width") info.width = ParseInt(m_, e, e.value);
      else if (e.key == "height") info.height = ParseInt(m_, e, e.value);
      else if (e.key == "show_in_game_window") info.showInGameWindow = ParseBool(m_, e);
      else if (e.key == "pause_game") info.pauseGame = ParseBool(m_, e);
      else Unknown(sec, e);
    }
  }

  const Manifest& m_;
  std::string dir_;
  PackedGame out_;
  bool hasRoomOrder_ = false;
  int nextInstanceId_ = 100001;
  int nextExtensionFunctionId_ = 1;
  int lastTileId_ = GameResources().lastTileId;  // tile ids go on from 10000001, as the editor numbers them
  RoomRefs roomRefs_{
      [this](const ManifestEntry& e, std::string_view ref) { return Resolve(res().backgrounds, e, "background", ref); },
      [this](const ManifestEntry& e, std::string_view ref) { return Resolve(res().objects, e, "object", ref); },
      &lastTileId_, [this](const ManifestEntry& e, const RTile& t) { packedTiles_.emplace_back(e.line, t); }};
  std::vector<std::pair<int, RTile>> packedTiles_;  // manifest line and tile, checked by CheckTiles
};

}  // namespace

std::string StoredCodeText(std::string_view utf8) {
  if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  std::string text;
  text.reserve(utf8.size() + utf8.size() / 16);
  for (size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (c == '\r' || c == '\n') {
      text += "\r\n";
      if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
    } else {
      text += c;
    }
  }
  return ToGame(text);
}

PackedGame PackManifest(std::string_view manifestText, const std::string& dir) {
  Manifest m = ParseManifest(manifestText, kManifestName);
  return Packer(m, dir).Run();
}

PackedGame PackProject(const std::string& dir) {
  std::ifstream f(dir + "/" + kManifestName, std::ios::binary);
  if (!f) throw PackError(dir + ": no " + kManifestName + " found");
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  return PackManifest(text, dir);
}

std::string EventName(int type, int subtype) {
  const EventTypeRow* row = EventTypeInfo(type);
  std::string name = row ? row->projectName : "type" + std::to_string(type);
  if (row && !row->takesSubtype) return name;
  const char* sub = nullptr;
  const std::string named = EventSubtypeProjectName(type, subtype);
  if (!named.empty()) sub = named.c_str();
  if ((type == 5 || type == 9 || type == 10) && subtype > 1) {
    if (const char* k = NameOf(kKeys, subtype)) return name + " " + k;
    if ((subtype >= 'A' && subtype <= 'Z') || (subtype >= '0' && subtype <= '9'))
      return name + " " + std::string(1, static_cast<char>(subtype));
  }
  if ((type == 5 || type == 9 || type == 10) && subtype <= 1) sub = NameOf(kKeys, subtype);
  return name + " " + (sub ? std::string(sub) : std::to_string(subtype));
}

}  // namespace kv::pack
