// The product key HKLM\SOFTWARE\Oakhurst\Brindlewood\CurrentVersion, read-only: the installation
// directory and the registered owner and company. Setup writes it; the other programs only read.
#pragma once

#include <cstddef>

#include "common/UserPrompts.h"

namespace brind {

inline constexpr const char kProductKey[] = "SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion";
inline constexpr const char kValueInstallDir[] = "InstallDir";
inline constexpr const char kValueOwner[] = "Registered Owner";
inline constexpr const char kValueCompany[] = "Registered Company";
// Values are queried into a buffer of this size; one that does not fit counts as missing.
inline constexpr size_t kRegistryValueBytes = 512;

enum class RegistryRead { kOk, kMissing, kNoRegistry };

class ProductRegistry {
 public:
  virtual ~ProductRegistry() = default;
  // Reads a string value of the product key into out (always terminated when capacity > 0).
  // kNoRegistry: the registry itself could not be reached. kMissing: no such key or value, or
  // the value does not fit in capacity bytes with its terminator.
  virtual RegistryRead Read(const char* name, char* out, size_t capacity) = 0;
};

// The one reading routine of the programs: a registry that cannot be reached is told with
// "Could not open the System Registry" (information icon, owned by the focus window, the given
// caption) and counts as a missing value. True when the value was read; out is empty otherwise.
bool ReadRegistryValue(ProductRegistry& registry, UserPrompts& prompts, const char* caption,
                       const char* name, char* out, size_t capacity);
inline bool ReadRegistryValue(ProductRegistry& registry, UserPrompts& prompts, const char* caption,
                              const char* name, char (&out)[kRegistryValueBytes]) {
  return ReadRegistryValue(registry, prompts, caption, name, out, sizeof out);
}

}  // namespace brind
