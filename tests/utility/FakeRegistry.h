// The product key for tests: values in a map, any step can fail, and open handles are counted.
#pragma once

#include <cstring>
#include <map>
#include <string>

#include "formatter/ProductRegistry.h"

namespace brind::test {

class FakeRegistry : public RegistryAccess {
 public:
  std::map<std::string, std::string> values;  // stored bytes, terminator not included
  bool connectFails = false;
  bool keyMissing = false;
  bool storeTerminator = true;  // REG_SZ written with its terminating zero
  int connected = 0;            // open connections
  int openKeys = 0;
  std::string lastQueried;

  bool ConnectLocalMachine() override {
    if (connectFails) return false;
    ++connected;
    return true;
  }
  void Disconnect() override { --connected; }
  bool OpenProductKey() override {
    if (connected <= 0 || keyMissing) return false;
    ++openKeys;
    return true;
  }
  void CloseProductKey() override { --openKeys; }
  bool QueryValue(const char* name, char* data, uint32_t* size) override {
    lastQueried = name;
    const auto it = values.find(name);
    if (it == values.end()) return false;
    const uint32_t need = static_cast<uint32_t>(it->second.size()) + (storeTerminator ? 1u : 0u);
    // Like the system: a value that does not fit fails, and may have scribbled on the data.
    if (need > *size) {
      std::memset(data, '#', *size);
      *size = need;
      return false;
    }
    std::memcpy(data, it->second.data(), it->second.size());
    if (storeTerminator) data[it->second.size()] = '\0';
    *size = need;
    return true;
  }
};

}  // namespace brind::test
