#include "charmap/ProductRegistry.h"

namespace brind {

bool ReadRegistryValue(ProductRegistry& registry, UserPrompts& prompts, const char* caption,
                       const char* name, char (&out)[kRegistryValueBytes]) {
  out[0] = 0;
  switch (registry.Read(name, out, sizeof out)) {
    case RegistryRead::kOk:
      return true;
    case RegistryRead::kNoRegistry:
      prompts.Show("Could not open the System Registry", caption, kMbOk | kMbIconInformation,
                   PromptOwner::kFocusWindow);
      break;
    case RegistryRead::kMissing:
      break;
  }
  out[0] = 0;
  return false;
}

}  // namespace brind
