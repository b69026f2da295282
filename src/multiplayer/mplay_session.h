#pragma once
// One game's view of multiplayer play: its connection, the session it created or joined, the players of that
// session, the queue of received messages and the shared data array.
//
// Sessions form a star: the game that creates a session hosts it, gives every joining player its id, keeps the
// player list (sent to each new player, then kept up to date by join and leave notices) and hands every message on
// to its destination (one player, or all but the sender). Game messages wait in a buffer when they arrive and reach
// the queue and the shared data only when the game asks (the receiving calls), one by one in arrival order.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "code/code_value.h"
#include "multiplayer/mplay_wire.h"
#include "platform/network.h"

namespace kv::mplay {

enum ConnectionKind : int { kNoConnection = 0, kIpx = 1, kTcpip = 2, kModem = 3, kSerial = 4 };
enum SessionState : int { kNoSession = 0, kSessionCreated = 1, kSessionJoined = 2 };

inline constexpr size_t kQueueCapacity = 4000;
inline constexpr int64_t kMaxDataIndex = 1000000;
inline constexpr uint16_t kDefaultPort = 47810;      // discovery port when the address names none
inline constexpr int kDefaultFindWaitMs = 200;       // how long a session search gathers replies
inline constexpr int kDefaultJoinTimeoutMs = 3000;   // connecting and being let in, together
inline constexpr size_t kMaxFoundSessions = 256;
// Arrived game messages the game has not asked for yet are kept up to this size; beyond it they are dropped.
inline constexpr size_t kMaxPendingBytes = 64u << 20;

using NetworkFactory = std::function<std::unique_ptr<plat::INetwork>()>;

struct FoundSession {
  Guid instance{};
  std::string name;
  std::string host;
  uint16_t sessionPort = 0;
};

class Multiplayer {
 public:
  Multiplayer();
  ~Multiplayer();
  Multiplayer(const Multiplayer&) = delete;
  Multiplayer& operator=(const Multiplayer&) = delete;

  // Set-up by the runner (game GUID) and by tests (an in-process network, a pump that runs the other players of
  // the same process while this one waits, shorter waits).
  void SetNetworkFactory(NetworkFactory factory) { factory_ = std::move(factory); }
  void SetGameGuid(const Guid& guid) { guid_ = guid; }
  void SetWaitPump(std::function<void()> pump) { pump_ = std::move(pump); }
  void SetFindWait(int ms) { findWaitMs_ = ms; }
  void SetJoinTimeout(int ms) { joinTimeoutMs_ = ms; }

  // Connection. "host", "host:port" or "" (search the local networks by broadcast), on the default port when none
  // is given. Fails when a connection exists or the address is not valid.
  bool InitTcpip(const std::string& address);
  // The kinds this system has no device for: one line on stderr, failure.
  bool InitUnavailable(ConnectionKind kind, const char* function);
  int Connection() const { return kind_; }
  bool End();

  // Sessions.
  void SetSessionMode(bool migrate) { hostMigration_ = migrate; }
  bool CreateSession(const std::string& name, int maxPlayers, const std::string& playerName);
  int FindSessions();
  std::string SessionName(int n) const;
  bool JoinSession(int n, const std::string& playerName);
  int Session() const { return state_; }
  bool EndSession();

  // Players: a fresh search puts the local player first, then the others in session order.
  int FindPlayers();
  std::string PlayerName(int n) const;
  int32_t PlayerId(int n) const;
  // The id of the first player named so in a fresh search.
  std::optional<int32_t> PlayerIdByName(const std::string& name);

  // Shared data.
  bool WriteData(int64_t index, const RValue& value);
  RValue ReadData(int64_t index);
  void SetDataMode(bool guaranteed) { dataGuaranteed_ = guaranteed; }

  // Messages. A destination or sender of 0 means every player.
  bool SendMessage(int32_t to, int32_t id, const RValue& value, bool guaranteed);
  bool ReceiveMessage(int32_t from);
  int CountMessages(int32_t from);
  bool ClearMessages(int32_t from);
  const TMess& LastMessage() const { return last_; }
  std::string LastMessageName();

  // Moves network traffic, lets players in and out and relays (host); called every step.
  void Service();

  int32_t LocalPlayerId() const { return localId_; }
  size_t QueueSize() const { return queue_.size(); }

 private:
  struct Remote {
    uint32_t peer = 0;
    int32_t id = 0;
  };
  struct Pending {
    int32_t sender;
    TMess message;
  };
  struct QueueEntry {
    TMess message;
    bool consumed = false;
  };
  using Clock = std::chrono::steady_clock;

  void ResetSession();
  void CloseNetwork();
  void Pump();
  void HandleEvent(plat::NetEvent& ev);
  void HandleAsHost(plat::NetEvent& ev);
  void HandleAsPlayer(plat::NetEvent& ev);
  void AdmitPlayer(uint32_t peer, const SessionPacket& request);
  void DropPeer(uint32_t peer);
  plat::NetBytes AnswerDiscovery(const plat::NetBytes& query) const;
  // Hands a message on from sender (fromPeer 0: the local player) to one player or all others (host only).
  bool Route(int32_t sender, int32_t to, const Bytes& message, bool reliable, uint32_t fromPeer);
  bool Dispatch(int32_t to, const Bytes& message, bool reliable);
  void DeliverLocally(int32_t sender, const Bytes& message);
  // Takes the arrived game messages into the queue and the shared data (the receiving calls).
  void Receive();
  void Enqueue(const TMess& m);
  bool TakeMessage(int32_t from);
  void AdvanceFirstUnconsumed();
  bool Matches(const QueueEntry& e, int32_t from) const { return !e.consumed && (from == 0 || e.message.player == from); }
  const Remote* RemoteById(int32_t id) const;
  bool KnownPlayer(int32_t id) const;

  NetworkFactory factory_;
  std::function<void()> pump_;
  Guid guid_{};
  int findWaitMs_ = kDefaultFindWaitMs;
  int joinTimeoutMs_ = kDefaultJoinTimeoutMs;

  int kind_ = kNoConnection;
  std::string host_;
  uint16_t port_ = kDefaultPort;
  std::unique_ptr<plat::INetwork> net_;

  int state_ = kNoSession;
  bool hostMigration_ = false;
  bool dataGuaranteed_ = false;
  std::string sessionName_;
  int maxPlayers_ = 0;
  Guid instance_{};
  int32_t localId_ = 0;
  std::vector<PlayerEntry> players_;  // every player of the session in session order, the local one included
  std::vector<Remote> remotes_;       // host: joined players and their connections
  int32_t nextPlayerId_ = 1;
  uint32_t hostPeer_ = 0;             // player: the connection to the host
  enum class Joining { No, Waiting, Admitted, Failed } joining_ = Joining::No;
  std::string joinName_;

  std::vector<FoundSession> sessions_;
  std::vector<PlayerEntry> foundPlayers_;

  std::deque<Pending> pending_;
  size_t pendingBytes_ = 0;
  std::vector<QueueEntry> queue_;
  size_t firstUnconsumed_ = 0;
  std::unordered_map<int32_t, RValue> data_;  // shared values written so far (others read 0)
  TMess last_;
};

// The game's multiplayer state (one per process); tests may put another in its place.
Multiplayer& ActiveMultiplayer();
void SetActiveMultiplayer(Multiplayer* m);  // null: back to the process's own

}  // namespace kv::mplay
