#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "charmap/CharMapFile.h"
#include "charmap/MappingEditor.h"
#include "tests/options/EditorRig.h"
#include "tests/support/FakeCharMapFiles.h"
#include "tests/support/FakeDriverPort.h"
#include "tests/support/FakeProductRegistry.h"
#include "tests/support/MessageTexts.h"
#include "tests/support/ScriptedPrompts.h"

namespace brind {
namespace {

using test::DrawOp;
using test::FakeCharMapFiles;
using test::FakeDriverPort;
using test::FakeMappingWindow;
using test::FakeProductRegistry;
using test::kMapCannotOpen;
using test::kMapNoDeviceIo;
using test::kMapRefused;
using test::RecordingCanvas;
using test::ScriptedPrompts;

constexpr const char* kPath = "C:\\BRIND\\CHARMAP.MAC";

std::string S(const MappingText& t) { return std::string(t.text, t.length); }

// No Windows character is the target of two entries.
void ExpectInvariant(const CharMap& map) {
  for (int i = 0; i < kCharMapEntries; ++i) {
    if (map[i] == CHARMAP_UNMAPPED) continue;
    for (int j = i + 1; j < kCharMapEntries; ++j) {
      ASSERT_NE(map[i], map[j]) << "entries 0x" << std::hex << 0x80 + i << " and 0x" << 0x80 + j;
    }
  }
}

TEST(PageDetails, MappedUnmappedTakenAndDefaultTargets) {
  CharMap moved = DefaultCharMap;
  moved[0xCA - 0x80] = 0xB2;  // 0xA0 is no longer taken, but still a default target
  moved[0xDA - 0x80] = 0xFD;  // 0xFD (own code of the unmapped 0xFD) is taken
  moved[0x84 - 0x80] = ',';   // a hand-edited file
  moved[0x85 - 0x80] = 0;
  // A character drawn as text that only the defaults target: the page's usual rule and the rule
  // after Set Default tell it apart.
  CharMap e9Free = DefaultCharMap;
  e9Free[0x8E - 0x80] = CHARMAP_UNMAPPED;
  e9Free[0xE9 - 0x80] = CHARMAP_UNMAPPED;
  struct Case {
    const char* what;
    const CharMap* map;
    uint8_t mac;
    TakenTest test;
    std::string text;
    int cell;
  };
  const Case cases[] = {
      {"mapped", &DefaultCharMap, 0x80, TakenTest::kUsual, "\xC4", 0xC4 - 0x7F},
      {"mapped to a no-glyph character", &DefaultCharMap, 0xDA, TakenTest::kUsual, "\x80",
       0x93 - 0x7F},
      {"unmapped, taken", &DefaultCharMap, 0xA0, TakenTest::kUsual, "_\xA0", 0},
      {"unmapped, free", &DefaultCharMap, 0xB2, TakenTest::kUsual, "\xB2", 0xB2 - 0x7F},
      {"unmapped glyph, default target only", &moved, 0xA0, TakenTest::kUsual, "_\xA0", 0},
      {"... after All Default the table alone counts", &moved, 0xA0, TakenTest::kTakenOnly, "\xA0",
       0x21},
      {"... after Set Default the defaults alone count", &moved, 0xA0,
       TakenTest::kDefaultTargetOnly, "_\xA0", 0},
      {"unmapped character, taken", &moved, 0xFD, TakenTest::kUsual, "_\xFD", 0},
      {"... taken counts after All Default", &moved, 0xFD, TakenTest::kTakenOnly, "_\xFD", 0},
      {"... but not for the defaults alone", &moved, 0xFD, TakenTest::kDefaultTargetOnly, "\xFD",
       0x7E},
      {"unmapped character, no default target", &DefaultCharMap, 0xDD, TakenTest::kUsual, "\xDD",
       0xDD - 0x7F},
      {"mapped below 0x80", &moved, 0x84, TakenTest::kUsual, ",", 0},
      {"mapped to 0", &moved, 0x85, TakenTest::kUsual, "\x80", 0},
      {"unmapped text character, a default target only", &e9Free, 0xE9, TakenTest::kUsual, "\xE9",
       0xE9 - 0x7F},
      {"... after Set Default the default target counts", &e9Free, 0xE9,
       TakenTest::kDefaultTargetOnly, "_\xE9", 0},
  };
  for (const Case& c : cases) {
    const MappingText t = PageDetails(*c.map, c.mac, c.test);
    EXPECT_EQ(S(t), c.text) << c.what;
    EXPECT_EQ(t.cell, c.cell) << c.what;
  }
}

TEST(EditOpening, ShowsWhatOkWouldKeep) {
  CharMap map = DefaultCharMap;
  map[0xCA - 0x80] = CHARMAP_UNMAPPED;  // 0xA0 free in the table, still a default target
  map[0x81 - 0x80] = 0xB2;
  map[0xDD - 0x80] = CHARMAP_UNMAPPED;
  struct Case {
    uint8_t mac;
    std::string text;
    int cell;
  };
  const Case cases[] = {
      {0x80, "\xC4", 0xC4 - 0x7F},  // mapped: its character and its cell
      {0x81, "\xB2", 0xB2 - 0x7F},
      {0xA0, "_\xA0", 0},           // unmapped, a default target: underscore, no cell
      {0xA5, "_\xA5", 0},           // unmapped, taken (0xB4 has 0xA5)
      {0xB3, "\xB3", 0xB3 - 0x7F},  // unmapped and free: alone, its cell
      {0xDD, "\xDD", 0xDD - 0x7F},
  };
  for (const Case& c : cases) {
    const MappingText t = OpeningProposal(map, c.mac);
    EXPECT_EQ(S(t), c.text) << std::hex << int{c.mac};
    EXPECT_EQ(t.cell, c.cell) << std::hex << int{c.mac};
  }
}

// --- the Edit dialog ---------------------------------------------------------------------------

struct EditRig {
  CharMap map = DefaultCharMap;
  MappingSelection sel;
  EditMappingDialog dialog{map, sel};
  FakeMappingWindow window = test::EditWindow();
  RecordingCanvas canvas;

  Grid grid() {
    return Grid::FromAnchors(window.controls[kIdWinGridLabel], window.controls[kIdLowerAnchor]);
  }
  void Open(uint8_t mac) {
    sel.macCell = mac - 0x7F;
    sel.chosenWinCell = 0;  // the page's Edit button
    dialog.Init();
  }
  void ClickWin(uint8_t w) { dialog.Click(test::CellCentre(grid(), w - 0x7F), window, canvas); }
  void SetDefault() { dialog.SetDefault(window, canvas); }
  std::string Shown() { return canvas.LastTextAt(DetailsAt(window.controls[kIdChosenWinLabel])); }
  RecordingCanvas Paint() {
    RecordingCanvas c;
    dialog.Paint(window, c);
    return c;
  }
};

// Entries that differ between two tables, as "mac=value".
std::vector<std::string> Diff(const CharMap& before, const CharMap& after) {
  std::vector<std::string> out;
  char buf[16];
  for (int i = 0; i < kCharMapEntries; ++i) {
    if (before[i] == after[i]) continue;
    std::snprintf(buf, sizeof buf, "%02X=%02X", 0x80 + i, after[i]);
    out.push_back(buf);
  }
  return out;
}

TEST(EditDialog, SequencesOfClicksSetDefaultOkAndCancel) {
  CharMap a0Mapped = DefaultCharMap;
  a0Mapped[0xA0 - 0x80] = 0xB2;
  CharMap away = DefaultCharMap;
  away[0x80 - 0x80] = 0xB2;
  struct Case {
    const char* what;
    const CharMap* start;
    uint8_t mac;
    std::string steps;  // c<hex>: click that Windows cell; d: Set Default; o: OK; x: Cancel
    std::vector<std::string> changes;
  };
  const Case cases[] = {
      {"a click takes the character from whoever had it",
       &DefaultCharMap,
       0x80,
       "cE9 o",
       {"80=E9", "8E=01"}},
      {"choosing the character it already has changes nothing", &DefaultCharMap, 0x80, "cC4 o", {}},
      {"a free character", &DefaultCharMap, 0x80, "cB2 o", {"80=B2"}},
      {"the last click counts", &DefaultCharMap, 0x80, "cB2 cB3 o", {"80=B3"}},
      {"Set Default of an unmapped default unmaps", &a0Mapped, 0xA0, "d o", {"A0=01"}},
      {"Set Default of a mapped default takes it back", &away, 0x80, "d o", {"80=C4"}},
      {"Set Default, then a click: the click alone", &away, 0x80, "d cE9 o", {"80=E9", "8E=01"}},
      {"a click, then Set Default: the click moves, then the default",
       &away,
       0x80,
       "cE9 d o",
       {"80=C4", "8E=01"}},
      {"the default's character is taken from whoever had it",
       &DefaultCharMap,
       0x8E,
       "cB2 o",
       {"8E=B2"}},
      {"Cancel after a click", &DefaultCharMap, 0x80, "cE9 x", {}},
      {"Cancel after Set Default", &away, 0x80, "d x", {}},
      {"OK without a choice", &DefaultCharMap, 0x80, "o", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EditRig rig;
    rig.map = *c.start;
    rig.Open(c.mac);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      switch (c.steps[i]) {
        case 'c':
          rig.ClickWin(static_cast<uint8_t>(std::stoi(c.steps.substr(i + 1, 2), nullptr, 16)));
          i += 2;
          break;
        case 'd':
          rig.SetDefault();
          break;
        case 'o':
          rig.dialog.Ok();
          break;
        case 'x':
          rig.dialog.Cancel();
          break;
        default:
          break;
      }
    }
    EXPECT_EQ(Diff(*c.start, rig.map), c.changes);
    ExpectInvariant(rig.map);
  }
}

TEST(EditDialog, CancelDiscardsAPendingDefaultForTheNextOpening) {
  EditRig rig;
  rig.map[0] = 0xB2;
  const CharMap before = rig.map;
  rig.Open(0x80);
  rig.SetDefault();
  rig.dialog.Cancel();
  EXPECT_EQ(rig.map, before);
  rig.Open(0x80);
  rig.dialog.Ok();
  EXPECT_EQ(rig.map, before) << "a later OK without Set Default applies no default";
}

TEST(EditDialog, SetDefaultShowsTheDefaultAndSetsItsFlags) {
  CharMap noA0 = DefaultCharMap;
  noA0[0xCA - 0x80] = 0xB2;  // 0xA0 free in the table, a default target
  CharMap fdTaken = DefaultCharMap;
  fdTaken[0xDA - 0x80] = 0xFD;
  struct Case {
    const char* what;
    const CharMap* map;
    uint8_t mac;
    std::string shown;
    int cell;  // highlighted
    uint8_t defaultChar;
    bool underscore;
  };
  const Case cases[] = {
      {"mapped default", &DefaultCharMap, 0x8E, "\xE9", 0xE9 - 0x7F, 0xE9, false},
      {"unmapped glyph, default target", &DefaultCharMap, 0xA0, "_\xA0", 0, 0xA0, true},
      {"... even when free in the table", &noA0, 0xA0, "_\xA0", 0, 0xA0, true},
      {"unmapped glyph, not a default target", &DefaultCharMap, 0xB2, "\xB2", 0xB2 - 0x7F, 0xB2,
       false},
      {"unmapped character taken in the table", &fdTaken, 0xFD, "_\xFD", 0, 0xFD, false},
      // A glyph character taken in the table is offered all the same: only a default target
      // stops it.
      {"unmapped glyph taken in the table", &noA0, 0xB2, "\xB2", 0xB2 - 0x7F, 0xB2, false},
      {"unmapped character, free", &DefaultCharMap, 0xFD, "\xFD", 0xFD - 0x7F, 0xFD, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EditRig rig;
    rig.map = *c.map;
    rig.Open(c.mac);
    rig.SetDefault();
    EXPECT_TRUE(rig.dialog.defaultPending());
    EXPECT_TRUE(rig.dialog.defaultShown());
    EXPECT_TRUE(rig.sel.defaultUsed);
    EXPECT_EQ(rig.dialog.underscoreShown(), c.underscore);
    EXPECT_EQ(rig.dialog.defaultChar(), c.defaultChar);
    EXPECT_EQ(rig.Shown(), c.shown);
    const std::vector<Rect> lit = rig.canvas.Highlights();
    if (c.cell) {
      EXPECT_EQ(lit, std::vector<Rect>{rig.grid().Inner(c.cell)});
    } else {
      EXPECT_TRUE(lit.empty());
    }
    // A repaint shows the same.
    const RecordingCanvas again = rig.Paint();
    EXPECT_EQ(again.LastTextAt(DetailsAt(rig.window.controls[kIdChosenWinLabel])), c.shown);
    EXPECT_EQ(again.Highlights(), lit);
  }
}

TEST(EditDialog, SetDefaultWithoutASelectionDoesNothing) {
  EditRig rig;
  rig.sel.macCell = 0;
  rig.dialog.Init();
  rig.SetDefault();
  EXPECT_FALSE(rig.dialog.defaultPending());
  EXPECT_TRUE(rig.canvas.ops.empty());
  rig.dialog.Ok();
  EXPECT_EQ(rig.map, DefaultCharMap);
}

TEST(EditDialog, ClickMovesTheHighlightAndClearsSetDefault) {
  EditRig rig;
  rig.Open(0x80);  // opening display: 0xC4 lit
  RecordingCanvas opening = rig.Paint();
  EXPECT_EQ(opening.Highlights(), std::vector<Rect>{rig.grid().Inner(0xC4 - 0x7F)});
  EXPECT_EQ(opening.LastTextAt(DetailsAt(rig.window.controls[kIdChosenWinLabel])), "\xC4");
  EXPECT_EQ(opening.LastTextAt({rig.window.controls[kIdMacCharLabel].right + 20,
                                rig.window.controls[kIdMacCharLabel].top - 2}),
            "\xC4")
      << "the Macintosh character beside its label";

  rig.SetDefault();
  rig.ClickWin(0xE9);
  EXPECT_FALSE(rig.dialog.opening());
  EXPECT_FALSE(rig.dialog.defaultPending());
  EXPECT_FALSE(rig.dialog.defaultShown());
  EXPECT_FALSE(rig.sel.defaultUsed);
  EXPECT_EQ(rig.sel.chosenWinCell, 0xE9 - 0x7F);
  EXPECT_EQ(rig.Shown(), "\xE9");
  // The cell lit at opening goes back to normal; the new one is lit.
  EXPECT_EQ(rig.window.invalidated, std::vector<Rect>{rig.grid().Cell(0xC4 - 0x7F)});
  EXPECT_EQ(rig.canvas.Highlights().back(), rig.grid().Inner(0xE9 - 0x7F));

  rig.window.invalidated.clear();
  rig.ClickWin(0xB2);
  EXPECT_EQ(rig.window.invalidated, std::vector<Rect>{rig.grid().Cell(0xE9 - 0x7F)});
  RecordingCanvas after = rig.Paint();
  EXPECT_EQ(after.Highlights(), std::vector<Rect>{rig.grid().Inner(0xB2 - 0x7F)});

  // Beside the grid: nothing changes.
  rig.window.invalidated.clear();
  const size_t ops = rig.canvas.ops.size();
  const Rect drawn = rig.grid().Drawn();
  rig.dialog.Click({drawn.right + 3, drawn.top + 5}, rig.window, rig.canvas);
  EXPECT_EQ(rig.canvas.ops.size(), ops);
  EXPECT_TRUE(rig.window.invalidated.empty());
  EXPECT_EQ(rig.sel.chosenWinCell, 0xB2 - 0x7F);
}

TEST(EditDialog, SetDefaultRemovesTheClickedHighlight) {
  EditRig rig;
  rig.map[0] = 0xB2;
  rig.Open(0x80);
  rig.ClickWin(0xE9);
  rig.window.invalidated.clear();
  rig.SetDefault();
  EXPECT_EQ(rig.window.invalidated, std::vector<Rect>{rig.grid().Cell(0xE9 - 0x7F)});
  EXPECT_EQ(rig.sel.chosenWinCell, 0xE9 - 0x7F) << "the chosen cell stays recorded";
  EXPECT_EQ(rig.Paint().Highlights(), std::vector<Rect>{rig.grid().Inner(0xC4 - 0x7F)});
}

TEST(EditDialog, EveryOkKeepsTheInvariant) {
  std::mt19937 random(6);
  EditRig rig;
  for (int round = 0; round < 2000; ++round) {
    rig.Open(static_cast<uint8_t>(0x80 + random() % 128));
    const int steps = 1 + static_cast<int>(random() % 3);
    for (int s = 0; s < steps; ++s) {
      if (random() % 4 == 0) {
        rig.SetDefault();
      } else {
        rig.ClickWin(static_cast<uint8_t>(0x80 + random() % 128));
      }
    }
    if (random() % 5 == 0) {
      const CharMap before = rig.map;
      rig.dialog.Cancel();
      ASSERT_EQ(rig.map, before);
    } else {
      rig.dialog.Ok();
    }
    ExpectInvariant(rig.map);
    if (testing::Test::HasFailure()) break;
  }
}

// --- the Character Mapping page ----------------------------------------------------------------

struct PageRig {
  CharMap map{};
  FakeProductRegistry registry;
  FakeCharMapFiles files;
  ScriptedPrompts prompts;
  FakeDriverPort driver;
  CharMapStore store{map, registry, files, prompts};
  MappingSelection sel;
  MappingPage page{store, driver, sel};
  FakeMappingWindow window = test::PageWindow();
  RecordingCanvas canvas;

  PageRig() { registry.values["InstallDir"] = "C:\\BRIND"; }
  Grid grid() {
    return Grid::FromAnchors(window.controls[kIdMacGridLabel], window.controls[kIdLowerAnchor]);
  }
  void Click(uint8_t mac) { page.Click(test::CellCentre(grid(), mac - 0x7F), window, canvas); }
  std::string Mapped(const RecordingCanvas& c) {
    return c.LastTextAt(DetailsAt(window.controls[kIdMappedWinLabel]));
  }
  std::string DefaultFile() {
    CharMap d = DefaultCharMap;
    FakeCharMapFiles scratch;
    std::FILE* f = scratch.OpenWrite("x");
    WriteCharMapFile(d, f);
    std::fclose(f);
    return scratch.Contents("x");
  }
};

TEST(MappingPage, OpeningLoadsTheFileOrShowsTheDefaults) {
  {
    PageRig rig;
    rig.files.Put(kPath, "The Mac 128 is mapped To 233\r\nThe Mac 129 is mapped To 1\r\n");
    rig.map.fill(7);
    rig.sel.defaultUsed = true;
    EXPECT_TRUE(rig.page.Init(rig.window));
    EXPECT_EQ(rig.map[0], 0xE9);
    EXPECT_EQ(rig.map[1], 1);
    EXPECT_EQ(rig.map[2], 0) << "a cancelled editing's values do not come back";
    EXPECT_TRUE(rig.prompts.shown.empty());
    EXPECT_EQ(rig.sel.macCell, 1);
    EXPECT_TRUE(rig.page.firstSelectionPending());
    EXPECT_FALSE(rig.sel.defaultUsed);
    EXPECT_EQ(rig.window.changed, 1) << "Apply is enabled as the page opens";
  }
  {
    PageRig rig;
    EXPECT_TRUE(rig.page.Init(rig.window));
    EXPECT_EQ(rig.map, DefaultCharMap);
    EXPECT_EQ(rig.prompts.Texts(), std::vector<std::string>{kMsgNoMapFile});
    EXPECT_EQ(rig.prompts.shown[0].icon(), unsigned{kMbIconInformation});
    EXPECT_FALSE(rig.files.Exists(kPath)) << "opening never creates the file";
    EXPECT_TRUE(rig.driver.tables.empty());
  }
  {
    // Any directory the registry reading takes has its CHARMAP.MAC: the page opens.
    PageRig rig;
    rig.registry.values["InstallDir"] = std::string(400, 'd');
    EXPECT_TRUE(rig.page.Init(rig.window));
    EXPECT_EQ(rig.prompts.Texts(), std::vector<std::string>{kMsgNoMapFile});
  }
  for (bool unreachable : {false, true}) {
    PageRig rig;
    rig.registry.values.clear();
    rig.registry.unreachable = unreachable;
    EXPECT_FALSE(rig.page.Init(rig.window));
    ASSERT_FALSE(rig.prompts.shown.empty());
    EXPECT_EQ(rig.prompts.shown.back().text, kMsgNotInstalled);
    EXPECT_EQ(rig.prompts.shown.back().icon(), unsigned{kMbIconError});
    EXPECT_EQ(rig.prompts.shown.back().caption, "<default>");
    EXPECT_EQ(rig.prompts.shown.size(), unreachable ? 2u : 1u);
  }
}

TEST(MappingPage, FirstPaintLightsTheWholeFirstCellThenClicksMoveTheSelection) {
  PageRig rig;
  rig.page.Init(rig.window);
  RecordingCanvas first;
  rig.page.Paint(rig.window, first);
  EXPECT_EQ(first.Highlights(), std::vector<Rect>{rig.grid().Cell(1)}) << "not inset";
  EXPECT_EQ(first.LastTextAt({rig.grid().Cell(1).left + 5, rig.grid().Cell(1).top + 5}), "\xC4");
  EXPECT_EQ(rig.Mapped(first), "\xC4");

  rig.Click(0xA0);
  EXPECT_EQ(rig.sel.macCell, 0x21);
  EXPECT_FALSE(rig.page.firstSelectionPending());
  EXPECT_EQ(rig.window.invalidatedAll, 1) << "the opening highlight goes";
  EXPECT_EQ(rig.window.invalidated, std::vector<Rect>{rig.grid().Cell(1)});
  EXPECT_EQ(rig.window.changed, 2);
  EXPECT_EQ(rig.Mapped(rig.canvas), "_\xA0");
  // The glyph of 0xA0 beside its label.
  const auto bitmaps = rig.canvas.Of(DrawOp::kBitmap);
  ASSERT_FALSE(bitmaps.empty());
  EXPECT_EQ(bitmaps.back().resource, 103);
  EXPECT_EQ(bitmaps.back().at.x, DetailsAt(rig.window.controls[kIdMacCharLabel]).x);

  rig.Click(0xA1);
  EXPECT_EQ(rig.window.invalidatedAll, 1);
  EXPECT_EQ(rig.window.invalidated.back(), rig.grid().Cell(0x21));
  RecordingCanvas later;
  rig.page.Paint(rig.window, later);
  EXPECT_EQ(later.Highlights(), std::vector<Rect>{rig.grid().Inner(0x22)});
  EXPECT_EQ(rig.Mapped(later), "\xB0");

  // The strip at the right that the 16 columns do not cover selects nothing.
  const Rect r = rig.grid().rect();
  rig.page.Click({rig.grid().Drawn().right + 1, r.top + 3}, rig.window, rig.canvas);
  ASSERT_LT(rig.grid().Drawn().right + 1, r.right);
  EXPECT_EQ(rig.sel.macCell, 0x22);
  EXPECT_EQ(rig.window.changed, 3);
}

TEST(MappingPage, AllDefaultResetsTheTableAndRedrawsTheMappedCharacter) {
  PageRig rig;
  rig.files.Put(kPath, "The Mac 128 is mapped To 178\r\n");
  rig.page.Init(rig.window);
  RecordingCanvas first;
  rig.page.Paint(rig.window, first);
  EXPECT_EQ(rig.Mapped(first), "\xB2");
  rig.page.AllDefault(rig.window, rig.canvas);
  EXPECT_EQ(rig.map, DefaultCharMap);
  EXPECT_EQ(rig.Mapped(rig.canvas), "\xC4");
  EXPECT_EQ(rig.canvas.Of(DrawOp::kText).front().chars, std::string(9, ' '));
  EXPECT_EQ(rig.window.changed, 2);
  EXPECT_TRUE(rig.canvas.Of(DrawOp::kLine).empty()) << "the grid itself does not change";
}

TEST(MappingPage, EditClearsTheChosenCellAndRepaintsFollowSetDefault) {
  PageRig rig;
  rig.page.Init(rig.window);
  rig.Click(0xA0);
  rig.sel.chosenWinCell = 5;
  rig.page.BeforeEdit(rig.window);
  EXPECT_EQ(rig.sel.chosenWinCell, 0);
  EXPECT_EQ(rig.window.changed, 3);
  // An Edit that used Set Default: repaints judge by the default targets alone.
  rig.map[0xCA - 0x80] = CHARMAP_UNMAPPED;
  rig.map[0xA0 - 0x80] = CHARMAP_UNMAPPED;
  rig.sel.defaultUsed = true;
  RecordingCanvas c;
  rig.page.Paint(rig.window, c);
  EXPECT_EQ(rig.Mapped(c), "_\xA0");
}

TEST(MappingPage, ApplyCreatesTheFileHiddenSendsTheTableAndWritesIt) {
  PageRig rig;
  rig.page.Init(rig.window);
  rig.page.Apply();
  EXPECT_TRUE(rig.files.hidden.count(kPath));
  ASSERT_EQ(rig.driver.tables.size(), 1u);
  EXPECT_TRUE(
      std::equal(rig.driver.tables[0].begin(), rig.driver.tables[0].end(), DefaultCharMap.begin()));
  const std::string written = rig.files.Contents(kPath);
  EXPECT_EQ(written, rig.DefaultFile());
  EXPECT_EQ(rig.prompts.Texts(), std::vector<std::string>{kMsgNoMapFile}) << "only the opening's";

  // Apply again: sent again, the same file again.
  rig.page.Apply();
  EXPECT_EQ(rig.driver.tables.size(), 2u);
  EXPECT_EQ(rig.files.Contents(kPath), written);
  EXPECT_EQ(rig.driver.opens, rig.driver.closes);
}

TEST(MappingPage, AllDefaultThenCancelLeavesFileAndDriverAlone) {
  PageRig rig;
  const std::string mine = "The Mac 128 is mapped To 178\r\n";
  rig.files.Put(kPath, mine);
  rig.page.Init(rig.window);
  rig.page.AllDefault(rig.window, rig.canvas);
  // Cancel: the sheet closes without an apply.
  EXPECT_EQ(rig.files.Contents(kPath), mine);
  EXPECT_TRUE(rig.driver.tables.empty());
  rig.page.Init(rig.window);
  EXPECT_EQ(rig.map[0], 178) << "reopening shows the file's mapping again";
}

TEST(MappingPage, ApplyFailures) {
  struct Case {
    const char* what;
    bool noInstallDir, failRead, failCreate, failWrite;
    uint32_t openError, refuse;
    std::vector<std::string> messages;
    bool sent;
    bool written;
  };
  const Case cases[] = {
      {"no installation", true, false, false, false, 0, 0, {kMsgNotInstalled}, false, false},
      {"the file can't be created", false, false, true, false, 0, 0, {kMsgNoMapFile}, false, false},
      {"created but can't be read", false, true, false, false, 0, 0, {kMsgNotExists}, false, false},
      {"driver without control requests",
       false,
       false,
       false,
       false,
       50,
       0,
       {kMapNoDeviceIo},
       false,
       true},
      {"no driver", false, false, false, false, 2, 0, {kMapCannotOpen}, false, true},
      {"driver refuses the table", false, false, false, false, 0, 1, {kMapRefused}, true, true},
      {"file can't be written", false, false, false, true, 0, 0, {kMsgCannotWrite}, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PageRig rig;
    rig.page.Init(rig.window);  // no file: the defaults
    rig.prompts.shown.clear();
    if (c.noInstallDir) rig.registry.values.clear();
    rig.files.failOpenRead = c.failRead;
    rig.files.failCreate = c.failCreate;
    rig.files.failOpenWrite = c.failWrite;
    rig.driver.openError = c.openError;
    rig.driver.setCharMapResult = c.refuse;
    rig.page.Apply();
    EXPECT_EQ(rig.prompts.Texts(), c.messages);
    for (const auto& shown : rig.prompts.shown) EXPECT_EQ(shown.caption, "<default>");
    EXPECT_EQ(rig.driver.tables.size(), c.sent ? 1u : 0u);
    EXPECT_EQ(rig.files.Exists(kPath) && !rig.files.Contents(kPath).empty(), c.written);
  }
}

}  // namespace
}  // namespace brind
