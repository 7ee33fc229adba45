// Test tool for the format dialog under Wine: "--colour" prints the colour the progress bar is
// drawn in (0xRRGGBB); without arguments it makes the dialog repaint itself and its controls, as
// when a window that covered it goes away.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--colour") == 0) {
    const COLORREF c = GetSysColor(COLOR_ACTIVECAPTION);
    std::printf("0x%02X%02X%02X\n", GetRValue(c), GetGValue(c), GetBValue(c));
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
