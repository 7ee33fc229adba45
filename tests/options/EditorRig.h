// A canvas that records every drawing call and a dialog whose controls sit where a test puts
// them, for the mapping editor's tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "charmap/CharGrid.h"
#include "charmap/MappingEditor.h"

namespace brind::test {

struct DrawOp {
  enum Kind { kFill, kLine, kText, kBitmap } kind;
  Rect rect;          // kFill: the rectangle; kLine: (x1, y1, x2, y2)
  UiColor color{};    // kFill: its colour; kText/kBitmap: the background in effect
  UiColor text{};     // kText/kBitmap: the text colour in effect
  Point at;           // kText/kBitmap
  std::string chars;  // kText
  int resource = 0;   // kBitmap
  int width = 0;      // kBitmap
  int height = 0;
};

class RecordingCanvas : public Canvas {
 public:
  std::vector<DrawOp> ops;

  void Fill(const Rect& r, UiColor color) override {
    ops.push_back({DrawOp::kFill, r, color, UiColor::kWindowText, {}, {}, 0, 0, 0});
  }
  void Line(int x1, int y1, int x2, int y2) override {
    ops.push_back({DrawOp::kLine, {x1, y1, x2, y2}, {}, {}, {}, {}, 0, 0, 0});
  }
  void Colors(UiColor background, UiColor text) override {
    back_ = background;
    text_ = text;
  }
  void Text(int x, int y, const char* s, int length) override {
    ops.push_back({DrawOp::kText, {}, back_, text_, {x, y}, std::string(s, length), 0, 0, 0});
  }
  void Bitmap(int x, int y, int resource, int width, int height) override {
    ops.push_back({DrawOp::kBitmap, {}, back_, text_, {x, y}, {}, resource, width, height});
  }

  std::vector<DrawOp> Of(DrawOp::Kind kind) const {
    std::vector<DrawOp> out;
    for (const DrawOp& op : ops) {
      if (op.kind == kind) out.push_back(op);
    }
    return out;
  }
  // The last text drawn at a point, "" when none.
  std::string LastTextAt(Point p) const {
    for (auto it = ops.rbegin(); it != ops.rend(); ++it) {
      if (it->kind == DrawOp::kText && it->at.x == p.x && it->at.y == p.y) return it->chars;
    }
    return "";
  }
  // Rectangles filled in the highlight colour.
  std::vector<Rect> Highlights() const {
    std::vector<Rect> out;
    for (const DrawOp& op : ops) {
      if (op.kind == DrawOp::kFill && op.color == UiColor::kHighlight) out.push_back(op.rect);
    }
    return out;
  }

 private:
  UiColor back_ = UiColor::kWindow;
  UiColor text_ = UiColor::kWindowText;
};

class FakeMappingWindow : public MappingWindow {
 public:
  std::map<int, Rect> controls;
  std::vector<Rect> invalidated;
  int invalidatedAll = 0;
  int changed = 0;

  Rect ControlRect(int id) override {
    auto it = controls.find(id);
    return it == controls.end() ? Rect{} : it->second;
  }
  void Invalidate(const Rect& r) override { invalidated.push_back(r); }
  void InvalidateAll() override { ++invalidatedAll; }
  void Changed() override { ++changed; }
};

// The page's controls at 96 dpi with an 8-point dialog font (base units 6 x 13): the grid
// rectangle runs from (33, 66) to (457, 250), cells of 26 x 23.
inline FakeMappingWindow PageWindow() {
  FakeMappingWindow w;
  w.controls[kIdMacGridLabel] = {33, 50, 241, 66};
  w.controls[kIdLowerAnchor] = {457, 250, 504, 269};
  w.controls[kIdMacCharLabel] = {49, 276, 153, 289};
  w.controls[kIdMappedWinLabel] = {54, 308, 163, 321};
  return w;
}

// The Edit dialog's: grid from (22, 120) to (415, 303), cells of 24 x 22.
inline FakeMappingWindow EditWindow() {
  FakeMappingWindow w;
  w.controls[kIdWinGridLabel] = {22, 99, 183, 120};
  w.controls[kIdLowerAnchor] = {415, 303, 454, 324};
  w.controls[kIdMacCharLabel] = {256, 37, 364, 50};
  w.controls[kIdChosenWinLabel] = {258, 55, 459, 71};
  return w;
}

// The middle of cell n of a grid.
inline Point CellCentre(const Grid& grid, int n) {
  const Rect r = grid.Cell(n);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace brind::test
