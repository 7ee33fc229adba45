#include "disk/win32/Vwin32Device.h"

#include <cstring>

namespace brind {

namespace {

constexpr DWORD kDiocDosIoctl = 1;
constexpr DWORD kDiocDosInt25 = 2;
constexpr DWORD kDiocDosInt26 = 3;
constexpr DWORD kCarryFlag = 1;

constexpr DWORD kIoctlFormatTrack = 0x0842;
constexpr DWORD kIoctlGetParams = 0x0860;
constexpr DWORD kIoctlSetParams = 0x0840;
constexpr DWORD kIoctlLock = 0x084A;
constexpr DWORD kIoctlUnlock = 0x086A;

// A request the system refused outright leaves the registers as they were; report it as a
// general failure rather than let a stale register read as success.
constexpr uint16_t kCallRefused = 31;

inline DWORD Address(const void* p) { return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(p)); }

}  // namespace

uint32_t Vwin32Device::Open() {
  handle_ = CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) return GetLastError();
  return 0;
}

void Vwin32Device::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool Vwin32Device::Call(DWORD code) {
  DWORD returned = 0;
  const BOOL ok = DeviceIoControl(handle_, code, &regs_, sizeof regs_, &regs_, sizeof regs_,
                                  &returned, nullptr);
  return ok && !(regs_.reg_Flags & kCarryFlag);
}

DeviceResult Vwin32Device::Transfer(DWORD code, uint8_t drive, uint32_t sector,
                                    const uint8_t* buffer) {
  regs_.reg_EAX = drive;
  regs_.reg_EBX = Address(buffer);
  regs_.reg_ECX = 1;
  regs_.reg_EDX = sector;
  regs_.reg_Flags = 0;
  DWORD returned = 0;
  if (!DeviceIoControl(handle_, code, &regs_, sizeof regs_, &regs_, sizeof regs_, &returned,
                       nullptr))
    return DeviceResult::Failure(kCallRefused);
  if (!(regs_.reg_Flags & kCarryFlag)) return DeviceResult::Success();
  uint16_t error = static_cast<uint16_t>(regs_.reg_EAX & 0xFF);
  // A write-protected disk reports 0 in the low byte and the condition in the second byte.
  if (error == 0 && code == kDiocDosInt26)
    error = static_cast<uint16_t>((regs_.reg_EAX >> 8) & 0xFF);
  return DeviceResult::Failure(error ? error : kCallRefused);
}

DeviceResult Vwin32Device::ReadSector(uint8_t drive, uint32_t sector, uint8_t* buffer) {
  return Transfer(kDiocDosInt25, drive, sector, buffer);
}

DeviceResult Vwin32Device::WriteSector(uint8_t drive, uint32_t sector, const uint8_t* buffer) {
  return Transfer(kDiocDosInt26, drive, sector, buffer);
}

DeviceResult Vwin32Device::Ioctl(uint8_t drive, DWORD minor, DWORD edx) {
  regs_.reg_EAX = 0x440D;
  regs_.reg_EBX = DWORD{drive} + 1;
  regs_.reg_ECX = minor;
  regs_.reg_EDX = edx;
  regs_.reg_Flags = 0;
  if (Call(kDiocDosIoctl)) return DeviceResult::Success();
  return DeviceResult::Failure(static_cast<uint16_t>(regs_.reg_EAX & 0xFF));
}

DeviceResult Vwin32Device::FormatTrack(uint8_t drive, uint16_t head, uint16_t cylinder) {
  // Special functions 0 (format), head, cylinder: five packed bytes.
  uint8_t block[5];
  block[0] = 0;
  PutU16LE(&block[1], head);
  PutU16LE(&block[3], cylinder);
  return Ioctl(drive, kIoctlFormatTrack, Address(block));
}

DeviceResult Vwin32Device::GetDeviceParams(uint8_t drive, DeviceParams& params) {
  return Ioctl(drive, kIoctlGetParams, Address(params.bytes.data()));
}

DeviceResult Vwin32Device::SetDeviceParams(uint8_t drive, const DeviceParams& params) {
  return Ioctl(drive, kIoctlSetParams, Address(params.bytes.data()));
}

DeviceResult Vwin32Device::LockLogicalVolume(uint8_t drive, uint8_t level, uint16_t permissions) {
  regs_.reg_EAX = 0x440D;
  regs_.reg_EBX = (DWORD{level} << 8) | (DWORD{drive} + 1);
  regs_.reg_ECX = kIoctlLock;
  regs_.reg_EDX = permissions;
  regs_.reg_Flags = 0;
  if (Call(kDiocDosIoctl)) return DeviceResult::Success();
  return DeviceResult::Failure(static_cast<uint16_t>(regs_.reg_EAX & 0xFF));
}

DeviceResult Vwin32Device::UnlockLogicalVolume(uint8_t drive) {
  return Ioctl(drive, kIoctlUnlock, 0);
}

void Vwin32Device::SearchRoot(const char* pattern) {
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA(pattern, &data);
  FindClose(find);
}

uint32_t Vwin32Device::QueryVolumeLabel(const char* rootPath, char* label, size_t labelSize) {
  char fileSystem[256];
  if (::GetVolumeInformationA(rootPath, label, static_cast<DWORD>(labelSize), nullptr, nullptr,
                              nullptr, fileSystem, sizeof fileSystem))
    return 1;
  return GetLastError();
}

}  // namespace brind
