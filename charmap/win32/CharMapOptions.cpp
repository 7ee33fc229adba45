#include "charmap/win32/CharMapOptions.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>  // needs windows.h first

#include <cstddef>
// clang-format on

#include "charmap/MappingEditor.h"
#include "charmap/win32/GdiCanvas.h"
#include "charmap/win32/Win32CharMapFiles.h"
#include "charmap/win32/Win32ProductRegistry.h"
#include "common/win32/Win32Prompts.h"
#include "disk/win32/Win32DriverPort.h"

namespace brind {

namespace {

// Resources of the sheet (charmap/win32/CharMapOptions.rc).
constexpr int kPageTemplate = 142;
constexpr int kEditTemplate = 101;
constexpr UINT kMsgEnableApply = WM_APP + 1;

// The program's one character map and the editor's state. Plain globals: one thread, and no
// function-local statics (their guarded initialisation pulls in the runtime's exception support).
CharMap& theMap = ProgramCharMap;  // shared with the format dialog
Win32ProductRegistry theRegistry;
Win32CharMapFiles theFiles;
// Owned by the page while it is up: the messages of loading, applying and the driver.
Win32Prompts thePrompts;
// A handle of its own: the format dialog keeps the program's driver handle open.
Win32DriverPort theDriver;
CharMapStore theStore{theMap, theRegistry, theFiles, thePrompts};
MappingSelection theSelection;
MappingPage thePage{theStore, theDriver, theSelection};
EditMappingDialog theEdit{theMap, theSelection};
HINSTANCE theInstance = nullptr;

class DialogWindow : public MappingWindow {
 public:
  explicit DialogWindow(HWND dialog) : dialog_(dialog) {}
  Rect ControlRect(int id) override {
    RECT r{};
    if (HWND control = GetDlgItem(dialog_, id)) {
      GetWindowRect(control, &r);
      MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
    }
    return {r.left, r.top, r.right, r.bottom};
  }
  void Invalidate(const Rect& r) override {
    const RECT rc{r.left, r.top, r.right, r.bottom};
    InvalidateRect(dialog_, &rc, FALSE);
  }
  void InvalidateAll() override { InvalidateRect(dialog_, nullptr, TRUE); }
  void Changed() override { SendMessageA(GetParent(dialog_), PSM_CHANGED, (WPARAM)dialog_, 0); }

 private:
  HWND dialog_;
};

// Drawing outside WM_PAINT: a click or a button draws at once on the dialog's surface.
class ClientDc {
 public:
  explicit ClientDc(HWND window) : window_(window), dc_(GetDC(window)), canvas_(dc_, theInstance) {}
  ~ClientDc() { ReleaseDC(window_, dc_); }
  Canvas& canvas() { return canvas_; }

 private:
  HWND window_;
  HDC dc_;
  GdiCanvas canvas_;
};

Point ClickPoint(LPARAM lParam) {
  return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

template <typename Model>
void PaintWith(HWND dialog, Model& model) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(dialog, &ps);
  {
    DialogWindow window(dialog);
    GdiCanvas canvas(dc, theInstance);
    model.Paint(window, canvas);
  }
  EndPaint(dialog, &ps);
}

INT_PTR CALLBACK EditDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogWindow window(dialog);
  switch (message) {
    case WM_INITDIALOG:
      theEdit.Init();
      return TRUE;
    case WM_PAINT:
      PaintWith(dialog, theEdit);
      return TRUE;
    case WM_LBUTTONDOWN: {
      ClientDc dc(dialog);
      theEdit.Click(ClickPoint(lParam), window, dc.canvas());
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kIdSetDefault: {
          ClientDc dc(dialog);
          theEdit.SetDefault(window, dc.canvas());
          return TRUE;
        }
        case IDOK:
          theEdit.Ok();
          EndDialog(dialog, 0);
          return TRUE;
        case IDCANCEL:
          theEdit.Cancel();
          EndDialog(dialog, 0);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogWindow window(page);
  switch (message) {
    case WM_INITDIALOG:
      thePrompts.activeDialog = page;
      if (!thePage.Init(window)) {
        // Without its installation the page has nothing to show: the sheet closes.
        PostMessageA(GetParent(page), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
      } else {
        // Some sheets disable Apply again once all their pages are made: tell it once more.
        PostMessageA(page, kMsgEnableApply, 0, 0);
      }
      return TRUE;
    case kMsgEnableApply:
      window.Changed();
      return TRUE;
    case WM_PAINT:
      PaintWith(page, thePage);
      return TRUE;
    case WM_LBUTTONDOWN: {
      ClientDc dc(page);
      thePage.Click(ClickPoint(lParam), window, dc.canvas());
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kIdAllDefault: {
          ClientDc dc(page);
          thePage.AllDefault(window, dc.canvas());
          return TRUE;
        }
        case kIdEdit:
          thePage.BeforeEdit(window);
          DialogBoxParamA(theInstance, MAKEINTRESOURCEA(kEditTemplate), page, EditDialogProc,
                          reinterpret_cast<LPARAM>(page));
          // The page shows the new mapping, also where the dialog did not cover it.
          InvalidateRect(page, nullptr, TRUE);
          return TRUE;
      }
      break;
    case WM_NOTIFY:
      switch (reinterpret_cast<NMHDR*>(lParam)->code) {
        case PSN_APPLY:
          thePage.Apply();
          SetWindowLongA(page, DWL_MSGRESULT, PSNRET_NOERROR);
          return TRUE;
        case PSN_RESET:
          SetWindowLongA(page, DWL_MSGRESULT, 0);
          return TRUE;
      }
      break;
    case WM_DESTROY:
      thePrompts.activeDialog = nullptr;
      break;
  }
  return FALSE;
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED) {
    // No "?" button in the caption.
    SetWindowLongA(sheet, GWL_EXSTYLE, GetWindowLongA(sheet, GWL_EXSTYLE) & ~WS_EX_CONTEXTHELP);
  }
  return 0;
}

}  // namespace

void RunCharMapOptions(HINSTANCE instance, HWND owner) {
  theInstance = instance;
  thePrompts.mainWindow = owner;
  // Windows 95's common controls (4.00) refuse a sheet or page of a size they do not know: the
  // first layouts. MinGW's headers give the newest PROPSHEETPAGEA and PROPSHEETHEADERA whatever
  // _WIN32_IE says, so the page is the first layout's own structure and the sheet ends at the
  // first layout's last member.
  PROPSHEETPAGEA_V1 page{};
  static_assert(sizeof(page) == 40, "PROPSHEETPAGEA as COMCTL32 4.00 knows it");
  page.dwSize = sizeof(page);
  page.dwFlags = PSP_USETITLE;
  page.hInstance = instance;
  page.pszTemplate = MAKEINTRESOURCEA(kPageTemplate);
  page.pfnDlgProc = PageProc;
  page.pszTitle = "Character Mapping";
  page.lParam = 0;
  PROPSHEETHEADERA sheet{};
  constexpr DWORD kSheetV1 = offsetof(PROPSHEETHEADERA, pfnCallback) + sizeof(sheet.pfnCallback);
  static_assert(kSheetV1 == 40, "PROPSHEETHEADERA as COMCTL32 4.00 knows it");
  sheet.dwSize = kSheetV1;
  sheet.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
  sheet.hwndParent = owner;
  sheet.hInstance = instance;
  sheet.pszCaption = "Options";
  sheet.nPages = 1;
  sheet.nStartPage = 0;
  sheet.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(&page);
  sheet.pfnCallback = SheetCallback;
  if (PropertySheetA(&sheet) < 0) {
    thePrompts.Show("The Options could not be opened.", "Options", kMbOk | kMbIconError,
                    PromptOwner::kMainWindow);
  }
  thePrompts.activeDialog = nullptr;
}

}  // namespace brind
