#include "multiplayer/mplay_session.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <random>

namespace kv::mplay {

namespace {

Guid RandomGuid() {
  std::random_device rd;
  Guid g{};
  for (size_t i = 0; i < g.size(); i += 4) {
    const uint32_t v = rd();
    for (size_t k = 0; k < 4; ++k) g[i + k] = static_cast<uint8_t>(v >> (8 * k));
  }
  return g;
}

std::string CutName(const std::string& name) { return name.substr(0, kMaxNameLength); }

size_t PendingSize(const TMess& m) {
  return sizeof(TMess) + (m.value.IsString() ? m.value.ToStdString().size() : 0);
}

}  // namespace

Multiplayer::Multiplayer() : factory_([] { return plat::CreateEnetNetwork(); }) {}

Multiplayer::~Multiplayer() { End(); }

// ---- Connection ----

bool Multiplayer::InitTcpip(const std::string& address) {
  if (kind_ != kNoConnection) return false;
  // The host is the text before the first ':', the port the number after it.
  std::string host = address;
  uint16_t port = kDefaultPort;
  if (const size_t colon = address.find(':'); colon != std::string::npos) {
    host = address.substr(0, colon);
    // No number, or 0, means the default port.
    const std::string digits = address.substr(colon + 1);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (!digits.empty() && (ec != std::errc() || end != digits.data() + digits.size() || value > 65535)) return false;
    if (value != 0) port = static_cast<uint16_t>(value);
  }
  std::unique_ptr<plat::INetwork> net = factory_ ? factory_() : nullptr;
  if (!net) return false;
  net_ = std::move(net);
  host_ = host;
  port_ = port;
  kind_ = kTcpip;
  return true;
}

bool Multiplayer::InitUnavailable(ConnectionKind kind, const char* function) {
  if (kind_ != kNoConnection) return false;
  const char* what = kind == kIpx ? "IPX" : kind == kModem ? "modem" : "serial";
  std::cerr << function << ": " << what << " connections are not available on this system\n";
  return false;
}

bool Multiplayer::End() {
  if (kind_ == kNoConnection) return false;
  if (state_ != kNoSession) EndSession();
  CloseNetwork();
  net_.reset();
  sessions_.clear();
  kind_ = kNoConnection;
  return true;
}

void Multiplayer::CloseNetwork() {
  if (net_) net_->Close();
}

void Multiplayer::ResetSession() {
  state_ = kNoSession;
  localId_ = 0;
  players_.clear();
  remotes_.clear();
  foundPlayers_.clear();
  hostPeer_ = 0;
  joining_ = Joining::No;
}

void Multiplayer::Pump() {
  if (pump_) pump_();
}

// ---- Sessions ----

bool Multiplayer::CreateSession(const std::string& name, int maxPlayers, const std::string& playerName) {
  if (kind_ != kTcpip || state_ != kNoSession) return false;
  if (!net_->Host(port_, [this](const plat::NetBytes& q) { return AnswerDiscovery(q); })) {
    CloseNetwork();
    return false;
  }
  sessionName_ = CutName(name);
  maxPlayers_ = maxPlayers > 0 ? maxPlayers : 0;
  instance_ = RandomGuid();
  nextPlayerId_ = 1;
  localId_ = nextPlayerId_++;
  players_ = {{localId_, CutName(playerName)}};
  data_.clear();  // a new session starts with fresh shared data
  state_ = kSessionCreated;
  return true;
}

plat::NetBytes Multiplayer::AnswerDiscovery(const plat::NetBytes& query) const {
  const auto q = DecodeDiscoveryQuery(query.data(), query.size());
  if (!q || q->version != kProtocolVersion || q->guid != guid_ || state_ != kSessionCreated) return {};
  DiscoveryInfo info;
  info.guid = guid_;
  info.instance = instance_;
  info.sessionPort = net_->SessionPort();
  info.players = static_cast<int32_t>(players_.size());
  info.maxPlayers = maxPlayers_;
  info.name = sessionName_;
  return EncodeDiscoveryReply(info);
}

int Multiplayer::FindSessions() {
  if (kind_ != kTcpip) return 0;
  sessions_.clear();
  DiscoveryQuery query;
  query.guid = guid_;
  if (!net_->StartDiscovery(host_, port_, EncodeDiscoveryQuery(query))) return 0;
  // Replies need a round trip: gather them for a short fixed time.
  const auto deadline = Clock::now() + std::chrono::milliseconds(findWaitMs_);
  for (;;) {
    Pump();
    Service();
    for (const plat::DiscoveryReply& reply : net_->CollectDiscovery()) {
      const auto info = DecodeDiscoveryReply(reply.data.data(), reply.data.size());
      if (!info || info->version != kProtocolVersion || info->guid != guid_) continue;
      const bool known = std::any_of(sessions_.begin(), sessions_.end(),
                                     [&](const FoundSession& s) { return s.instance == info->instance; });
      if (known || sessions_.size() >= kMaxFoundSessions) continue;
      sessions_.push_back({info->instance, info->name, reply.host, info->sessionPort});
    }
    if (Clock::now() >= deadline) break;
    net_->Idle(1);
  }
  return static_cast<int>(sessions_.size());
}

std::string Multiplayer::SessionName(int n) const {
  return n >= 0 && n < static_cast<int>(sessions_.size()) ? sessions_[static_cast<size_t>(n)].name : std::string();
}

bool Multiplayer::JoinSession(int n, const std::string& playerName) {
  if (kind_ != kTcpip || state_ != kNoSession || n < 0 || n >= static_cast<int>(sessions_.size())) return false;
  const FoundSession target = sessions_[static_cast<size_t>(n)];
  hostPeer_ = net_->Connect(target.host, target.sessionPort);
  if (hostPeer_ == 0) {
    CloseNetwork();
    return false;
  }
  joining_ = Joining::Waiting;
  joinName_ = CutName(playerName);
  const auto deadline = Clock::now() + std::chrono::milliseconds(joinTimeoutMs_);
  while (joining_ == Joining::Waiting && Clock::now() < deadline) {
    Pump();
    Service();
    if (joining_ == Joining::Waiting) net_->Idle(1);
  }
  if (joining_ != Joining::Admitted) {
    CloseNetwork();
    ResetSession();
    return false;
  }
  joining_ = Joining::No;
  sessionName_ = target.name;
  data_.clear();
  state_ = kSessionJoined;
  return true;
}

bool Multiplayer::EndSession() {
  if (state_ == kNoSession) return false;
  // Host: every player is disconnected, which ends the session for them too. Player: the host lets the others
  // know it left.
  CloseNetwork();
  ResetSession();
  return true;
}

// ---- Network events ----

void Multiplayer::Service() {
  if (!net_) return;
  net_->Service();
  plat::NetEvent ev;
  while (net_ && net_->Poll(ev)) HandleEvent(ev);
}

void Multiplayer::HandleEvent(plat::NetEvent& ev) {
  if (state_ == kSessionCreated)
    HandleAsHost(ev);
  else if (state_ == kSessionJoined || joining_ == Joining::Waiting)
    HandleAsPlayer(ev);
  // Anything else belongs to no session any more.
}

void Multiplayer::HandleAsHost(plat::NetEvent& ev) {
  using Kind = plat::NetEvent::Kind;
  if (ev.kind == Kind::Connected) return;  // a player is in once its join request is accepted
  if (ev.kind == Kind::Disconnected) return DropPeer(ev.peer);
  const auto p = DecodeSessionPacket(ev.data.data(), ev.data.size());
  if (!p) return;
  auto sender = std::find_if(remotes_.begin(), remotes_.end(), [&](const Remote& r) { return r.peer == ev.peer; });
  if (p->kind == PacketKind::JoinRequest) {
    if (sender == remotes_.end()) AdmitPlayer(ev.peer, *p);
  } else if (p->kind == PacketKind::ToHost && sender != remotes_.end()) {
    Route(sender->id, p->id, p->message, ev.reliable, ev.peer);
  }
}

void Multiplayer::AdmitPlayer(uint32_t peer, const SessionPacket& request) {
  SessionPacket answer;
  answer.kind = PacketKind::Refused;
  if (request.guid != guid_)
    answer.reason = RefuseReason::OtherGame;
  else if (request.version != kProtocolVersion)
    answer.reason = RefuseReason::OtherVersion;
  else if (maxPlayers_ > 0 && players_.size() >= static_cast<size_t>(maxPlayers_))
    answer.reason = RefuseReason::Full;
  else
    answer.kind = PacketKind::Welcome;
  if (answer.kind == PacketKind::Refused) {
    net_->Send(peer, EncodeSessionPacket(answer), true);
    net_->Disconnect(peer);
    return;
  }
  const int32_t id = nextPlayerId_++;
  SessionPacket joined;
  joined.kind = PacketKind::PlayerJoined;
  joined.id = id;
  joined.name = request.name;
  const Bytes notice = EncodeSessionPacket(joined);
  for (const Remote& r : remotes_) net_->Send(r.peer, notice, true);
  players_.push_back({id, request.name});
  remotes_.push_back({peer, id});
  answer.id = id;
  answer.players = players_;
  net_->Send(peer, EncodeSessionPacket(answer), true);
}

void Multiplayer::DropPeer(uint32_t peer) {
  auto it = std::find_if(remotes_.begin(), remotes_.end(), [&](const Remote& r) { return r.peer == peer; });
  if (it == remotes_.end()) return;
  const int32_t id = it->id;
  remotes_.erase(it);
  std::erase_if(players_, [&](const PlayerEntry& e) { return e.id == id; });
  SessionPacket left;
  left.kind = PacketKind::PlayerLeft;
  left.id = id;
  const Bytes notice = EncodeSessionPacket(left);
  for (const Remote& r : remotes_) net_->Send(r.peer, notice, true);
}

void Multiplayer::HandleAsPlayer(plat::NetEvent& ev) {
  using Kind = plat::NetEvent::Kind;
  if (ev.peer != hostPeer_) return;
  if (ev.kind == Kind::Connected) {
    if (joining_ != Joining::Waiting) return;
    SessionPacket request;
    request.kind = PacketKind::JoinRequest;
    request.version = kProtocolVersion;
    request.guid = guid_;
    request.name = joinName_;
    net_->Send(hostPeer_, EncodeSessionPacket(request), true);
    return;
  }
  if (ev.kind == Kind::Disconnected) {
    // The host left (or refused us): the session is over, there is no other host to take over.
    if (joining_ == Joining::Waiting) {
      joining_ = Joining::Failed;
      return;
    }
    CloseNetwork();
    ResetSession();
    return;
  }
  auto p = DecodeSessionPacket(ev.data.data(), ev.data.size());
  if (!p) return;
  if (joining_ == Joining::Waiting) {
    if (p->kind == PacketKind::Refused) joining_ = Joining::Failed;
    if (p->kind != PacketKind::Welcome || p->id == 0) return;
    localId_ = p->id;
    players_ = std::move(p->players);
    joining_ = Joining::Admitted;
    return;
  }
  switch (p->kind) {
    case PacketKind::PlayerJoined:
      if (p->id != 0 && !KnownPlayer(p->id) && players_.size() < static_cast<size_t>(kMaxListedPlayers))
        players_.push_back({p->id, std::move(p->name)});
      break;
    case PacketKind::PlayerLeft:
      std::erase_if(players_, [&](const PlayerEntry& e) { return e.id == p->id && e.id != localId_; });
      break;
    case PacketKind::FromHost:
      DeliverLocally(p->id, p->message);
      break;
    default:
      break;
  }
}

// ---- Sending ----

bool Multiplayer::KnownPlayer(int32_t id) const {
  return std::any_of(players_.begin(), players_.end(), [&](const PlayerEntry& e) { return e.id == id; });
}

const Multiplayer::Remote* Multiplayer::RemoteById(int32_t id) const {
  for (const Remote& r : remotes_)
    if (r.id == id) return &r;
  return nullptr;
}

bool Multiplayer::Route(int32_t sender, int32_t to, const Bytes& message, bool reliable, uint32_t fromPeer) {
  SessionPacket relay;
  relay.kind = PacketKind::FromHost;
  relay.id = sender;
  relay.message = message;
  if (to == 0) {
    const Bytes packet = EncodeSessionPacket(relay);
    for (const Remote& r : remotes_)
      if (r.peer != fromPeer) net_->Send(r.peer, packet, reliable);
    if (sender != localId_) DeliverLocally(sender, message);
    return true;
  }
  if (to == localId_) {
    DeliverLocally(sender, message);
    return true;
  }
  const Remote* r = RemoteById(to);
  return r && net_->Send(r->peer, EncodeSessionPacket(relay), reliable);
}

bool Multiplayer::Dispatch(int32_t to, const Bytes& message, bool reliable) {
  if (state_ == kSessionCreated) return Route(localId_, to, message, reliable, 0);
  if (state_ != kSessionJoined) return false;
  if (to == localId_) {
    DeliverLocally(localId_, message);
    return true;
  }
  if (to != 0 && !KnownPlayer(to)) return false;
  SessionPacket out;
  out.kind = PacketKind::ToHost;
  out.id = to;
  out.message = message;
  return net_->Send(hostPeer_, EncodeSessionPacket(out), reliable);
}

void Multiplayer::DeliverLocally(int32_t sender, const Bytes& message) {
  auto m = DecodeMessage(message.data(), message.size());
  if (!m) return;
  const size_t size = PendingSize(*m);
  if (pendingBytes_ + size > kMaxPendingBytes) return;
  pendingBytes_ += size;
  pending_.push_back({sender, std::move(*m)});
}

bool Multiplayer::SendMessage(int32_t to, int32_t id, const RValue& value, bool guaranteed) {
  if (kind_ == kNoConnection || state_ == kNoSession) return false;
  return Dispatch(to, EncodeMessage(true, id, value), guaranteed);
}

bool Multiplayer::WriteData(int64_t index, const RValue& value) {
  if (kind_ == kNoConnection || state_ == kNoSession || index < 0 || index > kMaxDataIndex) return false;
  if (!Dispatch(0, EncodeMessage(false, static_cast<int32_t>(index), value), dataGuaranteed_)) return false;
  data_[static_cast<int32_t>(index)] = value;
  return true;
}

// ---- Receiving ----

void Multiplayer::Receive() {
  Service();
  while (!pending_.empty()) {
    Pending p = std::move(pending_.front());
    pending_.pop_front();
    pendingBytes_ -= std::min(pendingBytes_, PendingSize(p.message));
    if (p.sender == 0) continue;  // system messages
    TMess& m = p.message;
    m.player = p.sender;
    if (m.isMessage) {
      Enqueue(m);
    } else if (m.id >= 0 && m.id <= kMaxDataIndex) {
      data_[m.id] = std::move(m.value);
    }
  }
}

void Multiplayer::Enqueue(const TMess& m) {
  if (queue_.size() >= kQueueCapacity) {
    // Full: make room by removing what was consumed, keeping the order; still full, the message is dropped.
    std::erase_if(queue_, [](const QueueEntry& e) { return e.consumed; });
    firstUnconsumed_ = 0;
    if (queue_.size() >= kQueueCapacity) return;
  }
  queue_.push_back({m, false});
}

void Multiplayer::AdvanceFirstUnconsumed() {
  while (firstUnconsumed_ < queue_.size() && queue_[firstUnconsumed_].consumed) ++firstUnconsumed_;
}

bool Multiplayer::TakeMessage(int32_t from) {
  for (size_t i = firstUnconsumed_; i < queue_.size(); ++i) {
    if (!Matches(queue_[i], from)) continue;
    queue_[i].consumed = true;
    last_ = queue_[i].message;
    AdvanceFirstUnconsumed();
    return true;
  }
  return false;
}

bool Multiplayer::ReceiveMessage(int32_t from) {
  if (kind_ == kNoConnection || state_ == kNoSession) return false;
  // Whatever is still waiting in the network arrived after every queued message: taking a queued one first gives
  // the same message, and a game that empties the queue in a loop asks the network once, not once per message.
  if (TakeMessage(from)) return true;
  Receive();
  return TakeMessage(from);
}

int Multiplayer::CountMessages(int32_t from) {
  if (kind_ == kNoConnection || state_ == kNoSession) return 0;
  Receive();
  return static_cast<int>(std::count_if(queue_.begin() + static_cast<ptrdiff_t>(firstUnconsumed_), queue_.end(),
                                        [&](const QueueEntry& e) { return Matches(e, from); }));
}

bool Multiplayer::ClearMessages(int32_t from) {
  if (kind_ == kNoConnection || state_ == kNoSession) return false;
  Receive();
  for (QueueEntry& e : queue_)
    if (from == 0 || e.message.player == from) e.consumed = true;
  std::erase_if(queue_, [](const QueueEntry& e) { return e.consumed; });
  firstUnconsumed_ = 0;
  return true;
}

RValue Multiplayer::ReadData(int64_t index) {
  if (kind_ == kNoConnection || state_ == kNoSession) return RValue(0.0);
  Receive();
  if (state_ == kNoSession || index < 0 || index > kMaxDataIndex) return RValue(0.0);
  auto it = data_.find(static_cast<int32_t>(index));
  return it == data_.end() ? RValue(0.0) : it->second;
}

// ---- Players ----

int Multiplayer::FindPlayers() {
  foundPlayers_.clear();
  if (kind_ == kNoConnection || state_ == kNoSession) return 0;
  Service();
  for (const PlayerEntry& e : players_)
    if (e.id == localId_) foundPlayers_.push_back(e);
  for (const PlayerEntry& e : players_)
    if (e.id != localId_) foundPlayers_.push_back(e);
  return static_cast<int>(foundPlayers_.size());
}

std::string Multiplayer::PlayerName(int n) const {
  return n >= 0 && n < static_cast<int>(foundPlayers_.size()) ? foundPlayers_[static_cast<size_t>(n)].name
                                                              : std::string();
}

int32_t Multiplayer::PlayerId(int n) const {
  return n >= 0 && n < static_cast<int>(foundPlayers_.size()) ? foundPlayers_[static_cast<size_t>(n)].id : 0;
}

std::optional<int32_t> Multiplayer::PlayerIdByName(const std::string& name) {
  FindPlayers();
  for (const PlayerEntry& e : foundPlayers_)
    if (e.name == name) return e.id;
  return std::nullopt;
}

std::string Multiplayer::LastMessageName() {
  FindPlayers();
  for (const PlayerEntry& e : foundPlayers_)
    if (e.id == last_.player && e.id != 0) return e.name;
  return "(unknown)";
}

// ---- The process's instance ----

namespace {
Multiplayer* g_active = nullptr;
}

Multiplayer& ActiveMultiplayer() {
  if (g_active) return *g_active;
  static Multiplayer own;
  return own;
}

void SetActiveMultiplayer(Multiplayer* m) { g_active = m; }

}  // namespace kv::mplay
