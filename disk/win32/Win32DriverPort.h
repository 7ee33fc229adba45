// The file-system driver's control device \\.\BRINDFS.
#pragma once

#include <windows.h>

#include "disk/DriverPort.h"

namespace brind {

class Win32DriverPort : public DriverPort {
 public:
  ~Win32DriverPort() override { Close(); }
  uint32_t Open() override;
  void Close() override;
  bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
  uint16_t QueryDrive(uint8_t drive) override;
  uint32_t SetCharMap(const uint8_t* table128) override;

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace brind
