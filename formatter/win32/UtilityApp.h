// The program-wide objects of Brindlewood Utility (one thread, one of each).
#pragma once

#include <windows.h>

#include "common/win32/Win32Prompts.h"
#include "disk/DiskServices.h"
#include "disk/win32/Vwin32Device.h"
#include "disk/win32/Win32DriverPort.h"
#include "formatter/win32/Win32Registry.h"

namespace brind {

struct UtilityApp {
  HINSTANCE hInstance = nullptr;
  HWND mainWindow = nullptr;
  Win32Prompts prompts;
  Win32DriverPort driver;  // the driver's control device; the format dialog reopens it
  Vwin32Device device;
  DiskServices disk{device, driver, prompts};
  Win32Registry registry;
  char drivePath[5] = {};  // a drive given on the command line
  bool commandLineMode = false;
};

UtilityApp& App();

// ENTERNEWBOX, owned by the main window: its result, or -1 when it could not be created.
INT_PTR RunFormatDialog(HWND owner);

// ABOUTBOX, owned by the main window.
INT_PTR RunAboutBox(HWND owner);

}  // namespace brind
