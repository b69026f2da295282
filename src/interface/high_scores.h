#pragma once
// The table of the ten best scores of a game: its encoding in the settings store (scrambled with the game id),
// insertion, and the display settings of the table window.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kv::plat {
class IRegistry;
}

namespace kv::ui {

inline constexpr int kScoreRanks = 10;
inline constexpr size_t kMaxScoreName = 240;  // 16 score bytes + name fit the 256 bytes the decoder reads

struct ScoreEntry {
  std::string name;
  int32_t score = 0;
  bool operator==(const ScoreEntry&) const = default;
};

// Letters 'A' … 'P', two per byte: 16 bytes of the score then the name (cut to 240 bytes).
std::string EncodeScoreEntry(const ScoreEntry& entry, int32_t gameId);
// nullopt for text that is not a valid encoding (odd length, too long or short, letters outside 'A' … 'P').
std::optional<ScoreEntry> DecodeScoreEntry(std::string_view text, int32_t gameId);

// "\Software\Korvane\Scores\<game id>"
std::string ScoreKey(int32_t gameId);

struct ScoreDisplay {
  int background = -1;
  bool border = true;
  int backColour = 0xF0FBFF, newColour = 0x0000FF, otherColour = 0x000000;
  std::string fontName = "Times New Roman";
  int fontSize = 12;
  int fontStyle = 0;
  std::string caption = "Top Ten Players";
  std::string nobody = "<nobody>";
  std::string escape = "press <Escape> to close";
};
ScoreDisplay& Display();

using ScoreTable = std::array<ScoreEntry, kScoreRanks>;
// Missing or unreadable ranks read as (nobody text, 0).
ScoreTable LoadScores(plat::IRegistry& store, int32_t gameId);
void SaveScores(plat::IRegistry& store, int32_t gameId, const ScoreTable& table);
// Inserts before the first rank with a smaller score (equal scores stay ahead); the rank 1 … 10, or 0 when the
// score does not enter the table.
int InsertScore(ScoreTable& table, const std::string& name, int32_t score);

}  // namespace kv::ui
