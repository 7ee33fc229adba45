// The Windows 95 disk device: VWIN32's MS-DOS services through DeviceIoControl.
#pragma once

#include <windows.h>

#include "disk/DeviceBinding.h"
#include "disk/Vwin32Services.h"

namespace brind {

class Vwin32Device : public DiskDeviceBinding, private DiocCall {
 public:
  uint32_t Open() override;
  void Close() override;
  DeviceResult ReadSector(uint8_t drive, uint32_t sector, uint8_t* buffer) override {
    return services_.ReadSector(drive, sector, buffer);
  }
  DeviceResult WriteSector(uint8_t drive, uint32_t sector, const uint8_t* buffer) override {
    return services_.WriteSector(drive, sector, buffer);
  }
  DeviceResult FormatTrack(uint8_t drive, uint16_t head, uint16_t cylinder) override {
    return services_.FormatTrack(drive, head, cylinder);
  }
  DeviceResult GetDeviceParams(uint8_t drive, DeviceParams& params) override {
    return services_.GetDeviceParams(drive, params);
  }
  DeviceResult SetDeviceParams(uint8_t drive, const DeviceParams& params) override {
    return services_.SetDeviceParams(drive, params);
  }
  DeviceResult LockLogicalVolume(uint8_t drive, uint8_t level, uint16_t permissions) override {
    return services_.LockLogicalVolume(drive, level, permissions);
  }
  DeviceResult UnlockLogicalVolume(uint8_t drive) override {
    return services_.UnlockLogicalVolume(drive);
  }
  void SearchRoot(const char* pattern) override;
  uint32_t QueryVolumeLabel(const char* rootPath, char* label, size_t labelSize) override;

 private:
  bool Call(uint32_t code, DiocRegisters& regs) override;
  uint32_t Address(const void* buffer) override;

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  Vwin32Services services_{*this};
};

}  // namespace brind
