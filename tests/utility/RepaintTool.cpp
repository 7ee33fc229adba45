// Test tool for the format dialog under Wine: "--colour" prints the colour the progress bar is
// drawn in (0xRRGGBB); "--focus TITLE FILE" writes the id of the control that has the keyboard
// focus in the window of that title; "--texts TITLE FILE" writes the texts of its controls, one
// per line; without arguments it makes the format dialog repaint itself and its controls, as when
// a window that covered it goes away. Run on the program's desktop, so results go to a file.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

BOOL CALLBACK WriteText(HWND control, LPARAM out) {
  char text[512] = {};
  GetWindowTextA(control, text, sizeof text);
  std::fprintf(reinterpret_cast<std::FILE*>(out), "%d %s\n", GetDlgCtrlID(control), text);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--colour") == 0) {
    const COLORREF c = GetSysColor(COLOR_ACTIVECAPTION);
    std::printf("0x%02X%02X%02X\n", GetRValue(c), GetGValue(c), GetBValue(c));
    return 0;
  }
  if (argc == 4 && (std::strcmp(argv[1], "--focus") == 0 || std::strcmp(argv[1], "--texts") == 0)) {
    HWND window = FindWindowA(nullptr, argv[2]);
    std::FILE* out = window ? std::fopen(argv[3], "w") : nullptr;
    if (!out) return 1;
    if (argv[1][2] == 'f') {
      GUITHREADINFO info = {};
      info.cbSize = sizeof info;
      const BOOL known = GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
      std::fprintf(out, "%d\n", known && info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : -1);
    } else {
      EnumChildWindows(window, WriteText, reinterpret_cast<LPARAM>(out));
    }
    std::fclose(out);
    return 0;
  }
  HWND dialog = FindWindowA(nullptr, "Brindlewood Format");
  if (dialog == nullptr) {
    std::printf("no format dialog\n");
    return 1;
  }
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  return 0;
}
