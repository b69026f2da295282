#pragma once
// The game data container: header, settings block, helper library and the scrambled main block with its
// sections. LoadGameData parses it for the runner; WriteGameData is its exact inverse for kvpack and tests.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "graphics/bitmap32.h"
#include "runner/game_sections.h"
#include "runner/support_stream.h"

namespace kv {

constexpr size_t kGameDataOffset = 702567;  // game data starts here in a game file
constexpr int32_t kGameMagic = 1234321;
constexpr int32_t kGameFormatVersion = 700;
constexpr int32_t kSettingsVersion = 702;
constexpr const char* kHelperLibraryDefaultName = "D3DX8.dll";
// The helper library is about a megabyte; a block inflating past this is refused as a corrupted file.
constexpr size_t kMaxHelperLibraryBytes = size_t{8} << 20;
// All compressed blocks of one game together (the main block and the sprites, sounds and files inside it).
constexpr size_t kMaxInflatedGameBytes = size_t{1} << 30;

// Failure messages of the loader (shown verbatim).
inline constexpr std::string_view kMsgNotValidGame = "Error: Not a valid game file.";
inline constexpr std::string_view kMsgWrongVersion = "Error: Wrong version number.";
inline constexpr std::string_view kMsgResourceData = "Error: Error in resource data.";
inline constexpr std::string_view kMsgExtensionPackages = "Error in loading extension packages.";

// The settings block, in stored order, with the value each field holds before the block is read.
struct GameSettings {
  bool fullScreen = false;
  bool interpolate = false;  // linear texture filtering
  bool noBorder = false;
  bool showCursor = true;
  int32_t scaling = 100;  // >0 fixed percent, 0 stretch, <0 keep aspect ratio
  bool allowResize = false;
  bool stayOnTop = false;
  int32_t outsideColor = 0xFFFFFF;  // 0x00BBGGRR
  bool setResolution = false;
  int32_t colorDepth = 0;  // 0 unchanged, 1 16 bits, 2 32 bits
  int32_t resolution = 0;  // 0 unchanged, 1 320x240 ... 6 1600x1200
  int32_t frequency = 0;   // 0 unchanged, 1 60 Hz ... 5 120 Hz
  bool noButtons = false;
  bool vSync = false;
  bool keyFullScreen = true;  // F4
  bool keyHelp = true;        // F1
  bool keyEscape = true;      // Esc ends the game
  bool keySaveLoad = true;    // F5 / F6
  bool keyScreenshot = true;  // F9
  bool closeAsEscape = true;
  int32_t priority = 0;  // 0 normal, 1 high, 2 highest
  bool freezeOnLoseFocus = false;
  bool showProgressBar = true;
  std::optional<CBitmap32> backBarImage, frontBarImage;  // stored only when showProgressBar
  std::optional<CBitmap32> loadingImage;
  bool loadingTransparent = false;
  int32_t loadingAlpha = 255;
  bool scaleProgressBar = true;
  bool displayErrors = true;
  bool writeErrors = false;
  bool abortOnError = false;
  bool uninitializedZero = false;
  std::vector<std::pair<std::string, std::string>> constants;  // name, value source text

  // False for a wrong block version (nothing after the version is read); truncation throws StreamError.
  bool Read(CStream& s);
  void Write(CStream& s) const;
  bool operator==(const GameSettings&) const = default;
};

// Implemented by the runner lifecycle (loading window) and by tests.
class LoadObserver {
 public:
  virtual ~LoadObserver() = default;
  virtual void ShowLoadingWindow(const GameSettings& /*settings*/, bool /*debugMode*/) {}
  virtual void Progress(int /*percent*/, std::string_view /*text*/) {}
  virtual void Message(std::string_view /*text*/) {}  // plain message box (failure texts)
  virtual std::string TempDirectory() { return {}; }  // where the helper library is written ("" = nowhere)
};

struct GameData {
  bool debugMode = false;
  GameSettings settings;
  std::string helperLibraryName = kHelperLibraryDefaultName;
  std::vector<uint8_t> helperLibrary;  // the stored library bytes; written out, never loaded
  // Main block header. The padding ints and the first int are not used by the runner; they are kept so that
  // writing a loaded game reproduces it.
  std::vector<int32_t> paddingBeforeSeed, paddingAfterSeed;
  int32_t reservedHeader = 0;
  int32_t gameId = 0;
  std::array<uint8_t, 16> guid{};
  GameResources resources;
};

// Parses from s.Position(). Failures with a message of their own call observer.Message(...) and return false;
// StreamError (truncation, zlib) propagates: the caller shows "Failed to load the game data. File seems corrupted."
bool LoadGameData(CStream& s, GameData& out, LoadObserver& observer);

// Exact inverse: writes the game data (not the 702567-byte prefix), scrambling the main block with scrambleSeed.
void WriteGameData(CStream& out, const GameData& game, int32_t scrambleSeed);

// A whole game file: kGameDataOffset zero bytes, then the game data.
CStream BuildGameFile(const GameData& game, int32_t scrambleSeed);

// True when name is a plain file name that may be created inside a directory (no separators, not "." / "..").
bool IsPlainFileName(std::string_view name);

}  // namespace kv
