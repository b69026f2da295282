#include "kvpack_rooms.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv::pack {
namespace {

// The whole line back from the manifest's key/value split, with blanks around '=' removed so that "x = 3" and
// "x=3" are one word.
std::vector<std::string> LineWords(const ManifestEntry& e) {
  std::string line = e.hasValue ? e.key + "=" + e.rawValue : e.key;
  std::string squeezed;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '=') {
      while (!squeezed.empty() && (squeezed.back() == ' ' || squeezed.back() == '\t')) squeezed.pop_back();
      squeezed += '=';
      while (i + 1 < line.size() && (line[i + 1] == ' ' || line[i + 1] == '\t')) ++i;
    } else {
      squeezed += line[i];
    }
  }
  return SplitWords(squeezed);
}

// The words after the fixed ones: bare flags and "key=value" options.
struct Options {
  std::vector<std::string> flags;
  std::vector<std::pair<std::string, std::string>> values;
};

Options SplitOptions(const Manifest& m, const ManifestEntry& e, const std::vector<std::string>& words, size_t from) {
  Options o;
  for (size_t i = from; i < words.size(); ++i) {
    const std::string& w = words[i];
    size_t eq = w.find('=');
    if (eq == std::string::npos) {
      o.flags.push_back(w);
    } else {
      if (eq == 0 || eq + 1 == w.size()) m.Fail(e.line, "option '" + w + "' needs 'key=value'");
      o.values.emplace_back(w.substr(0, eq), w.substr(eq + 1));
    }
  }
  return o;
}

int Layer(const Manifest& m, const ManifestEntry& e, const std::string& word, const char* what) {
  int n = ParseInt(m, e, word);
  if (n < 0 || n >= CRoom::kLayerCount)
    m.Fail(e.line, std::string(what) + " number '" + word + "' is not 0 … " + std::to_string(CRoom::kLayerCount - 1));
  return n;
}

// background LAYER BG_NAME [visible|hidden] [foreground] [stretch] [x=N y=N htiled=B vtiled=B hspeed=N vspeed=N]
void FillBackgroundLayer(const Manifest& m, const ManifestEntry& e, CRoom& room, const RoomRefs& refs,
                         const std::vector<std::string>& w) {
  if (w.size() < 3) m.Fail(e.line, "expected 'background LAYER BACKGROUND [options]'");
  CBack back;  // a line replaces the layer as a whole
  back.visible = true;
  back.background = refs.background(e, w[2]);
  Options o = SplitOptions(m, e, w, 3);
  for (const std::string& f : o.flags) {
    if (f == "visible") back.visible = true;
    else if (f == "hidden") back.visible = false;
    else if (f == "foreground") back.foreground = true;
    else if (f == "stretch") back.stretch = true;
    else m.Fail(e.line, "unknown background layer option '" + f + "'");
  }
  for (const auto& [key, value] : o.values) {
    ManifestEntry v = e;
    v.value = value;
    if (key == "x") back.x = ParseInt(m, e, value);
    else if (key == "y") back.y = ParseInt(m, e, value);
    else if (key == "hspeed") back.hSpeed = ParseInt(m, e, value);
    else if (key == "vspeed") back.vSpeed = ParseInt(m, e, value);
    else if (key == "htiled") back.hTiled = ParseBool(m, v);
    else if (key == "vtiled") back.vTiled = ParseBool(m, v);
    else m.Fail(e.line, "unknown background layer option '" + key + "'");
  }
  room.backgrounds[Layer(m, e, w[1], "layer")] = back;
}

// view N XVIEW YVIEW WVIEW HVIEW XPORT YPORT WPORT HPORT [visible|hidden] [object=NAME hborder=N vborder=N
// hspeed=N vspeed=N]
void FillView(const Manifest& m, const ManifestEntry& e, CRoom& room, const RoomRefs& refs,
              const std::vector<std::string>& w) {
  if (w.size() < 10) m.Fail(e.line, "expected 'view N XVIEW YVIEW WVIEW HVIEW XPORT YPORT WPORT HPORT [options]'");
  CView view;
  view.visible = true;
  int* fields[] = {&view.xView, &view.yView, &view.wView, &view.hView,
                   &view.xPort, &view.yPort, &view.wPort, &view.hPort};
  for (size_t i = 0; i < 8; ++i) *fields[i] = ParseInt(m, e, w[2 + i]);
  // A view or port without area shows nothing and makes the runner divide by zero when it scales.
  if (view.wView <= 0 || view.hView <= 0 || view.wPort <= 0 || view.hPort <= 0)
    m.Fail(e.line, "view and port sizes must be positive");
  Options o = SplitOptions(m, e, w, 10);
  for (const std::string& f : o.flags) {
    if (f == "visible") view.visible = true;
    else if (f == "hidden") view.visible = false;
    else m.Fail(e.line, "unknown view option '" + f + "'");
  }
  for (const auto& [key, value] : o.values) {
    if (key == "object") view.object = refs.object(e, value);
    else if (key == "hborder") view.hBorder = ParseInt(m, e, value);
    else if (key == "vborder") view.vBorder = ParseInt(m, e, value);
    else if (key == "hspeed") view.hSpeed = ParseInt(m, e, value);
    else if (key == "vspeed") view.vSpeed = ParseInt(m, e, value);
    else m.Fail(e.line, "unknown view option '" + key + "'");
  }
  room.views[Layer(m, e, w[1], "view")] = view;
}

// The fields shared by "tile" and "tiles": BG_NAME X Y LEFT TOP WIDTH HEIGHT DEPTH from w[1] on.
RTile ParseTile(const Manifest& m, const ManifestEntry& e, const RoomRefs& refs, const std::vector<std::string>& w) {
  RTile t;
  t.background = refs.background(e, w[1]);
  t.x = ParseInt(m, e, w[2]);
  t.y = ParseInt(m, e, w[3]);
  t.left = ParseInt(m, e, w[4]);
  t.top = ParseInt(m, e, w[5]);
  t.width = ParseInt(m, e, w[6]);
  t.height = ParseInt(m, e, w[7]);
  t.depth = ParseInt(m, e, w[8]);
  if (t.left < 0 || t.top < 0 || t.width <= 0 || t.height <= 0)
    m.Fail(e.line, "a tile needs LEFT, TOP >= 0 and a positive WIDTH and HEIGHT");
  return t;
}

void AddTile(CRoom& room, const RoomRefs& refs, RTile t) {
  t.id = ++*refs.lastTileId;
  room.tiles.push_back(t);
}

// tile BG_NAME X Y LEFT TOP WIDTH HEIGHT DEPTH
void FillTile(const Manifest& m, const ManifestEntry& e, CRoom& room, const RoomRefs& refs,
              const std::vector<std::string>& w) {
  // The stored tile holds no scale, blend or alpha; taking them here would lose them silently.
  if (w.size() > 9)
    m.Fail(e.line, "a stored tile has no scale, blend or alpha (set them with the tile functions at run time)");
  if (w.size() != 9) m.Fail(e.line, "expected 'tile BACKGROUND X Y LEFT TOP WIDTH HEIGHT DEPTH'");
  RTile t = ParseTile(m, e, refs, w);
  AddTile(room, refs, t);
  if (refs.tileAdded) refs.tileAdded(e, room.tiles.back());
}

// One count of a "tiles" line: the prefix letter and a whole number of 1 or more ("x4", "y2").
int TileCount(const Manifest& m, const ManifestEntry& e, const std::string& word, char prefix) {
  if (word.size() < 2 || word[0] != prefix)
    m.Fail(e.line, "expected the count '" + std::string(1, prefix) + "N' instead of '" + word + "'");
  std::optional<int32_t> n = TryParseInt(std::string_view(word).substr(1));
  if (!n || *n < 1) m.Fail(e.line, "tile count '" + word + "' must be a whole number of 1 or more");
  return *n;
}

// tiles BG_NAME X Y LEFT TOP WIDTH HEIGHT DEPTH xN yM: N columns and M rows of the same part, the copy in column
// i and row j at X + i × WIDTH, Y + j × HEIGHT (edge to edge). Ids are given row by row, left to right.
void FillTiles(const Manifest& m, const ManifestEntry& e, CRoom& room, const RoomRefs& refs,
               const std::vector<std::string>& w) {
  if (w.size() != 11) m.Fail(e.line, "expected 'tiles BACKGROUND X Y LEFT TOP WIDTH HEIGHT DEPTH xN yM'");
  const RTile first = ParseTile(m, e, refs, w);
  const int columns = TileCount(m, e, w[9], 'x');
  const int rows = TileCount(m, e, w[10], 'y');
  // A slip such as x1000 y1000 would make a game of a million tiles; no room needs that many from one line.
  constexpr int64_t kMaxTilesPerLine = 100000;
  const int64_t count = int64_t{columns} * rows;
  if (count > kMaxTilesPerLine)
    m.Fail(e.line, "tiles " + w[9] + " " + w[10] + " makes " + std::to_string(count) + " tiles; at most " +
                       std::to_string(kMaxTilesPerLine) + " per line");
  // The game stores tile positions as 32-bit integers: the last copy must still have one.
  const int64_t lastX = static_cast<int64_t>(first.x) + int64_t{columns - 1} * first.width;
  const int64_t lastY = static_cast<int64_t>(first.y) + int64_t{rows - 1} * first.height;
  if (lastX > INT32_MAX || lastY > INT32_MAX) m.Fail(e.line, "the last tile of the line lies beyond 2147483647");
  // Every copy shows the same part, so checking the first against its background checks them all.
  if (refs.tileAdded) refs.tileAdded(e, first);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      RTile t = first;
      t.x = first.x + static_cast<double>(column) * first.width;
      t.y = first.y + static_cast<double>(row) * first.height;
      AddTile(room, refs, t);
    }
  }
}

}  // namespace

bool FillRoomLine(const Manifest& m, const ManifestEntry& e, CRoom& room, const RoomRefs& refs) {
  std::vector<std::string> w = LineWords(e);
  if (w.empty()) return false;
  if (w[0] == "background") FillBackgroundLayer(m, e, room, refs, w);
  else if (w[0] == "view") FillView(m, e, room, refs, w);
  else if (w[0] == "tile") FillTile(m, e, room, refs, w);
  else if (w[0] == "tiles") FillTiles(m, e, room, refs, w);
  else return false;
  return true;
}

}  // namespace kv::pack
