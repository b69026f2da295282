// The real network: ENet over UDP for session traffic (channel 0 reliable, channel 1 unreliable sequenced), and
// plain UDP sockets for discovery (a query by broadcast or to one host, answered by the hosting side).
#include <arpa/inet.h>
#include <enet/enet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <thread>

#include "platform/library_open.h"
#include "platform/network.h"

namespace kv::plat {

namespace {

constexpr size_t kMaxPeers = 256;
constexpr enet_uint8 kReliableChannel = 0, kUnreliableChannel = 1, kChannels = 2;
constexpr int kCloseGraceMs = 300;  // time Close gives queued reliable packets and disconnect notices

// ENet is opened with the first multiplayer session, not at start (headers only): most runs play no session.
#define KV_ENET_FUNCTIONS(X) \
  X(enet_address_set_host) X(enet_host_connect) X(enet_host_create) X(enet_host_destroy) X(enet_host_flush) \
  X(enet_host_service) X(enet_initialize) X(enet_packet_create) X(enet_packet_destroy) \
  X(enet_peer_disconnect_later) X(enet_peer_send) X(enet_peer_throttle_configure)

struct EnetApi {
#define KV_ENET_POINTER(name) decltype(&::name) name = nullptr;
  KV_ENET_FUNCTIONS(KV_ENET_POINTER)
#undef KV_ENET_POINTER
  bool loaded = false;
};

const EnetApi& Enet() {
  static const EnetApi api = [] {
    EnetApi a;
    void* lib = OpenLibraryOnDemand("libenet.so.7");
    bool all = lib != nullptr;
#define KV_ENET_RESOLVE(name)                                                                 \
  a.name = lib ? reinterpret_cast<decltype(a.name)>(dlsym(lib, #name)) : nullptr;             \
  all = all && a.name != nullptr;
    KV_ENET_FUNCTIONS(KV_ENET_RESOLVE)
#undef KV_ENET_RESOLVE
    a.loaded = all;
    return a;
  }();
  return api;
}

bool EnetReady() {
  static const bool ready = Enet().loaded && Enet().enet_initialize() == 0;
  return ready;
}

int OpenUdpSocket(uint16_t bindPort, bool shared) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  if (shared) {
    // Several sessions on one machine can all answer broadcast queries.
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  addr.sin_port = htons(bindPort);
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::optional<in_addr> ResolveIpv4(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return std::nullopt;
  const in_addr a = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr;
  freeaddrinfo(list);
  return a;
}

// Reads one datagram; false when none is waiting. Oversized datagrams are consumed and reported empty.
bool ReadDatagram(int fd, NetBytes& data, sockaddr_in& from) {
  data.resize(kNetReceiveBuffer + 1);
  socklen_t len = sizeof from;
  const ssize_t n = recvfrom(fd, data.data(), data.size(), MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &len);
  if (n < 0) return false;
  data.resize(static_cast<size_t>(n) > kNetReceiveBuffer ? 0 : static_cast<size_t>(n));
  return true;
}

class EnetNetwork final : public INetwork {
 public:
  ~EnetNetwork() override { Close(); }

  bool Host(uint16_t discoveryPort, DiscoveryAnswer answer) override {
    Close();
    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    address.port = 0;  // the system's choice; discovery tells finders which
    host_ = Enet().enet_host_create(&address, kMaxPeers, kChannels, 0, 0);
    if (!host_) return false;
    Configure();
    responder_ = OpenUdpSocket(discoveryPort, true);
    if (responder_ < 0) {
      Close();
      return false;
    }
    answer_ = std::move(answer);
    return true;
  }
  uint16_t SessionPort() const override { return host_ ? host_->address.port : 0; }

  bool StartDiscovery(const std::string& host, uint16_t port, const NetBytes& query) override {
    if (querySocket_ < 0) querySocket_ = OpenUdpSocket(0, false);
    if (querySocket_ < 0) return false;
    std::vector<in_addr> targets;
    if (host.empty()) {
      // Every local network, and this machine itself (which a broadcast may not reach without a network).
      targets.push_back({htonl(INADDR_BROADCAST)});
      targets.push_back({htonl(INADDR_LOOPBACK)});
      ifaddrs* list = nullptr;
      if (getifaddrs(&list) == 0) {
        for (ifaddrs* i = list; i; i = i->ifa_next)
          if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET && (i->ifa_flags & IFF_BROADCAST) &&
              (i->ifa_flags & IFF_UP) && i->ifa_broadaddr)
            targets.push_back(reinterpret_cast<sockaddr_in*>(i->ifa_broadaddr)->sin_addr);
        freeifaddrs(list);
      }
    } else {
      const auto a = ResolveIpv4(host);
      if (!a) return false;
      targets.push_back(*a);
    }
    bool sent = false;
    for (const in_addr& t : targets) {
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_addr = t;
      to.sin_port = htons(port);
      sent |= sendto(querySocket_, query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) >= 0;
    }
    return sent;
  }

  std::vector<DiscoveryReply> CollectDiscovery() override {
    std::vector<DiscoveryReply> replies;
    if (querySocket_ < 0) return replies;
    NetBytes data;
    sockaddr_in from{};
    while (ReadDatagram(querySocket_, data, from)) {
      if (data.empty()) continue;
      char text[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
      replies.push_back({text, data});
    }
    return replies;
  }

  uint32_t Connect(const std::string& host, uint16_t port) override {
    if (!host_) {
      host_ = Enet().enet_host_create(nullptr, 1, kChannels, 0, 0);
      if (!host_) return 0;
      Configure();
    }
    ENetAddress address{};
    if (Enet().enet_address_set_host(&address, host.c_str()) != 0) return 0;
    address.port = port;
    ENetPeer* peer = Enet().enet_host_connect(host_, &address, kChannels, 0);
    return peer ? Adopt(peer) : 0;
  }

  bool Send(uint32_t id, const NetBytes& data, bool reliable) override {
    auto it = peers_.find(id);
    if (it == peers_.end()) return false;
    ENetPacket* packet =
        Enet().enet_packet_create(data.data(), data.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (!packet) return false;
    if (Enet().enet_peer_send(it->second, reliable ? kReliableChannel : kUnreliableChannel, packet) != 0) {
      Enet().enet_packet_destroy(packet);
      return false;
    }
    return true;
  }

  void Disconnect(uint32_t id) override {
    auto it = peers_.find(id);
    if (it == peers_.end()) return;
    Enet().enet_peer_disconnect_later(it->second, 0);
    it->second->data = nullptr;
    peers_.erase(it);
    Enet().enet_host_flush(host_);
  }

  void Service() override {
    AnswerQueries();
    if (!host_) return;
    ENetEvent ev;
    while (host_ && Enet().enet_host_service(host_, &ev, 0) > 0) Translate(ev);
  }

  bool Poll(NetEvent& event) override {
    if (events_.empty()) return false;
    event = std::move(events_.front());
    events_.pop_front();
    return true;
  }

  void Idle(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

  void Close() override {
    if (responder_ >= 0) close(responder_);
    if (querySocket_ >= 0) close(querySocket_);
    responder_ = querySocket_ = -1;
    answer_ = nullptr;
    if (host_) {
      // Let the peers hear of it (and receive what is still queued for them) before the host goes away.
      for (auto& [id, peer] : peers_) Enet().enet_peer_disconnect_later(peer, 0);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseGraceMs);
      ENetEvent ev;
      while (ConnectedPeers() > 0 && std::chrono::steady_clock::now() < deadline) {
        if (Enet().enet_host_service(host_, &ev, 5) > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) Enet().enet_packet_destroy(ev.packet);
      }
      Enet().enet_host_flush(host_);
      Enet().enet_host_destroy(host_);
      host_ = nullptr;
    }
    peers_.clear();
    events_.clear();
  }

 private:
  void Configure() {
    // Oversized packets are refused while they are reassembled, before any of them is kept.
    host_->maximumPacketSize = kNetReceiveBuffer;
  }

  size_t ConnectedPeers() const {
    size_t n = 0;
    for (size_t i = 0; i < host_->peerCount; ++i)
      if (host_->peers[i].state != ENET_PEER_STATE_DISCONNECTED) ++n;
    return n;
  }

  uint32_t Adopt(ENetPeer* peer) {
    const uint32_t id = nextPeer_++;
    peer->data = reinterpret_cast<void*>(static_cast<uintptr_t>(id));
    peers_[id] = peer;
    return id;
  }

  static uint32_t IdOf(const ENetPeer* peer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(peer->data));
  }

  void Translate(ENetEvent& ev) {
    switch (ev.type) {
      case ENET_EVENT_TYPE_CONNECT: {
        // Games service the network once a step, so round trips vary by a step; ENet would read that as
        // congestion and shrink the window of reliable packets in flight. Once connected, keep the full window.
        Enet().enet_peer_throttle_configure(ev.peer, ENET_PEER_PACKET_THROTTLE_INTERVAL, ENET_PEER_PACKET_THROTTLE_SCALE, 0);
        const uint32_t id = IdOf(ev.peer) ? IdOf(ev.peer) : Adopt(ev.peer);
        events_.push_back({NetEvent::Kind::Connected, id, true, {}});
        break;
      }
      case ENET_EVENT_TYPE_DISCONNECT: {
        const uint32_t id = IdOf(ev.peer);
        if (id) {
          peers_.erase(id);
          ev.peer->data = nullptr;
          events_.push_back({NetEvent::Kind::Disconnected, id, true, {}});
        }
        break;
      }
      case ENET_EVENT_TYPE_RECEIVE: {
        const uint32_t id = IdOf(ev.peer);
        if (id && ev.packet->dataLength <= kNetReceiveBuffer) {
          events_.push_back({NetEvent::Kind::Received, id, ev.channelID == kReliableChannel,
                             NetBytes(ev.packet->data, ev.packet->data + ev.packet->dataLength)});
        }
        Enet().enet_packet_destroy(ev.packet);
        break;
      }
      case ENET_EVENT_TYPE_NONE:
        break;
    }
  }

  void AnswerQueries() {
    if (responder_ < 0 || !answer_) return;
    NetBytes data;
    sockaddr_in from{};
    while (ReadDatagram(responder_, data, from)) {
      if (data.empty()) continue;
      const NetBytes reply = answer_(data);
      if (!reply.empty())
        sendto(responder_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
    }
  }

  ENetHost* host_ = nullptr;
  int responder_ = -1, querySocket_ = -1;
  DiscoveryAnswer answer_;
  std::map<uint32_t, ENetPeer*> peers_;
  uint32_t nextPeer_ = 1;
  std::deque<NetEvent> events_;
};

}  // namespace

std::unique_ptr<INetwork> CreateEnetNetwork() {
  if (!EnetReady()) return nullptr;
  return std::make_unique<EnetNetwork>();
}

std::string FirstIpv4Address() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return "";
  std::string found;
  for (ifaddrs* i = list; i && found.empty(); i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK))
      continue;
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, text, sizeof text)) found = text;
  }
  freeifaddrs(list);
  return found;
}

}  // namespace kv::plat
