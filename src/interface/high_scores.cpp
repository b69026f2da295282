#include "interface/high_scores.h"

#include "platform/registry.h"

namespace kv::ui {

namespace {

constexpr size_t kScoreBytes = 16;
constexpr size_t kMaxDecodedBytes = 256;

// The position offset of byte i (from 1) reduced to 0 … 255, so every encoded byte stays a letter pair in 'A' … 'P'.
int Offset(size_t i, int32_t gameId) {
  const int64_t v = (static_cast<int64_t>(i) + gameId) % 256;
  return static_cast<int>(v < 0 ? v + 256 : v);
}

}  // namespace

std::string EncodeScoreEntry(const ScoreEntry& entry, int32_t gameId) {
  std::string bytes;
  // The score's two's-complement bytes, least significant first, sign-extended to 16 bytes.
  const int64_t score = entry.score;
  for (size_t k = 0; k < kScoreBytes; ++k)
    bytes += static_cast<char>(static_cast<uint8_t>((score >> (k < 8 ? 8 * k : 56)) & 0xFF));
  bytes += entry.name.substr(0, kMaxScoreName);
  std::string out;
  out.reserve(bytes.size() * 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int b = (static_cast<uint8_t>(bytes[i]) + Offset(i + 1, gameId)) % 256;
    out += static_cast<char>('A' + b / 16);
    out += static_cast<char>('A' + b % 16);
  }
  return out;
}

std::optional<ScoreEntry> DecodeScoreEntry(std::string_view text, int32_t gameId) {
  if (text.size() % 2 != 0 || text.size() > 2 * kMaxDecodedBytes || text.size() < 2 * kScoreBytes)
    return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < text.size(); i += 2) {
    const char hi = text[i], lo = text[i + 1];
    if (hi < 'A' || hi > 'P' || lo < 'A' || lo > 'P') return std::nullopt;
    const int value = (hi - 'A') * 16 + (lo - 'A');
    const int b = (value - Offset(i / 2 + 1, gameId) + 256) % 256;
    bytes += static_cast<char>(b);
  }
  ScoreEntry entry;
  uint32_t score = 0;
  for (int k = 0; k < 4; ++k) score |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[k])) << (8 * k);
  entry.score = static_cast<int32_t>(score);
  entry.name = bytes.substr(kScoreBytes);
  return entry;
}

std::string ScoreKey(int32_t gameId) { return "\\Software\\Korvane\\Scores\\" + std::to_string(gameId); }

ScoreDisplay& Display() {
  static ScoreDisplay display;
  return display;
}

ScoreTable LoadScores(plat::IRegistry& store, int32_t gameId) {
  ScoreTable table;
  const std::string key = ScoreKey(gameId);
  for (int r = 0; r < kScoreRanks; ++r) {
    table[r] = {Display().nobody, 0};
    const auto value = store.Read(plat::RegistryRoot::CurrentUser, key, "Rank" + std::to_string(r + 1));
    if (!value || value->kind != plat::RegistryValue::Kind::String) continue;
    if (auto entry = DecodeScoreEntry(value->data, gameId)) table[r] = std::move(*entry);
  }
  return table;
}

void SaveScores(plat::IRegistry& store, int32_t gameId, const ScoreTable& table) {
  const std::string key = ScoreKey(gameId);
  for (int r = 0; r < kScoreRanks; ++r)
    store.Write(plat::RegistryRoot::CurrentUser, key, "Rank" + std::to_string(r + 1),
                plat::RegistryValue::Text(EncodeScoreEntry(table[r], gameId)));
}

int InsertScore(ScoreTable& table, const std::string& name, int32_t score) {
  for (int r = 0; r < kScoreRanks; ++r) {
    if (table[r].score >= score) continue;
    for (int k = kScoreRanks - 1; k > r; --k) table[k] = table[k - 1];
    table[r] = {name.substr(0, kMaxScoreName), score};
    return r + 1;
  }
  return 0;
}

}  // namespace kv::ui
