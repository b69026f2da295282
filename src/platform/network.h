#pragma once
// The network under multiplayer games: connections between one session host and its players, carrying packets
// reliably (in order, resent until received) or unreliably (sequenced: late packets are dropped), plus the
// discovery exchange that finds hosts on the local network. Everything above it (sessions, player ids, relaying)
// belongs to the multiplayer module; this layer only moves bytes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv::plat {

using NetBytes = std::vector<uint8_t>;

// The largest packet accepted from the network; larger ones are dropped unread.
inline constexpr size_t kNetReceiveBuffer = 33000;

struct NetEvent {
  enum class Kind : uint8_t { Connected, Disconnected, Received };
  Kind kind = Kind::Received;
  uint32_t peer = 0;      // this endpoint's handle for the other side, never 0
  bool reliable = false;  // how a received packet travelled
  NetBytes data;
};

struct DiscoveryReply {
  std::string host;  // where the reply came from, in a form Connect accepts
  NetBytes data;
};

// Answers a discovery query: the reply, or nothing (empty) to stay silent.
using DiscoveryAnswer = std::function<NetBytes(const NetBytes& query)>;

class INetwork {
 public:
  virtual ~INetwork() = default;

  // Starts accepting connections on a port of the system's choosing (SessionPort) and answering the discovery
  // queries that reach discoveryPort. False when it cannot listen.
  virtual bool Host(uint16_t discoveryPort, DiscoveryAnswer answer) = 0;
  virtual uint16_t SessionPort() const = 0;

  // Sends a discovery query to host:port, or with an empty host to every local network and this machine; the
  // replies are gathered by CollectDiscovery. False when nothing could be sent (unknown host, no socket).
  virtual bool StartDiscovery(const std::string& host, uint16_t port, const NetBytes& query) = 0;
  // Replies that arrived since the last call (never blocks).
  virtual std::vector<DiscoveryReply> CollectDiscovery() = 0;

  // Starts connecting to a session port; a Connected or Disconnected event for the returned peer follows.
  // 0 when the connection cannot even start (unknown host).
  virtual uint32_t Connect(const std::string& host, uint16_t port) = 0;
  virtual bool Send(uint32_t peer, const NetBytes& data, bool reliable) = 0;
  // Ends one connection; its queued reliable packets are delivered first when possible.
  virtual void Disconnect(uint32_t peer) = 0;

  // Moves traffic both ways and answers discovery queries; what arrives waits for Poll. Call it often: peers that
  // are not serviced time out.
  virtual void Service() = 0;
  virtual bool Poll(NetEvent& event) = 0;
  // Gives up the processor for about ms milliseconds while waiting for a reply (nothing on in-process networks).
  virtual void Idle(int ms) = 0;

  // Ends every connection (peers are told, queued reliable packets go out first when they can within a short
  // grace time) and stops hosting and discovery.
  virtual void Close() = 0;
};

// ENet over UDP; discovery by UDP broadcast. Null when the library cannot start.
std::unique_ptr<INetwork> CreateEnetNetwork();

// This computer's first non-loopback IPv4 address that is up, dotted decimal; "" when there is none.
std::string FirstIpv4Address();

}  // namespace kv::plat
