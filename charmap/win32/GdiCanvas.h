// The grids' canvas over a Win32 device context: system colours, the black pen, TextOutA, and
// the glyph bitmaps from the program's resources. Brushes, pens and memory contexts are made and
// released for each call.
#pragma once

#include <windows.h>

#include "charmap/CharGrid.h"

namespace brind {

class GdiCanvas : public Canvas {
 public:
  GdiCanvas(HDC dc, HINSTANCE instance);
  ~GdiCanvas() override;
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  void Fill(const Rect& r, UiColor color) override;
  void Line(int x1, int y1, int x2, int y2) override;
  void Colors(UiColor background, UiColor text) override;
  void Text(int x, int y, const char* text, int length) override;
  void Bitmap(int x, int y, int resource, int width, int height) override;

 private:
  HDC dc_;
  HINSTANCE instance_;
  HGDIOBJ oldPen_;
};

}  // namespace brind
