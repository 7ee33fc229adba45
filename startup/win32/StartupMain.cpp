// startup: checks the driver and the installation, hands CHARMAP.MAC's table to the driver and
// shows the splash picture with the registered owner and company for five seconds.
#include <windows.h>

#include "charmap/win32/Win32CharMapFiles.h"
#include "charmap/win32/Win32ProductRegistry.h"
#include "common/win32/Win32Prompts.h"
#include "disk/win32/Win32DriverPort.h"
#include "startup/StartupAgent.h"

namespace {

using namespace brind;

HINSTANCE instance;
Win32Prompts prompts;
Win32ProductRegistry registry;
Win32CharMapFiles files;
CharMap charMap;  // zero-filled until the file is read

// The splash: the locked bitmap resource, its layout and the palette made from its colours.
const uint8_t* splashBits;
DibLayout splash;
HPALETTE palette;
SplashClock clock;
bool installMessageShown;

HPALETTE MakePalette(const uint8_t* dib, const DibLayout& layout) {
  if (layout.colors == 0) return nullptr;
  const size_t bytes = sizeof(LOGPALETTE) + layout.colors * sizeof(PALETTEENTRY);
  auto* lp = static_cast<LOGPALETTE*>(HeapAlloc(GetProcessHeap(), 0, bytes));
  if (!lp) return nullptr;
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<WORD>(layout.colors);
  for (uint32_t i = 0; i < layout.colors; ++i) {
    uint8_t e[4];
    PaletteEntry(dib, layout, i, e);
    lp->palPalEntry[i] = {e[0], e[1], e[2], e[3]};
  }
  HPALETTE p = CreatePalette(lp);
  HeapFree(GetProcessHeap(), 0, lp);
  return p;
}

void LoadSplash() {
  HRSRC found = FindResourceA(instance, "SPLASH", MAKEINTRESOURCEA(2) /* RT_BITMAP */);
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  splashBits = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!splashBits) return;
  splash = ParseDib(splashBits, SizeofResource(instance, found));
  if (splash.valid) palette = MakePalette(splashBits, splash);
}

// Selects the palette as the foreground palette and realises it; repaints if colours changed.
LRESULT RealiseSplashPalette(HWND dialog) {
  if (!palette) return 0;
  HDC dc = GetDC(dialog);
  HPALETTE old = SelectPalette(dc, palette, FALSE);
  const UINT realised = RealizePalette(dc);
  SelectPalette(dc, old, FALSE);
  ReleaseDC(dialog, dc);
  if (realised) InvalidateRect(dialog, nullptr, TRUE);
  return static_cast<LRESULT>(realised);
}

void PaintSplash(HWND dialog) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(dialog, &ps);
  if (clock.Painting()) SetTimer(dialog, kSplashTimerId, kSplashMilliseconds, nullptr);
  if (splash.valid && splashBits) {
    HPALETTE old = palette ? SelectPalette(dc, palette, FALSE) : nullptr;
    if (palette) RealizePalette(dc);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(splashBits);
    const int rows = splash.height < 0 ? -splash.height : splash.height;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(splash.width), static_cast<DWORD>(rows), 0, 0, 0,
                      static_cast<UINT>(rows), splashBits + splash.bitsOffset, info,
                      DIB_RGB_COLORS);
    if (palette) SelectPalette(dc, old, FALSE);
  }
  const SplashLines lines = ReadSplashLines(registry, prompts);
  LOGFONTA lf = {};
  lf.lfHeight = -8;
  lf.lfWidth = -8;
  lstrcpyA(lf.lfFaceName, "MS SANS SERIF");
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, kOwnerX, kOwnerY, lines.owner, static_cast<int>(lines.ownerLength));
  TextOutA(dc, kCompanyX, kCompanyY, lines.company, static_cast<int>(lines.companyLength));
  SelectObject(dc, oldFont);
  DeleteObject(font);
  EndPaint(dialog, &ps);
  // Told once: the box itself uncovers the picture, and every repaint would tell it again.
  if (!lines.complete && !installMessageShown) {
    installMessageShown = true;
    TellNotProperlyInstalled(prompts);
    PostQuitMessage(0);
  }
}

INT_PTR CALLBACK SplashProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      LoadSplash();
      const int width = splash.valid ? splash.width : 0;
      const int height = splash.valid ? (splash.height < 0 ? -splash.height : splash.height) : 0;
      const Point at = SplashOrigin(GetSystemMetrics(SM_CXFULLSCREEN),
                                    GetSystemMetrics(SM_CYFULLSCREEN), width, height);
      MoveWindow(dialog, at.x, at.y, width, height, TRUE);
      if (clock.Initialised(splash.valid)) {
        SetTimer(dialog, kSplashTimerId, kSplashMilliseconds, nullptr);
      }
      prompts.activeDialog = dialog;
      Win32DriverPort driver;
      SendAgentCharMap(charMap, registry, files, driver, prompts);
      return TRUE;
    }
    case WM_PAINT:
      PaintSplash(dialog);
      return TRUE;
    case WM_ERASEBKGND:
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_TIMER:
      clock.TimerFired();
      KillTimer(dialog, kSplashTimerId);
      // Resources of a Win32 module need no freeing; a paint that still comes draws no picture.
      splashBits = nullptr;
      splash = DibLayout{};
      if (palette) DeleteObject(palette);
      palette = nullptr;
      prompts.activeDialog = nullptr;
      EndDialog(dialog, 1);
      return TRUE;
    case WM_SETFOCUS:
      InvalidateRect(dialog, nullptr, TRUE);
      return TRUE;
    case WM_PALETTEISCHANGING:
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(wParam) == dialog) return FALSE;
      [[fallthrough]];
    case WM_QUERYNEWPALETTE: {
      const LRESULT realised = RealiseSplashPalette(dialog);
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, realised);
      return TRUE;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) return FALSE;
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, RealiseSplashPalette(dialog));
      return TRUE;
  }
  return FALSE;
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      prompts.mainWindow = window;
      DialogBoxParamA(instance, "DISPLAYICON", window, SplashProc, 0);
      PostQuitMessage(0);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_NCCALCSIZE:
      if (wParam) {
        reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0].top += GetSystemMetrics(SM_CYCAPTION);
      }
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
  instance = hInstance;
  // The driver's device stays open for the program's life.
  Win32DriverPort driver;
  if (!RunStartupChecks(driver, registry, prompts)) return 0;

  WNDCLASSA wc = {};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = hInstance;
  wc.hIcon = LoadIconA(nullptr, "IDI_ICON1");
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512) /* IDC_ARROW */);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  wc.lpszClassName = kAgentWindowClass;
  if (!RegisterClassA(&wc)) return 0;

  HWND window = CreateWindowExA(0, kAgentWindowClass, "", 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, hInstance, nullptr);
  if (!window) return 0;
  UpdateWindow(window);

  MSG msg;
  for (;;) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      WaitMessage();  // nothing to do until the next message
      continue;
    }
    if (msg.message == WM_QUIT) break;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
