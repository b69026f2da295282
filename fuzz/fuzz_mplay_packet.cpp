// libFuzzer target for the multiplayer packet decoders: every byte string from the network either decodes to
// something that encodes back to the same bytes, or to nothing. The first byte chooses the decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "multiplayer/mplay_wire.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckSame(const kv::mplay::Bytes& encoded, const uint8_t* data, size_t size) {
  Check(encoded.size() == size && std::equal(encoded.begin(), encoded.end(), data));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kv::mplay;
  if (size == 0) return 0;
  const uint8_t which = data[0] % 4;
  ++data;
  --size;
  switch (which) {
    case 0:
      if (auto m = DecodeMessage(data, size)) CheckSame(EncodeMessage(m->isMessage, m->id, m->value), data, size);
      break;
    case 1:
      if (auto p = DecodeSessionPacket(data, size)) CheckSame(EncodeSessionPacket(*p), data, size);
      break;
    case 2:
      if (auto q = DecodeDiscoveryQuery(data, size)) CheckSame(EncodeDiscoveryQuery(*q), data, size);
      break;
    case 3:
      if (auto r = DecodeDiscoveryReply(data, size)) CheckSame(EncodeDiscoveryReply(*r), data, size);
      break;
  }
  return 0;
}
