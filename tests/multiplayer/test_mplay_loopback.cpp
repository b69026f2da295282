// Multiplayer play between players of one process over the in-process network: connections, sessions, player
// lists, messages, shared data, the message queue's limit, failure results and hostile packets.
#include <string>

#include "multiplayer/mplay_fixture.h"

namespace kv {
namespace {

using test::S;

class MplayLoopback : public ::testing::Test {
 protected:
  MplayLoopback() : players(3, [this] { return hub.CreateEndpoint(); }, 0) {}

  // Player 0 hosts "Arena" (at most maxPlayers) as "hank"; player 1 joins as "alice", player 2 as "bob".
  void StartSession(int maxPlayers = 0, bool withBob = true) {
    ASSERT_EQ(players.As(0).Real("mplay_init_tcpip", {S("")}), 1);
    ASSERT_EQ(players.As(0).Real("mplay_session_create", {S("Arena"), double(maxPlayers), S("hank")}), 1);
    Join(1, "alice");
    if (withBob) Join(2, "bob");
  }
  void Join(size_t who, const std::string& name) {
    ASSERT_EQ(players.As(who).Real("mplay_init_tcpip", {S("")}), 1);
    ASSERT_EQ(players.As(who).Real("mplay_session_find"), 1);
    ASSERT_EQ(players.As(who).Real("mplay_session_join", {0.0, S(name)}), 1);
    players.Step();
  }
  int32_t Id(size_t who) { return players[who].LocalPlayerId(); }
  double Count(size_t who, RValue from = 0.0) { return players.As(who).Real("mplay_message_count", {from}); }

  plat::LoopbackHub hub;
  test::PlayersInOneProcess players;
};

TEST_F(MplayLoopback, ConnectionsOpenOnceAndOtherKindsAreUnavailable) {
  auto& c = players.As(0);
  EXPECT_EQ(c.Real("mplay_connect_status"), 0);
  EXPECT_EQ(c.Real("mplay_end"), 0);
  // A port that is no port is refused; the connection stays closed.
  EXPECT_EQ(c.Real("mplay_init_tcpip", {S("example:http")}), 0);
  EXPECT_EQ(c.Real("mplay_init_tcpip", {S("example:70000")}), 0);
  EXPECT_EQ(c.Real("mplay_connect_status"), 0);

  testing::internal::CaptureStderr();
  EXPECT_EQ(c.Real("mplay_init_ipx"), 0);
  EXPECT_EQ(c.Real("mplay_init_modem", {S("ATZ"), S("555")}), 0);
  EXPECT_EQ(c.Real("mplay_init_serial", {1.0, 9600.0, 0.0, 0.0, 0.0}), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "mplay_init_ipx: IPX connections are not available on this system\n"
            "mplay_init_modem: modem connections are not available on this system\n"
            "mplay_init_serial: serial connections are not available on this system\n");

  EXPECT_EQ(c.Real("mplay_init_tcpip", {S("example:")}), 1);  // the default port
  EXPECT_EQ(c.Real("mplay_end"), 1);
  EXPECT_EQ(c.Real("mplay_init_tcpip", {S("127.0.0.1:5000")}), 1);
  EXPECT_EQ(c.Real("mplay_connect_status"), 2);
  EXPECT_EQ(c.Real("mplay_init_tcpip", {S("")}), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(c.Real("mplay_init_ipx"), 0);  // a connection exists: refused before anything else
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(c.Real("mplay_end"), 1);
  EXPECT_EQ(c.Real("mplay_connect_status"), 0);
  EXPECT_EQ(c.Real("mplay_init_tcpip", {S("")}), 1);
}

TEST_F(MplayLoopback, SessionAndPlayerFunctionsFailWithoutASession) {
  auto& c = players.As(0);
  for (int connected = 0; connected < 2; ++connected) {
    SCOPED_TRACE(connected ? "connected" : "no connection");
    if (connected) {
      ASSERT_EQ(c.Real("mplay_init_tcpip", {S("")}), 1);
    }
    EXPECT_EQ(c.Real("mplay_session_status"), 0);
    EXPECT_EQ(c.Real("mplay_session_find"), 0);  // nobody hosts
    EXPECT_EQ(c.Str("mplay_session_name", {0.0}), "");
    EXPECT_EQ(c.Real("mplay_session_join", {0.0, S("x")}), 0);
    EXPECT_EQ(c.Real("mplay_session_end"), 0);
    EXPECT_EQ(c.Real("mplay_player_find"), 0);
    EXPECT_EQ(c.Str("mplay_player_name", {0.0}), "");
    EXPECT_EQ(c.Real("mplay_player_id", {0.0}), 0);
    EXPECT_EQ(c.Real("mplay_data_write", {5.0, 1.0}), 0);
    EXPECT_EQ(c.Real("mplay_data_read", {5.0}), 0);
    EXPECT_EQ(c.Real("mplay_message_send", {0.0, 1.0, 1.0}), 0);
    EXPECT_EQ(c.Real("mplay_message_send_guaranteed", {0.0, 1.0, 1.0}), 0);
    EXPECT_EQ(c.Real("mplay_message_receive", {0.0}), 0);
    EXPECT_EQ(c.Real("mplay_message_count", {0.0}), 0);
    EXPECT_EQ(c.Real("mplay_message_clear", {0.0}), 0);
    EXPECT_EQ(c.Real("mplay_message_id"), 0);
    EXPECT_EQ(c.Real("mplay_message_player"), 0);
    EXPECT_EQ(c.Real("mplay_message_value"), 0);
    EXPECT_EQ(c.Str("mplay_message_name"), "(unknown)");
  }
  // Modes are settings and always succeed.
  EXPECT_EQ(c.Real("mplay_session_mode", {1.0}), 1);
  EXPECT_EQ(c.Real("mplay_data_mode", {1.0}), 1);
  EXPECT_EQ(players.As(1).Real("mplay_session_create", {S("x"), 0.0, S("y")}), 0);  // no connection
}

TEST_F(MplayLoopback, SessionsAreCreatedFoundJoinedAndEnded) {
  StartSession(0, false);
  auto& host = players.As(0);
  EXPECT_EQ(host.Real("mplay_session_status"), 1);
  EXPECT_EQ(host.Real("mplay_session_create", {S("Again"), 0.0, S("h")}), 0);  // one session at a time
  EXPECT_EQ(players.As(1).Real("mplay_session_status"), 2);
  EXPECT_EQ(players.As(1).Str("mplay_session_name", {0.0}), "Arena");
  EXPECT_EQ(players.As(1).Str("mplay_session_name", {1.0}), "");
  EXPECT_EQ(players.As(1).Str("mplay_session_name", {-1.0}), "");

  // Every player sees itself first, then the others in session order; ids are non-zero and distinct.
  EXPECT_EQ(players.As(0).Real("mplay_player_find"), 2);
  EXPECT_EQ(players.As(0).Str("mplay_player_name", {0.0}), "hank");
  EXPECT_EQ(players.As(0).Str("mplay_player_name", {1.0}), "alice");
  EXPECT_EQ(players.As(0).Str("mplay_player_name", {2.0}), "");
  EXPECT_EQ(players.As(0).Real("mplay_player_id", {2.0}), 0);
  Join(2, "bob");
  EXPECT_EQ(players.As(1).Real("mplay_player_find"), 3);
  EXPECT_EQ(players.As(1).Str("mplay_player_name", {0.0}), "alice");
  EXPECT_EQ(players.As(1).Str("mplay_player_name", {1.0}), "hank");
  EXPECT_EQ(players.As(1).Str("mplay_player_name", {2.0}), "bob");
  EXPECT_EQ(players.As(1).Real("mplay_player_id", {1.0}), Id(0));
  EXPECT_EQ(players.As(1).Real("mplay_player_id", {2.0}), Id(2));
  EXPECT_NE(Id(0), 0);
  EXPECT_NE(Id(1), Id(0));
  EXPECT_NE(Id(2), Id(1));

  // A player leaving disappears from every list.
  EXPECT_EQ(players.As(2).Real("mplay_session_end"), 1);
  EXPECT_EQ(players.As(2).Real("mplay_session_status"), 0);
  EXPECT_EQ(players.As(2).Real("mplay_connect_status"), 2);
  players.Step();
  EXPECT_EQ(players.As(1).Real("mplay_player_find"), 2);
  EXPECT_EQ(players.As(0).Real("mplay_player_find"), 2);
  // It can join again; the host ending the session ends it for everyone.
  EXPECT_EQ(players.As(2).Real("mplay_session_find"), 1);
  EXPECT_EQ(players.As(2).Real("mplay_session_join", {0.0, S("bob")}), 1);
  EXPECT_EQ(players.As(0).Real("mplay_session_end"), 1);
  players.Step();
  EXPECT_EQ(players.As(1).Real("mplay_session_status"), 0);
  EXPECT_EQ(players.As(2).Real("mplay_session_status"), 0);
  EXPECT_EQ(players.As(1).Real("mplay_session_find"), 0);
}

TEST_F(MplayLoopback, SessionsOfOtherGamesAndFullSessionsStayClosed) {
  StartSession(2, false);
  ASSERT_EQ(players.As(2).Real("mplay_init_tcpip", {S("")}), 1);
  ASSERT_EQ(players.As(2).Real("mplay_session_find"), 1);
  EXPECT_EQ(players.As(2).Real("mplay_session_join", {0.0, S("bob")}), 0);  // full at two players
  EXPECT_EQ(players.As(2).Real("mplay_session_status"), 0);
  EXPECT_EQ(players.As(2).Real("mplay_session_join", {1.0, S("bob")}), 0);  // no such session
  mplay::Guid other = test::kGameGuid;
  other[0] ^= 0xFF;
  players[2].SetGameGuid(other);
  EXPECT_EQ(players.As(2).Real("mplay_session_find"), 0);
  EXPECT_EQ(players.As(0).Real("mplay_player_find"), 2);
}

TEST_F(MplayLoopback, MessagesArriveInOrderDirectedOrToAll) {
  StartSession();
  const double hank = Id(0), alice = Id(1), bob = Id(2);
  auto& h = players.As(0);
  EXPECT_EQ(h.Real("mplay_message_send", {alice, 1.0, S("to alice")}), 1);
  EXPECT_EQ(h.Real("mplay_message_send_guaranteed", {0.0, 2.0, 2.5}), 1);
  EXPECT_EQ(h.Real("mplay_message_send", {S("bob"), 3.0, S("by name")}), 1);
  EXPECT_EQ(h.Real("mplay_message_send", {S("nobody"), 3.0, 0.0}), 0);
  EXPECT_EQ(h.Real("mplay_message_send", {12345.0, 3.0, 0.0}), 0);  // no such player
  // Player to player goes through the host.
  EXPECT_EQ(players.As(1).Real("mplay_message_send_guaranteed", {bob, 4.0, S("hi bob")}), 1);
  EXPECT_EQ(players.As(1).Real("mplay_message_send", {0.0, 5.0, S("all")}), 1);
  players.Step();

  auto& a = players.As(1);
  EXPECT_EQ(a.Real("mplay_message_count", {0.0}), 2);
  ASSERT_EQ(a.Real("mplay_message_receive", {0.0}), 1);
  EXPECT_EQ(a.Real("mplay_message_id"), 1);
  EXPECT_EQ(a.Str("mplay_message_value"), "to alice");
  EXPECT_EQ(a.Real("mplay_message_player"), hank);
  EXPECT_EQ(a.Str("mplay_message_name"), "hank");
  ASSERT_EQ(a.Real("mplay_message_receive", {0.0}), 1);
  EXPECT_EQ(a.Real("mplay_message_value"), 2.5);
  EXPECT_EQ(a.Real("mplay_message_receive", {0.0}), 0);  // its own broadcast does not come back

  // Bob: hank's broadcast and directed message, then alice's two, in arrival order; a sender filter skips the
  // others, which stay queued.
  auto& b = players.As(2);
  EXPECT_EQ(b.Real("mplay_message_count", {0.0}), 4);
  EXPECT_EQ(b.Real("mplay_message_count", {alice}), 2);
  ASSERT_EQ(b.Real("mplay_message_receive", {alice}), 1);
  EXPECT_EQ(b.Str("mplay_message_value"), "hi bob");
  EXPECT_EQ(b.Real("mplay_message_player"), alice);
  ASSERT_EQ(b.Real("mplay_message_receive", {S("alice")}), 1);
  EXPECT_EQ(b.Str("mplay_message_value"), "all");
  EXPECT_EQ(b.Real("mplay_message_receive", {S("nobody")}), 0);
  EXPECT_EQ(b.Real("mplay_message_count", {0.0}), 2);
  ASSERT_EQ(b.Real("mplay_message_receive", {0.0}), 1);
  EXPECT_EQ(b.Real("mplay_message_id"), 2);
  ASSERT_EQ(b.Real("mplay_message_receive", {0.0}), 1);
  EXPECT_EQ(b.Str("mplay_message_value"), "by name");

  auto& h2 = players.As(0);
  EXPECT_EQ(h2.Real("mplay_message_count", {0.0}), 1);
  EXPECT_EQ(h2.Real("mplay_message_clear", {0.0}), 1);
  EXPECT_EQ(h2.Real("mplay_message_count", {0.0}), 0);

  // A sender that has left keeps its messages but no longer has a name.
  EXPECT_EQ(players.As(2).Real("mplay_message_send", {hank, 6.0, 1.0}), 1);
  EXPECT_EQ(players.As(2).Real("mplay_session_end"), 1);
  players.Step();
  ASSERT_EQ(players.As(0).Real("mplay_message_receive", {bob}), 1);
  EXPECT_EQ(players.As(0).Str("mplay_message_name"), "(unknown)");
}

TEST_F(MplayLoopback, LongStringsAreCutAndSendingToSelfArrives) {
  StartSession(0, false);
  const std::string big(40000, 'x');
  EXPECT_EQ(players.As(0).Real("mplay_message_send_guaranteed", {0.0, 9.0, S(big)}), 1);
  players.Step();
  EXPECT_EQ(players.As(1).Real("mplay_message_send", {double(Id(1)), 10.0, S("me")}), 1);
  auto& a = players.As(1);
  ASSERT_EQ(a.Real("mplay_message_receive", {0.0}), 1);
  EXPECT_TRUE(a.Str("mplay_message_value") == std::string(32000, 'x'));
  ASSERT_EQ(a.Real("mplay_message_receive", {0.0}), 1);
  EXPECT_EQ(a.Str("mplay_message_value"), "me");
  EXPECT_EQ(a.Real("mplay_message_player"), Id(1));
}

TEST_F(MplayLoopback, SharedDataWritesAreSeenByAll) {
  StartSession();
  EXPECT_EQ(players.As(0).Real("mplay_data_read", {5.0}), 0);
  EXPECT_EQ(players.As(1).Real("mplay_data_write", {5.0, S("a")}), 1);
  EXPECT_EQ(players.As(1).Str("mplay_data_read", {5.0}), "a");  // the writer's own copy at once
  EXPECT_EQ(players.As(1).Real("mplay_data_write", {1000000.0, 7.0}), 1);
  EXPECT_EQ(players.As(1).Real("mplay_data_write", {1000001.0, 1.0}), 0);
  EXPECT_EQ(players.As(1).Real("mplay_data_write", {-1.0, 1.0}), 0);
  EXPECT_EQ(players.As(1).Real("mplay_data_mode", {1.0}), 1);
  EXPECT_EQ(players.As(1).Real("mplay_data_write", {6.0, 6.0}), 1);
  players.Step();
  for (size_t p : {0, 2}) {
    SCOPED_TRACE(p);
    EXPECT_EQ(players.As(p).Str("mplay_data_read", {5.0}), "a");
    EXPECT_EQ(players.As(p).Real("mplay_data_read", {1000000.0}), 7);
    EXPECT_EQ(players.As(p).Real("mplay_data_read", {6.0}), 6);
    EXPECT_EQ(players.As(p).Real("mplay_data_read", {4.0}), 0);
    EXPECT_EQ(players.As(p).Real("mplay_data_read", {2000000.0}), 0);
  }
  // Data updates never enter the message queue.
  EXPECT_EQ(Count(2), 0);
  // Without a session the data reads 0.
  EXPECT_EQ(players.As(2).Real("mplay_session_end"), 1);
  EXPECT_EQ(players.As(2).Real("mplay_data_read", {5.0}), 0);
}

TEST_F(MplayLoopback, TheQueueHoldsFourThousandMessages) {
  StartSession(0, false);
  const double alice = Id(1);
  for (int i = 0; i < 4005; ++i) players.As(0).Real("mplay_message_send", {alice, double(i), double(i)});
  EXPECT_EQ(Count(1), 4000);  // the last five were dropped
  for (int i = 0; i < 10; ++i) ASSERT_EQ(players.As(1).Real("mplay_message_receive", {0.0}), 1);
  EXPECT_EQ(players.As(1).Real("mplay_message_id"), 9);
  EXPECT_EQ(players[1].QueueSize(), 4000u);  // consumed entries stay until room is needed
  for (int i = 0; i < 20; ++i) players.As(0).Real("mplay_message_send", {alice, double(10000 + i), 0.0});
  EXPECT_EQ(Count(1), 4000);  // ten made room for, ten dropped
  EXPECT_EQ(players[1].QueueSize(), 4000u);
  ASSERT_EQ(players.As(1).Real("mplay_message_receive", {0.0}), 1);
  EXPECT_EQ(players.As(1).Real("mplay_message_id"), 10);  // order kept across the compaction
  EXPECT_EQ(players.As(1).Real("mplay_message_clear", {0.0}), 1);
  EXPECT_EQ(Count(1), 0);
  EXPECT_EQ(players[1].QueueSize(), 0u);
}

// Raw packets from a connection that is not a well-behaved player: nothing reaches the game, and the session goes
// on for the others.
TEST_F(MplayLoopback, MalformedAndUnexpectedPacketsAreDropped) {
  StartSession(0, false);
  auto rogue = hub.CreateEndpoint();
  const uint16_t sessionPort = 20000;        // the host's, the first session port the hub gives
  const uint32_t peer = rogue->Connect("", sessionPort);
  ASSERT_NE(peer, 0u);
  auto message = mplay::EncodeMessage(true, 1, RValue(1.0));
  mplay::SessionPacket toAll;
  toAll.kind = mplay::PacketKind::ToHost;
  toAll.id = 0;
  toAll.message = message;
  // Game packets before joining, garbage, and packets only a host sends.
  rogue->Send(peer, mplay::EncodeSessionPacket(toAll), true);
  rogue->Send(peer, {0xFF, 1, 2, 3}, true);
  rogue->Send(peer, {}, false);
  mplay::SessionPacket welcome;
  welcome.kind = mplay::PacketKind::Welcome;
  welcome.id = 99;
  rogue->Send(peer, mplay::EncodeSessionPacket(welcome), true);
  // A message whose string length claims more than the packet holds, and one with a negative length.
  auto lying = mplay::EncodeSessionPacket(toAll);
  lying[1 + 4 + 5] = 1;  // string value
  lying.resize(1 + 4 + 6 + 4);
  lying[11] = 0x10;
  rogue->Send(peer, lying, true);
  lying[14] = 0x80;
  rogue->Send(peer, lying, true);
  // A join request of another game is refused.
  mplay::SessionPacket join;
  join.kind = mplay::PacketKind::JoinRequest;
  join.version = mplay::kProtocolVersion;
  join.name = "mallory";
  rogue->Send(peer, mplay::EncodeSessionPacket(join), true);
  players.Step();
  EXPECT_EQ(Count(0), 0);
  EXPECT_EQ(Count(1), 0);
  EXPECT_EQ(players.As(0).Real("mplay_player_find"), 2);
  plat::NetEvent ev;
  bool refused = false, disconnected = false;
  while (rogue->Poll(ev)) {
    if (ev.kind == plat::NetEvent::Kind::Received) {
      auto p = mplay::DecodeSessionPacket(ev.data.data(), ev.data.size());
      refused = p && p->kind == mplay::PacketKind::Refused && p->reason == mplay::RefuseReason::OtherGame;
    }
    disconnected |= ev.kind == plat::NetEvent::Kind::Disconnected;
  }
  EXPECT_TRUE(refused);
  EXPECT_TRUE(disconnected);
  // The session still works.
  EXPECT_EQ(players.As(1).Real("mplay_message_send", {0.0, 3.0, 3.0}), 1);
  players.Step();
  EXPECT_EQ(Count(0), 1);
}

}  // namespace
}  // namespace kv
