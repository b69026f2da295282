// The stored records of every resource kind: exact field layouts, round trips, versions, truncation and hostile
// counts.
#include <gtest/gtest.h>

#include <functional>

#include "runner/record_fixtures.h"

namespace kv {
namespace {

using samples::Bytes;
using samples::Encode;

// Writes the record, reads it back into a fresh one and checks both the record and a second encoding.
template <class T>
void ExpectRoundTrip(const T& original) {
  const std::vector<uint8_t> bytes = Encode(original);
  CStream s(bytes);
  T copy;
  ASSERT_TRUE(copy.Read(s));
  EXPECT_EQ(s.Remaining(), 0u) << "the reader must consume exactly the written bytes";
  EXPECT_TRUE(copy == original);
  EXPECT_EQ(Encode(copy), bytes);
}

TEST(GameRecords, RoundTripEveryKind) {
  ExpectRoundTrip(samples::SampleAction(3));
  ExpectRoundTrip(samples::SampleEvent(2, 3));
  ExpectRoundTrip(samples::SampleSound());
  ExpectRoundTrip(samples::SampleSprite());
  ExpectRoundTrip(samples::SampleBackground());
  ExpectRoundTrip(samples::SampleFont());
  ExpectRoundTrip(samples::SamplePath());
  ExpectRoundTrip(samples::SampleScript());
  ExpectRoundTrip(samples::SampleTimeLine());
  ExpectRoundTrip(samples::SampleObject());
  ExpectRoundTrip(samples::SampleRoom());
  ExpectRoundTrip(samples::SampleDataFile());
  ExpectRoundTrip(samples::SampleGameInfo());
  ExpectRoundTrip(samples::SampleExtensionPackage());
  // Optional parts absent.
  CSound silent = samples::SampleSound();
  silent.data.reset();
  ExpectRoundTrip(silent);
  CBackground blank = samples::SampleBackground();
  blank.image.reset();
  ExpectRoundTrip(blank);
  ExpectRoundTrip(CObject());
  ExpectRoundTrip(CRoom());
}

// One entry per record kind: its encoding and a reader that returns the Read result.
struct Kind {
  const char* name;
  std::vector<uint8_t> bytes;
  std::function<bool(CStream&)> read;
};

template <class T>
Kind MakeKind(const char* name, const T& sample) {
  return {name, Encode(sample), [](CStream& s) {
            T r;
            return r.Read(s);
          }};
}

std::vector<Kind> AllKinds() {
  return {MakeKind("sound", samples::SampleSound()),         MakeKind("sprite", samples::SampleSprite()),
          MakeKind("background", samples::SampleBackground()), MakeKind("font", samples::SampleFont()),
          MakeKind("path", samples::SamplePath()),           MakeKind("script", samples::SampleScript()),
          MakeKind("timeline", samples::SampleTimeLine()),   MakeKind("object", samples::SampleObject()),
          MakeKind("room", samples::SampleRoom()),           MakeKind("datafile", samples::SampleDataFile()),
          MakeKind("gameinfo", samples::SampleGameInfo()),   MakeKind("extension", samples::SampleExtensionPackage()),
          MakeKind("action", samples::SampleAction(1)),      MakeKind("event", samples::SampleEvent(1, 2))};
}

TEST(GameRecords, EveryTruncationThrows) {
  for (const Kind& k : AllKinds()) {
    for (size_t n = 0; n < k.bytes.size(); ++n) {
      CStream s(std::vector<uint8_t>(k.bytes.begin(), k.bytes.begin() + static_cast<long>(n)));
      EXPECT_THROW(k.read(s), StreamError) << k.name << " cut at " << n << " of " << k.bytes.size();
    }
  }
}

TEST(GameRecords, WrongVersionFailsTheRecord) {
  for (const Kind& k : AllKinds()) {
    const std::string name = k.name;
    if (name == "action" || name == "event") continue;  // these read as empty instead (below)
    std::vector<uint8_t> bytes = k.bytes;
    bytes[0] ^= 0x01;
    CStream s(bytes);
    EXPECT_FALSE(k.read(s)) << k.name;
  }
}

TEST(GameRecords, WrongActionOrEventVersionReadsEmptyFromFourBytes) {
  CStream a = Bytes().I(441).I(77).Stream();
  CAction action = samples::SampleAction(1);
  ASSERT_TRUE(action.Read(a));
  EXPECT_TRUE(action == CAction());
  EXPECT_EQ(a.Position(), 4u);

  CStream e = Bytes().I(401).I(77).Stream();
  CEvent event = samples::SampleEvent(1, 1);
  ASSERT_TRUE(event.Read(e));
  EXPECT_FALSE(event.Defined());
  EXPECT_EQ(e.Position(), 4u);
}

// Hostile counts must fail before anything is allocated for them.
TEST(GameRecords, HostileCountsThrowWithoutAllocating) {
  const int32_t counts[] = {-1, 0x7FFFFFFF, 1 << 28};
  for (int32_t count : counts) {
    SCOPED_TRACE(count);
    CStream sprite = Bytes().I(542).I(1).I(1).I(0).I(0).I(0).I(0).B(1).B(0).B(1).I(0).B(1).I(0).I(0).I(count).Stream();
    EXPECT_THROW(CSprite().Read(sprite), StreamError);
    CStream path = Bytes().I(530).I(0).B(1).I(4).I(count).R(1).R(2).R(3).Stream();
    EXPECT_THROW(CPath().Read(path), StreamError);
    CStream event = Bytes().I(400).I(count).I(440).Stream();
    EXPECT_THROW(CEvent().Read(event), StreamError);
    CStream timeline = Bytes().I(500).I(count).I(0).I(400).Stream();
    EXPECT_THROW(CTimeLine().Read(timeline), StreamError);
    CStream package = Bytes().I(700).S("p").S("t").I(count).Stream();
    EXPECT_THROW(CExtensionPackage().Read(package), StreamError);
    CStream kinds = Bytes().I(440).I(0).I(0).I(0).B(0).B(0).B(0).I(0).S("").S("").I(0).I(count).Stream();
    EXPECT_THROW(CAction().Read(kinds), StreamError);
  }
}

TEST(GameRecords, SoundLayout) {
  CStream s = Bytes().I(600).I(1).S(".wav").S("boom.wav").B(true).Z("RIFF").I(5).R(0.5).R(-1).B(true).Stream();
  CSound snd;
  ASSERT_TRUE(snd.Read(s));
  EXPECT_EQ(snd.kind, 1);
  EXPECT_EQ(snd.extension, ".wav");
  EXPECT_EQ(snd.fileName, "boom.wav");
  ASSERT_TRUE(snd.data.has_value());
  EXPECT_EQ(std::string(snd.data->begin(), snd.data->end()), "RIFF");
  EXPECT_EQ(snd.effects, 5);
  EXPECT_EQ(snd.volume, 0.5);
  EXPECT_EQ(snd.pan, -1);
  EXPECT_TRUE(snd.preload);
  // Without data there is no block: effects follow the flag at once.
  CStream t = Bytes().I(600).I(0).S("").S("").B(false).I(9).R(1).R(0).B(false).Stream();
  ASSERT_TRUE(snd.Read(t));
  EXPECT_FALSE(snd.data.has_value());
  EXPECT_EQ(snd.effects, 9);
}

TEST(GameRecords, SpriteBoundingBoxIsStoredLeftRightBottomTop) {
  Bytes b;
  b.I(542).I(4).I(5).I(1).I(3).I(4).I(2).B(false).B(true).B(false).I(2).B(false).I(-3).I(9).I(1);
  CBitmap32::Make(4, 5, 0xFF00FF00).Write(b.s);
  CStream s = b.Stream();
  CSprite spr;
  ASSERT_TRUE(spr.Read(s));
  EXPECT_EQ(spr.width, 4);
  EXPECT_EQ(spr.height, 5);
  EXPECT_EQ(spr.bboxLeft, 1);
  EXPECT_EQ(spr.bboxRight, 3);
  EXPECT_EQ(spr.bboxBottom, 4);
  EXPECT_EQ(spr.bboxTop, 2);
  EXPECT_FALSE(spr.transparent);
  EXPECT_TRUE(spr.smooth);
  EXPECT_FALSE(spr.preload);
  EXPECT_EQ(spr.bboxKind, 2);
  EXPECT_FALSE(spr.precise);
  EXPECT_EQ(spr.xOrigin, -3);
  EXPECT_EQ(spr.yOrigin, 9);
  ASSERT_EQ(spr.FrameCount(), 1);
  EXPECT_EQ(spr.frames[0].Pixel(3, 4), 0xFF00FF00u);
}

TEST(GameRecords, FontGlyphTableAndAtlas) {
  Bytes b;
  b.I(540).S("Arial").I(10).B(false).B(true).I(32).I(127);
  for (int c = 0; c < 256; ++c) b.I(c).I(2 * c).I(3).I(4).I(5).I(-c);
  b.I(3).I(2).Z(std::string("\x01\x02\x03\x04\x05\x06\x07", 7));  // one surplus byte is ignored
  CStream s = b.Stream();
  CFont f;
  ASSERT_TRUE(f.Read(s));
  EXPECT_EQ(f.name, "Arial");
  EXPECT_TRUE(f.italic);
  EXPECT_FALSE(f.bold);
  EXPECT_EQ(f.last, 127);
  EXPECT_TRUE(f.glyphs[200] == (RGlyph{200, 400, 3, 4, 5, -200}));
  EXPECT_EQ(f.atlas, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));

  Bytes shortAtlas;
  shortAtlas.I(540).S("").I(10).B(false).B(false).I(32).I(127);
  for (int i = 0; i < 256 * 6; ++i) shortAtlas.I(0);
  shortAtlas.I(3).I(2).Z("12345");
  CStream t = shortAtlas.Stream();
  EXPECT_THROW(f.Read(t), StreamError);
}

TEST(GameRecords, PathLayout) {
  CStream s = Bytes().I(530).I(1).B(false).I(3).I(2).R(1).R(2).R(3).R(4).R(5).R(6).Stream();
  CPath p;
  ASSERT_TRUE(p.Read(s));
  EXPECT_EQ(p.kind, 1);
  EXPECT_FALSE(p.closed);
  EXPECT_EQ(p.precision, 3);
  ASSERT_EQ(p.points.size(), 2u);
  EXPECT_TRUE(p.points[1] == (RPathPoint{4, 5, 6}));
}

TEST(GameRecords, ScriptTextIsSubstitutedWithItsSeed) {
  CStream block;
  block.WriteString("show_message('hi');");
  Unsubstitute(block, 52719, 0, 0);
  Bytes b;
  b.I(400);
  b.s.WriteCompressed(block);
  CStream s = b.Stream();
  CScript script;
  ASSERT_TRUE(script.Read(s));
  EXPECT_EQ(script.Text(), "show_message('hi');");
  EXPECT_EQ(script.textBlock, block.Buffer());  // kept as stored
  EXPECT_EQ(CScript().Text(), "");

  // A block that cannot hold its own string is refused when read.
  CStream bad = Bytes().I(400).Z("\x10\x00").Stream();
  EXPECT_THROW(script.Read(bad), StreamError);
}

TEST(GameRecords, ActionLayoutKeepsEightArgumentsAndStaysAligned) {
  Bytes b;
  b.I(440).I(1).I(2).I(5).B(true).B(false).B(true).I(2).S("fn").S("code").I(3);
  b.I(10);
  for (int i = 0; i < 10; ++i) b.I(i + 1);
  b.I(-2).B(true).I(9);
  for (char i = '0'; i < '9'; ++i) b.S(std::string{'t', i});
  b.B(true).I(12345);  // the next field after the action
  CStream s = b.Stream();
  CAction a;
  ASSERT_TRUE(a.Read(s));
  EXPECT_EQ(a.libraryId, 1);
  EXPECT_EQ(a.actionId, 2);
  EXPECT_EQ(a.kind, 5);
  EXPECT_TRUE(a.mayBeRelative);
  EXPECT_FALSE(a.isQuestion);
  EXPECT_TRUE(a.usesApplyTo);
  EXPECT_EQ(a.exeType, 2);
  EXPECT_EQ(a.functionName, "fn");
  EXPECT_EQ(a.functionIndex, -1);
  EXPECT_EQ(a.codeText, "code");
  EXPECT_EQ(a.argumentCount, 3);
  EXPECT_EQ(a.argumentKinds[7], 8);
  EXPECT_EQ(a.applyTo, -2);
  EXPECT_TRUE(a.relative);
  EXPECT_EQ(a.argumentTexts[7], "t7");
  EXPECT_TRUE(a.isNot);
  EXPECT_EQ(s.ReadInt(), 12345);
}

TEST(GameRecords, ActionArgumentCountBeyondTheCallArrayFails) {
  for (int32_t count : {8, 100, -1}) {
    CStream s = Bytes().I(440).I(0).I(0).I(0).B(0).B(0).B(0).I(1).S("f").S("").I(count).I(0).I(-1).B(0).I(0).B(0)
                    .Stream();
    EXPECT_FALSE(CAction().Read(s)) << count;
  }
}

TEST(GameRecords, ObjectVersionsAndEventSequences) {
  // Version 400: event types 0 ... 8 with no last-type field.
  Bytes old;
  old.I(400).I(3).B(true).B(false).I(-7).B(true).I(1).I(2);
  for (int t = 0; t <= 8; ++t) {
    if (t == 3) {
      old.I(2);
      samples::SampleEvent(1, 1).Write(old.s);
      old.I(0).I(401);  // an event of the wrong version: empty, four bytes
    }
    old.I(-1);
  }
  old.I(777);
  CStream s = old.Stream();
  CObject o;
  ASSERT_TRUE(o.Read(s));
  EXPECT_EQ(o.sprite, 3);
  EXPECT_TRUE(o.solid);
  EXPECT_FALSE(o.visible);
  EXPECT_EQ(o.depth, -7);
  EXPECT_TRUE(o.persistent);
  EXPECT_EQ(o.parent, 1);
  EXPECT_EQ(o.mask, 2);
  ASSERT_NE(o.GetEvent(3, 2), nullptr);
  EXPECT_EQ(o.GetEvent(3, 0), nullptr);  // present but empty: not defined
  EXPECT_EQ(o.GetEvent(3, 1), nullptr);
  EXPECT_EQ(o.GetEvent(11, 0), nullptr);
  EXPECT_EQ(s.ReadInt(), 777);

  // Version 430 with a last type beyond the eleven types is refused.
  CStream bad = Bytes().I(430).I(0).B(0).B(0).I(0).B(0).I(-1).I(-1).I(11).Stream();
  EXPECT_FALSE(CObject().Read(bad));

  // A collision event with a huge object index costs one entry, not an array of that size.
  Bytes big;
  big.I(430).I(0).B(0).B(1).I(0).B(0).I(-1).I(-1).I(10);
  for (int t = 0; t <= 10; ++t) {
    if (t == 4) {
      big.I(0x7FFFFFF0);
      samples::SampleEvent(2, 1).Write(big.s);
    }
    big.I(-1);
  }
  CStream bs = big.Stream();
  ASSERT_TRUE(o.Read(bs));
  EXPECT_NE(o.GetEvent(4, 0x7FFFFFF0), nullptr);
  EXPECT_EQ(o.events[4].size(), 1u);
}

TEST(GameRecords, RoomLayoutWithFewerLayersAndViews) {
  Bytes b;
  b.I(541).S("cap").I(320).I(200).I(45).B(true).I(0xFF).B(false).S("rc");
  b.I(1).B(true).B(true).I(2).I(-3).I(4).B(false).B(true).I(5).I(-6).B(true);
  b.B(true).I(1).B(true).I(1).I(2).I(3).I(4).I(5).I(6).I(7).I(8).I(9).I(10).I(11).I(12).I(13);
  b.I(1).I(10).I(20).I(3).I(100007).S("ic");
  b.I(1).I(1).I(2).I(3).I(4).I(5).I(6).I(7).I(-8).I(10000009);
  CStream s = b.Stream();
  CRoom r;
  ASSERT_TRUE(r.Read(s));
  EXPECT_EQ(r.caption, "cap");
  EXPECT_EQ(r.width, 320);
  EXPECT_EQ(r.height, 200);
  EXPECT_EQ(r.speed, 45);
  EXPECT_TRUE(r.persistent);
  EXPECT_EQ(r.colour, 0xFF);
  EXPECT_FALSE(r.showColour);
  EXPECT_EQ(r.creationCode, "rc");
  const CBack& b0 = r.backgrounds[0];
  EXPECT_TRUE(b0.visible && b0.foreground && b0.stretch && b0.vTiled && !b0.hTiled);
  EXPECT_EQ(b0.background, 2);
  EXPECT_EQ(b0.x, -3);
  EXPECT_EQ(b0.y, 4);
  EXPECT_EQ(b0.hSpeed, 5);
  EXPECT_EQ(b0.vSpeed, -6);
  EXPECT_TRUE(r.backgrounds[1] == CBack());  // layers not stored keep their defaults
  EXPECT_TRUE(r.viewsEnabled);
  const CView& v0 = r.views[0];
  EXPECT_EQ(v0.xView, 1);
  EXPECT_EQ(v0.hPort, 8);
  EXPECT_EQ(v0.hBorder, 9);
  EXPECT_EQ(v0.vSpeed, 12);
  EXPECT_EQ(v0.object, 13);
  EXPECT_TRUE(r.views[1] == CView());
  ASSERT_EQ(r.instances.size(), 1u);
  EXPECT_TRUE(r.instances[0] == (RRoomInstance{10, 20, 3, 100007, "ic"}));
  ASSERT_EQ(r.tiles.size(), 1u);
  EXPECT_EQ(r.tiles[0].x, 1);
  EXPECT_EQ(r.tiles[0].height, 7);
  EXPECT_EQ(r.tiles[0].depth, -8);
  EXPECT_EQ(r.tiles[0].id, 10000009);
  EXPECT_EQ(r.tiles[0].xScale, 1);
  EXPECT_TRUE(r.tiles[0].visible);

  // More than eight layers would overrun the layer array.
  CStream nine = Bytes().I(541).S("").I(1).I(1).I(1).B(0).I(0).B(0).S("").I(9).Stream();
  EXPECT_FALSE(CRoom().Read(nine));
}

TEST(GameRecords, RoomWritesRealsAsNearestInts) {
  CRoom r;
  r.backgrounds[0].x = 2.5;   // halves to even
  r.backgrounds[0].y = 3.5;
  r.backgrounds[0].hSpeed = -1.6;
  r.backgrounds[0].vSpeed = 1e12;  // saturates
  CStream s(Encode(r));
  CRoom back;
  ASSERT_TRUE(back.Read(s));
  EXPECT_EQ(back.backgrounds[0].x, 2);
  EXPECT_EQ(back.backgrounds[0].y, 4);
  EXPECT_EQ(back.backgrounds[0].hSpeed, -2);
  EXPECT_EQ(back.backgrounds[0].vSpeed, 2147483647);
}

TEST(GameRecords, IncludedFileDataBlockNeedsBothFlags) {
  for (bool hasData : {false, true}) {
    for (bool stored : {false, true}) {
      Bytes b;
      b.I(620).S("a.txt").S("src").B(hasData).I(3).B(stored);
      if (hasData && stored) b.Z("abc");
      b.I(1).S("dir").B(true).B(false).B(true);
      CStream s = b.Stream();
      CDataFile f;
      ASSERT_TRUE(f.Read(s));
      EXPECT_EQ(s.Remaining(), 0u);
      EXPECT_EQ(f.data.size(), hasData && stored ? 3u : 0u);
      EXPECT_EQ(f.exportMode, 1);
      EXPECT_EQ(f.exportFolder, "dir");
      EXPECT_TRUE(f.overwrite);
      EXPECT_FALSE(f.freeAfterExport);
      EXPECT_TRUE(f.removeAtEnd);
    }
  }
}

TEST(GameRecords, GameInfoLayout) {
  CStream s = Bytes().I(600).I(0xABC).B(true).S("Info").I(-1).I(5).I(640).I(480).B(false).B(true).B(true).B(false)
                  .Z("{\\rtf1 x}")
                  .Stream();
  CGameInfo g;
  ASSERT_TRUE(g.Read(s));
  EXPECT_EQ(g.backgroundColour, 0xABC);
  EXPECT_TRUE(g.showInGameWindow);
  EXPECT_EQ(g.caption, "Info");
  EXPECT_EQ(g.left, -1);
  EXPECT_EQ(g.top, 5);
  EXPECT_EQ(g.height, 480);
  EXPECT_FALSE(g.showBorder);
  EXPECT_TRUE(g.sizeable);
  EXPECT_TRUE(g.stayOnTop);
  EXPECT_FALSE(g.pauseGame);
  EXPECT_EQ(g.text, "{\\rtf1 x}");
}

TEST(GameRecords, ExtensionPackageLayoutAndPostProcessing) {
  Bytes b;
  b.I(700).S("pkg").S("temp5").I(2);
  // A library file with one function (padded names, more than four arguments, an unknown result type).
  b.I(700).S("lib.dll").I(1).S("init").S("").I(1);
  b.I(700).S("  f1 \t").S("").I(12).I(7).I(5);
  for (int i = 0; i < 17; ++i) b.I(1);
  b.I(9);
  b.I(1).I(700).S("C1").S("3 + 4");
  // A script file with two functions, one of them found in a section.
  b.I(700).S("s.kvs").I(2).S("").S("fin").I(2);
  b.I(700).S("g1").S("sec").I(0).I(8).I(1);
  for (int i = 0; i < 17; ++i) b.I(1);
  b.I(1);
  b.I(700).S("g2").S("missing").I(0).I(9).I(0);
  for (int i = 0; i < 17; ++i) b.I(2);
  b.I(2);
  b.I(0);
  // The content block: seed, one unchanged byte, then substituted bytes.
  CStream content;
  content.WriteInt(77);
  const std::string dll = "MZ-bytes";
  const std::string scriptText = "ignored\r\n#define other\r\nx\r\n#define  sec \r\na = 1;\r\nreturn a;\r\n#define sec2";
  content.WriteCompressed(reinterpret_cast<const uint8_t*>(dll.data()), dll.size());
  content.WriteCompressed(reinterpret_cast<const uint8_t*>(scriptText.data()), scriptText.size());
  Unsubstitute(content, 77, 5, 0);
  b.I(static_cast<int32_t>(content.Size()));
  b.s.WriteBytes(content.Data(), content.Size());
  CStream s = b.Stream();

  CExtensionPackage p;
  ASSERT_TRUE(p.Read(s));
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(p.name, "pkg");
  EXPECT_EQ(p.tempFolderName, "temp5");
  EXPECT_EQ(p.dataSeed, 77);
  ASSERT_EQ(p.files.size(), 2u);
  const CExtensionFunction& f1 = p.files[0].functions[0];
  EXPECT_EQ(f1.name, "f1");
  EXPECT_EQ(f1.externalName, "f1");
  EXPECT_EQ(f1.callConvention, 12);
  EXPECT_EQ(f1.id, 7);
  EXPECT_EQ(f1.argumentTypes, detail::AllRealArgumentTypes());  // five arguments: all real
  EXPECT_EQ(f1.resultType, CExtensionFunction::kReal);
  EXPECT_EQ(p.files[0].initFunction, "init");
  EXPECT_TRUE(p.files[0].constants[0] == (CExtensionConstant{"C1", "3 + 4"}));
  EXPECT_EQ(std::string(p.files[0].data.begin(), p.files[0].data.end()), dll);
  const CExtensionFile& sf = p.files[1];
  EXPECT_EQ(sf.finalFunction, "fin");
  EXPECT_EQ(sf.functions[0].argumentTypes[0], CExtensionFunction::kString);
  EXPECT_EQ(sf.functions[0].resultType, CExtensionFunction::kString);
  EXPECT_EQ(sf.functions[0].code, "a = 1;\r\nreturn a;");
  EXPECT_EQ(sf.functions[1].code, "");
}

TEST(GameRecords, ScriptFileWithoutDefineGivesNoCode) {
  CExtensionFile f;
  CExtensionFunction fn;
  fn.externalName = std::string(1, 'a');
  f.functions.push_back(fn);
  AssignScriptFileCode(f, "a\r\nreturn 1;");
  EXPECT_EQ(f.functions[0].code, "");
  AssignScriptFileCode(f, "#define a\r\none\r\n#define a\r\ntwo");  // a later section of the same name wins
  EXPECT_EQ(f.functions[0].code, "two");
}

}  // namespace
}  // namespace kv
