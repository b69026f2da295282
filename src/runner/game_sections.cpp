#include "runner/game_sections.h"

#include <memory>

#include "runner/support_stream.h"

namespace kv {
namespace {

// The shared frame of the resource sections: version, count, then per entry a bool exists and, when set, the name
// and the record. An entry that does not exist leaves an empty slot.
template <class T>
bool ReadResourceSection(CStream& s, ResourceTable<T>& table, int32_t version) {
  table.Clear();
  if (s.ReadInt() != version) return false;
  const int32_t count = s.ReadInt();
  s.CheckCount(count, 4);
  table.Reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    if (!s.ReadBool()) {
      table.Add({}, nullptr);
      continue;
    }
    std::string name = s.ReadString();
    auto record = std::make_unique<T>();
    if (!record->Read(s)) return false;
    table.Add(std::move(name), std::move(record));
  }
  return true;
}

template <class T>
void WriteResourceSection(CStream& s, const ResourceTable<T>& table, int32_t version) {
  s.WriteInt(version);
  s.WriteInt(table.Count());
  for (int i = 0; i < table.Count(); ++i) {
    const T* record = table.Get(i);
    s.WriteBool(record != nullptr);
    if (record == nullptr) continue;
    s.WriteString(table.RawName(i));
    record->Write(s);
  }
}

// Version and count of a list of records, each at least minBytes long.
template <class T>
bool ReadRecordList(CStream& s, std::vector<T>& list, int32_t version, size_t minBytes) {
  list.clear();
  if (s.ReadInt() != version) return false;
  const int32_t count = s.ReadInt();
  s.CheckCount(count, minBytes);
  list.resize(static_cast<size_t>(count));
  for (T& record : list) {
    if (!record.Read(s)) return false;
  }
  return true;
}

template <class T>
void WriteRecordList(CStream& s, const std::vector<T>& list, int32_t version) {
  s.WriteInt(version);
  s.WriteInt(static_cast<int32_t>(list.size()));
  for (const T& record : list) record.Write(s);
}

}  // namespace

bool ReadExtensionsSection(CStream& s, GameResources& res) {
  return ReadRecordList(s, res.extensions, kExtensionsSectionVersion, 4);
}
bool ReadSoundsSection(CStream& s, GameResources& res) {
  return ReadResourceSection(s, res.sounds, kResourceSectionVersion);
}
bool ReadSpritesSection(CStream& s, GameResources& res) {
  return ReadResourceSection(s, res.sprites, kResourceSectionVersion);
}
bool ReadBackgroundsSection(CStream& s, GameResources& res) {
  return ReadResourceSection(s, res.backgrounds, kResourceSectionVersion);
}
bool ReadPathsSection(CStream& s, GameResources& res) {
  return ReadResourceSection(s, res.paths, kPathsSectionVersion);
}
bool ReadScriptsSection(CStream& s, GameResources& res) {
  return ReadResourceSection(s, res.scripts, kResourceSectionVersion);
}
bool ReadFontsSection(CStream& s, GameResources& res) {
  return ReadResourceSection(s, res.fonts, kFontsSectionVersion);
}
bool ReadTimeLinesSection(CStream& s, GameResources& res) {
  return ReadResourceSection(s, res.timelines, kTimeLinesSectionVersion);
}
bool ReadObjectsSection(CStream& s, GameResources& res) {
  return ReadResourceSection(s, res.objects, kResourceSectionVersion);
}

bool ReadRoomsSection(CStream& s, GameResources& res) {
  if (!ReadResourceSection(s, res.rooms, kRoomsSectionVersion)) return false;
  res.lastInstanceId = s.ReadInt();
  res.lastTileId = s.ReadInt();
  const auto backgroundSize = [&res](int index, int& w, int& h) {
    const CBackground* b = res.backgrounds.Get(index);
    if (b == nullptr) return false;
    w = b->width;
    h = b->height;
    return true;
  };
  for (int i = 0; i < res.rooms.Count(); ++i) {
    if (CRoom* room = res.rooms.Get(i)) room->ApplyStretch(backgroundSize);
  }
  return true;
}

bool ReadIncludedFilesSection(CStream& s, GameResources& res) {
  return ReadRecordList(s, res.includedFiles, kIncludedFilesSectionVersion, 4);
}

// The section version is the record's own version field: the section is exactly one game-information record.
bool ReadGameInfoSection(CStream& s, GameResources& res) {
  res.gameInfo = CGameInfo();
  return res.gameInfo.Read(s);
}

bool ReadLibraryInitSection(CStream& s, GameResources& res) {
  res.libraryInitCode.clear();
  if (s.ReadInt() != kLibraryInitSectionVersion) return false;
  const int32_t count = s.ReadInt();
  s.CheckCount(count, 4);
  res.libraryInitCode.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) res.libraryInitCode.push_back(s.ReadString());
  return true;
}

bool ReadRoomOrderSection(CStream& s, GameResources& res) {
  res.roomOrder.clear();
  if (s.ReadInt() != kRoomOrderSectionVersion) return false;
  const int32_t count = s.ReadInt();
  if (count <= 0) return false;  // a game needs a first room
  s.CheckCount(count, 4);
  res.roomOrder.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) res.roomOrder.push_back(s.ReadInt());
  // Every entry must name a room of the rooms section: an order pointing elsewhere would start a game without a
  // room, or end it on "next room".
  for (int room : res.roomOrder)
    if (!res.rooms.Exists(room)) return false;
  return true;
}

const std::vector<SectionSpec>& MainBlockSections() {
  static const std::vector<SectionSpec> kSections = {
      {0, "Loading extension packages", ReadExtensionsSection, "Error in loading extension packages."},
      {5, "Loading sounds", ReadSoundsSection, nullptr},
      {10, "Loading sprites", ReadSpritesSection, nullptr},
      {23, "Loading backgrounds", ReadBackgroundsSection, nullptr},
      {30, "Loading paths", ReadPathsSection, nullptr},
      {32, "Loading scripts", ReadScriptsSection, nullptr},
      {34, "Loading fonts", ReadFontsSection, nullptr},
      {36, "Loading time lines", ReadTimeLinesSection, nullptr},
      {38, "Loading objects", ReadObjectsSection, nullptr},
      {40, "Loading rooms", ReadRoomsSection, nullptr},
      {43, "Loading included files", ReadIncludedFilesSection, nullptr},
      {45, "Loading help", ReadGameInfoSection, nullptr},
      {47, "Loading library init code", ReadLibraryInitSection, nullptr},
      {49, "Loading room order", ReadRoomOrderSection, nullptr},
  };
  return kSections;
}

void WriteMainBlockSections(CStream& out, const GameResources& res) {
  WriteRecordList(out, res.extensions, kExtensionsSectionVersion);
  WriteResourceSection(out, res.sounds, kResourceSectionVersion);
  WriteResourceSection(out, res.sprites, kResourceSectionVersion);
  WriteResourceSection(out, res.backgrounds, kResourceSectionVersion);
  WriteResourceSection(out, res.paths, kPathsSectionVersion);
  WriteResourceSection(out, res.scripts, kResourceSectionVersion);
  WriteResourceSection(out, res.fonts, kFontsSectionVersion);
  WriteResourceSection(out, res.timelines, kTimeLinesSectionVersion);
  WriteResourceSection(out, res.objects, kResourceSectionVersion);
  WriteResourceSection(out, res.rooms, kRoomsSectionVersion);
  out.WriteInt(res.lastInstanceId);
  out.WriteInt(res.lastTileId);
  WriteRecordList(out, res.includedFiles, kIncludedFilesSectionVersion);
  res.gameInfo.Write(out);
  out.WriteInt(kLibraryInitSectionVersion);
  out.WriteInt(static_cast<int32_t>(res.libraryInitCode.size()));
  for (const std::string& code : res.libraryInitCode) out.WriteString(code);
  out.WriteInt(kRoomOrderSectionVersion);
  out.WriteInt(static_cast<int32_t>(res.roomOrder.size()));
  for (int room : res.roomOrder) out.WriteInt(room);
}

}  // namespace kv
