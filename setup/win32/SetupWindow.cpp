#include <cstdio>
#include <vector>

#include "setup/IntroPicture.h"
#include "setup/win32/SetupShell.h"

namespace brind::setup {

namespace {

HWND mainWindow = nullptr;
const BITMAPINFOHEADER* intro = nullptr;  // the locked INTRO resource
HPALETTE introPalette = nullptr;

std::size_t introSize = 0;

HPALETTE BuildPalette() {
  const std::vector<PaletteColour> colours =
      IntroPalette(reinterpret_cast<const std::uint8_t*>(intro), introSize);
  if (colours.empty()) return nullptr;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(LOGPALETTE) + colours.size() * sizeof(PALETTEENTRY));
  auto* pal = static_cast<LOGPALETTE*>(GlobalLock(memory));
  pal->palVersion = 0x300;
  pal->palNumEntries = static_cast<WORD>(colours.size());
  for (std::size_t i = 0; i < colours.size(); ++i) {
    pal->palPalEntry[i] = {colours[i].red, colours[i].green, colours[i].blue, 0};
  }
  HPALETTE palette = CreatePalette(pal);
  GlobalUnlock(memory);
  GlobalFree(memory);
  return palette;
}

void LoadIntro(HWND hwnd) {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
  if (HRSRC res = FindResourceA(instance, "INTRO", MAKEINTRESOURCEA(2))) {
    intro = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(instance, res)));
    introSize = SizeofResource(instance, res);
  }
  if (intro) introPalette = BuildPalette();
}

void PaintIntro(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  if (intro) {
    const int w = intro->biWidth, h = intro->biHeight;
    RECT picture = {(cx - w) / 2, (cy - h) / 2, (cx - w) / 2 + w, (cy - h) / 2 + h};
    RECT overlap;
    if (IntersectRect(&overlap, &ps.rcPaint, &picture)) {
      HPALETTE old = introPalette ? SelectPalette(dc, introPalette, FALSE) : nullptr;
      if (introPalette) RealizePalette(dc);
      const BYTE* bits = reinterpret_cast<const BYTE*>(intro) +
                         IntroPixelOffset(reinterpret_cast<const std::uint8_t*>(intro), introSize);
      StretchDIBits(dc, 0, 0, cx, cy, 0, 0, w, h, bits, reinterpret_cast<const BITMAPINFO*>(intro),
                    DIB_RGB_COLORS, SRCCOPY);
      if (old) SelectPalette(dc, old, FALSE);
    }
  }
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK SetupWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      mainWindow = hwnd;
      LoadIntro(hwnd);
      SetFocus(hwnd);
      SetTimer(hwnd, 1, 5000, nullptr);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) RealizeIntroPalette(hwnd);
      return 0;
    case WM_PALETTEISCHANGING:
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(wParam) != hwnd) RealizeIntroPalette(hwnd);
      return 0;
    case WM_QUERYNEWPALETTE:
      return RealizeIntroPalette(hwnd);
    case WM_ACTIVATEAPP:
      if (!wParam) return 1;
      RealizeIntroPalette(hwnd);
      return 0;
    case WM_SETFOCUS:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      // A modal dialog keeps the window disabled; the focus stays with the dialog then.
      if (IsWindowEnabled(hwnd)) SetFocus(hwnd);
      PaintIntro(hwnd);
      return 0;
    case WM_TIMER:
      KillTimer(hwnd, 1);
      return 0;
    case WM_CLOSE:
      if (introPalette) DeleteObject(introPalette);
      introPalette = nullptr;
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

HWND SetupWindow() { return mainWindow; }

HWND CreateSetupWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.style = CS_SAVEBITS;
  wc.lpfnWndProc = SetupWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, "AASETUPICON");
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "WinstallWClass";
  if (!RegisterClassA(&wc)) return nullptr;
  HWND hwnd = CreateWindowA("WinstallWClass", "Brindlewood Setup", WS_POPUP | WS_BORDER,
                            CW_USEDEFAULT, CW_USEDEFAULT, GetSystemMetrics(SM_CXSCREEN),
                            GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
  if (!hwnd) return nullptr;
  // Shown first, then painted at once: the wait that follows handles no messages, and a window
  // updated while hidden would stay unpainted through it.
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  return hwnd;
}

UINT RealizeIntroPalette(HWND hwnd) {
  if (!introPalette) return 0;
  HDC dc = GetDC(hwnd);
  HPALETTE old = SelectPalette(dc, introPalette, FALSE);
  const UINT changed = RealizePalette(dc);
  SelectPalette(dc, old, FALSE);
  if (changed) InvalidateRect(hwnd, nullptr, TRUE);
  ReleaseDC(hwnd, dc);
  return changed;
}

bool HandlePaletteMessage(HWND hwnd, UINT msg, WPARAM wParam, LRESULT* result) {
  switch (msg) {
    case WM_QUERYNEWPALETTE:
      *result = RealizeIntroPalette(hwnd);
      return true;
    case WM_PALETTEISCHANGING:
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(wParam) != hwnd) RealizeIntroPalette(hwnd);
      *result = 0;
      return true;
    default:
      return false;
  }
}

void CentreOnSetupWindow(HWND dialog) {
  RECT d, m;
  GetWindowRect(dialog, &d);
  GetClientRect(mainWindow, &m);
  int x = 0, y = 0;
  CentredOrigin({d.left, d.top, d.right, d.bottom}, {m.left, m.top, m.right, m.bottom}, &x, &y);
  MoveWindow(dialog, x, y, d.right - d.left, d.bottom - d.top, TRUE);
}

HFONT CreateHeadingFont(const char* face, int height) {
  return CreateFontA(height, 0, 0, 0, 800, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH, face);
}

void RestartWindows() {
  char text[64];
  if (!(GetVersion() & 0x80000000u)) {  // the NT family needs the shutdown privilege first
    OutputDebugStringA("Setting token");
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
      wsprintfA(text, "OpenProcessToken Error #%d", static_cast<int>(GetLastError()));
      MessageBoxA(nullptr, text, nullptr, MB_OK);
    }
    TOKEN_PRIVILEGES tp = {};
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid);
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
    if (GetLastError() != ERROR_SUCCESS) {
      wsprintfA(text, "AdjustTokenPrivileges Error #%d", static_cast<int>(GetLastError()));
      MessageBoxA(nullptr, text, nullptr, MB_OK);
    }
    if (token) CloseHandle(token);
  }
  if (!ExitWindowsEx(EWX_REBOOT, 0)) {
    wsprintfA(text, "Error ExitWindows Error #%d", static_cast<int>(GetLastError()));
    MessageBoxA(nullptr, text, nullptr, MB_OK);
  }
}

}  // namespace brind::setup
