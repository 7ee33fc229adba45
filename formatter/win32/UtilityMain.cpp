// Brindlewood Utility: program entry, the main window and its menu commands, the About box.
// clang-format off
#include <windows.h>
#include <commctrl.h>  // needs windows.h first
// clang-format on

#include "formatter/MainCommands.h"
#include "formatter/ResourceIds.h"
#include "formatter/win32/OptionsSheet.h"
#include "formatter/win32/UtilityApp.h"

namespace brind {

namespace {
// Plain globals rather than function-local statics: the program has one thread, and local statics
// would pull the runtime's thread-safe initialisation (and its exception machinery) in.
UtilityApp theApp;
}  // namespace

UtilityApp& App() { return theApp; }

namespace {

class Win32Shell : public UtilityShell {
 public:
  bool RunFormatDialog() override { return brind::RunFormatDialog(App().mainWindow) != -1; }
  void RunOptionsSheet() override { OpenOptionsSheet(App().mainWindow); }
  void RunAboutBox() override { brind::RunAboutBox(App().mainWindow); }
  void OpenHelpContents(const char* helpPath) override {
    WinHelpA(App().mainWindow, helpPath, HELP_CONTENTS, 0);
  }
  void RepaintMainWindow() override { InvalidateRect(App().mainWindow, nullptr, TRUE); }
  void Quit() override { PostQuitMessage(0); }
};

Win32Shell theShell;
MainCommands theCommands{theApp.driver, theApp.prompts, theApp.registry, theShell};
MainCommands& Commands() { return theCommands; }

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      App().mainWindow = hwnd;
      App().prompts.mainWindow = hwnd;
      const unsigned command =
          Commands().Start(ParseStartRequest(GetCommandLineA()), App().format.drivePath);
      App().commandLineMode = Commands().commandLineMode();
      if (command != 0) PostMessageA(hwnd, WM_COMMAND, command, 0);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_COMMAND:
      if (Commands().Run(LOWORD(wParam))) return 0;
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

HFONT titleFont = nullptr;

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      // 50 bytes each: a longer owner or company is shown as missing rather than cut.
      char owner[50];
      char company[50];
      ReadRegistryValue(App().registry, App().prompts, "Brindlewood Utility", kValueOwner, owner,
                        sizeof owner);
      SetDlgItemTextA(dialog, IDC_ABOUT_OWNER, owner);
      ReadRegistryValue(App().registry, App().prompts, "Brindlewood Utility", kValueCompany,
                        company, sizeof company);
      SetDlgItemTextA(dialog, IDC_ABOUT_COMPANY, company);
      titleFont = CreateFontA(0, 0, 0, 0, 600, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0,
                              PROOF_QUALITY, 0, "MS SANS SERIF");
      SendDlgItemMessageA(dialog, IDC_ABOUT_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont),
                          TRUE);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 1);
        return TRUE;
      }
      break;
    case WM_DESTROY:
      // The title font lives as long as the box.
      if (titleFont) DeleteObject(titleFont);
      titleFont = nullptr;
      break;
  }
  return FALSE;
}

}  // namespace

INT_PTR RunAboutBox(HWND owner) {
  return DialogBoxParamA(App().hInstance, "ABOUTBOX", owner, AboutDialogProc, 0);
}

}  // namespace brind

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  using namespace brind;
  HANDLE instanceSemaphore = CreateSemaphoreA(nullptr, 0, 2, "ISPREVINST");
  if (instanceSemaphore != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    MessageBoxA(GetFocus(), "Brindlewood Utility is already running", "Brindlewood Utility",
                MB_OK | MB_ICONEXCLAMATION);
    CloseHandle(instanceSemaphore);
    return 0;
  }

  InitCommonControls();

  WNDCLASSA wc{};
  wc.style = 0;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_UTILITY));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszMenuName = "MACFRMTMENU";
  wc.lpszClassName = "CmnDlgWClass";
  if (!RegisterClassA(&wc)) return 0;

  App().hInstance = instance;
  HWND window = CreateWindowExA(0, "CmnDlgWClass", "Brindlewood Utility", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                nullptr, instance, nullptr);
  if (window == nullptr) return 0;
  ShowWindow(window, show);
  UpdateWindow(window);

  // The loop waits for messages rather than polling: an idle program takes no processor time.
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }

  if (instanceSemaphore != nullptr) {
    ReleaseSemaphore(instanceSemaphore, 1, nullptr);
    CloseHandle(instanceSemaphore);
  }
  return static_cast<int>(msg.wParam);
}
