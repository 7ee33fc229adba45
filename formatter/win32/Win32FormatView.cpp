#include "formatter/win32/Win32FormatView.h"

#include <cstring>

#include "formatter/win32/UtilityApp.h"

namespace brind {

namespace {

INT_PTR CALLBACK ResultsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, 1);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

void Win32FormatView::SetStatusText(const char* text) { SetDlgItemTextA(dialog_, kIdStatus, text); }

void Win32FormatView::EnableControl(int id, bool enable) {
  HWND control = Control(id);
  HWND focus = GetFocus();
  if (!enable && focus != nullptr && (focus == control || IsChild(control, focus))) {
    // A disabled control drops the keyboard focus, and a dialog without one ignores Escape:
    // hand the focus to button 2, which stops the format, so the keyboard can still cancel.
    SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(kIdClose)), TRUE);
  }
  EnableWindow(control, enable);
}

void Win32FormatView::SetCloseButtonText(const char* text) {
  SetDlgItemTextA(dialog_, kIdClose, text);
}

void Win32FormatView::FocusControl(int id) { SetFocus(Control(id)); }

bool Win32FormatView::IsChecked(int id) { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }

void Win32FormatView::SetChecked(int id, bool checked) {
  CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void Win32FormatView::LimitLabelText(unsigned maxChars) {
  SendDlgItemMessageA(dialog_, kIdLabel, EM_LIMITTEXT, maxChars, 0);
}

void Win32FormatView::GetLabelText(char* text, size_t size) {
  GetDlgItemTextA(dialog_, kIdLabel, text, static_cast<int>(size));
}

void Win32FormatView::SetLabelText(const char* text) { SetDlgItemTextA(dialog_, kIdLabel, text); }

void Win32FormatView::FillDriveListWithSystemDrives() {
  // Drives only, as "[-a-]"; the pattern does not matter for drives.
  char pattern[] = "*.*";
  SendDlgItemMessageA(dialog_, kIdDriveBox, CB_DIR, DDL_DRIVES | DDL_EXCLUSIVE,
                      reinterpret_cast<LPARAM>(pattern));
}

int Win32FormatView::DriveListCount() {
  return static_cast<int>(SendDlgItemMessageA(dialog_, kIdDriveBox, CB_GETCOUNT, 0, 0));
}

void Win32FormatView::CopyListEntry(int index, char* text, size_t size) {
  if (size == 0) return;
  text[0] = '\0';
  const LRESULT length = SendDlgItemMessageA(dialog_, kIdDriveBox, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR || length < 0) return;
  // The entry is copied whole into a buffer of its own size, then cut to the caller's.
  char entry[MAX_PATH];
  if (static_cast<size_t>(length) >= sizeof entry) return;
  if (SendDlgItemMessageA(dialog_, kIdDriveBox, CB_GETLBTEXT, index,
                          reinterpret_cast<LPARAM>(entry)) == CB_ERR) {
    return;
  }
  const size_t n = static_cast<size_t>(length) < size - 1 ? static_cast<size_t>(length) : size - 1;
  std::memcpy(text, entry, n);
  text[n] = '\0';
}

void Win32FormatView::GetDriveListEntry(int index, char* text, size_t size) {
  CopyListEntry(index, text, size);
}

void Win32FormatView::DeleteDriveListEntry(int index) {
  SendDlgItemMessageA(dialog_, kIdDriveBox, CB_DELETESTRING, index, 0);
}

void Win32FormatView::InsertDriveListEntry(int index, const char* text) {
  SendDlgItemMessageA(dialog_, kIdDriveBox, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text));
}

void Win32FormatView::GetSelectedDriveText(char* text, size_t size) {
  const LRESULT selected = SendDlgItemMessageA(dialog_, kIdDriveBox, CB_GETCURSEL, 0, 0);
  if (selected == CB_ERR) {
    if (size) text[0] = '\0';
    return;
  }
  CopyListEntry(static_cast<int>(selected), text, size);
}

void Win32FormatView::GetDriveBoxText(char* text, size_t size) {
  GetDlgItemTextA(dialog_, kIdDriveBox, text, static_cast<int>(size));
}

void Win32FormatView::SetDriveBoxText(const char* text) {
  SetDlgItemTextA(dialog_, kIdDriveBox, text);
}

BarRect Win32FormatView::ProgressClientRect() {
  RECT r{};
  GetClientRect(Control(kIdProgress), &r);
  return BarRect{r.left, r.top, r.right, r.bottom};
}

void Win32FormatView::InvalidateProgress(const BarRect* strip, bool erase) {
  if (strip == nullptr) {
    InvalidateRect(Control(kIdProgress), nullptr, erase);
    return;
  }
  const RECT r{strip->left, strip->top, strip->right, strip->bottom};
  InvalidateRect(Control(kIdProgress), &r, erase);
}

void Win32FormatView::UpdateProgress() { UpdateWindow(Control(kIdProgress)); }

void Win32FormatView::BeginBarDrawing(BarDrawing how) {
  drawing_ = how;
  HWND progress = Control(kIdProgress);
  dc_ = how == BarDrawing::kPaint ? BeginPaint(progress, &paint_) : GetDC(progress);
  const COLORREF colour = GetSysColor(COLOR_ACTIVECAPTION);
  brush_ = CreateSolidBrush(colour);
  pen_ = CreatePen(PS_SOLID, 0, colour);
  oldBrush_ = SelectObject(dc_, brush_);
  oldPen_ = SelectObject(dc_, pen_);
}

void Win32FormatView::DrawBarRectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Rectangle(dc_, left, top, right, bottom);
}

void Win32FormatView::EndBarDrawing() {
  SelectObject(dc_, oldBrush_);
  SelectObject(dc_, oldPen_);
  DeleteObject(brush_);
  DeleteObject(pen_);
  HWND progress = Control(kIdProgress);
  if (drawing_ == BarDrawing::kPaint) {
    EndPaint(progress, &paint_);
  } else {
    ReleaseDC(progress, dc_);
  }
  dc_ = nullptr;
  brush_ = nullptr;
  pen_ = nullptr;
}

bool Win32FormatView::SetStepTimer() { return SetTimer(dialog_, kStepTimerId, 0, nullptr) != 0; }

bool Win32FormatView::KillStepTimer() { return KillTimer(dialog_, kStepTimerId) != 0; }

void Win32FormatView::PostStop() { PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0); }

void Win32FormatView::RunResultsDialog() {
  DialogBoxParamA(App().hInstance, "RESULTS", dialog_, ResultsDialogProc, 0);
}

void Win32FormatView::EndDialog(int result) { ::EndDialog(dialog_, result); }

}  // namespace brind
