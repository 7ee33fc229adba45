#include "charmap/ProductRegistry.h"

namespace brind {

bool ReadRegistryValue(ProductRegistry& registry, UserPrompts& prompts, const char* caption,
                       const char* name, char* out, size_t capacity) {
  if (capacity == 0) return false;
  out[0] = 0;
  switch (registry.Read(name, out, capacity)) {
    case RegistryRead::kOk:
      return true;
    case RegistryRead::kNoRegistry:
      ShowInfoMessage(prompts, "Could not open the System Registry", caption);
      break;
    case RegistryRead::kMissing:
      break;
  }
  out[0] = 0;
  return false;
}

}  // namespace brind
