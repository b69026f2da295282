#include "platform/path_resolver.h"

#include <strings.h>

#include <cstdlib>
#include <filesystem>

#include "platform/text_codec.h"

namespace kv::plat {
namespace {

PathConfig& Config() {
  static PathConfig config = [] {
    PathConfig c;
    if (const char* root = std::getenv("KV_DRIVE_ROOT")) c.driveRoot = root;
    while (c.driveRoot.size() > 1 && c.driveRoot.back() == '/') c.driveRoot.pop_back();
    return c;
  }();
  return config;
}

// CP-1252 letter case: A-Z, the accented capitals 0xC0-0xDE (but not the multiplication sign) and the four
// capitals among 0x80-0x9F.
unsigned char FoldByte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
  }
}

// Host names (UTF-8) compared the way the game's file system compares names: without regard to letter case.
bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (strcasecmp(a.c_str(), b.c_str()) == 0) return true;
  const std::string x = Utf8ToCp1252(a, '\0'), y = Utf8ToCp1252(b, '\0');
  if (x.size() != y.size() || x.find('\0') != std::string::npos || y.find('\0') != std::string::npos) return false;
  for (size_t i = 0; i < x.size(); ++i)
    if (FoldByte(static_cast<unsigned char>(x[i])) != FoldByte(static_cast<unsigned char>(y[i]))) return false;
  return true;
}

bool IsDriveName(const std::string& p) {
  return p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

}  // namespace

const PathConfig& CurrentPathConfig() { return Config(); }
void SetPathConfig(const PathConfig& config) { Config() = config; }

std::optional<std::string> ResolveGamePathWith(const std::string& gamePath, const PathConfig& config,
                                               const EntryExists& exists, const DirectoryLister& list) {
  if (gamePath.empty()) return std::string();
  std::string p = Cp1252ToUtf8(gamePath);
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.size() >= 2 && p[0] == '/' && p[1] == '/') return std::nullopt;  // network names have no host mapping

  std::string out;  // the part already settled
  size_t start = 0;
  if (IsDriveName(p)) {
    if (config.driveRoot.empty()) return std::nullopt;
    out = config.driveRoot;
    start = 2;
    if (start < p.size() && p[start] == '/') ++start;
    if (out.back() != '/') out += "/";
  } else if (p[0] == '/') {
    out = "/";
    start = 1;
  }
  if (exists(out + p.substr(start))) return out + p.substr(start);

  // Walk the components, fixing the letter case of those that do not exist as written.
  while (start < p.size()) {
    const size_t slash = p.find('/', start);
    const size_t end = slash == std::string::npos ? p.size() : slash;
    std::string part = p.substr(start, end - start);
    std::string dir = out.empty() ? "." : out;
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const std::string prefix = out.empty() ? "" : (out.back() == '/' ? out : out + "/");
    if (!part.empty() && part != "." && part != ".." && !exists(prefix + part)) {
      if (auto entries = list(dir)) {
        for (const std::string& e : *entries) {
          if (SameNameIgnoringCase(e, part)) {
            part = e;
            break;
          }
        }
      }
    }
    out = prefix + part;
    if (slash == std::string::npos) break;
    start = slash + 1;
    if (start == p.size()) out += "/";  // keep a trailing separator
  }
  return out;
}

std::optional<std::string> ResolveGamePath(const std::string& gamePath) {
  namespace fs = std::filesystem;
  auto exists = [](const std::string& path) {
    std::error_code ec;
    return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
  };
  auto list = [](const std::string& dir) -> std::optional<std::vector<std::string>> {
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return std::nullopt;
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      if (ec) break;
      names.push_back(it->path().filename().string());
    }
    return names;
  };
  return ResolveGamePathWith(gamePath, CurrentPathConfig(), exists, list);
}

}  // namespace kv::plat
