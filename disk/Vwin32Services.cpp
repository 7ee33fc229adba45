#include "disk/Vwin32Services.h"

#include "common/Bytes.h"

namespace brind {

namespace {

constexpr uint32_t kCarryFlag = 1;

constexpr uint32_t kIoctlFormatTrack = 0x0842;
constexpr uint32_t kIoctlGetParams = 0x0860;
constexpr uint32_t kIoctlSetParams = 0x0840;
constexpr uint32_t kIoctlLock = 0x084A;
constexpr uint32_t kIoctlUnlock = 0x086A;

// A transfer the system refused outright, or one that failed without a code, is reported as a
// general failure rather than let a stale register read as success.
constexpr uint16_t kCallRefused = 31;

}  // namespace

DeviceResult Vwin32Services::Transfer(uint32_t code, uint8_t drive, uint32_t sector,
                                      const uint8_t* buffer) {
  regs_.reg_EAX = drive;
  regs_.reg_EBX = call_.Address(buffer);
  regs_.reg_ECX = 1;
  regs_.reg_EDX = sector;
  regs_.reg_Flags = 0;
  if (!call_.Call(code, regs_)) return DeviceResult::Failure(kCallRefused);
  if (!(regs_.reg_Flags & kCarryFlag)) return DeviceResult::Success();
  uint16_t error = static_cast<uint16_t>(regs_.reg_EAX & 0xFF);
  // A write-protected disk reports 0 in the low byte and the condition in the second byte.
  if (error == 0 && code == kDiocDosInt26) {
    error = static_cast<uint16_t>((regs_.reg_EAX >> 8) & 0xFF);
  }
  return DeviceResult::Failure(error ? error : kCallRefused);
}

DeviceResult Vwin32Services::ReadSector(uint8_t drive, uint32_t sector, uint8_t* buffer) {
  return Transfer(kDiocDosInt25, drive, sector, buffer);
}

DeviceResult Vwin32Services::WriteSector(uint8_t drive, uint32_t sector, const uint8_t* buffer) {
  return Transfer(kDiocDosInt26, drive, sector, buffer);
}

DeviceResult Vwin32Services::Ioctl(uint32_t ebx, uint32_t minor, uint32_t edx) {
  regs_.reg_EAX = 0x440D;
  regs_.reg_EBX = ebx;
  regs_.reg_ECX = minor;
  regs_.reg_EDX = edx;
  regs_.reg_Flags = 0;
  // A refused call leaves 440Dh in EAX: its low byte is the code the caller sees.
  if (call_.Call(kDiocDosIoctl, regs_) && !(regs_.reg_Flags & kCarryFlag)) {
    return DeviceResult::Success();
  }
  return DeviceResult::Failure(static_cast<uint16_t>(regs_.reg_EAX & 0xFF));
}

DeviceResult Vwin32Services::FormatTrack(uint8_t drive, uint16_t head, uint16_t cylinder) {
  // Special functions 0 (format), head, cylinder: five packed bytes.
  uint8_t block[5];
  block[0] = 0;
  PutU16LE(&block[1], head);
  PutU16LE(&block[3], cylinder);
  return Ioctl(uint32_t{drive} + 1, kIoctlFormatTrack, call_.Address(block));
}

DeviceResult Vwin32Services::GetDeviceParams(uint8_t drive, DeviceParams& params) {
  return Ioctl(uint32_t{drive} + 1, kIoctlGetParams, call_.Address(params.bytes.data()));
}

DeviceResult Vwin32Services::SetDeviceParams(uint8_t drive, const DeviceParams& params) {
  return Ioctl(uint32_t{drive} + 1, kIoctlSetParams, call_.Address(params.bytes.data()));
}

DeviceResult Vwin32Services::LockLogicalVolume(uint8_t drive, uint8_t level, uint16_t permissions) {
  return Ioctl((uint32_t{level} << 8) | (uint32_t{drive} + 1), kIoctlLock, permissions);
}

DeviceResult Vwin32Services::UnlockLogicalVolume(uint8_t drive) {
  return Ioctl(uint32_t{drive} + 1, kIoctlUnlock, 0);
}

}  // namespace brind
