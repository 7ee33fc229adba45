#include "disk/win32/Vwin32Device.h"

namespace brind {

uint32_t Vwin32Device::Open() {
  handle_ = CreateFileA("\\\\.\\VWIN32", 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) return GetLastError();
  return 0;
}

void Vwin32Device::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool Vwin32Device::Call(uint32_t code, DiocRegisters& regs) {
  DWORD returned = 0;
  return DeviceIoControl(handle_, code, &regs, sizeof regs, &regs, sizeof regs, &returned,
                         nullptr) != FALSE;
}

uint32_t Vwin32Device::Address(const void* buffer) {
  return static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(buffer));
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
