// What the format dialog and its sequence need of the window they run in. The Win32 dialog
// implements it over its controls; the Linux tool over a terminal; tests with a recorder. Nothing
// here decides anything: every rule lives in FormatController.
#pragma once

#include <cstddef>

#include "formatter/FormatState.h"

namespace brind {

class FormatView {
 public:
  virtual ~FormatView() = default;

  // Status line (1027). An empty text clears it.
  virtual void SetStatusText(const char* text) = 0;
  // Enables or disables one control by id.
  virtual void EnableControl(int id, bool enable) = 0;
  // Text of button 2: "Close" while idle, "Cancel" while a format runs.
  virtual void SetCloseButtonText(const char* text) = 0;
  virtual void FocusControl(int id) = 0;

  // Check boxes and radio buttons (1013, 1014, 1034).
  virtual bool IsChecked(int id) = 0;
  virtual void SetChecked(int id, bool checked) = 0;

  // The label field (145).
  virtual void LimitLabelText(unsigned maxChars) = 0;
  virtual void GetLabelText(char* text, size_t size) = 0;
  virtual void SetLabelText(const char* text) = 0;

  // The drive box (1007). The system's list of drives fills it with entries of the form "[-a-]";
  // the controller then walks it by index and keeps the drives it accepts as "A:".
  virtual void FillDriveListWithSystemDrives() = 0;
  virtual int DriveListCount() = 0;
  virtual void GetDriveListEntry(int index, char* text, size_t size) = 0;
  virtual void DeleteDriveListEntry(int index) = 0;
  virtual void InsertDriveListEntry(int index, const char* text) = 0;
  // The text of the selected entry (selection change) and of the edit field (Start).
  virtual void GetSelectedDriveText(char* text, size_t size) = 0;
  virtual void GetDriveBoxText(char* text, size_t size) = 0;
  virtual void SetDriveBoxText(const char* text) = 0;

  // The progress control (1009): its client rectangle, invalidation (nullptr = all of it),
  // an immediate repaint of what is invalid, and drawing. Every drawing is bracketed by
  // BeginBarDrawing/EndBarDrawing, which make and release the device context, brush and pen
  // (solid, COLOR_ACTIVECAPTION, pen width 0); painting marks the WM_PAINT path.
  virtual BarRect ProgressClientRect() = 0;
  virtual void InvalidateProgress(const BarRect* strip, bool erase) = 0;
  virtual void UpdateProgress() = 0;
  enum class BarDrawing { kDraw, kPaint };
  virtual void BeginBarDrawing(BarDrawing how) = 0;
  // Rectangle(left, top, right, bottom) with the bar's brush and pen.
  virtual void DrawBarRectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;
  virtual void EndBarDrawing() = 0;

  // The step timer (id 1, interval 0). KillStepTimer reports whether a timer was set.
  virtual bool SetStepTimer() = 0;
  virtual bool KillStepTimer() = 0;

  // Posts WM_COMMAND IDCANCEL to the dialog: it arrives later as FormatController::OnCancel.
  virtual void PostStop() = 0;
  // Runs the RESULTS dialog modally, owned by the format dialog; returns when it is closed.
  virtual void RunResultsDialog() = 0;
  // Ends the format dialog with the given result.
  virtual void EndDialog(int result) = 0;
};

}  // namespace brind
