// CLEANUP.EXE: run once by Windows after a removal that had to leave the installation directory
// behind. Its one argument is the short installation directory: the table's files there are
// deleted and the directory is removed (it stays when the user keeps other files in it).
#include <windows.h>

#include "setup/Removal.h"
#include "setup/SetupFileTable.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  std::string dir = commandLine ? commandLine : "";
  while (!dir.empty() && (dir.back() == ' ' || dir.back() == '"')) dir.pop_back();
  while (!dir.empty() && (dir.front() == ' ' || dir.front() == '"')) dir.erase(0, 1);
  if (dir.empty()) return 1;
  for (const brind::setup::SetupFile& file : brind::setup::SetupFileTable) {
    DeleteFileA((dir + "\\" + file.installedName).c_str());
  }
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, sizeof windows);
  SetCurrentDirectoryA(windows);
  return RemoveDirectoryA(dir.c_str()) ? 0 : 2;
}
