#include "multiplayer/mplay_wire.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

namespace kv::mplay {

namespace {

constexpr std::array<uint8_t, 4> kDiscoveryMagic = {'K', 'V', 'M', 'P'};
constexpr uint8_t kDiscoveryQueryKind = 1, kDiscoveryReplyKind = 2;

class Writer {
 public:
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void I32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int s = 0; s < 32; s += 8) U8(static_cast<uint8_t>(u >> s));
  }
  void F64(double v) {
    const auto u = std::bit_cast<uint64_t>(v);
    for (int s = 0; s < 64; s += 8) U8(static_cast<uint8_t>(u >> s));
  }
  void Raw(const uint8_t* p, size_t n) { out_.insert(out_.end(), p, p + n); }
  void Raw(std::string_view s) { Raw(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
  // A name: uint16 length (cut to kMaxNameLength) and its bytes.
  void Name(std::string_view s) {
    s = s.substr(0, kMaxNameLength);
    U16(static_cast<uint16_t>(s.size()));
    Raw(s);
  }
  Bytes Take() { return std::move(out_); }

 private:
  Bytes out_;
};

// Reads from untrusted bytes: every read checks what is left; once one fails, all later reads fail too.
class Reader {
 public:
  Reader(const uint8_t* p, size_t n) : p_(p), n_(p ? n : 0) {}
  bool Ok() const { return ok_; }
  bool AtEnd() const { return ok_ && pos_ == n_; }
  size_t Left() const { return ok_ ? n_ - pos_ : 0; }
  bool Take(size_t k, const uint8_t*& at) {
    if (!ok_ || k > n_ - pos_) return ok_ = false;
    at = p_ + pos_;
    pos_ += k;
    return true;
  }
  uint8_t U8() {
    const uint8_t* at;
    return Take(1, at) ? at[0] : 0;
  }
  uint16_t U16() {
    const uint8_t* at;
    return Take(2, at) ? static_cast<uint16_t>(at[0] | at[1] << 8) : 0;
  }
  int32_t I32() {
    const uint8_t* at;
    if (!Take(4, at)) return 0;
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(at[i]) << (8 * i);
    return static_cast<int32_t>(u);
  }
  double F64() {
    const uint8_t* at;
    if (!Take(8, at)) return 0;
    uint64_t u = 0;
    for (int i = 0; i < 8; ++i) u |= static_cast<uint64_t>(at[i]) << (8 * i);
    return std::bit_cast<double>(u);
  }
  std::string Text(size_t len) {
    const uint8_t* at;
    return Take(len, at) ? std::string(reinterpret_cast<const char*>(at), len) : std::string();
  }
  std::string Name() {
    const uint16_t len = U16();
    if (len > kMaxNameLength) ok_ = false;
    return Text(len);
  }
  void ReadGuid(Guid& g) {
    const uint8_t* at;
    if (Take(g.size(), at)) std::memcpy(g.data(), at, g.size());
  }
  void Fail() { ok_ = false; }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t pos_ = 0;
  bool ok_ = true;
};

bool ReadDiscoveryHead(Reader& r, uint8_t kind, uint16_t& version) {
  const uint8_t* magic;
  if (!r.Take(kDiscoveryMagic.size(), magic) || std::memcmp(magic, kDiscoveryMagic.data(), kDiscoveryMagic.size()))
    return false;
  version = r.U16();
  return r.U8() == kind && r.Ok();
}

void WriteDiscoveryHead(Writer& w, uint8_t kind, uint16_t version) {
  w.Raw(kDiscoveryMagic.data(), kDiscoveryMagic.size());
  w.U16(version);
  w.U8(kind);
}

}  // namespace

Bytes EncodeMessage(bool isMessage, int32_t id, const RValue& value) {
  Writer w;
  w.U8(isMessage ? 1 : 0);
  w.I32(id);
  if (value.IsString()) {
    std::string s = value.ToStdString();
    if (s.size() > static_cast<size_t>(kMaxStringLength)) s.resize(kMaxStringLength);
    w.U8(1);
    w.I32(static_cast<int32_t>(s.size()));
    w.Raw(s);
  } else {
    w.U8(0);
    w.F64(value.Real());
  }
  return w.Take();
}

std::optional<TMess> DecodeMessage(const uint8_t* data, size_t size) {
  Reader r(data, size);
  TMess m;
  const uint8_t kind = r.U8();
  m.id = r.I32();
  const uint8_t type = r.U8();
  if (!r.Ok() || kind > 1 || type > 1) return std::nullopt;
  m.isMessage = kind == 1;
  if (type == 1) {
    const int32_t len = r.I32();
    if (!r.Ok() || len < 0 || len > kMaxStringLength || static_cast<size_t>(len) != r.Left()) return std::nullopt;
    m.value = RValue(r.Text(static_cast<size_t>(len)));
  } else {
    m.value = RValue(r.F64());
  }
  if (!r.AtEnd()) return std::nullopt;
  return m;
}

Bytes EncodeSessionPacket(const SessionPacket& p) {
  Writer w;
  w.U8(static_cast<uint8_t>(p.kind));
  switch (p.kind) {
    case PacketKind::JoinRequest:
      w.U16(p.version);
      w.Raw(p.guid.data(), p.guid.size());
      w.Name(p.name);
      break;
    case PacketKind::Welcome: {
      w.I32(p.id);
      const size_t n = std::min<size_t>(p.players.size(), kMaxListedPlayers);
      w.I32(static_cast<int32_t>(n));
      for (size_t i = 0; i < n; ++i) {
        w.I32(p.players[i].id);
        w.Name(p.players[i].name);
      }
      break;
    }
    case PacketKind::Refused:
      w.U8(static_cast<uint8_t>(p.reason));
      break;
    case PacketKind::PlayerJoined:
      w.I32(p.id);
      w.Name(p.name);
      break;
    case PacketKind::PlayerLeft:
      w.I32(p.id);
      break;
    case PacketKind::ToHost:
    case PacketKind::FromHost:
      w.I32(p.id);
      w.Raw(p.message.data(), p.message.size());
      break;
  }
  return w.Take();
}

std::optional<SessionPacket> DecodeSessionPacket(const uint8_t* data, size_t size) {
  Reader r(data, size);
  SessionPacket p;
  const uint8_t kind = r.U8();
  if (!r.Ok() || kind < 1 || kind > 7) return std::nullopt;
  p.kind = static_cast<PacketKind>(kind);
  switch (p.kind) {
    case PacketKind::JoinRequest:
      p.version = r.U16();
      r.ReadGuid(p.guid);
      p.name = r.Name();
      break;
    case PacketKind::Welcome: {
      p.id = r.I32();
      const int32_t n = r.I32();
      // Each entry takes at least 6 bytes: a count the packet cannot hold is refused before anything is reserved.
      if (!r.Ok() || n < 0 || n > kMaxListedPlayers || static_cast<size_t>(n) > r.Left() / 6) return std::nullopt;
      p.players.reserve(static_cast<size_t>(n));
      for (int32_t i = 0; i < n && r.Ok(); ++i) {
        PlayerEntry e;
        e.id = r.I32();
        e.name = r.Name();
        p.players.push_back(std::move(e));
      }
      break;
    }
    case PacketKind::Refused: {
      const uint8_t reason = r.U8();
      if (reason < 1 || reason > 3) r.Fail();
      p.reason = static_cast<RefuseReason>(reason);
      break;
    }
    case PacketKind::PlayerJoined:
      p.id = r.I32();
      p.name = r.Name();
      break;
    case PacketKind::PlayerLeft:
      p.id = r.I32();
      break;
    case PacketKind::ToHost:
    case PacketKind::FromHost: {
      p.id = r.I32();
      const uint8_t* at;
      const size_t left = r.Left();
      if (!r.Take(left, at) || !DecodeMessage(at, left)) return std::nullopt;
      p.message.assign(at, at + left);
      break;
    }
  }
  if (!r.AtEnd()) return std::nullopt;
  return p;
}

Bytes EncodeDiscoveryQuery(const DiscoveryQuery& q) {
  Writer w;
  WriteDiscoveryHead(w, kDiscoveryQueryKind, q.version);
  w.Raw(q.guid.data(), q.guid.size());
  return w.Take();
}

std::optional<DiscoveryQuery> DecodeDiscoveryQuery(const uint8_t* data, size_t size) {
  Reader r(data, size);
  DiscoveryQuery q;
  if (!ReadDiscoveryHead(r, kDiscoveryQueryKind, q.version)) return std::nullopt;
  r.ReadGuid(q.guid);
  if (!r.AtEnd()) return std::nullopt;
  return q;
}

Bytes EncodeDiscoveryReply(const DiscoveryInfo& info) {
  Writer w;
  WriteDiscoveryHead(w, kDiscoveryReplyKind, info.version);
  w.Raw(info.guid.data(), info.guid.size());
  w.Raw(info.instance.data(), info.instance.size());
  w.U16(info.sessionPort);
  w.I32(info.players);
  w.I32(info.maxPlayers);
  w.Name(info.name);
  return w.Take();
}

std::optional<DiscoveryInfo> DecodeDiscoveryReply(const uint8_t* data, size_t size) {
  Reader r(data, size);
  DiscoveryInfo info;
  if (!ReadDiscoveryHead(r, kDiscoveryReplyKind, info.version)) return std::nullopt;
  r.ReadGuid(info.guid);
  r.ReadGuid(info.instance);
  info.sessionPort = r.U16();
  info.players = r.I32();
  info.maxPlayers = r.I32();
  info.name = r.Name();
  if (!r.AtEnd() || info.sessionPort == 0 || info.players < 0 || info.players > kMaxListedPlayers ||
      info.maxPlayers < 0)
    return std::nullopt;
  return info;
}

}  // namespace kv::mplay
