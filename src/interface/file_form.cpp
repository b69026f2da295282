#include "interface/file_form.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <tuple>

#include "interface/form_images.h"
#include "interface/message_form.h"
#include "platform/text_codec.h"

namespace kv::ui {

namespace {

constexpr int kWidth = 500, kMargin = 10, kLabelW = 88, kLineH = 21, kRowH = 16, kFilterRows = 3;
constexpr int kListTop = 40, kListH = FileChooserView::kVisibleRows * kRowH + 4;
constexpr int kFaceColour = 0xF0F0F0, kFrameColour = 0x808080, kLitColour = 0x6A240A, kDimLitColour = 0xC8C8C8;
constexpr int kFolderColour = 0x40C8F0;
constexpr int kDoubleClickMillis = 500;
constexpr int kVkTab = 9, kVkPageUp = 33, kVkPageDown = 34, kVkEnd = 35, kVkHome = 36, kVkUp = 38, kVkDown = 40;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool LessNoCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i)
    if (Lower(a[i]) != Lower(b[i])) return Lower(a[i]) < Lower(b[i]);
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;  // the same letters: still a fixed order
}

bool Match(std::string_view name, std::string_view pattern) {
  if (pattern.empty()) return name.empty();
  if (pattern[0] == '*') {
    for (size_t i = 0; i <= name.size(); ++i)
      if (Match(name.substr(i), pattern.substr(1))) return true;
    return false;
  }
  if (name.empty()) return false;
  if (pattern[0] != '?' && Lower(pattern[0]) != Lower(name[0])) return false;
  return Match(name.substr(1), pattern.substr(1));
}

bool Inside(const Rect& r, int x, int y) { return x >= r.x && y >= r.y && x < r.x + r.w && y < r.y + r.h; }

// Names on disk are UTF-8, the forms' fonts CP-1252.
std::string Shown(std::string_view utf8) { return plat::Utf8ToCp1252(utf8); }

// The text cut to `width`: names lose their end ("..."), paths their beginning, so the folder's own name shows.
std::string Fit(const FormFont& font, std::string text, int width, bool keepEnd) {
  if (TextWidth(font, text) <= width) return text;
  while (!text.empty() && TextWidth(font, "..." + text) > width) {
    if (keepEnd) text.erase(0, 1);
    else text.pop_back();
  }
  return keepEnd ? "..." + text : text + "...";
}

std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::directory_iterator it(folder, std::filesystem::directory_options::skip_permission_denied, error);
  if (error) return std::nullopt;
  std::vector<FolderEntry> out;
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) break;
    std::error_code kindError;
    out.push_back({it->path().filename().string(), it->is_directory(kindError)});  // links to folders are folders
  }
  return out;
}

bool MatchesPatterns(std::string_view name, std::string_view patterns) {
  size_t start = 0;
  while (start <= patterns.size()) {
    size_t end = patterns.find(';', start);
    if (end == std::string_view::npos) end = patterns.size();
    std::string_view p = patterns.substr(start, end - start);
    while (!p.empty() && p.front() == ' ') p.remove_prefix(1);
    while (!p.empty() && p.back() == ' ') p.remove_suffix(1);
    if (p == "*.*" || p == "*" || (!p.empty() && Match(name, p))) return true;
    start = end + 1;
  }
  return false;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::filesystem::path p = !name.empty() && name[0] == '/' ? std::filesystem::path(name)
                                                             : std::filesystem::path(folder) / name;
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s.empty() ? std::string("/") : s;
}

FileChooserView::FileChooserView(ChooserMode mode, std::string title, std::string_view filter, std::string start,
                                 std::string fileName, FolderLister lister)
    : mode_(mode), title_(std::move(title)), filters_(plat::ParseFileFilter(filter)), lister_(std::move(lister)) {
  if (mode_ == ChooserMode::Folder) filters_.clear();
  std::error_code error;
  const std::string here = std::filesystem::current_path(error).string();
  folder_ = JoinPath(here.empty() ? std::string("/") : here, start);
  // A proposed name with a folder in it starts there.
  if (const size_t slash = fileName.rfind('/'); slash != std::string::npos) {
    const std::string in = JoinPath(folder_, fileName.substr(0, slash + 1));
    if (lister_(in)) folder_ = in;
    fileName.erase(0, slash + 1);
  }
  if (!lister_(folder_)) folder_ = "/";
  // The proposed name is like one taken from the list: typing replaces it, Enter on a selected folder opens it.
  name_ = mode_ == ChooserMode::Folder ? std::string() : fileName;

  pathRect_ = {kMargin + kLabelW, kMargin, kWidth - 2 * kMargin - kLabelW, kLineH};
  nameRect_ = {kMargin + kLabelW, kListTop + kListH + 8, kWidth - 2 * kMargin - kLabelW, kLineH};
  filterBox_ = {kMargin + kLabelW, nameRect_.y + kLineH + 8, nameRect_.w, kFilterRows * kRowH + 4};
  // The notice line sits above the buttons.
  const int below = mode_ == ChooserMode::Folder ? kListTop + kListH + 8 : filterBox_.y + filterBox_.h + 8;
  const int buttonsTop = below + kRowH + 4;
  ok_ = {kWidth - kMargin - 2 * kButtonWidth - 8, buttonsTop, kButtonWidth, kButtonHeight};
  cancel_ = {kWidth - kMargin - kButtonWidth, buttonsTop, kButtonWidth, kButtonHeight};
  width_ = kWidth;
  height_ = buttonsTop + kButtonHeight + kMargin;
  Refresh();
}

void FileChooserView::Refresh() {
  rows_.clear();
  if (folder_ != "/") rows_.push_back({"..", true});
  std::vector<FolderEntry> folders, files;
  if (auto listed = lister_(folder_)) {
    for (FolderEntry& e : *listed) {
      if (e.name == "." || e.name == "..") continue;
      if (e.folder) folders.push_back(std::move(e));
      else if (mode_ != ChooserMode::Folder &&
               (filters_.empty() || MatchesPatterns(e.name, filters_[static_cast<size_t>(filter_)].patterns)))
        files.push_back(std::move(e));
    }
  }
  const auto byName = [](const FolderEntry& a, const FolderEntry& b) { return LessNoCase(a.name, b.name); };
  std::sort(folders.begin(), folders.end(), byName);
  std::sort(files.begin(), files.end(), byName);
  rows_.insert(rows_.end(), folders.begin(), folders.end());
  rows_.insert(rows_.end(), files.begin(), files.end());
  selected_ = -1;
  top_ = 0;
  lastClickRow_ = -1;
}

bool FileChooserView::OpenFolder(const std::string& name) {
  const std::string target = JoinPath(folder_, name);
  if (!lister_(target)) {
    notice_ = "Cannot open the folder " + target;
    return false;
  }
  const std::string left = folder_;
  folder_ = target;
  notice_.clear();
  replacing_.clear();
  Refresh();
  // Going up selects the folder just left, so Enter goes back into it.
  if (name == "..") {
    const std::string leftName = SplitPath(left).second;
    for (size_t i = 0; i < rows_.size(); ++i)
      if (rows_[i].folder && rows_[i].name == leftName) {
        const bool keepName = typed_;
        const std::string keep = name_;
        Select(static_cast<int>(i));
        if (keepName) name_ = keep, typed_ = true;
      }
  }
  return true;
}

void FileChooserView::SelectFilter(int index) {
  if (filters_.empty()) return;
  const int clamped = std::clamp(index, 0, static_cast<int>(filters_.size()) - 1);
  if (clamped == filter_) return;
  filter_ = clamped;
  Refresh();
}

void FileChooserView::Select(int row) {
  if (rows_.empty()) return;
  selected_ = std::clamp(row, 0, static_cast<int>(rows_.size()) - 1);
  if (selected_ < top_) top_ = selected_;
  if (selected_ >= top_ + kVisibleRows) top_ = selected_ - kVisibleRows + 1;
  const FolderEntry& e = rows_[static_cast<size_t>(selected_)];
  if (!e.folder) name_ = e.name, typed_ = false;
  replacing_.clear();
  notice_.clear();
}

void FileChooserView::GoUp() {
  if (folder_ != "/") OpenFolder("..");
}

bool FileChooserView::Activate(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return true;
  const FolderEntry e = rows_[static_cast<size_t>(row)];
  if (e.folder) {
    const bool keepName = typed_;
    const std::string keep = name_;
    OpenFolder(e.name);
    // A typed name stays while the player looks for its folder.
    if (keepName) name_ = keep, typed_ = true;
    return true;
  }
  Select(row);
  return Accept();
}

std::optional<bool> FileChooserView::Exists(const std::string& path) {
  if (path == "/") return true;
  const auto [parent, leaf] = SplitPath(path);
  const auto listed = lister_(parent);
  if (!listed) return std::nullopt;
  for (const FolderEntry& e : *listed)
    if (e.name == leaf) return e.folder;
  return std::nullopt;
}

bool FileChooserView::Accept() {
  if (mode_ == ChooserMode::Folder) {
    const bool rowChosen = selected_ >= 0 && rows_[static_cast<size_t>(selected_)].name != "..";
    return Choose(rowChosen ? JoinPath(folder_, rows_[static_cast<size_t>(selected_)].name) : folder_);
  }
  if (name_.empty()) return selected_ >= 0 ? Activate(selected_) : true;
  const std::string path = JoinPath(folder_, name_);
  const std::optional<bool> found = Exists(path);
  if (found && *found) {  // a folder's name opens it
    OpenFolder(path);
    name_.clear();
    typed_ = false;
    return true;
  }
  if (mode_ == ChooserMode::Open) {
    if (!found) {
      notice_ = "File not found: " + name_;
      return true;
    }
    return Choose(path);
  }
  if (found) {
    if (replacing_ != path) {
      replacing_ = path;
      notice_ = SplitPath(path).second + " already exists. Choose OK again to replace it.";
      return true;
    }
    return Choose(path);
  }
  if (!Exists(SplitPath(path).first).value_or(false)) {
    notice_ = "No such folder: " + SplitPath(path).first;
    return true;
  }
  return Choose(path);
}

bool FileChooserView::Choose(std::string path) {
  result_.status = plat::FileDialogResult::Status::Chosen;
  result_.path = std::move(path);
  return false;
}

bool FileChooserView::Cancel() {
  result_.status = plat::FileDialogResult::Status::Cancelled;
  result_.path.clear();
  return false;
}

Rect FileChooserView::ListRect() const { return {kMargin, kListTop, kWidth - 2 * kMargin, kListH}; }

Rect FileChooserView::RowRect(int row) const {
  return {kMargin + 2, kListTop + 2 + (row - top_) * kRowH, kWidth - 2 * kMargin - 4, kRowH};
}

Rect FileChooserView::FilterRowRect(int index) const {
  const int first = std::clamp(filter_ - 1, 0, std::max(0, static_cast<int>(filters_.size()) - kFilterRows));
  return {filterBox_.x + 2, filterBox_.y + 2 + (index - first) * kRowH, filterBox_.w - 4, kRowH};
}

plat::FormWindowLook FileChooserView::WindowLook() const {
  plat::FormWindowLook look;
  look.caption = !title_.empty()                 ? title_
                 : mode_ == ChooserMode::Open    ? "Open"
                 : mode_ == ChooserMode::Save    ? "Save As"
                                                 : "Choose a Folder";
  look.width = width_;
  look.height = height_;
  return look;
}

const CBitmap32& FileChooserView::Render() {
  if (image_.width != width_ || image_.height != height_) image_ = CBitmap32::Make(width_, height_, 0xFF000000);
  Canvas c(image_);
  c.Fill(kFaceColour);
  const FormFont& font = GetFormFont({"MS Sans Serif", 8, false, false});
  const FormFont& bold = GetFormFont({"MS Sans Serif", 8, true, false});
  auto box = [&](const Rect& r) {
    c.FillRect(r.x - 1, r.y - 1, r.w + 2, r.h + 2, kFrameColour);
    c.FillRect(r.x, r.y, r.w, r.h, 0xFFFFFF);
  };
  auto label = [&](const char* text, const Rect& r) {
    c.DrawText(font, text, kMargin, r.y + (r.h - font.height) / 2, 0);
  };
  label("Folder:", pathRect_);
  box(pathRect_);
  c.DrawText(font, Fit(font, Shown(folder_), pathRect_.w - 8, true), pathRect_.x + 4,
             pathRect_.y + (kLineH - font.height) / 2, 0);

  const Rect list = ListRect();
  box(list);
  for (int row = top_; row < std::min<int>(static_cast<int>(rows_.size()), top_ + kVisibleRows); ++row) {
    const Rect r = RowRect(row);
    const bool lit = row == selected_;
    if (lit) c.FillRect(r.x, r.y, r.w, r.h, filterFocus_ ? kDimLitColour : kLitColour);
    const FolderEntry& e = rows_[static_cast<size_t>(row)];
    if (e.folder) {
      c.FillRect(r.x + 3, r.y + 4, 12, 9, kFolderColour);
      c.FillRect(r.x + 3, r.y + 3, 5, 1, kFolderColour);
    }
    c.DrawText(font, Fit(font, Shown(e.name), r.w - 24, false), r.x + 20, r.y + (kRowH - font.height) / 2,
               lit && !filterFocus_ ? 0xFFFFFF : 0);
  }
  if (static_cast<int>(rows_.size()) > kVisibleRows) {  // where the shown rows are in the whole list
    const int barH = std::max(8, kListH * kVisibleRows / static_cast<int>(rows_.size()));
    const int barY = list.y + (kListH - barH) * top_ / std::max(1, static_cast<int>(rows_.size()) - kVisibleRows);
    c.FillRect(list.x + list.w - 6, barY, 5, barH, kFrameColour);
  }

  if (mode_ != ChooserMode::Folder) {
    label("File name:", nameRect_);
    box(nameRect_);
    const int ty = nameRect_.y + (kLineH - font.height) / 2;
    const std::string shown = Fit(font, Shown(name_), nameRect_.w - 12, true);
    c.DrawText(font, shown, nameRect_.x + 4, ty, 0);
    c.FillRect(nameRect_.x + 5 + TextWidth(font, shown), ty, 1, font.height, 0);  // typing goes here
    c.DrawText(font, "Files of type:", kMargin, filterBox_.y + 2, 0);
    box(filterBox_);
    for (int i = 0; i < static_cast<int>(filters_.size()); ++i) {
      const Rect r = FilterRowRect(i);
      if (r.y < filterBox_.y || r.y + r.h > filterBox_.y + filterBox_.h) continue;
      const bool lit = i == filter_;
      if (lit) c.FillRect(r.x, r.y, r.w, r.h, filterFocus_ ? kLitColour : kDimLitColour);
      const plat::FileFilter& f = filters_[static_cast<size_t>(i)];
      c.DrawText(font, Fit(font, f.name + " (" + f.patterns + ")", r.w - 8, false), r.x + 4,
                 r.y + (kRowH - font.height) / 2, lit && filterFocus_ ? 0xFFFFFF : 0);
    }
  }
  if (!notice_.empty())
    c.DrawText(font, Fit(font, Shown(notice_), kWidth - 2 * kMargin, false), kMargin, ok_.y - kRowH - 2, 0x0000C0);
  for (const auto& [rect, caption, id] : {std::tuple{ok_, "OK", 1}, std::tuple{cancel_, "Cancel", 2}}) {
    const int state = pressed_ == id ? 2 : 0;
    c.DrawImage(DefaultButtonImage(state), rect.x, rect.y, rect.w, rect.h);
    c.DrawText(bold, caption, rect.x + (rect.w - TextWidth(bold, caption)) / 2,
               rect.y + (rect.h - bold.height) / 2, 0xFFFFFF);
  }
  return image_;
}

plat::FormPixels FileChooserView::Paint() {
  const CBitmap32& b = Render();
  return {b.width, b.height, b.pixels.data()};
}

bool FileChooserView::Handle(const plat::FormEvent& e) {
  using Kind = plat::FormEvent::Kind;
  const int count = static_cast<int>(rows_.size());
  switch (e.kind) {
    case Kind::Close:
      return Cancel();
    case Kind::KeyDown:
      switch (e.key) {
        case kVkEscape:
          return Cancel();
        case kVkReturn:
          if (selected_ >= 0 && rows_[static_cast<size_t>(selected_)].folder &&
              (mode_ == ChooserMode::Folder ? rows_[static_cast<size_t>(selected_)].name == ".." : !typed_))
            return Activate(selected_);
          return Accept();
        case kVkUp:
        case kVkDown: {
          const int step = e.key == kVkUp ? -1 : 1;
          if (filterFocus_) SelectFilter(filter_ + step);
          else Select(selected_ < 0 ? 0 : selected_ + step);
          return true;
        }
        case kVkPageUp:
        case kVkPageDown:
          Select(std::max(0, selected_) + (e.key == kVkPageUp ? -kVisibleRows : kVisibleRows));
          return true;
        case kVkHome:
          Select(0);
          return true;
        case kVkEnd:
          Select(count - 1);
          return true;
        case kVkTab:
          filterFocus_ = !filterFocus_ && !filters_.empty();
          return true;
        case kVkBack:
          if (mode_ != ChooserMode::Folder && typed_ && !name_.empty()) {
            while (name_.size() > 1 && (static_cast<unsigned char>(name_.back()) & 0xC0) == 0x80) name_.pop_back();
            name_.pop_back();  // the whole character
            replacing_.clear();
          } else {
            GoUp();
          }
          return true;
        default:
          return true;
      }
    case Kind::Char:
      if (e.ch < 32 || e.ch == 127 || e.alt) return true;
      if (mode_ == ChooserMode::Folder) {  // a letter goes to the next folder starting with it
        for (int i = 1; i <= count; ++i) {
          const int row = (std::max(0, selected_) + i) % count;
          const std::string& name = rows_[static_cast<size_t>(row)].name;
          if (name != ".." && !name.empty() && Lower(name[0]) == Lower(static_cast<char>(e.ch))) {
            Select(row);
            break;
          }
        }
        return true;
      }
      if (!typed_) name_.clear();  // a name taken from the list is replaced by typing, as a selected text is
      typed_ = true;
      if (name_.size() < 1024) name_ += plat::Cp1252ToUtf8(std::string(1, static_cast<char>(e.ch)));
      replacing_.clear();
      notice_.clear();
      return true;
    case Kind::MouseDown: {
      if (e.button != 1) return true;
      pressed_ = Inside(ok_, e.x, e.y) ? 1 : Inside(cancel_, e.x, e.y) ? 2 : 0;
      const Rect list = ListRect();
      if (Inside(list, e.x, e.y)) {
        filterFocus_ = false;
        const int row = top_ + (e.y - list.y - 2) / kRowH;
        if (e.y < list.y + 2 || row >= count || row >= top_ + kVisibleRows) return true;
        if (row == lastClickRow_ && now_ - lastClickAt_ <= kDoubleClickMillis) {
          lastClickRow_ = -1;
          return Activate(row);
        }
        Select(row);
        lastClickRow_ = row;
        lastClickAt_ = now_;
        return true;
      }
      if (mode_ != ChooserMode::Folder && Inside(filterBox_, e.x, e.y)) {
        filterFocus_ = true;
        for (int i = 0; i < static_cast<int>(filters_.size()); ++i) {
          const Rect r = FilterRowRect(i);
          if (Inside(r, e.x, e.y) && Inside(filterBox_, e.x, e.y)) {
            SelectFilter(i);
            break;
          }
        }
      }
      if (Inside(nameRect_, e.x, e.y)) filterFocus_ = false;
      return true;
    }
    case Kind::MouseUp: {
      if (e.button != 1) return true;
      const int was = pressed_;
      pressed_ = 0;
      if (was == 1 && Inside(ok_, e.x, e.y)) return Accept();
      if (was == 2 && Inside(cancel_, e.x, e.y)) return Cancel();
      return true;
    }
    case Kind::Wheel:
      top_ = std::clamp(top_ - 3 * e.button, 0, std::max(0, count - kVisibleRows));
      return true;
    default:
      return true;
  }
}

}  // namespace kv::ui
