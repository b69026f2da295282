#include "platform/net/loopback_network.h"

#include <algorithm>
#include <deque>
#include <map>

namespace kv::plat {

class LoopbackNetwork final : public INetwork {
 public:
  explicit LoopbackNetwork(LoopbackHub& hub) : hub_(&hub) { hub_->endpoints_.push_back(this); }
  ~LoopbackNetwork() override {
    Close();
    if (hub_) std::erase(hub_->endpoints_, this);
  }

  bool Host(uint16_t discoveryPort, DiscoveryAnswer answer) override {
    if (!hub_ || hosting_) return false;
    hosting_ = true;
    discoveryPort_ = discoveryPort;
    answer_ = std::move(answer);
    sessionPort_ = hub_->nextSessionPort_++;
    return true;
  }
  uint16_t SessionPort() const override { return sessionPort_; }

  bool StartDiscovery(const std::string&, uint16_t port, const NetBytes& query) override {
    if (!hub_) return false;
    for (LoopbackNetwork* other : hub_->endpoints_) {
      if (!other->hosting_ || other->discoveryPort_ != port || !other->answer_) continue;
      NetBytes reply = other->answer_(query);
      if (!reply.empty() && reply.size() <= kNetReceiveBuffer) replies_.push_back({"loopback", std::move(reply)});
    }
    return true;
  }
  std::vector<DiscoveryReply> CollectDiscovery() override {
    std::vector<DiscoveryReply> out(std::make_move_iterator(replies_.begin()), std::make_move_iterator(replies_.end()));
    replies_.clear();
    return out;
  }

  uint32_t Connect(const std::string&, uint16_t port) override {
    if (!hub_) return 0;
    for (LoopbackNetwork* other : hub_->endpoints_) {
      if (other == this || !other->hosting_ || other->sessionPort_ != port) continue;
      const uint32_t mine = nextPeer_++, theirs = other->nextPeer_++;
      links_[mine] = {other, theirs};
      other->links_[theirs] = {this, mine};
      events_.push_back({NetEvent::Kind::Connected, mine, true, {}});
      other->events_.push_back({NetEvent::Kind::Connected, theirs, true, {}});
      return mine;
    }
    return 0;
  }

  bool Send(uint32_t peer, const NetBytes& data, bool reliable) override {
    auto it = links_.find(peer);
    if (it == links_.end()) return false;
    // The same limit as the real network: an oversized packet never arrives.
    if (data.size() > kNetReceiveBuffer) return true;
    it->second.other->events_.push_back({NetEvent::Kind::Received, it->second.otherPeer, reliable, data});
    return true;
  }

  void Disconnect(uint32_t peer) override {
    auto it = links_.find(peer);
    if (it == links_.end()) return;
    LoopbackNetwork* other = it->second.other;
    const uint32_t theirs = it->second.otherPeer;
    links_.erase(it);
    other->links_.erase(theirs);
    other->events_.push_back({NetEvent::Kind::Disconnected, theirs, true, {}});
  }

  void Service() override {}
  bool Poll(NetEvent& event) override {
    if (events_.empty()) return false;
    event = std::move(events_.front());
    events_.pop_front();
    return true;
  }
  void Idle(int) override {}

  void Close() override {
    while (!links_.empty()) Disconnect(links_.begin()->first);
    hosting_ = false;
    answer_ = nullptr;
    events_.clear();
    replies_.clear();
  }

  void Detach() { hub_ = nullptr; }

 private:
  struct Link {
    LoopbackNetwork* other;
    uint32_t otherPeer;
  };
  LoopbackHub* hub_;
  bool hosting_ = false;
  uint16_t discoveryPort_ = 0, sessionPort_ = 0;
  DiscoveryAnswer answer_;
  std::map<uint32_t, Link> links_;
  uint32_t nextPeer_ = 1;
  std::deque<NetEvent> events_;
  std::vector<DiscoveryReply> replies_;
};

LoopbackHub::~LoopbackHub() {
  for (LoopbackNetwork* e : endpoints_) e->Detach();
}

std::unique_ptr<INetwork> LoopbackHub::CreateEndpoint() { return std::make_unique<LoopbackNetwork>(*this); }

}  // namespace kv::plat
