// The Options sheet as Windows 95's common controls (4.00) receive it. PropertySheetA and
// MessageBoxA are replaced where the program imports them, so the test sees the structures the
// code passes (Wine's own common controls accept any size and cannot tell).
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <gtest/gtest.h>

#include <string>

#include "charmap/win32/CharMapOptions.h"

namespace {

struct Seen {
  DWORD sheetSize = 0;
  DWORD pageSize = 0;
  UINT pages = 0;
  int boxes = 0;
  std::string boxText;
} seen;
INT_PTR sheetResult = 0;

INT_PTR WINAPI RecordSheet(LPCPROPSHEETHEADERA sheet) {
  seen.sheetSize = sheet->dwSize;
  seen.pageSize = sheet->ppsp->dwSize;
  seen.pages = sheet->nPages;
  return sheetResult;
}

int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR, UINT) {
  ++seen.boxes;
  seen.boxText = text;
  return IDOK;
}

}  // namespace

// The import slots the program calls through, filled with the recorders.
extern "C" {
INT_PTR(WINAPI* sheetImport)(LPCPROPSHEETHEADERA) __asm__("__imp__PropertySheetA@4") = RecordSheet;
int(WINAPI* boxImport)(HWND, LPCSTR, LPCSTR, UINT) __asm__("__imp__MessageBoxA@16") = RecordBox;
}

namespace {

TEST(OptionsSheet, SheetAndPageHaveTheFirstVersionSizesAndAFailureIsReported) {
  struct Case {
    INT_PTR result;
    int boxes;
  } cases[] = {{1, 0}, {0, 0}, {-1, 1}};  // OK, Cancel, refused by the common controls
  for (const Case& c : cases) {
    seen = {};
    sheetResult = c.result;
    brind::RunCharMapOptions(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(seen.sheetSize, 40u) << "PROPSHEETHEADERA as COMCTL32 4.00 knows it";
    EXPECT_EQ(seen.pageSize, 40u) << "PROPSHEETPAGEA as COMCTL32 4.00 knows it";
    EXPECT_EQ(seen.pages, 1u);
    EXPECT_EQ(seen.boxes, c.boxes) << "result " << c.result;
    EXPECT_EQ(seen.boxText, c.boxes ? "The Options could not be opened." : "");
  }
}

}  // namespace
