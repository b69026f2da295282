// Several players in one test process: each has its own multiplayer state; calls to the mplay_* functions go to
// the player chosen with As(), and a player waiting for the network runs the others meanwhile.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "functions/call_builtin.h"
#include "multiplayer/mplay_session.h"
#include "platform/net/loopback_network.h"
#include "runner/runner_wiring.h"

namespace kv::test {

inline const mplay::Guid kGameGuid = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

class PlayersInOneProcess {
 public:
  // factory: the network each player gets; findWaitMs: how long a session search gathers replies.
  PlayersInOneProcess(int count, mplay::NetworkFactory factory, int findWaitMs) {
    RegisterAllBuiltinFunctions();
    for (int i = 0; i < count; ++i) {
      auto m = std::make_unique<mplay::Multiplayer>();
      m->SetNetworkFactory(factory);
      m->SetGameGuid(kGameGuid);
      m->SetFindWait(findWaitMs);
      m->SetJoinTimeout(2000);
      Multiplayer* self = m.get();
      m->SetWaitPump([this, self] {
        for (auto& other : players_)
          if (other.get() != self) other->Service();
      });
      players_.push_back(std::move(m));
    }
  }
  ~PlayersInOneProcess() {
    mplay::SetActiveMultiplayer(nullptr);
    // Players leave first, the host last (its network is the one the others are connected to).
    for (auto it = players_.rbegin(); it != players_.rend(); ++it) (*it)->End();
  }

  using Multiplayer = mplay::Multiplayer;
  Multiplayer& operator[](size_t i) { return *players_[i]; }
  // Makes player i the one the mplay_* functions act on.
  BuiltinCaller& As(size_t i) {
    mplay::SetActiveMultiplayer(players_[i].get());
    return call;
  }
  // One step of every player: traffic moves and the host relays.
  void Step(int times = 1) {
    for (int t = 0; t < times; ++t)
      for (auto& p : players_) p->Service();
  }

  BuiltinCaller call;

 private:
  std::vector<std::unique_ptr<Multiplayer>> players_;
};

}  // namespace kv::test
