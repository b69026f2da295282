// Two players in one process over the real network on this machine: discovery by a direct query and by
// broadcast, joining, guaranteed and plain messages, shared data, and the host leaving.
#include <unistd.h>

#include <chrono>
#include <functional>

#include "multiplayer/mplay_fixture.h"

namespace kv {
namespace {

using test::S;

// A port of this test process alone (tests run in parallel processes).
std::string AddressWithOwnPort(const std::string& host, int offset) {
  return host + ":" + std::to_string(30000 + (getpid() * 7 + offset) % 20000);
}

class MplayEnet : public ::testing::Test {
 protected:
  MplayEnet() : players(2, [] { return plat::CreateEnetNetwork(); }, 200) {}

  // Steps both players until done() holds (at most two seconds).
  bool StepUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
      players.Step();
      if (done()) return true;
      usleep(1000);
    }
    return false;
  }

  test::PlayersInOneProcess players;
};

TEST_F(MplayEnet, TwoPlayersOnThisMachineExchangeMessagesAndData) {
  const std::string address = AddressWithOwnPort("127.0.0.1", 0);
  ASSERT_EQ(players.As(0).Real("mplay_init_tcpip", {S(address)}), 1);
  ASSERT_EQ(players.As(0).Real("mplay_session_create", {S("Duel"), 2.0, S("hank")}), 1);
  ASSERT_EQ(players.As(1).Real("mplay_init_tcpip", {S(address)}), 1);
  ASSERT_EQ(players.As(1).Real("mplay_session_find"), 1);
  EXPECT_EQ(players.As(1).Str("mplay_session_name", {0.0}), "Duel");
  ASSERT_EQ(players.As(1).Real("mplay_session_join", {0.0, S("alice")}), 1);
  EXPECT_EQ(players.As(1).Real("mplay_player_find"), 2);
  EXPECT_EQ(players.As(1).Str("mplay_player_name", {1.0}), "hank");
  ASSERT_TRUE(StepUntil([&] { return players.As(0).Real("mplay_player_find") == 2; }));
  EXPECT_EQ(players.As(0).Str("mplay_player_name", {1.0}), "alice");

  // Guaranteed messages keep their order; a plain one arrives on a quiet local network too.
  for (int i = 0; i < 20; ++i)
    ASSERT_EQ(players.As(1).Real("mplay_message_send_guaranteed", {0.0, double(i), S("m" + std::to_string(i))}), 1);
  ASSERT_EQ(players.As(0).Real("mplay_message_send", {S("alice"), 99.0, 0.25}), 1);
  ASSERT_EQ(players.As(1).Real("mplay_data_mode", {1.0}), 1);
  ASSERT_EQ(players.As(1).Real("mplay_data_write", {3.0, S("pos")}), 1);
  ASSERT_TRUE(StepUntil([&] { return players.As(0).Real("mplay_message_count", {0.0}) == 20; }));
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(players.As(0).Real("mplay_message_receive", {0.0}), 1);
    EXPECT_EQ(players.As(0).Real("mplay_message_id"), i);
    EXPECT_EQ(players.As(0).Str("mplay_message_name"), "alice");
  }
  EXPECT_EQ(players.As(0).Str("mplay_data_read", {3.0}), "pos");
  ASSERT_TRUE(StepUntil([&] { return players.As(1).Real("mplay_message_receive", {0.0}) == 1; }));
  EXPECT_EQ(players.As(1).Real("mplay_message_value"), 0.25);

  // The host leaving ends the session for the other player.
  ASSERT_EQ(players.As(0).Real("mplay_session_end"), 1);
  EXPECT_TRUE(StepUntil([&] { return players.As(1).Real("mplay_session_status") == 0; }));
}

TEST_F(MplayEnet, BroadcastDiscoveryFindsASessionOnThisMachine) {
  const std::string port = AddressWithOwnPort("", 1);  // ":port": search by broadcast on that port
  ASSERT_EQ(players.As(0).Real("mplay_init_tcpip", {S(port)}), 1);
  ASSERT_EQ(players.As(1).Real("mplay_init_tcpip", {S(port)}), 1);
  EXPECT_EQ(players.As(1).Real("mplay_session_find"), 0);
  ASSERT_EQ(players.As(0).Real("mplay_session_create", {S("Open"), 0.0, S("hank")}), 1);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(players.As(1).Real("mplay_session_find"), 1);  // listed once though it may answer several queries
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(190));
  EXPECT_LT(waited, std::chrono::milliseconds(1000));
  EXPECT_EQ(players.As(1).Real("mplay_session_join", {0.0, S("alice")}), 1);
  // Another game on the same port is not listed.
  mplay::Guid other = test::kGameGuid;
  other[15] ^= 1;
  players[1].SetGameGuid(other);
  EXPECT_EQ(players.As(1).Real("mplay_session_find"), 0);
}

TEST(MplayAddress, IpAddressIsDottedDecimalOrEmpty) {
  RegisterAllBuiltinFunctions();
  test::BuiltinCaller call;
  const std::string ip = call.Str("mplay_ipaddress");
  if (!ip.empty()) {
    int dots = 0;
    for (char c : ip) dots += c == '.';
    EXPECT_EQ(dots, 3) << ip;
    EXPECT_NE(ip.rfind("127.", 0), 0u) << ip;
  }
}

}  // namespace
}  // namespace kv
