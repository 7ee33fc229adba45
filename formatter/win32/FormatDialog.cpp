// ENTERNEWBOX: the format dialog. Every rule lives in the format controller; this procedure
// forwards the dialog's messages to it and lends it the dialog's controls through the view.
#include <windows.h>

#include "formatter/FormatController.h"
#include "formatter/FormatParts.h"
#include "formatter/ResourceIds.h"
#include "formatter/win32/UtilityApp.h"
#include "formatter/win32/Win32FormatView.h"

namespace brind {

namespace {

// The resource script and the controller name the same controls.
static_assert(IDC_DRIVE_BOX == kIdDriveBox && IDC_QUICK == kIdQuick && IDC_FULL == kIdFull &&
              IDC_LABEL == kIdLabel && IDC_SUMMARY == kIdSummary && IDC_STATUS == kIdStatus &&
              IDC_PROGRESS == kIdProgress);

Win32FormatView theView;
HfsStageRunner theStages;
ProgramNameConverter theNames{App().charMapStore};
FormatController theController{App().format, theView,  App().disk,   App().prompts,
                               theStages,    theNames, &App().driver};

INT_PTR CALLBACK FormatDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      theView.Attach(dialog);
      App().prompts.activeDialog = dialog;
      // FALSE once the controller has put the focus on Start; otherwise the system gives it to
      // the first control.
      return theController.OnInitDialog(App().commandLineMode) ? FALSE : TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          theController.OnStart();
          return TRUE;
        case IDCANCEL:
          theController.OnCancel();
          return TRUE;
        case kIdDriveBox:
          if (HIWORD(wParam) == CBN_SELCHANGE) {
            theController.OnDriveSelectionChange();
            return TRUE;
          }
          break;
      }
      break;
    case WM_TIMER:
      theController.OnTimer();
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(dialog, &ps);
      EndPaint(dialog, &ps);
      theController.OnPaint();
      return TRUE;
    }
    case WM_DESTROY:
      // A timer left set would outlive the dialog.
      KillTimer(dialog, kStepTimerId);
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
