#include "charmap/CharGrid.h"

#include <algorithm>

namespace brind {

// clang-format off
const uint8_t MacGlyphTable[kGridCells] = {
    0xC4, 0xC5, 0xC7, 0xC9, 0xD1, 0xD6, 0xDC, 0xE1, 0xE0, 0xE2, 0xE4, 0xE3, 0xE5, 0xE7, 0xE9, 0xE8,
    0xEA, 0xEB, 0xED, 0xEC, 0xEE, 0xEF, 0xF1, 0xF3, 0xF2, 0xF4, 0xF6, 0xF5, 0xFA, 0xF9, 0xFB, 0xFC,
    0x01, 0xB0, 0xA2, 0xA3, 0xA7, 0x01, 0xB6, 0xDF, 0xAE, 0xA9, 0x01, 0xB4, 0xA8, 0x01, 0xC6, 0xD8,
    0x01, 0xB1, 0x01, 0x01, 0xA5, 0xB5, 0x01, 0x01, 0x01, 0x01, 0x01, 0xAA, 0xBA, 0x01, 0xE6, 0xF8,
    0xBF, 0xA1, 0xAC, 0x01, 0x01, 0x01, 0x01, 0xAB, 0xBB, 0x01, 0xA0, 0xC0, 0xC3, 0xD5, 0x01, 0x01,
    0xAD, 0x01, 0x01, 0x01, 0x91, 0x92, 0xF7, 0x01, 0xFF, 0x01, 0x80, 0xA4, 0x80, 0x80, 0x80, 0x80,
    0x80, 0xB7, 0x80, 0x80, 0x80, 0xC2, 0xCA, 0xC1, 0xCB, 0xC8, 0xCD, 0xCE, 0xCF, 0xCC, 0xD3, 0xD4,
    0x80, 0xD2, 0xDA, 0xDB, 0xD9, 0x80, 0x80, 0x80, 0xAF, 0x80, 0x80, 0x80, 0xB8, 0x80, 0x80, 0x80,
};

const uint8_t WinDisplayTable[kGridCells] = {
    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
    0x80, 0x91, 0x92, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
    0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF,
    0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
    0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF,
};

// Searched from the start; 0x81 and 0xD6 are drawn as characters, so their pairs are never reached
// (and 131 is no resource). 0xC6 is drawn from a bitmap like its neighbours and has its own,
// 124, so that every lookup finds its pair.
const GlyphBitmap GlyphBitmapTable[kGlyphBitmapPairs] = {
    {0x81, 133, 19, 16}, {0xA0, 103, 20, 17}, {0xA5, 113, 18, 18}, {0xAA, 114, 20, 21},
    {0xAD, 115, 20, 15}, {0xB0, 116, 18, 14}, {0xB2, 117, 20, 16}, {0xB3, 118, 20, 17},
    {0xB6, 119, 18, 17}, {0xB7, 120, 20, 16}, {0xB8, 108, 14, 16}, {0xB9, 121, 21, 18},
    {0xBA, 102, 15, 16}, {0xBD, 107, 20, 18}, {0xC3, 122, 21, 16}, {0xC4, 123, 22, 15},
    {0xC5, 109, 14, 16}, {0xC6, 124, 20, 16}, {0xC9, 125, 21, 21}, {0xCE, 126, 21, 17},
    {0xCF, 127, 21, 15}, {0xD1, 148, 18, 17}, {0xD2, 130, 18, 13}, {0xD3, 134, 17, 15},
    {0xD6, 131, 0, 0},   {0xD7, 128, 22, 17}, {0xD9, 129, 22, 19}, {0, 0, 0, 0},
};
// clang-format on

const GlyphBitmap* FindGlyphBitmap(uint8_t mac) {
  for (const GlyphBitmap& pair : GlyphBitmapTable) {
    if (pair.mac == 0) break;
    if (pair.mac == mac) return &pair;
  }
  return nullptr;
}

int BitmapLookup(uint8_t mac) {
  const GlyphBitmap* pair = FindGlyphBitmap(mac);
  return pair ? pair->resource : 0;
}

uint8_t WinDisplayChar(uint8_t w) {
  if (w >= 0x80) return WinDisplayTable[w - 0x80];
  return w < 0x20 ? kNoGlyphChar : w;
}

CellLook MacCharLook(uint8_t mac) {
  CellLook look;
  if (mac < 0x80) {
    look.ch = WinDisplayChar(mac);
    return look;
  }
  const uint8_t glyph = MacGlyphTable[mac - 0x80];
  if (glyph == kGlyphFromBitmap) {
    look.bitmap = FindGlyphBitmap(mac);
    if (look.bitmap) return look;
    look.ch = kNoGlyphChar;  // every bitmap-drawn character has its pair; guard all the same
    return look;
  }
  look.ch = WinDisplayChar(glyph);
  return look;
}

CellLook WinCharLook(uint8_t w) {
  CellLook look;
  look.ch = WinDisplayChar(w);
  return look;
}

CellLook GridCellLook(GridKind kind, int n) {
  const uint8_t c = static_cast<uint8_t>(0x80 + n - 1);
  return kind == GridKind::kMacintosh ? MacCharLook(c) : WinCharLook(c);
}

Grid Grid::FromAnchors(const Rect& upper, const Rect& lower) {
  Grid g;
  g.rect_ = {upper.left, upper.bottom, lower.left, lower.top};
  // A degenerate layout gives an empty grid rather than negative cells.
  g.cellWidth_ = std::max(0, (g.rect_.right - g.rect_.left) / kGridColumns);
  g.cellHeight_ = std::max(0, (g.rect_.bottom - g.rect_.top) / kGridRows);
  return g;
}

Rect Grid::Drawn() const {
  return {rect_.left, rect_.top, rect_.left + kGridColumns * cellWidth_,
          rect_.top + kGridRows * cellHeight_};
}

Rect Grid::Cell(int n) const {
  const int row = (n - 1) / kGridColumns;
  const int column = (n - 1) % kGridColumns;
  const int left = rect_.left + column * cellWidth_;
  const int top = rect_.top + row * cellHeight_;
  return {left, top, left + cellWidth_, top + cellHeight_};
}

Rect Grid::Inner(int n) const {
  Rect r = Cell(n);
  r.left += 1;
  r.top += 1;
  return r;
}

int Grid::HitTest(Point p) const {
  if (cellWidth_ == 0 || cellHeight_ == 0) return 0;
  const Rect reach{rect_.left, rect_.top, rect_.left + 17 * cellWidth_,
                   rect_.top + 9 * cellHeight_};
  if (!reach.Contains(p)) return 0;
  int row = -1;
  for (int r = 0; r < kGridRows && row < 0; ++r) {
    const Rect band{rect_.left, rect_.top + r * cellHeight_, rect_.right,
                    rect_.top + (r + 1) * cellHeight_};
    if (band.Contains(p)) row = r;
  }
  if (row < 0) return 0;
  int column = -1;
  for (int c = 0; c < kGridColumns && column < 0; ++c) {
    const Rect band{rect_.left + c * cellWidth_, rect_.top, rect_.left + (c + 1) * cellWidth_,
                    rect_.bottom};
    if (band.Contains(p)) column = c;
  }
  if (column < 0) return 0;
  return kGridColumns * row + column + 1;
}

void DrawGridLines(Canvas& canvas, const Grid& grid) {
  const Rect drawn = grid.Drawn();
  canvas.Fill(drawn, UiColor::kWindow);
  // One pixel further than the last line, so that the bottom-right corner is drawn too.
  for (int k = 0; k <= kGridRows; ++k) {
    const int y = drawn.top + k * grid.cellHeight();
    canvas.Line(drawn.left, y, drawn.right + 1, y);
  }
  for (int k = 0; k <= kGridColumns; ++k) {
    const int x = drawn.left + k * grid.cellWidth();
    canvas.Line(x, drawn.top, x, drawn.bottom + 1);
  }
}

void DrawLook(Canvas& canvas, const CellLook& look, Point textAt, Point bitmapAt,
              const Rect& clip) {
  if (look.bitmap) {
    // Never over the grid line or the neighbour: a glyph is cut to its cell.
    const int width = std::min({int{look.bitmap->width}, kGlyphAreaWidth, clip.right - bitmapAt.x});
    const int height =
        std::min({int{look.bitmap->height}, kGlyphAreaHeight, clip.bottom - bitmapAt.y});
    if (width > 0 && height > 0) {
      canvas.Bitmap(bitmapAt.x, bitmapAt.y, look.bitmap->resource, width, height);
    }
    return;
  }
  const char text = static_cast<char>(look.ch);
  canvas.Text(textAt.x, textAt.y, &text, 1);
}

namespace {

void DrawCellLook(Canvas& canvas, const Grid& grid, GridKind kind, int n) {
  const Rect cell = grid.Cell(n);
  DrawLook(canvas, GridCellLook(kind, n), {cell.left + 10, cell.top + 5},
           {cell.left + 4, cell.top + 6}, cell);
}

}  // namespace

void DrawGridCells(Canvas& canvas, const Grid& grid, GridKind kind) {
  canvas.Colors(UiColor::kWindow, UiColor::kWindowText);
  for (int n = 1; n <= kGridCells; ++n) DrawCellLook(canvas, grid, kind, n);
}

Rect HighlightCell(Canvas& canvas, const Grid& grid, GridKind kind, int n) {
  const Rect inner = grid.Inner(n);
  canvas.Fill(inner, UiColor::kHighlight);
  canvas.Colors(UiColor::kHighlight, UiColor::kHighlightText);
  DrawLook(canvas, GridCellLook(kind, n), {inner.left + 9, inner.top + 4},
           {inner.left + 3, inner.top + 5}, grid.Cell(n));
  return inner;
}

Point DetailsAt(const Rect& label) { return {label.right + 10, label.top}; }

void DrawDetails(Canvas& canvas, const Rect& label, const char* text, int length, int blanks) {
  static constexpr char kBlanks[] = "         ";
  const Point at = DetailsAt(label);
  canvas.Colors(UiColor::kMenu, UiColor::kMenuText);
  canvas.Text(at.x, at.y, kBlanks, std::min(blanks, int{sizeof kBlanks} - 1));
  if (length > 0) canvas.Text(at.x, at.y, text, length);
}

void DrawMacDetails(Canvas& canvas, Point at, uint8_t mac) {
  // A glyph is larger than the blanks that wipe a character: wipe its whole area.
  const Rect area{at.x, at.y, at.x + kGlyphAreaWidth, at.y + kGlyphAreaHeight};
  canvas.Fill(area, UiColor::kMenu);
  canvas.Colors(UiColor::kMenu, UiColor::kMenuText);
  DrawLook(canvas, MacCharLook(mac), at, at, area);
}

}  // namespace brind
