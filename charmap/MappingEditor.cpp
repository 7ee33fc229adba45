#include "charmap/MappingEditor.h"

#include "charmap/CharMapFile.h"

namespace brind {

namespace {

int CellOf(uint8_t w) { return w >= 0x80 ? w - 0x7F : 0; }

bool DrawnFromBitmap(uint8_t mac) { return MacGlyphTable[mac - 0x80] == kGlyphFromBitmap; }

MappingText Plain(uint8_t w, int cell) {
  MappingText t;
  t.text[0] = static_cast<char>(WinDisplayChar(w));
  t.length = 1;
  t.cell = cell;
  return t;
}

MappingText Underscored(uint8_t w) {
  MappingText t;
  t.text[0] = '_';
  t.text[1] = static_cast<char>(WinDisplayChar(w));
  t.length = 2;
  return t;
}

// The Windows character w no longer stands for anything, then mac gets it: no character is ever
// the target of two entries.
void MoveTo(CharMap& map, uint8_t mac, uint8_t w) {
  for (uint8_t& entry : map) {
    if (entry == w) entry = CHARMAP_UNMAPPED;
  }
  map[mac - 0x80] = w;
}

}  // namespace

MappingText PageDetails(const CharMap& map, uint8_t mac, TakenTest test) {
  const uint8_t value = map[mac - 0x80];
  if (value != CHARMAP_UNMAPPED) return Plain(value, CellOf(value));
  bool taken = false;
  switch (test) {
    case TakenTest::kUsual:
      taken = IsWindowsCharTaken(map, mac) || (DrawnFromBitmap(mac) && IsDefaultTarget(mac));
      break;
    case TakenTest::kTakenOnly:
      taken = IsWindowsCharTaken(map, mac);
      break;
    case TakenTest::kDefaultTargetOnly:
      taken = IsDefaultTarget(mac);
      break;
  }
  return taken ? Underscored(mac) : Plain(mac, CellOf(mac));
}

MappingText OpeningProposal(const CharMap& map, uint8_t mac) {
  const uint8_t value = map[mac - 0x80];
  if (value != CHARMAP_UNMAPPED) return Plain(value, CellOf(value));
  if (IsWindowsCharTaken(map, mac) || IsDefaultTarget(mac)) return Underscored(mac);
  return Plain(mac, CellOf(mac));
}

// --- Edit Character Mapping ------------------------------------------------------------------

void EditMappingDialog::Init() {
  sel_.defaultUsed = false;
  defaultShown_ = false;
  underscoreShown_ = false;
  opening_ = true;
  shownCell_ = 0;
}

Grid EditMappingDialog::GridOf(MappingWindow& window) const {
  return Grid::FromAnchors(window.ControlRect(kIdWinGridLabel), window.ControlRect(kIdLowerAnchor));
}

void EditMappingDialog::DrawMacChar(MappingWindow& window, Canvas& canvas) {
  if (sel_.macCell == 0) return;
  const Rect label = window.ControlRect(kIdMacCharLabel);
  DrawMacDetails(canvas, {label.right + 20, label.top - 2}, sel_.mac());
}

MappingText EditMappingDialog::DefaultProposal() {
  const uint8_t mac = sel_.mac();
  const uint8_t value = DefaultCharMap[mac - 0x80];
  if (value != CHARMAP_UNMAPPED) {
    defaultChar_ = value;
    defaultCell_ = CellOf(value);
    return Plain(value, defaultCell_);
  }
  defaultChar_ = mac;
  defaultCell_ = 0;
  const bool fromBitmap = DrawnFromBitmap(mac);
  if (IsDefaultTarget(mac) || (!fromBitmap && IsWindowsCharTaken(map_, mac))) {
    if (fromBitmap) underscoreShown_ = true;
    return Underscored(mac);
  }
  return Plain(mac, CellOf(mac));
}

void EditMappingDialog::ShowProposal(const MappingText& shown, MappingWindow& window,
                                     Canvas& canvas, const Grid& grid) {
  DrawDetails(canvas, window.ControlRect(kIdChosenWinLabel), shown.text, shown.length,
              kDetailsBlanks);
  if (shown.cell != 0) HighlightCell(canvas, grid, GridKind::kWindows, shown.cell);
  shownCell_ = shown.cell;
}

void EditMappingDialog::Paint(MappingWindow& window, Canvas& canvas) {
  const Grid grid = GridOf(window);
  DrawGridLines(canvas, grid);
  DrawGridCells(canvas, grid, GridKind::kWindows);
  DrawMacChar(window, canvas);
  if (sel_.macCell == 0) return;
  if (!opening_ && !defaultShown_ && sel_.chosenWinCell != 0) {
    const int w = sel_.chosenWinCell;
    ShowProposal(Plain(static_cast<uint8_t>(0x7F + w), w), window, canvas, grid);
    shownCell_ = 0;
    return;
  }
  ShowProposal(defaultShown_ ? DefaultProposal() : OpeningProposal(map_, sel_.mac()), window,
               canvas, grid);
}

void EditMappingDialog::Click(Point p, MappingWindow& window, Canvas& canvas) {
  const Grid grid = GridOf(window);
  const int cell = grid.HitTest(p);
  if (cell == 0) return;
  for (int old : {sel_.chosenWinCell, shownCell_}) {
    if (old != 0 && old != cell) window.Invalidate(grid.Cell(old));
  }
  shownCell_ = 0;
  HighlightCell(canvas, grid, GridKind::kWindows, cell);
  const MappingText chosen = Plain(static_cast<uint8_t>(0x7F + cell), cell);
  DrawDetails(canvas, window.ControlRect(kIdChosenWinLabel), chosen.text, chosen.length,
              kDetailsBlanks);
  DrawMacChar(window, canvas);
  sel_.chosenWinCell = cell;
  opening_ = false;
  defaultPending_ = false;
  defaultShown_ = false;
  sel_.defaultUsed = false;
  underscoreShown_ = false;
}

void EditMappingDialog::SetDefault(MappingWindow& window, Canvas& canvas) {
  if (sel_.macCell == 0) return;
  const Grid grid = GridOf(window);
  const int before = shownCell_;
  defaultPending_ = true;
  defaultShown_ = true;
  sel_.defaultUsed = true;
  const MappingText shown = DefaultProposal();
  // The clicked cell, and a cell the opening display highlighted, lose their highlight.
  for (int old : {sel_.chosenWinCell, before}) {
    if (old != 0 && old != shown.cell) window.Invalidate(grid.Cell(old));
  }
  ShowProposal(shown, window, canvas, grid);
}

void EditMappingDialog::Ok() {
  if (sel_.macCell != 0 && sel_.chosenWinCell != 0) {
    MoveTo(map_, sel_.mac(), static_cast<uint8_t>(0x7F + sel_.chosenWinCell));
  }
  if (defaultPending_ && sel_.macCell != 0) {
    const uint8_t mac = sel_.mac();
    const uint8_t value = DefaultCharMap[mac - 0x80];
    if (value == CHARMAP_UNMAPPED) {
      map_[mac - 0x80] = CHARMAP_UNMAPPED;
    } else {
      MoveTo(map_, mac, value);
    }
  }
  defaultPending_ = false;
}

void EditMappingDialog::Cancel() {
  sel_.chosenWinCell = 0;
  defaultPending_ = false;
}

// --- Character Mapping page --------------------------------------------------------------------

Grid MappingPage::GridOf(MappingWindow& window) const {
  return Grid::FromAnchors(window.ControlRect(kIdMacGridLabel), window.ControlRect(kIdLowerAnchor));
}

bool MappingPage::Init(MappingWindow& window) {
  sel_.macCell = 1;
  firstPending_ = true;
  sel_.defaultUsed = false;
  window.Changed();
  char path[kCharMapPathBytes];
  if (!FindCharMapFile(store_, path)) {
    store_.prompts.Show(kMsgNotInstalled, nullptr, kMbOk | kMbIconError);
    return false;
  }
  if (std::FILE* f = store_.files.OpenRead(path)) {
    // From a cleared table: what a cancelled editing left must not come back with the next OK.
    store_.map.fill(0);
    ReadCharMapFile(store_.map, f);
    std::fclose(f);
  } else {
    store_.prompts.Show(kMsgNoMapFile, nullptr, kMbOk | kMbIconInformation);
    ResetCharMap(store_.map);
  }
  return true;
}

void MappingPage::DrawDetailsOf(int cell, TakenTest test, MappingWindow& window, Canvas& canvas) {
  const uint8_t mac = static_cast<uint8_t>(0x80 + cell - 1);
  DrawMacDetails(canvas, DetailsAt(window.ControlRect(kIdMacCharLabel)), mac);
  const MappingText mapped = PageDetails(store_.map, mac, test);
  DrawDetails(canvas, window.ControlRect(kIdMappedWinLabel), mapped.text, mapped.length,
              kDetailsClearBlanks);
}

void MappingPage::Paint(MappingWindow& window, Canvas& canvas) {
  const Grid grid = GridOf(window);
  DrawGridLines(canvas, grid);
  DrawGridCells(canvas, grid, GridKind::kMacintosh);
  const TakenTest test = sel_.defaultUsed ? TakenTest::kDefaultTargetOnly : TakenTest::kUsual;
  if (firstPending_) {
    // The opening highlight covers the whole first cell, its lines included.
    const Rect cell = grid.Cell(1);
    canvas.Fill(cell, UiColor::kHighlight);
    canvas.Colors(UiColor::kHighlight, UiColor::kHighlightText);
    DrawLook(canvas, GridCellLook(GridKind::kMacintosh, 1), {cell.left + 5, cell.top + 5},
             {cell.left + 4, cell.top + 6}, cell);
    DrawDetailsOf(1, test, window, canvas);
    return;
  }
  if (sel_.macCell == 0) return;
  HighlightCell(canvas, grid, GridKind::kMacintosh, sel_.macCell);
  DrawDetailsOf(sel_.macCell, test, window, canvas);
}

void MappingPage::Click(Point p, MappingWindow& window, Canvas& canvas) {
  const Grid grid = GridOf(window);
  const int cell = grid.HitTest(p);
  if (cell == 0) return;
  if (sel_.macCell != 0 && sel_.macCell != cell) window.Invalidate(grid.Cell(sel_.macCell));
  HighlightCell(canvas, grid, GridKind::kMacintosh, cell);
  DrawDetailsOf(cell, TakenTest::kUsual, window, canvas);
  sel_.macCell = cell;
  window.Changed();
  if (firstPending_) {
    firstPending_ = false;
    window.InvalidateAll();
  }
}

void MappingPage::AllDefault(MappingWindow& window, Canvas& canvas) {
  window.Changed();
  ResetCharMap(store_.map);
  if (sel_.macCell == 0) return;
  const MappingText mapped = PageDetails(store_.map, sel_.mac(), TakenTest::kTakenOnly);
  DrawDetails(canvas, window.ControlRect(kIdMappedWinLabel), mapped.text, mapped.length,
              kDetailsClearBlanks);
}

void MappingPage::BeforeEdit(MappingWindow& window) {
  sel_.chosenWinCell = 0;
  window.Changed();
}

void MappingPage::Apply() {
  char path[kCharMapPathBytes];
  if (!FindCharMapFile(store_, path)) {
    store_.prompts.Show(kMsgNotInstalled, nullptr, kMbOk | kMbIconError);
    return;
  }
  // The file is opened first only to see that it is there; a missing one is created hidden.
  std::FILE* f = store_.files.OpenRead(path);
  if (!f) {
    if (!store_.files.CreateHidden(path)) {
      store_.prompts.Show(kMsgNoMapFile, nullptr, kMbOk | kMbIconInformation);
      return;
    }
    f = store_.files.OpenRead(path);
    if (!f) {
      store_.prompts.Show(kMsgNotExists, nullptr, kMbOk | kMbIconInformation);
      return;
    }
  }
  SendCharMapToDriver(store_.map, driver_, store_.prompts);
  std::fclose(f);
  bool written = false;
  if (std::FILE* out = store_.files.OpenWrite(path)) {
    written = WriteCharMapFile(store_.map, out);
    written = (std::fclose(out) == 0) && written;
  }
  if (!written) store_.prompts.Show(kMsgCannotWrite, nullptr, kMbOk | kMbIconError);
}

}  // namespace brind
