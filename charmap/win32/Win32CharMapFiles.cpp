#include "charmap/win32/Win32CharMapFiles.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace brind {

std::FILE* Win32CharMapFiles::OpenRead(const char* path) { return std::fopen(path, "rb"); }

bool Win32CharMapFiles::CreateHidden(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::FILE* Win32CharMapFiles::OpenWrite(const char* path) {
  // fopen "w" would replace the file with CREATE_ALWAYS and no attributes, which Windows refuses
  // for a hidden file: open it as it is and empty it instead.
  HANDLE h =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  if (!SetEndOfFile(h)) {
    CloseHandle(h);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
  if (fd == -1) {
    CloseHandle(h);
    return nullptr;
  }
  std::FILE* f = _fdopen(fd, "wb");
  if (!f) _close(fd);
  return f;
}

}  // namespace brind
