// ENTERNEWBOX: the format dialog.
#include <windows.h>

#include "formatter/ResourceIds.h"
#include "formatter/win32/UtilityApp.h"

namespace brind {

namespace {

INT_PTR CALLBACK FormatDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      App().prompts.activeDialog = dialog;
      // The dialog's own handle of the driver serves the drive checks while it is open.
      App().driver.Open();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      break;
    case WM_DESTROY:
      App().prompts.activeDialog = nullptr;
      break;
  }
  return FALSE;
}

}  // namespace

INT_PTR RunFormatDialog(HWND owner) {
  return DialogBoxParamA(App().hInstance, "ENTERNEWBOX", owner, FormatDialogProc, 0);
}

}  // namespace brind
