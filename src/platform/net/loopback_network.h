#pragma once
// An in-process network for tests: endpoints made from one hub reach each other at once, in order, with nothing
// lost, and discovery queries are answered synchronously. Host names are ignored; ports select the host.
#include <memory>
#include <vector>

#include "platform/network.h"

namespace kv::plat {

class LoopbackNetwork;

class LoopbackHub {
 public:
  LoopbackHub() = default;
  LoopbackHub(const LoopbackHub&) = delete;
  LoopbackHub& operator=(const LoopbackHub&) = delete;
  ~LoopbackHub();

  // A new endpoint on this hub; the hub must outlive it.
  std::unique_ptr<INetwork> CreateEndpoint();

 private:
  friend class LoopbackNetwork;
  std::vector<LoopbackNetwork*> endpoints_;
  uint16_t nextSessionPort_ = 20000;
};

}  // namespace kv::plat
