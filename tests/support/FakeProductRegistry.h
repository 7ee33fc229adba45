// The product key for tests: values by name, or a registry that can't be reached at all.
#pragma once

#include <cctype>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "charmap/ProductRegistry.h"

namespace brind::test {

class FakeProductRegistry : public ProductRegistry {
 public:
  std::map<std::string, std::string> values;
  bool unreachable = false;
  std::vector<std::string> reads;

  RegistryRead Read(const char* name, char* out, size_t capacity) override {
    reads.push_back(name);
    if (capacity > 0) out[0] = 0;
    if (unreachable) return RegistryRead::kNoRegistry;
    // Value names compare without regard to case, as in the registry.
    for (const auto& [key, value] : values) {
      if (key.size() != std::strlen(name)) continue;
      bool same = true;
      for (size_t i = 0; i < key.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(key[i])) !=
            std::tolower(static_cast<unsigned char>(name[i]))) {
          same = false;
        }
      }
      if (!same) continue;
      if (value.size() + 1 > capacity) return RegistryRead::kMissing;
      std::memcpy(out, value.c_str(), value.size() + 1);
      return RegistryRead::kOk;
    }
    return RegistryRead::kMissing;
  }
};

}  // namespace brind::test
