// The character grids of the mapping dialogs: 16 columns by 8 rows drawn straight onto a
// dialog's surface, cell n (1-128) standing for the character 0x80 + n - 1. Geometry, drawing,
// highlight and hit-testing are decided here; a platform only supplies a canvas to draw on.
#pragma once

#include <cstdint>

namespace brind {

struct Point {
  int x = 0;
  int y = 0;
};

// Left and top edges belong to the rectangle, right and bottom ones do not.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  bool operator==(const Rect&) const = default;
};

inline constexpr int kGridColumns = 16;
inline constexpr int kGridRows = 8;
inline constexpr int kGridCells = kGridColumns * kGridRows;

enum class GridKind { kMacintosh, kWindows };

// The system colours the dialogs draw with.
enum class UiColor { kWindow, kWindowText, kHighlight, kHighlightText, kMenu, kMenuText };

// The Windows 95 character drawn for each Macintosh character 0x80 + i, or kGlyphFromBitmap when
// its picture is one of the glyph bitmaps; 0x80 where it has no look-alike at all.
inline constexpr uint8_t kGlyphFromBitmap = 1;
extern const uint8_t MacGlyphTable[kGridCells];
// The character actually drawn for each Windows character 0x80 + i: 0x80 (no glyph in the
// Windows 95 set) for 0x80-0x90 and 0x93-0x9F, the character itself otherwise.
inline constexpr uint8_t kNoGlyphChar = 0x80;
extern const uint8_t WinDisplayTable[kGridCells];

struct GlyphBitmap {
  uint8_t mac;       // Macintosh character; 0 ends the list
  uint8_t resource;  // bitmap resource number
  uint8_t width;     // pixels
  uint8_t height;
};
inline constexpr int kGlyphBitmapPairs = 28;
extern const GlyphBitmap GlyphBitmapTable[kGlyphBitmapPairs];

// The first pair of GlyphBitmapTable for the character, or nullptr.
const GlyphBitmap* FindGlyphBitmap(uint8_t mac);
// Its resource number, 0 when the character has no bitmap.
int BitmapLookup(uint8_t mac);

// The character drawn for a Windows character: through WinDisplayTable for 0x80-0xFF; a control
// character (only a hand-edited CHARMAP.MAC holds one) is drawn as the no-glyph character.
uint8_t WinDisplayChar(uint8_t w);

// How one character shows: a character of the Windows set, or a glyph bitmap.
struct CellLook {
  const GlyphBitmap* bitmap = nullptr;  // set: the bitmap; else the character ch
  uint8_t ch = 0;
};
CellLook MacCharLook(uint8_t mac);  // through MacGlyphTable
CellLook WinCharLook(uint8_t w);    // through WinDisplayTable

// Where a platform draws. One call per primitive, in the order they are to happen.
class Canvas {
 public:
  virtual ~Canvas() = default;
  // Fills with a brush of the colour (right and bottom edges excluded).
  virtual void Fill(const Rect& r, UiColor color) = 0;
  // A black line from (x1, y1) up to, not including, (x2, y2); horizontal or vertical.
  virtual void Line(int x1, int y1, int x2, int y2) = 0;
  // Background and text colours of what follows.
  virtual void Colors(UiColor background, UiColor text) = 0;
  // Characters of the Windows set, opaque, top-left corner at (x, y).
  virtual void Text(int x, int y, const char* text, int length) = 0;
  // The top-left width x height pixels of a monochrome glyph bitmap copied at (x, y): its set
  // bits take the background colour and its clear bits the text colour.
  virtual void Bitmap(int x, int y, int resource, int width, int height) = 0;
};

// The largest area a glyph bitmap is copied into.
inline constexpr int kGlyphAreaWidth = 30;
inline constexpr int kGlyphAreaHeight = 15;

class Grid {
 public:
  // From the bottom-left corner of the upper anchor to the top-left corner of the lower one.
  static Grid FromAnchors(const Rect& upper, const Rect& lower);

  const Rect& rect() const { return rect_; }
  int cellWidth() const { return cellWidth_; }
  int cellHeight() const { return cellHeight_; }
  // What is drawn: 16 whole cells across and 8 down; the rest of the rectangle stays outside.
  Rect Drawn() const;
  // Between the grid lines around cell n (1-128).
  Rect Cell(int n) const;
  // Inside the lines: what a highlight fills.
  Rect Inner(int n) const;
  // The cell under a point, 0 for none. A point on a grid line belongs to the cell below it or
  // to its right.
  int HitTest(Point p) const;

 private:
  Rect rect_;
  int cellWidth_ = 0;
  int cellHeight_ = 0;
};

// White background, 9 horizontal and 17 vertical black lines.
void DrawGridLines(Canvas& canvas, const Grid& grid);
// Every cell's character (or glyph) in the window colours, row by row.
void DrawGridCells(Canvas& canvas, const Grid& grid, GridKind kind);
// Highlights cell n and returns the inner rectangle it filled.
Rect HighlightCell(Canvas& canvas, const Grid& grid, GridKind kind, int n);

// The look of the character of cell n of a grid kind.
CellLook GridCellLook(GridKind kind, int n);

// A character drawn with its look: text with its top-left corner at textAt, or a glyph bitmap
// at bitmapAt, cut to the 30 x 15 glyph area and to clip.
void DrawLook(Canvas& canvas, const CellLook& look, Point textAt, Point bitmapAt, const Rect& clip);

// Details beside a label, in the menu colours: "blanks" blanks to wipe the previous text, then
// the text (1 or 2 characters of the Windows set).
inline constexpr int kDetailsBlanks = 6;
inline constexpr int kDetailsClearBlanks = 9;
Point DetailsAt(const Rect& label);
void DrawDetails(Canvas& canvas, const Rect& label, const char* text, int length, int blanks);
// A Macintosh character beside a label at `at` (its glyph or its MacGlyphTable character),
// wiping the glyph area first.
void DrawMacDetails(Canvas& canvas, Point at, uint8_t mac);

}  // namespace brind
