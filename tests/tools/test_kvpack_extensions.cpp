// kvpack [extension] sections: files with their kinds and contents, functions with ids, types and external
// names, constants, and the errors of a wrong section; packed and read back through the game-data reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "kvpack_manifest.h"
#include "kvpack_project.h"

namespace kv::pack {
namespace {

namespace fs = std::filesystem;

struct Scratch {
  // One directory per test process: ctest runs the tests of this file side by side.
  fs::path dir = fs::path(::testing::TempDir()) / ("kvpack_extension_" + std::to_string(::getpid()));
  Scratch() {
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "tools.kvs", std::ios::binary) << "#define tools_twice\nreturn argument0 * 2;\n#define tools_init\n";
    std::ofstream(dir / "data.bin", std::ios::binary) << "DATA";
  }
  ~Scratch() { fs::remove_all(dir); }
};

GameData PackAndLoad(const std::string& manifest, const fs::path& dir) {
  PackedGame packed = PackManifest(manifest + "[room r]\n", dir.string());
  CStream file = BuildGameFile(packed.game, packed.scrambleSeed);
  file.Seek(kGameDataOffset);
  GameData back;
  LoadObserver quiet;
  EXPECT_TRUE(LoadGameData(file, back, quiet));
  return back;
}

TEST(KvpackExtension, PackagesLoadBackAsWritten) {
  Scratch s;
  GameData g = PackAndLoad(
      "[extension tools]\nfolder = tools_tmp\nfile = tools.kvs\ninit = tools_init\nfunction tools_init =\n"
      "function tools_twice = real -> real\nconstant TOOLS_VERSION = \"2\"\n"
      "file = tools.dll\nfunction tools_join = string real -> string external=Join stdcall id=40\n"
      "function tools_any = any\nfile = payload.dat\nsource = data.bin\n"
      "[extension more]\nfile = more.dll\nfunction more_f = real real real real real real\n",
      s.dir);
  ASSERT_EQ(g.resources.extensions.size(), 2u);
  const CExtensionPackage& p = g.resources.extensions[0];
  EXPECT_EQ(p.name, "tools");
  EXPECT_EQ(p.tempFolderName, "tools_tmp");
  ASSERT_EQ(p.files.size(), 3u);
  const CExtensionFile& script = p.files[0];
  EXPECT_EQ(script.kind, CExtensionFile::kScriptFile);
  EXPECT_EQ(script.initFunction, "tools_init");
  ASSERT_EQ(script.functions.size(), 2u);
  EXPECT_EQ(script.functions[0].id, 1);
  EXPECT_EQ(script.functions[1].id, 2);
  EXPECT_EQ(script.functions[1].argumentCount, 1);
  EXPECT_EQ(script.functions[1].code, "return argument0 * 2;");  // line feeds became line ends the runner cuts at
  EXPECT_TRUE(script.constants[0] == (CExtensionConstant{"TOOLS_VERSION", "\"2\""}));
  const CExtensionFile& lib = p.files[1];
  EXPECT_EQ(lib.kind, CExtensionFile::kLibrary);
  EXPECT_TRUE(lib.data.empty());  // not in the project: stored empty, the runner looks for a replacement
  const CExtensionFunction& join = lib.functions[0];
  EXPECT_EQ(join.externalName, "Join");
  EXPECT_EQ(join.id, 40);
  EXPECT_EQ(join.callConvention, 11);
  EXPECT_EQ(join.argumentCount, 2);
  EXPECT_EQ(join.argumentTypes[0], CExtensionFunction::kString);
  EXPECT_EQ(join.argumentTypes[1], CExtensionFunction::kReal);
  EXPECT_EQ(join.resultType, CExtensionFunction::kString);
  EXPECT_EQ(lib.functions[1].argumentCount, -1);
  EXPECT_EQ(lib.functions[1].id, 41);  // automatic ids go on after the highest one given
  EXPECT_EQ(lib.functions[1].externalName, "tools_any");
  EXPECT_EQ(lib.functions[1].callConvention, 12);
  EXPECT_EQ(p.files[2].kind, CExtensionFile::kOtherFile);
  EXPECT_EQ(std::string(p.files[2].data.begin(), p.files[2].data.end()), "DATA");
  EXPECT_EQ(g.resources.extensions[1].tempFolderName, "more");
  EXPECT_EQ(g.resources.extensions[1].files[0].functions[0].id, 42);
}

TEST(KvpackExtension, WrongSectionsAreProjectErrors) {
  Scratch s;
  struct Case {
    std::string manifest, expected;
  } cases[] = {
      {"[extension]\n", "[extension] needs a name"},
      {"[extension e]\ninit = f\n", "game.kvp:2: 'init' belongs to a file"},
      {"[extension e]\nfile = a.kvs\nfunction f = real -> real\n", "game.kvp:2: cannot read a.kvs"},
      {"[extension e]\nfile = a.dll\nkind = plugin\n", "game.kvp:3: kind is library, script, other or none"},
      {"[extension e]\nfile = a.dll\nfunction f = real banana\n", "game.kvp:3: unknown word 'banana'"},
      {"[extension e]\nfile = a.dll\nfunction f = real any\n", "game.kvp:3: 'any' stands alone"},
      {"[extension e]\nfile = a.dll\nlanguage = c\n", "game.kvp:3: unknown entry 'language' in [extension]"},
  };
  for (const Case& c : cases) {
    try {
      PackManifest(c.manifest + "[room r]\n", s.dir.string());
      ADD_FAILURE() << "accepted: " << c.manifest;
    } catch (const PackError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    }
  }
}

// A script file saved with a byte order mark keeps the function whose "#define" is its first line.
TEST(KvpackExtension, ScriptFileWithByteOrderMarkKeepsItsFirstFunction) {
  Scratch s;
  std::ofstream(s.dir / "bom.kvs", std::ios::binary) << "\xEF\xBB\xBF#define bom_a\rreturn 1;\r#define bom_b\nreturn 2;\n";
  GameData g = PackAndLoad("[extension bom]\nfile = bom.kvs\nfunction bom_a =\nfunction bom_b =\n", s.dir);
  ASSERT_EQ(g.resources.extensions.size(), 1u);
  const CExtensionFile& f = g.resources.extensions[0].files[0];
  ASSERT_EQ(f.functions.size(), 2u);
  EXPECT_EQ(f.functions[0].code, "return 1;");
  EXPECT_EQ(f.functions[1].code, "return 2;\r\n");  // the empty last line is part of the section
  EXPECT_EQ(std::string(f.data.begin(), f.data.end()), "#define bom_a\r\nreturn 1;\r\n#define bom_b\r\nreturn 2;\r\n");
}

}  // namespace
}  // namespace kv::pack
