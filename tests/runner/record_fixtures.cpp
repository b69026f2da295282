#include "runner/record_fixtures.h"

#include <memory>

namespace kv::samples {

CAction SampleAction(int seed) {
  CAction a;
  a.libraryId = 1 + seed;
  a.actionId = 101 + seed;
  a.kind = 5;
  a.mayBeRelative = true;
  a.isQuestion = true;
  a.usesApplyTo = true;
  a.exeType = 1;
  a.functionName = "action_move_" + std::to_string(seed);
  a.codeText = "x = " + std::to_string(seed) + ";";
  a.argumentCount = 7;
  for (int i = 0; i < CAction::kMaxArguments; ++i) {
    a.argumentKinds[i] = i + 1;
    a.argumentTexts[i] = "arg" + std::to_string(i);
  }
  a.applyTo = 3;
  a.relative = true;
  a.isNot = true;
  return a;
}

CEvent SampleEvent(int seed, int actions) {
  CEvent e;
  for (int i = 0; i < actions; ++i) e.actions.push_back(SampleAction(seed * 10 + i));
  return e;
}

CSound SampleSound() {
  CSound s;
  s.kind = 3;
  s.extension = ".mid";
  s.fileName = "tune.mid";
  s.data = std::vector<uint8_t>{'M', 'T', 'h', 'd', 0, 255};
  s.preload = true;
  s.effects = 16 | 2;
  s.volume = 0.25;
  s.pan = -0.5;
  return s;
}

CSprite SampleSprite() {
  CSprite s;
  s.bboxKind = 2;
  s.bboxLeft = 1;
  s.bboxTop = 2;
  s.bboxRight = 3;
  s.bboxBottom = 4;
  s.width = 2;
  s.height = 3;
  s.xOrigin = -5;
  s.yOrigin = 7;
  s.precise = false;
  s.transparent = false;
  s.smooth = true;
  s.preload = false;
  s.frames.push_back(CBitmap32::Make(2, 3, 0xFF102030));
  s.frames.push_back(CBitmap32::Make(2, 3, 0x80405060));
  return s;
}

CBackground SampleBackground() {
  CBackground b;
  b.width = 32;
  b.height = 16;
  b.image = CBitmap32::Make(32, 16, 0xFFABCDEF);
  b.transparent = true;
  b.smooth = true;
  b.preload = false;
  return b;
}

CFont SampleFont() {
  CFont f;
  f.name = "Courier";
  f.size = 17;
  f.bold = true;
  f.italic = true;
  f.first = 40;
  f.last = 90;
  for (int c = 0; c < 256; ++c) f.glyphs[c] = RGlyph{c, c + 1, c + 2, c + 3, c + 4, c - 5};
  f.atlasWidth = 4;
  f.atlasHeight = 3;
  f.atlas = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 250, 255};
  return f;
}

CPath SamplePath() {
  CPath p;
  p.kind = 1;
  p.closed = false;
  p.precision = 7;
  p.points = {{1.5, -2.25, 100}, {300, 40, 50.5}, {-7, 8, 200}};
  return p;
}

CScript SampleScript() {
  CScript s;
  s.SetText("return argument0 * 2;\r\n// all 256 byte values survive: \x01\xff");
  return s;
}

CTimeLine SampleTimeLine() {
  CTimeLine t;
  t.moments.push_back({0, SampleEvent(1, 2)});
  t.moments.push_back({30, SampleEvent(2, 1)});
  t.moments.push_back({-4, SampleEvent(3, 3)});
  return t;
}

CObject SampleObject() {
  CObject o;
  o.sprite = 4;
  o.solid = true;
  o.visible = false;
  o.depth = -100;
  o.persistent = true;
  o.parent = 2;
  o.mask = 6;
  o.GetOrCreateEvent(0, 0) = SampleEvent(1, 2);
  o.GetOrCreateEvent(2, 11) = SampleEvent(2, 1);
  o.GetOrCreateEvent(4, 7) = SampleEvent(3, 1);
  o.GetOrCreateEvent(9, 65) = SampleEvent(4, 1);
  o.GetOrCreateEvent(10, 255) = SampleEvent(5, 1);
  return o;
}

CRoom SampleRoom() {
  CRoom r;
  r.caption = "Level 1";
  r.speed = 60;
  r.width = 1024;
  r.height = 768;
  r.persistent = true;
  r.colour = 0x123456;
  r.showColour = false;
  for (int i = 0; i < CRoom::kLayerCount; ++i) {
    CBack& b = r.backgrounds[i];
    b.visible = i % 2 == 0;
    b.foreground = i % 3 == 0;
    b.background = i;
    b.x = 10 * i;
    b.y = -i;
    b.hTiled = i % 2 == 1;
    b.vTiled = false;
    b.hSpeed = i - 4;
    b.vSpeed = 2;
    b.stretch = i == 5;
    CView& v = r.views[i];
    v.visible = true;
    v.xView = i;
    v.yView = 2 * i;
    v.wView = 320 + i;
    v.hView = 240 + i;
    v.xPort = 3 * i;
    v.yPort = 4 * i;
    v.wPort = 800;
    v.hPort = 600;
    v.hBorder = 64;
    v.vBorder = 16;
    v.hSpeed = 5;
    v.vSpeed = 6;
    v.object = 100005;
  }
  r.viewsEnabled = true;
  r.creationCode = "global.lives = 3;";
  r.instances = {{10, 20, 1, 100001, ""}, {-5, 7, 2, 100002, "speed = 4;"}};
  RTile t;
  t.x = 32;
  t.y = 64;
  t.background = 3;
  t.left = 16;
  t.top = 8;
  t.width = 16;
  t.height = 16;
  t.depth = -1000;
  t.id = 10000001;
  r.tiles = {t};
  return r;
}

CDataFile SampleDataFile() {
  CDataFile f;
  f.name = "levels.dat";
  f.sourcePath = "C:\\games\\levels.dat";
  f.hasData = true;
  f.size = 4;
  f.stored = true;
  f.data = {9, 8, 7, 6};
  f.exportMode = 3;
  f.exportFolder = "data";
  f.overwrite = true;
  f.freeAfterExport = false;
  f.removeAtEnd = false;
  return f;
}

CGameInfo SampleGameInfo() {
  CGameInfo g;
  g.backgroundColour = 0x00FF00;
  g.showInGameWindow = true;
  g.caption = "Help me";
  g.left = 10;
  g.top = 20;
  g.width = 300;
  g.height = 200;
  g.showBorder = false;
  g.sizeable = false;
  g.stayOnTop = true;
  g.pauseGame = false;
  g.text = "{\\rtf1 Hello}";
  return g;
}

CExtensionPackage SampleExtensionPackage() {
  CExtensionPackage p;
  p.name = "Tools";
  p.tempFolderName = "temp17";
  p.dataSeed = 4242;
  CExtensionFile lib;
  lib.fileName = "tools.dll";
  lib.kind = CExtensionFile::kLibrary;
  lib.initFunction = "tools_init";
  lib.finalFunction = "tools_end";
  CExtensionFunction f;
  f.name = "tools_add";
  f.externalName = "Add";
  f.callConvention = 12;
  f.id = 3;
  f.argumentCount = 2;
  f.argumentTypes[0] = CExtensionFunction::kString;
  f.resultType = CExtensionFunction::kString;
  lib.functions.push_back(f);
  lib.constants.push_back({"TOOLS_VERSION", "2"});
  lib.data = {'M', 'Z', 0, 1, 2};
  CExtensionFile none;
  none.fileName = "readme.txt";
  none.kind = CExtensionFile::kNoData;
  CExtensionFile script;
  script.fileName = "tools.kvs";
  script.kind = CExtensionFile::kScriptFile;
  CExtensionFunction g;
  g.name = "tools_twice";
  g.externalName = "tools_twice";
  g.id = 4;
  g.argumentCount = 1;
  g.code = "return argument0 * 2;";
  script.functions.push_back(g);
  const std::string text = "#define tools_twice\r\nreturn argument0 * 2;";
  script.data.assign(text.begin(), text.end());
  p.files = {lib, none, script};
  return p;
}

GameResources SampleResources() {
  GameResources r;
  r.extensions.push_back(SampleExtensionPackage());
  r.sounds.Add("snd_jump", std::make_unique<CSound>(SampleSound()));
  r.sounds.Add("", nullptr);
  r.sprites.Add("spr_player", std::make_unique<CSprite>(SampleSprite()));
  r.backgrounds.Add("bg_sky", std::make_unique<CBackground>(SampleBackground()));
  r.paths.Add("path_loop", std::make_unique<CPath>(SamplePath()));
  r.scripts.Add("scr_twice", std::make_unique<CScript>(SampleScript()));
  r.fonts.Add("fnt_main", std::make_unique<CFont>(SampleFont()));
  r.timelines.Add("tl_intro", std::make_unique<CTimeLine>(SampleTimeLine()));
  r.objects.Add("", nullptr);
  r.objects.Add("obj_player", std::make_unique<CObject>(SampleObject()));
  r.rooms.Add("room_first", std::make_unique<CRoom>(SampleRoom()));
  r.lastInstanceId = 100123;
  r.lastTileId = 10000456;
  r.includedFiles.push_back(SampleDataFile());
  r.gameInfo = SampleGameInfo();
  r.libraryInitCode = {"global.a = 1;", ""};
  r.roomOrder = {0};
  return r;
}

}  // namespace kv::samples
