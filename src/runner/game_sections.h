#pragma once
// The sections of the main block of the game data: every resource table and the other records, read in their
// fixed stored order. Each reader returns false for a wrong version or a bad record; truncation throws StreamError.
#include <string>
#include <vector>

#include "code/script_class.h"
#include "extensions/extension_class.h"
#include "graphics/background_class.h"
#include "graphics/font_class.h"
#include "graphics/sprite_class.h"
#include "interface/game_info.h"
#include "runner/included_files.h"
#include "runner/resource_table.h"
#include "sound/sound_class.h"
#include "world/object_class.h"
#include "world/path_class.h"
#include "world/room_class.h"
#include "world/timeline_class.h"

namespace kv {

class CStream;

struct GameResources {
  ResourceTable<CSound> sounds;
  ResourceTable<CSprite> sprites;
  ResourceTable<CBackground> backgrounds;
  ResourceTable<CPath> paths;
  ResourceTable<CScript> scripts;
  ResourceTable<CFont> fonts;
  ResourceTable<CTimeLine> timelines;
  ResourceTable<CObject> objects;
  ResourceTable<CRoom> rooms;
  int lastInstanceId = 100000;  // rooms trailer
  int lastTileId = 10000000;
  std::vector<CDataFile> includedFiles;
  std::vector<CExtensionPackage> extensions;
  CGameInfo gameInfo;
  std::vector<std::string> libraryInitCode;
  std::vector<int> roomOrder;
};

// Section versions.
constexpr int32_t kExtensionsSectionVersion = 700;
constexpr int32_t kResourceSectionVersion = 400;  // sounds, sprites, backgrounds, scripts, objects
constexpr int32_t kPathsSectionVersion = 420;
constexpr int32_t kFontsSectionVersion = 540;
constexpr int32_t kTimeLinesSectionVersion = 500;
constexpr int32_t kRoomsSectionVersion = 420;
constexpr int32_t kIncludedFilesSectionVersion = 620;
constexpr int32_t kGameInfoSectionVersion = 600;
constexpr int32_t kLibraryInitSectionVersion = 500;
constexpr int32_t kRoomOrderSectionVersion = 700;

struct SectionSpec {
  int progress;         // loading progress reported before the section
  const char* text;     // loading text reported with it
  bool (*read)(CStream&, GameResources&);
  const char* failureMessage;  // shown before "Error: Error in resource data." when the section fails, or null
};

// The 14 sections in stored order.
const std::vector<SectionSpec>& MainBlockSections();

// Each reader first empties what it fills, so reading again replaces the earlier result.
bool ReadExtensionsSection(CStream& s, GameResources& res);
bool ReadSoundsSection(CStream& s, GameResources& res);
bool ReadSpritesSection(CStream& s, GameResources& res);
bool ReadBackgroundsSection(CStream& s, GameResources& res);
bool ReadPathsSection(CStream& s, GameResources& res);
bool ReadScriptsSection(CStream& s, GameResources& res);
bool ReadFontsSection(CStream& s, GameResources& res);
bool ReadTimeLinesSection(CStream& s, GameResources& res);
bool ReadObjectsSection(CStream& s, GameResources& res);
bool ReadRoomsSection(CStream& s, GameResources& res);  // also applies the stretched layers' scales
bool ReadIncludedFilesSection(CStream& s, GameResources& res);
bool ReadGameInfoSection(CStream& s, GameResources& res);
bool ReadLibraryInitSection(CStream& s, GameResources& res);
bool ReadRoomOrderSection(CStream& s, GameResources& res);  // also fails for a count of 0 or less

// Exact inverse of reading every section in order (kvpack, tests).
void WriteMainBlockSections(CStream& out, const GameResources& res);

}  // namespace kv
