#include "charmap/win32/Win32ProductRegistry.h"

#include <windows.h>

namespace brind {

RegistryRead Win32ProductRegistry::Read(const char* name, char* out, size_t capacity) {
  if (capacity == 0) return RegistryRead::kMissing;
  out[0] = 0;
  HKEY machine = nullptr;
  if (RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &machine) != ERROR_SUCCESS) {
    return RegistryRead::kNoRegistry;
  }
  RegistryRead result = RegistryRead::kMissing;
  HKEY key = nullptr;
  if (RegOpenKeyExA(machine, kProductKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(capacity);
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) ==
        ERROR_SUCCESS) {
      // A stored string need not carry its terminator; one that leaves no room for it is refused.
      if (size < capacity) {
        out[size] = 0;
        result = RegistryRead::kOk;
      } else if (size == capacity && out[size - 1] == 0) {
        result = RegistryRead::kOk;
      }
    }
    RegCloseKey(key);
  }
  RegCloseKey(machine);
  if (result != RegistryRead::kOk) out[0] = 0;
  return result;
}

}  // namespace brind
