// The program-wide objects of Brindlewood Utility (one thread, one of each).
#pragma once

#include <windows.h>

#include "charmap/CharMapStore.h"
#include "charmap/win32/Win32CharMapFiles.h"
#include "charmap/win32/Win32ProductRegistry.h"
#include "common/win32/Win32Prompts.h"
#include "disk/DiskServices.h"
#include "disk/win32/Vwin32Device.h"
#include "disk/win32/Win32DriverPort.h"
#include "formatter/FormatState.h"

namespace brind {

struct UtilityApp {
  HINSTANCE hInstance = nullptr;
  HWND mainWindow = nullptr;
  Win32Prompts prompts;
  Win32DriverPort driver;  // the driver's control device; the format dialog reopens it
  Vwin32Device device;
  DiskServices disk{device, driver, prompts};
  FormatState format;  // the format dialog's record; a drive given on the command line lands in it
  bool commandLineMode = false;
  Win32ProductRegistry registry;  // the product key: InstallDir, owner and company
  Win32CharMapFiles charMapFiles;
  CharMapStore charMapStore{ProgramCharMap, registry, charMapFiles, prompts};
};

UtilityApp& App();

// ENTERNEWBOX, owned by the main window: its result, or -1 when it could not be created.
INT_PTR RunFormatDialog(HWND owner);

// ABOUTBOX, owned by the main window.
INT_PTR RunAboutBox(HWND owner);

}  // namespace brind
