// The format dialog and the timer-driven format sequence, with no window in them: every
// platform's dialog forwards its messages to these entry points and draws through FormatView.
//
//   WM_INITDIALOG            -> OnInitDialog (true: it put the focus on Start, answer FALSE)
//   CBN_SELCHANGE from 1007  -> OnDriveSelectionChange
//   WM_COMMAND IDOK          -> OnStart (then the checks and questions of OnStartFormat)
//   WM_COMMAND IDCANCEL      -> OnCancel (ends the dialog when idle, else stops the format)
//   WM_TIMER                 -> OnTimer (one step of the sequence)
//   WM_PAINT                 -> OnPaint, after the dialog's own BeginPaint/EndPaint
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/UserPrompts.h"
#include "disk/DiskServices.h"
#include "disk/DriverPort.h"
#include "formatter/FormatState.h"
#include "formatter/FormatView.h"

namespace brind {

// The file-system stages that follow the tracks (hfs/FormatStages.h), by index from 0.
class StageRunner {
 public:
  virtual ~StageRunner() = default;
  // 0 on success, nonzero on failure.
  virtual uint16_t RunStage(uint32_t index, SectorIo& io, uint8_t drive,
                            const char* volumeLabel) = 0;
  // "Unable to write the ..." for the stage.
  virtual const char* FailureMessage(uint32_t index) = 0;
};

// Volume names between the Macintosh and the Windows character sets, in place; both return the
// new length. MacToWindows may double the length; capacity is the whole buffer, terminator
// included, and the result never grows past it.
class NameConverter {
 public:
  virtual ~NameConverter() = default;
  virtual size_t MacToWindows(char* name, size_t length, size_t capacity) = 0;
  virtual size_t WindowsToMac(char* name, size_t length) = 0;
};

class FormatController {
 public:
  // driver, when given, is opened again as the dialog opens (it serves CheckDrive's queries).
  FormatController(FormatState& state, FormatView& view, DiskServices& disk, UserPrompts& prompts,
                   StageRunner& stages, NameConverter& names, DriverPort* driver = nullptr)
      : s_(state),
        view_(view),
        disk_(disk),
        prompts_(prompts),
        stages_(stages),
        names_(names),
        driver_(driver) {}

  // commandLineMode keeps the drive already stored in drivePath. True when the label of a disk
  // was looked at and the focus went to Start (the dialog must then leave the focus alone).
  bool OnInitDialog(bool commandLineMode);
  void OnDriveSelectionChange();
  // Start: takes the drive, label and options, disables the dialog and runs the checks.
  void OnStart();
  void OnCancel();
  void OnTimer();
  void OnPaint();

  // Shows the label of the disk in drivePath's drive. True when it looked at the disk's
  // contents (a DOS or a Macintosh label was considered).
  bool ReadCurrentLabel();
  // Reads the sector into sectorBuffer and writes it back: the read's status if it failed, else
  // the write's (3 tells a write-protected disk before anything changes).
  DiskStatus ProbeSector(uint32_t sector);

 private:
  DriveGeometry& GeometryOf(uint8_t drive);
  void BuildDriveList();
  bool DrivePathValid();
  void ShowInvalidDrive();
  // The checks and questions; ends by setting the step timer or posting the stop.
  void OnStartFormat();
  int ProbeWithQuestions(uint32_t sector);  // 0: go on; -1: stop
  void SetUpBar();
  void SetUpSteps();
  void ArmTimer();
  void TrackStep();
  void TrackError(DiskStatus status);
  void EndAfterTrackError();
  void StageStep();
  void AdvanceBar(uint32_t finished);
  void DrawFinalBar();
  void ResetSequence();
  void SetIdleLook();
  void Complete();
  void Stop();
  int Ask(const char* text, const char* caption, unsigned flags);

  FormatState& s_;
  FormatView& view_;
  DiskServices& disk_;
  UserPrompts& prompts_;
  StageRunner& stages_;
  NameConverter& names_;
  DriverPort* driver_;
  DriveGeometry spareGeometry_{};
};

}  // namespace brind
