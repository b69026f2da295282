#include "graphics/font_class.h"

#include "runner/support_stream.h"

namespace kv {

bool CFont::Read(CStream& s) {
  if (s.ReadInt() != kRecordVersion) return false;
  name = s.ReadString();
  size = s.ReadInt();
  bold = s.ReadBool();
  italic = s.ReadBool();
  first = s.ReadInt();
  last = s.ReadInt();
  for (RGlyph& g : glyphs) {
    g.x = s.ReadInt();
    g.y = s.ReadInt();
    g.width = s.ReadInt();
    g.height = s.ReadInt();
    g.advance = s.ReadInt();
    g.offset = s.ReadInt();
  }
  atlasWidth = s.ReadInt();
  atlasHeight = s.ReadInt();
  if (atlasWidth < 0 || atlasHeight < 0) return false;
  CStream block = s.ReadCompressed();
  // The atlas is exactly width * height bytes; a shorter block is corrupt data, surplus bytes are ignored.
  const uint64_t bytes = static_cast<uint64_t>(atlasWidth) * static_cast<uint64_t>(atlasHeight);
  if (bytes > block.Remaining()) throw StreamError("font atlas block shorter than its size");
  atlas.assign(block.Data(), block.Data() + bytes);
  return true;
}

void CFont::Write(CStream& s) const {
  s.WriteInt(kRecordVersion);
  s.WriteString(name);
  s.WriteInt(size);
  s.WriteBool(bold);
  s.WriteBool(italic);
  s.WriteInt(first);
  s.WriteInt(last);
  for (const RGlyph& g : glyphs) {
    s.WriteInt(g.x);
    s.WriteInt(g.y);
    s.WriteInt(g.width);
    s.WriteInt(g.height);
    s.WriteInt(g.advance);
    s.WriteInt(g.offset);
  }
  s.WriteInt(atlasWidth);
  s.WriteInt(atlasHeight);
  s.WriteCompressed(atlas.data(), atlas.size());
}

}  // namespace kv
