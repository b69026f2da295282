// 3D models: recorded lists of 3D drawing commands, replayed at an offset with a texture, and their text file.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace kv::gfx {

struct ModelCommand {
  int type = 0;  // 0 begin, 1 end, 2 … 9 vertex kinds, 10 … 15 block, cylinder, cone, ellipsoid, wall, floor
  std::array<double, 10> p{};
  bool operator==(const ModelCommand&) const = default;
};

class C3D_Model {
 public:
  std::vector<ModelCommand> commands;

  void Add(int type, std::initializer_list<double> values);
  void Clear() { commands.clear(); }
  void Draw(double x, double y, double z, int texture) const;
  // The file text: "100", the count, then one line per command, every line ending with CR LF.
  std::string Serialize() const;
  // Replaces the commands by those of the text; false for a wrong version, a count the text cannot hold or a
  // malformed command (the commands read so far stay, the rest of the counted entries are zero commands).
  bool Deserialize(const std::string& text);
  // `insideWorkingDirectory`: secure mode, refuse to write anywhere else. Written atomically.
  bool Save(const std::string& hostPath, bool insideWorkingDirectory) const;
  bool Load(const std::string& hostPath);
};

// The model table: ids index it; destroyed slots are empty and reused first.
int CreateModel();
C3D_Model* FindModel(int id);  // null when the id names no model
void DestroyModel(int id);
void ClearModels();

// One value as the file writes it: 10 significant digits, fixed with four decimals.
std::string FormatModelValue(double v);

}  // namespace kv::gfx
