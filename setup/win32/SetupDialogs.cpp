#include <memory>
#include <vector>

#include "setup/SetupTexts.h"
#include "setup/win32/SetupResources.h"
#include "setup/win32/SetupShell.h"

namespace brind::setup {

namespace {

HINSTANCE dialogInstance = nullptr;

std::string ItemText(HWND dialog, int id, int limit) {
  std::vector<char> buffer(static_cast<std::size_t>(limit) + 1, '\0');
  GetDlgItemTextA(dialog, id, buffer.data(), limit + 1);
  return buffer.data();
}

// Gives a dialog's heading its own font; the caller deletes the font when the dialog ends.
HFONT SetHeadingFont(HWND dlg, int id, const char* face, int height) {
  const HFONT font = CreateHeadingFont(face, height);
  SendDlgItemMessageA(dlg, id, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return font;
}

// ---- INSTALLFAIL -------------------------------------------------------------------------------

struct FailArgs {
  bool askMode;
  const std::function<void()>* cleanUp;
  HFONT font;
};

INT_PTR CALLBACK InstallFailProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* args = reinterpret_cast<FailArgs*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      args = reinterpret_cast<FailArgs*>(lParam);
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      CentreOnSetupWindow(dlg);
      args->font = SetHeadingFont(dlg, IDC_FAIL_HEADING, "TIMES NEW ROMAN", 22);
      if (args->askMode) {
        SetDlgItemTextA(dlg, IDC_FAIL_TEXT,
                        "Setup has not completed installation. Would you like to exit setup.");
      } else {
        DestroyWindow(GetDlgItem(dlg, IDCANCEL));
        if (args->cleanUp) (*args->cleanUp)();
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) EndDialog(dlg, 1);
      if (LOWORD(wParam) == IDCANCEL) EndDialog(dlg, args->askMode ? 0 : 1);
      return TRUE;
    case WM_DESTROY:
      if (args && args->font) DeleteObject(args->font);
      return FALSE;
    default:
      return FALSE;
  }
}

// 1 when the user chose to leave.
INT_PTR AskToLeave(HWND owner) {
  FailArgs args{true, nullptr, nullptr};
  return DialogBoxParamA(dialogInstance, "INSTALLFAIL", owner, InstallFailProc,
                         reinterpret_cast<LPARAM>(&args));
}

// ---- PERSONAL and INSTALL ----------------------------------------------------------------------

struct PersonalArgs {
  std::string* name;
  std::string* company;
  HFONT font;
};

void InitPersonal(HWND dlg, PersonalArgs* args) {
  CentreOnSetupWindow(dlg);
  args->font = SetHeadingFont(dlg, IDC_WELCOME, "TIMES NEW ROMAN BOLD", 30);
  SendDlgItemMessageA(dlg, IDC_NAME, EM_LIMITTEXT, 30, 0);
  SendDlgItemMessageA(dlg, IDC_COMPANY, EM_LIMITTEXT, 30, 0);
  SetDlgItemTextA(dlg, IDC_NAME, args->name->c_str());
  SetDlgItemTextA(dlg, IDC_COMPANY, args->company->c_str());
  SetFocus(GetDlgItem(dlg, IDC_NAME));
}

INT_PTR CALLBACK PersonalProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* args = reinterpret_cast<PersonalArgs*>(GetWindowLongPtrA(dlg, DWLP_USER));
  LRESULT result = 0;
  if (HandlePaletteMessage(dlg, msg, wParam, &result)) {
    SetWindowLongPtrA(dlg, DWLP_MSGRESULT, result);
    return TRUE;
  }
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      InitPersonal(dlg, reinterpret_cast<PersonalArgs*>(lParam));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        *args->name = ItemText(dlg, IDC_NAME, 30);
        *args->company = ItemText(dlg, IDC_COMPANY, 30);
        EndDialog(dlg, 1);
      } else if (LOWORD(wParam) == IDCANCEL) {
        if (AskToLeave(dlg) == 1)
          EndDialog(dlg, 0);
        else
          SetFocus(GetDlgItem(dlg, IDC_NAME));
      }
      return TRUE;
    case WM_DESTROY:
      if (args && args->font) DeleteObject(args->font);
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK LocationProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* dir = reinterpret_cast<std::string*>(GetWindowLongPtrA(dlg, DWLP_USER));
  LRESULT result = 0;
  if (HandlePaletteMessage(dlg, msg, wParam, &result)) {
    SetWindowLongPtrA(dlg, DWLP_MSGRESULT, result);
    return TRUE;
  }
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      CentreOnSetupWindow(dlg);
      SetDlgItemTextA(dlg, IDC_LOCATION, reinterpret_cast<std::string*>(lParam)->c_str());
      SendDlgItemMessageA(dlg, IDC_LOCATION, EM_SETSEL, 0, -1);
      SetFocus(GetDlgItem(dlg, IDC_LOCATION));
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        *dir = ItemText(dlg, IDC_LOCATION, 259);
        EndDialog(dlg, 1);
      } else if (LOWORD(wParam) == IDCANCEL) {
        if (AskToLeave(dlg) == 1)
          EndDialog(dlg, 0);
        else
          SetFocus(GetDlgItem(dlg, IDC_LOCATION));
      }
      return TRUE;
    default:
      return FALSE;
  }
}

// ---- PROGRESS and CONFIRMEXIT ------------------------------------------------------------------

INT_PTR CALLBACK ConfirmExitProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == 1) EndDialog(dlg, 1);
      if (LOWORD(wParam) == 2) EndDialog(dlg, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

// The copy's view: timer 1 of the dialog and the bar drawn into control 1004.
class ProgressView : public CopyView {
 public:
  ProgressView(HWND dlg, const RECT& bar) : dlg_(dlg), bar_(bar) {}
  bool KillTimer() override { return ::KillTimer(dlg_, 1); }
  void SetTimer() override { ::SetTimer(dlg_, 1, 1, nullptr); }
  void ShowFile(const std::string& text) override { SetDlgItemTextA(dlg_, IDC_FILE, text.c_str()); }
  void Erase(int from, int to) override {
    HWND frame = GetDlgItem(dlg_, IDC_BAR);
    RECT strip = {from, bar_.top, to, bar_.bottom};
    InvalidateRect(frame, &strip, TRUE);
    UpdateWindow(frame);
  }
  bool DrawBlock(const Block& b) override {
    HWND frame = GetDlgItem(dlg_, IDC_BAR);
    HDC dc = GetDC(frame);
    const COLORREF colour = GetSysColor(COLOR_ACTIVECAPTION);
    HBRUSH brush = CreateSolidBrush(colour);
    HPEN pen = CreatePen(PS_SOLID, 0, colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const bool ok = Rectangle(dc, b.left, bar_.top, b.right, bar_.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
    ReleaseDC(frame, dc);
    return ok;
  }
  bool ConfirmResume() override {
    return DialogBoxParamA(dialogInstance, "CONFIRMEXIT", dlg_, ConfirmExitProc, 0) == 1;
  }

 private:
  HWND dlg_;
  RECT bar_;
};

struct ProgressArgs {
  SetupHost* host;
  Win32Prompts* prompts;
  const CopyJob* job;
  RemovalFlags* flags;
  TouchedFiles* touched;
  std::unique_ptr<ProgressView> view;
  std::unique_ptr<CopyProgress> copy;
};

void OpenProgress(HWND dlg, ProgressArgs* a) {
  CentreOnSetupWindow(dlg);
  a->prompts->activeDialog = dlg;
  RECT bar;
  GetClientRect(GetDlgItem(dlg, IDC_BAR), &bar);
  InflateRect(&bar, -1, -2);
  a->view = std::make_unique<ProgressView>(dlg, bar);
  a->copy = std::make_unique<CopyProgress>(*a->host, *a->prompts, *a->view, *a->job, *a->flags,
                                           *a->touched, bar.left, bar.right);
  a->copy->Open();
}

void EndProgress(HWND dlg, ProgressArgs* a, CopyProgress::Result r) {
  if (r == CopyProgress::Result::kRunning) return;
  a->prompts->activeDialog = nullptr;
  EndDialog(dlg, r == CopyProgress::Result::kDone);
}

void RepaintBar(HWND dlg, ProgressArgs* a) {
  ValidateRect(dlg, nullptr);
  UpdateWindow(GetDlgItem(dlg, IDC_BAR));  // the frame first, then the blocks over it
  for (const Block& b : a->copy->Repaint()) a->view->DrawBlock(b);
}

INT_PTR CALLBACK ProgressProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* a = reinterpret_cast<ProgressArgs*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      OpenProgress(dlg, reinterpret_cast<ProgressArgs*>(lParam));
      return TRUE;
    case WM_TIMER:
      if (wParam == 1) EndProgress(dlg, a, a->copy->Tick());
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) EndProgress(dlg, a, a->copy->Cancel());
      return TRUE;
    case WM_PAINT:
      RepaintBar(dlg, a);
      return TRUE;
    default:
      return FALSE;
  }
}

// ---- REBOOT ------------------------------------------------------------------------------------

struct RebootArgs {
  const char* text;
  HFONT font;
};

INT_PTR CALLBACK RebootProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* args = reinterpret_cast<RebootArgs*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      args = reinterpret_cast<RebootArgs*>(lParam);
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      CentreOnSetupWindow(dlg);
      args->font = SetHeadingFont(dlg, IDC_REBOOT_HEADING, "TIMES NEW ROMAN", 22);
      InvalidateRect(GetDlgItem(dlg, IDC_REBOOT_HEADING), nullptr, TRUE);
      SetDlgItemTextA(dlg, IDC_REBOOT_TEXT, args->text);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == 1) EndDialog(dlg, 1);
      if (LOWORD(wParam) == 2) EndDialog(dlg, 0);
      return TRUE;
    case WM_DESTROY:
      if (args && args->font) DeleteObject(args->font);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool Win32SetupUi::Personal(std::string* name, std::string* company) {
  dialogInstance = instance_;
  PersonalArgs args{name, company, nullptr};
  return DialogBoxParamA(instance_, "PERSONAL", SetupWindow(), PersonalProc,
                         reinterpret_cast<LPARAM>(&args)) == 1;
}

bool Win32SetupUi::Location(std::string* directory) {
  dialogInstance = instance_;
  return DialogBoxParamA(instance_, "INSTALL", SetupWindow(), LocationProc,
                         reinterpret_cast<LPARAM>(directory)) == 1;
}

void Win32SetupUi::FailureNotice(const std::function<void()>& cleanUp) {
  dialogInstance = instance_;
  FailArgs args{false, &cleanUp, nullptr};
  DialogBoxParamA(instance_, "INSTALLFAIL", SetupWindow(), InstallFailProc,
                  reinterpret_cast<LPARAM>(&args));
}

bool Win32SetupUi::Copy(const CopyJob& job, RemovalFlags& flags, TouchedFiles& touched) {
  dialogInstance = instance_;
  ProgressArgs args{&host_, &prompts_, &job, &flags, &touched, nullptr, nullptr};
  return DialogBoxParamA(instance_, "PROGRESS", SetupWindow(), ProgressProc,
                         reinterpret_cast<LPARAM>(&args)) == 1;
}

bool Win32SetupUi::Reboot(const char* text) {
  dialogInstance = instance_;
  RebootArgs args{text, nullptr};
  return DialogBoxParamA(instance_, "REBOOT", SetupWindow(), RebootProc,
                         reinterpret_cast<LPARAM>(&args)) == 1;
}

void Win32SetupUi::Pause(unsigned milliseconds) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) Sleep(20);
}

}  // namespace brind::setup
