// The Windows 95 disk device: VWIN32's MS-DOS services through DeviceIoControl.
#pragma once

#include <windows.h>

#include "disk/DeviceBinding.h"

namespace brind {

// The register block of VWIN32: seven 32-bit registers, used for input and output.
struct DiocRegisters {
  DWORD reg_EBX, reg_EDX, reg_ECX, reg_EAX, reg_EDI, reg_ESI, reg_Flags;
};
static_assert(sizeof(DiocRegisters) == 28, "VWIN32 expects a 28-byte register block");

class Vwin32Device : public DiskDeviceBinding {
 public:
  uint32_t Open() override;
  void Close() override;
  DeviceResult ReadSector(uint8_t drive, uint32_t sector, uint8_t* buffer) override;
  DeviceResult WriteSector(uint8_t drive, uint32_t sector, const uint8_t* buffer) override;
  DeviceResult FormatTrack(uint8_t drive, uint16_t head, uint16_t cylinder) override;
  DeviceResult GetDeviceParams(uint8_t drive, DeviceParams& params) override;
  DeviceResult SetDeviceParams(uint8_t drive, const DeviceParams& params) override;
  DeviceResult LockLogicalVolume(uint8_t drive, uint8_t level, uint16_t permissions) override;
  DeviceResult UnlockLogicalVolume(uint8_t drive) override;
  void SearchRoot(const char* pattern) override;
  uint32_t QueryVolumeLabel(const char* rootPath, char* label, size_t labelSize) override;

 private:
  // One DeviceIoControl on the register block: true when the call went through and the carry
  // flag is clear.
  bool Call(DWORD code);
  DeviceResult Ioctl(uint8_t drive, DWORD minor, DWORD edx);
  // One absolute sector read (INT 25h) or write (INT 26h).
  DeviceResult Transfer(DWORD code, uint8_t drive, uint32_t sector, const uint8_t* buffer);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DiocRegisters regs_{};  // the one block for all disk calls
};

}  // namespace brind
