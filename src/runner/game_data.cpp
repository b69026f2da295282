#include "runner/game_data.h"

#include <cstdio>
#include <memory>

namespace kv {

// ---- settings block -------------------------------------------------------------------------------------------

bool GameSettings::Read(CStream& s) {
  if (s.ReadInt() != kSettingsVersion) return false;
  fullScreen = s.ReadBool();
  interpolate = s.ReadBool();
  noBorder = s.ReadBool();
  showCursor = s.ReadBool();
  scaling = s.ReadInt();
  allowResize = s.ReadBool();
  stayOnTop = s.ReadBool();
  outsideColor = s.ReadInt();
  setResolution = s.ReadBool();
  colorDepth = s.ReadInt();
  resolution = s.ReadInt();
  frequency = s.ReadInt();
  noButtons = s.ReadBool();
  vSync = s.ReadBool();
  keyFullScreen = s.ReadBool();
  keyHelp = s.ReadBool();
  keyEscape = s.ReadBool();
  keySaveLoad = s.ReadBool();
  keyScreenshot = s.ReadBool();
  closeAsEscape = s.ReadBool();
  priority = s.ReadInt();
  freezeOnLoseFocus = s.ReadBool();
  showProgressBar = s.ReadBool();
  backBarImage.reset();
  frontBarImage.reset();
  if (showProgressBar) {
    backBarImage = s.ReadBitmap();
    frontBarImage = s.ReadBitmap();
  }
  loadingImage = s.ReadBitmap();
  loadingTransparent = s.ReadBool();
  loadingAlpha = s.ReadInt();
  scaleProgressBar = s.ReadBool();
  displayErrors = s.ReadBool();
  writeErrors = s.ReadBool();
  abortOnError = s.ReadBool();
  uninitializedZero = s.ReadBool();
  int32_t n = s.ReadInt();
  s.CheckCount(n, 8);  // two strings of at least a length each
  constants.clear();
  constants.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    std::string name = s.ReadString();
    constants.emplace_back(std::move(name), s.ReadString());
  }
  return true;
}

void GameSettings::Write(CStream& s) const {
  s.WriteInt(kSettingsVersion);
  s.WriteBool(fullScreen);
  s.WriteBool(interpolate);
  s.WriteBool(noBorder);
  s.WriteBool(showCursor);
  s.WriteInt(scaling);
  s.WriteBool(allowResize);
  s.WriteBool(stayOnTop);
  s.WriteInt(outsideColor);
  s.WriteBool(setResolution);
  s.WriteInt(colorDepth);
  s.WriteInt(resolution);
  s.WriteInt(frequency);
  s.WriteBool(noButtons);
  s.WriteBool(vSync);
  s.WriteBool(keyFullScreen);
  s.WriteBool(keyHelp);
  s.WriteBool(keyEscape);
  s.WriteBool(keySaveLoad);
  s.WriteBool(keyScreenshot);
  s.WriteBool(closeAsEscape);
  s.WriteInt(priority);
  s.WriteBool(freezeOnLoseFocus);
  s.WriteBool(showProgressBar);
  if (showProgressBar) {
    s.WriteBitmap(backBarImage ? &*backBarImage : nullptr);
    s.WriteBitmap(frontBarImage ? &*frontBarImage : nullptr);
  }
  s.WriteBitmap(loadingImage ? &*loadingImage : nullptr);
  s.WriteBool(loadingTransparent);
  s.WriteInt(loadingAlpha);
  s.WriteBool(scaleProgressBar);
  s.WriteBool(displayErrors);
  s.WriteBool(writeErrors);
  s.WriteBool(abortOnError);
  s.WriteBool(uninitializedZero);
  s.WriteInt(static_cast<int32_t>(constants.size()));
  for (const auto& [name, value] : constants) {
    s.WriteString(name);
    s.WriteString(value);
  }
}

// ---- helper library -------------------------------------------------------------------------------------------

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '/' || c == '\\' || c == '\0') return false;
  return true;
}

// The runner never loads the stored library; it is written to the temporary directory so that the directory
// holds what games expect. The name comes from the file: only a plain file name is used, so it cannot point
// outside the directory. A write failure is not fatal.
static void WriteHelperLibrary(LoadObserver& observer, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string dir = observer.TempDirectory();
  if (dir.empty() || !IsPlainFileName(name)) return;
  std::string path = dir + "/" + name;
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (f && !bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f.get());
}

// ---- main block -----------------------------------------------------------------------------------------------

static void ReadPadding(CStream& s, int32_t count, std::vector<int32_t>& out) {
  s.CheckCount(count, 4);
  out.resize(static_cast<size_t>(count));
  for (int32_t& v : out) v = s.ReadInt();
}

bool LoadGameData(CStream& s, GameData& out, LoadObserver& observer) {
  ScopedInflateBudget budget(kMaxInflatedGameBytes);
  if (s.ReadInt() != kGameMagic) {
    observer.Message(kMsgNotValidGame);
    return false;
  }
  if (s.ReadInt() != kGameFormatVersion) {
    observer.Message(kMsgWrongVersion);
    return false;
  }
  out.debugMode = s.ReadBool();
  if (!out.settings.Read(s)) {
    observer.Message(kMsgResourceData);
    return false;
  }
  observer.ShowLoadingWindow(out.settings, out.debugMode);
  observer.Progress(1, "Reading data");

  out.helperLibraryName = s.ReadString();
  out.helperLibrary = std::move(s.ReadCompressed(kMaxHelperLibraryBytes).Buffer());
  WriteHelperLibrary(observer, out.helperLibraryName, out.helperLibrary);

  CStream main = s.ReadCompressed();
  int32_t k = main.ReadInt(), m = main.ReadInt();
  ReadPadding(main, k, out.paddingBeforeSeed);
  int32_t seed = main.ReadInt();
  ReadPadding(main, m, out.paddingAfterSeed);
  Unscramble(main, seed, main.Position() + 1, 0);
  out.reservedHeader = main.ReadInt();
  out.gameId = main.ReadInt();
  main.ReadBytes(out.guid.data(), out.guid.size());

  const std::vector<SectionSpec>& sections = MainBlockSections();
  for (const SectionSpec& section : sections) {
    observer.Progress(section.progress, section.text);
    if (!section.read(main, out.resources)) {
      if (section.failureMessage) observer.Message(section.failureMessage);
      observer.Message(kMsgResourceData);
      return false;
    }
  }
  return true;
}

void WriteGameData(CStream& out, const GameData& game, int32_t scrambleSeed) {
  out.WriteInt(kGameMagic);
  out.WriteInt(kGameFormatVersion);
  out.WriteBool(game.debugMode);
  game.settings.Write(out);
  out.WriteString(game.helperLibraryName);
  out.WriteCompressed(game.helperLibrary.data(), game.helperLibrary.size());

  CStream main;
  main.WriteInt(static_cast<int32_t>(game.paddingBeforeSeed.size()));
  main.WriteInt(static_cast<int32_t>(game.paddingAfterSeed.size()));
  for (int32_t v : game.paddingBeforeSeed) main.WriteInt(v);
  main.WriteInt(scrambleSeed);
  for (int32_t v : game.paddingAfterSeed) main.WriteInt(v);
  size_t scrambleStart = main.Position() + 1;
  main.WriteInt(game.reservedHeader);
  main.WriteInt(game.gameId);
  main.WriteBytes(game.guid.data(), game.guid.size());
  WriteMainBlockSections(main, game.resources);
  Scramble(main, scrambleSeed, scrambleStart, 0);
  out.WriteCompressed(main);
}

CStream BuildGameFile(const GameData& game, int32_t scrambleSeed) {
  CStream file(std::vector<uint8_t>(kGameDataOffset, 0));
  file.Seek(kGameDataOffset);
  WriteGameData(file, game, scrambleSeed);
  return file;
}

}  // namespace kv
