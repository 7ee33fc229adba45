#include "charmap/win32/GdiCanvas.h"

namespace brind {

namespace {

int SystemColor(UiColor c) {
  switch (c) {
    case UiColor::kWindow:
      return COLOR_WINDOW;
    case UiColor::kWindowText:
      return COLOR_WINDOWTEXT;
    case UiColor::kHighlight:
      return COLOR_HIGHLIGHT;
    case UiColor::kHighlightText:
      return COLOR_HIGHLIGHTTEXT;
    case UiColor::kMenu:
      return COLOR_MENU;
    case UiColor::kMenuText:
      return COLOR_MENUTEXT;
  }
  return COLOR_WINDOW;
}

}  // namespace

GdiCanvas::GdiCanvas(HDC dc, HINSTANCE instance)
    : dc_(dc), instance_(instance), oldPen_(SelectObject(dc, GetStockObject(BLACK_PEN))) {
  SetBkMode(dc_, OPAQUE);
}

GdiCanvas::~GdiCanvas() { SelectObject(dc_, oldPen_); }

void GdiCanvas::Fill(const Rect& r, UiColor color) {
  const RECT rc{r.left, r.top, r.right, r.bottom};
  HBRUSH brush = CreateSolidBrush(GetSysColor(SystemColor(color)));
  FillRect(dc_, &rc, brush);
  DeleteObject(brush);
}

void GdiCanvas::Line(int x1, int y1, int x2, int y2) {
  MoveToEx(dc_, x1, y1, nullptr);
  LineTo(dc_, x2, y2);
}

void GdiCanvas::Colors(UiColor background, UiColor text) {
  SetBkColor(dc_, GetSysColor(SystemColor(background)));
  SetTextColor(dc_, GetSysColor(SystemColor(text)));
}

void GdiCanvas::Text(int x, int y, const char* text, int length) {
  TextOutA(dc_, x, y, text, length);
}

void GdiCanvas::Bitmap(int x, int y, int resource, int width, int height) {
  HBITMAP bitmap = LoadBitmapA(instance_, MAKEINTRESOURCEA(resource));
  if (!bitmap) return;
  HDC memory = CreateCompatibleDC(dc_);
  if (memory) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    // A monochrome source takes the destination's text and background colours.
    BitBlt(dc_, x, y, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
  }
  DeleteObject(bitmap);
}

}  // namespace brind
