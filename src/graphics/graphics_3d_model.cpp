#include "graphics/graphics_3d_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "graphics/graphics_3d.h"
#include "platform/file_read.h"
#include "platform/file_write.h"

namespace kv::gfx {

namespace {

constexpr int kVersion = 100;
// The shortest command line: a one-digit type and ten one-digit values, each after a space.
constexpr size_t kShortestCommandLine = 21;

std::vector<std::unique_ptr<C3D_Model>>& Table() {
  static std::vector<std::unique_ptr<C3D_Model>> table;
  return table;
}

int Int(double v) { return static_cast<int>(std::lround(std::clamp(v, -2147483648.0, 2147483647.0))); }

// Free-form reading of numbers across white space, line by line as the loader needs it.
class Reader {
 public:
  explicit Reader(const std::string& text) : t_(text) {}

  bool Integer(long long& out) {
    SkipSpace();
    size_t start = pos_;
    if (pos_ < t_.size() && (t_[pos_] == '-' || t_[pos_] == '+')) ++pos_;
    size_t digits = pos_;
    while (pos_ < t_.size() && t_[pos_] >= '0' && t_[pos_] <= '9') ++pos_;
    if (pos_ == digits || pos_ - digits > 12 || !Delimited()) return false;
    out = std::strtoll(t_.substr(start, pos_ - start).c_str(), nullptr, 10);
    return true;
  }

  bool Real(double& out) {
    SkipSpace();
    size_t start = pos_;
    while (pos_ < t_.size() && !IsSpace(t_[pos_])) ++pos_;
    if (pos_ == start) return false;
    std::string token = t_.substr(start, pos_ - start);
    char* end = nullptr;
    out = std::strtod(token.c_str(), &end);
    return end == token.c_str() + token.size() && std::isfinite(out);
  }

  void SkipLine() {
    while (pos_ < t_.size() && t_[pos_] != '\n') ++pos_;
    if (pos_ < t_.size()) ++pos_;
  }

 private:
  static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
  void SkipSpace() {
    while (pos_ < t_.size() && IsSpace(t_[pos_])) ++pos_;
  }
  bool Delimited() const { return pos_ >= t_.size() || IsSpace(t_[pos_]); }
  const std::string& t_;
  size_t pos_ = 0;
};

}  // namespace

void C3D_Model::Add(int type, std::initializer_list<double> values) {
  ModelCommand c;
  c.type = type;
  size_t i = 0;
  for (double v : values)
    if (i < c.p.size()) c.p[i++] = v;
  commands.push_back(c);
}

void C3D_Model::Draw(double x, double y, double z, int texture) const {
  for (const ModelCommand& c : commands) {
    const auto& p = c.p;
    double px = x + p[0], py = y + p[1], pz = z + p[2];
    switch (c.type) {
      case 0: BeginPrimitive3D(Int(p[0]), texture); break;
      case 1: EndPrimitive3D(); break;
      case 2: Vertex3D(px, py, pz, 0, 0, 0, 0, 0); break;
      case 3: Vertex3D(px, py, pz, 0, 0, 0, 0, 0, Int(p[3]), p[4]); break;
      case 4: Vertex3D(px, py, pz, 0, 0, 0, p[3], p[4]); break;
      case 5: Vertex3D(px, py, pz, 0, 0, 0, p[3], p[4], Int(p[5]), p[6]); break;
      case 6: Vertex3D(px, py, pz, p[3], p[4], p[5], 0, 0); break;
      case 7: Vertex3D(px, py, pz, p[3], p[4], p[5], 0, 0, Int(p[6]), p[7]); break;
      case 8: Vertex3D(px, py, pz, p[3], p[4], p[5], p[6], p[7]); break;
      case 9: Vertex3D(px, py, pz, p[3], p[4], p[5], p[6], p[7], Int(p[8]), p[9]); break;
      case 10: DrawBlock(px, py, pz, x + p[3], y + p[4], z + p[5], texture, p[6], p[7]); break;
      case 11:
        DrawCylinder(px, py, pz, x + p[3], y + p[4], z + p[5], texture, p[6], p[7], p[8] >= 0.5, Int(p[9]));
        break;
      case 12:
        DrawCone(px, py, pz, x + p[3], y + p[4], z + p[5], texture, p[6], p[7], p[8] >= 0.5, Int(p[9]));
        break;
      case 13: DrawEllipsoid(px, py, pz, x + p[3], y + p[4], z + p[5], texture, p[6], p[7], Int(p[8])); break;
      case 14: DrawWall(px, py, pz, x + p[3], y + p[4], z + p[5], texture, p[6], p[7]); break;
      case 15: DrawFloor(px, py, pz, x + p[3], y + p[4], z + p[5], texture, p[6], p[7]); break;
      default: break;
    }
  }
}

std::string FormatModelValue(double v) {
  char buf[64];
  if (!std::isfinite(v)) v = 0.0;
  if (std::fabs(v) >= 1e10) {
    std::snprintf(buf, sizeof buf, "%.9E", v);
    return buf;
  }
  std::snprintf(buf, sizeof buf, "%.9e", v);  // rounded to 10 significant digits first
  double rounded = std::strtod(buf, nullptr) + 0.0;
  std::snprintf(buf, sizeof buf, "%.4f", rounded);
  std::string s = buf;
  if (s == "-0.0000") s = "0.0000";
  return s;
}

std::string C3D_Model::Serialize() const {
  std::string out = std::to_string(kVersion) + "\r\n" + std::to_string(commands.size()) + "\r\n";
  for (const ModelCommand& c : commands) {
    out += std::to_string(c.type);
    for (double v : c.p) out += ' ' + FormatModelValue(v);
    out += "\r\n";
  }
  return out;
}

bool C3D_Model::Deserialize(const std::string& text) {
  commands.clear();
  Reader r(text);
  long long version = 0, count = 0;
  if (!r.Integer(version) || version != kVersion) return false;
  r.SkipLine();
  if (!r.Integer(count) || count < 0) return false;
  r.SkipLine();
  // A count the text cannot hold is refused before anything is allocated.
  if (static_cast<unsigned long long>(count) > text.size() / kShortestCommandLine) return false;
  commands.assign(static_cast<size_t>(count), ModelCommand{});
  for (ModelCommand& c : commands) {
    long long type = 0;
    if (!r.Integer(type)) return false;
    c.type = static_cast<int>(std::clamp<long long>(type, -2147483648LL, 2147483647LL));
    for (double& v : c.p)
      if (!r.Real(v)) {
        v = 0.0;
        c = ModelCommand{};
        return false;
      }
    r.SkipLine();
  }
  return true;
}

bool C3D_Model::Save(const std::string& hostPath, bool insideWorkingDirectory) const {
  std::string text = Serialize();
  return plat::WriteFileAtomically(hostPath, text.data(), text.size(), insideWorkingDirectory);
}

bool C3D_Model::Load(const std::string& hostPath) {
  commands.clear();
  plat::FileReadResult f = plat::ReadWholeFile(hostPath);
  if (!f.Ok()) return false;
  return Deserialize(std::string(f.bytes.begin(), f.bytes.end()));
}

int CreateModel() {
  auto& t = Table();
  for (size_t i = 0; i < t.size(); ++i)
    if (!t[i]) {
      t[i] = std::make_unique<C3D_Model>();
      return static_cast<int>(i);
    }
  t.push_back(std::make_unique<C3D_Model>());
  return static_cast<int>(t.size()) - 1;
}

C3D_Model* FindModel(int id) {
  auto& t = Table();
  return id >= 0 && static_cast<size_t>(id) < t.size() ? t[static_cast<size_t>(id)].get() : nullptr;
}

void DestroyModel(int id) {
  if (FindModel(id)) Table()[static_cast<size_t>(id)].reset();
}

void ClearModels() { Table().clear(); }

}  // namespace kv::gfx
