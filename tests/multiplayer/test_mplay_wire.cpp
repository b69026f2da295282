// Byte forms of multiplayer traffic: the message layout other players rely on, and decoders that refuse every
// malformed packet from the network.
#include <gtest/gtest.h>

#include "multiplayer/mplay_wire.h"

namespace kv::mplay {
namespace {

TEST(MplayWire, MessagesHaveTheirFixedLayout) {
  const Bytes real = EncodeMessage(true, 0x01020304, RValue(1.5));
  EXPECT_EQ(real, (Bytes{1, 4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
  const Bytes text = EncodeMessage(false, -1, RValue("ab"));
  EXPECT_EQ(text, (Bytes{0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 0, 0, 0, 'a', 'b'}));
  auto m = DecodeMessage(text.data(), text.size());
  ASSERT_TRUE(m);
  EXPECT_FALSE(m->isMessage);
  EXPECT_EQ(m->id, -1);
  EXPECT_EQ(m->value.ToStdString(), "ab");
  m = DecodeMessage(real.data(), real.size());
  ASSERT_TRUE(m);
  EXPECT_TRUE(m->isMessage);
  EXPECT_EQ(m->value.Real(), 1.5);
  // Strings longer than 32000 bytes are cut.
  const Bytes big = EncodeMessage(true, 1, RValue(std::string(40000, 'z')));
  EXPECT_EQ(big.size(), 10u + 32000u);
}

TEST(MplayWire, MalformedMessagesDecodeToNothing) {
  const Bytes text = EncodeMessage(true, 7, RValue("abc"));
  // Every shorter prefix, and one byte more, is malformed.
  for (size_t n = 0; n < text.size(); ++n) EXPECT_FALSE(DecodeMessage(text.data(), n)) << n;
  Bytes longer = text;
  longer.push_back(0);
  EXPECT_FALSE(DecodeMessage(longer.data(), longer.size()));
  Bytes bad = text;
  bad[6] = 0xFF, bad[7] = 0xFF, bad[8] = 0xFF, bad[9] = 0xFF;  // length -1
  EXPECT_FALSE(DecodeMessage(bad.data(), bad.size()));
  bad = text;
  bad[0] = 2;  // neither message nor data
  EXPECT_FALSE(DecodeMessage(bad.data(), bad.size()));
  bad = text;
  bad[5] = 3;  // unknown value type
  EXPECT_FALSE(DecodeMessage(bad.data(), bad.size()));
  // A string length above the limit is refused even when the bytes are there.
  Bytes huge = {1, 0, 0, 0, 0, 1, 0x01, 0x7D, 0, 0};  // 32001
  huge.resize(huge.size() + 32001, 'x');
  EXPECT_FALSE(DecodeMessage(huge.data(), huge.size()));
  EXPECT_FALSE(DecodeMessage(nullptr, 0));
}

TEST(MplayWire, SessionPacketsRoundTripAndRejectBadCounts) {
  SessionPacket w;
  w.kind = PacketKind::Welcome;
  w.id = 3;
  w.players = {{1, "hank"}, {3, std::string(2000, 'n')}};
  Bytes b = EncodeSessionPacket(w);
  auto back = DecodeSessionPacket(b.data(), b.size());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->id, 3);
  ASSERT_EQ(back->players.size(), 2u);
  EXPECT_EQ(back->players[1].name.size(), kMaxNameLength);  // long names are cut when sent
  // A player count the packet cannot hold, or a negative one.
  for (uint8_t top : {0x7F, 0x80}) {
    Bytes lie = b;
    lie[8] = top;
    EXPECT_FALSE(DecodeSessionPacket(lie.data(), lie.size()));
  }
  // A name longer than the limit is refused.
  SessionPacket j;
  j.kind = PacketKind::PlayerJoined;
  j.id = 4;
  j.name = "bob";
  b = EncodeSessionPacket(j);
  b[5] = 0xE9, b[6] = 0x03;  // 1001
  b.resize(b.size() + 998, 'x');
  EXPECT_FALSE(DecodeSessionPacket(b.data(), b.size()));
  // A relayed packet must carry a well-formed message.
  SessionPacket relay;
  relay.kind = PacketKind::FromHost;
  relay.id = 2;
  relay.message = {1, 2, 3};
  b = EncodeSessionPacket(relay);
  EXPECT_FALSE(DecodeSessionPacket(b.data(), b.size()));
  const Bytes unknown = {9, 0, 0, 0, 0};
  EXPECT_FALSE(DecodeSessionPacket(unknown.data(), unknown.size()));
}

TEST(MplayWire, DiscoveryNamesTheGameAndBoundsTheReply) {
  DiscoveryQuery q;
  q.guid[3] = 9;
  Bytes b = EncodeDiscoveryQuery(q);
  auto qb = DecodeDiscoveryQuery(b.data(), b.size());
  ASSERT_TRUE(qb);
  EXPECT_EQ(qb->guid, q.guid);
  b[0] = 'X';  // not our magic
  EXPECT_FALSE(DecodeDiscoveryQuery(b.data(), b.size()));

  DiscoveryInfo info;
  info.sessionPort = 4000;
  info.players = 2;
  info.name = "Arena";
  b = EncodeDiscoveryReply(info);
  auto ib = DecodeDiscoveryReply(b.data(), b.size());
  ASSERT_TRUE(ib);
  EXPECT_EQ(ib->name, "Arena");
  EXPECT_EQ(ib->sessionPort, 4000);
  EXPECT_FALSE(DecodeDiscoveryQuery(b.data(), b.size()));  // a reply is no query
  Bytes cut(b.begin(), b.end() - 1);
  EXPECT_FALSE(DecodeDiscoveryReply(cut.data(), cut.size()));
  info.players = -1;
  b = EncodeDiscoveryReply(info);
  EXPECT_FALSE(DecodeDiscoveryReply(b.data(), b.size()));
}

}  // namespace
}  // namespace kv::mplay
