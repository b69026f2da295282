#pragma once
// Byte forms of what multiplayer games exchange (all little-endian):
// - a game message or shared-data update (TMess): kind (1 message, 0 data), int32 id, value type (1 string,
//   0 real), then an int32 length and that many bytes, or an IEEE-754 double;
// - the session packets between the host and its players that carry it (joining, the player list, relaying);
// - the discovery query and reply that find sessions of one game on the local network.
// Every decoder takes bytes from the network: lengths and counts are checked against the packet and bounded, and
// anything malformed decodes to nothing.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "code/code_value.h"
#include "platform/network.h"

namespace kv::mplay {

using Bytes = plat::NetBytes;
using Guid = std::array<uint8_t, 16>;

inline constexpr int32_t kMaxStringLength = 32000;  // longer string values are cut
inline constexpr size_t kMaxNameLength = 1000;      // session and player names, cut when longer
inline constexpr int32_t kMaxListedPlayers = 4096;  // a player list from the network holds at most this many
inline constexpr uint16_t kProtocolVersion = 1;

struct TMess {
  int32_t player = 0;  // sender on reception, destination when sending (0 all)
  bool isMessage = true;
  int32_t id = 0;
  RValue value;
};

Bytes EncodeMessage(bool isMessage, int32_t id, const RValue& value);
// The kind, id and value of a message packet; the player stays 0.
std::optional<TMess> DecodeMessage(const uint8_t* data, size_t size);

struct PlayerEntry {
  int32_t id = 0;
  std::string name;
  bool operator==(const PlayerEntry&) const = default;
};

// Session packets. A player sends its game packets to the host with their destination; the host hands them on
// with their sender.
enum class PacketKind : uint8_t {
  JoinRequest = 1,   // version, game GUID, player name
  Welcome = 2,       // the new player's id, then every player of the session (the new one included)
  Refused = 3,       // reason
  PlayerJoined = 4,  // id, name
  PlayerLeft = 5,    // id
  ToHost = 6,        // destination id, message bytes
  FromHost = 7,      // sender id, message bytes
};

enum class RefuseReason : uint8_t { OtherGame = 1, Full = 2, OtherVersion = 3 };

struct SessionPacket {
  PacketKind kind = PacketKind::ToHost;
  uint16_t version = 0;             // JoinRequest
  Guid guid{};                      // JoinRequest
  int32_t id = 0;                   // Welcome (the new id), PlayerJoined, PlayerLeft, ToHost (destination), FromHost (sender)
  std::string name;                 // JoinRequest, PlayerJoined
  std::vector<PlayerEntry> players; // Welcome
  RefuseReason reason = RefuseReason::Full;
  Bytes message;                    // ToHost, FromHost: a well-formed message packet
};

Bytes EncodeSessionPacket(const SessionPacket& p);
std::optional<SessionPacket> DecodeSessionPacket(const uint8_t* data, size_t size);

// Discovery: the query names the game; a host of that game replies with its session.
struct DiscoveryQuery {
  uint16_t version = kProtocolVersion;
  Guid guid{};
};
struct DiscoveryInfo {
  uint16_t version = kProtocolVersion;
  Guid guid{};
  Guid instance{};         // the session's own random id (the same session answering twice is listed once)
  uint16_t sessionPort = 0;
  int32_t players = 0;
  int32_t maxPlayers = 0;  // 0: no limit
  std::string name;
};

Bytes EncodeDiscoveryQuery(const DiscoveryQuery& q);
std::optional<DiscoveryQuery> DecodeDiscoveryQuery(const uint8_t* data, size_t size);
Bytes EncodeDiscoveryReply(const DiscoveryInfo& info);
std::optional<DiscoveryInfo> DecodeDiscoveryReply(const uint8_t* data, size_t size);

}  // namespace kv::mplay
