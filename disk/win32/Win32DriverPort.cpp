#include "disk/win32/Win32DriverPort.h"

namespace brind {

uint32_t Win32DriverPort::Open() {
  Close();
  handle_ = CreateFileA("\\\\.\\BRINDFS", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) return GetLastError();
  return 0;
}

void Win32DriverPort::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

uint16_t Win32DriverPort::QueryDrive(uint8_t drive) {
  DriverRequest request = QueryDriveRequest(drive);
  DWORD returned = 0;
  // The answer word is the driver's verdict; a call that fails leaves it a refusal.
  DeviceIoControl(handle_, 1, nullptr, 0, request.bytes.data(), kQueryDriveOutputSize, &returned,
                  nullptr);
  return request.answer();
}

uint32_t Win32DriverPort::SetCharMap(const uint8_t* table128) {
  DriverRequest request;
  request.setArgument(static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(table128)));
  request.setRequest(kRequestSetCharMap);
  DWORD returned = 0;
  return static_cast<uint32_t>(DeviceIoControl(handle_, 1, nullptr, 0, request.bytes.data(),
                                               kSetCharMapOutputSize, &returned, nullptr));
}

}  // namespace brind
