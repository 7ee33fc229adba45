// The character-mapping editor behind the Options sheet: the Character Mapping page (the
// Macintosh grid and the details of the selected character) and the Edit Character Mapping
// dialog (the Windows grid). Both decide here what to draw, what a click or a button does to the
// table, and when the file is written and the driver told; the dialog procedures only forward.
#pragma once

#include <cstdint>

#include "charmap/CharGrid.h"
#include "charmap/CharMapStore.h"

namespace brind {

// Controls of the page (template 142) and of the Edit dialog (101) that the editor reads.
inline constexpr int kIdAllDefault = 1000;
inline constexpr int kIdEdit = 1001;
inline constexpr int kIdSetDefault = 1005;
inline constexpr int kIdMacCharLabel = 1030;    // both: the Macintosh character beside it
inline constexpr int kIdMacGridLabel = 1031;    // page: upper anchor of the grid
inline constexpr int kIdLowerAnchor = 1033;     // both: lower anchor of the grid
inline constexpr int kIdWinGridLabel = 1034;    // Edit: upper anchor of the grid
inline constexpr int kIdChosenWinLabel = 1037;  // Edit: the chosen Windows character beside it
inline constexpr int kIdMappedWinLabel = 1038;  // page: the mapped Windows character beside it

inline constexpr const char kMsgNotInstalled[] =
    "Brindlewood for Windows 95 is not installed. Please install from setup disk";
inline constexpr const char kMsgNoMapFile[] =
    "Current character mapping file does not exist, default mapping is loaded";
inline constexpr const char kMsgNotExists[] = "Not_Exists";
// An apply that sent the table but could not save it must not pass for a saved one.
inline constexpr const char kMsgCannotWrite[] =
    "The character mapping could not be written to CHARMAP.MAC";

// The dialog a model draws on: where its controls are (client coordinates) and what it repaints.
class MappingWindow {
 public:
  virtual ~MappingWindow() = default;
  virtual Rect ControlRect(int id) = 0;
  // Repaints later (the paint handler redraws from the model's state).
  virtual void Invalidate(const Rect& r) = 0;
  virtual void InvalidateAll() = 0;
  // The page tells its sheet that something changed (enables Apply).
  virtual void Changed() {}
};

// What shows beside a label: 1 or 2 characters of the Windows set, and the grid cell that goes
// with it (0: none).
struct MappingText {
  char text[2] = {};
  int length = 0;
  int cell = 0;
  bool underscored() const { return length == 2; }
};

// When an unmapped Macintosh character's own code shows as taken, and so with "_" in front.
enum class TakenTest {
  kUsual,              // taken in the table, or (for a glyph-bitmap character) a default target
  kTakenOnly,          // just after All Default
  kDefaultTargetOnly,  // repaints after an Edit that used Set Default
};

// The page's details for the Macintosh character mac: its mapped Windows character, or its own
// code, with "_" in front when taken.
MappingText PageDetails(const CharMap& map, uint8_t mac, TakenTest test);

// What the Edit dialog shows when it opens for mac: what it is mapped to, with its cell; or, if
// unmapped, its own code ("_" in front and no cell when taken or a default target).
MappingText OpeningProposal(const CharMap& map, uint8_t mac);

// The state the page and the Edit dialog share (one set per program).
struct MappingSelection {
  int macCell = 1;           // the page's selected cell, 1-128 (0: none)
  int chosenWinCell = 0;     // the Edit dialog's chosen cell, 1-128 (0: none)
  bool defaultUsed = false;  // the last Edit used Set Default: page repaints test default targets
  uint8_t mac() const { return static_cast<uint8_t>(0x80 + macCell - 1); }
};

class EditMappingDialog {
 public:
  EditMappingDialog(CharMap& map, MappingSelection& selection) : map_(map), sel_(selection) {}

  void Init();
  void Paint(MappingWindow& window, Canvas& canvas);
  // WM_LBUTTONDOWN at p (client coordinates).
  void Click(Point p, MappingWindow& window, Canvas& canvas);
  void SetDefault(MappingWindow& window, Canvas& canvas);
  // The dialog's buttons; the caller ends the dialog afterwards.
  void Ok();
  void Cancel();

  bool opening() const { return opening_; }
  bool defaultPending() const { return defaultPending_; }
  bool defaultShown() const { return defaultShown_; }
  bool underscoreShown() const { return underscoreShown_; }
  uint8_t defaultChar() const { return defaultChar_; }
  int defaultCell() const { return defaultCell_; }

 private:
  Grid GridOf(MappingWindow& window) const;
  MappingText DefaultProposal();
  void ShowProposal(const MappingText& shown, MappingWindow& window, Canvas& canvas,
                    const Grid& grid);
  void DrawMacChar(MappingWindow& window, Canvas& canvas);

  CharMap& map_;
  MappingSelection& sel_;
  bool opening_ = false;
  bool defaultPending_ = false;
  bool defaultShown_ = false;
  bool underscoreShown_ = false;
  uint8_t defaultChar_ = 0;
  int defaultCell_ = 0;
  int shownCell_ = 0;  // highlighted by the opening display or by Set Default
};

class MappingPage {
 public:
  MappingPage(CharMapStore& store, DriverPort& driver, MappingSelection& selection)
      : store_(store), driver_(driver), sel_(selection) {}

  // WM_INITDIALOG: false when the installation can't be found and the page is to go.
  bool Init(MappingWindow& window);
  void Paint(MappingWindow& window, Canvas& canvas);
  void Click(Point p, MappingWindow& window, Canvas& canvas);
  void AllDefault(MappingWindow& window, Canvas& canvas);
  // Edit pressed: call before running the Edit dialog.
  void BeforeEdit(MappingWindow& window);
  // OK or Apply: saves the file (creating it hidden when missing) and sends the table.
  void Apply();

  bool firstSelectionPending() const { return firstPending_; }

 private:
  Grid GridOf(MappingWindow& window) const;
  void DrawDetailsOf(int cell, TakenTest test, MappingWindow& window, Canvas& canvas);

  CharMapStore& store_;
  DriverPort& driver_;
  MappingSelection& sel_;
  bool firstPending_ = false;
};

}  // namespace brind
