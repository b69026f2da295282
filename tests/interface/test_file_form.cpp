// The runner's own file and folder chooser without a window: what the list shows, the filters, moving between
// folders, keys, the mouse and the path it answers.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "interface/file_form.h"
#include "interface/message_form.h"

#include "../world/test_run_fixture.h"

namespace {

using kv::plat::FileDialogResult;
using kv::plat::FormEvent;
using kv::ui::ChooserMode;
using kv::ui::FileChooserView;
using kv::ui::FolderEntry;

// A small file tree: "name/" is a folder.
struct FakeTree {
  std::map<std::string, std::vector<std::string>> folders = {
      {"/", {"home/"}},
      {"/home", {"me/"}},
      {"/home/me", {"b.txt", "Zeta/", "a.TXT", "C.txt", "notes.md", "alpha/", "Beta/", "save.dat"}},
      {"/home/me/alpha", {"inner.txt"}},
      {"/home/me/Beta", {}},
      {"/home/me/Zeta", {}},
  };
  kv::ui::FolderLister Lister() {
    return [this](const std::string& folder) -> std::optional<std::vector<FolderEntry>> {
      const auto it = folders.find(folder);
      if (it == folders.end()) return std::nullopt;
      std::vector<FolderEntry> out;
      for (const std::string& n : it->second)
        out.push_back(n.back() == '/' ? FolderEntry{n.substr(0, n.size() - 1), true} : FolderEntry{n, false});
      return out;
    };
  }
};

std::vector<std::string> Names(const FileChooserView& v) {
  std::vector<std::string> out;
  for (const FolderEntry& e : v.Rows()) out.push_back(e.folder ? e.name + "/" : e.name);
  return out;
}

FormEvent Key(int key) { return {FormEvent::Kind::KeyDown, key}; }
FormEvent Char(char c) {
  FormEvent e{FormEvent::Kind::Char};
  e.ch = static_cast<uint8_t>(c);
  return e;
}
FormEvent Mouse(FormEvent::Kind kind, const kv::ui::Rect& r) {
  FormEvent e{kind};
  e.x = r.x + r.w / 2, e.y = r.y + r.h / 2, e.button = 1;
  return e;
}
// Types a text; true while the form stays open.
bool Type(FileChooserView& v, const std::string& text) {
  for (char c : text)
    if (!v.Handle(Char(c))) return false;
  return true;
}

constexpr int kDown = 40, kUp = 38, kTab = 9, kEnd = 35;

TEST(FileChooser, PatternsMatchInAnyCaseAndAllFilesNeedNoDot) {
  EXPECT_TRUE(kv::ui::MatchesPatterns("Notes.TXT", "*.txt"));
  EXPECT_TRUE(kv::ui::MatchesPatterns("level1.lvl", "*.dat; level?.lvl"));
  EXPECT_FALSE(kv::ui::MatchesPatterns("level10.lvl", "*.dat;level?.lvl"));
  EXPECT_TRUE(kv::ui::MatchesPatterns("README", "*.*"));
  EXPECT_FALSE(kv::ui::MatchesPatterns("README", "*.txt"));
  EXPECT_FALSE(kv::ui::MatchesPatterns("a.txt", ""));
  EXPECT_EQ(kv::ui::JoinPath("/home/me", ".."), "/home");
  EXPECT_EQ(kv::ui::JoinPath("/home", ".."), "/");
  EXPECT_EQ(kv::ui::JoinPath("/", ".."), "/");
  EXPECT_EQ(kv::ui::JoinPath("/home/me", "alpha/"), "/home/me/alpha");
  EXPECT_EQ(kv::ui::JoinPath("/home/me", "/tmp/x.txt"), "/tmp/x.txt");
}

// The file system's listing: files, folders and links to folders (which count as folders); none for a folder that
// cannot be read.
TEST(FileChooser, ListsTheFileSystem) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("kv_chooser_" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "sub");
  std::ofstream(root / "file.txt") << "x";
  fs::create_directory_symlink(root / "sub", root / "link");
  auto listed = kv::ui::ListFolder(root.string());
  ASSERT_TRUE(listed.has_value());
  std::map<std::string, bool> byName;
  for (const FolderEntry& e : *listed) byName[e.name] = e.folder;
  EXPECT_EQ(byName, (std::map<std::string, bool>{{"file.txt", false}, {"link", true}, {"sub", true}}));
  EXPECT_FALSE(kv::ui::ListFolder((root / "missing").string()).has_value());
  EXPECT_FALSE(kv::ui::ListFolder((root / "file.txt").string()).has_value());
  FileChooserView v(ChooserMode::Open, "", "", root.string(), "");
  EXPECT_EQ(Names(v), (std::vector<std::string>{"../", "link/", "sub/", "file.txt"}));
  fs::remove_all(root);
}

// Folders first, then the files the chosen filter lets through, each sorted without regard to case; ".." except at
// the root; another filter lists again.
TEST(FileChooser, ListsFoldersFirstSortedAndFiltered) {
  FakeTree tree;
  FileChooserView v(ChooserMode::Open, "", "Text files|*.txt|Everything|*.*", "/home/me", "", tree.Lister());
  EXPECT_EQ(v.WindowLook().caption, "Open");
  ASSERT_EQ(v.Filters().size(), 2u);
  EXPECT_EQ(Names(v), (std::vector<std::string>{"../", "alpha/", "Beta/", "Zeta/", "a.TXT", "b.txt", "C.txt"}));
  v.SelectFilter(1);
  EXPECT_EQ(Names(v), (std::vector<std::string>{"../", "alpha/", "Beta/", "Zeta/", "a.TXT", "b.txt", "C.txt",
                                                "notes.md", "save.dat"}));
  // Tab gives the arrows to the filter list.
  EXPECT_TRUE(v.Handle(Key(kTab)));
  EXPECT_TRUE(v.Handle(Key(kUp)));
  EXPECT_EQ(v.FilterIndex(), 0);
  EXPECT_EQ(Names(v).size(), 7u);

  // Without a filter every file shows; the root has no "..".
  FileChooserView root(ChooserMode::Open, "", "", "/", "", tree.Lister());
  EXPECT_EQ(Names(root), (std::vector<std::string>{"home/"}));
  FileChooserView all(ChooserMode::Save, "Keep", "", "/home/me", "", tree.Lister());
  EXPECT_EQ(all.WindowLook().caption, "Keep");
  EXPECT_EQ(Names(all).size(), 9u);

  // The folder mode lists folders only.
  FileChooserView folders(ChooserMode::Folder, "", "Text|*.txt", "/home/me", "", tree.Lister());
  EXPECT_EQ(Names(folders), (std::vector<std::string>{"../", "alpha/", "Beta/", "Zeta/"}));
  EXPECT_TRUE(folders.Filters().empty());

  // A start folder that cannot be read falls back to the root; a proposed name with a folder starts there.
  FileChooserView missing(ChooserMode::Open, "", "", "/nowhere", "", tree.Lister());
  EXPECT_EQ(missing.Folder(), "/");
  FileChooserView proposed(ChooserMode::Save, "", "", "/", "/home/me/alpha/new.txt", tree.Lister());
  EXPECT_EQ(proposed.Folder(), "/home/me/alpha");
  EXPECT_EQ(proposed.Name(), "new.txt");
}

// Arrows select (a file's name goes into the name line), Enter opens a folder, Backspace goes up and selects the
// folder left, Enter on a file chooses it.
TEST(FileChooser, KeysMoveBetweenFoldersAndChooseAFile) {
  FakeTree tree;
  FileChooserView v(ChooserMode::Open, "", "Text|*.txt", "/home/me", "", tree.Lister());
  EXPECT_TRUE(v.Handle(Key(kDown)));  // ".."
  EXPECT_EQ(v.Selected(), 0);
  EXPECT_TRUE(v.Handle(Key(kDown)));  // alpha
  EXPECT_TRUE(v.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_EQ(v.Folder(), "/home/me/alpha");
  EXPECT_EQ(Names(v), (std::vector<std::string>{"../", "inner.txt"}));
  EXPECT_TRUE(v.Handle(Key(kv::ui::kVkBack)));
  EXPECT_EQ(v.Folder(), "/home/me");
  ASSERT_GE(v.Selected(), 0);
  EXPECT_EQ(v.Rows()[static_cast<size_t>(v.Selected())].name, "alpha");
  EXPECT_TRUE(v.Handle(Key(kEnd)));
  EXPECT_EQ(v.Name(), "C.txt");
  EXPECT_TRUE(v.Handle(Key(kUp)));
  EXPECT_EQ(v.Name(), "b.txt");
  EXPECT_FALSE(v.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_EQ(v.Result().status, FileDialogResult::Status::Chosen);
  EXPECT_EQ(v.Result().path, "/home/me/b.txt");

  // Escape and the close button cancel with no path.
  FileChooserView esc(ChooserMode::Open, "", "", "/home/me", "", tree.Lister());
  EXPECT_FALSE(esc.Handle(Key(kv::ui::kVkEscape)));
  EXPECT_EQ(esc.Result().status, FileDialogResult::Status::Cancelled);
  EXPECT_EQ(esc.Result().path, "");
  FileChooserView closed(ChooserMode::Save, "", "", "/home/me", "", tree.Lister());
  EXPECT_FALSE(closed.Handle({FormEvent::Kind::Close}));
  EXPECT_EQ(closed.Result().status, FileDialogResult::Status::Cancelled);
}

// Typing replaces a name taken from the list; Backspace erases typed letters and goes up only when none are left.
// Open wants an existing file; a typed folder name (or path) opens that folder.
TEST(FileChooser, OpenWantsAnExistingFileAndTypedFoldersOpen) {
  FakeTree tree;
  FileChooserView v(ChooserMode::Open, "", "All|*.*", "/home/me", "", tree.Lister());
  v.Handle(Key(kEnd));
  EXPECT_EQ(v.Name(), "save.dat");
  ASSERT_TRUE(Type(v, "nope.txt"));
  EXPECT_EQ(v.Name(), "nope.txt");
  EXPECT_TRUE(v.Handle(Key(kv::ui::kVkReturn))) << "no such file: stays open";
  EXPECT_NE(v.Notice().find("not found"), std::string::npos);
  for (int i = 0; i < 8; ++i) v.Handle(Key(kv::ui::kVkBack));
  EXPECT_EQ(v.Name(), "");
  EXPECT_EQ(v.Folder(), "/home/me") << "Backspace erased typed letters only";
  ASSERT_TRUE(Type(v, "alpha"));
  EXPECT_TRUE(v.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_EQ(v.Folder(), "/home/me/alpha");
  EXPECT_EQ(v.Name(), "");
  ASSERT_TRUE(Type(v, "/home/me/notes.md"));
  EXPECT_FALSE(v.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_EQ(v.Result().path, "/home/me/notes.md");

  // With a folder selected, a typed name is what Enter accepts.
  FileChooserView t(ChooserMode::Open, "", "", "/home/me", "", tree.Lister());
  t.Handle(Key(kDown));
  t.Handle(Key(kDown));  // alpha selected
  ASSERT_TRUE(Type(t, "a.TXT"));
  EXPECT_FALSE(t.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_EQ(t.Result().path, "/home/me/a.TXT");
}

// Save takes a new name, asks once before replacing an existing file, and refuses a folder that does not exist.
TEST(FileChooser, SaveTakesNewNamesAndConfirmsReplacing) {
  FakeTree tree;
  FileChooserView v(ChooserMode::Save, "", "Data|*.dat", "/home/me", "new.dat", tree.Lister());
  EXPECT_FALSE(v.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_EQ(v.Result().status, FileDialogResult::Status::Chosen);
  EXPECT_EQ(v.Result().path, "/home/me/new.dat");

  FileChooserView replace(ChooserMode::Save, "", "Data|*.dat", "/home/me", "", tree.Lister());
  replace.Handle(Key(kEnd));
  EXPECT_EQ(replace.Name(), "save.dat");
  EXPECT_TRUE(replace.Handle(Key(kv::ui::kVkReturn))) << "the first OK asks";
  EXPECT_NE(replace.Notice().find("already exists"), std::string::npos);
  EXPECT_TRUE(replace.Handle(Mouse(FormEvent::Kind::MouseDown, replace.OkRect())));
  EXPECT_FALSE(replace.Handle(Mouse(FormEvent::Kind::MouseUp, replace.OkRect())));
  EXPECT_EQ(replace.Result().path, "/home/me/save.dat");

  FileChooserView nowhere(ChooserMode::Save, "", "", "/home/me", "", tree.Lister());
  ASSERT_TRUE(Type(nowhere, "missing/x.dat"));
  EXPECT_TRUE(nowhere.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_NE(nowhere.Notice().find("No such folder"), std::string::npos);

  // A proposed name is replaced by typing, and Enter on a selected folder still opens that folder.
  FileChooserView proposed(ChooserMode::Save, "", "", "/home/me", "game.sav", tree.Lister());
  proposed.Handle(Key(kDown));
  proposed.Handle(Key(kDown));
  EXPECT_TRUE(proposed.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_EQ(proposed.Folder(), "/home/me/alpha");
  EXPECT_EQ(proposed.Name(), "game.sav");
  ASSERT_TRUE(Type(proposed, "x.sav"));
  EXPECT_FALSE(proposed.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_EQ(proposed.Result().path, "/home/me/alpha/x.sav");

  // Typed letters beyond ASCII name the file in UTF-8, as names on disk are; Backspace erases a whole letter.
  FileChooserView accented(ChooserMode::Save, "", "", "/home/me", "", tree.Lister());
  ASSERT_TRUE(Type(accented, "caf\xE9\xE9"));
  accented.Handle(Key(kv::ui::kVkBack));
  EXPECT_EQ(accented.Name(), "caf\xC3\xA9");
  EXPECT_FALSE(accented.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_EQ(accented.Result().path, "/home/me/caf\xC3\xA9");
}

// The folder mode: Enter chooses the selected folder (or the one shown when none is), ".." and double clicks go
// between folders, a letter jumps to a folder.
TEST(FileChooser, FolderModeChoosesFolders) {
  FakeTree tree;
  FileChooserView v(ChooserMode::Folder, "Pick", "", "/home/me", "", tree.Lister());
  EXPECT_TRUE(v.Handle(Char('z')));
  EXPECT_EQ(v.Rows()[static_cast<size_t>(v.Selected())].name, "Zeta");
  EXPECT_TRUE(v.Handle(Char('B')));
  EXPECT_EQ(v.Rows()[static_cast<size_t>(v.Selected())].name, "Beta");
  EXPECT_FALSE(v.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_EQ(v.Result().path, "/home/me/Beta");

  FileChooserView up(ChooserMode::Folder, "", "", "/home/me", "", tree.Lister());
  up.Handle(Key(kDown));  // ".."
  EXPECT_TRUE(up.Handle(Key(kv::ui::kVkReturn)));
  EXPECT_EQ(up.Folder(), "/home");
  // Going up selected "me"; a double click on it opens it.
  const int me = 1;
  up.Tick(1000);
  up.Handle(Mouse(FormEvent::Kind::MouseDown, up.RowRect(me)));
  up.Tick(1200);
  EXPECT_TRUE(up.Handle(Mouse(FormEvent::Kind::MouseDown, up.RowRect(me))));
  EXPECT_EQ(up.Folder(), "/home/me");
  EXPECT_EQ(up.Selected(), -1);
  EXPECT_TRUE(up.Handle(Mouse(FormEvent::Kind::MouseDown, up.OkRect())));
  EXPECT_FALSE(up.Handle(Mouse(FormEvent::Kind::MouseUp, up.OkRect())));
  EXPECT_EQ(up.Result().path, "/home/me") << "nothing selected: the folder shown";
}

// Clicks select, two clicks far apart in time do not open, a double click on a file chooses it; the wheel scrolls
// a long list and the selection keeps itself in view; Cancel answers nothing.
TEST(FileChooser, MouseSelectsOpensAndScrolls) {
  FakeTree tree;
  for (int i = 0; i < 40; ++i) tree.folders["/home/me"].push_back("f" + std::to_string(100 + i) + ".txt");
  FileChooserView v(ChooserMode::Open, "", "Text|*.txt", "/home/me", "", tree.Lister());
  const int rows = static_cast<int>(v.Rows().size());
  ASSERT_GT(rows, FileChooserView::kVisibleRows);
  EXPECT_TRUE(v.Handle({FormEvent::Kind::Wheel, 0, 0, false, 0, 0, -1}));
  EXPECT_EQ(v.FirstVisibleRow(), 3);
  for (int i = 0; i < 30; ++i) v.Handle({FormEvent::Kind::Wheel, 0, 0, false, 0, 0, -1});
  EXPECT_EQ(v.FirstVisibleRow(), rows - FileChooserView::kVisibleRows);
  v.Handle({FormEvent::Kind::Wheel, 0, 0, false, 0, 0, 1});
  EXPECT_EQ(v.FirstVisibleRow(), rows - FileChooserView::kVisibleRows - 3);
  v.Handle(Key(kEnd));
  EXPECT_EQ(v.FirstVisibleRow(), rows - FileChooserView::kVisibleRows) << "the selection scrolled into view";

  const int row = v.FirstVisibleRow() + 2;
  v.Tick(0);
  EXPECT_TRUE(v.Handle(Mouse(FormEvent::Kind::MouseDown, v.RowRect(row))));
  EXPECT_EQ(v.Selected(), row);
  v.Tick(2000);
  EXPECT_TRUE(v.Handle(Mouse(FormEvent::Kind::MouseDown, v.RowRect(row)))) << "too slow for a double click";
  v.Tick(2100);
  EXPECT_FALSE(v.Handle(Mouse(FormEvent::Kind::MouseDown, v.RowRect(row))));
  EXPECT_EQ(v.Result().path, "/home/me/" + v.Rows()[static_cast<size_t>(row)].name);

  FileChooserView c(ChooserMode::Open, "", "", "/home/me", "", tree.Lister());
  EXPECT_TRUE(c.Handle(Mouse(FormEvent::Kind::MouseDown, c.CancelRect())));
  EXPECT_FALSE(c.Handle(Mouse(FormEvent::Kind::MouseUp, c.CancelRect())));
  EXPECT_EQ(c.Result().status, FileDialogResult::Status::Cancelled);

  // A click on a filter row chooses that filter.
  FileChooserView f(ChooserMode::Open, "", "Text|*.txt|Data|*.dat", "/home/me", "", tree.Lister());
  f.Handle(Mouse(FormEvent::Kind::MouseDown, f.FilterRowRect(1)));
  EXPECT_EQ(f.FilterIndex(), 1);
  EXPECT_EQ(Names(f).back(), "save.dat");

  // The form draws at its window's size.
  const kv::plat::FormPixels p = f.Paint();
  EXPECT_EQ(p.width, f.WindowLook().width);
  EXPECT_EQ(p.height, f.WindowLook().height);
}

// On a real (virtual X) screen without zenity (KV_NO_ZENITY=1 hides it where it is installed), the game's open,
// save and folder requests show the runner's own chooser, and keys choose: End and Up select a file, typing names
// a new one, Enter with nothing selected takes the folder shown. kvrun started without a game asks for it there.
// Five forms in a row, and kvrun still ends normally (a form that had just closed once made an X error end it).
class FileChooserWindow : public kvtest::RunGameTest {};
namespace fs = std::filesystem;

TEST_F(FileChooserWindow, KeysChooseInTheRunnersOwnChooser) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run or xdotool is not installed";
  for (const char* name : {"apple.txt", "banana.txt", "cherry.md"}) std::ofstream(dir / name) << "x";
  const std::string folder = (dir / "project").string();
  Write("game.kvp", "[object obj]\nevent create = create.kvs\n[room rm]\ninstance obj 0 0\n");
  Write("create.kvs", "show_debug_message('open ' + get_open_filename('Text files|*.txt|All|*.*', ''));"
                      "show_debug_message('save ' + get_save_filename('Saves|*.sav', ''));"
                      "show_debug_message('folder ' + get_directory('" + folder + "'));"
                      "show_debug_message('cancel [' + get_open_filename('', '') + ']'); game_end();");
  const std::string game = Pack();
  auto keysFor = [](const std::string& caption, const std::string& keys) {
    // The keys go to the window with the focus: give it to the chooser (no window manager does).
    return "w=$(timeout 30 xdotool search --sync --name \"^" + caption + "$\" | head -1); sleep 0.5; " +
           "timeout 5 xdotool windowfocus --sync $w; " + keys + "; ";
  };
  const kvtest::Result r = kvtest::RunCommand(
      "cd " + dir.string() + " && xvfb-run -a -n " + std::to_string(100 + getpid() % 5000) +
      " -s '-screen 0 1024x768x24' sh -c 'env -u SDL_VIDEODRIVER KV_NO_ZENITY=1 " + KV_BIN_DIR + "/kvrun" +
      " & pid=$!; " + keysFor("Open game", "xdotool type " + fs::path(game).filename().string() + "; xdotool key Return") +
      keysFor("Open", "xdotool key End Up Return") +
      keysFor("Save As", "xdotool type fresh.sav; xdotool key Return") +
      keysFor("Choose a Folder", "xdotool key Return") + keysFor("Open", "xdotool key Escape") +
      "for i in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done; kill $pid 2>/dev/null; "
      "wait $pid; echo rc $?'");
  EXPECT_EQ(r.out, "open " + (dir / "apple.txt").string() + "\nsave " + (dir / "fresh.sav").string() +
                       "\nfolder " + folder + "\ncancel []\nrc 0\n");
}

}  // namespace
