// `cmake --install` into a scratch prefix: the files land where desktops and `man` look for them, the desktop
// entry and MIME type are valid, and the installed programs pack and play a game from an unrelated folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& file) {
  std::stringstream ss;
  ss << std::ifstream(file, std::ios::binary).rdbuf();
  return ss.str();
}

// Runs a shell command with its output in `log`; the exit code, or -1 when it did not exit.
int Shell(const std::string& command, const fs::path& log) {
  const int status = std::system((command + " >'" + log.string() + "' 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const char* name) { return std::system(("command -v " + std::string(name) + " >/dev/null").c_str()) == 0; }

// Each test installs into its own scratch prefix: ctest runs the tests of this suite as parallel processes.
class Install : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::path(::testing::TempDir()) /
           ("kv_install_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root);
    fs::create_directories(root);
    prefix = root / "prefix";
    // Installing the default component by name writes install_manifest_Unspecified.txt, leaving the build's
    // install_manifest.txt (the list a user uninstalls with) as their own install left it.
    ASSERT_EQ(Shell("'" + std::string(KV_CMAKE_COMMAND) + "' --install '" + KV_BUILD_DIR + "' --prefix '" +
                      prefix.string() + "' --component Unspecified",
                  root / "install.log"),
              0)
        << Slurp(root / "install.log");
  }
  void TearDown() override { fs::remove_all(root); }

  fs::path root, prefix;
};

TEST_F(Install, FilesLandInTheirPlaces) {
  for (const char* program : {"bin/kvrun", "bin/kvpack"}) {
    struct stat st {};
    ASSERT_EQ(stat((prefix / program).c_str(), &st), 0) << program;
    EXPECT_TRUE(st.st_mode & S_IXOTH) << program << " is not executable for everyone";
  }
  for (const char* file : {"share/applications/korvane-runner.desktop", "share/mime/packages/korvane-runner.xml",
                           "share/icons/hicolor/scalable/apps/korvane-runner.svg",
                           "share/icons/hicolor/128x128/apps/korvane-runner.png",
                           "share/doc/korvane-runner/README.md", "share/doc/korvane-runner/tools/kvpack/README.md",
                           "libexec/korvane-runner/libkvdebugger.so"})
    EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;

  // Manual pages and documents: whatever the source tree has, the documents in the folders they have there (the
  // index docs/README.md must not be lost to the main README.md of the same name).
  const fs::path source = KV_SOURCE_DIR, doc = prefix / "share/doc/korvane-runner";
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(source / "docs" / "man", ec)) {
    if (e.path().extension() == ".1") {
      EXPECT_TRUE(fs::is_regular_file(prefix / "share/man/man1" / e.path().filename())) << e.path();
    }
  }
  for (const auto& e : fs::directory_iterator(source / "docs", ec)) {
    if (e.path().extension() == ".md") {
      EXPECT_EQ(Slurp(doc / "docs" / e.path().filename()), Slurp(e.path())) << e.path();
    }
  }
  EXPECT_EQ(Slurp(doc / "README.md"), Slurp(source / "README.md"));
  if (fs::is_directory(source / "docs" / "tutorial")) {
    EXPECT_TRUE(fs::is_regular_file(doc / "docs/tutorial/step1/game.kvp"));
  }

  // The PNG icon is the size of the folder it is in.
  const std::string png = Slurp(prefix / "share/icons/hicolor/128x128/apps/korvane-runner.png");
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x80\0\0\0\x80", 8));  // IHDR width and height
  EXPECT_NE(Slurp(prefix / "share/icons/hicolor/scalable/apps/korvane-runner.svg").find("<svg"), std::string::npos);
}

// A reader of the installed documents can follow every link between them (files and headings).
TEST_F(Install, InstalledDocumentLinksResolve) {
  if (!HaveTool("python3")) GTEST_SKIP() << "python3 is not installed";
  const fs::path doc = prefix / "share/doc/korvane-runner";
  EXPECT_EQ(Shell("python3 '" + std::string(KV_SOURCE_DIR) + "/tools/docs/check_links.py' '" + doc.string() + "'",
                  root / "links.log"),
            0)
      << Slurp(root / "links.log");
}

TEST_F(Install, DesktopEntryAndMimeTypeAreValid) {
  const fs::path desktop = prefix / "share/applications/korvane-runner.desktop";
  const std::string entry = Slurp(desktop);
  for (const char* line : {"Name=Korvane Runner\n", "Exec=kvrun %f\n", "Icon=korvane-runner\n", "Categories=Game;\n",
                           "MimeType=application/x-korvane-game;\n"})
    EXPECT_NE(entry.find(line), std::string::npos) << line;
  if (HaveTool("desktop-file-validate")) {
    EXPECT_EQ(Shell("desktop-file-validate '" + desktop.string() + "'", root / "validate.log"), 0);
    EXPECT_EQ(Slurp(root / "validate.log"), "");  // not even a hint
  } else {
    std::cerr << "desktop-file-validate is not installed: the desktop entry was not validated\n";
  }

  // update-mime-database reads the package file and lists the glob for the new type.
  const fs::path mime = prefix / "share/mime";
  if (HaveTool("update-mime-database")) {
    ASSERT_EQ(Shell("update-mime-database '" + mime.string() + "'", root / "mime.log"), 0) << Slurp(root / "mime.log");
    EXPECT_NE(Slurp(mime / "globs2").find("application/x-korvane-game:*.kvgame"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(mime / "application/x-korvane-game.xml"));
  } else {
    EXPECT_NE(Slurp(mime / "packages/korvane-runner.xml").find("<glob pattern=\"*.kvgame\"/>"), std::string::npos);
  }
}

// The installed programs need nothing from the source or build folders: they pack and play from another folder.
TEST_F(Install, InstalledProgramsPackAndPlayFromAnotherFolder) {
  const fs::path project = root / "project", elsewhere = root / "elsewhere";
  fs::create_directories(project);
  fs::create_directories(elsewhere);
  std::ofstream(project / "game.kvp") << "[script scr_sum]\nfile = sum.kvs\n"
                                         "[object obj_a]\nevent create = create.kvs\nevent draw = draw.kvs\n"
                                         "[room rm]\ninstance obj_a 0 0\n";
  std::ofstream(project / "sum.kvs") << "return argument0 + argument1;\n";
  std::ofstream(project / "create.kvs") << "show_debug_message('sum ' + string(scr_sum(2, 3)));\n";
  // Text is drawn with a run-time font found through fontconfig.
  std::ofstream(project / "draw.kvs") << "draw_text(10, 10, 'installed'); show_debug_message(string_width('ab') > 0);\n";

  const std::string bin = (prefix / "bin").string();
  const std::string env = "cd '" + elsewhere.string() + "' && PATH='" + bin + ":/usr/bin:/bin' XDG_CACHE_HOME='" +
                          (root / "cache").string() + "' ";
  ASSERT_EQ(Shell(env + "kvpack ../project game.kvgame", root / "pack.log"), 0) << Slurp(root / "pack.log");
  ASSERT_EQ(Shell(env + "kvrun game.kvgame --headless --fast --steps 2 2>&1", root / "play.log"), 0)
      << Slurp(root / "play.log");
  EXPECT_EQ(Slurp(root / "play.log").rfind("sum 5\n1\n", 0), 0u) << Slurp(root / "play.log");
  // A project folder plays too (packed into the cache folder).
  ASSERT_EQ(Shell(env + "kvrun ../project --headless --fast --steps 1", root / "folder.log"), 0)
      << Slurp(root / "folder.log");
  EXPECT_EQ(Slurp(root / "folder.log").rfind("sum 5\n1\n", 0), 0u) << Slurp(root / "folder.log");
}

}  // namespace
