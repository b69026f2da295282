// kvpack: manifest parsing, project errors, and packing a project end to end through the game-data reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kvpack_cli.h"
#include "kvpack_dump.h"
#include "kvpack_project.h"

namespace kv::pack {
namespace {

namespace fs = std::filesystem;

const std::string kProject = std::string(KV_SOURCE_DIR) + "/tests/data/kvpack_project";

// A scratch project directory with the given files.
struct ScratchProject {
  fs::path dir;
  explicit ScratchProject(const std::string& name) : dir(fs::path(::testing::TempDir()) / ("kvpack_" + name)) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  ~ScratchProject() { fs::remove_all(dir); }
  void Write(const std::string& rel, const std::string& text) const {
    fs::create_directories((dir / rel).parent_path());
    std::ofstream(dir / rel, std::ios::binary) << text;
  }
};

GameData LoadBack(const PackedGame& packed) {
  CStream file = BuildGameFile(packed.game, packed.scrambleSeed);
  file.Seek(kGameDataOffset);
  GameData back;
  LoadObserver quiet;
  EXPECT_TRUE(LoadGameData(file, back, quiet));
  return back;
}

TEST(KvpackManifest, LinesSectionsAndQuotes) {
  Manifest m = ParseManifest(
      "\xEF\xBB\xBF# comment\r\n[game]\r\n  id = 5 \r\n; other comment\n[room  \"my room\" ]\ncaption = \"  a = b \"\n"
      "instance obj 1 2\n",
      "x.kvp");
  ASSERT_EQ(m.sections.size(), 2u);
  EXPECT_EQ(m.sections[0].kind, "game");
  EXPECT_EQ(m.sections[0].entries[0].key, "id");
  EXPECT_EQ(m.sections[0].entries[0].value, "5");
  EXPECT_EQ(m.sections[0].entries[0].line, 3);
  EXPECT_EQ(m.sections[1].name, "my room");
  EXPECT_EQ(m.sections[1].entries[0].value, "  a = b ");
  EXPECT_FALSE(m.sections[1].entries[1].hasValue);
  EXPECT_EQ(m.sections[1].entries[1].key, "instance obj 1 2");
  EXPECT_EQ(SplitWords("a  \"b c\" d"), (std::vector<std::string>{"a", "b c", "d"}));
}

TEST(KvpackManifest, IntegerForms) {
  struct Case { const char* text; std::optional<int32_t> value; };
  for (Case c : {Case{"42", 42}, Case{"-7", -7}, Case{"0x10", 16}, Case{"0xFFFFFFFF", -1}, Case{"2147483648", {}},
                 Case{"12a", {}}, Case{"", {}}, Case{"-0x1", -1}, Case{"0x", {}}}) {
    EXPECT_EQ(TryParseInt(c.text), c.value) << c.text;
  }
}

// Each bad project names the manifest line and the problem.
TEST(KvpackManifest, ProjectErrorsNameTheLine) {
  struct Case { const char* manifest; const char* expected; };
  const Case cases[] = {
      {"id = 1\n", "game.kvp:1: entry before the first [section]"},
      {"[game\n", "game.kvp:1: section header without ']'"},
      {"[widget w]\n", "game.kvp:1: unknown section kind [widget]"},
      // A misspelt section is named, not the earlier use of the resource it should have made.
      {"[object a]\nparent = b\n[objet b]\n", "game.kvp:3: unknown section kind [objet]"},
      {"[game]\nwidth = 3\n", "game.kvp:2: unknown entry 'width' in [game]"},
      {"[settings]\nfull_screen = maybe\n", "game.kvp:2: 'maybe' is not true or false"},
      {"[settings]\nscaling = ten\n", "game.kvp:2: 'ten' is not an integer"},
      {"[object a]\nparent = b\n", "game.kvp:2: unknown object 'b'"},
      {"[object a]\nsprite = spr_a\n", "game.kvp:2: unknown sprite 'spr_a'"},
      {"[object a]\n[object a]\n", "game.kvp:2: duplicate object name 'a'"},
      {"[object a]\nevent alarm = c.kvs\n", "game.kvp:2: event 'alarm' needs a subtype"},
      {"[object a]\nevent create 1 = c.kvs\n", "game.kvp:2: event 'create' takes no subtype"},
      {"[object a]\nevent alarm 12 = c.kvs\n", "game.kvp:2: bad subtype '12' for event 'alarm'"},
      {"[object a]\nevent hover = c.kvs\n", "game.kvp:2: unknown event type 'hover'"},
      {"[object a]\nevent create = missing.kvs\n", "game.kvp:2: cannot read missing.kvs"},
      {"[script s]\n", "game.kvp:1: [script s] needs 'file = NAME.kvs'"},
      {"[script]\nfile = c.kvs\n", "game.kvp:1: [script] needs a name"},
      {"[room r]\ninstance a 1\n", "game.kvp:2: expected 'instance OBJECT X Y [FILE]'"},
      {"[room r]\n[room_order]\nr q\n", "game.kvp:3: unknown room 'q'"},
      {"[game]\nguid = 1234\n", "game.kvp:2: guid must be 32 hexadecimal digits"},
      {"[object a]\n", "game.kvp: the game needs at least one room"},
  };
  ScratchProject p("errors");
  p.Write("c.kvs", "x = 1;");
  for (const Case& c : cases) {
    try {
      PackManifest(c.manifest, p.dir.string());
      ADD_FAILURE() << "accepted: " << c.manifest;
    } catch (const PackError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    }
  }
}

TEST(KvpackProject, PacksEveryKindOfEntryAndLoadsBack) {
  PackedGame packed = PackProject(kProject);
  GameData g = LoadBack(packed);
  EXPECT_EQ(g.gameId, 424242);
  EXPECT_EQ(g.guid[0], 0x00);
  EXPECT_EQ(g.guid[15], 0xFF);
  EXPECT_FALSE(g.debugMode);

  const GameSettings& st = g.settings;
  EXPECT_EQ(st.scaling, -1);
  EXPECT_EQ(st.outsideColor, 0x203040);
  EXPECT_FALSE(st.keyEscape);
  EXPECT_FALSE(st.showProgressBar);
  EXPECT_EQ(st.loadingAlpha, 200);
  ASSERT_TRUE(st.loadingImage);
  EXPECT_EQ(st.loadingImage->width, 3);
  EXPECT_EQ(st.loadingImage->Pixel(2, 1), 0xFFC80050u);  // bottom-up: the first stored row is the lower one (B 80, G 0, R 200)
  ASSERT_EQ(st.constants.size(), 2u);
  EXPECT_EQ(st.constants[1], (std::pair<std::string, std::string>{"GREETING", "\"Gr\xFC\xDF" "e\""}));  // CP-1252

  const GameResources& r = g.resources;
  ASSERT_EQ(r.scripts.Count(), 2);
  EXPECT_EQ(r.scripts.Name(0), "scr_add");
  EXPECT_EQ(r.scripts.Get(0)->Text(), "return argument0 + argument1;\r\n");

  ASSERT_EQ(r.objects.Count(), 3);
  EXPECT_EQ(r.objects.Find("obj_wall"), 2);
  const CObject* player = r.objects.Get(1);
  EXPECT_EQ(player->parent, 0);
  EXPECT_EQ(player->depth, -5);
  EXPECT_TRUE(player->solid);
  EXPECT_TRUE(player->persistent);
  EXPECT_FALSE(r.objects.Get(2)->visible);
  struct Ev { int type, subtype; size_t actions; };
  for (Ev e : {Ev{0, 0, 1}, Ev{3, 0, 1}, Ev{3, 2, 1}, Ev{2, 3, 1}, Ev{5, 37, 1}, Ev{9, 'A', 1}, Ev{4, 2, 1},
               Ev{7, 12, 1}, Ev{6, 4, 1}, Ev{8, 0, 2}}) {
    const CEvent* ev = player->GetEvent(e.type, e.subtype);
    ASSERT_NE(ev, nullptr) << e.type << "/" << e.subtype;
    EXPECT_EQ(ev->actions.size(), e.actions) << e.type << "/" << e.subtype;
  }
  const CAction& code = player->GetEvent(8, 0)->actions[1];
  EXPECT_EQ(code.kind, 7);
  EXPECT_EQ(code.exeType, 2);
  EXPECT_EQ(code.argumentTexts[0], "event_inherited();\r\nspeed = 2;\r\n");

  ASSERT_EQ(r.timelines.Count(), 1);
  const CTimeLine* tl = r.timelines.Get(0);
  ASSERT_EQ(tl->moments.size(), 2u);
  EXPECT_EQ(tl->moments[0].step, 0);
  EXPECT_EQ(tl->moments[1].step, 30);

  ASSERT_EQ(r.rooms.Count(), 2);
  const CRoom* first = r.rooms.Get(0);
  EXPECT_EQ(first->width, 800);
  EXPECT_EQ(first->speed, 60);
  EXPECT_EQ(first->caption, "First room");
  EXPECT_EQ(first->creationCode, "show_debug_message(\"room \" + room_caption);\r\n");
  ASSERT_EQ(first->instances.size(), 3u);
  EXPECT_EQ(first->instances[0].id, 100001);
  EXPECT_EQ(first->instances[0].objectIndex, 1);
  EXPECT_EQ(first->instances[0].x, 64);
  EXPECT_FALSE(first->instances[0].creationCode.empty());
  EXPECT_EQ(first->instances[2].x, 32);
  EXPECT_EQ(r.lastInstanceId, 100003);
  EXPECT_EQ(r.roomOrder, (std::vector<int>{1, 0}));
  EXPECT_EQ(r.libraryInitCode, std::vector<std::string>{"global.started = 1;\r\n"});

  ASSERT_EQ(r.includedFiles.size(), 1u);
  EXPECT_EQ(r.includedFiles[0].name, "notes.txt");
  EXPECT_EQ(std::string(r.includedFiles[0].data.begin(), r.includedFiles[0].data.end()), "Included notes.\n");
  EXPECT_EQ(r.includedFiles[0].exportMode, 1);
  EXPECT_TRUE(r.includedFiles[0].overwrite);
  EXPECT_EQ(r.gameInfo.caption, "About");
}

TEST(KvpackProject, RoomOrderDefaultsToDefinitionOrder) {
  ScratchProject p("order");
  p.Write("game.kvp", "[room a]\n[room b]\n[room c]\n");
  GameData g = LoadBack(PackProject(p.dir.string()));
  EXPECT_EQ(g.resources.roomOrder, (std::vector<int>{0, 1, 2}));
}

TEST(KvpackDump, NamesSectionsAndResources) {
  std::string text = DumpGame(LoadBack(PackProject(kProject)));
  for (const char* needle : {"game id: 424242", "scripts: 2", "  1 obj_player  depth -5, parent obj_base",
                             "collision obj_wall", "keyboard left", "draw (2 actions)", "room order: rm_second rm_first",
                             "GREETING = \"Grüße\"", "loading_image = 3x2", "notes.txt  16 bytes"}) {
    EXPECT_NE(text.find(needle), std::string::npos) << needle << "\n" << text;
  }
}

int RunCli(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
  std::ostringstream o, e;
  int rc = RunKvpack(args, o, e);
  if (out) *out = o.str();
  if (err) *err = e.str();
  return rc;
}

TEST(KvpackCli, ExitCodesAndFiles) {
  ScratchProject p("cli");
  std::string game = (p.dir / "out.game").string();
  EXPECT_EQ(RunCli({kProject, game}), 0);
  EXPECT_GT(fs::file_size(game), kGameDataOffset);
  EXPECT_FALSE(fs::exists(game + ".kvpack-tmp"));
  std::string out, err;
  EXPECT_EQ(RunCli({"--dump", game}, &out), 0);
  EXPECT_NE(out.find("obj_player"), std::string::npos);

  // The seed changes the stored bytes, not the game.
  std::string game2 = (p.dir / "out2.game").string();
  EXPECT_EQ(RunCli({kProject, game2, "--seed", "5"}), 0);
  std::string out2;
  EXPECT_EQ(RunCli({"--dump", game2}, &out2), 0);
  EXPECT_EQ(out.substr(out.find('\n')), out2.substr(out2.find('\n')));

  EXPECT_EQ(RunCli({}), 2);
  EXPECT_EQ(RunCli({kProject}), 2);
  EXPECT_EQ(RunCli({kProject, game, "--bogus"}), 2);
  EXPECT_EQ(RunCli({"--help"}, &out), 0);
  EXPECT_EQ(RunCli({(p.dir / "none").string(), game}, nullptr, &err), 1);
  EXPECT_NE(err.find("no game.kvp"), std::string::npos);

  // Dumping bad files: unreadable, too short, corrupted.
  EXPECT_EQ(RunCli({"--dump", (p.dir / "none.game").string()}, nullptr, &err), 1);
  EXPECT_NE(err.find("Cannot read the game file"), std::string::npos);
  p.Write("short.game", "abc");
  EXPECT_EQ(RunCli({"--dump", (p.dir / "short.game").string()}, nullptr, &err), 1);
  EXPECT_NE(err.find("Not a valid game file"), std::string::npos);
  fs::resize_file(game, fs::file_size(game) - 10);
  EXPECT_EQ(RunCli({"--dump", game}, nullptr, &err), 1);
  EXPECT_NE(err.find("File seems corrupted"), std::string::npos);
}

TEST(KvpackCli, BinaryPacksTheProject) {
  ScratchProject p("bin");
  std::string game = (p.dir / "bin.game").string();
  std::string cmd = std::string(KV_BIN_DIR) + "/kvpack " + kProject + " " + game + " > /dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  CStream file;
  ASSERT_TRUE(CStream::LoadFile(game, file));
  EXPECT_GT(file.Size(), kGameDataOffset);
}

}  // namespace
}  // namespace kv::pack
