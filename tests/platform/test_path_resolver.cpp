// The path resolver on a fake file system: separators, letter case per component, drive names, code page.
#include <gtest/gtest.h>

#include <set>

#include "platform/path_resolver.h"

namespace kv::plat {
namespace {

class FakeTree {
 public:
  explicit FakeTree(std::set<std::string> paths) : paths_(std::move(paths)) {}
  std::optional<std::string> Resolve(const std::string& name, const std::string& driveRoot = "") const {
    PathConfig config{driveRoot};
    auto exists = [this](const std::string& p) { return paths_.count(p) > 0; };
    auto list = [this](const std::string& dir) -> std::optional<std::vector<std::string>> {
      std::vector<std::string> out;
      const std::string prefix = dir == "." ? "" : (dir.back() == '/' ? dir : dir + "/");
      for (const std::string& p : paths_)
        if (p.rfind(prefix, 0) == 0 && p.size() > prefix.size() && p.find('/', prefix.size()) == std::string::npos)
          out.push_back(p.substr(prefix.size()));
      return out;
    };
    return ResolveGamePathWith(name, config, exists, list);
  }

 private:
  std::set<std::string> paths_;
};

TEST(PathResolver, MatchesEachComponentWithoutRegardToLetterCase) {
  const FakeTree tree({"Data", "Data/Levels", "Data/Levels/One.TXT", "/srv", "/srv/Games", "/srv/Games/Save.dat",
                       "caf\xC3\xA9.txt"});
  EXPECT_EQ(tree.Resolve("data\\levels\\one.txt"), "Data/Levels/One.TXT");
  EXPECT_EQ(tree.Resolve("Data/Levels/One.TXT"), "Data/Levels/One.TXT");
  EXPECT_EQ(tree.Resolve("DATA\\levels\\new.txt"), "Data/Levels/new.txt") << "missing names stay as written";
  EXPECT_EQ(tree.Resolve("data\\newdir\\"), "Data/newdir/");
  EXPECT_EQ(tree.Resolve("CAF\xC9.TXT"), "caf\xC3\xA9.txt") << "CP-1252 bytes become UTF-8";
  EXPECT_EQ(tree.Resolve("\\SRV\\games\\save.DAT"), "/srv/Games/Save.dat");
  EXPECT_EQ(tree.Resolve(""), "");
}

TEST(PathResolver, DriveNamesNeedARoot) {
  const FakeTree tree({"/root", "/root/Games", "/root/Games/x.ini"});
  EXPECT_EQ(tree.Resolve("C:\\games\\x.ini"), std::nullopt);
  EXPECT_EQ(tree.Resolve("c:\\games\\x.ini", "/root"), "/root/Games/x.ini");
  EXPECT_EQ(tree.Resolve("D:games\\x.ini", "/root"), "/root/Games/x.ini");
  EXPECT_EQ(tree.Resolve("\\\\server\\share\\x.ini", "/root"), std::nullopt) << "network names have no mapping";
}

}  // namespace
}  // namespace kv::plat
