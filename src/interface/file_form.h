#pragma once
// The file and folder chooser of the runner's own forms, for desktops without a chooser of their own: the folder's
// path, a list of its folders and files (folders first, ".." to go up), the request's filters, a file name line,
// OK and Cancel. Open requires an existing file, save accepts a new name (and asks once before replacing a file),
// the folder mode chooses a folder. The folder listing is passed in, so the whole form runs without a window.
// Paths and names are kept as the file system has them (UTF-8), so a chosen path opens what was listed; they are
// shown in the forms' CP-1252 and typed characters are stored as UTF-8.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/bitmap32.h"
#include "interface/form_canvas.h"
#include "interface/message_box.h"
#include "platform/dialogs.h"

namespace kv::ui {

enum class ChooserMode { Open, Save, Folder };

struct FolderEntry {
  std::string name;
  bool folder = false;
};
// The entries of a folder (without "." and ".."), nullopt when it cannot be read.
using FolderLister = std::function<std::optional<std::vector<FolderEntry>>(const std::string& folder)>;
// The file system's listing.
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder);

// Whether a file name matches one of the ';'-separated patterns ('*' and '?', letters in any case). "*.*" and "*"
// match every name, with or without a dot.
bool MatchesPatterns(std::string_view name, std::string_view patterns);

// "/a/b" + "c" → "/a/b/c"; an absolute name stays as it is; ".." goes up; the result is without a trailing '/'
// (except the root).
std::string JoinPath(const std::string& folder, const std::string& name);

class FileChooserView final : public plat::IFormController {
 public:
  // `start`: the folder shown first; `fileName` the proposed name (a path in it selects its folder).
  FileChooserView(ChooserMode mode, std::string title, std::string_view filter, std::string start,
                  std::string fileName = {}, FolderLister lister = ListFolder);

  // What the list shows: ".." first (not at the root), then folders, then the files the filter lets through.
  const std::vector<FolderEntry>& Rows() const { return rows_; }
  const std::string& Folder() const { return folder_; }
  const std::string& Name() const { return name_; }
  int Selected() const { return selected_; }
  int FirstVisibleRow() const { return top_; }
  int FilterIndex() const { return filter_; }
  const std::vector<plat::FileFilter>& Filters() const { return filters_; }
  const std::string& Notice() const { return notice_; }  // why the last OK did not close, "" for none
  plat::FileDialogResult Result() const { return result_; }

  static constexpr int kVisibleRows = 14;
  Rect ListRect() const;
  Rect RowRect(int row) const;  // on the screen: row − FirstVisibleRow()
  Rect FilterRowRect(int index) const;
  Rect NameRect() const { return nameRect_; }
  Rect OkRect() const { return ok_; }
  Rect CancelRect() const { return cancel_; }
  plat::FormWindowLook WindowLook() const;
  const CBitmap32& Render();

  plat::FormPixels Paint() override;
  bool Handle(const plat::FormEvent& event) override;
  bool Tick(int64_t elapsedMillis) override {
    now_ = elapsedMillis;
    return true;
  }

  // Opens a folder (a name in the current folder, "..", or an absolute path); false when it cannot be read.
  bool OpenFolder(const std::string& name);
  void SelectFilter(int index);

 private:
  void Refresh();
  void Select(int row);
  bool Activate(int row);  // Enter or double click on a row; false closes the form
  bool Accept();           // OK: false closes the form
  bool Choose(std::string path);
  bool Cancel();
  void GoUp();
  bool IsFolder(const std::string& path);
  std::optional<bool> Exists(const std::string& path);  // nullopt: no such entry; else whether it is a folder

  ChooserMode mode_;
  std::string title_;
  std::vector<plat::FileFilter> filters_;
  int filter_ = 0;
  FolderLister lister_;
  std::string folder_;
  std::vector<FolderEntry> rows_;
  int selected_ = -1, top_ = 0;
  std::string name_;
  bool typed_ = false;         // the name line was typed into since a row was chosen
  bool filterFocus_ = false;   // Tab moves the arrows between the list and the filters
  std::string notice_;
  std::string replacing_;      // save: the existing file the next OK replaces
  int64_t now_ = 0, lastClickAt_ = -1000;
  int lastClickRow_ = -1;
  int pressed_ = 0;            // 1 OK, 2 Cancel under a held mouse button
  Rect pathRect_, nameRect_, filterBox_, ok_, cancel_;
  int width_ = 0, height_ = 0;
  plat::FileDialogResult result_;
  CBitmap32 image_;
};

}  // namespace kv::ui
