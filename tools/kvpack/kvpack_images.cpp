#include "kvpack_images.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "graphics/bitmap_ops.h"

namespace kv::pack {

namespace {

CBitmap32 LoadImage(const Manifest& m, const ManifestEntry& e, const std::string& dir) {
  if (e.value.empty()) m.Fail(e.line, "missing file name");
  std::ifstream f(dir + "/" + e.value, std::ios::binary);
  if (!f) m.Fail(e.line, "cannot read " + e.value);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::optional<CBitmap32> img = gfx::DecodeImage(bytes, e.value);
  if (!img || img->width <= 0 || img->height <= 0)
    m.Fail(e.line, e.value + " is not an image kvpack can read (PNG, JPEG or BMP)");
  return std::move(*img);
}

// The colour options shared by sprites and backgrounds. With `alpha` (the default) the file's own alpha channel
// is kept; `transparent` and `smooth` describe frames keyed by their bottom-left pixel and need `alpha = no`.
struct ColourOptions {
  bool alpha = true;
  std::optional<bool> transparent, smooth;
  int line = 0;  // first line that set transparent or smooth

  bool Take(const Manifest& m, const ManifestEntry& e) {
    if (e.key == "alpha") alpha = ParseBool(m, e);
    else if (e.key == "transparent") transparent = ParseBool(m, e);
    else if (e.key == "smooth") smooth = ParseBool(m, e);
    else return false;
    if (e.key != "alpha" && line == 0) line = e.line;
    return true;
  }
  void Check(const Manifest& m) const {
    if (alpha && (transparent || smooth))
      m.Fail(line, "'transparent' and 'smooth' describe images without alpha: add 'alpha = no'");
  }
  bool Transparent() const { return alpha || transparent.value_or(true); }
  bool Smooth() const { return !alpha && smooth.value_or(false); }
};

[[noreturn]] void UnknownEntry(const Manifest& m, const ManifestSection& sec, const ManifestEntry& e) {
  m.Fail(e.line, "unknown entry '" + e.key + "' in [" + sec.kind + "]");
}

struct BoxOption {
  int kind = CSprite::kBoxAutomatic;
  int left = 0, top = 0, right = 0, bottom = 0;
};

BoxOption ParseBox(const Manifest& m, const ManifestEntry& e) {
  const std::vector<std::string> w = SplitWords(e.value);
  BoxOption b;
  if (w.size() == 1 && w[0] == "automatic") return b;
  if (w.size() == 1 && w[0] == "full") {
    b.kind = CSprite::kBoxFull;
    return b;
  }
  if (w.size() == 5 && w[0] == "manual") {
    b.kind = CSprite::kBoxManual;
    b.left = ParseInt(m, e, w[1]);
    b.top = ParseInt(m, e, w[2]);
    b.right = ParseInt(m, e, w[3]);
    b.bottom = ParseInt(m, e, w[4]);
    if (b.left > b.right || b.top > b.bottom) m.Fail(e.line, "a manual box needs LEFT <= RIGHT and TOP <= BOTTOM");
    return b;
  }
  m.Fail(e.line, "expected 'bbox = automatic', 'full' or 'manual LEFT TOP RIGHT BOTTOM'");
}

}  // namespace

void FillSprite(const Manifest& m, const ManifestSection& sec, const std::string& dir, CSprite& out) {
  const ManifestEntry* strip = nullptr;
  std::vector<const ManifestEntry*> frameFiles;
  std::optional<int> frames;
  int framesLine = 0;
  int xorigin = 0, yorigin = 0;
  bool precise = true, preload = true;
  ColourOptions colour;
  BoxOption box;
  for (const ManifestEntry& e : sec.entries) {
    if (e.key == "file") strip = &e;
    else if (e.key == "frame") frameFiles.push_back(&e);
    else if (e.key == "frames") {
      frames = ParseInt(m, e, e.value);
      framesLine = e.line;
      if (*frames < 1) m.Fail(e.line, "'frames' must be 1 or more");
    } else if (e.key == "xorigin") xorigin = ParseInt(m, e, e.value);
    else if (e.key == "yorigin") yorigin = ParseInt(m, e, e.value);
    else if (e.key == "precise") precise = ParseBool(m, e);
    else if (e.key == "preload") preload = ParseBool(m, e);
    else if (e.key == "bbox") box = ParseBox(m, e);
    else if (!colour.Take(m, e)) UnknownEntry(m, sec, e);
  }
  colour.Check(m);
  if (strip && !frameFiles.empty()) m.Fail(frameFiles[0]->line, "use either 'file' (a strip) or 'frame' lines, not both");
  if (!strip && frameFiles.empty())
    m.Fail(sec.line, "[sprite " + sec.name + "] needs 'file = STRIP.png' or 'frame = FILE.png' lines");
  if (frames && !strip) m.Fail(framesLine, "'frames' cuts a strip: it needs 'file = STRIP.png'");

  CSprite s;
  if (strip) {
    CBitmap32 img = LoadImage(m, *strip, dir);
    const int count = frames.value_or(1);
    // The runner clamps such a strip to one pixel per frame; a project asking for it is a mistake.
    if (count > img.width)
      m.Fail(framesLine, std::to_string(count) + " frames do not fit a strip " + std::to_string(img.width) +
                             " pixels wide");
    s.SetFromStrip(std::move(img), count, colour.alpha, xorigin, yorigin, preload, colour.Smooth(),
                   colour.Transparent(), precise);
  } else {
    for (const ManifestEntry* e : frameFiles) {
      CSprite one;
      CBitmap32 img = LoadImage(m, *e, dir);
      if (!s.frames.empty() && (img.width != s.width || img.height != s.height))
        m.Fail(e->line, e->value + " is " + std::to_string(img.width) + "x" + std::to_string(img.height) +
                            "; every frame must be " + std::to_string(s.width) + "x" + std::to_string(s.height));
      one.SetFromStrip(std::move(img), 1, colour.alpha, xorigin, yorigin, preload, colour.Smooth(),
                       colour.Transparent(), precise);
      if (s.frames.empty()) s = std::move(one);
      else s.Merge(one);
    }
  }
  s.SetBoundingBoxKind(box.kind);
  s.SetManualBoundingBox(box.left, box.top, box.right, box.bottom);
  out = std::move(s);
}

void FillBackground(const Manifest& m, const ManifestSection& sec, const std::string& dir, CBackground& out) {
  const ManifestEntry* file = nullptr;
  bool preload = true;
  ColourOptions colour;
  for (const ManifestEntry& e : sec.entries) {
    if (e.key == "file") file = &e;
    else if (e.key == "preload") preload = ParseBool(m, e);
    else if (!colour.Take(m, e)) UnknownEntry(m, sec, e);
  }
  colour.Check(m);
  if (!file) m.Fail(sec.line, "[background " + sec.name + "] needs 'file = IMAGE.png'");
  CBitmap32 img = LoadImage(m, *file, dir);
  // Backgrounds made without alpha default to opaque, as the editor makes them.
  const bool transparent = colour.alpha || colour.transparent.value_or(false);
  PrepareFileImage(img, colour.alpha, colour.Smooth(), transparent);
  CBackground b;
  b.width = img.width;
  b.height = img.height;
  b.transparent = transparent;
  b.smooth = colour.Smooth();
  b.preload = preload;
  b.image = std::move(img);
  out = std::move(b);
}

}  // namespace kv::pack
