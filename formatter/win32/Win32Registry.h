// The product key through ADVAPI32.
#pragma once

#include <windows.h>

#include "formatter/ProductRegistry.h"

namespace brind {

class Win32Registry : public RegistryAccess {
 public:
  bool ConnectLocalMachine() override {
    return RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &root_) == ERROR_SUCCESS;
  }
  void Disconnect() override {
    if (root_) RegCloseKey(root_);
    root_ = nullptr;
  }
  bool OpenProductKey() override {
    return RegOpenKeyExA(root_, "SOFTWARE\\Oakhurst\\Brindlewood\\CurrentVersion", 0,
                         KEY_ALL_ACCESS, &key_) == ERROR_SUCCESS;
  }
  void CloseProductKey() override {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }
  bool QueryValue(const char* name, char* data, uint32_t* size) override {
    DWORD bytes = *size;
    const LONG r =
        RegQueryValueExA(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &bytes);
    *size = bytes;
    return r == ERROR_SUCCESS;
  }

 private:
  HKEY root_ = nullptr;
  HKEY key_ = nullptr;
};

}  // namespace brind
