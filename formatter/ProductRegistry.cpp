#include "formatter/ProductRegistry.h"

#include <cstring>

namespace brind {

void ShowInfoMessage(UserPrompts& prompts, const char* text) {
  prompts.Show(text, "Brindlewood Utility", kMbOk | kMbIconInformation, PromptOwner::kFocusWindow);
}

bool ReadProductValue(RegistryAccess& registry, UserPrompts& prompts, const char* name,
                      char* buffer, uint32_t capacity) {
  if (capacity == 0 || capacity > kInstallDirCapacity) return false;
  if (!registry.ConnectLocalMachine()) {
    // Without the registry every value counts as missing.
    ShowInfoMessage(prompts, "Could not open the System Registry");
    return false;
  }
  bool found = false;
  if (registry.OpenProductKey()) {
    // Read into a scratch buffer first so that a failed or oversized read leaves the caller's
    // buffer as it was.
    char scratch[kInstallDirCapacity + 1] = {};
    uint32_t size = capacity;
    if (registry.QueryValue(name, scratch, &size)) {
      if (size > capacity) size = capacity;
      // A stored string need not carry its terminator; one that fills the whole capacity
      // without one does not fit.
      const size_t length = strnlen(scratch, size);
      if (length < capacity) {
        std::memcpy(buffer, scratch, length);
        buffer[length] = '\0';
        found = true;
      }
    }
    registry.CloseProductKey();
  }
  registry.Disconnect();
  return found;
}

}  // namespace brind
