// CLEANUP.EXE: run once by Windows after a removal that had to leave the installation directory
// behind. Its one argument is the short installation directory: the table's files there are
// deleted and the directory is removed (it stays when the user keeps other files in it).
#include <windows.h>

#include <cstring>

#include "setup/SetupFileTable.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  char dir[MAX_PATH] = {};
  const char* start = commandLine ? commandLine : "";
  while (*start == ' ' || *start == '"') ++start;
  lstrcpynA(dir, start, sizeof dir);
  std::size_t len = std::strlen(dir);
  while (len > 0 && (dir[len - 1] == ' ' || dir[len - 1] == '"')) dir[--len] = '\0';
  if (len == 0) return 1;
  for (const brind::setup::SetupFile& file : brind::setup::SetupFileTable) {
    char path[2 * MAX_PATH];
    lstrcpyA(path, dir);
    lstrcatA(path, "\\");
    lstrcatA(path, file.installedName);
    DeleteFileA(path);
  }
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, sizeof windows);
  SetCurrentDirectoryA(windows);
  return RemoveDirectoryA(dir) ? 0 : 2;
}
