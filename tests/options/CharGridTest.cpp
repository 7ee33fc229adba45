#include <gtest/gtest.h>

#include <set>

#include "charmap/CharGrid.h"
#include "tests/options/EditorRig.h"

namespace brind {
namespace {

using test::DrawOp;
using test::RecordingCanvas;

// Anchors that give a grid rectangle of the given size at (100, 50).
Grid GridOfSize(int width, int height) {
  return Grid::FromAnchors({100, 30, 180, 50},
                           {100 + width, 50 + height, 140 + width, 70 + height});
}

TEST(GridGeometry, CellsAndDrawnAreaFromTheAnchors) {
  struct Case {
    int width, height;
    int cellWidth, cellHeight;
  };
  const Case cases[] = {
      {330, 130, 20, 16},  // remainders of 10 and 2 pixels stay outside
      {320, 128, 20, 16},  // no remainder
      {424, 184, 26, 23},  // the page at 96 dpi
      {15, 7, 0, 0},       // too small for one cell
      {-40, -8, 0, 0},     // anchors the wrong way round
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    const Grid g = GridOfSize(c.width, c.height);
    EXPECT_EQ(g.rect(), (Rect{100, 50, 100 + c.width, 50 + c.height}));
    EXPECT_EQ(g.cellWidth(), c.cellWidth);
    EXPECT_EQ(g.cellHeight(), c.cellHeight);
    EXPECT_EQ(g.Drawn(), (Rect{100, 50, 100 + 16 * c.cellWidth, 50 + 8 * c.cellHeight}));
  }
}

TEST(GridGeometry, CellsAndInnerRectangles) {
  const Grid g = GridOfSize(330, 130);
  EXPECT_EQ(g.Cell(1), (Rect{100, 50, 120, 66}));
  EXPECT_EQ(g.Cell(16), (Rect{400, 50, 420, 66}));
  EXPECT_EQ(g.Cell(17), (Rect{100, 66, 120, 82}));
  EXPECT_EQ(g.Cell(128), (Rect{400, 162, 420, 178}));
  EXPECT_EQ(g.Inner(50), (Rect{121, 99, 140, 114}));
}

TEST(GridHitTest, PointsOnCellsLinesAndBeyond) {
  const Grid g = GridOfSize(330, 130);  // cells 20 x 16, drawn 320 x 128
  struct Case {
    int dx, dy;  // from the grid's top-left corner
    int cell;
  };
  const Case cases[] = {
      {0, 0, 1},        // the corner belongs to the first cell
      {19, 15, 1},      // last pixel of the first cell
      {20, 0, 2},       // on the line between columns 0 and 1: the right one
      {5, 48, 49},      // on the line between rows 2 and 3: row 3
      {319, 48, 64},    // same line, last column
      {5, 47, 33},      // just above it: row 2
      {319, 127, 128},  // last pixel of the drawn grid
      {320, 10, 0},     // the line closing the grid
      {325, 10, 0},     // the strip the 16 columns do not cover
      {335, 10, 0},     // beyond the rectangle, still within 17 cell widths
      {10, 128, 0},     // the line closing the last row
      {10, 129, 0},     // the remainder below the rows
      {-1, 10, 0},     {10, -1, 0}, {400, 10, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(g.HitTest({100 + c.dx, 50 + c.dy}), c.cell) << c.dx << "," << c.dy;
  }
  EXPECT_EQ(GridOfSize(15, 7).HitTest({100, 50}), 0) << "a grid without cells has no hits";
}

TEST(GridHitTest, EveryCellCentreHitsItsOwnCell) {
  const Grid g = GridOfSize(424, 184);
  for (int n = 1; n <= kGridCells; ++n) EXPECT_EQ(g.HitTest(test::CellCentre(g, n)), n);
}

TEST(GridDrawing, LinesOverAWindowColouredBackground) {
  const Grid g = GridOfSize(330, 130);
  RecordingCanvas canvas;
  DrawGridLines(canvas, g);
  ASSERT_FALSE(canvas.ops.empty());
  EXPECT_EQ(canvas.ops[0].kind, DrawOp::kFill);
  EXPECT_EQ(canvas.ops[0].rect, g.Drawn());
  EXPECT_EQ(canvas.ops[0].color, UiColor::kWindow);
  std::set<int> rows, columns;
  for (const DrawOp& line : canvas.Of(DrawOp::kLine)) {
    const Rect& r = line.rect;
    if (r.top == r.bottom) {
      rows.insert(r.top);
      EXPECT_EQ(r.left, 100);
      EXPECT_EQ(r.right, 421) << "across the drawn width, corner included";
    } else {
      ASSERT_EQ(r.left, r.right) << "lines are horizontal or vertical";
      columns.insert(r.left);
      EXPECT_EQ(r.top, 50);
      EXPECT_EQ(r.bottom, 179);
    }
  }
  EXPECT_EQ(rows, (std::set<int>{50, 66, 82, 98, 114, 130, 146, 162, 178}));
  ASSERT_EQ(columns.size(), 17u);
  EXPECT_EQ(*columns.begin(), 100);
  EXPECT_EQ(*columns.rbegin(), 420);
  EXPECT_EQ(canvas.Of(DrawOp::kLine).size(), 9u + 17u);
}

struct CellCount {
  int bitmaps = 0, noGlyph = 0, characters = 0;
};

CellCount CountCells(const RecordingCanvas& canvas) {
  CellCount n;
  for (const DrawOp& op : canvas.ops) {
    if (op.kind == DrawOp::kBitmap) ++n.bitmaps;
    if (op.kind == DrawOp::kText) {
      EXPECT_EQ(op.chars.size(), 1u);
      if (op.chars == "\x80") {
        ++n.noGlyph;
      } else {
        ++n.characters;
      }
    }
  }
  return n;
}

TEST(GridDrawing, WhatTheCellsOfEachGridDraw) {
  const Grid g = GridOfSize(424, 184);
  {
    RecordingCanvas canvas;
    DrawGridCells(canvas, g, GridKind::kMacintosh);
    const CellCount n = CountCells(canvas);
    EXPECT_EQ(n.bitmaps, 25);
    EXPECT_EQ(n.noGlyph, 19);
    EXPECT_EQ(n.characters, 84);
    // The glyphs are the 25 that have no Windows 95 look-alike, each its own picture.
    std::set<int> resources;
    for (const DrawOp& op : canvas.Of(DrawOp::kBitmap)) resources.insert(op.resource);
    EXPECT_EQ(resources,
              (std::set<int>{102, 103, 107, 108, 109, 113, 114, 115, 116, 117, 118, 119, 120,
                             121, 122, 123, 124, 125, 126, 127, 128, 129, 130, 134, 148}));
  }
  {
    RecordingCanvas canvas;
    DrawGridCells(canvas, g, GridKind::kWindows);
    const CellCount n = CountCells(canvas);
    EXPECT_EQ(n.bitmaps, 0);
    EXPECT_EQ(n.noGlyph, 30);
    EXPECT_EQ(n.characters, 98);
  }
}

TEST(GridDrawing, PlacesAndColoursOfTheCells) {
  const Grid g = GridOfSize(424, 184);  // cells 26 x 23
  RecordingCanvas canvas;
  DrawGridCells(canvas, g, GridKind::kMacintosh);
  // Row order: cell 1 first. Characters at +10,+5; glyphs at +4,+6, cut to the cell.
  const auto texts = canvas.Of(DrawOp::kText);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0].chars, "\xC4");
  EXPECT_EQ(texts[0].at.x, 110);
  EXPECT_EQ(texts[0].at.y, 55);
  EXPECT_EQ(texts[0].color, UiColor::kWindow);
  EXPECT_EQ(texts[0].text, UiColor::kWindowText);
  for (const DrawOp& op : canvas.Of(DrawOp::kBitmap)) {
    const int cell = g.HitTest(op.at);
    ASSERT_NE(cell, 0);
    const Rect r = g.Cell(cell);
    EXPECT_EQ(op.at.x, r.left + 4);
    EXPECT_EQ(op.at.y, r.top + 6);
    EXPECT_LE(op.at.x + op.width, r.right) << "glyph " << op.resource << " crosses a line";
    EXPECT_LE(op.at.y + op.height, r.top + 6 + kGlyphAreaHeight);
    EXPECT_EQ(op.color, UiColor::kWindow);
  }
}

TEST(GridDrawing, GlyphsAreCutToTheirAreaAndCell) {
  struct Case {
    int width, height;  // grid
    uint8_t mac;
    int drawnWidth, drawnHeight;
  };
  const Case cases[] = {
      {424, 184, 0xC4, 22, 15},  // 22 x 15 fits a 26-pixel cell exactly
      {424, 184, 0xAA, 20, 15},  // 20 x 21: the glyph area is 15 high
      {384, 184, 0xC4, 20, 15},  // 24-pixel cells: 4 + 22 would cross the line
      {424, 160, 0xB8, 14, 14},  // 20-pixel rows: 6 + 15 would cross the line
  };
  for (const Case& c : cases) {
    const Grid g = GridOfSize(c.width, c.height);
    RecordingCanvas canvas;
    HighlightCell(canvas, g, GridKind::kMacintosh, c.mac - 0x7F);
    const auto bitmaps = canvas.Of(DrawOp::kBitmap);
    ASSERT_EQ(bitmaps.size(), 1u);
    EXPECT_EQ(bitmaps[0].resource, BitmapLookup(c.mac));
    EXPECT_EQ(bitmaps[0].width, c.drawnWidth) << std::hex << int{c.mac};
    EXPECT_EQ(bitmaps[0].height, c.drawnHeight) << std::hex << int{c.mac};
  }
}

TEST(GridDrawing, HighlightFillsInsideTheLinesAndRedrawsInHighlightColours) {
  const Grid g = GridOfSize(424, 184);
  struct Case {
    GridKind kind;
    int cell;
    bool bitmap;
  };
  const Case cases[] = {
      {GridKind::kMacintosh, 1, false},
      {GridKind::kMacintosh, 0x21, true},  // Macintosh 0xA0
      {GridKind::kWindows, 0x21, false},
      {GridKind::kWindows, 128, false},
  };
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    const Rect inner = HighlightCell(canvas, g, c.kind, c.cell);
    const Rect cell = g.Cell(c.cell);
    EXPECT_EQ(inner, (Rect{cell.left + 1, cell.top + 1, cell.right, cell.bottom}));
    EXPECT_EQ(canvas.Highlights(), std::vector<Rect>{inner});
    const DrawOp& drawn = canvas.ops.back();
    EXPECT_EQ(drawn.color, UiColor::kHighlight);
    EXPECT_EQ(drawn.text, UiColor::kHighlightText);
    // The same places as the normal drawing.
    EXPECT_EQ(drawn.kind, c.bitmap ? DrawOp::kBitmap : DrawOp::kText);
    EXPECT_EQ(drawn.at.x, cell.left + (c.bitmap ? 4 : 10));
    EXPECT_EQ(drawn.at.y, cell.top + (c.bitmap ? 6 : 5));
  }
}

TEST(GlyphTables, LooksOfCharacters) {
  struct Case {
    GridKind kind;
    uint8_t c;
    int resource;  // 0: a character
    uint8_t drawn;
  };
  const Case cases[] = {
      {GridKind::kMacintosh, 0x80, 0, 0xC4}, {GridKind::kMacintosh, 0xA0, 103, 0},
      {GridKind::kMacintosh, 0xD1, 148, 0},  {GridKind::kMacintosh, 0x81, 0, 0xC5},
      {GridKind::kMacintosh, 0xD6, 0, 0xF7}, {GridKind::kMacintosh, 0xD4, 0, 0x91},
      {GridKind::kMacintosh, 0xDA, 0, 0x80}, {GridKind::kMacintosh, 0xFF, 0, 0x80},
      {GridKind::kWindows, 0x80, 0, 0x80},   {GridKind::kWindows, 0x90, 0, 0x80},
      {GridKind::kWindows, 0x91, 0, 0x91},   {GridKind::kWindows, 0x92, 0, 0x92},
      {GridKind::kWindows, 0x93, 0, 0x80},   {GridKind::kWindows, 0x9F, 0, 0x80},
      {GridKind::kWindows, 0xA0, 0, 0xA0},   {GridKind::kWindows, 0xFF, 0, 0xFF},
  };
  for (const Case& c : cases) {
    const CellLook look = GridCellLook(c.kind, c.c - 0x7F);
    EXPECT_EQ(look.bitmap ? look.bitmap->resource : 0, c.resource) << std::hex << int{c.c};
    if (!look.bitmap) {
      EXPECT_EQ(look.ch, c.drawn) << std::hex << int{c.c};
    }
  }
  // Characters below 0x80 only come from a hand-edited file: control characters have no glyph.
  EXPECT_EQ(WinDisplayChar(0), kNoGlyphChar);
  EXPECT_EQ(WinDisplayChar(0x1F), kNoGlyphChar);
  EXPECT_EQ(WinDisplayChar(','), ',');
}

TEST(GlyphTables, BitmapLookupWalksTheListFromTheStart) {
  EXPECT_EQ(BitmapLookup(0x81), 133);
  EXPECT_EQ(BitmapLookup(0xD6), 131);
  EXPECT_EQ(BitmapLookup(0xD9), 129);
  EXPECT_EQ(BitmapLookup(0x80), 0);
  EXPECT_EQ(BitmapLookup(0), 0) << "the end marker is no entry";
  // Every character the Macintosh grid draws from a bitmap finds a picture with a size.
  for (int i = 0; i < kGridCells; ++i) {
    if (MacGlyphTable[i] != kGlyphFromBitmap) continue;
    const GlyphBitmap* b = FindGlyphBitmap(static_cast<uint8_t>(0x80 + i));
    ASSERT_NE(b, nullptr) << std::hex << 0x80 + i;
    EXPECT_GT(b->width, 0);
    EXPECT_GT(b->height, 0);
  }
}

TEST(Details, BlanksFirstThenTheTextBesideTheLabel) {
  const Rect label{40, 200, 120, 213};
  struct Case {
    const char* text;
    int length;
    int blanks;
  };
  const Case cases[] = {{"\xE9", 1, 6}, {"_\xA0", 2, 6}, {"\xC4", 1, 9}, {"", 0, 9}};
  for (const Case& c : cases) {
    RecordingCanvas canvas;
    DrawDetails(canvas, label, c.text, c.length, c.blanks);
    const auto texts = canvas.Of(DrawOp::kText);
    ASSERT_EQ(texts.size(), c.length ? 2u : 1u);
    EXPECT_EQ(texts[0].chars, std::string(c.blanks, ' '));
    for (const DrawOp& t : texts) {
      EXPECT_EQ(t.at.x, 130);
      EXPECT_EQ(t.at.y, 200);
      EXPECT_EQ(t.color, UiColor::kMenu);
      EXPECT_EQ(t.text, UiColor::kMenuText);
    }
    if (c.length) {
      EXPECT_EQ(texts[1].chars, std::string(c.text, c.length));
    }
  }
}

TEST(Details, MacintoshCharacterWipesTheGlyphAreaFirst) {
  for (uint8_t mac : {uint8_t{0x80}, uint8_t{0xAA}}) {
    RecordingCanvas canvas;
    DrawMacDetails(canvas, {300, 20}, mac);
    ASSERT_EQ(canvas.ops.size(), 2u);
    EXPECT_EQ(canvas.ops[0].kind, DrawOp::kFill);
    EXPECT_EQ(canvas.ops[0].rect, (Rect{300, 20, 330, 35}));
    EXPECT_EQ(canvas.ops[0].color, UiColor::kMenu);
    EXPECT_EQ(canvas.ops[1].kind, mac == 0xAA ? DrawOp::kBitmap : DrawOp::kText);
    EXPECT_EQ(canvas.ops[1].at.x, 300);
    EXPECT_EQ(canvas.ops[1].color, UiColor::kMenu);
  }
}

}  // namespace
}  // namespace brind
