// The product key read through the Win32 registry.
#pragma once

#include "charmap/ProductRegistry.h"

namespace brind {

class Win32ProductRegistry : public ProductRegistry {
 public:
  RegistryRead Read(const char* name, char* out, size_t capacity) override;
};

}  // namespace brind
