// Setup.exe: the full-screen window first, then installation or "setup /u".
#include <windows.h>

#include "setup/Installer.h"
#include "setup/win32/SetupShell.h"
#include "setup/win32/Win32SetupHost.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace brind::setup;
  HWND main = CreateSetupWindow(instance);
  brind::Win32Prompts prompts;
  prompts.mainWindow = main;
  Win32SetupHost host;
  Win32SetupUi ui(instance, host, prompts);
  return RunSetup(host, prompts, ui);
}
