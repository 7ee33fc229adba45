// The format dialog's controls, timer and progress bar as the format controller sees them.
#pragma once

#include <windows.h>

#include "formatter/FormatView.h"

namespace brind {

class Win32FormatView : public FormatView {
 public:
  // The dialog whose controls the view works on; set as each dialog opens.
  void Attach(HWND dialog) { dialog_ = dialog; }

  void SetStatusText(const char* text) override;
  void EnableControl(int id, bool enable) override;
  void SetCloseButtonText(const char* text) override;
  void FocusControl(int id) override;
  bool IsChecked(int id) override;
  void SetChecked(int id, bool checked) override;
  void LimitLabelText(unsigned maxChars) override;
  void GetLabelText(char* text, size_t size) override;
  void SetLabelText(const char* text) override;
  void FillDriveListWithSystemDrives() override;
  int DriveListCount() override;
  void GetDriveListEntry(int index, char* text, size_t size) override;
  void DeleteDriveListEntry(int index) override;
  void InsertDriveListEntry(int index, const char* text) override;
  void GetSelectedDriveText(char* text, size_t size) override;
  void GetDriveBoxText(char* text, size_t size) override;
  void SetDriveBoxText(const char* text) override;
  BarRect ProgressClientRect() override;
  void InvalidateProgress(const BarRect* strip, bool erase) override;
  void UpdateProgress() override;
  void BeginBarDrawing(BarDrawing how) override;
  void DrawBarRectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  void EndBarDrawing() override;
  bool SetStepTimer() override;
  bool KillStepTimer() override;
  void PostStop() override;
  void RunResultsDialog() override;
  void EndDialog(int result) override;

 private:
  HWND Control(int id) const { return GetDlgItem(dialog_, id); }
  // A combo-box entry into a caller's buffer, cut to fit.
  void CopyListEntry(int index, char* text, size_t size);

  HWND dialog_ = nullptr;
  // The drawing in progress: device context, the bar's brush and pen and what they replaced.
  HDC dc_ = nullptr;
  PAINTSTRUCT paint_{};
  BarDrawing drawing_ = BarDrawing::kDraw;
  HBRUSH brush_ = nullptr;
  HPEN pen_ = nullptr;
  HGDIOBJ oldBrush_ = nullptr;
  HGDIOBJ oldPen_ = nullptr;
};

}  // namespace brind
