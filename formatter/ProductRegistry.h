// The product key of the registry, as Brindlewood Utility reads it: a few string values.
#pragma once

#include <cstdint>

#include "common/UserPrompts.h"

namespace brind {

// Capacities the program reads the values with.
inline constexpr uint32_t kOwnerCapacity = 50;  // "Registered Owner", "Registered Company"
inline constexpr uint32_t kInstallDirCapacity = 512;

// The registry calls behind ReadProductValue: the Win32 registry in the program, a fake in tests.
class RegistryAccess {
 public:
  virtual ~RegistryAccess() = default;
  // HKEY_LOCAL_MACHINE of the local machine.
  virtual bool ConnectLocalMachine() = 0;
  virtual void Disconnect() = 0;
  // SOFTWARE\Oakhurst\Brindlewood\CurrentVersion under the connected root.
  virtual bool OpenProductKey() = 0;
  virtual void CloseProductKey() = 0;
  // Reads a value of at most *size bytes into data; on success *size is the number of bytes
  // stored. A value larger than *size fails.
  virtual bool QueryValue(const char* name, char* data, uint32_t* size) = 0;
};

// The information box of the program: caption "Brindlewood Utility", owned by the focus window.
void ShowInfoMessage(UserPrompts& prompts, const char* text);

// Reads one value of the product key into buffer (capacity bytes, at most kInstallDirCapacity).
// True when found; buffer then holds the value, terminated. The buffer is changed only when the
// value is found.
bool ReadProductValue(RegistryAccess& registry, UserPrompts& prompts, const char* name,
                      char* buffer, uint32_t capacity);

}  // namespace brind
